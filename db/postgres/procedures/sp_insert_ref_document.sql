-- Adds a document and returns its identifier in Unique_id.
--
-- Dates come as text: ISO ('2004-03-05 14:30:00') or as the clerk typed
-- them ('3/5/2004', '3/5/2004 2:30:00 PM', two-digit years 00-29 meaning
-- 2000-2029); a date text that is neither is refused with the parameter's
-- name. The yes/no columns take 1, -1, True, 0 or False. The row is stamped
-- with the time it was added and has no image yet.
create procedure sp_insert_ref_document(
  Doc_type_code citext default null,
  Doc_sub_type_code citext default null,
  Doc_year integer default null,
  Is_amendment text default null,
  Name_listed citext default null,
  Title citext default null,
  due_date text default null,
  referred_county_code citext default null,
  penalty_appeal_decision_code citext default null,
  amount_due numeric(19,4) default null,
  amount_paid numeric(19,4) default null,
  Delivery_method_code citext default null,
  Doc_reason_code citext default null,
  Report_version_code citext default null,
  Receive_send_date text default null,
  Entry_date text default null,
  Other_date text default null,
  Import_date text default null,
  Begin_date text default null,
  End_date text default null,
  Signed_date text default null,
  Signer_officer_type_code citext default null,
  Signer_officer_id integer default null,
  Signer_name citext default null,
  Delete_date text default null,
  has_no_report_data text default null,
  no_report_data_reason citext default null,
  total_receipts numeric(19,4) default null,
  total_expenditures numeric(19,4) default null,
  has_no_totals text default null,
  inout Unique_id integer default null)
language plpgsql as $$
#variable_conflict use_column
begin
  insert into ref_document (
    doc_type_code, doc_sub_type_code, doc_year, Is_amendment, name_listed, Title, due_date,
    referred_county_code, penalty_appeal_decision_code, Amount_Due, amount_paid,
    delivery_method_code, doc_reason_code, report_version_code, receive_send_date, entry_date,
    other_date, import_date, begin_date, end_date, signed_date, signer_officer_type_code,
    signer_officer_id, signer_name, delete_date, has_no_report_data, no_report_data_reason,
    total_receipts, total_expenditures, has_no_totals, has_image, orig_date, update_date)
  values (
    sp_insert_ref_document.Doc_type_code,
    sp_insert_ref_document.Doc_sub_type_code,
    sp_insert_ref_document.Doc_year,
    tw_yes_no_text(sp_insert_ref_document.Is_amendment),
    sp_insert_ref_document.Name_listed,
    sp_insert_ref_document.Title,
    tw_document_date(sp_insert_ref_document.due_date, 'due_date'),
    sp_insert_ref_document.referred_county_code,
    sp_insert_ref_document.penalty_appeal_decision_code,
    sp_insert_ref_document.amount_due,
    sp_insert_ref_document.amount_paid,
    sp_insert_ref_document.Delivery_method_code,
    sp_insert_ref_document.Doc_reason_code,
    sp_insert_ref_document.Report_version_code,
    tw_document_date(sp_insert_ref_document.Receive_send_date, 'Receive_send_date'),
    tw_document_date(sp_insert_ref_document.Entry_date, 'Entry_date'),
    tw_document_date(sp_insert_ref_document.Other_date, 'Other_date'),
    tw_document_date(sp_insert_ref_document.Import_date, 'Import_date'),
    tw_document_date(sp_insert_ref_document.Begin_date, 'Begin_date'),
    tw_document_date(sp_insert_ref_document.End_date, 'End_date'),
    tw_document_date(sp_insert_ref_document.Signed_date, 'Signed_date'),
    sp_insert_ref_document.Signer_officer_type_code,
    sp_insert_ref_document.Signer_officer_id,
    sp_insert_ref_document.Signer_name,
    tw_document_date(sp_insert_ref_document.Delete_date, 'Delete_date'),
    tw_yes_no_text(sp_insert_ref_document.has_no_report_data),
    sp_insert_ref_document.no_report_data_reason,
    sp_insert_ref_document.total_receipts,
    sp_insert_ref_document.total_expenditures,
    tw_yes_no_text(sp_insert_ref_document.has_no_totals),
    false,
    localtimestamp(0),
    localtimestamp(0))
  returning unique_id into Unique_id;
end
$$;
