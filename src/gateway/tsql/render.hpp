// Rendering a parsed query as an engine's SQL text: the interface the
// translation (translate.hpp) renders through, and the base of the engines'
// writers, which writes once the shapes every engine's SQL writes alike.
//
// QueryWriter writes a query's members and set operations with each
// member's TOP as LIMIT, the ORDER BY list, the FROM list with its joins,
// WHERE, GROUP BY and HAVING, and the day range that cast(column as date)
// compared with a date text selects (query_shapes.hpp: DayRangeOf). An
// engine's writer derives from it and writes the rest in its own words:
// expressions, named and derived tables, select lists and order terms.
//
// Precedence: a written expression carries how tightly it binds, from
// kLoosest (OR) to kTightest (an atom); each engine's levels lie between,
// and an operand binding looser than its place asks is put in parentheses.
//
// Thread safety: a Renderer renders on one thread at a time (the SQLite
// one's column lookup learns as it goes); a QueryWriter writes one query.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "gateway/tsql/ast.hpp"
#include "gateway/tsql/lexer.hpp"

namespace tarnwick::tsql {

// An engine's renderer of parsed queries.
class Renderer {
 public:
  virtual ~Renderer() = default;
  // Writes `query` as the engine's SQL text into `out`; the renderer may
  // first reshape the query (the planning rewrites, rewrite.hpp). Returns
  // false with `error` filled for a construct the engine cannot take.
  virtual bool Render(ast::Query& query, std::string& out, SyntaxError& error) const = 0;
};

inline constexpr int kLoosest = 1;
inline constexpr int kTightest = 11;

// Some written SQL text and how tightly it binds.
struct Piece {
  std::string text;
  int prec = kTightest;
};

// The text of `p` in parentheses when it binds looser than `binding`; also
// for an engine's own pieces, which carry more than Piece.
template <typename P>
std::string Wrap(const P& p, int binding) {
  return p.prec < binding ? "(" + p.text + ")" : p.text;
}
template <typename P>
std::string Atom(const P& p) {
  return Wrap(p, kTightest);
}

// `op` (a sign) before `operand`, spaced so that two minus signs in a row
// never start a comment.
std::string Signed(const std::string& op, const std::string& operand);

class QueryWriter {
 public:
  explicit QueryWriter(SyntaxError& error) : error_(error) {}
  virtual ~QueryWriter() = default;
  QueryWriter(const QueryWriter&) = delete;
  QueryWriter& operator=(const QueryWriter&) = delete;

  // Writes `q`: its one member, or its members joined by their set
  // operations; then ORDER BY. A member's TOP becomes LIMIT.
  bool Query(const ast::Query& q, std::string& out);

 protected:
  // ----- what each engine writes in its own words -----

  // `e` as the engine's text.
  virtual bool Expression(const ast::Expr& e, Piece& out) = 0;
  // One member: SELECT, its list and, through FromList and Filters, the
  // rest. `first` is the member whose select list names the result's columns.
  virtual bool Select(const ast::SelectCore& core, bool first, std::string& out) = 0;
  // A named or derived table of FROM (not a join), with its alias.
  virtual bool Source(const ast::TableRef& t, std::string& out) = 0;
  // One term of ORDER BY with its direction; `core` is the query's one
  // member, null when the query joins several.
  virtual bool OrderTerm(const ast::Query& q, const ast::SelectCore* core, const ast::OrderItem& item,
                         std::string& out) = 0;
  // A member of a set operation with its own LIMIT (`limited` is
  // "SELECT ... LIMIT n"), as it can stand between the set operators.
  virtual std::string LimitedMember(const std::string& limited) = 0;
  // The first moment of a day (days since 1970-01-01) as a literal that
  // compares with the engine's dates.
  virtual std::string DayLiteral(std::int64_t day) = 0;
  // Around each member: the engine may keep what its FROM list names.
  virtual void EnterSelect() {}
  virtual void LeaveSelect() {}

  // ----- the shapes written alike -----

  // Fills the error; returns false.
  bool Fail(std::string message, std::size_t pos);
  // The FROM list's entries, comma-separated; a join listed after a comma
  // binds on its own, as on the server, so it is put in parentheses.
  bool FromList(const ast::SelectCore& core, std::string& out);
  // " WHERE ...", " GROUP BY ..." and " HAVING ..." as the member has them.
  bool Filters(const ast::SelectCore& core, std::string& out);
  // `l op r` as a range on the column when it is cast(column as date)
  // compared with a date text: "c >= day" and "c < next day", or
  // "(c >= from AND c < before)" with both bounds (`both` says which).
  // False when the comparison is not of this shape, with `out` untouched.
  bool DaysOfColumn(const ast::Expr& l, const ast::Expr& r, const std::string& op, std::string& out, bool& both);

  SyntaxError& error_;

 private:
  bool Table(const ast::TableRef& t, std::string& out);
  bool OrderBy(const ast::Query& q, const ast::SelectCore* core, std::string& out);
  bool Limit(const ast::Expr& top, std::string& out);
};

}  // namespace tarnwick::tsql
