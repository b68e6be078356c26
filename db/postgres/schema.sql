-- The filing office database on the office server: its tables (the views
-- are in views.sql).
--
-- Conventions
--   * Column types follow the office's declarations: int -> integer,
--     smallint, bit -> boolean, money -> numeric(19,4), datetime ->
--     timestamp(0), varchar(n) -> citext with a length check (a value that is
--     too long is refused, never cut), image -> bytea, float -> double
--     precision. The gateway types each result column from its type.
--   * Every text is citext: =, <>, like and order by ignore letter case, as
--     the office's server collation does.
--   * Names are written unquoted, so the catalog holds them in lower case;
--     clients name tables and columns in any letter case.
--   * A committee group (ref_org.group_id) is identified by the unique_id of
--     the group's first reference row, so link rows that carry a group id also
--     find that first row by unique_id.
--   * Indexes live in indexes.sql; they are built after any bulk load.

create extension if not exists citext;

-- Marks the database as a filing office and gives its schema version; the
-- gateway opens only an office of the version it knows.
create table tw_office (
  single  boolean primary key default true check (single),   -- one row only
  version integer not null check (version > 0)
);
insert into tw_office (version) values (5);

-- ---------------------------------------------------------------------------
-- Code tables. A code is in force on a date D when effective_date <= D and
-- expire_date is null or after D.

create table lks_system_info (
  Code           citext primary key check (length(code) <= 30),
  Description    citext check (length(description) <= 255),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null default '1900-01-01 00:00:00',
  expire_date    timestamp(0),
  update_date    timestamp(0)
);

create table lks_delivery_method (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0),
  date_name      citext check (length(date_name) <= 50),   -- label of the date the clerk records for this method
  reason_name    citext check (length(reason_name) <= 50)    -- label of the reason asked for, if any
);

create table lks_document_type (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0),
  has_subset     boolean not null default false        -- 1 when the type has sub-types
);

create table lku_document_sub_type (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0),
  doc_type_code  citext not null check (length(doc_type_code) <= 10)
);

create table lks_document_reason (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0),
  group_code     citext not null check (length(group_code) <= 10)  -- the document type the reason belongs to
);

create table lks_report_version (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0)
);

create table lku_report_sub_type (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0),
  is_scheduled   boolean not null default false,       -- 1: due on a calendar date, 0: due by an event
  Delta          integer                           -- days from the end of the period to the due date
);

create table lks_committee_type (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0)
);

create table lks_committee_level (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0)
);

create table lks_org_status (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0)
);

create table lks_name_type (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0),
  is_officer     boolean not null default false        -- 1 for the officer roles of a committee
);

create table lku_office (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0)
);

create table lku_party (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0)
);

create table lks_penalty_appeal_decision (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0)
);

create table LKS_COUNTY (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0),
  Velm_id        integer not null                  -- the county's place in the state's official order
);

create table lks_election_type (
  Code           citext primary key check (length(code) <= 10),
  Description    citext not null check (length(description) <= 100),
  Sequence       smallint not null default 0,
  effective_date timestamp(0) not null,
  expire_date    timestamp(0),
  update_date    timestamp(0)
);

-- ---------------------------------------------------------------------------
-- Staff. Each person is a group (group_id); a change of name or role closes
-- the open row (end_date) and opens a new one.
create table ref_user (
  unique_id      integer generated by default as identity primary key,
  group_id       integer not null,
  user_name      citext not null check (length(user_name) <= 50),
  first_name     citext check (length(first_name) <= 50),
  last_name      citext check (length(last_name) <= 50),
  is_system_user boolean not null default false,
  begin_date     timestamp(0),
  end_date       timestamp(0),
  orig_date      timestamp(0),
  update_date    timestamp(0)
);

-- ---------------------------------------------------------------------------
-- Committees.

-- Reference rows: one or more per committee group, dated by trans_date; the
-- group's latest row is the current one.
create table ref_org (
  unique_id           integer generated by default as identity primary key,
  group_id            integer,
  is_fund             boolean not null default false,
  id_1                citext not null check (length(id_1) <= 4),   -- year of registration
  id_2                citext not null check (length(id_2) <= 2),   -- committee class letter
  id_3                citext not null check (length(id_3) <= 6),   -- serial number
  id_4                citext not null check (length(id_4) <= 2),   -- check digit
  current_status_code citext check (length(current_status_code) <= 10),
  entered_method_code citext check (length(entered_method_code) <= 10),
  entered_date        timestamp(0),
  trans_date          timestamp(0),
  trans_type          citext check (length(trans_type) <= 10),
  check_out_user_id   integer,
  check_out_date      timestamp(0),
  check_in_user_id    integer,
  check_in_date       timestamp(0),
  Reason              citext check (length(reason) <= 255),
  update_date         timestamp(0),
  Orig_user_id        integer,
  orig_date           timestamp(0),
  user_id             integer
);

