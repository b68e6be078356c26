-- The name index: every name a person may type to find a committee (its
-- official names, in-house names and acronyms, current and former, and the
-- names of its candidates and treasurers in every term), as plain words
-- (tw_name_words), with what the name search ranks by.
--
-- The database keeps it current itself: each statement that writes a table a
-- name or a ranking comes from rebuilds, before it ends, what the committees
-- it touched show (tw_names_refresh). A write that fails or is rolled back
-- takes its changes to the index with it.
--
-- Built after the tables are filled and indexed; the last statement indexes
-- every committee. It may be run again: the upgrade of an older office runs
-- it to put the current upkeep in place and index every committee anew.

-- One row per name of a committee; kind is 'committee', 'candidate' or
-- 'treasurer', source 'O' official, 'I' in-house, 'A' acronym, 'C' candidate,
-- 'T' treasurer. An acronym is found only whole: its words are not indexed,
-- its key is its words written together. Names are kept as written, letter
-- case included: two names that differ only in case are two names.
--
-- words_tsv holds the words as lexemes exactly as written (no parser, no
-- dictionary: they are already the folded words), for the word index.
create table if not exists tw_name (
  unique_id   integer generated always as identity primary key,
  org_id      integer not null,
  kind        varchar(10) not null,
  source      char(1) not null,
  name        varchar(300) not null,
  words       text not null,
  acronym_key varchar(300),
  name_rank   integer not null,
  words_tsv   tsvector not null generated always as (array_to_tsvector(string_to_array(words, ' '))) stored
);
create index if not exists ix_tw_name_org on tw_name (org_id);
create index if not exists ix_tw_name_acronym on tw_name (acronym_key) where acronym_key is not null;

-- One row per committee in the index: its current official name, the status
-- of its latest reference row, and the latest date a document it filed was
-- received.
create table if not exists tw_name_committee (
  org_id      integer primary key,
  org_name    citext not null,
  status_code citext,
  last_filed  timestamp(0)
);

-- Rebuilds what the index shows of the given committees: their names (when
-- names is true) and their ranking. A committee with no row in org_committee
-- leaves the index.
create or replace function tw_names_refresh(committees integer[], names boolean) returns void
language plpgsql as $$
declare
  share integer;
