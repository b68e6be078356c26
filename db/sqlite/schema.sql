-- The filing office database: tables and views.
--
-- Conventions
--   * Column types are declared the way the office's server declares them
--     (int, smallint, bit, money, datetime, varchar(n), text, image, float);
--     the gateway types each result column from its declaration, so views
--     select plain columns wherever they can.
--   * Every text column compares without regard to letter case (COLLATE NOCASE),
--     as the office's server collation does.
--   * Dates are ISO text 'yyyy-mm-dd hh:mm:ss'; bit is 0/1; money is a number.
--   * A committee group (ref_org.group_id) is identified by the unique_id of
--     the group's first reference row, so link rows that carry a group id also
--     find that first row by unique_id.
--   * Indexes live in indexes.sql; they are built after any bulk load.
--   * Identifiers are never used twice (AUTOINCREMENT): a deleted document's
--     number never comes back for another, and what hangs off a document
--     (its scans, its report links) goes with it when it is deleted.
--   * Every table with an update_date has it stamped on each change by a
--     trigger the office builder adds once the rows are loaded.

-- ---------------------------------------------------------------------------
-- Stored procedures. The gateway reads a procedure's parameter list and body
-- from here; the office may change them with any SQLite tool.
create table tw_procedure (
  name        text primary key collate nocase,
  parameters  text not null,
  body        text not null,
  description text
);

-- ---------------------------------------------------------------------------
-- Code tables. A code is in force on a date D when effective_date <= D and
-- expire_date is null or after D.

create table lks_system_info (
  Code           varchar(30) collate nocase primary key,
  Description    varchar(255) collate nocase,
  Sequence       smallint not null default 0,
  effective_date datetime not null default '1900-01-01 00:00:00',
  expire_date    datetime,
  update_date    datetime
);

create table lks_delivery_method (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime,
  date_name      varchar(50) collate nocase,   -- label of the date the clerk records for this method
  reason_name    varchar(50) collate nocase    -- label of the reason asked for, if any
);

create table lks_document_type (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime,
  has_subset     bit not null default 0        -- 1 when the type has sub-types
);

create table lku_document_sub_type (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime,
  doc_type_code  varchar(10) collate nocase not null
);

create table lks_document_reason (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime,
  group_code     varchar(10) collate nocase not null  -- the document type the reason belongs to
);

create table lks_report_version (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime
);

create table lku_report_sub_type (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime,
  is_scheduled   bit not null default 0,       -- 1: due on a calendar date, 0: due by an event
  Delta          int                           -- days from the end of the period to the due date
);

create table lks_committee_type (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime
);

create table lks_committee_level (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime
);

create table lks_org_status (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime
);

create table lks_name_type (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime,
  is_officer     bit not null default 0        -- 1 for the officer roles of a committee
);

create table lku_office (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime
);

create table lku_party (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime
);

create table lks_penalty_appeal_decision (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime
);

create table LKS_COUNTY (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime,
  Velm_id        int not null                  -- the county's place in the state's official order
);

create table lks_election_type (
  Code           varchar(10) collate nocase primary key,
  Description    varchar(100) collate nocase not null,
  Sequence       smallint not null default 0,
  effective_date datetime not null,
  expire_date    datetime,
  update_date    datetime
);

-- ---------------------------------------------------------------------------
-- Staff. Each person is a group (group_id); a change of name or role closes
-- the open row (end_date) and opens a new one.
create table ref_user (
  unique_id      integer primary key autoincrement,
  group_id       int not null,
  user_name      varchar(50) collate nocase not null,
  first_name     varchar(50) collate nocase,
  last_name      varchar(50) collate nocase,
  is_system_user bit not null default 0,
  begin_date     datetime,
  end_date       datetime,
  orig_date      datetime,
  update_date    datetime
);

-- ---------------------------------------------------------------------------
-- Committees.

-- Reference rows: one or more per committee group, dated by trans_date; the
-- group's latest row is the current one.
create table ref_org (
  unique_id           integer primary key autoincrement,
  group_id            int,
  is_fund             bit not null default 0,
  id_1                varchar(4) collate nocase not null,   -- year of registration
  id_2                varchar(2) collate nocase not null,   -- committee class letter
  id_3                varchar(6) collate nocase not null,   -- serial number
  id_4                varchar(2) collate nocase not null,   -- check digit
  current_status_code varchar(10) collate nocase,
  entered_method_code varchar(10) collate nocase,
  entered_date        datetime,
  trans_date          datetime,
  trans_type          varchar(10) collate nocase,
  check_out_user_id   int,
  check_out_date      datetime,
  check_in_user_id    int,
  check_in_date       datetime,
  Reason              varchar(255) collate nocase,
  update_date         datetime,
  Orig_user_id        int,
  orig_date           datetime,
  user_id             int
);

