// The PostgreSQL renderer: writes a parsed T-SQL query as PostgreSQL text
// with the office server's meaning kept (see render.hpp).
#include "gateway/postgres/render.hpp"

#include <cstdint>
#include <optional>
#include <utility>

#include "gateway/postgres/connection.hpp"
#include "gateway/postgres/functions.hpp"
#include "gateway/tsql/query_shapes.hpp"
#include "runtime/text.hpp"

namespace tarnwick::postgres {

using tsql::SyntaxError;
namespace ast = tsql::ast;

namespace {

using namespace render_detail;
using postgres::QuoteLiteral;

// An identifier as the schema created it: unquoted names fold to lower case.
std::string Name(const std::string& name) { return QuoteIdentifier(runtime::ToLower(name)); }

// An output name spelled as the text wrote it.
std::string Alias(const std::string& alias) { return QuoteIdentifier(alias); }

// A table of a FROM list in scope: what its columns are.
struct ScopeEntry {
  std::string alias;  // lower case; the table's name when it has no alias
  const std::unordered_map<std::string, ColumnKind>* columns = nullptr;
  std::unordered_map<std::string, ColumnKind> derived;  // a derived table's columns
  const std::unordered_map<std::string, ColumnKind>& Columns() const { return columns ? *columns : derived; }
};

// The output columns of a query: name (lower case) and kind.
using Outputs = std::vector<std::pair<std::string, ColumnKind>>;

class Writer final : public FunctionWriter {
 public:
  Writer(const OfficeColumns& office, SyntaxError& error) : FunctionWriter(error), office_(office) {}

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

  bool Render(const Expr& e, Piece& out) override {
    switch (e.kind) {
      case ExprKind::Null: out = {"NULL", kAtom, ValueKind::Unknown, false, true}; return true;
      case ExprKind::Number: out = {e.text, kAtom, ValueKind::Number, false, true}; return true;
      case ExprKind::Text: out = {QuoteLiteral(e.text), kAtom, ValueKind::Text, false, true}; return true;
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
      if (a.kind == ValueKind::Number && a.literal) a = {QuoteLiteral(l.text), kAtom, ValueKind::Text, false, true};
      if (b.kind == ValueKind::Number && b.literal) b = {QuoteLiteral(r.text), kAtom, ValueKind::Text, false, true};
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
    // A case-blind column is matched as text with ILIKE: the same function
    // citext's own LIKE calls, which a trigram index on the column's text
    // can serve, where citext's LIKE reads every row.
    std::string subject = Wrap(x, kLike + 1);
    if ((x.kind != ValueKind::Text || x.citext) && !x.literal) subject = Atom(x) + "::text";
    char escape = 0;
    bool literalEscape = e.args.size() <= 2;
    if (e.args.size() > 2 && e.args[2]->kind == ExprKind::Text && e.args[2]->text.size() == 1) {
      escape = e.args[2]->text[0];
      literalEscape = true;
    }
    if (pattern.kind == ExprKind::Text && pattern.text.find('[') != std::string::npos && literalEscape) {
      // Character ranges ([a-c], [^x]) are the office server's own; a
      // case-blind regular expression keeps them.
      out = {Atom(x) + (e.negated ? " !~* " : " ~* ") + QuoteLiteral(LikePatternRegex(pattern.text, escape)), kLike,
             ValueKind::Boolean};
      return true;
    }
    Piece p;
    if (!Render(pattern, p)) return false;
    std::string text = subject + (e.negated ? " NOT ILIKE " : " ILIKE ") + Wrap(p, kLike + 1);
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

Renderer::Renderer(const OfficeColumns& office, tsql::Rewrites rewrites) : office_(office), rewrites_(rewrites) {}

bool Renderer::Render(ast::Query& query, std::string& out, SyntaxError& error) const {
  if (rewrites_ == tsql::Rewrites::Apply) {
    const OfficeColumns& office = office_;
    tsql::RewriteForPlanning(query, [&office](const std::string& table, const std::string& column) {
      const auto found = office.find(runtime::ToLower(table));
      if (found == office.end()) return tsql::ColumnIs::Absent;
      const auto is = found->second.find(runtime::ToLower(column));
      if (is == found->second.end()) return tsql::ColumnIs::Absent;
      return is->second.notNull ? tsql::ColumnIs::NeverNull : tsql::ColumnIs::Present;
    });
  }
  Writer writer(office_, error);
  return writer.Query(query, out, nullptr);
}

}  // namespace tarnwick::postgres
