// The SQLite renderer: writes a parsed T-SQL query as SQLite text with the
// server's meaning kept (see render.hpp).
#include "gateway/sqlite/render.hpp"

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

#include "gateway/tsql/query_shapes.hpp"
#include "gateway/tsql/stamp.hpp"
#include "runtime/text.hpp"

namespace tarnwick::sqlite {

namespace ast = tsql::ast;
using ast::Expr;
using ast::ExprKind;
using tsql::Atom;
using tsql::FormatStamp;
using tsql::Piece;
using tsql::ReadDateText;
using tsql::SelectListColumn;
using tsql::Stamp;
using tsql::SyntaxError;
using tsql::TextTypeSize;
using tsql::Wrap;

namespace {

// SQLite operator precedence, loosest first.
constexpr int kOr = tsql::kLoosest, kAnd = 2, kNot = 3, kCmp = 4, kBit = 6, kMul = 8, kUnary = 10,
              kAtom = tsql::kTightest;

using runtime::QuoteSql;

bool IsLiteralNumberOrNull(const Expr& e) {
  return e.kind == ExprKind::Number || e.kind == ExprKind::Null || e.kind == ExprKind::Hex;
}

// Whether a comparison of `a` and `b` must be told to ignore letter case.
// Columns carry the schema's NOCASE collation, which SQLite applies when
// either side is a column; literal texts and computed values carry none.
bool NeedsNocase(const Expr& a, const Expr& b) {
  if (IsLiteralNumberOrNull(a) || IsLiteralNumberOrNull(b)) return false;
  if (a.kind == ExprKind::Text || b.kind == ExprKind::Text) return true;
  return a.kind != ExprKind::Column && b.kind != ExprKind::Column;
}

using runtime::EqualsNoCase;

// "YYYY-MM-DD" of a day number.
std::string DayText(std::int64_t day) { return FormatStamp(Stamp{day, 0}).substr(0, 10); }

class Writer final : public tsql::QueryWriter {
 public:
  explicit Writer(SyntaxError& error) : QueryWriter(error) {}

 private:
  bool Expression(const Expr& e, Piece& out) override { return Render(e, out); }

  bool OrderTerm(const ast::Query&, const ast::SelectCore* core, const ast::OrderItem& item,
                 std::string& out) override {
    Piece p;
    const Expr* selectColumn = core ? SelectListColumn(*core, *item.expr) : nullptr;
    if (!Render(selectColumn ? *selectColumn : *item.expr, p)) return false;
    // Ordering ignores letter case, as on the office's server.
    out = Atom(p) + " COLLATE NOCASE";
    if (item.descending) out += " DESC";
    return true;
  }

  // SQLite takes LIMIT only at the end of the whole, so the member becomes a
  // derived table.
  std::string LimitedMember(const std::string& limited) override { return "SELECT * FROM (" + limited + ")"; }

  // Dates are kept as ISO texts, so a value of day D sorts at or after 'D'
  // and before the next day's text whatever its time of day.
  std::string DayLiteral(std::int64_t day) override { return "'" + DayText(day) + "'"; }

  bool Select(const ast::SelectCore& core, bool, std::string& out) override {
    out += "SELECT ";
    if (core.distinct) out += "DISTINCT ";
    for (std::size_t i = 0; i < core.items.size(); ++i) {
      if (i > 0) out += ", ";
      const ast::SelectItem& item = core.items[i];
      Piece p;
      if (!Render(*item.expr, p)) return false;
      out += Wrap(p, kOr);
      if (!item.alias.empty()) out += " AS " + QuotedAlias(item.alias);
    }
    if (!core.from.empty()) {
      out += " FROM ";
      if (!FromList(core, out)) return false;
    }
    return Filters(core, out);
  }

  static std::string QuotedAlias(const std::string& alias) {
    std::string out = "\"";
    for (char c : alias) {
      out += c;
      if (c == '"') out += '"';
    }
    return out + "\"";
  }

  bool Source(const ast::TableRef& t, std::string& out) override {
    if (t.query) {
      std::string inner;
      if (!Query(*t.query, inner)) return false;
      out += "(" + inner + ")";
    } else {
      // Owner and database prefixes (dbo.ref_org) name nothing in the
      // embedded database: the table is its last name part.
      out += SqliteName(t.name.back());
    }
    if (!t.alias.empty()) out += " AS " + SqliteName(t.alias);
    return true;
  }

