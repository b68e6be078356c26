-- The filed-reports lists that the office exports for mailing and publishing.
--
-- report_export_type
--   FILED (or empty)  reports filed: every report document (type RPT, not
--                     deleted) that matches the choices below, one row each;
--   LATE              the filed reports that reached the office after their
--                     due date;
--   NOTFILED          the active committees that have filed no such report:
--                     the report columns are then empty.
--   Any other export type lists nothing.
-- Choices, each ignored when empty: comm_type_code (the committee's type),
-- report_year, report_sub_type_code, begin_date and end_date (the report
-- period lies within them), entered_date (entered on or after that day, for
-- exports of what arrived since the last one), due_date (the deadline a
-- report is measured against; without it, each report's own due date).
-- Dates may be written '3/5/2004' or ISO; in the list they read mm/dd/yyyy.
create procedure sp_misc_reports_filed_lists(
  comm_type_code citext default null,
  report_year text default null,
  report_sub_type_code citext default null,
  due_date text default null,
  report_export_type citext default null,
  begin_date text default null,
  end_date text default null,
  entered_date text default null,
  inout tw_result refcursor default null)
language plpgsql as $$
#variable_conflict use_column
declare
  v_comm_type citext := nullif(btrim(sp_misc_reports_filed_lists.comm_type_code), '');
  v_year integer := tw_integer_text(sp_misc_reports_filed_lists.report_year);
  v_sub_type citext := nullif(btrim(sp_misc_reports_filed_lists.report_sub_type_code), '');
  v_export citext := coalesce(nullif(btrim(sp_misc_reports_filed_lists.report_export_type), ''), 'FILED');
  v_due date := tw_date_text(sp_misc_reports_filed_lists.due_date);
  v_b date := tw_date_text(sp_misc_reports_filed_lists.begin_date);
  v_e date := tw_date_text(sp_misc_reports_filed_lists.end_date);
  v_entered date := tw_date_text(sp_misc_reports_filed_lists.entered_date);
begin
  open tw_result for
  with treasurer as (
    select o.org_group_id, na.first_name, na.middle_name, na.last_name, na.suffix,
           na.address_1, na.address_2, na.city, na.state_code, na.zip
    from org_officers o
    join org_name_address na on na.unique_id = o.entity_id
    where o.name_type_code = 'TRS' and o.trans_end_date is null),
  reports as (
    select oc.ref_group_id, rd.unique_id, rd.doc_year, rd.doc_sub_type_code,
           rd.begin_date, rd.end_date, rd.receive_send_date, rd.entry_date,
           rd.report_version_code, rd.delivery_method_code,
           rd.total_receipts, rd.total_expenditures,
           coalesce(v_due, rd.due_date::date) as due
    from ref_document rd
    join xrf_org_document x on x.document_id = rd.unique_id
    join vw_zub_ORG_Committee_ref_current oc on oc.ref_group_id = x.org_id
    where rd.doc_type_code = 'RPT' and rd.delete_date is null
      and (v_comm_type is null or oc.comm_type_code = v_comm_type)
      and (v_year is null or rd.doc_year = v_year)
      and (v_sub_type is null or rd.doc_sub_type_code = v_sub_type)
      and (v_b is null or rd.begin_date >= v_b)
      and (v_e is null or rd.end_date < v_e + 1)
      and (v_entered is null or rd.entry_date >= v_entered)),
  listed as (
    select r.ref_group_id, r.unique_id, r.doc_year, r.doc_sub_type_code, r.begin_date, r.end_date,
           r.due, r.receive_send_date, r.entry_date, r.report_version_code, r.delivery_method_code,
           r.total_receipts, r.total_expenditures
    from reports r
    where v_export = 'FILED'
       or (v_export = 'LATE' and r.due is not null and r.receive_send_date::date > r.due)
    union all
    select oc.ref_group_id, null, v_year, v_sub_type, v_b, v_e, v_due,
           null, null, null, null, null, null
    from vw_zub_ORG_Committee_ref_current oc
    where v_export = 'NOTFILED' and oc.current_status_code = 'ACT'
      and (v_comm_type is null or oc.comm_type_code = v_comm_type)
      and not exists (select 1 from reports r where r.ref_group_id = oc.ref_group_id))
  select oc.id_1 || '-' || oc.id_2 || '-' || oc.id_3 || '-' || oc.id_4 as comm_id,
         oc.org_name as committee_name, oc.comm_type_desc as committee_type, oc.status_desc as status,
         btrim(coalesce(t.first_name, '') || ' ' || coalesce(t.middle_name, '')) || ' '
           || coalesce(t.last_name, '') || coalesce(' ' || t.suffix, '') as treasurer,
         t.address_1, t.address_2, t.city, t.state_code as state, t.zip,
         st.Description as report_type, l.doc_year as report_year,
         to_char(l.begin_date, 'MM/DD/YYYY') as period_begin,
         to_char(l.end_date, 'MM/DD/YYYY') as period_end,
         to_char(l.due, 'MM/DD/YYYY') as due_date,
         to_char(l.receive_send_date, 'MM/DD/YYYY') as received_date,
         to_char(l.entry_date, 'MM/DD/YYYY') as entered_date,
         case when l.receive_send_date is not null and l.due is not null
                   and l.receive_send_date::date > l.due
              then l.receive_send_date::date - l.due
              when l.receive_send_date is not null and l.due is not null then 0 end as days_late,
         rv.Description as version, dm.Description as delivery_method,
         l.total_receipts, l.total_expenditures, l.unique_id as document_id
  from listed l
  join vw_zub_ORG_Committee_ref_current oc on oc.ref_group_id = l.ref_group_id
  left outer join treasurer t on t.org_group_id = l.ref_group_id
  left outer join lku_document_sub_type st on st.Code = l.doc_sub_type_code
  left outer join lks_report_version rv on rv.Code = l.report_version_code
  left outer join lks_delivery_method dm on dm.Code = l.delivery_method_code
  order by oc.org_name nulls first, oc.ref_group_id nulls first, l.doc_year nulls first,
           l.begin_date nulls first, l.unique_id nulls first;
end
$$;
