// PostgreSQL renderer of the T-SQL front end: writes a parsed query as
// PostgreSQL text that keeps the office server's meaning.
//
// PostgreSQL decides types when it plans a text, so the renderer decides
// what each expression is (a number, a text, a date ...) from the office's
// column types and the literals, and writes what T-SQL would do implicitly
// in PostgreSQL's words: `+` on texts becomes `||`, a date text compared with
// a date becomes a timestamp, '' compared with a number becomes 0, 1 compared
// with a yes/no column becomes true. Texts compare case-blind: the office's
// text columns are citext, and a computed text is made citext where it meets
// another text. NULLs sort first, as on the office server.
//
// A query may name only the office's tables and views and the functions the
// renderer knows, so a client text can neither read the server's catalogs
// nor call a function that writes.
#pragma once

#include <string>
#include <string_view>

#include "gateway/postgres/catalog.hpp"
#include "gateway/tsql/render.hpp"
#include "gateway/tsql/rewrite.hpp"

namespace tarnwick::postgres {

class Renderer final : public tsql::Renderer {
 public:
  // `office` must outlive the renderer. With Rewrites::Apply a query goes
  // through the planning rewrites first (the same rows in the same order),
  // which know the office's columns from `office`.
  explicit Renderer(const OfficeColumns& office, tsql::Rewrites rewrites = tsql::Rewrites::Apply);

  // False with `error` filled for a construct the server cannot take (an
  // unknown table, function or type).
  bool Render(tsql::ast::Query& query, std::string& out, tsql::SyntaxError& error) const override;

 private:
  const OfficeColumns& office_;
  tsql::Rewrites rewrites_;
};

// A T-SQL LIKE pattern with character classes ([a-c], [^x]) as an anchored
// POSIX regular expression; escape is the ESCAPE character or 0.
std::string LikePatternRegex(std::string_view pattern, char escape);

}  // namespace tarnwick::postgres
