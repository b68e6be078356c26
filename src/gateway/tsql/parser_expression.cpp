// The expression half of the T-SQL parser: OR, AND, NOT, predicates
// (comparisons, LIKE, IN, BETWEEN, IS NULL, EXISTS), arithmetic, CASE, CAST,
// CONVERT and function calls, with the checks of the known functions.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <utility>

#include "gateway/tsql/parser_detail.hpp"
#include "runtime/text.hpp"

namespace tarnwick::tsql::parser_detail {

// ----- expressions -----

ExprPtr Parser::ParseExpr() {
  Nest nest(*this);
  if (nest.TooDeep()) return nullptr;
  return Or();
}

ExprPtr Parser::Binary(std::string op, ExprPtr lhs, ExprPtr rhs) {
  auto e = Node(ExprKind::Binary, lhs->pos);
  e->op = std::move(op);
  e->args.push_back(std::move(lhs));
  e->args.push_back(std::move(rhs));
  return Seal(std::move(e));
}

ExprPtr Parser::Or() {
  auto lhs = And();
  while (lhs && AcceptWord("OR")) {
    auto rhs = And();
    if (!rhs) return nullptr;
    lhs = Binary("OR", std::move(lhs), std::move(rhs));
  }
  return lhs;
}

ExprPtr Parser::And() {
  auto lhs = Not();
  while (lhs && AcceptWord("AND")) {
    auto rhs = Not();
    if (!rhs) return nullptr;
    lhs = Binary("AND", std::move(lhs), std::move(rhs));
  }
  return lhs;
}

ExprPtr Parser::Not() {
  if (IsWord("NOT")) {
    Nest nest(*this);
    if (nest.TooDeep()) return nullptr;
    auto e = Node(ExprKind::Unary, Peek().pos);
    ++i_;
    e->op = "NOT";
    auto operand = Not();
    if (!operand) return nullptr;
    e->args.push_back(std::move(operand));
    return Seal(std::move(e));
  }
  return Predicate();
}

bool Parser::IsComparison(const Token& t) {
  if (t.kind != TokenKind::Symbol) return false;
  static const std::string_view kOps[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
  return std::find(std::begin(kOps), std::end(kOps), t.value) != std::end(kOps);
}

ExprPtr Parser::Predicate() {
  if (IsWord("EXISTS")) {
    auto e = Node(ExprKind::Exists, Peek().pos);
    ++i_;
    if (!ExpectSymbol("(")) return nullptr;
    if (!IsWord("SELECT")) {
      Fail();
      return nullptr;
    }
    e->query = ParseQuery();
    if (!e->query || !ExpectSymbol(")")) return nullptr;
    return Seal(std::move(e));
  }
  auto lhs = Additive();
  if (!lhs) return nullptr;
  if (IsComparison(Peek())) {
    std::string op = Peek().value;
    const std::size_t opPos = Peek().pos;
    ++i_;
    if (op == "!=") op = "<>";
    if (op == "!<") op = ">=";
    if (op == "!>") op = "<=";
    if (IsWord("ALL") || IsWord("ANY") || IsWord("SOME")) {
      const std::string quant = runtime::ToUpper(Peek().value);
      // x = ANY (query) is x IN (query); x <> ALL (query) is x NOT IN (query).
      const bool in = (op == "=" && quant != "ALL");
      const bool notIn = (op == "<>" && quant == "ALL");
      if (!in && !notIn) {
        FailAt("Comparisons with " + quant + " other than = ANY and <> ALL are not supported", opPos);
        return nullptr;
      }
      ++i_;
      if (!ExpectSymbol("(")) return nullptr;
      if (!IsWord("SELECT")) {
        Fail();
        return nullptr;
      }
      auto e = Node(ExprKind::InQuery, lhs->pos);
      e->negated = notIn;
      e->query = ParseQuery();
      if (!e->query || !ExpectSymbol(")")) return nullptr;
      e->args.push_back(std::move(lhs));
      return Seal(std::move(e));
    }
    auto rhs = Additive();
    if (!rhs) return nullptr;
    return Binary(op, std::move(lhs), std::move(rhs));
  }
  if (IsWord("IS")) {
    ++i_;
    auto e = Node(ExprKind::IsNull, lhs->pos);
    e->negated = AcceptWord("NOT");
    if (!ExpectWord("NULL")) return nullptr;
    e->args.push_back(std::move(lhs));
    return Seal(std::move(e));
  }
  bool negated = false;
  if (IsWord("NOT") && (IsWord("IN", 1) || IsWord("LIKE", 1) || IsWord("BETWEEN", 1))) {
    negated = true;
    ++i_;
  }
  if (AcceptWord("BETWEEN")) {
    auto e = Node(ExprKind::Between, lhs->pos);
    e->negated = negated;
    auto low = Additive();
    if (!low || !ExpectWord("AND")) return nullptr;
    auto high = Additive();
    if (!high) return nullptr;
    e->args.push_back(std::move(lhs));
    e->args.push_back(std::move(low));
    e->args.push_back(std::move(high));
    return Seal(std::move(e));
  }
  if (AcceptWord("LIKE")) {
    auto e = Node(ExprKind::Like, lhs->pos);
    e->negated = negated;
    auto pattern = Additive();
    if (!pattern) return nullptr;
    e->args.push_back(std::move(lhs));
    e->args.push_back(std::move(pattern));
    if (AcceptWord("ESCAPE")) {
      auto esc = Additive();
      if (!esc) return nullptr;
      e->args.push_back(std::move(esc));
    }
    return Seal(std::move(e));
  }
  if (AcceptWord("IN")) {
    if (!ExpectSymbol("(")) return nullptr;
    if (IsWord("SELECT")) {
      auto e = Node(ExprKind::InQuery, lhs->pos);
      e->negated = negated;
      e->query = ParseQuery();
      if (!e->query || !ExpectSymbol(")")) return nullptr;
      e->args.push_back(std::move(lhs));
      return Seal(std::move(e));
    }
    auto e = Node(ExprKind::InList, lhs->pos);
    e->negated = negated;
    e->args.push_back(std::move(lhs));
    do {
      auto item = ParseExpr();
      if (!item) return nullptr;
      e->args.push_back(std::move(item));
    } while (AcceptSymbol(","));
    if (!ExpectSymbol(")")) return nullptr;
    return Seal(std::move(e));
  }
  if (negated) {
    Fail();
    return nullptr;
  }
  return lhs;
}

ExprPtr Parser::Additive() {
  auto lhs = Multiplicative();
  while (lhs && (IsSymbol("+") || IsSymbol("-") || IsSymbol("&") || IsSymbol("|") || IsSymbol("^"))) {
    std::string op = Peek().value;
    ++i_;
    auto rhs = Multiplicative();
    if (!rhs) return nullptr;
    lhs = Binary(std::move(op), std::move(lhs), std::move(rhs));
  }
  return lhs;
}

ExprPtr Parser::Multiplicative() {
  auto lhs = Unary();
  while (lhs && (IsSymbol("*") || IsSymbol("/") || IsSymbol("%"))) {
    std::string op = Peek().value;
    ++i_;
    auto rhs = Unary();
    if (!rhs) return nullptr;
    lhs = Binary(std::move(op), std::move(lhs), std::move(rhs));
  }
  return lhs;
}

ExprPtr Parser::Unary() {
  if (IsSymbol("-") || IsSymbol("+") || IsSymbol("~")) {
    Nest nest(*this);
    if (nest.TooDeep()) return nullptr;
    auto e = Node(ExprKind::Unary, Peek().pos);
    e->op = Peek().value;
    ++i_;
    auto operand = Unary();
    if (!operand) return nullptr;
    e->args.push_back(std::move(operand));
    return Seal(std::move(e));
  }
  return Primary();
}

ExprPtr Parser::Primary() {
  const Token& t = Peek();
  switch (t.kind) {
    case TokenKind::Number: {
      auto e = Node(ExprKind::Number, t.pos);
      e->text = t.value;
      ++i_;
      return e;
    }
    case TokenKind::Text: {
      auto e = Node(ExprKind::Text, t.pos);
      e->text = t.value;
      ++i_;
      return e;
    }
    case TokenKind::Hex: {
      auto e = Node(ExprKind::Hex, t.pos);
      e->text = t.value;
      ++i_;
      return e;
    }
    case TokenKind::Variable:
      FailAt("Must declare the scalar variable \"" + t.value + "\"", t.pos);
      return nullptr;
    case TokenKind::Symbol:
      if (t.value == "(") {
        const std::size_t open = t.pos;
        ++i_;
        if (IsWord("SELECT")) {
          auto e = Node(ExprKind::Subquery, open);
          e->query = ParseQuery();
          if (!e->query || !ExpectSymbol(")")) return nullptr;
          return Seal(std::move(e));
        }
        auto inner = ParseExpr();
        if (!inner || !ExpectSymbol(")")) return nullptr;
        return inner;
      }
      Fail();
      return nullptr;
    case TokenKind::QuotedName:
      return NameOrCall();
    case TokenKind::Word:
      break;
    case TokenKind::End:
      Fail();
      return nullptr;
  }
  const std::string up = runtime::ToUpper(t.value);
  if (up == "NULL") {
    ++i_;
    return Node(ExprKind::Null, t.pos);
  }
  if (up == "CASE") return Case();
  if (up == "CAST" && IsSymbol("(", 1)) return Cast();
  if (up == "CONVERT" && IsSymbol("(", 1)) return Convert();
  if ((up == "LEFT" || up == "RIGHT") && IsSymbol("(", 1)) return NameOrCall();
  if (up == "CURRENT_TIMESTAMP") {
    ++i_;
    return Node(ExprKind::Now, t.pos);
  }
  if (IsReserved(up)) {
    Fail();
    return nullptr;
  }
  return NameOrCall();
}

ExprPtr Parser::Case() {
  Nest nest(*this);
  if (nest.TooDeep()) return nullptr;
  auto e = Node(ExprKind::Case, Peek().pos);
  ++i_;  // CASE
  if (!IsWord("WHEN")) {
    auto operand = ParseExpr();
    if (!operand) return nullptr;
    e->hasOperand = true;
    e->args.push_back(std::move(operand));
  }
  if (!IsWord("WHEN")) {
    Fail();
    return nullptr;
  }
  while (AcceptWord("WHEN")) {
    auto when = ParseExpr();
    if (!when || !ExpectWord("THEN")) return nullptr;
    auto then = ParseExpr();
    if (!then) return nullptr;
    e->args.push_back(std::move(when));
    e->args.push_back(std::move(then));
  }
  if (AcceptWord("ELSE")) {
    auto otherwise = ParseExpr();
    if (!otherwise) return nullptr;
    e->hasElse = true;
    e->args.push_back(std::move(otherwise));
  }
  if (!ExpectWord("END")) return nullptr;
  return Seal(std::move(e));
}

bool Parser::Type(ast::TypeName& type) {
  const Token& t = Peek();
  if (t.kind != TokenKind::Word && t.kind != TokenKind::QuotedName) return Fail();
  type.name = runtime::ToUpper(t.value);
  type.pos = t.pos;
  ++i_;
  if (type.name == "DOUBLE" && IsWord("PRECISION")) {
    ++i_;
    type.name = "FLOAT";
  }
  if (AcceptSymbol("(")) {
    if (AcceptWord("MAX")) {
      type.max = true;
    } else {
      if (!Figure(type.length)) return false;
      if (AcceptSymbol(",") && !Figure(type.scale)) return false;
    }
    if (!ExpectSymbol(")")) return false;
  }
  return true;
}

bool Parser::Figure(int& value) {
  const Token& t = Peek();
  if (t.kind != TokenKind::Number || t.value.find_first_not_of("0123456789") != std::string::npos ||
      t.value.size() > 9) {
    return Fail();
  }
  value = std::atoi(t.value.c_str());
  ++i_;
  return true;
}

ExprPtr Parser::Cast() {
  Nest nest(*this);
  if (nest.TooDeep()) return nullptr;
  auto e = Node(ExprKind::Cast, Peek().pos);
  i_ += 2;  // CAST (
  auto value = ParseExpr();
  if (!value || !ExpectWord("AS") || !Type(e->type) || !ExpectSymbol(")")) return nullptr;
  e->args.push_back(std::move(value));
  return Seal(std::move(e));
}

ExprPtr Parser::Convert() {
  Nest nest(*this);
  if (nest.TooDeep()) return nullptr;
  auto e = Node(ExprKind::Cast, Peek().pos);
  i_ += 2;  // CONVERT (
  if (!Type(e->type) || !ExpectSymbol(",")) return nullptr;
  auto value = ParseExpr();
  if (!value) return nullptr;
  e->args.push_back(std::move(value));
  if (AcceptSymbol(",")) {
    auto style = ParseExpr();
    if (!style) return nullptr;
    e->args.push_back(std::move(style));
  }
  if (!ExpectSymbol(")")) return nullptr;
  return Seal(std::move(e));
}

ExprPtr Parser::NameOrCall() {
  const std::size_t start = Peek().pos;
  std::vector<std::string> parts;
  parts.push_back(Peek().value);
  ++i_;
  while (IsSymbol(".")) {
    const Token& next = Peek(1);
    if (next.kind == TokenKind::Word || next.kind == TokenKind::QuotedName) {
      parts.push_back(next.value);
      i_ += 2;
    } else if (next.kind == TokenKind::Symbol && next.value == "*") {
      i_ += 2;
      auto e = Node(ExprKind::Star, start);
      e->parts = std::move(parts);
      return e;
    } else {
      ++i_;
      Fail();
      return nullptr;
    }
  }
  if (!IsSymbol("(")) {
    auto e = Node(ExprKind::Column, start);
    e->parts = std::move(parts);
    return e;
  }
  return Call(start, parts.back());
}

ExprPtr Parser::Call(std::size_t start, const std::string& name) {
  Nest nest(*this);
  if (nest.TooDeep()) return nullptr;
  ++i_;  // (
  const std::string up = runtime::ToUpper(name);
  if (up == "DATEADD" || up == "DATEDIFF" || up == "DATEPART") {
    auto e = Node(ExprKind::DatePart, start);
    e->text = up;
    const Token& part = Peek();
    if (part.kind != TokenKind::Word) {
      Fail();
      return nullptr;
    }
    e->op = CanonicalDatePart(part.value);
    if (e->op.empty()) {
      FailAt("'" + part.value + "' is not a recognized " + runtime::ToLower(up) + " option", part.pos);
      return nullptr;
    }
    ++i_;
    const std::size_t wanted = up == "DATEPART" ? 1 : 2;
    for (std::size_t k = 0; k < wanted; ++k) {
      if (!ExpectSymbol(",")) return nullptr;
      auto a = ParseExpr();
      if (!a) return nullptr;
      e->args.push_back(std::move(a));
    }
    if (!ExpectSymbol(")")) return nullptr;
    return Seal(std::move(e));
  }
  auto e = Node(ExprKind::Function, start);
  e->text = name;
  if (IsSymbol("*")) {
    e->star = true;
    ++i_;
  } else if (!IsSymbol(")")) {
    if (AcceptWord("DISTINCT")) {
      e->distinct = true;
    } else {
      AcceptWord("ALL");
    }
    do {
      auto a = ParseExpr();
      if (!a) return nullptr;
      e->args.push_back(std::move(a));
    } while (AcceptSymbol(","));
  }
  if (!ExpectSymbol(")")) return nullptr;
  if (IsWord("OVER")) {
    FailAt("Window functions (OVER) are not supported", Peek().pos);
    return nullptr;
  }
  return CheckKnownCall(Seal(std::move(e)));
}


// The built-in functions a text may call, with their argument counts: those
// both engines answer alike. Any other name is refused here, so that a text
// runs on both or on neither (and none reaches an engine's own functions).
// Also turns the date functions into their own nodes.
ExprPtr Parser::CheckKnownCall(ExprPtr e) {
  if (!e) return nullptr;
  const std::string up = runtime::ToUpper(e->text);
  struct Arity {
    std::string_view name;
    std::size_t min, max;
  };
  constexpr std::size_t kMany = 100;
  static const Arity kArity[] = {
      {"ISNULL", 2, 2},     {"COALESCE", 2, kMany}, {"NULLIF", 2, 2},      {"COUNT", 1, 1},
      {"SUM", 1, 1},        {"AVG", 1, 1},          {"MIN", 1, 1},         {"MAX", 1, 1},
      {"GETDATE", 0, 0},    {"GETUTCDATE", 0, 0},   {"SYSDATETIME", 0, 0}, {"YEAR", 1, 1},
      {"MONTH", 1, 1},      {"DAY", 1, 1},          {"LEN", 1, 1},         {"DATALENGTH", 1, 1},
      {"SUBSTRING", 3, 3},  {"LEFT", 2, 2},         {"RIGHT", 2, 2},       {"CHARINDEX", 2, 3},
      {"REPLACE", 3, 3},    {"UPPER", 1, 1},        {"LOWER", 1, 1},       {"LTRIM", 1, 1},
      {"RTRIM", 1, 1},      {"REVERSE", 1, 1},      {"SPACE", 1, 1},       {"REPLICATE", 2, 2},
      {"ISNUMERIC", 1, 1},  {"ISDATE", 1, 1},       {"ABS", 1, 1},         {"FLOOR", 1, 1},
      {"CEILING", 1, 1},    {"SIGN", 1, 1},         {"SQRT", 1, 1},        {"POWER", 2, 2},
      {"ROUND", 2, 2},
  };
  const Arity* known = nullptr;
  for (const Arity& a : kArity) {
    if (up == a.name) known = &a;
  }
  if (known == nullptr) {
    FailAt("'" + e->text + "' is not a recognized built-in function name", e->pos);
    return nullptr;
  }
  if (e->star) {
    if (up == "COUNT" && e->args.empty()) return e;
    FailAt("'" + e->text + "(*)' is not a valid function call", e->pos);
    return nullptr;
  }
  if (e->args.size() < known->min || e->args.size() > known->max) {
    std::string count = std::to_string(known->min);
    if (known->max == kMany) count = "at least " + count;
    else if (known->max != known->min) count += " to " + std::to_string(known->max);
    FailAt("The " + runtime::ToLower(up) + " function requires " + count + " argument(s)", e->pos);
    return nullptr;
  }
  if (up == "GETDATE" || up == "SYSDATETIME") {
    auto now = Node(ExprKind::Now, e->pos);
    return now;
  }
  if (up == "GETUTCDATE") {
    auto now = Node(ExprKind::Now, e->pos);
    now->op = "utc";
    return now;
  }
  if (up == "YEAR" || up == "MONTH" || up == "DAY") {
    e->kind = ExprKind::DatePart;
    e->op = runtime::ToLower(up);
    e->text = "DATEPART";
  }
  return e;
}

}  // namespace tarnwick::tsql::parser_detail
