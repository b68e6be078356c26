-- The views of the office server database. Run by the office builder after
-- the schema, and by the upgrade of an older office to put the current
-- definitions in place: each is created or replaced, with the same columns.
--
-- Descriptions of codes are read with a sub-select per column rather than a
-- join. A document search already joins six or more tables; the lookups as
-- joins would take it past the number of tables the planner puts in order,
-- and it would then build the whole document view before finding the few
-- rows a committee's name selects (20 ms became 1.2 s at a million
-- documents).

-- Committee reference rows with their status description.
create or replace view vw_zub_ref_org_detail as
select ro.unique_id, ro.group_id, ro.is_fund, ro.id_1, ro.id_2, ro.id_3, ro.id_4,
       (ro.id_1 || '-' || ro.id_2 || '-' || ro.id_3 || '-' || ro.id_4)::citext as full_id,
       ro.current_status_code,
       (select st.Description from lks_org_status st where st.Code = ro.current_status_code) as current_status_desc,
       ro.entered_method_code, ro.entered_date, ro.trans_date, ro.trans_type,
       ro.check_out_user_id, ro.check_out_date, ro.check_in_user_id, ro.check_in_date,
       ro.Reason, ro.update_date, ro.Orig_user_id, ro.orig_date, ro.user_id
from ref_org ro;

-- Committee detail rows with their descriptions; org_id is the committee group.
create or replace view vw_Zub_org_committee_detail as
select oc.unique_id, oc.org_group_id as org_id, oc.org_group_id,
       oc.trans_date, oc.trans_end_date, oc.org_name, oc.inhouse_name, oc.old_acronym,
       oc.previous_id, oc.comm_type_code,
       (select ct.Description from lks_committee_type ct where ct.Code = oc.comm_type_code) as comm_type_desc,
       oc.comm_level_code,
       (select cl.Description from lks_committee_level cl where cl.Code = oc.comm_level_code) as comm_level_desc,
       oc.party_code,
       (select pt.Description from lku_party pt where pt.Code = oc.party_code) as party_desc,
       oc.mef_required, oc.orig_date, oc.update_date, oc.user_id
from org_committee oc;

-- One row per committee: the open detail row with the group's latest
-- reference row. The latest row is taken by a lateral sub-select, so the
-- planner counts one row per open committee: it joins the view by hash to a
-- year's documents, and probes it by index for a few committees. (Picked by
-- a correlated sub-select in the join condition instead, it was counted as
-- one row in all and scanned again for every document.) The group is given
-- as the detail row's, the same number: a search joins it by the index of
-- open detail rows, which the sub-select's own column has none of.
create or replace view vw_zub_ORG_Committee_ref_current as
select ro.unique_id, oc.org_group_id as ref_group_id, ro.id_1, ro.id_2, ro.id_3, ro.id_4,
       ro.current_status_code,
       (select st.Description from lks_org_status st where st.Code = ro.current_status_code) as status_desc,
       ro.trans_date, oc.org_name, oc.inhouse_name, oc.old_acronym, oc.previous_id, oc.comm_type_code,
       (select ct.Description from lks_committee_type ct where ct.Code = oc.comm_type_code) as comm_type_desc,
       oc.comm_level_code, oc.party_code, oc.mef_required
from org_committee oc
cross join lateral (select r2.unique_id, r2.id_1, r2.id_2, r2.id_3, r2.id_4,
                           r2.current_status_code, r2.trans_date
                    from ref_org r2
                    where r2.group_id = oc.org_group_id
                    order by r2.trans_date desc nulls last, r2.unique_id desc limit 1) ro
where oc.trans_end_date is null;

-- Officers whose term is open.
create or replace view VW_ZUB_ORG_Officers_Ref_Current as
select o.unique_id, o.group_id, o.org_group_id, o.org_group_id as ref_group_id,
       o.name_type_code,
       (select nt.Description from lks_name_type nt where nt.Code = o.name_type_code) as name_type_desc,
       o.entity_id, o.cand_office_code, o.trans_date, o.trans_end_date, o.update_date
from org_officers o
where o.trans_end_date is null;

create or replace view VW_ZUB_ORG_Name_address_detail as
select na.unique_id, na.first_name, na.middle_name, na.last_name, na.suffix, na.nick_name,
       na.address_1, na.address_2, na.city, na.state_code, na.zip, na.county_code,
       (select cy.Description from LKS_COUNTY cy where cy.Code = na.county_code) as county_desc,
       na.phone, na.email, na.orig_date, na.update_date
from org_name_address na;

-- Documents with the descriptions of their codes.
create or replace view vw_zub_ref_document_detail as
select rd.*,
       (select dt.Description from lks_document_type dt where dt.Code = rd.doc_type_code) as doc_type_desc,
       (select dt.Description from lks_document_type dt where dt.Code = rd.doc_type_code) as doc_type_code_desc,
       (select st.Description from lku_document_sub_type st where st.Code = rd.doc_sub_type_code) as doc_sub_type_desc,
       (select st.Description from lku_document_sub_type st where st.Code = rd.doc_sub_type_code) as doc_name_desc,
       (select dm.Description from lks_delivery_method dm where dm.Code = rd.delivery_method_code) as delivery_method_desc,
       (select dr.Description from lks_document_reason dr where dr.Code = rd.doc_reason_code) as Doc_reason_desc,
       (select rv.Description from lks_report_version rv where rv.Code = rd.report_version_code) as report_version_desc,
       (select pd.Description from lks_penalty_appeal_decision pd
        where pd.Code = rd.penalty_appeal_decision_code) as penalty_appeal_decision_desc,
       (select cy.Description from LKS_COUNTY cy where cy.Code = rd.referred_county_code) as referred_county_desc
from ref_document rd;
