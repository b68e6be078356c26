-- Indexes of the filing office database. Built after the tables are filled:
-- loading a large office into bare tables and indexing once is many times
-- faster than keeping the indexes up to date row by row. The upgrade of an
-- older office runs this again to add those it lacks.

-- Trigram indexes serve the name searches' like '%x%', which no ordinary
-- index can. They index a column's text, matched case-blind with ILIKE: the
-- server's renderer writes a like on a case-blind column that way.
create extension if not exists pg_trgm;

-- Documents: the search form filters by year, type, sub-type, user and
-- three dates.
create index if not exists ix_ref_document_year on ref_document (doc_year, doc_type_code);
create index if not exists ix_ref_document_type on ref_document (doc_type_code, doc_sub_type_code);
create index if not exists ix_ref_document_sub_type on ref_document (doc_sub_type_code);
create index if not exists ix_ref_document_user on ref_document (user_id);
create index if not exists ix_ref_document_received on ref_document (receive_send_date);
create index if not exists ix_ref_document_entered on ref_document (entry_date);
create index if not exists ix_ref_document_updated on ref_document (update_date);
-- No search filters on the name listed, and the server cannot read the
-- document list in its order from an index (it sorts by the committee's
-- in-house name first): an index on it would serve no query and cost a
-- build of the office at a million documents seven seconds (case-blind
-- texts sort slowly). An office built before keeps none either.
drop index if exists ix_ref_document_name;

-- Links. A document is linked to a committee at most once.
create unique index if not exists ux_xrf_org_document on xrf_org_document (org_id, document_id);
create index if not exists ix_xrf_org_document_doc on xrf_org_document (document_id);
create unique index if not exists ux_xrf_aff_org_document on XRF_AFF_ORG_DOCUMENT (org_id, document_id);
create index if not exists ix_xrf_aff_org_document_doc on XRF_AFF_ORG_DOCUMENT (document_id);
create unique index if not exists ux_xrf_report_document on xrf_report_document (report_id, document_id);
create index if not exists ix_xrf_report_document_doc on xrf_report_document (document_id);

-- Committees: the current reference row of a group is its latest trans_date;
-- a group has at most one open detail row.
create index if not exists ix_ref_org_group on ref_org (group_id, trans_date);
create index if not exists ix_org_committee_group on org_committee (org_group_id, trans_end_date);
create unique index if not exists ux_org_committee_open on org_committee (org_group_id) where trans_end_date is null;
create index if not exists ix_org_committee_name on org_committee (org_name);
create index if not exists ix_org_officers_org on org_officers (org_group_id, name_type_code);
create index if not exists ix_org_officers_entity on org_officers (entity_id);
-- The committee searches gather every open candidate and treasurer term
-- (role, no end date) before joining them to the committees: read from this
-- index alone instead of the whole officer table.
create index if not exists ix_org_officers_role on org_officers (name_type_code, trans_end_date, org_group_id, entity_id, cand_office_code);
create index if not exists ix_org_name_address_last on org_name_address (last_name, first_name);

create index if not exists ix_ref_report_org on ref_report (org_group_id, doc_year, report_sub_type_code);
create index if not exists ix_ref_election_date on ref_election (election_date);
create index if not exists ix_ref_user_group on ref_user (group_id);
create index if not exists ix_adm_default_reg_setting on adm_default_reg_setting (app_function_lbl, app_function_value);

-- The names a clerk searches by any part: committees' official and in-house
-- names and acronyms, and people's last and first names.
create index if not exists ix_org_committee_name_trgm on org_committee using gin ((org_name::text) gin_trgm_ops);
create index if not exists ix_org_committee_inhouse_trgm on org_committee using gin ((inhouse_name::text) gin_trgm_ops);
create index if not exists ix_org_committee_acronym_trgm on org_committee using gin ((old_acronym::text) gin_trgm_ops);
create index if not exists ix_org_name_address_last_trgm on org_name_address using gin ((last_name::text) gin_trgm_ops);
create index if not exists ix_org_name_address_first_trgm on org_name_address using gin ((first_name::text) gin_trgm_ops);
