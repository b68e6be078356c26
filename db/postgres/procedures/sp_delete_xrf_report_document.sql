-- Removes the link between report report_id and document document_id.
create procedure sp_delete_xrf_report_document(
  report_id integer default null,
  document_id integer default null)
language plpgsql as $$
#variable_conflict use_column
begin
  delete from xrf_report_document x
  where x.report_id = sp_delete_xrf_report_document.report_id
    and x.document_id = sp_delete_xrf_report_document.document_id;
end
$$;
