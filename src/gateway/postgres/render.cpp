// The PostgreSQL renderer: writes a parsed T-SQL query as PostgreSQL text
// with the office server's meaning kept (see render.hpp).
#include "gateway/postgres/render.hpp"

#include <cstdint>
#include <exception>
#include <new>
#include <optional>
#include <utility>

#include "gateway/postgres/connection.hpp"
#include "gateway/tsql/query_shapes.hpp"
#include "gateway/tsql/stamp.hpp"
#include "runtime/numeric_text.hpp"
#include "runtime/text.hpp"

namespace tarnwick::postgres {

using tsql::SyntaxError;
using tsql::ast::Expr;
using tsql::ast::ExprKind;
namespace ast = tsql::ast;

namespace {

// PostgreSQL operator precedence, loosest first.
constexpr int kOr = tsql::kLoosest, kAnd = 2, kNot = 3, kIs = 4, kCmp = 5, kLike = 6, kOther = 7, kAdd = 8,
              kMul = 9, kUnary = 10, kAtom = tsql::kTightest;

struct Piece {
  std::string text;
  int prec = kAtom;
  ValueKind kind = ValueKind::Unknown;
  bool citext = false;   // a case-blind text
  bool literal = false;  // a literal whose type the server takes from the other side
};

using runtime::QuoteSql;

using tsql::Atom;
using tsql::Wrap;

bool IsLiteral(const Expr& e) {
  return e.kind == ExprKind::Number || e.kind == ExprKind::Text || e.kind == ExprKind::Null;
}

// An identifier as the schema created it: unquoted names fold to lower case.
std::string Name(const std::string& name) { return QuoteIdentifier(runtime::ToLower(name)); }

// An output name spelled as the text wrote it.
std::string Alias(const std::string& alias) { return QuoteIdentifier(alias); }

std::string TimestampLiteral(const tsql::Stamp& s) { return "TIMESTAMP '" + tsql::FormatStamp(s) + "'"; }

// The number a text reads as, written as a SQL number; empty when it is none.
std::string NumberText(const std::string& text) {
  const std::string_view trimmed = runtime::Trim(text);
  const runtime::NumericParse parsed = runtime::ParseNumericText(trimmed);
  if (parsed.status != runtime::NumericStatus::Ok) return {};
  for (char c : trimmed) {
    const bool plain = (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E';
    if (!plain) return {};
  }
  return std::string(trimmed);
}

// The date part as an interval step of DATEADD, and its multiplier.
bool IntervalOf(const std::string& part, std::string& unit, int& times) {
  times = 1;
  if (part == "year") unit = "year";
  else if (part == "quarter") unit = "month", times = 3;
  else if (part == "month") unit = "month";
  else if (part == "dayofyear" || part == "day" || part == "weekday") unit = "day";
  else if (part == "week") unit = "day", times = 7;
  else if (part == "hour") unit = "hour";
  else if (part == "minute") unit = "minute";
  else if (part == "second") unit = "second";
  else if (part == "millisecond") unit = "millisecond";
  else return false;
  return true;
}

// to_char patterns for the styles of CONVERT(varchar, date, style).
const char* DateStyle(int style) {
  switch (style) {
    case 0: case 100: return "Mon DD YYYY HH12:MIAM";
    case 1: return "MM/DD/YY";
    case 101: return "MM/DD/YYYY";
    case 2: return "YY.MM.DD";
    case 102: return "YYYY.MM.DD";
    case 3: return "DD/MM/YY";
    case 103: return "DD/MM/YYYY";
    case 10: return "MM-DD-YY";
    case 110: return "MM-DD-YYYY";
    case 11: return "YY/MM/DD";
    case 111: return "YYYY/MM/DD";
    case 12: return "YYMMDD";
    case 112: return "YYYYMMDD";
    case 8: case 108: return "HH24:MI:SS";
    case 20: case 120: return "YYYY-MM-DD HH24:MI:SS";
    case 21: case 121: return "YYYY-MM-DD HH24:MI:SS.MS";
    case 23: return "YYYY-MM-DD";
    case 126: return "YYYY-MM-DD\"T\"HH24:MI:SS.MS";
    default: return nullptr;
  }
}

// A table of a FROM list in scope: what its columns are.
struct ScopeEntry {
  std::string alias;  // lower case; the table's name when it has no alias
  const std::unordered_map<std::string, ColumnKind>* columns = nullptr;
  std::unordered_map<std::string, ColumnKind> derived;  // a derived table's columns
  const std::unordered_map<std::string, ColumnKind>& Columns() const { return columns ? *columns : derived; }
};

// The output columns of a query: name (lower case) and kind.
using Outputs = std::vector<std::pair<std::string, ColumnKind>>;

class Writer final : public tsql::QueryWriter {
 public:
  Writer(const OfficeColumns& office, SyntaxError& error) : QueryWriter(error), office_(office) {}

  // Writes `q`; `outputs`, when given, receives its output columns.
  bool Query(const ast::Query& q, std::string& out, Outputs* outputs) {
    Outputs* const outer = std::exchange(outputs_, outputs);
    const bool ok = QueryWriter::Query(q, out);
    outputs_ = outer;
    return ok;
  }

 private:
  const OfficeColumns& office_;
  std::vector<std::vector<ScopeEntry>> scopes_;
  Outputs* outputs_ = nullptr;  // the output columns of the query being written, when asked for
  int derivedCount_ = 0;

  // ----- queries -----

  bool Expression(const Expr& e, tsql::Piece& out) override {
    Piece p;
    if (!Render(e, p)) return false;
    out = {std::move(p.text), p.prec};
    return true;
  }

  void EnterSelect() override { scopes_.emplace_back(); }
  void LeaveSelect() override { scopes_.pop_back(); }

  // The member keeps its LIMIT in parentheses.
  std::string LimitedMember(const std::string& limited) override { return "(" + limited + ")"; }

  std::string DayLiteral(std::int64_t day) override { return TimestampLiteral(tsql::Stamp{day, 0}); }

  bool OrderTerm(const ast::Query& q, const ast::SelectCore* core, const ast::OrderItem& item,
                 std::string& out) override {
    if (!OrderExpression(q.cores.front(), core, *item.expr, out)) return false;
    // NULLs come first when rising, as on the office's server.
    out += item.descending ? " DESC NULLS LAST" : " NULLS FIRST";
    return true;
  }

  // An ORDER BY term: a position, an alias of the first member's select
  // list, a listed column, or an expression.
  bool OrderExpression(const ast::SelectCore& first, const ast::SelectCore* core, const Expr& e, std::string& out) {
    if (e.kind == ExprKind::Number) {
      out = e.text;  // a position in the select list
      return true;
    }
    if (e.kind == ExprKind::Column && e.parts.size() == 1) {
      for (const ast::SelectItem& item : first.items) {
        if (!item.alias.empty() && runtime::EqualsNoCase(item.alias, e.parts.front())) {
          out = Alias(item.alias);
          return true;
        }
      }
      if (!core) {
        out = Name(e.parts.front());
        return true;
      }
      if (const Expr* listed = tsql::SelectListColumn(*core, e)) {
        Piece p;
        if (!Render(*listed, p)) return false;
        out = Atom(p);
        return true;
      }
    }
    Piece p;
    if (!Render(e, p)) return false;
    // A computed text orders case-blind too; a DISTINCT or UNION list must be
    // ordered by its own terms, which are left as written.
    if (core && !core->distinct && p.kind == ValueKind::Text && !p.citext && !p.literal) {
      out = Atom(p) + "::citext";
    } else {
      out = Atom(p);
    }
    return true;
  }

  bool Select(const ast::SelectCore& core, bool first, std::string& out) override {
    Outputs* const outputs = first ? outputs_ : nullptr;
    // The tables come first: the select list names their columns.
    std::string from;
    if (!FromList(core, from)) return false;
    out += "SELECT ";
    if (core.distinct) out += "DISTINCT ";
    for (std::size_t i = 0; i < core.items.size(); ++i) {
      if (i > 0) out += ", ";
      const ast::SelectItem& item = core.items[i];
      const Expr& e = *item.expr;
      if (e.kind == ExprKind::Star) {
        if (!Star(e, out, outputs)) return false;
        continue;
      }
      Piece p;
      if (!Render(e, p)) return false;
      out += Wrap(p, kOr);
      std::string name = item.alias;
      // A listed column keeps the spelling the text gave it.
      if (name.empty() && e.kind == ExprKind::Column) name = e.parts.back();
      if (!name.empty()) out += " AS " + Alias(name);
      if (outputs) outputs->emplace_back(runtime::ToLower(name), ColumnKind{p.kind, p.citext});
    }
    if (!from.empty()) out += " FROM " + from;
    return Filters(core, out);
  }

  bool Star(const Expr& e, std::string& out, Outputs* outputs) {
    const std::vector<ScopeEntry>& scope = scopes_.back();
    if (e.parts.empty()) {
      out += "*";
      if (outputs) {
        for (const ScopeEntry& s : scope)
          for (const auto& [name, kind] : s.Columns()) outputs->emplace_back(name, kind);
      }
      return true;
    }
    const std::string qualifier = runtime::ToLower(e.parts.back());
    for (const ScopeEntry& s : scope) {
      if (s.alias != qualifier) continue;
      out += Name(e.parts.back()) + ".*";
      if (outputs)
        for (const auto& [name, kind] : s.Columns()) outputs->emplace_back(name, kind);
      return true;
    }
    return Fail("The object name '" + e.parts.back() + "' is not in the FROM clause", e.pos);
  }

  // Puts the table into the current scope as it writes it.
  bool Source(const ast::TableRef& t, std::string& out) override {
    ScopeEntry source;
    if (t.query) {
      std::string inner;
      Outputs columns;
      if (!Query(*t.query, inner, &columns)) return false;
      for (auto& [name, kind] : columns) source.derived.emplace(std::move(name), kind);
      // The server wants a name for every derived table.
      source.alias = t.alias.empty() ? "tw_derived" + std::to_string(++derivedCount_) : runtime::ToLower(t.alias);
      out += "(" + inner + ") AS " + QuoteIdentifier(source.alias);
    } else {
      // Owner and database prefixes (dbo.ref_org) name nothing on the
      // office's server: the table is its last name part.
      const std::string name = runtime::ToLower(t.name.back());
      const auto found = office_.find(name);
      if (found == office_.end()) return Fail("Invalid object name '" + t.name.back() + "'", 0);
      source.columns = &found->second;
      source.alias = t.alias.empty() ? name : runtime::ToLower(t.alias);
      out += Name(name);
      if (!t.alias.empty()) out += " AS " + Name(t.alias);
    }
    scopes_.back().push_back(std::move(source));
    return true;
  }

  // The kind of a column of the tables in scope, the innermost first.
  ColumnKind KindOfColumn(const Expr& e) const {
    const std::size_t n = e.parts.size();
    const std::string column = runtime::ToLower(e.parts[n - 1]);
    const std::string qualifier = n >= 2 ? runtime::ToLower(e.parts[n - 2]) : std::string();
    for (auto scope = scopes_.rbegin(); scope != scopes_.rend(); ++scope) {
      std::optional<ColumnKind> found;
      bool mixed = false;
      for (const ScopeEntry& s : *scope) {
        if (!qualifier.empty() && s.alias != qualifier) continue;
        const auto& columns = s.Columns();
        const auto c = columns.find(column);
        if (c == columns.end()) continue;
        if (found && (found->kind != c->second.kind || found->citext != c->second.citext)) mixed = true;
        found = c->second;
      }
      if (found) return mixed ? ColumnKind{} : *found;
    }
    return {};
  }

  // ----- expressions -----

  bool Render(const Expr& e, Piece& out) {
    switch (e.kind) {
      case ExprKind::Null: out = {"NULL", kAtom, ValueKind::Unknown, false, true}; return true;
      case ExprKind::Number: out = {e.text, kAtom, ValueKind::Number, false, true}; return true;
      case ExprKind::Text: out = {QuoteSql(e.text), kAtom, ValueKind::Text, false, true}; return true;
      case ExprKind::Hex: {
        std::string digits = e.text;
        if (digits.size() % 2 == 1) digits.insert(digits.begin(), '0');
        out = {"'\\x" + digits + "'::bytea", kAtom, ValueKind::Binary};
        return true;
      }
      case ExprKind::Column: {
        // A column is [table.]column; owner and database prefixes drop.
        const std::size_t n = e.parts.size();
        std::string text = n >= 2 ? Name(e.parts[n - 2]) + "." : std::string();
        const ColumnKind kind = KindOfColumn(e);
        out = {text + Name(e.parts[n - 1]), kAtom, kind.kind, kind.citext};
        return true;
      }
      case ExprKind::Star: return Fail("A * is allowed only in the select list or count(*)", e.pos);
      case ExprKind::Now:
        out = {e.op == "utc" ? "(now() AT TIME ZONE 'utc')::timestamp(3)" : "localtimestamp(0)", kAtom,
               ValueKind::Date};
        return true;
      case ExprKind::Unary: return Unary(e, out);
      case ExprKind::Binary: return Binary(e, out);
      case ExprKind::Between: return Between(e, out);
      case ExprKind::InList: return InList(e, out);
      case ExprKind::InQuery: {
        Piece left;
        std::string q;
        Outputs columns;
        if (!Render(*e.args[0], left) || !Subquery(*e.query, q, &columns)) return false;
        std::string l = Wrap(left, kLike + 1);
        if (left.kind == ValueKind::Text && !left.citext) l = Atom(left) + "::citext";
        out = {l + (e.negated ? " NOT IN (" : " IN (") + q + ")", kLike, ValueKind::Boolean};
        return true;
      }
      case ExprKind::Like: return Like(e, out);
      case ExprKind::IsNull: {
        Piece p;
        if (!Render(*e.args[0], p)) return false;
        out = {Wrap(p, kIs + 1) + (e.negated ? " IS NOT NULL" : " IS NULL"), kIs, ValueKind::Boolean};
        return true;
      }
      case ExprKind::Exists: {
        std::string q;
        if (!Subquery(*e.query, q, nullptr)) return false;
        out = {"EXISTS (" + q + ")", kAtom, ValueKind::Boolean};
        return true;
      }
      case ExprKind::Subquery: {
        std::string q;
        Outputs columns;
        if (!Subquery(*e.query, q, &columns)) return false;
        out = {"(" + q + ")", kAtom};
        if (!columns.empty()) out.kind = columns.front().second.kind, out.citext = columns.front().second.citext;
        return true;
      }
      case ExprKind::Case: return Case(e, out);
      case ExprKind::Function: return Function(e, out);
      case ExprKind::Cast: return Cast(e, out);
      case ExprKind::DatePart: return DatePart(e, out);
    }
    return Fail("Unknown expression", e.pos);
  }

  bool Subquery(const ast::Query& q, std::string& out, Outputs* outputs) { return Query(q, out, outputs); }

  // A literal rendered for a place that holds `kind`, converted as the server
  // converts it there: '' and numeric texts to numbers, date texts to
  // timestamps, 0 and 1 to false and true. Anything else renders as itself.
  bool RenderAs(const Expr& e, ValueKind kind, Piece& out) {
    if (e.kind == ExprKind::Text) {
      const std::string& text = e.text;
      if (kind == ValueKind::Number) {
        if (runtime::Trim(text).empty()) {
          out = {"0", kAtom, ValueKind::Number};
          return true;
        }
        if (std::string n = NumberText(text); !n.empty()) {
          out = {n[0] == '-' ? "(" + n + ")" : n, kAtom, ValueKind::Number};
          return true;
        }
      } else if (kind == ValueKind::Date) {
        if (runtime::Trim(text).empty()) {
          out = {"TIMESTAMP '1900-01-01 00:00:00'", kAtom, ValueKind::Date};
          return true;
        }
        if (const std::optional<tsql::Stamp> s = tsql::ReadDateText(text)) {
          out = {TimestampLiteral(*s), kAtom, ValueKind::Date};
          return true;
        }
      } else if (kind == ValueKind::Boolean) {
        if (std::string n = NumberText(text); !n.empty()) {
          out = {std::stod(n) != 0 ? "true" : "false", kAtom, ValueKind::Boolean};
          return true;
        }
      }
    } else if (e.kind == ExprKind::Number) {
      if (kind == ValueKind::Boolean) {
        out = {std::stod(e.text) != 0 ? "true" : "false", kAtom, ValueKind::Boolean};
        return true;
      }
      if (kind == ValueKind::Text) {
        out = {QuoteSql(e.text), kAtom, ValueKind::Text, false, true};
        return true;
      }
      if (kind == ValueKind::Date) {
        // A number is a count of days from 1 January 1900.
        out = {"(TIMESTAMP '1900-01-01 00:00:00' + (" + e.text + ") * INTERVAL '1 day')", kAtom, ValueKind::Date};
        return true;
      }
    }
    return Render(e, out);
  }

  // Renders two operands that meet (in a comparison, a CASE, coalesce): a
  // literal side takes the other side's kind.
  bool Pair(const Expr& l, const Expr& r, Piece& a, Piece& b) {
    if (IsLiteral(l) && !IsLiteral(r)) {
      return Render(r, b) && RenderAs(l, b.kind, a);
    }
    if (!Render(l, a)) return false;
    if (IsLiteral(r) && !IsLiteral(l)) return RenderAs(r, a.kind, b);
    return Render(r, b);
  }

  // Makes a text side case-blind where it meets another text: a citext
  // column and a literal already compare so.
  static void CaseBlind(Piece& a, Piece& b) {
    if (a.kind != ValueKind::Text || b.kind != ValueKind::Text) return;
    if (a.citext || b.citext) {
      if (!a.citext && !a.literal) a = {Atom(a) + "::citext", kAtom, ValueKind::Text, true};
      if (!b.citext && !b.literal) b = {Atom(b) + "::citext", kAtom, ValueKind::Text, true};
      return;
    }
    a = {Atom(a) + "::citext", kAtom, ValueKind::Text, true};
  }

  // A number-like operand: a yes/no value counts as 1 or 0.
  static std::string Numeric(const Piece& p, int prec) {
    if (p.kind == ValueKind::Boolean) return Atom(p) + "::int";
    return Wrap(p, prec);
  }

  bool Unary(const Expr& e, Piece& out) {
    Piece p;
    if (!Render(*e.args[0], p)) return false;
    if (e.op == "NOT") {
      out = {"NOT " + Wrap(p, kNot), kNot, ValueKind::Boolean};
      return true;
    }
    if (e.op == "+") {
      out = p;
      return true;
    }
    out = {tsql::Signed(e.op, Numeric(p, kUnary)), kUnary, ValueKind::Number};
    return true;
  }

  bool Binary(const Expr& e, Piece& out) {
    const Expr& l = *e.args[0];
    const Expr& r = *e.args[1];
    const std::string& op = e.op;
    if (op == "AND" || op == "OR") {
      const int prec = op == "AND" ? kAnd : kOr;
      Piece a, b;
      if (!Render(l, a) || !Render(r, b)) return false;
      out = {Wrap(a, prec) + " " + op + " " + Wrap(b, prec + 1), prec, ValueKind::Boolean};
      return true;
    }
    if (op == "+" || op == "-") return Additive(e, out);
    if (op == "*" || op == "/" || op == "%" || op == "&" || op == "|" || op == "^") {
      Piece a, b;
      if (!RenderAs(l, ValueKind::Number, a) || !RenderAs(r, ValueKind::Number, b)) return false;
      const std::string sqlOp = op == "^" ? "#" : op;
      const int prec = (op == "*" || op == "/" || op == "%") ? kMul : kOther;
      const int operand = prec == kMul ? kMul : kAtom;
      out = {Numeric(a, operand) + " " + sqlOp + " " + Numeric(b, prec == kMul ? kMul + 1 : kAtom), prec,
             ValueKind::Number};
      return true;
    }
    // Comparisons.
    bool both = false;
    if (std::string range; DaysOfColumn(l, r, op, range, both)) {
      out = {range, both ? kAtom : kCmp, ValueKind::Boolean};
      return true;
    }
    Piece a, b;
    if (!Pair(l, r, a, b)) return false;
    CaseBlind(a, b);
    const std::string sqlOp = op == "!=" ? "<>" : op;
    out = {Wrap(a, kCmp + 1) + " " + sqlOp + " " + Wrap(b, kCmp + 1), kCmp, ValueKind::Boolean};
    return true;
  }

  // + joins texts and adds numbers; with a date it adds days (- takes them away).
  bool Additive(const Expr& e, Piece& out) {
    const Expr& l = *e.args[0];
    const Expr& r = *e.args[1];
    Piece a, b;
    if (!Render(l, a) || !Render(r, b)) return false;
    const bool text = a.kind == ValueKind::Text || b.kind == ValueKind::Text;
    if (e.op == "+" && text && !(a.literal && b.literal && (a.kind == ValueKind::Number || b.kind == ValueKind::Number))) {
      if (a.kind == ValueKind::Number && a.literal) a = {QuoteSql(l.text), kAtom, ValueKind::Text, false, true};
      if (b.kind == ValueKind::Number && b.literal) b = {QuoteSql(r.text), kAtom, ValueKind::Text, false, true};
      // A bare literal on both sides would leave the server unsure of the type.
      std::string left = a.literal ? Atom(a) + "::text" : Wrap(a, kOther);
      out = {left + " || " + Wrap(b, kOther + 1), kOther, ValueKind::Text};
      return true;
    }
    // Literals are cheap to render again in their new place; other operands
    // are rendered once, or a long chain would take exponential time.
    if (a.kind == ValueKind::Date && b.kind != ValueKind::Date) {
      if (IsLiteral(r) && !RenderAs(r, ValueKind::Number, b)) return false;
      out = {Wrap(a, kAdd) + " " + e.op + " " + Numeric(b, kAtom) + " * INTERVAL '1 day'", kAdd, ValueKind::Date};
      return true;
    }
    if (b.kind == ValueKind::Date && a.kind != ValueKind::Date && e.op == "+") {
      if (IsLiteral(l) && !RenderAs(l, ValueKind::Number, a)) return false;
      out = {Wrap(b, kAdd) + " + " + Numeric(a, kAtom) + " * INTERVAL '1 day'", kAdd, ValueKind::Date};
      return true;
    }
    if (IsLiteral(l) && !RenderAs(l, ValueKind::Number, a)) return false;
    if (IsLiteral(r) && !RenderAs(r, ValueKind::Number, b)) return false;
    out = {Numeric(a, kAdd) + " " + e.op + " " + Numeric(b, kAdd + 1), kAdd, ValueKind::Number};
    return true;
  }

  bool Between(const Expr& e, Piece& out) {
    const Expr& x = *e.args[0];
    Piece p, low, high;
    if (!Render(x, p) || !RenderAs(*e.args[1], p.kind, low) || !RenderAs(*e.args[2], p.kind, high)) return false;
    if (p.kind == ValueKind::Text && !p.citext) p = {Atom(p) + "::citext", kAtom, ValueKind::Text, true};
    out = {Wrap(p, kLike + 1) + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + Wrap(low, kLike + 1) + " AND " +
               Wrap(high, kLike + 1),
           kLike, ValueKind::Boolean};
    return true;
  }

  bool InList(const Expr& e, Piece& out) {
    const Expr& x = *e.args[0];
    Piece left;
    if (!Render(x, left)) return false;
    std::string items;
    for (std::size_t i = 1; i < e.args.size(); ++i) {
      Piece p;
      if (!RenderAs(*e.args[i], left.kind, p)) return false;
      if (i > 1) items += ", ";
      items += Wrap(p, kOr);
    }
    std::string l = Wrap(left, kLike + 1);
    if (left.kind == ValueKind::Text && !left.citext) l = Atom(left) + "::citext";
    out = {l + (e.negated ? " NOT IN (" : " IN (") + items + ")", kLike, ValueKind::Boolean};
    return true;
  }

  bool Like(const Expr& e, Piece& out) {
    const Expr& pattern = *e.args[1];
    Piece x;
    if (!Render(*e.args[0], x)) return false;
    std::string subject = Wrap(x, kLike + 1);
    if (x.kind != ValueKind::Text && !x.literal) subject = Atom(x) + "::text";
    const bool citext = x.kind == ValueKind::Text && x.citext;
    char escape = 0;
    bool literalEscape = e.args.size() <= 2;
    if (e.args.size() > 2 && e.args[2]->kind == ExprKind::Text && e.args[2]->text.size() == 1) {
      escape = e.args[2]->text[0];
      literalEscape = true;
    }
    if (pattern.kind == ExprKind::Text && pattern.text.find('[') != std::string::npos && literalEscape) {
      // Character ranges ([a-c], [^x]) are the office server's own; a
      // case-blind regular expression keeps them.
      out = {Atom(x) + (e.negated ? " !~* " : " ~* ") + QuoteSql(LikePatternRegex(pattern.text, escape)), kLike,
             ValueKind::Boolean};
      return true;
    }
    Piece p;
    if (!Render(pattern, p)) return false;
    std::string text = subject + (e.negated ? " NOT " : " ") + (citext ? "LIKE " : "ILIKE ") + Wrap(p, kLike + 1);
    if (e.args.size() > 2) {
      Piece esc;
      if (!Render(*e.args[2], esc)) return false;
      text += " ESCAPE " + Wrap(esc, kLike + 1);
    } else if (pattern.kind != ExprKind::Text || pattern.text.find('\\') != std::string::npos) {
      // A backslash is a plain character in the office server's patterns.
      text += " ESCAPE ''";
    }
    out = {text, kLike, ValueKind::Boolean};
    return true;
  }

  // Renders every argument that is no literal once; the literals then take
  // the kind of the first of them (as in a CASE or coalesce).
  bool Mixed(const std::vector<const Expr*>& args, std::vector<Piece>& out, ValueKind& kind, bool& citext) {
    out.assign(args.size(), Piece{});
    kind = ValueKind::Unknown;
    citext = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (IsLiteral(*args[i])) continue;
      if (!Render(*args[i], out[i])) return false;
      if (kind == ValueKind::Unknown && out[i].kind != ValueKind::Unknown) {
        kind = out[i].kind;
        citext = out[i].citext;
      }
    }
    if (kind == ValueKind::Unknown) {
      for (const Expr* a : args) {
        if (a->kind == ExprKind::Text) kind = ValueKind::Text;
        else if (a->kind == ExprKind::Number && kind == ValueKind::Unknown) kind = ValueKind::Number;
      }
    }
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (IsLiteral(*args[i]) && !RenderAs(*args[i], kind, out[i])) return false;
    }
    return true;
  }

