// The SQL sources of the office database and the procedure file format.
//
// Sources are laid out as in db/sqlite:
//   schema.sql             tables and views
//   defaults.sql           standard codes and settings of every new office
//   sample.sql             fixed rows of the sample office
//   indexes.sql            indexes, built after the tables are filled
//   procedures/NAME.sql    one stored procedure each
//
// A procedure file is a comment describing the procedure's rule, then the
// header and the body:
//
//   -- Removes the link between committee @org_id and document @document_id.
//   create procedure sp_delete_xrf_org_document
//     @org_id int,
//     @document_id int
//   as
//   delete from xrf_org_document where org_id = @org_id and document_id = @document_id;
//
// Parameters are "@name type" with "output" after the type of an output
// parameter; types are those of the schema (int, smallint, bit, money,
// datetime, varchar(n), text, image, float). The body is SQLite SQL using the
// parameters by name; a statement whose result columns are all named after
// output parameters (select 1 as "@flag") sets them.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/sqlite/parameter_list.hpp"

struct sqlite3;

namespace tarnwick::office {

struct SqlFile {
  std::string path;  // relative to db/sqlite, with "/": "procedures/sp_get_DOCUMENT_IMAGE.sql"
  std::string text;
};

// The sources built into the library, sorted by path.
std::vector<SqlFile> EmbeddedSqlFiles();
// The office server's sources built into the library (db/postgres), sorted by path.
std::vector<SqlFile> EmbeddedServerSqlFiles();

// Reads the .sql files under `directory` (laid out as db/sqlite), sorted by
// path. Returns an error text, empty on success.
std::string ReadSqlFiles(const std::filesystem::path& directory, std::vector<SqlFile>& out);

struct ProcedureDefinition {
  std::string name;
  std::vector<sqlite::DeclaredParameter> parameters;
  std::string body;
  std::string description;
  // The parameter list as the catalog stores it: "@Org_id int, @Value int output".
  std::string ParameterText() const;
};

// Parses one procedure file. Returns an error text naming the line, empty on success.
std::string ParseProcedureFile(std::string_view source, ProcedureDefinition& out);

// Checks a parsed procedure against the database it goes into: every @name
// its body uses is a declared parameter (spelled the same way), every
// "@name" result column is an output parameter, and every statement of the
// body compiles against the schema. Returns an error text, empty when sound.
std::string CheckProcedure(sqlite3* db, const ProcedureDefinition& procedure);

}  // namespace tarnwick::office
