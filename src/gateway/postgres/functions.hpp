// The PostgreSQL renderer's T-SQL functions: built-in function calls,
// CAST and CONVERT, and DATEADD, DATEDIFF and DATEPART, written in the
// office server's words, as the SQLite engine keeps the functions its
// renderer calls apart (gateway/sqlite/functions.hpp). A function the
// renderer does not know is refused, so a client text calls nothing that
// writes.
//
// Also here, as both the functions and the operators need them: the
// renderer's pieces of text with what they hold, and how literals take the
// kind of the place they stand in (RenderAs, Pair, Mixed). The writer's
// queries and expressions stand in render.cpp.
#pragma once

#include <string>
#include <vector>

#include "gateway/postgres/catalog.hpp"
#include "gateway/tsql/render.hpp"
#include "gateway/tsql/stamp.hpp"

namespace tarnwick::postgres::render_detail {

using tsql::ast::Expr;
using tsql::ast::ExprKind;

// PostgreSQL operator precedence, loosest first.
constexpr int kOr = tsql::kLoosest, kAnd = 2, kNot = 3, kIs = 4, kCmp = 5, kLike = 6, kOther = 7, kAdd = 8,
              kMul = 9, kUnary = 10, kAtom = tsql::kTightest;

// Some PostgreSQL text, how tightly it binds and what it holds.
struct Piece {
  std::string text;
  int prec = kAtom;
  ValueKind kind = ValueKind::Unknown;
  bool citext = false;   // a case-blind text
  bool literal = false;  // a literal whose type the server takes from the other side
};

using tsql::Atom;
using tsql::Wrap;

inline bool IsLiteral(const Expr& e) {
  return e.kind == ExprKind::Number || e.kind == ExprKind::Text || e.kind == ExprKind::Null;
}

// A moment as a PostgreSQL timestamp literal.
std::string TimestampLiteral(const tsql::Stamp& s);

// A number-like operand: a yes/no value counts as 1 or 0.
std::string Numeric(const Piece& p, int prec);

// The writer's function part; the writer (render.cpp) renders the rest.
class FunctionWriter : public tsql::QueryWriter {
 public:
  using QueryWriter::QueryWriter;

 protected:
  // `e` in the office server's words.
  virtual bool Render(const Expr& e, Piece& out) = 0;

  // ----- operands that meet -----

  // A literal rendered for a place that holds `kind`, converted as the server
  // converts it there: '' and numeric texts to numbers, date texts to
  // timestamps, 0 and 1 to false and true. Anything else renders as itself.
  bool RenderAs(const Expr& e, ValueKind kind, Piece& out);
  // Renders two operands that meet (in a comparison, a CASE, coalesce): a
  // literal side takes the other side's kind.
  bool Pair(const Expr& l, const Expr& r, Piece& a, Piece& b);
  // Renders every argument that is no literal once; the literals then take
  // the kind of the first of them (as in a CASE or coalesce).
  bool Mixed(const std::vector<const Expr*>& args, std::vector<Piece>& out, ValueKind& kind, bool& citext);
  // Renders every argument of a call.
  bool Args(const Expr& e, std::vector<Piece>& out);

  // ----- functions -----

  // ISNULL and COALESCE: the arguments take one kind.
  bool Coalesce(const Expr& e, Piece& out);
  // A built-in function; an unknown one is refused.
  bool Function(const Expr& e, Piece& out);
  // CAST and CONVERT to the server's types, with CONVERT's date styles.
  bool Cast(const Expr& e, Piece& out);
  // DATEADD, DATEDIFF and DATEPART, counting as the office server counts.
  bool DatePart(const Expr& e, Piece& out);
};

}  // namespace tarnwick::postgres::render_detail