-- Committee details with history: the open row has trans_end_date null.
create table org_committee (
  unique_id       integer generated by default as identity primary key,
  org_group_id    integer not null,
  trans_date      timestamp(0),
  trans_end_date  timestamp(0),
  org_name        citext not null check (length(org_name) <= 150),
  inhouse_name    citext check (length(inhouse_name) <= 150),
  old_acronym     citext check (length(old_acronym) <= 30),
  previous_id     citext check (length(previous_id) <= 20),
  comm_type_code  citext check (length(comm_type_code) <= 10),
  comm_level_code citext check (length(comm_level_code) <= 10),
  party_code      citext check (length(party_code) <= 10),
  mef_required    boolean not null default false,       -- must file its reports electronically
  orig_date       timestamp(0),
  update_date     timestamp(0),
  user_id         integer
);

-- Names and addresses of candidates, treasurers and other officers.
create table org_name_address (
  unique_id    integer generated by default as identity primary key,
  first_name   citext check (length(first_name) <= 50),
  middle_name  citext check (length(middle_name) <= 50),
  last_name    citext check (length(last_name) <= 50),
  suffix       citext check (length(suffix) <= 10),
  nick_name    citext check (length(nick_name) <= 50),
  address_1    citext check (length(address_1) <= 100),
  address_2    citext check (length(address_2) <= 100),
  city         citext check (length(city) <= 50),
  state_code   citext check (length(state_code) <= 2),
  zip          citext check (length(zip) <= 10),
  county_code  citext check (length(county_code) <= 10),
  phone        citext check (length(phone) <= 20),
  email        citext check (length(email) <= 100),
  orig_date    timestamp(0),
  update_date  timestamp(0)
);

-- Officer terms: a person (entity_id) in a role (name_type_code) for a
-- committee group. group_id groups the rows of one officer record; an ended
-- term has trans_end_date set.
create table org_officers (
  unique_id        integer generated by default as identity primary key,
  group_id         integer not null,
  org_group_id     integer not null,
  name_type_code   citext check (length(name_type_code) <= 10),
  entity_id        integer,
  cand_office_code citext check (length(cand_office_code) <= 10),   -- the office a candidate seeks
  trans_date       timestamp(0),
  trans_end_date   timestamp(0),
  orig_date        timestamp(0),
  update_date      timestamp(0),
  user_id          integer
);

-- ---------------------------------------------------------------------------
-- Elections, which set the 48-hour notice windows.
create table ref_election (
  unique_id          integer generated by default as identity primary key,
  election_date      timestamp(0) not null,
  election_type_code citext not null check (length(election_type_code) <= 10),
  Description        citext check (length(description) <= 100),
  doc_year           integer not null,
  notice_window_days integer not null default 17    -- 48-hour notices are due from this many days before
);

-- ---------------------------------------------------------------------------
-- Documents.

create table ref_document (
  unique_id                    integer generated by default as identity primary key,
  doc_type_code                citext check (length(doc_type_code) <= 10),
  doc_sub_type_code            citext check (length(doc_sub_type_code) <= 10),
  doc_year                     integer,
  Is_amendment                 boolean,
  name_listed                  citext check (length(name_listed) <= 150),
  Title                        citext check (length(title) <= 255),
  due_date                     timestamp(0),
  referred_county_code         citext check (length(referred_county_code) <= 10),
  penalty_appeal_decision_code citext check (length(penalty_appeal_decision_code) <= 10),
  Amount_Due                   numeric(19,4),
  amount_paid                  numeric(19,4),
  delivery_method_code         citext check (length(delivery_method_code) <= 10),
  doc_reason_code              citext check (length(doc_reason_code) <= 10),
  report_version_code          citext check (length(report_version_code) <= 10),
  receive_send_date            timestamp(0),
  entry_date                   timestamp(0),
  other_date                   timestamp(0),   -- for a 48-hour notice: the day the contribution was received
  import_date                  timestamp(0),
  begin_date                   timestamp(0),
  end_date                     timestamp(0),
  signed_date                  timestamp(0),
  signer_officer_type_code     citext check (length(signer_officer_type_code) <= 10),
  signer_officer_id            integer,
  signer_name                  citext check (length(signer_name) <= 150),
  delete_date                  timestamp(0),
  has_no_report_data           boolean,
  no_report_data_reason        citext check (length(no_report_data_reason) <= 255),
  total_receipts               numeric(19,4),
  total_expenditures           numeric(19,4),
  has_no_totals                boolean,
  has_image                    boolean not null default false,
  orig_user_id                 integer,
  orig_date                    timestamp(0),
  update_date                  timestamp(0),
  user_id                      integer
);

