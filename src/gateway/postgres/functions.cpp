// The PostgreSQL renderer's T-SQL functions and its operands that meet
// (see functions.hpp).
#include "gateway/postgres/functions.hpp"

#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>

#include "gateway/postgres/connection.hpp"
#include "gateway/tsql/query_shapes.hpp"
#include "runtime/decimal_text.hpp"
#include "runtime/text.hpp"

namespace tarnwick::postgres::render_detail {

namespace ast = tsql::ast;
using postgres::QuoteLiteral;

namespace {

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

// name(args...) with the arguments as rendered.
Piece Call(const std::string& name, const std::vector<Piece>& args, ValueKind kind) {
  std::string text = name + "(";
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (i > 0) text += ", ";
    text += Wrap(args[i], kOr);
  }
  return {text + ")", kAtom, kind};
}

// A text argument of a function that reads text (an office column may be a number).
std::string AsText(const Piece& p) {
  if (p.kind == ValueKind::Text && !p.literal) return Wrap(p, kOr);
  if (p.kind == ValueKind::Boolean) return Atom(p) + "::int::text";
  return Atom(p) + "::text";
}

}  // namespace

std::string TimestampLiteral(const tsql::Stamp& s) { return "TIMESTAMP '" + tsql::FormatStamp(s) + "'"; }

// A number-like operand: a yes/no value counts as 1 or 0.
std::string Numeric(const Piece& p, int prec) {
  if (p.kind == ValueKind::Boolean) return Atom(p) + "::int";
  return Wrap(p, prec);
}

// A literal rendered for a place that holds `kind`, converted as the server
// converts it there: '' and numeric texts to numbers, date texts to
// timestamps, 0 and 1 to false and true. Anything else renders as itself.
bool FunctionWriter::RenderAs(const Expr& e, ValueKind kind, Piece& out) {
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
      out = {QuoteLiteral(e.text), kAtom, ValueKind::Text, false, true};
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
bool FunctionWriter::Pair(const Expr& l, const Expr& r, Piece& a, Piece& b) {
  if (IsLiteral(l) && !IsLiteral(r)) {
    return Render(r, b) && RenderAs(l, b.kind, a);
  }
  if (!Render(l, a)) return false;
  if (IsLiteral(r) && !IsLiteral(l)) return RenderAs(r, a.kind, b);
  return Render(r, b);
}

// Renders every argument that is no literal once; the literals then take
// the kind of the first of them (as in a CASE or coalesce).
bool FunctionWriter::Mixed(const std::vector<const Expr*>& args, std::vector<Piece>& out, ValueKind& kind,
                           bool& citext) {
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

bool FunctionWriter::Args(const Expr& e, std::vector<Piece>& out) {
  for (const auto& a : e.args) {
    Piece p;
    if (!Render(*a, p)) return false;
    out.push_back(std::move(p));
  }
  return true;
}

bool FunctionWriter::Coalesce(const Expr& e, Piece& out) {
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

bool FunctionWriter::Function(const Expr& e, Piece& out) {
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
    out = {"(CASE WHEN " + text(0) + " ~ " +
               QuoteLiteral("^\\s*[-+]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][-+]?[0-9]+)?\\s*$") + " THEN 1 ELSE 0 END)",
           kAtom, ValueKind::Number};
    return true;
  }
  if (up == "ISDATE") {
    // The office's own reader of the dates clerks type, as the file's ISDATE reads them.
    out = {"(CASE WHEN tw_datetime_text(" + text(0) + ") IS NULL THEN 0 ELSE 1 END)", kAtom, ValueKind::Number};
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

bool FunctionWriter::Cast(const Expr& e, Piece& out) {
  const ast::TypeName& t = e.type;
  Piece value;
  if (!Render(*e.args[0], value)) return false;
  const std::string& n = t.name;
  const auto noSize = [&] { return tsql::NoTypeSize(t, error_); };
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
    int precision = 0, scale = 0;
    if (!tsql::DecimalTypeSize(t, precision, scale, error_)) return false;
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

bool FunctionWriter::DatePart(const Expr& e, Piece& out) {
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

}  // namespace tarnwick::postgres::render_detail