  // ----- expressions -----

  bool Render(const Expr& e, Piece& out) {
    switch (e.kind) {
      case ExprKind::Null: out = {"NULL", kAtom}; return true;
      case ExprKind::Number: out = {e.text, kAtom}; return true;
      case ExprKind::Text: out = {QuoteSql(e.text), kAtom}; return true;
      case ExprKind::Hex: {
        std::string digits = e.text;
        if (digits.size() % 2 == 1) digits.insert(digits.begin(), '0');
        out = {"X'" + digits + "'", kAtom};
        return true;
      }
      case ExprKind::Column: {
        // A column is [table.]column; owner and database prefixes drop.
        const std::size_t n = e.parts.size();
        std::string text = n >= 2 ? SqliteName(e.parts[n - 2]) + "." : std::string();
        out = {text + SqliteName(e.parts[n - 1]), kAtom};
        return true;
      }
      case ExprKind::Star:
        out = {e.parts.empty() ? std::string("*") : SqliteName(e.parts.back()) + ".*", kAtom};
        return true;
      case ExprKind::Now:
        out = {e.op == "utc" ? "datetime('now')" : "datetime('now', 'localtime')", kAtom};
        return true;
      case ExprKind::Unary: return Unary(e, out);
      case ExprKind::Binary: return Binary(e, out);
      case ExprKind::Between: return Between(e, out);
      case ExprKind::InList: return InList(e, out);
      case ExprKind::InQuery: {
        Piece left;
        std::string q;
        if (!Render(*e.args[0], left) || !Query(*e.query, q)) return false;
        std::string l = Wrap(left, kCmp + 1);
        if (e.args[0]->kind != ExprKind::Column && !IsLiteralNumberOrNull(*e.args[0])) {
          l = Atom(left) + " COLLATE NOCASE";
        }
        out = {l + (e.negated ? " NOT IN (" : " IN (") + q + ")", kCmp};
        return true;
      }
      case ExprKind::Like: return Like(e, out);
      case ExprKind::IsNull: {
        Piece p;
        if (!Render(*e.args[0], p)) return false;
        out = {Wrap(p, kCmp + 1) + (e.negated ? " IS NOT NULL" : " IS NULL"), kCmp};
        return true;
      }
      case ExprKind::Exists: {
        std::string q;
        if (!Query(*e.query, q)) return false;
        out = {"EXISTS (" + q + ")", kAtom};
        return true;
      }
      case ExprKind::Subquery: {
        std::string q;
        if (!Query(*e.query, q)) return false;
        out = {"(" + q + ")", kAtom};
        return true;
      }
      case ExprKind::Case: return Case(e, out);
      case ExprKind::Function: return Function(e, out);
      case ExprKind::Cast: return Cast(e, out);
      case ExprKind::DatePart: return DatePart(e, out);
    }
    return Fail("Unknown expression", e.pos);
  }

  // An operand of a comparison: a date text compared with anything but
  // another text becomes the ISO text the database stores dates in.
  bool Operand(const Expr& e, const Expr& other, Piece& out) {
    if (e.kind == ExprKind::Text && other.kind != ExprKind::Text) {
      const std::string iso = DateLiteralIso(e.text);
      if (!iso.empty()) {
        out = {QuoteSql(iso), kAtom};
        return true;
      }
    }
    return Render(e, out);
  }

  // The right-hand side of a comparison with `left`, case-blind when needed.
  bool CompareRight(const Expr& right, const Expr& left, std::string& out) {
    Piece p;
    if (!Operand(right, left, p)) return false;
    out = NeedsNocase(left, right) ? Atom(p) + " COLLATE NOCASE" : Wrap(p, kCmp + 1);
    return true;
  }

  bool Call(const std::string& name, const std::vector<const Expr*>& args, Piece& out) {
    std::string text = name + "(";
    for (std::size_t i = 0; i < args.size(); ++i) {
      if (i > 0) text += ", ";
      Piece p;
      if (!Render(*args[i], p)) return false;
      text += Wrap(p, kOr);
    }
    out = {text + ")", kAtom};
    return true;
  }

