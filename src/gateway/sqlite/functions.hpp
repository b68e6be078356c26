// SQLite functions that carry the server's meaning of what the T-SQL front
// end renders: + that joins texts and adds numbers (tw_add), CAST to the
// server's types (tw_cast_*), the server's string and date functions
// (tw_substring, tw_dateadd ...). Dates are ISO texts "YYYY-MM-DD HH:MM:SS".
//
// Errors the server would raise (a text that is no number added to a number,
// a text that is no date cast to a date) end the statement with the server's
// message.
#pragma once

struct sqlite3;

namespace tarnwick::sqlite {

// Registers every function the renderer emits on `db`. Call once for each
// connection before running translated texts. Returns SQLITE_OK or the
// SQLite error code of the registration that failed.
int RegisterTsqlFunctions(sqlite3* db);

}  // namespace tarnwick::sqlite