  bool Case(const Expr& e, Piece& out) {
    std::string text = "CASE";
    std::size_t first = 0;
    Piece operand;
    if (e.hasOperand) {
      if (!Render(*e.args[0], operand)) return false;
      first = 1;
      // The operand is compared with each WHEN: a text operand case-blind.
      std::string o = Wrap(operand, kOr);
      if (operand.kind == ValueKind::Text && !operand.citext) o = Atom(operand) + "::citext";
      text += " " + o;
    }
    const std::size_t pairsEnd = e.args.size() - (e.hasElse ? 1 : 0);
    std::vector<const Expr*> results;
    for (std::size_t i = first + 1; i < pairsEnd; i += 2) results.push_back(e.args[i].get());
    if (e.hasElse) results.push_back(e.args.back().get());
    std::vector<Piece> rendered;
    ValueKind kind = ValueKind::Unknown;
    bool citext = false;
    if (!Mixed(results, rendered, kind, citext)) return false;
    std::size_t k = 0;
    for (std::size_t i = first; i + 1 < pairsEnd; i += 2, ++k) {
      Piece when;
      if (e.hasOperand ? !RenderAs(*e.args[i], operand.kind, when) : !Render(*e.args[i], when)) return false;
      text += " WHEN " + Wrap(when, kOr) + " THEN " + Wrap(rendered[k], kOr);
    }
    if (e.hasElse) text += " ELSE " + Wrap(rendered.back(), kOr);
    out = {text + " END", kAtom, kind, citext};
    return true;
  }

