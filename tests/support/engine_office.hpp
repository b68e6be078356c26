// The small office the engine tests share, on both engines: a document table
// with the office's declared types, a view over it and a few procedures in
// each engine's calling convention, with the same three rows. Each suite gets
// its own file and its own server database, dropped at the end.
#pragma once

#include <memory>

#include "gateway/postgres/catalog.hpp"
#include "gateway/sqlite/catalog.hpp"
#include "support/office_files.hpp"
#include "support/server_office.hpp"

namespace tarnwick::test {

inline const char* kOfficeSchema = R"sql(
create table ref_document (
  unique_id integer primary key, doc_type_code varchar(10) collate nocase, doc_year smallint,
  title varchar(200) collate nocase, is_amendment bit, amount_due money, due_date datetime, page_image image,
  score float, org_id int);
create view vw_document as select unique_id, title, is_amendment, amount_due, due_date from ref_document;
create table tw_procedure (
  name text primary key collate nocase, parameters text not null, body text not null, description text);
insert into ref_document values
  (1, 'RPT', 2004, 'First report', 1, 1234.5, '2004-03-05 14:30:00', x'01020304', 0.25, 7),
  (2, 'COR', 2005, 'Letter', 0, 0, '2005-01-01 00:00:00', null, null, 8),
  (3, 'RPT', 2005, 'Amended report', 0, null, null, null, 1.5, null);
insert into tw_procedure (name, parameters, body) values
  ('sp_insert_ref_document',
   '@Title varchar(200), @Doc_year smallint, @Is_amendment bit, @amount_due money, @due_date datetime,
    @page_image image, @Unique_id int output',
   'insert into ref_document (title, doc_year, is_amendment, amount_due, due_date, page_image)
      values (@Title, @Doc_year, @Is_amendment, @amount_due, @due_date, @page_image);
    select last_insert_rowid() as "@Unique_id"'),
  ('sp_get_document', '@unique_id int, @doc_type_code varchar(10)',
   'select unique_id, title, due_date from ref_document
      where unique_id = @unique_id or doc_type_code = @doc_type_code order by unique_id'),
  ('sp_count_titles', '@title varchar(200), @count int output, @latest datetime output, @unused int output',
   'select count(*) as "@count", max(due_date) as "@latest" from ref_document where title like @title;
    select unique_id, title from ref_document where title like @title order by unique_id'),
  ('sp_fail_midway', '@title varchar(200)',
   'insert into ref_document (title) values (@title);
    insert into ref_document (unique_id, title) values (1, @title)');
)sql";

inline void CreateEngineOffice(const std::string& path) {
  CreateDatabase(path, sqlite::kApplicationId, sqlite::kSchemaVersion, kOfficeSchema);
}

inline const char* kServerSchema = R"sql(
create extension if not exists citext;
create table tw_office (version int not null);
create table ref_document (
  unique_id serial primary key, doc_type_code citext, doc_year smallint, title citext, is_amendment boolean,
  amount_due numeric(19,4), due_date timestamp(0), page_image bytea, score double precision, org_id int);
create view vw_document as select unique_id, title, is_amendment, amount_due, due_date from ref_document;
insert into ref_document (unique_id, doc_type_code, doc_year, title, is_amendment, amount_due, due_date, page_image, score, org_id) values
  (1, 'RPT', 2004, 'First report', true, 1234.5, '2004-03-05 14:30:00', '\x01020304', 0.25, 7),
  (2, 'COR', 2005, 'Letter', false, 0, '2005-01-01 00:00:00', null, null, 8),
  (3, 'RPT', 2005, 'Amended report', false, null, null, null, 1.5, null);
select setval('ref_document_unique_id_seq', 3);
create procedure sp_insert_ref_document(title citext default null, doc_year smallint default null,
    is_amendment boolean default null, amount_due numeric(19,4) default null, due_date timestamp default null,
    page_image bytea default null, inout unique_id int default null)
language plpgsql as $$ begin
  insert into ref_document (title, doc_year, is_amendment, amount_due, due_date, page_image)
    values (sp_insert_ref_document.title, sp_insert_ref_document.doc_year, sp_insert_ref_document.is_amendment,
            sp_insert_ref_document.amount_due, sp_insert_ref_document.due_date, sp_insert_ref_document.page_image)
    returning ref_document.unique_id into sp_insert_ref_document.unique_id;
end $$;
create procedure sp_get_document(unique_id int default null, doc_type_code citext default null,
    inout tw_result refcursor default null)
language plpgsql as $$ begin
  open tw_result for select d.unique_id, d.title, d.due_date from ref_document d
    where d.unique_id = sp_get_document.unique_id or d.doc_type_code = sp_get_document.doc_type_code
    order by d.unique_id;
end $$;
create procedure sp_count_titles(title citext default null, inout count int default null,
    inout latest timestamp default null, inout unused int default null, inout tw_result refcursor default null)
language plpgsql as $$ begin
  select count(*), max(d.due_date) into sp_count_titles.count, sp_count_titles.latest
    from ref_document d where d.title like sp_count_titles.title;
  open tw_result for select d.unique_id, d.title from ref_document d
    where d.title like sp_count_titles.title order by d.unique_id;
end $$;
create procedure sp_fail_midway(title citext default null)
language plpgsql as $$ begin
  insert into ref_document (title) values (sp_fail_midway.title);
  insert into ref_document (unique_id, title) values (1, sp_fail_midway.title);
end $$;
)sql";

// A suite with the small office in a file of its own and, with a server
// configured, in a database of its own on the server.
class EngineOfficeSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<TempDir>();
    file_ = dir_->File("office.db");
    CreateEngineOffice(file_);
    if (!ServerConfigured()) return;
    database_ = UniqueDatabaseName("engine");
    ServerExec(ServerConnect("postgres").get(), "CREATE DATABASE " + database_);
    auto db = ServerConnect(database_);
    ServerExec(db.get(), kServerSchema);
    ServerExec(db.get(), "insert into tw_office values (" + std::to_string(postgres::kServerSchemaVersion) + ")");
  }
  static void TearDownTestSuite() {
    dir_.reset();
    if (!database_.empty()) DropServerDatabase(database_);
    database_.clear();
  }

  static inline std::unique_ptr<TempDir> dir_;
  static inline std::string file_;
  static inline std::string database_;
};

}  // namespace tarnwick::test
