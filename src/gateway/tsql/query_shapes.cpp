// The engine-neutral readings of the syntax tree (see query_shapes.hpp).
#include "gateway/tsql/query_shapes.hpp"

#include "gateway/tsql/stamp.hpp"
#include "runtime/text.hpp"

namespace tarnwick::tsql {

using ast::Expr;
using ast::ExprKind;

const char* JoinKeyword(ast::JoinKind kind) {
  switch (kind) {
    case ast::JoinKind::Inner: return " INNER JOIN ";
    case ast::JoinKind::Left: return " LEFT JOIN ";
    case ast::JoinKind::Right: return " RIGHT JOIN ";
    case ast::JoinKind::Full: return " FULL JOIN ";
    case ast::JoinKind::Cross: return " CROSS JOIN ";
    case ast::JoinKind::Comma: break;
  }
  return ", ";
}

const char* SetOpKeyword(ast::SetOp op) {
  switch (op) {
    case ast::SetOp::Union: return " UNION ";
    case ast::SetOp::UnionAll: return " UNION ALL ";
    case ast::SetOp::Except: return " EXCEPT ";
    case ast::SetOp::Intersect: break;
  }
  return " INTERSECT ";
}

const Expr* SelectListColumn(const ast::SelectCore& core, const Expr& term) {
  if (term.kind != ExprKind::Column || term.parts.size() != 1) return nullptr;
  const std::string& name = term.parts.front();
  const Expr* found = nullptr;
  std::string foundText;
  for (const ast::SelectItem& item : core.items) {
    if (!item.alias.empty()) {
      if (runtime::EqualsNoCase(item.alias, name)) return nullptr;
      continue;
    }
    const Expr& e = *item.expr;
    if (e.kind != ExprKind::Column || e.parts.size() < 2 || !runtime::EqualsNoCase(e.parts.back(), name)) continue;
    std::string text = runtime::ToUpper(e.parts[e.parts.size() - 2]) + "." + runtime::ToUpper(e.parts.back());
    if (found && text != foundText) return nullptr;
    found = &e;
    foundText = std::move(text);
  }
  return found;
}

const Expr* CastDateColumn(const Expr& e) {
  if (e.kind != ExprKind::Cast || e.args.size() != 1 || e.type.name != "DATE" || e.type.length != -1 ||
      e.type.max) {
    return nullptr;
  }
  const Expr& column = *e.args[0];
  return column.kind == ExprKind::Column ? &column : nullptr;
}

std::optional<DayRange> DayRangeOf(const Expr& l, const Expr& r, std::string op) {
  const Expr* column = CastDateColumn(l);
  const Expr* literal = &r;
  if (!column) {
    column = CastDateColumn(r);
    literal = &l;
    // 'D' < cast(c) reads as cast(c) > 'D'.
    if (op == "<") op = ">";
    else if (op == ">") op = "<";
    else if (op == "<=") op = ">=";
    else if (op == ">=") op = "<=";
  }
  if (!column || literal->kind != ExprKind::Text) return std::nullopt;
  const std::optional<Stamp> s = ReadDateText(literal->text);
  if (!s) return std::nullopt;
  const std::int64_t timed = s->ms != 0 ? 1 : 0;
  DayRange range;
  range.column = column;
  if (op == ">=") range.from = s->day + timed;
  else if (op == ">") range.from = s->day + 1;
  else if (op == "<=") range.before = s->day + 1;
  else if (op == "<") range.before = s->day + timed;
  else if (op == "=" && !timed) range.from = s->day, range.before = s->day + 1;
  else return std::nullopt;
  // A bound past 31 Dec 9999 has no text that sorts after every date.
  if ((range.from && !InRange(Stamp{*range.from, 0})) || (range.before && !InRange(Stamp{*range.before, 0})))
    return std::nullopt;
  return range;
}

bool TextTypeSize(const ast::TypeName& t, int& size, SyntaxError& error) {
  const std::string& n = t.name;
  const bool fixed = n == "CHAR" || n == "NCHAR";
  const int limit = (n[0] == 'N') ? 4000 : 8000;
  const auto fail = [&](std::string message) {
    error.message = std::move(message);
    error.pos = t.pos;
    return false;
  };
  if (t.max && fixed) return fail("The type '" + n + "' cannot be of size max");
  if (!t.max && t.length != -1 && (t.length < 1 || t.length > limit)) {
    return fail("The size (" + std::to_string(t.length) + ") given to the type '" + n +
                "' exceeds the maximum allowed (" + std::to_string(limit) + ")");
  }
  if (t.scale != -1) return fail("The type '" + n + "' takes one size");
  // Without a size, CAST and CONVERT make 30 characters.
  size = t.max ? -1 : (t.length == -1 ? 30 : t.length);
  return true;
}

bool NoTypeSize(const ast::TypeName& t, SyntaxError& error) {
  if (t.length == -1 && !t.max) return true;
  error.message = "The type '" + t.name + "' takes no size";
  error.pos = t.pos;
  return false;
}

bool DecimalTypeSize(const ast::TypeName& t, int& precision, int& scale, SyntaxError& error) {
  precision = t.length == -1 ? 18 : t.length;
  scale = t.scale == -1 ? 0 : t.scale;
  if (!t.max && precision >= 1 && precision <= 38 && scale <= precision) return true;
  error.message = "The size given to the type '" + t.name + "' is not valid";
  error.pos = t.pos;
  return false;
}

}  // namespace tarnwick::tsql