  // name(args...) with the arguments as rendered.
  static Piece Call(const std::string& name, const std::vector<Piece>& args, ValueKind kind) {
    std::string text = name + "(";
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (i > 0) text += ", ";
      text += Wrap(args[i], kOr);
    }
    return {text + ")", kAtom, kind};
  }

  bool Args(const Expr& e, std::vector<Piece>& out) {
    for (const auto& a : e.args) {
      Piece p;
      if (!Render(*a, p)) return false;
      out.push_back(std::move(p));
    }
    return true;
  }

  // A text argument of a function that reads text (an office column may be a number).
  static std::string AsText(const Piece& p) {
    if (p.kind == ValueKind::Text && !p.literal) return Wrap(p, kOr);
    if (p.kind == ValueKind::Boolean) return Atom(p) + "::int::text";
    return Atom(p) + "::text";
  }

  bool Coalesce(const Expr& e, Piece& out) {
    std::vector<const Expr*> args;
    for (const auto& a : e.args) args.push_back(a.get());
    std::vector<Piece> rendered;
    ValueKind kind = ValueKind::Unknown;
    bool citext = false;
    if (!Mixed(args, rendered, kind, citext)) return false;
    out = Call("coalesce", rendered, kind);
    out.citext = citext;
    return true;
  }