-- The committee that filed (or received) a document. org_id is the committee
-- group, which is the unique_id of the group's first reference row. A link
-- needs both ends, and both must exist; deleting a document deletes its links.
create table xrf_org_document (
  unique_id   integer generated by default as identity primary key,
  org_id      integer not null references ref_org (unique_id),
  document_id integer not null references ref_document (unique_id) on delete cascade,
  orig_date   timestamp(0)
);

-- Committees a document affects (a complaint names them, a penalty concerns them).
create table XRF_AFF_ORG_DOCUMENT (
  unique_id   integer generated by default as identity primary key,
  org_id      integer not null references ref_org (unique_id),
  document_id integer not null references ref_document (unique_id) on delete cascade,
  orig_date   timestamp(0)
);

-- The link procedures answer an impossible link with these texts rather than
-- with the bare constraint that would refuse it anyway.
create function tw_check_org_link() returns trigger language plpgsql as $$
declare
  what text := case when tg_table_name = 'xrf_org_document' then 'A committee link'
                    else 'An affected-committee link' end;
begin
  if tg_op = 'INSERT' then
    if new.org_id is null then
      raise exception using errcode = '23502', message = what || ' needs a committee: org_id is empty';
    end if;
    if new.document_id is null then
      raise exception using errcode = '23502', message = what || ' needs a document: document_id is empty';
    end if;
    if not exists (select 1 from ref_org where unique_id = new.org_id) then
      raise exception using errcode = '23503',
        message = 'The committee of the link does not exist (no ref_org row with that unique_id)';
    end if;
    if not exists (select 1 from ref_document where unique_id = new.document_id) then
      raise exception using errcode = '23503',
        message = 'The document of the link does not exist (no ref_document row with that unique_id)';
    end if;
  else
    if new.org_id is null then
      raise exception using errcode = '23502', message = what || ' needs a committee: the new org_id is empty';
    end if;
    if not exists (select 1 from ref_org where unique_id = new.org_id) then
      raise exception using errcode = '23503',
        message = 'The committee the link is moved to does not exist (no ref_org row with that unique_id)';
    end if;
  end if;
  return new;
end
$$;

create trigger tr_xrf_org_document_insert before insert on xrf_org_document
  for each row execute function tw_check_org_link();
create trigger tr_xrf_org_document_update before update of org_id, document_id on xrf_org_document
  for each row execute function tw_check_org_link();
create trigger tr_xrf_aff_org_document_insert before insert on XRF_AFF_ORG_DOCUMENT
  for each row execute function tw_check_org_link();
create trigger tr_xrf_aff_org_document_update before update of org_id, document_id on XRF_AFF_ORG_DOCUMENT
  for each row execute function tw_check_org_link();

-- The financial report data of a filed report.
create table ref_report (
  unique_id            integer generated by default as identity primary key,
  org_group_id         integer not null,
  doc_year             integer not null,
  report_sub_type_code citext not null check (length(report_sub_type_code) <= 10),
  report_version_code  citext check (length(report_version_code) <= 10),
  begin_date           timestamp(0),
  end_date             timestamp(0),
  due_date             timestamp(0),
  election_id          integer,
  total_receipts       numeric(19,4),
  total_expenditures   numeric(19,4),
  is_mef               boolean not null default false,  -- filed electronically
  filed_date           timestamp(0),
  orig_date            timestamp(0),
  update_date          timestamp(0)
);

create table xrf_report_document (
  unique_id   integer generated by default as identity primary key,
  report_id   integer not null,
  document_id integer not null references ref_document (unique_id) on delete cascade,
  orig_date   timestamp(0)
);

-- Scanned pages: the document image and an altered image, each with its page count.
create table DOCUMENT_IMAGE (
  document_id      integer primary key references ref_document (unique_id) on delete cascade,
  doc_page_ct      integer,
  alt_doc_page_ct  integer,
  doc_image        bytea,
  alt_doc_image    bytea,
  doc_image_sz     integer,
  alt_doc_image_sz integer,
  orig_date        timestamp(0),
  update_date      timestamp(0)
);

-- Always empty: sp_save_DOCUMENT_IMAGE writes a Null here, which the column
-- refuses, when images name no document.
create table images_need_a_document (document_id integer not null);

-- ---------------------------------------------------------------------------
-- Default settings that client applications copy into a workstation's
-- registry, per application function.
create table adm_default_reg_setting (
  unique_id          integer generated by default as identity primary key,
  app_function_lbl   citext not null check (length(app_function_lbl) <= 50),
  app_function_value citext not null check (length(app_function_value) <= 100),
  setting_path       citext not null check (length(setting_path) <= 255),
  setting_key        citext not null check (length(setting_key) <= 100),
  setting_type       citext not null check (length(setting_type) <= 20),   -- REG_SZ, REG_DWORD
  setting_value      citext check (length(setting_value) <= 255),
  Sequence           smallint not null default 0,
  update_date        timestamp(0)
);