-- Committee details with history: the open row has trans_end_date null.
create table org_committee (
  unique_id       integer primary key autoincrement,
  org_group_id    int not null,
  trans_date      datetime,
  trans_end_date  datetime,
  org_name        varchar(150) collate nocase not null,
  inhouse_name    varchar(150) collate nocase,
  old_acronym     varchar(30) collate nocase,
  previous_id     varchar(20) collate nocase,
  comm_type_code  varchar(10) collate nocase,
  comm_level_code varchar(10) collate nocase,
  party_code      varchar(10) collate nocase,
  mef_required    bit not null default 0,       -- must file its reports electronically
  orig_date       datetime,
  update_date     datetime,
  user_id         int
);

-- Names and addresses of candidates, treasurers and other officers.
create table org_name_address (
  unique_id    integer primary key autoincrement,
  first_name   varchar(50) collate nocase,
  middle_name  varchar(50) collate nocase,
  last_name    varchar(50) collate nocase,
  suffix       varchar(10) collate nocase,
  nick_name    varchar(50) collate nocase,
  address_1    varchar(100) collate nocase,
  address_2    varchar(100) collate nocase,
  city         varchar(50) collate nocase,
  state_code   varchar(2) collate nocase,
  zip          varchar(10) collate nocase,
  county_code  varchar(10) collate nocase,
  phone        varchar(20) collate nocase,
  email        varchar(100) collate nocase,
  orig_date    datetime,
  update_date  datetime
);

-- Officer terms: a person (entity_id) in a role (name_type_code) for a
-- committee group. group_id groups the rows of one officer record; an ended
-- term has trans_end_date set.
create table org_officers (
  unique_id        integer primary key autoincrement,
  group_id         int not null,
  org_group_id     int not null,
  name_type_code   varchar(10) collate nocase,
  entity_id        int,
  cand_office_code varchar(10) collate nocase,   -- the office a candidate seeks
  trans_date       datetime,
  trans_end_date   datetime,
  orig_date        datetime,
  update_date      datetime,
  user_id          int
);

-- ---------------------------------------------------------------------------
-- Elections, which set the 48-hour notice windows.
create table ref_election (
  unique_id          integer primary key autoincrement,
  election_date      datetime not null,
  election_type_code varchar(10) collate nocase not null,
  Description        varchar(100) collate nocase,
  doc_year           int not null,
  notice_window_days int not null default 17    -- 48-hour notices are due from this many days before
);

-- ---------------------------------------------------------------------------
-- Documents.

create table ref_document (
  unique_id                    integer primary key autoincrement,
  doc_type_code                varchar(10) collate nocase,
  doc_sub_type_code            varchar(10) collate nocase,
  doc_year                     int,
  Is_amendment                 bit,
  name_listed                  varchar(150) collate nocase,
  Title                        varchar(255) collate nocase,
  due_date                     datetime,
  referred_county_code         varchar(10) collate nocase,
  penalty_appeal_decision_code varchar(10) collate nocase,
  Amount_Due                   money,
  amount_paid                  money,
  delivery_method_code         varchar(10) collate nocase,
  doc_reason_code              varchar(10) collate nocase,
  report_version_code          varchar(10) collate nocase,
  receive_send_date            datetime,
  entry_date                   datetime,
  other_date                   datetime,   -- for a 48-hour notice: the day the contribution was received
  import_date                  datetime,
  begin_date                   datetime,
  end_date                     datetime,
  signed_date                  datetime,
  signer_officer_type_code     varchar(10) collate nocase,
  signer_officer_id            int,
  signer_name                  varchar(150) collate nocase,
  delete_date                  datetime,
  has_no_report_data           bit,
  no_report_data_reason        varchar(255) collate nocase,
  total_receipts               money,
  total_expenditures           money,
  has_no_totals                bit,
  has_image                    bit not null default 0,
  orig_user_id                 int,
  orig_date                    datetime,
  update_date                  datetime,
  user_id                      int
);