  bool Function(const Expr& e, Piece& out) {
    const std::string up = runtime::ToUpper(e.text);
    if (up == "ISNULL" || up == "COALESCE") return Coalesce(e, out);
    std::vector<Piece> args;
    if (e.star) {
      if (up != "COUNT") return Fail("'" + e.text + "(*)' is not a valid function call", e.pos);
      out = {"count(*)", kAtom, ValueKind::Number};
      return true;
    }
    if (up == "NULLIF") {
      if (e.args.size() != 2) return Fail("The nullif function requires 2 argument(s)", e.pos);
      Piece a, b;
      if (!Pair(*e.args[0], *e.args[1], a, b)) return false;
      out = Call("nullif", {a, b}, a.kind);
      return true;
    }
    if (!Args(e, args)) return false;
    const auto text = [&](std::size_t i) { return AsText(args[i]); };
    const auto number = [&](std::size_t i) { return Numeric(args[i], kOr); };
    if (up == "COUNT" || up == "SUM" || up == "AVG" || up == "MIN" || up == "MAX") {
      if (args.size() != 1) return Fail("The " + runtime::ToLower(up) + " function requires 1 argument(s)", e.pos);
      const bool numeric = up == "SUM" || up == "AVG";
      const std::string arg = numeric ? Numeric(args[0], kOr) : Wrap(args[0], kOr);
      out = {runtime::ToLower(up) + "(" + (e.distinct ? "DISTINCT " : "") + arg + ")", kAtom,
             up == "COUNT" || numeric ? ValueKind::Number : args[0].kind, up != "COUNT" && args[0].citext};
      // A sum of whole numbers is whole, as on the office server.
      if (up == "SUM" || up == "AVG") out.text = "(" + out.text + ")";
      return true;
    }
    if (e.distinct) return Fail("DISTINCT is allowed only in an aggregate", e.pos);
    if (up == "LEN") {
      // LEN leaves trailing blanks uncounted.
      out = {"length(rtrim(" + text(0) + "))", kAtom, ValueKind::Number};
      return true;
    }
    if (up == "DATALENGTH") {
      const std::string arg = args[0].kind == ValueKind::Binary ? Wrap(args[0], kOr) : text(0);
      out = {"octet_length(" + arg + ")", kAtom, ValueKind::Number};
      return true;
    }
    if (up == "SUBSTRING") {
      out = {"substr(" + text(0) + ", " + number(1) + ", greatest(" + number(2) + ", 0))", kAtom, ValueKind::Text};
      return true;
    }
    if (up == "LEFT" || up == "RIGHT") {
      out = {runtime::ToLower(up) + "(" + text(0) + ", greatest(" + number(1) + ", 0))", kAtom, ValueKind::Text};
      return true;
    }
    if (up == "CHARINDEX") {
      // Case-blind, as the office server's collation finds texts.
      const std::string needle = "lower(" + text(0) + ")";
      const std::string hay = "lower(" + text(1) + ")";
      if (args.size() == 2) {
        out = {"strpos(" + hay + ", " + needle + ")", kAtom, ValueKind::Number};
        return true;
      }
      const std::string start = "greatest(" + number(2) + ", 1)";
      const std::string found = "strpos(substr(" + hay + ", " + start + "), " + needle + ")";
      out = {"(CASE WHEN " + found + " = 0 THEN 0 ELSE " + found + " + " + start + " - 1 END)", kAtom,
             ValueKind::Number};
      return true;
    }
    if (up == "REPLACE") {
      // citext's replace finds the text case-blind.
      const auto blind = [&](std::size_t i) { return "(" + text(i) + ")::citext"; };
      out = {"replace(" + blind(0) + ", " + blind(1) + ", " + blind(2) + ")", kAtom, ValueKind::Text};
      return true;
    }
    if (up == "UPPER" || up == "LOWER" || up == "LTRIM" || up == "RTRIM" || up == "REVERSE") {
      if (args.size() != 1) return Fail("The " + runtime::ToLower(up) + " function requires 1 argument(s)", e.pos);
      out = {runtime::ToLower(up) + "(" + text(0) + ")", kAtom, ValueKind::Text};
      return true;
    }
    if (up == "SPACE" || up == "REPLICATE") {
      const std::string what = up == "SPACE" ? "' '" : text(0);
      out = {"repeat(" + what + ", greatest(" + number(up == "SPACE" ? 0 : 1) + ", 0))", kAtom, ValueKind::Text};
      return true;
    }
    if (up == "ISNUMERIC") {
      out = {"(CASE WHEN " + text(0) +
                 " ~ '^\\s*[-+]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][-+]?[0-9]+)?\\s*$' THEN 1 ELSE 0 END)",
             kAtom, ValueKind::Number};
      return true;
    }
    if (up == "ABS" || up == "FLOOR" || up == "CEILING" || up == "SIGN" || up == "SQRT" || up == "POWER" ||
        up == "ROUND") {
      std::vector<Piece> numbers;
      for (std::size_t i = 0; i < e.args.size(); ++i) {
        // Only a literal is rendered again (as a number): an argument that
        // is a call itself would otherwise be rendered twice at every level.
        Piece p = args[i];
        if (IsLiteral(*e.args[i]) && !RenderAs(*e.args[i], ValueKind::Number, p)) return false;
        numbers.push_back({Numeric(p, kOr), kAtom, ValueKind::Number});
      }
      if (up == "ROUND" && !numbers.empty()) numbers[0].text = Atom(numbers[0]) + "::numeric";
      out = Call(runtime::ToLower(up), numbers, ValueKind::Number);
      return true;
    }
    return Fail("'" + e.text + "' is not a recognized built-in function name", e.pos);
  }

