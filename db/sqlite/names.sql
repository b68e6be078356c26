-- The name index: every name a person may type to find a committee (its
-- official names, in-house names and acronyms, current and former, and the
-- names of its candidates and treasurers in every term), as plain words
-- (tw_name_words), with what the name search ranks by.
--
-- The database keeps it current itself. Each write to a table a name or a
-- ranking comes from queues the committee's group in tw_name_refresh, in the
-- same statement; the queue's triggers rebuild what the group shows and take
-- the row out again. A write that fails or is rolled back takes its changes
-- to the index with it.
--
-- Built after the tables are filled and indexed: the last statements queue
-- every committee once and build the word index from the names.

-- One row per name of a committee; kind is 'committee', 'candidate' or
-- 'treasurer', source 'O' official, 'I' in-house, 'A' acronym, 'C' candidate,
-- 'T' treasurer. An acronym is found only whole: its words are not indexed,
-- its key is its words written together. name_rank orders the committee's
-- names as the search prefers them (kind, source, then the name's bytes), so
-- that the search picks a committee's best name by one number.
create table tw_name (
  unique_id   integer primary key,
  org_id      int not null,
  kind        varchar(10) not null,
  source      char(1) not null,
  name        varchar(300) not null,
  words       text not null,
  acronym_key varchar(300),
  name_rank   int not null
);
create index ix_tw_name_org on tw_name (org_id);
create index ix_tw_name_acronym on tw_name (acronym_key) where acronym_key is not null;

-- The words of the names, by tw_name.unique_id. The words are already
-- lower case, plain ASCII letters and digits or other letters, one blank
-- apart, so the ascii tokenizer reads them as written. Prefix indexes of one
-- to three letters serve an initial and short words. The search asks only
-- which names hold a word, never where, so no positions are kept.
create virtual table tw_name_fts using fts5 (
  words, content = 'tw_name', content_rowid = 'unique_id', tokenize = 'ascii', prefix = '1 2 3',
  detail = none, columnsize = 0);

-- One row per committee in the index: its current official name, the status
-- of its latest reference row, and the latest date a document it filed was
-- received.
create table tw_name_committee (
  org_id      int primary key,
  org_name    varchar(150) not null,
  status_code varchar(10) collate nocase,
  last_filed  datetime
);

-- The committees whose names (names = 1) or ranking changed, waiting for
-- their triggers. Empty outside a statement.
create table tw_name_refresh (org_id int, names int not null);

create trigger tr_tw_name_refresh_names after insert on tw_name_refresh when new.names = 1 begin
  delete from tw_name where org_id = new.org_id;
  insert into tw_name (org_id, kind, source, name, words, acronym_key, name_rank)
  select new.org_id, kind, source, name, words, acronym_key,
         row_number() over (order by case kind when 'committee' then 0 when 'candidate' then 1 else 2 end,
                                     instr('OIACT', source), name collate binary)
  from (select distinct 'committee' as kind, 'O' as source, oc.org_name collate binary as name,
               tw_name_words(oc.org_name, 0) as words, null as acronym_key
        from org_committee oc where oc.org_group_id = new.org_id
        union
        select 'committee', 'I', oc.inhouse_name collate binary, tw_name_words(oc.inhouse_name, 0), null
        from org_committee oc where oc.org_group_id = new.org_id
        union
        select 'committee', 'A', oc.old_acronym collate binary, '', replace(tw_name_words(oc.old_acronym, 1), ' ', '')
        from org_committee oc where oc.org_group_id = new.org_id
        union
        select case when o.name_type_code = 'CND' then 'candidate' else 'treasurer' end,
               case when o.name_type_code = 'CND' then 'C' else 'T' end,
               ltrim(coalesce(' ' || nullif(trim(na.first_name), ''), '') ||
                     coalesce(' ' || nullif(trim(na.middle_name), ''), '') ||
                     coalesce(' ' || nullif(trim(na.last_name), ''), '') ||
                     coalesce(' ' || nullif(trim(na.suffix), ''), '')),
               tw_name_words(coalesce(na.first_name, '') || ' ' || coalesce(na.middle_name, '') || ' ' ||
                             coalesce(na.last_name, '') || ' ' || coalesce(na.suffix, '') || ' ' ||
                             coalesce(na.nick_name, ''), 0),
               null
        from org_officers o join org_name_address na on na.unique_id = o.entity_id
        where o.org_group_id = new.org_id and o.name_type_code in ('CND', 'TRS'))
  where (words <> '' or acronym_key <> '')
    and exists (select 1 from org_committee oc where oc.org_group_id = new.org_id);
end;

create trigger tr_tw_name_refresh_committee after insert on tw_name_refresh begin
  delete from tw_name_committee where org_id = new.org_id;
  insert into tw_name_committee (org_id, org_name, status_code, last_filed)
  select new.org_id,
         (select oc.org_name from org_committee oc where oc.org_group_id = new.org_id
          order by oc.trans_end_date is not null, oc.trans_date desc, oc.unique_id desc limit 1),
         (select ro.current_status_code from ref_org ro where ro.group_id = new.org_id
          order by ro.trans_date desc, ro.unique_id desc limit 1),
         (select max(d.receive_send_date) from xrf_org_document x
          join ref_document d on d.unique_id = x.document_id where x.org_id = new.org_id)
  where exists (select 1 from org_committee oc where oc.org_group_id = new.org_id);
  delete from tw_name_refresh where rowid = new.rowid;
end;

-- What queues a committee.
create trigger tr_tw_names_org_committee_insert after insert on org_committee begin
  insert into tw_name_refresh values (new.org_group_id, 1);
end;
create trigger tr_tw_names_org_committee_update after update on org_committee begin
  insert into tw_name_refresh select old.org_group_id, 1 where old.org_group_id is not new.org_group_id;
  insert into tw_name_refresh values (new.org_group_id, 1);
end;
create trigger tr_tw_names_org_committee_delete after delete on org_committee begin
  insert into tw_name_refresh values (old.org_group_id, 1);
end;
create trigger tr_tw_names_org_officers_insert after insert on org_officers begin
  insert into tw_name_refresh values (new.org_group_id, 1);
end;
create trigger tr_tw_names_org_officers_update after update on org_officers begin
  insert into tw_name_refresh select old.org_group_id, 1 where old.org_group_id is not new.org_group_id;
  insert into tw_name_refresh values (new.org_group_id, 1);
end;
create trigger tr_tw_names_org_officers_delete after delete on org_officers begin
  insert into tw_name_refresh values (old.org_group_id, 1);
end;
create trigger tr_tw_names_org_name_address_update after update of first_name, middle_name, last_name, suffix,
  nick_name on org_name_address begin
  insert into tw_name_refresh
  select distinct o.org_group_id, 1 from org_officers o where o.entity_id in (old.unique_id, new.unique_id);
end;
create trigger tr_tw_names_org_name_address_delete after delete on org_name_address begin
  insert into tw_name_refresh select distinct o.org_group_id, 1 from org_officers o where o.entity_id = old.unique_id;
end;
create trigger tr_tw_names_ref_org_insert after insert on ref_org begin
  insert into tw_name_refresh values (new.group_id, 0);
end;
create trigger tr_tw_names_ref_org_update after update of group_id, current_status_code, trans_date on ref_org begin
  insert into tw_name_refresh select old.group_id, 0 where old.group_id is not new.group_id;
  insert into tw_name_refresh values (new.group_id, 0);
end;
create trigger tr_tw_names_ref_org_delete after delete on ref_org begin
  insert into tw_name_refresh values (old.group_id, 0);
end;
-- A new filing can only make the committee's latest filing later: the one
-- write a clerk makes most often changes one value, without the queue.
create trigger tr_tw_names_xrf_org_document_insert after insert on xrf_org_document begin
  update tw_name_committee
  set last_filed = (select d.receive_send_date from ref_document d where d.unique_id = new.document_id)
  where org_id = new.org_id
    and (select d.receive_send_date from ref_document d where d.unique_id = new.document_id) > coalesce(last_filed, '');
end;
create trigger tr_tw_names_xrf_org_document_update after update on xrf_org_document begin
  insert into tw_name_refresh select old.org_id, 0 where old.org_id is not new.org_id;
  insert into tw_name_refresh values (new.org_id, 0);
end;
create trigger tr_tw_names_xrf_org_document_delete after delete on xrf_org_document begin
  insert into tw_name_refresh values (old.org_id, 0);
end;
create trigger tr_tw_names_ref_document_received after update of receive_send_date on ref_document
  when new.receive_send_date is not old.receive_send_date begin
  insert into tw_name_refresh select distinct x.org_id, 0 from xrf_org_document x where x.document_id = new.unique_id;
end;

insert into tw_name_refresh select distinct org_group_id, 1 from org_committee;

-- The word index follows tw_name row by row from now on; the names already
-- in go into it at once, which is many times faster than one by one.
create trigger tr_tw_name_fts_insert after insert on tw_name begin
  insert into tw_name_fts (rowid, words) values (new.unique_id, new.words);
end;
create trigger tr_tw_name_fts_delete after delete on tw_name begin
  insert into tw_name_fts (tw_name_fts, rowid, words) values ('delete', old.unique_id, old.words);
end;
insert into tw_name_fts (tw_name_fts) values ('rebuild');