  bool Unary(const Expr& e, Piece& out) {
    Piece p;
    if (!Render(*e.args[0], p)) return false;
    if (e.op == "NOT") {
      out = {"NOT " + Wrap(p, kNot), kNot};
      return true;
    }
    out = {tsql::Signed(e.op, Wrap(p, kUnary)), kUnary};
    return true;
  }

  bool Binary(const Expr& e, Piece& out) {
    const Expr& l = *e.args[0];
    const Expr& r = *e.args[1];
    const std::string& op = e.op;
    if (op == "+" || op == "-" || op == "^") {
      // + joins texts and adds numbers, chosen by the values at run time;
      // - also subtracts days from dates kept as text.
      const char* fn = op == "+" ? "tw_add" : op == "-" ? "tw_sub" : "tw_bitxor";
      return Call(fn, {&l, &r}, out);
    }
    if (op == "AND" || op == "OR") {
      const int prec = op == "AND" ? kAnd : kOr;
      Piece a, b;
      if (!Render(l, a) || !Render(r, b)) return false;
      out = {Wrap(a, prec) + " " + op + " " + Wrap(b, prec + 1), prec};
      return true;
    }
    if (op == "*" || op == "/" || op == "%" || op == "&" || op == "|") {
      const int prec = (op == "&" || op == "|") ? kBit : kMul;
      Piece a, b;
      if (!Render(l, a) || !Render(r, b)) return false;
      out = {Wrap(a, prec) + " " + op + " " + Wrap(b, prec + 1), prec};
      return true;
    }
    // Comparisons.
    bool both = false;
    if (std::string range; DaysOfColumn(l, r, op, range, both)) {
      out = {range, both ? kAtom : kCmp};
      return true;
    }
    Piece a;
    std::string right;
    if (!Operand(l, r, a) || !CompareRight(r, l, right)) return false;
    out = {Wrap(a, kCmp + 1) + " " + op + " " + right, kCmp};
    return true;
  }

  bool Between(const Expr& e, Piece& out) {
    const Expr& x = *e.args[0];
    Piece p;
    std::string low, high;
    if (!Render(x, p) || !CompareRight(*e.args[1], x, low) || !CompareRight(*e.args[2], x, high)) return false;
    out = {Wrap(p, kCmp + 1) + (e.negated ? " NOT BETWEEN " : " BETWEEN ") + low + " AND " + high, kCmp};
    return true;
  }

  bool InList(const Expr& e, Piece& out) {
    const Expr& x = *e.args[0];
    bool nocase = x.kind != ExprKind::Column && !IsLiteralNumberOrNull(x);
    std::string items;
    for (std::size_t i = 1; i < e.args.size(); ++i) {
      if (e.args[i]->kind == ExprKind::Text) nocase = true;
      Piece p;
      if (!Operand(*e.args[i], x, p)) return false;
      if (i > 1) items += ", ";
      items += Wrap(p, kOr);
    }
    if (IsLiteralNumberOrNull(x)) nocase = false;
    Piece left;
    if (!Render(x, left)) return false;
    const std::string l = nocase ? Atom(left) + " COLLATE NOCASE" : Wrap(left, kCmp + 1);
    out = {l + (e.negated ? " NOT IN (" : " IN (") + items + ")", kCmp};
    return true;
  }

  bool Like(const Expr& e, Piece& out) {
    const Expr& pattern = *e.args[1];
    if (pattern.kind == ExprKind::Text && pattern.text.find('[') != std::string::npos) {
      // Character ranges ([a-c], [^x]) are the server's own; tw_like reads them.
      std::vector<const Expr*> args = {e.args[0].get(), e.args[1].get()};
      if (e.args.size() > 2) args.push_back(e.args[2].get());
      Piece call;
      if (!Call("tw_like", args, call)) return false;
      out = e.negated ? Piece{"NOT " + call.text, kNot} : call;
      return true;
    }
    Piece x, p;
    if (!Render(*e.args[0], x) || !Render(pattern, p)) return false;
    std::string text = Wrap(x, kCmp + 1) + (e.negated ? " NOT LIKE " : " LIKE ") + Wrap(p, kCmp + 1);
    if (e.args.size() > 2) {
      Piece esc;
      if (!Render(*e.args[2], esc)) return false;
      text += " ESCAPE " + Wrap(esc, kCmp + 1);
    }
    if (!e.negated && pattern.kind == ExprKind::Text) {
      // A search for a name keeps few rows. SQLite cannot read this LIKE
      // from an index (its own is replaced), so it would take it to keep
      // nearly every row and read the joined tables from the wrong end;
      // likelihood() says what to expect and leaves the value as it is.
      out = {"likelihood(" + text + ", 0.05)", kAtom};
      return true;
    }
    out = {text, kCmp};
    return true;
  }