  bool Cast(const Expr& e, Piece& out) {
    const ast::TypeName& t = e.type;
    Piece value;
    if (!Render(*e.args[0], value)) return false;
    const std::string& n = t.name;
    auto noSize = [&]() {
      if (t.length != -1 || t.max) return Fail("The type '" + n + "' takes no size", t.pos);
      return true;
    };
    // A date text (and only a literal one) is read here as the server reads it.
    const auto date = [&]() -> std::string {
      if (e.args[0]->kind == ExprKind::Text) {
        Piece p;
        if (RenderAs(*e.args[0], ValueKind::Date, p) && p.kind == ValueKind::Date) return p.text;
      }
      if (value.kind == ValueKind::Date) return Atom(value);
      return Atom(value) + "::timestamp";
    };
    if (n == "DATE" || n == "DATETIME" || n == "SMALLDATETIME" || n == "DATETIME2") {
      if (n != "DATETIME2" && !noSize()) return false;
      if (n == "DATE") out = {"date_trunc('day', " + date() + ")", kAtom, ValueKind::Date};
      else out = {date(), kAtom, ValueKind::Date};
      return true;
    }
    const std::string v = value.kind == ValueKind::Boolean ? Atom(value) + "::int" : Atom(value);
    if (n == "INT" || n == "INTEGER" || n == "BIGINT" || n == "SMALLINT" || n == "TINYINT") {
      if (!noSize()) return false;
      const char* type = n == "BIGINT" ? "bigint" : n == "SMALLINT" || n == "TINYINT" ? "smallint" : "integer";
      // A fraction is cut off, not rounded.
      const std::string whole = value.kind == ValueKind::Number ? "trunc(" + v + ")" : v;
      out = {whole + "::" + type, kAtom, ValueKind::Number};
      return true;
    }
    if (n == "BIT") {
      if (!noSize()) return false;
      if (value.kind == ValueKind::Number) out = {"(" + v + " <> 0)", kAtom, ValueKind::Boolean};
      else out = {v + "::boolean", kAtom, ValueKind::Boolean};
      return true;
    }
    if (n == "MONEY" || n == "SMALLMONEY") {
      if (!noSize()) return false;
      out = {v + "::numeric(19,4)", kAtom, ValueKind::Number};
      return true;
    }
    if (n == "DECIMAL" || n == "NUMERIC" || n == "DEC") {
      const int precision = t.length == -1 ? 18 : t.length;
      const int scale = t.scale == -1 ? 0 : t.scale;
      if (t.max || precision < 1 || precision > 38 || scale > precision)
        return Fail("The size given to the type '" + n + "' is not valid", t.pos);
      out = {v + "::numeric(" + std::to_string(precision) + "," + std::to_string(scale) + ")", kAtom,
             ValueKind::Number};
      return true;
    }
    if (n == "FLOAT" || n == "REAL") {
      out = {v + "::double precision", kAtom, ValueKind::Number};
      return true;
    }
    if (n == "VARCHAR" || n == "NVARCHAR" || n == "CHAR" || n == "NCHAR" || n == "TEXT" || n == "NTEXT") {
      const bool fixed = n == "CHAR" || n == "NCHAR";
      const bool unsized = n == "TEXT" || n == "NTEXT";
      int size = -1;
      if (unsized ? !noSize() : !tsql::TextTypeSize(t, size, error_)) return false;
      std::string textValue;
      if (e.args.size() > 1 && value.kind == ValueKind::Date) {
        const Expr& styleExpr = *e.args[1];
        const char* pattern = styleExpr.kind == ExprKind::Number ? DateStyle(std::atoi(styleExpr.text.c_str())) : nullptr;
        if (!pattern) return Fail("The date style given to CONVERT is not one the office server reads", styleExpr.pos);
        textValue = "to_char(" + Atom(value) + ", '" + pattern + "')";
      } else if (value.kind == ValueKind::Date) {
        textValue = "to_char(" + Atom(value) + ", '" + DateStyle(0) + "')";
      } else {
        textValue = AsText(value);
      }
      if (fixed) textValue = "rpad(" + textValue + ", " + std::to_string(size) + ")";
      else if (size > 0) textValue = "left(" + textValue + ", " + std::to_string(size) + ")";
      out = {textValue, kAtom, ValueKind::Text};
      return true;
    }
    if (n == "VARBINARY" || n == "BINARY" || n == "IMAGE") {
      std::string blob = value.kind == ValueKind::Binary ? Atom(value) : "convert_to(" + AsText(value) + ", 'UTF8')";
      if (!t.max && t.length != -1) blob = "substr(" + blob + ", 1, " + std::to_string(t.length) + ")";
      out = {blob, kAtom, ValueKind::Binary};
      return true;
    }
    return Fail("Type '" + n + "' is not a defined system type", t.pos);
  }

