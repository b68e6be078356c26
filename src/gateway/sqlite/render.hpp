// SQLite renderer of the T-SQL front end: writes a parsed query as SQLite
// text that keeps the server's meaning (see functions.hpp for the
// functions the text calls).
#pragma once

#include <string>

#include "gateway/tsql/ast.hpp"
#include "gateway/tsql/lexer.hpp"

namespace tarnwick::sqlite {

// Renders `query` into `out`. Returns false with `error` filled for a
// construct the embedded engine cannot express (an unknown CAST type, say).
bool RenderSqlite(const tsql::ast::Query& query, std::string& out, tsql::SyntaxError& error);

// An identifier as SQLite reads it: bare when it is a plain word and no
// SQLite keyword, else in double quotes.
std::string SqliteName(const std::string& name);

// The ISO text "yyyy-mm-dd hh:mm:ss" for a text that reads as a date
// ('1/1/1900', '3/4/2005 2:30:00 PM'), or empty when it is no date.
std::string DateLiteralIso(const std::string& text);

}  // namespace tarnwick::sqlite
