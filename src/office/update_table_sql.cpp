// sp_update_table's lookup and write, written from the office's catalog.
//
// A name given is found where its lower() (by the database's character
// type) equals the lower() of the catalog's name (by the catalog's "C" rules,
// which lower ASCII letters only), as when sp_update_table looked names up
// in the catalog on every call: the catalog's side is folded here, by the
// server, the given side on each call. Every name and type goes into the
// functions quoted by the server itself (quote_ident, quote_literal). Where
// two tables (or two columns of a table) fold to the same name, the one
// named in lower case is found, else the first by name (by position for
// columns).
#include "office/update_table_sql.hpp"

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "gateway/postgres/connection.hpp"
#include "office/internal.hpp"

namespace tarnwick::office {
namespace {

using detail::Failure;

// One row per column of each of the office's tables (one row with no column
// for a table that has none), each table's rows together.
constexpr const char* kColumnsSql =
    "select quote_literal(lower(c.relname)), quote_literal(c.relname), quote_ident(c.relname), "
    "       exists (select 1 from pg_attribute k where k.attrelid = c.oid and k.attname = 'unique_id' "
    "               and not k.attisdropped), "
    "       quote_literal(lower(a.attname)), quote_literal(a.attname), quote_ident(a.attname), "
    "       format_type(a.atttypid, a.atttypmod), quote_literal(format_type(a.atttypid, a.atttypmod)), "
    "       quote_literal(t.typname) "
    "from pg_class c "
    "left join pg_attribute a on a.attrelid = c.oid and a.attnum > 0 and not a.attisdropped "
    "left join pg_type t on t.oid = a.atttypid "
    "where c.relnamespace = 'public'::regnamespace and c.relkind = 'r' and c.relname not like 'tw\\_%' "
    "order by c.relname <> lower(c.relname), c.relname, a.attname <> lower(a.attname), a.attnum";

struct Column {
  std::string key, name, ident, type, typeLiteral, typeName;  // all but ident and type as literals
};

struct Table {
  std::string key, name, ident;  // key and name as literals
  bool keyed = false;
  std::vector<Column> columns;
};

std::vector<Table> ReadTables(PGconn* conn) {
  postgres::Result result(PQexec(conn, kColumnsSql));
  if (!postgres::Succeeded(result.get()))
    throw Failure{OfficeStatus::DatabaseError,
                  "cannot read the office's tables and columns: " + postgres::ErrorText(conn, result.get())};
  const PGresult* r = result.get();
  const auto text = [r](int row, int column) { return std::string(PQgetvalue(r, row, column)); };
  std::vector<Table> tables;
  std::set<std::string> tableKeys, columnKeys;
  // Rows come grouped by table; a table whose name folds like an earlier one's is left out.
  bool skipping = false;
  std::string current;
  for (int row = 0; row < PQntuples(r); ++row) {
    const std::string name = text(row, 1);
    if (name != current) {
      current = name;
      skipping = !tableKeys.insert(text(row, 0)).second;
      if (skipping) continue;
      tables.push_back({text(row, 0), name, text(row, 2), text(row, 3) == "t", {}});
      columnKeys.clear();
    }
    if (skipping || PQgetisnull(r, row, 4) || !columnKeys.insert(text(row, 4)).second) continue;
    tables.back().columns.push_back(
        {text(row, 4), text(row, 5), text(row, 6), text(row, 7), text(row, 8), text(row, 9)});
  }
  return tables;
}

// A function's body, dollar-quoted with a tag no name in it holds.
std::string Quoted(const std::string& function, const std::string& body) {
  std::string tag = "$" + function + "$";
  while (body.find(tag) != std::string::npos) tag.insert(tag.size() - 1, "_");
  return tag + "\n" + body + tag + ";\n";
}

// A CASE statement over `subject` with one branch per (value, statements);
// `otherwise` is its ELSE, none when empty (then a value with no branch
// stops the call: case not found). With no branch at all, only `otherwise`.
using Branches = std::vector<std::pair<std::string, std::string>>;
std::string Case(const std::string& indent, const std::string& subject, const Branches& branches,
                 const std::string& otherwise) {
  if (branches.empty()) return otherwise.empty() ? "" : indent + otherwise + "\n";
  std::string out = indent + "case " + subject + "\n";
  for (const auto& [value, statements] : branches) out += indent + "  when " + value + " then\n" + statements;
  if (!otherwise.empty()) out += indent + "  else " + otherwise + "\n";
  return out + indent + "end case;\n";
}

std::string LookupFunction(const std::vector<Table>& tables) {
  Branches byTable;
  for (const Table& table : tables) {
    Branches byColumn;
    for (const Column& column : table.columns) {
      byColumn.emplace_back(column.key, "          column_name := " + column.name + "; column_type := " +
                                            column.typeLiteral + "; type_name := " + column.typeName + ";\n");
    }
    byTable.emplace_back(table.key, "      table_name := " + table.name + ";\n"
                                    "      keyed := " + (table.keyed ? "true" : "false") + ";\n" +
                                    Case("      ", "lower(wanted_column)", byColumn, "null;"));
  }
  return "create or replace function tw_office_column(wanted_table text, wanted_column text,\n"
         "  out table_name text, out keyed boolean, out column_name text, out column_type text, out type_name text)\n"
         "language plpgsql immutable parallel safe as " +
         Quoted("tw_office_column", "begin\n" + Case("  ", "lower(wanted_table)", byTable, "null;") + "end\n");
}

// Only a table with a unique_id column can have a record set: the others get
// no branch.
std::string WriteFunction(const std::vector<Table>& tables) {
  Branches byTable;
  for (const Table& table : tables) {
    if (!table.keyed) continue;
    Branches byColumn;
    for (const Column& column : table.columns) {
      byColumn.emplace_back(column.name, "          update " + table.ident + " set " + column.ident +
                                             " = tw_set_column.new_value::" + column.type +
                                             " where unique_id = tw_set_column.row_id;\n");
    }
    byTable.emplace_back(table.name, Case("      ", "target_column", byColumn, ""));
  }
  return "create or replace function tw_set_column(target_table text, target_column text, row_id integer,\n"
         "  new_value text) returns bigint\n"
         "language plpgsql as " +
         Quoted("tw_set_column", "declare\n"
                                 "  changed bigint;\n"
                                 "begin\n" +
                                     Case("  ", "target_table", byTable, "") +
                                     "  get diagnostics changed = row_count;\n"
                                     "  return changed;\n"
                                     "end\n");
}

}  // namespace

void WriteUpdateTableFunctions(PGconn* conn) {
  const std::vector<Table> tables = ReadTables(conn);
  const std::string sql = LookupFunction(tables) + WriteFunction(tables);
  postgres::Result result(PQexec(conn, sql.c_str()));
  if (!postgres::Succeeded(result.get()))
    throw Failure{OfficeStatus::DatabaseError,
                  "cannot write the lookup and write of sp_update_table: " + postgres::ErrorText(conn, result.get())};
}

}  // namespace tarnwick::office