  bool DatePart(const Expr& e, Piece& out) {
    const std::string& part = e.op;
    if (e.text == "DATEADD") {
      Piece count, date;
      if (!RenderAs(*e.args[0], ValueKind::Number, count) || !RenderAs(*e.args[1], ValueKind::Date, date))
        return false;
      std::string unit;
      int times = 1;
      if (!IntervalOf(part, unit, times)) return Fail("'" + part + "' is not a recognized dateadd option", e.pos);
      std::string step = "trunc(" + Numeric(count, kOr) + ")";
      if (times != 1) step += " * " + std::to_string(times);
      const std::string d = date.kind == ValueKind::Date ? Atom(date) : Atom(date) + "::timestamp";
      out = {"(" + d + " + (" + step + ") * INTERVAL '1 " + unit + "')", kAtom, ValueKind::Date};
      return true;
    }
    if (e.text == "DATEDIFF") {
      Piece from, to;
      if (!RenderAs(*e.args[0], ValueKind::Date, from) || !RenderAs(*e.args[1], ValueKind::Date, to)) return false;
      const std::string a = from.kind == ValueKind::Date ? Atom(from) : Atom(from) + "::timestamp";
      const std::string b = to.kind == ValueKind::Date ? Atom(to) : Atom(to) + "::timestamp";
      // The office server counts the boundaries crossed between the two.
      const auto field = [](const char* f, const std::string& d) { return "extract(" + std::string(f) + " from " + d + ")"; };
      std::string text;
      if (part == "year") {
        text = field("year", b) + " - " + field("year", a);
      } else if (part == "quarter") {
        text = "(" + field("year", b) + " - " + field("year", a) + ") * 4 + " + field("quarter", b) + " - " +
               field("quarter", a);
      } else if (part == "month") {
        text = "(" + field("year", b) + " - " + field("year", a) + ") * 12 + " + field("month", b) + " - " +
               field("month", a);
      } else if (part == "day" || part == "dayofyear" || part == "weekday") {
        text = b + "::date - " + a + "::date";
      } else if (part == "week") {
        text = "((" + b + "::date - " + field("dow", b) + "::int) - (" + a + "::date - " + field("dow", a) +
               "::int)) / 7";
      } else {
        const char* unit = part == "hour" ? "hour" : part == "minute" ? "minute" : part == "second" ? "second" : "milliseconds";
        const char* per = part == "hour" ? "3600" : part == "minute" ? "60" : part == "second" ? "1" : "0.001";
        const std::string trunc = std::string(unit) == "milliseconds" ? "milliseconds" : unit;
        text = "floor(extract(epoch from date_trunc('" + trunc + "', " + b + ") - date_trunc('" + trunc + "', " + a +
               ")) / " + per + ")";
      }
      out = {"(" + text + ")::int", kAtom, ValueKind::Number};
      return true;
    }
    Piece date;
    if (!RenderAs(*e.args[0], ValueKind::Date, date)) return false;
    const std::string d = date.kind == ValueKind::Date ? Atom(date) : Atom(date) + "::timestamp";
    std::string text;
    if (part == "weekday") text = "extract(dow from " + d + ")::int + 1";
    else if (part == "dayofyear") text = "extract(doy from " + d + ")::int";
    else if (part == "week")
      text = "(extract(doy from " + d + ")::int + extract(dow from date_trunc('year', " + d + "))::int - 1) / 7 + 1";
    else if (part == "millisecond") text = "extract(milliseconds from " + d + ")::int % 1000";
    else text = "extract(" + part + " from " + d + ")::int";
    out = {"(" + text + ")", kAtom, ValueKind::Number};
    return true;
  }
};

}  // namespace

