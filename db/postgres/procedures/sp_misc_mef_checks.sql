-- The filing checks of a committee's report. org_id is the committee group,
-- document_id the report document being checked (left out of every
-- comparison), begin_date and end_date its period ('3/5/2004' or ISO text;
-- with only doc_year given, the period is that whole year), the totals are
-- numbers written as text ('1,234.50' and '$1234.50' read as 1234.5).
--
-- The election of a period (election_id, for every run type) is the first
-- election on or after the start of the period whose 48-hour notice window
-- (notice_window_days before election day) opens by the end of the period.
--
-- get_type_flag
--   1  48-hour list: the committee's 48-hour notices (sub-type 48H) whose
--      contribution date (other_date; the received date when it is missing)
--      falls in the period and that no filed report accounts for yet, one row
--      each. A notice is late when it reached the office more than
--      NOTICE_48H_HOURS hours (lks_system_info) after the contribution.
--      match_found: there is such a notice. flag_mef: one of them is late.
--   5  48-hour list for an amendment: as 1, but an amendment restates the
--      whole period, so notices already accounted for by a report are listed
--      too (with that report's identifier).
--   2  MEF check: match_found: an electronic filing (ref_report.is_mef) of
--      the same committee, year and sub-type (and period, when given) exists.
--      flag_mef: the committee must file electronically, because it is
--      marked so or because its receipts or its expenditures for the year
--      (its original reports of the year other than 48-hour notices, plus
--      the totals given) reach MEF_THRESHOLD (lks_system_info).
--   3  MEF return: match_found: the committee exists. flag_mef: the
--      committee is marked as an electronic filer.
--   4  Existing report: match_found: the committee already has another,
--      not deleted report of the same year and sub-type (and period, when
--      given). flag_mef: that report was filed electronically.
-- Any other run type finds nothing. Only run types 1 and 5 return rows.
create procedure sp_misc_mef_checks(
  get_type_flag integer default null,
  org_id text default null,
  document_id text default null,
  doc_year text default null,
  doc_sub_type_code citext default null,
  begin_date text default null,
  end_date text default null,
  total_receipts text default null,
  total_expenditures text default null,
  inout match_found boolean default null,
  inout flag_mef boolean default null,
  inout election_id smallint default null,
  inout tw_result refcursor default null)
language plpgsql as $$
#variable_conflict use_column
declare
  v_flag integer := sp_misc_mef_checks.get_type_flag;
  v_org integer := tw_integer_text(sp_misc_mef_checks.org_id);
  v_document integer := tw_integer_text(sp_misc_mef_checks.document_id);
  v_year integer := tw_integer_text(sp_misc_mef_checks.doc_year);
  v_sub_type citext := nullif(btrim(sp_misc_mef_checks.doc_sub_type_code), '');
  v_given_begin date := tw_date_text(sp_misc_mef_checks.begin_date);
  v_given_end date := tw_date_text(sp_misc_mef_checks.end_date);
  v_receipts numeric := tw_money_text(sp_misc_mef_checks.total_receipts);
  v_expenditures numeric := tw_money_text(sp_misc_mef_checks.total_expenditures);
  v_b date := coalesce(v_given_begin, case when v_year > 0 then tw_make_date(v_year, 1, 1) end);
  v_e date := coalesce(v_given_end, case when v_year > 0 then tw_make_date(v_year, 12, 31) end);
  v_threshold numeric := coalesce((select tw_number_text(s.Description) from lks_system_info s
                                   where s.Code = 'MEF_THRESHOLD'), 0);
  v_hours numeric := coalesce((select tw_number_text(s.Description) from lks_system_info s
                               where s.Code = 'NOTICE_48H_HOURS'), 48);
  v_mef_required boolean := coalesce((select oc.mef_required from org_committee oc
                                      where oc.org_group_id = v_org and oc.trans_end_date is null
                                      limit 1), false);
  v_existing_delivery citext;
  v_existing boolean;
  v_year_receipts numeric;
  v_year_expenditures numeric;
begin
  -- The election of the period.
  election_id := (select e.unique_id from ref_election e
                  where e.election_date::date >= v_b
                    and e.election_date::date - e.notice_window_days <= v_e
                  order by e.election_date, e.unique_id limit 1);

  if v_flag in (1, 5) then
    -- The committee's 48-hour notices of the period (for an amendment also
    -- those a report already accounts for), and whether one came late.
    select count(*) > 0,
           coalesce(bool_or(extract(epoch from (rd.receive_send_date - rd.other_date)) / 3600 > v_hours), false)
    into match_found, flag_mef
    from xrf_org_document x
    join ref_document rd on rd.unique_id = x.document_id
    where x.org_id = v_org
      and rd.doc_sub_type_code = '48H' and rd.delete_date is null
      and coalesce(rd.other_date, rd.receive_send_date)::date between v_b and v_e
      and (v_document is null or rd.unique_id <> v_document)
      and (v_flag = 5 or not exists (select 1 from xrf_report_document xr where xr.document_id = rd.unique_id));
  elsif v_flag = 2 then
    match_found := exists (select 1 from ref_report r
                           where r.org_group_id = v_org and r.doc_year = v_year
                             and r.report_sub_type_code = v_sub_type and r.is_mef
                             and (v_given_begin is null or r.begin_date::date = v_given_begin)
                             and (v_given_end is null or r.end_date::date = v_given_end));
    -- The committee's original reports of the year other than 48-hour
    -- notices, with the totals given.
    select coalesce(sum(rd.total_receipts), 0), coalesce(sum(rd.total_expenditures), 0)
    into v_year_receipts, v_year_expenditures
    from xrf_org_document x
    join ref_document rd on rd.unique_id = x.document_id
    where x.org_id = v_org
      and rd.doc_type_code = 'RPT' and rd.doc_year = v_year
      and rd.doc_sub_type_code <> '48H' and rd.delete_date is null
      and coalesce(rd.report_version_code, 'ORI') <> 'AMD'
      and (v_document is null or rd.unique_id <> v_document);
    flag_mef := v_mef_required
                or (v_threshold > 0
                    and (v_year_receipts + coalesce(v_receipts, 0) >= v_threshold
                         or v_year_expenditures + coalesce(v_expenditures, 0) >= v_threshold));
  elsif v_flag = 3 then
    match_found := exists (select 1 from ref_org r where r.group_id = v_org);
    flag_mef := v_mef_required;
  elsif v_flag = 4 then
    -- The committee's latest other report of the same year, sub-type and period.
    select true, rd.delivery_method_code
    into v_existing, v_existing_delivery
    from xrf_org_document x
    join ref_document rd on rd.unique_id = x.document_id
    where x.org_id = v_org
      and rd.doc_type_code = 'RPT' and rd.doc_year = v_year
      and rd.doc_sub_type_code = v_sub_type and rd.delete_date is null
      and (v_document is null or rd.unique_id <> v_document)
      and (v_given_begin is null or rd.begin_date::date = v_given_begin)
      and (v_given_end is null or rd.end_date::date = v_given_end)
    order by rd.receive_send_date desc nulls last, rd.unique_id desc
    limit 1;
    match_found := coalesce(v_existing, false);
    flag_mef := coalesce(v_existing_delivery = 'ELE', false);
  else
    match_found := false;
    flag_mef := false;
  end if;

  open tw_result for
  select rd.unique_id as document_id, rd.Title, rd.other_date as contribution_date,
         rd.receive_send_date, rd.total_receipts as amount,
         round(extract(epoch from (rd.receive_send_date - rd.other_date)) / 3600, 1) as hours_to_notice,
         case when extract(epoch from (rd.receive_send_date - rd.other_date)) / 3600 > v_hours
              then 'X' else '' end as is_late,
         (select min(xr.report_id) from xrf_report_document xr where xr.document_id = rd.unique_id) as report_id
  from xrf_org_document x
  join ref_document rd on rd.unique_id = x.document_id
  where v_flag in (1, 5) and x.org_id = v_org
    and rd.doc_sub_type_code = '48H' and rd.delete_date is null
    and coalesce(rd.other_date, rd.receive_send_date)::date between v_b and v_e
    and (v_document is null or rd.unique_id <> v_document)
    and (v_flag = 5 or not exists (select 1 from xrf_report_document xr where xr.document_id = rd.unique_id))
  order by coalesce(rd.other_date, rd.receive_send_date) nulls first, rd.unique_id;
end
$$;