-- The committee that filed (or received) a document. org_id is the committee
-- group, which is the unique_id of the group's first reference row. A link
-- needs both ends, and both must exist; deleting a document deletes its links.
create table xrf_org_document (
  unique_id   integer primary key autoincrement,
  org_id      int not null references ref_org (unique_id),
  document_id int not null references ref_document (unique_id) on delete cascade,
  orig_date   datetime
);

-- Committees a document affects (a complaint names them, a penalty concerns them).
create table XRF_AFF_ORG_DOCUMENT (
  unique_id   integer primary key autoincrement,
  org_id      int not null references ref_org (unique_id),
  document_id int not null references ref_document (unique_id) on delete cascade,
  orig_date   datetime
);

-- The link procedures answer an impossible link with these texts rather than
-- with the bare constraint that would refuse it anyway.
create trigger tr_xrf_org_document_insert before insert on xrf_org_document
begin
  select raise(abort, 'A committee link needs a committee: org_id is empty') where new.org_id is null;
  select raise(abort, 'A committee link needs a document: document_id is empty') where new.document_id is null;
  select raise(abort, 'The committee of the link does not exist (no ref_org row with that unique_id)')
  where not exists (select 1 from ref_org where unique_id = new.org_id);
  select raise(abort, 'The document of the link does not exist (no ref_document row with that unique_id)')
  where not exists (select 1 from ref_document where unique_id = new.document_id);
end;

create trigger tr_xrf_org_document_update before update of org_id, document_id on xrf_org_document
begin
  select raise(abort, 'A committee link needs a committee: the new org_id is empty') where new.org_id is null;
  select raise(abort, 'The committee the link is moved to does not exist (no ref_org row with that unique_id)')
  where not exists (select 1 from ref_org where unique_id = new.org_id);
end;

create trigger tr_xrf_aff_org_document_insert before insert on XRF_AFF_ORG_DOCUMENT
begin
  select raise(abort, 'An affected-committee link needs a committee: org_id is empty') where new.org_id is null;
  select raise(abort, 'An affected-committee link needs a document: document_id is empty')
  where new.document_id is null;
  select raise(abort, 'The committee of the link does not exist (no ref_org row with that unique_id)')
  where not exists (select 1 from ref_org where unique_id = new.org_id);
  select raise(abort, 'The document of the link does not exist (no ref_document row with that unique_id)')
  where not exists (select 1 from ref_document where unique_id = new.document_id);
end;

create trigger tr_xrf_aff_org_document_update before update of org_id, document_id on XRF_AFF_ORG_DOCUMENT
begin
  select raise(abort, 'An affected-committee link needs a committee: the new org_id is empty')
  where new.org_id is null;
  select raise(abort, 'The committee the link is moved to does not exist (no ref_org row with that unique_id)')
  where not exists (select 1 from ref_org where unique_id = new.org_id);
end;

-- The financial report data of a filed report.
create table ref_report (
  unique_id            integer primary key autoincrement,
  org_group_id         int not null,
  doc_year             int not null,
  report_sub_type_code varchar(10) collate nocase not null,
  report_version_code  varchar(10) collate nocase,
  begin_date           datetime,
  end_date             datetime,
  due_date             datetime,
  election_id          int,
  total_receipts       money,
  total_expenditures   money,
  is_mef               bit not null default 0,  -- filed electronically
  filed_date           datetime,
  orig_date            datetime,
  update_date          datetime
);

create table xrf_report_document (
  unique_id   integer primary key autoincrement,
  report_id   int not null,
  document_id int not null references ref_document (unique_id) on delete cascade,
  orig_date   datetime
);

-- Scanned pages: the document image and an altered image, each with its page count.
create table DOCUMENT_IMAGE (
  document_id      integer primary key references ref_document (unique_id) on delete cascade,
  doc_page_ct      int,
  alt_doc_page_ct  int,
  doc_image        image,
  alt_doc_image    image,
  doc_image_sz     int,
  alt_doc_image_sz int,
  orig_date        datetime,
  update_date      datetime
);

-- Always empty: sp_save_DOCUMENT_IMAGE writes a Null here, which the column
-- refuses, when images name no document.
create table images_need_a_document (document_id int not null);

-- ---------------------------------------------------------------------------
-- Default settings that client applications copy into a workstation's
-- registry, per application function.
create table adm_default_reg_setting (
  unique_id          integer primary key autoincrement,
  app_function_lbl   varchar(50) collate nocase not null,
  app_function_value varchar(100) collate nocase not null,
  setting_path       varchar(255) collate nocase not null,
  setting_key        varchar(100) collate nocase not null,
  setting_type       varchar(20) collate nocase not null,   -- REG_SZ, REG_DWORD
  setting_value      varchar(255) collate nocase,
  Sequence           smallint not null default 0,
  update_date        datetime
);