  bool Case(const Expr& e, Piece& out) {
    std::string text = "CASE";
    std::size_t i = 0;
    const Expr* operand = nullptr;
    if (e.hasOperand) {
      operand = e.args[0].get();
      Piece p;
      if (!Render(*operand, p)) return false;
      text += ' ';
      text += Wrap(p, kOr);
      i = 1;
    }
    const std::size_t pairsEnd = e.args.size() - (e.hasElse ? 1 : 0);
    for (; i + 1 < pairsEnd; i += 2) {
      std::string when;
      if (operand) {
        if (!CompareRight(*e.args[i], *operand, when)) return false;
      } else {
        Piece w;
        if (!Render(*e.args[i], w)) return false;
        when = w.text;
      }
      Piece then;
      if (!Render(*e.args[i + 1], then)) return false;
      text += " WHEN " + when + " THEN " + Wrap(then, kOr);
    }
    if (e.hasElse) {
      Piece otherwise;
      if (!Render(*e.args.back(), otherwise)) return false;
      text += " ELSE " + Wrap(otherwise, kOr);
    }
    out = {text + " END", kAtom};
    return true;
  }

  bool Function(const Expr& e, Piece& out) {
    const std::string up = runtime::ToUpper(e.text);
    std::vector<const Expr*> args;
    for (const auto& a : e.args) args.push_back(a.get());
    if (up == "ISNULL") return Call("coalesce", args, out);
    if (up == "LEN") {
      // LEN leaves trailing blanks uncounted.
      Piece p;
      if (!Call("rtrim", args, p)) return false;
      out = {"length(" + p.text + ")", kAtom};
      return true;
    }
    if (up == "DATALENGTH") {
      Piece p;
      if (!Render(*args[0], p)) return false;
      out = {"length(CAST(" + Wrap(p, kOr) + " AS BLOB))", kAtom};
      return true;
    }
    static const std::pair<std::string_view, std::string_view> kRenamed[] = {
        {"SUBSTRING", "tw_substring"}, {"LEFT", "tw_left"},         {"RIGHT", "tw_right"},
        {"CHARINDEX", "tw_charindex"}, {"REPLACE", "tw_replace"},   {"ISNUMERIC", "tw_isnumeric"},
        {"ISDATE", "tw_isdate"},
    };
    for (const auto& [from, to] : kRenamed) {
      if (up == from) return Call(std::string(to), args, out);
    }
    if (up == "REPLICATE") return Call("tw_replicate", args, out);
    if (up == "SPACE") {
      Expr blank;
      blank.kind = ExprKind::Text;
      blank.text = " ";
      args.insert(args.begin(), &blank);
      return Call("tw_replicate", args, out);
    }
    std::string name = SqliteName(e.text);
    if (e.star) {
      out = {name + "(*)", kAtom};
      return true;
    }
    if (e.distinct) {
      Piece p;
      if (!Call(name, args, p)) return false;
      out = {name + "(DISTINCT " + p.text.substr(name.size() + 1), kAtom};
      return true;
    }
    // Functions the server and SQLite share (count, max, coalesce, upper ...)
    // pass as written; the parser has refused every other name.
    return Call(name, args, out);
  }

