-- The filing checks of a committee's report. @org_id is the committee group,
-- @document_id the report document being checked (left out of every
-- comparison), @begin_date and @end_date its period ('3/5/2004' or ISO text;
-- with only @doc_year given, the period is that whole year), the totals are
-- numbers written as text ('1,234.50' and '$1234.50' read as 1234.5).
--
-- The election of a period (@election_id, for every run type) is the first
-- election on or after the start of the period whose 48-hour notice window
-- (notice_window_days before election day) opens by the end of the period.
--
-- @get_type_flag
--   1  48-hour list: the committee's 48-hour notices (sub-type 48H) whose
--      contribution date (other_date; the received date when it is missing)
--      falls in the period and that no filed report accounts for yet, one row
--      each. A notice is late when it reached the office more than
--      NOTICE_48H_HOURS hours (lks_system_info) after the contribution.
--      @match_found: there is such a notice. @flag_mef: one of them is late.
--   5  48-hour list for an amendment: as 1, but an amendment restates the
--      whole period, so notices already accounted for by a report are listed
--      too (with that report's identifier).
--   2  MEF check: @match_found: an electronic filing (ref_report.is_mef) of
--      the same committee, year and sub-type (and period, when given) exists.
--      @flag_mef: the committee must file electronically, because it is
--      marked so or because its receipts or its expenditures for the year
--      (its original reports of the year other than 48-hour notices, plus
--      the totals given) reach MEF_THRESHOLD (lks_system_info).
--   3  MEF return: @match_found: the committee exists. @flag_mef: the
--      committee is marked as an electronic filer.
--   4  Existing report: @match_found: the committee already has another,
--      not deleted report of the same year and sub-type (and period, when
--      given). @flag_mef: that report was filed electronically.
-- Any other run type finds nothing. Only run types 1 and 5 return rows.
create procedure sp_misc_mef_checks
  @get_type_flag int,
  @org_id varchar(20),
  @document_id varchar(20),
  @doc_year varchar(10),
  @doc_sub_type_code varchar(10),
  @begin_date varchar(30),
  @end_date varchar(30),
  @total_receipts varchar(30),
  @total_expenditures varchar(30),
  @match_found bit output,
  @flag_mef bit output,
  @election_id smallint output
as
with raw(k, t) as (values (1, @begin_date), (2, @end_date)),
  dt(k, v) as (select k, tw_date_text(t) from raw),
  p as (select cast(nullif(trim(@org_id), '') as integer) as org_id,
               cast(nullif(trim(@document_id), '') as integer) as document_id,
               cast(nullif(trim(@doc_year), '') as integer) as doc_year,
               nullif(trim(@doc_sub_type_code), '') as sub_type,
               (select v from dt where k = 1) as given_begin,
               (select v from dt where k = 2) as given_end,
               cast(nullif(replace(replace(trim(@total_receipts), ',', ''), '$', ''), '') as real) as receipts,
               cast(nullif(replace(replace(trim(@total_expenditures), ',', ''), '$', ''), '') as real) as expenditures),
  q as (select p.*,
               coalesce(given_begin, case when doc_year > 0 then printf('%04d-01-01', doc_year) end) as b,
               coalesce(given_end, case when doc_year > 0 then printf('%04d-12-31', doc_year) end) as e
        from p),
  settings as (select
      coalesce((select cast(Description as real) from lks_system_info where Code = 'MEF_THRESHOLD'), 0) as mef_threshold,
      coalesce((select cast(Description as real) from lks_system_info where Code = 'NOTICE_48H_HOURS'), 48) as notice_hours),
  election as (select e.unique_id from ref_election e, q
               where date(e.election_date) >= q.b
                 and date(e.election_date, '-' || e.notice_window_days || ' days') <= q.e
               order by e.election_date, e.unique_id limit 1),
  notices as (select rd.unique_id, rd.receive_send_date, rd.other_date,
                     (select min(xr.report_id) from xrf_report_document xr where xr.document_id = rd.unique_id) as report_id
              from q
              join xrf_org_document x on x.org_id = q.org_id
              join ref_document rd on rd.unique_id = x.document_id
              where rd.doc_sub_type_code = '48H' and rd.delete_date is null
                and date(coalesce(rd.other_date, rd.receive_send_date)) between q.b and q.e
                and (q.document_id is null or rd.unique_id <> q.document_id)),
  listed as (select * from notices where @get_type_flag = 5 or report_id is null),
  committee as (select oc.mef_required from org_committee oc, q
                where oc.org_group_id = q.org_id and oc.trans_end_date is null),
  year_totals as (select coalesce(sum(rd.total_receipts), 0) as receipts,
                         coalesce(sum(rd.total_expenditures), 0) as expenditures
                  from q
                  join xrf_org_document x on x.org_id = q.org_id
                  join ref_document rd on rd.unique_id = x.document_id
                  where rd.doc_type_code = 'RPT' and rd.doc_year = q.doc_year
                    and rd.doc_sub_type_code <> '48H' and rd.delete_date is null
                    and coalesce(rd.report_version_code, 'ORI') <> 'AMD'
                    and (q.document_id is null or rd.unique_id <> q.document_id)),
  existing as (select rd.unique_id, rd.delivery_method_code
               from q
               join xrf_org_document x on x.org_id = q.org_id
               join ref_document rd on rd.unique_id = x.document_id
               where rd.doc_type_code = 'RPT' and rd.doc_year = q.doc_year
                 and rd.doc_sub_type_code = q.sub_type and rd.delete_date is null
                 and (q.document_id is null or rd.unique_id <> q.document_id)
                 and (q.given_begin is null or date(rd.begin_date) = q.given_begin)
                 and (q.given_end is null or date(rd.end_date) = q.given_end)
               order by rd.receive_send_date desc, rd.unique_id desc limit 1)
select
  case @get_type_flag
    when 1 then exists (select 1 from listed)
    when 5 then exists (select 1 from listed)
    when 2 then exists (select 1 from ref_report r, q
                        where r.org_group_id = q.org_id and r.doc_year = q.doc_year
                          and r.report_sub_type_code = q.sub_type and r.is_mef = 1
                          and (q.given_begin is null or date(r.begin_date) = q.given_begin)
                          and (q.given_end is null or date(r.end_date) = q.given_end))
    when 3 then exists (select 1 from ref_org r, q where r.group_id = q.org_id)
    when 4 then exists (select 1 from existing)
    else 0 end as "@match_found",
  case @get_type_flag
    when 1 then exists (select 1 from listed, settings
                        where (julianday(listed.receive_send_date) - julianday(listed.other_date)) * 24
                              > settings.notice_hours)
    when 5 then exists (select 1 from listed, settings
                        where (julianday(listed.receive_send_date) - julianday(listed.other_date)) * 24
                              > settings.notice_hours)
    when 2 then coalesce((select mef_required from committee), 0) = 1
             or (select settings.mef_threshold > 0
                        and (year_totals.receipts + coalesce(q.receipts, 0) >= settings.mef_threshold
                             or year_totals.expenditures + coalesce(q.expenditures, 0) >= settings.mef_threshold)
                 from year_totals, settings, q)
    when 3 then coalesce((select mef_required from committee), 0) = 1
    when 4 then coalesce((select delivery_method_code = 'ELE' from existing), 0)
    else 0 end as "@flag_mef",
  (select unique_id from election) as "@election_id";
with raw(k, t) as (values (1, @begin_date), (2, @end_date)),
  dt(k, v) as (select k, tw_date_text(t) from raw),
  q as (select cast(nullif(trim(@org_id), '') as integer) as org_id,
               cast(nullif(trim(@document_id), '') as integer) as document_id,
               coalesce((select v from dt where k = 1),
                        case when cast(trim(@doc_year) as integer) > 0
                             then printf('%04d-01-01', cast(trim(@doc_year) as integer)) end) as b,
               coalesce((select v from dt where k = 2),
                        case when cast(trim(@doc_year) as integer) > 0
                             then printf('%04d-12-31', cast(trim(@doc_year) as integer)) end) as e),
  settings as (select
      coalesce((select cast(Description as real) from lks_system_info where Code = 'NOTICE_48H_HOURS'), 48) as notice_hours)
select rd.unique_id as document_id, rd.Title, rd.other_date as contribution_date,
       rd.receive_send_date, rd.total_receipts as amount,
       round((julianday(rd.receive_send_date) - julianday(rd.other_date)) * 24, 1) as hours_to_notice,
       case when (julianday(rd.receive_send_date) - julianday(rd.other_date)) * 24 > settings.notice_hours
            then 'X' else '' end as is_late,
       (select min(xr.report_id) from xrf_report_document xr where xr.document_id = rd.unique_id) as report_id
from q
cross join settings
join xrf_org_document x on x.org_id = q.org_id
join ref_document rd on rd.unique_id = x.document_id
where @get_type_flag in (1, 5)
  and rd.doc_sub_type_code = '48H' and rd.delete_date is null
  and date(coalesce(rd.other_date, rd.receive_send_date)) between q.b and q.e
  and (q.document_id is null or rd.unique_id <> q.document_id)
  and (@get_type_flag = 5
       or not exists (select 1 from xrf_report_document xr where xr.document_id = rd.unique_id))
order by coalesce(rd.other_date, rd.receive_send_date), rd.unique_id;
