// A small office database on the test server for the engine tests: a
// document table with the office's column types, a view over it, a few
// procedures in the office's calling convention, and the version row the
// engine checks. Each suite gets its own database, dropped at the end.
#pragma once

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <stdexcept>
#include <string>

#include "gateway/postgres/catalog.hpp"
#include "gateway/postgres/connection.hpp"
#include "office/server_office.hpp"
#include "support/server_office.hpp"

namespace tarnwick::testing {

using test::ServerConfigured;

// The server argument of the superuser's socket, and the superuser.
inline std::string PgSocketServer() { return test::ServerSettings("").server; }
inline std::string PgSuperuser() { return test::ServerSettings("").user; }

inline postgres::Connection PgConnect(const std::string& database) {
  std::string error;
  postgres::Connection c = postgres::Connect(test::ServerSettings(database), error);
  if (!c) throw std::runtime_error(error);
  return c;
}

inline void PgExec(PGconn* c, const std::string& sql) {
  if (auto e = postgres::ExecText(c, sql); !e.empty()) throw std::runtime_error(e + " in: " + sql);
}

// The first value of the first row as text ("<null>", "<none>").
inline std::string PgText(PGconn* c, const std::string& sql) {
  postgres::Result r(PQexec(c, sql.c_str()));
  if (!postgres::Succeeded(r.get())) return "<error " + postgres::ErrorText(c, r.get()) + ">";
  if (PQntuples(r.get()) == 0) return "<none>";
  if (PQgetisnull(r.get(), 0, 0)) return "<null>";
  return PQgetvalue(r.get(), 0, 0);
}

inline const char* kServerSchema = R"sql(
create extension if not exists citext;
create table tw_office (version int not null);
create table ref_document (
  unique_id serial primary key,
  doc_type_code citext,
  doc_year smallint,
  title citext,
  is_amendment boolean,
  amount_due numeric(19,4),
  due_date timestamp(0),
  page_image bytea,
  score double precision,
  org_id int
);
create view vw_document as
  select unique_id, title, is_amendment, amount_due, due_date from ref_document;
insert into ref_document (unique_id, doc_type_code, doc_year, title, is_amendment, amount_due, due_date, page_image, score, org_id) values
  (1, 'RPT', 2004, 'First report', true, 1234.5, '2004-03-05 14:30:00', '\x01020304', 0.25, 7),
  (2, 'COR', 2005, 'Letter', false, 0, '2005-01-01 00:00:00', null, null, 8),
  (3, 'RPT', 2005, 'Amended report', false, null, null, null, 1.5, null);
select setval('ref_document_unique_id_seq', 3);
create procedure sp_insert_ref_document(title citext default null, doc_year smallint default null,
    is_amendment boolean default null, amount_due numeric(19,4) default null, due_date timestamp default null,
    page_image bytea default null, inout unique_id int default null)
language plpgsql as $$
begin
  insert into ref_document (title, doc_year, is_amendment, amount_due, due_date, page_image)
    values (sp_insert_ref_document.title, sp_insert_ref_document.doc_year, sp_insert_ref_document.is_amendment,
            sp_insert_ref_document.amount_due, sp_insert_ref_document.due_date, sp_insert_ref_document.page_image)
    returning ref_document.unique_id into sp_insert_ref_document.unique_id;
end $$;
create procedure sp_get_document(unique_id int default null, doc_type_code citext default null,
    inout tw_result refcursor default null)
language plpgsql as $$
begin
  open tw_result for select d.unique_id, d.title, d.due_date from ref_document d
    where d.unique_id = sp_get_document.unique_id or d.doc_type_code = sp_get_document.doc_type_code
    order by d.unique_id;
end $$;
create procedure sp_count_titles(title citext default null, inout count int default null,
    inout latest timestamp default null, inout unused int default null, inout tw_result refcursor default null)
language plpgsql as $$
begin
  select count(*), max(d.due_date) into sp_count_titles.count, sp_count_titles.latest
    from ref_document d where d.title like sp_count_titles.title;
  open tw_result for select d.unique_id, d.title from ref_document d
    where d.title like sp_count_titles.title order by d.unique_id;
end $$;
create procedure sp_fail_midway(title citext default null)
language plpgsql as $$
begin
  insert into ref_document (title) values (sp_fail_midway.title);
  insert into ref_document (unique_id, title) values (1, sp_fail_midway.title);
end $$;
)sql";

// A suite with its own small office database on the test server.
class ServerDbSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!ServerConfigured()) return;
    database_ = test::UniqueDatabaseName("engine");
    auto admin = PgConnect("postgres");
    PgExec(admin.get(), "CREATE DATABASE " + database_);
    auto db = PgConnect(database_);
    PgExec(db.get(), kServerSchema);
    PgExec(db.get(), "insert into tw_office values (" + std::to_string(postgres::kServerSchemaVersion) + ")");
  }
  static void TearDownTestSuite() {
    if (!database_.empty()) test::DropServerDatabase(database_);
    database_.clear();
  }
  void SetUp() override { TW_REQUIRE_SERVER(); }

  static std::string Text(const std::string& sql) { return PgText(PgConnect(database_).get(), sql); }

  static inline std::string database_;
};

}  // namespace tarnwick::testing
