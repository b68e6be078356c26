-- The filed-reports lists that the office exports for mailing and publishing.
--
-- @report_export_type
--   FILED (or empty)  reports filed: every report document (type RPT, not
--                     deleted) that matches the choices below, one row each;
--   LATE              the filed reports that reached the office after their
--                     due date;
--   NOTFILED          the active committees that have filed no such report:
--                     the report columns are then empty.
--   Any other export type lists nothing.
-- Choices, each ignored when empty: @comm_type_code (the committee's type),
-- @report_year, @report_sub_type_code, @begin_date and @end_date (the report
-- period lies within them), @entered_date (entered on or after that day, for
-- exports of what arrived since the last one), @due_date (the deadline a
-- report is measured against; without it, each report's own due date).
-- Dates may be written '3/5/2004' or ISO; in the list they read mm/dd/yyyy.
create procedure sp_misc_reports_filed_lists
  @comm_type_code varchar(10),
  @report_year varchar(10),
  @report_sub_type_code varchar(10),
  @due_date varchar(30),
  @report_export_type varchar(10),
  @begin_date varchar(30),
  @end_date varchar(30),
  @entered_date varchar(30)
as
with raw(k, t) as (values (1, @due_date), (2, @begin_date), (3, @end_date), (4, @entered_date)),
  dt(k, v) as (select k, tw_date_text(t) from raw),
  q as (select nullif(trim(@comm_type_code), '') as comm_type,
               cast(nullif(trim(@report_year), '') as integer) as doc_year,
               nullif(trim(@report_sub_type_code), '') as sub_type,
               upper(coalesce(nullif(trim(@report_export_type), ''), 'FILED')) as export_type,
               (select v from dt where k = 1) as due,
               (select v from dt where k = 2) as b,
               (select v from dt where k = 3) as e,
               (select v from dt where k = 4) as entered),
  treasurer as (select o.org_group_id, na.first_name, na.middle_name, na.last_name, na.suffix,
                       na.address_1, na.address_2, na.city, na.state_code, na.zip
                from org_officers o
                join org_name_address na on na.unique_id = o.entity_id
                where o.name_type_code = 'TRS' and o.trans_end_date is null),
  reports as (select oc.ref_group_id, rd.unique_id, rd.doc_year, rd.doc_sub_type_code,
                     rd.begin_date, rd.end_date, rd.receive_send_date, rd.entry_date,
                     rd.report_version_code, rd.delivery_method_code,
                     rd.total_receipts, rd.total_expenditures,
                     coalesce(q.due, date(rd.due_date)) as due
              from q
              join ref_document rd on rd.doc_type_code = 'RPT' and rd.delete_date is null
              join xrf_org_document x on x.document_id = rd.unique_id
              join vw_zub_ORG_Committee_ref_current oc on oc.ref_group_id = x.org_id
              where (q.comm_type is null or oc.comm_type_code = q.comm_type)
                and (q.doc_year is null or rd.doc_year = q.doc_year)
                and (q.sub_type is null or rd.doc_sub_type_code = q.sub_type)
                and (q.b is null or rd.begin_date >= q.b)
                and (q.e is null or rd.end_date < date(q.e, '+1 day'))
                and (q.entered is null or rd.entry_date >= q.entered)),
  listed as (
    select r.ref_group_id, r.unique_id, r.doc_year, r.doc_sub_type_code, r.begin_date, r.end_date,
           r.due, r.receive_send_date, r.entry_date, r.report_version_code, r.delivery_method_code,
           r.total_receipts, r.total_expenditures
    from reports r, q
    where q.export_type = 'FILED'
       or (q.export_type = 'LATE' and r.due is not null and date(r.receive_send_date) > r.due)
    union all
    select oc.ref_group_id, null, q.doc_year, q.sub_type, q.b, q.e, q.due,
           null, null, null, null, null, null
    from vw_zub_ORG_Committee_ref_current oc, q
    where q.export_type = 'NOTFILED' and oc.current_status_code = 'ACT'
      and (q.comm_type is null or oc.comm_type_code = q.comm_type)
      and not exists (select 1 from reports r where r.ref_group_id = oc.ref_group_id))
select oc.id_1 || '-' || oc.id_2 || '-' || oc.id_3 || '-' || oc.id_4 as comm_id,
       oc.org_name as committee_name, oc.comm_type_desc as committee_type, oc.status_desc as status,
       trim(coalesce(t.first_name, '') || ' ' || coalesce(t.middle_name, '')) || ' '
         || coalesce(t.last_name, '') || coalesce(' ' || t.suffix, '') as treasurer,
       t.address_1, t.address_2, t.city, t.state_code as state, t.zip,
       st.Description as report_type, l.doc_year as report_year,
       strftime('%m/%d/%Y', l.begin_date) as period_begin,
       strftime('%m/%d/%Y', l.end_date) as period_end,
       strftime('%m/%d/%Y', l.due) as due_date,
       strftime('%m/%d/%Y', l.receive_send_date) as received_date,
       strftime('%m/%d/%Y', l.entry_date) as entered_date,
       case when l.receive_send_date is not null and l.due is not null
                 and date(l.receive_send_date) > l.due
            then cast(julianday(date(l.receive_send_date)) - julianday(l.due) as integer)
            when l.receive_send_date is not null and l.due is not null then 0 end as days_late,
       rv.Description as version, dm.Description as delivery_method,
       l.total_receipts, l.total_expenditures, l.unique_id as document_id
from listed l
join vw_zub_ORG_Committee_ref_current oc on oc.ref_group_id = l.ref_group_id
left outer join treasurer t on t.org_group_id = l.ref_group_id
left outer join lku_document_sub_type st on st.Code = l.doc_sub_type_code
left outer join lks_report_version rv on rv.Code = l.report_version_code
left outer join lks_delivery_method dm on dm.Code = l.delivery_method_code
order by oc.org_name, oc.ref_group_id, l.doc_year, l.begin_date, l.unique_id;