std::string LikePatternRegex(std::string_view pattern, char escape) {
  std::string out = "^";
  const auto plain = [&out](char c) {
    if (std::string_view(".^$*+?()[]{}|\\").find(c) != std::string_view::npos) out += '\\';
    out += c;
  };
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (escape != 0 && c == escape && i + 1 < pattern.size()) {
      plain(pattern[++i]);
      continue;
    }
    if (c == '%') {
      out += ".*";
    } else if (c == '_') {
      out += '.';
    } else if (c == '[') {
      const std::size_t close = pattern.find(']', i + 1);
      if (close == std::string_view::npos) {
        plain(c);
        continue;
      }
      std::string_view set = pattern.substr(i + 1, close - i - 1);
      out += '[';
      if (!set.empty() && set.front() == '^') {
        out += '^';
        set.remove_prefix(1);
      }
      for (char s : set) {
        // Inside a set only the backslash and the brackets are special.
        if (s == '\\' || s == '[' || s == ']') out += '\\';
        out += s;
      }
      if (set.empty()) out += "\\]\\[";  // "[]" matches nothing, as on the server
      out += ']';
      i = close;
    } else {
      plain(c);
    }
  }
  return out + "$";
}

Renderer::Renderer(const OfficeColumns& office) : office_(office) {}

bool Renderer::Render(ast::Query& query, std::string& out, SyntaxError& error) const {
  Writer writer(office_, error);
  return writer.Query(query, out, nullptr);
}

}  // namespace tarnwick::postgres
