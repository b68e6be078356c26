// The server's lookup and write behind sp_update_table, written from the
// office's own catalog so that a one-column save reads no catalog and plans
// no statement of its own.
//
// sp_update_table (db/postgres/procedures/sp_update_table.sql) keeps the
// rules: which names it refuses and with what error, and how a value text
// becomes the column's type. What it asks of the office's tables goes to two
// functions written here:
//
//   tw_office_column(wanted_table, wanted_column, out table_name, out keyed,
//                    out column_name, out column_type, out type_name)
//     the table and column a caller names (letter case ignored), as the
//     catalog names and types them; table_name is Null for no table of the
//     office, column_name Null for no column of the table; keyed says the
//     table has a unique_id column. Reads nothing.
//   tw_set_column(target_table, target_column, row_id, new_value) returns bigint
//     sets one column of the record with that unique_id to the value text
//     (cast to the column's type) and returns the records changed, 0 or 1:
//     one static UPDATE per column, whose plan the session keeps.
//
// The office's own tables are the ordinary tables of the schema "public"
// whose names do not start with "tw_". The functions know the tables as they
// were when written: the builder writes them once every source has run, and
// the upgrade once every change of the office's tables is made.
#pragma once

#include <libpq-fe.h>

#include <string>

namespace tarnwick::office {

// Reads the tables and columns of the office `conn` is connected to and
// (re)creates both functions from them, in the unit of work under way.
// Throws detail::Failure (DatabaseError) when the server refuses either step.
void WriteUpdateTableFunctions(PGconn* conn);

}  // namespace tarnwick::office