-- ---------------------------------------------------------------------------
-- Views.
--
-- Descriptions of codes are read with a sub-select per column rather than a
-- join: a view that is no join can be merged into a query that outer-joins
-- it, so a search reads only the rows it needs instead of building the
-- whole view first.

-- Committee reference rows with their status description.
create view vw_zub_ref_org_detail as
select ro.unique_id, ro.group_id, ro.is_fund, ro.id_1, ro.id_2, ro.id_3, ro.id_4,
       ro.id_1 || '-' || ro.id_2 || '-' || ro.id_3 || '-' || ro.id_4 as full_id,
       ro.current_status_code,
       (select st.Description from lks_org_status st where st.Code = ro.current_status_code) as current_status_desc,
       ro.entered_method_code, ro.entered_date, ro.trans_date, ro.trans_type,
       ro.check_out_user_id, ro.check_out_date, ro.check_in_user_id, ro.check_in_date,
       ro.Reason, ro.update_date, ro.Orig_user_id, ro.orig_date, ro.user_id
from ref_org ro;

-- Committee detail rows with their descriptions; org_id is the committee group.
create view vw_Zub_org_committee_detail as
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

-- One row per committee: the group's latest reference row with the open detail row.
-- Written over the detail rows alone, the reference row's columns each read
-- from the group's latest row, so that SQLite can fold the view into a query
-- that left-joins it (the document search) and reach one committee by index;
-- a view that joins two tables is built whole, every committee, each time.
create view vw_zub_ORG_Committee_ref_current as
select (select r.unique_id from ref_org r where r.group_id = oc.org_group_id
        order by r.trans_date desc, r.unique_id desc limit 1) as unique_id,
       oc.org_group_id as ref_group_id,
       (select r.id_1 from ref_org r where r.group_id = oc.org_group_id
        order by r.trans_date desc, r.unique_id desc limit 1) as id_1,
       (select r.id_2 from ref_org r where r.group_id = oc.org_group_id
        order by r.trans_date desc, r.unique_id desc limit 1) as id_2,
       (select r.id_3 from ref_org r where r.group_id = oc.org_group_id
        order by r.trans_date desc, r.unique_id desc limit 1) as id_3,
       (select r.id_4 from ref_org r where r.group_id = oc.org_group_id
        order by r.trans_date desc, r.unique_id desc limit 1) as id_4,
       (select r.current_status_code from ref_org r where r.group_id = oc.org_group_id
        order by r.trans_date desc, r.unique_id desc limit 1) as current_status_code,
       (select st.Description from lks_org_status st where st.Code = (select r.current_status_code from ref_org r where r.group_id = oc.org_group_id
        order by r.trans_date desc, r.unique_id desc limit 1)) as status_desc,
       (select r.trans_date from ref_org r where r.group_id = oc.org_group_id
        order by r.trans_date desc, r.unique_id desc limit 1) as trans_date,
       oc.org_name, oc.inhouse_name, oc.old_acronym, oc.previous_id, oc.comm_type_code,
       (select ct.Description from lks_committee_type ct where ct.Code = oc.comm_type_code) as comm_type_desc,
       oc.comm_level_code, oc.party_code, oc.mef_required
from org_committee oc
where oc.trans_end_date is null
  and exists (select 1 from ref_org r where r.group_id = oc.org_group_id);

-- Officers whose term is open.
create view VW_ZUB_ORG_Officers_Ref_Current as
select o.unique_id, o.group_id, o.org_group_id, o.org_group_id as ref_group_id,
       o.name_type_code,
       (select nt.Description from lks_name_type nt where nt.Code = o.name_type_code) as name_type_desc,
       o.entity_id, o.cand_office_code, o.trans_date, o.trans_end_date, o.update_date
from org_officers o
where o.trans_end_date is null;

create view VW_ZUB_ORG_Name_address_detail as
select na.unique_id, na.first_name, na.middle_name, na.last_name, na.suffix, na.nick_name,
       na.address_1, na.address_2, na.city, na.state_code, na.zip, na.county_code,
       (select cy.Description from LKS_COUNTY cy where cy.Code = na.county_code) as county_desc,
       na.phone, na.email, na.orig_date, na.update_date
from org_name_address na;

-- Documents with the descriptions of their codes.
create view vw_zub_ref_document_detail as
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
