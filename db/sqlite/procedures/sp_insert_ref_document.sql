-- Adds a document and returns its identifier in @Unique_id.
--
-- Dates may come as ISO text ('2004-03-05 14:30:00') or as the clerk typed
-- them ('3/5/2004', '3/5/2004 2:30:00 PM', two-digit years 00-29 meaning
-- 2000-2029); both are stored as ISO text. A date text that is neither is
-- stored as given. The yes/no columns take 1, -1, True, 0 or False. The row
-- is stamped with the time it was added and has no image yet.
create procedure sp_insert_ref_document
  @Doc_type_code varchar(10),
  @Doc_sub_type_code varchar(10),
  @Doc_year int,
  @Is_amendment bit,
  @Name_listed varchar(150),
  @Title varchar(255),
  @due_date datetime,
  @referred_county_code varchar(10),
  @penalty_appeal_decision_code varchar(10),
  @amount_due money,
  @amount_paid money,
  @Delivery_method_code varchar(10),
  @Doc_reason_code varchar(10),
  @Report_version_code varchar(10),
  @Receive_send_date datetime,
  @Entry_date datetime,
  @Other_date datetime,
  @Import_date datetime,
  @Begin_date datetime,
  @End_date datetime,
  @Signed_date datetime,
  @Signer_officer_type_code varchar(10),
  @Signer_officer_id int,
  @Signer_name varchar(150),
  @Delete_date datetime,
  @has_no_report_data bit,
  @no_report_data_reason varchar(255),
  @total_receipts money,
  @total_expenditures money,
  @has_no_totals bit,
  @Unique_id int output
as
with raw(k, t) as (values
    (1, @due_date), (2, @Receive_send_date), (3, @Entry_date), (4, @Other_date),
    (5, @Import_date), (6, @Begin_date), (7, @End_date), (8, @Signed_date), (9, @Delete_date)),
  s1 as (select k, trim(t) as t, substr(trim(t), instr(trim(t), '/') + 1) as r1 from raw),
  s2 as (select k, t, cast(t as integer) as m, cast(r1 as integer) as d,
                substr(r1, instr(r1, '/') + 1) as r2 from s1),
  s3 as (select k, t, m, d, cast(r2 as integer) as y,
                case when instr(r2, ' ') > 0 then upper(trim(substr(r2, instr(r2, ' ') + 1))) else '' end as tm
         from s2),
  s4 as (select k, t, m, d, case when y < 30 then y + 2000 when y < 100 then y + 1900 else y end as y,
                tm, cast(tm as integer) as hh, substr(tm, instr(tm, ':') + 1) as r3 from s3),
  dt(k, v) as (select k, case
      when t is null or t = '' then null
      when t like '%/%/%' then coalesce(datetime(printf('%04d-%02d-%02d %02d:%02d:%02d', y, m, d,
          case when tm like '%PM' and hh < 12 then hh + 12 when tm like '%AM' and hh = 12 then 0 else hh end,
          case when instr(tm, ':') > 0 then cast(r3 as integer) else 0 end,
          case when instr(tm, ':') > 0 and instr(r3, ':') > 0
               then cast(substr(r3, instr(r3, ':') + 1) as integer) else 0 end)), t)
      else coalesce(datetime(t), t) end from s4),
  bits(k, t) as (values (1, @Is_amendment), (2, @has_no_report_data), (3, @has_no_totals)),
  bit(k, v) as (select k, case
      when t is null or trim(t) = '' then null
      when upper(trim(t)) in ('0', 'FALSE') then 0
      when upper(trim(t)) in ('1', '-1', 'TRUE') then 1
      else t end from bits)
insert into ref_document (
  doc_type_code, doc_sub_type_code, doc_year, Is_amendment, name_listed, Title, due_date,
  referred_county_code, penalty_appeal_decision_code, Amount_Due, amount_paid,
  delivery_method_code, doc_reason_code, report_version_code, receive_send_date, entry_date,
  other_date, import_date, begin_date, end_date, signed_date, signer_officer_type_code,
  signer_officer_id, signer_name, delete_date, has_no_report_data, no_report_data_reason,
  total_receipts, total_expenditures, has_no_totals, has_image, orig_date, update_date)
select
  @Doc_type_code, @Doc_sub_type_code, @Doc_year, (select v from bit where k = 1),
  @Name_listed, @Title, (select v from dt where k = 1),
  @referred_county_code, @penalty_appeal_decision_code, @amount_due, @amount_paid,
  @Delivery_method_code, @Doc_reason_code, @Report_version_code,
  (select v from dt where k = 2), (select v from dt where k = 3),
  (select v from dt where k = 4), (select v from dt where k = 5),
  (select v from dt where k = 6), (select v from dt where k = 7),
  (select v from dt where k = 8), @Signer_officer_type_code,
  @Signer_officer_id, @Signer_name, (select v from dt where k = 9),
  (select v from bit where k = 2), @no_report_data_reason,
  @total_receipts, @total_expenditures, (select v from bit where k = 3),
  0, datetime('now', 'localtime'), datetime('now', 'localtime');
select last_insert_rowid() as "@Unique_id";