begin
  -- Two clerks' writes that touch one committee rebuild its rows one after
  -- the other: the second waits until the first's unit of work ends, and
  -- its statements below then see what the first wrote. (Without the wait
  -- both would delete the old rows and insert new ones: the second's insert
  -- would collide with the first's, or double its names.) A lock stands for
  -- the committees of one of 64 shares (the committee's number modulo 64),
  -- so that rebuilding every committee takes 64 locks, not one per
  -- committee, which would overflow the server's lock table. One refresh
  -- locks its shares in order, so two refreshes alone cannot deadlock (two
  -- units of work of several statements still may; the server then refuses
  -- one, as for any deadlock). The first key (29806, "tn") keeps these locks
  -- apart from the service's ("tw").
  for share in select distinct u.org_id % 64 from unnest(committees) u (org_id) where u.org_id is not null order by 1
  loop
    perform pg_advisory_xact_lock(29806, share);
  end loop;
  if names then
    delete from tw_name where org_id = any (committees);
    -- Texts compare as written (::text): the names are citext.
    -- name_rank: the committee's names in the order the search prefers them.
    insert into tw_name (org_id, kind, source, name, words, acronym_key, name_rank)
    select n.org_id, n.kind, n.source, n.name, n.words, n.acronym_key,
           row_number() over (partition by n.org_id
                              order by case n.kind when 'committee' then 0 when 'candidate' then 1 else 2 end,
                                       strpos('OIACT', n.source), n.name collate "C")
    from (select oc.org_group_id as org_id, 'committee' as kind, 'O' as source, oc.org_name::text as name,
                 tw_name_words(oc.org_name, 0) as words, null::text as acronym_key
          from org_committee oc join unnest(committees) g (org_id) on oc.org_group_id = g.org_id
          union
          select oc.org_group_id, 'committee', 'I', oc.inhouse_name::text, tw_name_words(oc.inhouse_name, 0), null
          from org_committee oc join unnest(committees) g (org_id) on oc.org_group_id = g.org_id
          union
          select oc.org_group_id, 'committee', 'A', oc.old_acronym::text, '',
                 replace(tw_name_words(oc.old_acronym, 1), ' ', '')
          from org_committee oc join unnest(committees) g (org_id) on oc.org_group_id = g.org_id
          union
          select o.org_group_id,
                 case when o.name_type_code = 'CND' then 'candidate' else 'treasurer' end,
                 case when o.name_type_code = 'CND' then 'C' else 'T' end,
                 ltrim(coalesce(' ' || nullif(btrim(na.first_name::text), ''), '') ||
                       coalesce(' ' || nullif(btrim(na.middle_name::text), ''), '') ||
                       coalesce(' ' || nullif(btrim(na.last_name::text), ''), '') ||
                       coalesce(' ' || nullif(btrim(na.suffix::text), ''), '')),
                 tw_name_words(coalesce(na.first_name::text, '') || ' ' || coalesce(na.middle_name::text, '') || ' ' ||
                               coalesce(na.last_name::text, '') || ' ' || coalesce(na.suffix::text, '') || ' ' ||
                               coalesce(na.nick_name::text, ''), 0),
                 null
          from org_officers o
          join unnest(committees) g (org_id) on o.org_group_id = g.org_id
          join org_name_address na on na.unique_id = o.entity_id
          where o.name_type_code in ('CND', 'TRS')) n
    where (n.words <> '' or n.acronym_key <> '')
      and exists (select 1 from org_committee oc where oc.org_group_id = n.org_id);
  end if;

  delete from tw_name_committee where org_id = any (committees);
  insert into tw_name_committee (org_id, org_name, status_code, last_filed)
  select g.org_id,
         (select oc.org_name from org_committee oc where oc.org_group_id = g.org_id
          order by oc.trans_end_date is not null, oc.trans_date desc nulls last, oc.unique_id desc limit 1),
         (select ro.current_status_code from ref_org ro where ro.group_id = g.org_id
          order by ro.trans_date desc nulls last, ro.unique_id desc limit 1),
         f.last_filed
  from (select distinct u.org_id from unnest(committees) u (org_id) where u.org_id is not null) g
  -- A join, not a sub-select per committee, so that the planner may read
  -- every link and document once when every committee is rebuilt (a million
  -- documents: under a second, against eight by index, one at a time), and
  -- a few committees' links by index.
  left join (select x.org_id, max(d.receive_send_date) as last_filed
             from xrf_org_document x join ref_document d on d.unique_id = x.document_id
             where x.org_id = any (committees)
             group by x.org_id) f on f.org_id = g.org_id
  where exists (select 1 from org_committee oc where oc.org_group_id = g.org_id);
end
$$;

-- What touches a committee's index, at the end of each statement that wrote
-- rows (old_rows, new_rows) of the tables below.

-- For a table whose rows name their committee: tg_argv[0] is that column,
-- tg_argv[1] 'names' when the committee's names come from the table.
create or replace function tw_names_rows_changed() returns trigger language plpgsql as $$
declare
  committees integer[];
begin
  if tg_op = 'INSERT' then
    execute format('select array(select distinct %I from new_rows)', tg_argv[0]) into committees;
  elsif tg_op = 'UPDATE' then
    execute format('select array(select %1$I from new_rows union select %1$I from old_rows)', tg_argv[0])
      into committees;
  else
    execute format('select array(select distinct %I from old_rows)', tg_argv[0]) into committees;
  end if;
  perform tw_names_refresh(committees, tg_argv[1] = 'names');
  return null;
end
$$;

-- Each such table, its committee column and what it feeds: one trigger per
-- kind of write, each seeing the rows that kind of write changed.
do $$
declare
  t record;
begin
  for t in select * from (values ('org_committee', 'org_group_id', 'names'), ('org_officers', 'org_group_id', 'names'),
                                 ('ref_org', 'group_id', 'ranking'), ('xrf_org_document', 'org_id', 'ranking'))
                         v (rel, col, feeds) loop
    if t.rel <> 'xrf_org_document' then
      execute format('create or replace trigger %I after insert on %I referencing new table as new_rows '
                     'for each statement execute function tw_names_rows_changed(%L, %L)',
                     'tr_tw_names_' || t.rel || '_insert', t.rel, t.col, t.feeds);
    end if;
    execute format('create or replace trigger %I after update on %I referencing old table as old_rows new table as new_rows '
                   'for each statement execute function tw_names_rows_changed(%L, %L)',
                   'tr_tw_names_' || t.rel || '_update', t.rel, t.col, t.feeds);
    execute format('create or replace trigger %I after delete on %I referencing old table as old_rows '
                   'for each statement execute function tw_names_rows_changed(%L, %L)',
                   'tr_tw_names_' || t.rel || '_delete', t.rel, t.col, t.feeds);
  end loop;
end
$$;

-- A new filing can only make its committee's latest filing later: the one
-- write a clerk makes most often changes one value in place.
create or replace function tw_names_filed() returns trigger language plpgsql as $$
begin
  update tw_name_committee c set last_filed = f.received
  from (select x.org_id, max(d.receive_send_date) as received
        from new_rows x join ref_document d on d.unique_id = x.document_id group by x.org_id) f
  where c.org_id = f.org_id and f.received > coalesce(c.last_filed, '-infinity');
  return null;
end
$$;
create or replace trigger tr_tw_names_xrf_org_document_insert after insert on xrf_org_document
  referencing new table as new_rows for each statement execute function tw_names_filed();

-- A person's name changed, or the person is gone: the committees they
-- served.
create or replace function tw_names_person_changed() returns trigger language plpgsql as $$
begin
  if tg_op = 'UPDATE' then
    perform tw_names_refresh(array(
      select distinct o.org_group_id
      from old_rows b join new_rows a on a.unique_id = b.unique_id
      join org_officers o on o.entity_id in (a.unique_id, b.unique_id)
      where (a.first_name::text, a.middle_name::text, a.last_name::text, a.suffix::text, a.nick_name::text)
            is distinct from (b.first_name::text, b.middle_name::text, b.last_name::text, b.suffix::text,
                              b.nick_name::text)), true);
  else
    perform tw_names_refresh(array(
      select distinct o.org_group_id from old_rows b join org_officers o on o.entity_id = b.unique_id), true);
  end if;
  return null;
end
$$;
create or replace trigger tr_tw_names_org_name_address_update after update on org_name_address
  referencing old table as old_rows new table as new_rows for each statement execute function tw_names_person_changed();
create or replace trigger tr_tw_names_org_name_address_delete after delete on org_name_address
  referencing old table as old_rows for each statement execute function tw_names_person_changed();

-- A document's date of receipt changed: the committees that filed it.
create or replace function tw_names_received_changed() returns trigger language plpgsql as $$
begin
  perform tw_names_refresh(array(
    select distinct x.org_id
    from old_rows b join new_rows a on a.unique_id = b.unique_id
    join xrf_org_document x on x.document_id = a.unique_id
    where a.receive_send_date is distinct from b.receive_send_date), false);
  return null;
end
$$;
create or replace trigger tr_tw_names_ref_document_received after update on ref_document
  referencing old table as old_rows new table as new_rows for each statement execute function tw_names_received_changed();

select tw_names_refresh(array(select distinct org_group_id from org_committee), true);
-- The word index, built once the names are in. Each write goes straight into
-- it (no pending list), so that no search has to read a list of recent
-- writes whole.
create index if not exists ix_tw_name_words on tw_name using gin (words_tsv) with (fastupdate = off);
analyze tw_name;
analyze tw_name_committee;
