// The shapes every engine's writer writes alike (see render.hpp).
#include "gateway/tsql/render.hpp"

#include <optional>
#include <utility>

#include "gateway/tsql/query_shapes.hpp"

namespace tarnwick::tsql {

std::string Signed(const std::string& op, const std::string& operand) {
  const bool sign = !operand.empty() && (operand[0] == '-' || operand[0] == '+');
  return op + (sign ? " " : "") + operand;
}

bool QueryWriter::Query(const ast::Query& q, std::string& out) {
  if (q.cores.size() == 1) {
    const ast::SelectCore& core = q.cores.front();
    EnterSelect();
    const bool ok = Select(core, true, out) && OrderBy(q, &core, out);
    LeaveSelect();
    if (!ok) return false;
    if (!core.top) return true;
    std::string limit;
    if (!Limit(*core.top, limit)) return false;
    out += limit;
    return true;
  }
  for (std::size_t i = 0; i < q.cores.size(); ++i) {
    if (i > 0) out += SetOpKeyword(q.ops[i - 1]);
    const ast::SelectCore& core = q.cores[i];
    std::string text;
    EnterSelect();
    const bool ok = Select(core, i == 0, text);
    LeaveSelect();
    if (!ok) return false;
    if (core.top) {
      // TOP belongs to its own member, not to the whole.
      std::string limit;
      if (!Limit(*core.top, limit)) return false;
      text = LimitedMember(text + limit);
    }
    out += text;
  }
  return OrderBy(q, nullptr, out);
}

bool QueryWriter::Limit(const ast::Expr& top, std::string& out) {
  Piece p;
  if (!Expression(top, p)) return false;
  out = " LIMIT " + Atom(p);
  return true;
}

bool QueryWriter::OrderBy(const ast::Query& q, const ast::SelectCore* core, std::string& out) {
  if (q.orderBy.empty()) return true;
  out += " ORDER BY ";
  for (std::size_t i = 0; i < q.orderBy.size(); ++i) {
    if (i > 0) out += ", ";
    std::string term;
    if (!OrderTerm(q, core, q.orderBy[i], term)) return false;
    out += term;
  }
  return true;
}

bool QueryWriter::Fail(std::string message, std::size_t pos) {
  error_.message = std::move(message);
  error_.pos = pos;
  return false;
}

bool QueryWriter::FromList(const ast::SelectCore& core, std::string& out) {
  for (std::size_t i = 0; i < core.from.size(); ++i) {
    std::string source;
    if (!Table(*core.from[i], source)) return false;
    if (i > 0) out += ", ";
    if (core.from.size() > 1 && core.from[i]->isJoin) source = "(" + source + ")";
    out += source;
  }
  return true;
}

bool QueryWriter::Table(const ast::TableRef& t, std::string& out) {
  if (!t.isJoin) return Source(t, out);
  if (!Table(*t.left, out)) return false;
  out += JoinKeyword(t.join);
  if (!Table(*t.right, out)) return false;
  if (t.on) {
    Piece p;
    if (!Expression(*t.on, p)) return false;
    out += " ON " + p.text;
  }
  return true;
}

bool QueryWriter::Filters(const ast::SelectCore& core, std::string& out) {
  if (core.where) {
    Piece p;
    if (!Expression(*core.where, p)) return false;
    out += " WHERE " + p.text;
  }
  if (!core.groupBy.empty()) {
    out += " GROUP BY ";
    for (std::size_t i = 0; i < core.groupBy.size(); ++i) {
      if (i > 0) out += ", ";
      Piece p;
      if (!Expression(*core.groupBy[i], p)) return false;
      out += Wrap(p, kLoosest);
    }
  }
  if (core.having) {
    Piece p;
    if (!Expression(*core.having, p)) return false;
    out += " HAVING " + p.text;
  }
  return true;
}

bool QueryWriter::DaysOfColumn(const ast::Expr& l, const ast::Expr& r, const std::string& op, std::string& out,
                               bool& both) {
  const std::optional<DayRange> range = DayRangeOf(l, r, op);
  if (!range) return false;
  Piece c;
  if (!Expression(*range->column, c)) return false;
  const std::string lower = range->from ? c.text + " >= " + DayLiteral(*range->from) : std::string();
  const std::string upper = range->before ? c.text + " < " + DayLiteral(*range->before) : std::string();
  both = range->from && range->before;
  out = both ? "(" + lower + " AND " + upper + ")" : range->from ? lower : upper;
  return true;
}

}  // namespace tarnwick::tsql
