// SQLite renderer of the T-SQL front end: writes a parsed query as SQLite
// text that keeps the server's meaning (see functions.hpp for the
// functions the text calls). The shapes both engines write alike come from
// the front end's writer (gateway/tsql/render.hpp).
#pragma once

#include <string>

#include "gateway/tsql/render.hpp"
#include "gateway/tsql/rewrite.hpp"

namespace tarnwick::sqlite {

class Renderer final : public tsql::Renderer {
 public:
  // `rewrites` says whether a query goes through the planning rewrites
  // (rewrite.hpp) before it is written; `columns` tells them which columns
  // the database's tables have (catalog.hpp: DatabaseColumns).
  explicit Renderer(tsql::Rewrites rewrites = tsql::Rewrites::Apply, tsql::ColumnLookup columns = {});

  // False with `error` filled for a construct the embedded engine cannot
  // express (an unknown CAST type, say).
  bool Render(tsql::ast::Query& query, std::string& out, tsql::SyntaxError& error) const override;

 private:
  tsql::Rewrites rewrites_;
  tsql::ColumnLookup columns_;
};

// An identifier as SQLite reads it: bare when it is a plain word and no
// SQLite keyword, else in double quotes.
std::string SqliteName(const std::string& name);

// The ISO text "yyyy-mm-dd hh:mm:ss" for a text that reads as a date
// ('1/1/1900', '3/4/2005 2:30:00 PM'), or empty when it is no date.
std::string DateLiteralIso(const std::string& text);

}  // namespace tarnwick::sqlite