  bool Cast(const Expr& e, Piece& out) {
    const ast::TypeName& t = e.type;
    Piece value;
    if (!Render(*e.args[0], value)) return false;
    std::string v = Wrap(value, kOr);
    if (e.args.size() > 1) {
      Piece style;
      if (!Render(*e.args[1], style)) return false;
      v = "tw_format_date(" + v + ", " + Wrap(style, kOr) + ")";
    }
    const std::string& n = t.name;
    const auto noSize = [&] { return tsql::NoTypeSize(t, error_); };
    if (n == "DATE" || n == "DATETIME" || n == "SMALLDATETIME" || n == "DATETIME2") {
      if (n != "DATETIME2" && !noSize()) return false;
      out = {(n == "DATE" ? "tw_cast_date(" : "tw_cast_datetime(") + v + ")", kAtom};
      return true;
    }
    if (n == "INT" || n == "INTEGER" || n == "BIGINT" || n == "SMALLINT" || n == "TINYINT") {
      if (!noSize()) return false;
      const char* bits = n == "BIGINT" ? "64" : n == "SMALLINT" ? "16" : n == "TINYINT" ? "8" : "32";
      out = {"tw_cast_int(" + v + ", " + bits + ")", kAtom};
      return true;
    }
    if (n == "BIT") {
      if (!noSize()) return false;
      out = {"tw_cast_bit(" + v + ")", kAtom};
      return true;
    }
    if (n == "MONEY" || n == "SMALLMONEY") {
      if (!noSize()) return false;
      out = {"tw_cast_num(" + v + ", 4, 19)", kAtom};
      return true;
    }
    if (n == "DECIMAL" || n == "NUMERIC" || n == "DEC") {
      int precision = 0, scale = 0;
      if (!tsql::DecimalTypeSize(t, precision, scale, error_)) return false;
      out = {"tw_cast_num(" + v + ", " + std::to_string(scale) + ", " + std::to_string(precision) + ")", kAtom};
      return true;
    }
    if (n == "FLOAT" || n == "REAL") {
      out = {"tw_cast_num(" + v + ", -1, 53)", kAtom};
      return true;
    }
    if (n == "VARCHAR" || n == "NVARCHAR" || n == "CHAR" || n == "NCHAR") {
      const bool fixed = n == "CHAR" || n == "NCHAR";
      int size = 0;
      if (!TextTypeSize(t, size, error_)) return false;
      out = {"tw_cast_text(" + v + ", " + std::to_string(size) + ", " + (fixed ? "1" : "0") + ")", kAtom};
      return true;
    }
    if (n == "TEXT" || n == "NTEXT") {
      if (!noSize()) return false;
      out = {"tw_cast_text(" + v + ", -1, 0)", kAtom};
      return true;
    }
    if (n == "VARBINARY" || n == "BINARY" || n == "IMAGE") {
      std::string blob = "CAST(" + v + " AS BLOB)";
      if (!t.max && t.length != -1) blob = "substr(" + blob + ", 1, " + std::to_string(t.length) + ")";
      out = {blob, kAtom};
      return true;
    }
    return Fail("Type '" + n + "' is not a defined system type", t.pos);
  }

  bool DatePart(const Expr& e, Piece& out) {
    std::vector<const Expr*> args;
    for (const auto& a : e.args) args.push_back(a.get());
    Piece call;
    const std::string fn = e.text == "DATEADD" ? "tw_dateadd" : e.text == "DATEDIFF" ? "tw_datediff" : "tw_datepart";
    if (!Call(fn, args, call)) return false;
    // The date part goes first, as a text.
    out = {fn + "('" + e.op + "', " + call.text.substr(fn.size() + 1), kAtom};
    return true;
  }
};

}  // namespace

std::string SqliteName(const std::string& name) {
  bool plain = !name.empty() && !(name[0] >= '0' && name[0] <= '9');
  for (char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    if (!ok) {
      plain = false;
      break;
    }
  }
  if (plain && sqlite3_keyword_check(name.data(), static_cast<int>(name.size())) == 0) return name;
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') out += '"';
  }
  return out + "\"";
}

std::string DateLiteralIso(const std::string& text) {
  const std::optional<Stamp> s = ReadDateText(text);
  return s ? FormatStamp(*s) : std::string();
}

Renderer::Renderer(tsql::Rewrites rewrites, tsql::ColumnLookup columns)
    : rewrites_(rewrites), columns_(std::move(columns)) {}

bool Renderer::Render(ast::Query& query, std::string& out, SyntaxError& error) const {
  if (rewrites_ == tsql::Rewrites::Apply) tsql::RewriteForPlanning(query, columns_);
  Writer writer(error);
  return writer.Query(query, out);
}

}  // namespace tarnwick::sqlite
