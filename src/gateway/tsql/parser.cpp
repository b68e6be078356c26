// The recursive-descent T-SQL parser: statements, queries and expressions
// into the syntax tree, with the server's messages for what does not parse.
#include "gateway/tsql/parser.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <utility>

#include "runtime/text.hpp"

namespace tarnwick::tsql {

using ast::Expr;
using ast::ExprKind;
using ast::ExprPtr;
using ast::Query;
using ast::QueryPtr;

std::string CanonicalDatePart(std::string_view word) {
  static const std::pair<std::string_view, std::string_view> kParts[] = {
      {"YEAR", "year"},       {"YY", "year"},          {"YYYY", "year"},     {"QUARTER", "quarter"},
      {"QQ", "quarter"},      {"Q", "quarter"},        {"MONTH", "month"},   {"MM", "month"},
      {"M", "month"},         {"DAYOFYEAR", "dayofyear"}, {"DY", "dayofyear"}, {"Y", "dayofyear"},
      {"DAY", "day"},         {"DD", "day"},           {"D", "day"},         {"WEEK", "week"},
      {"WK", "week"},         {"WW", "week"},          {"WEEKDAY", "weekday"}, {"DW", "weekday"},
      {"W", "weekday"},       {"HOUR", "hour"},        {"HH", "hour"},       {"MINUTE", "minute"},
      {"MI", "minute"},       {"N", "minute"},         {"SECOND", "second"}, {"SS", "second"},
      {"S", "second"},        {"MILLISECOND", "millisecond"}, {"MS", "millisecond"},
  };
  const std::string up = runtime::ToUpper(word);
  for (const auto& [name, canonical] : kParts) {
    if (up == name) return std::string(canonical);
  }
  return {};
}

namespace {

// Words that end an expression or a table source, so that they are never
// taken for an alias written without AS.
bool IsReserved(const std::string& up) {
  static const std::string_view kWords[] = {
      "ALL",    "AND",     "AS",      "ASC",       "BETWEEN", "BY",     "CASE",    "CROSS",
      "DESC",   "DISTINCT", "ELSE",   "END",       "ESCAPE",  "EXCEPT", "EXEC",    "EXECUTE",
      "EXISTS", "FROM",    "FULL",    "GROUP",     "HAVING",  "IN",     "INNER",   "INTERSECT",
      "INTO",   "IS",      "JOIN",    "LEFT",      "LIKE",    "NOT",    "NULL",    "ON",
      "OPTION", "OR",      "ORDER",   "OUTER",     "RIGHT",   "SELECT", "THEN",    "TOP",
      "UNION",  "WHEN",    "WHERE",   "WITH",      "FOR",     "SET",    "UPDATE",  "DELETE",
      "INSERT", "VALUES",  "PERCENT", "OVER",
  };
  return std::find(std::begin(kWords), std::end(kWords), up) != std::end(kWords);
}

class Parser {
 public:
  Parser(const std::vector<Token>& tokens, SyntaxError& error) : t_(tokens), error_(error) {}

  bool Statement(ParsedStatement& out) {
    if (IsWord("EXEC") || IsWord("EXECUTE")) {
      out.is_exec = true;
      if (!Exec(out)) return false;
    } else {
      out.query = ParseQuery();
      if (!out.query) return false;
    }
    while (IsSymbol(";")) ++i_;
    if (Peek().kind != TokenKind::End) return Fail();
    return true;
  }

 private:
  const std::vector<Token>& t_;
  SyntaxError& error_;
  std::size_t i_ = 0;
  int nesting_ = 0;
  bool failed_ = false;

  // Counts one level of nesting while alive; the parse fails past the limit.
  class Nest {
   public:
    explicit Nest(Parser& p) : p_(p) { ++p_.nesting_; }
    ~Nest() { --p_.nesting_; }
    Nest(const Nest&) = delete;
    Nest& operator=(const Nest&) = delete;
    bool TooDeep() const {
      if (p_.nesting_ <= kMaxNesting) return false;
      p_.FailAt("The text is nested too deeply (more than " + std::to_string(kMaxNesting) + " levels)",
                p_.Peek().pos);
      return true;
    }

   private:
    Parser& p_;
  };

  const Token& Peek(std::size_t ahead = 0) const {
    const std::size_t k = std::min(i_ + ahead, t_.size() - 1);
    return t_[k];
  }
  bool IsWord(std::string_view up, std::size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::Word && runtime::ToUpper(t.value) == up;
  }
  bool IsSymbol(std::string_view s, std::size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    return t.kind == TokenKind::Symbol && t.value == s;
  }
  bool AcceptWord(std::string_view up) {
    if (!IsWord(up)) return false;
    ++i_;
    return true;
  }
  bool AcceptSymbol(std::string_view s) {
    if (!IsSymbol(s)) return false;
    ++i_;
    return true;
  }
  bool ExpectWord(std::string_view up) { return AcceptWord(up) || Fail(); }
  bool ExpectSymbol(std::string_view s) { return AcceptSymbol(s) || Fail(); }

  bool FailAt(std::string message, std::size_t pos) {
    if (!failed_) {
      failed_ = true;
      error_.message = std::move(message);
      error_.pos = pos;
    }
    return false;
  }
  // "Incorrect syntax near ..." at the current token.
  bool Fail() {
    const Token& t = Peek();
    if (t.kind == TokenKind::End) return FailAt("Incorrect syntax near the end of the text", t.pos);
    std::string shown;
    switch (t.kind) {
      case TokenKind::Text: shown = "'" + t.value + "'"; break;
      case TokenKind::Hex: shown = "0x" + t.value; break;
      default: shown = t.value;
    }
    if (shown.size() > 40) shown = shown.substr(0, 37) + "...";
    return FailAt("Incorrect syntax near '" + shown + "'", t.pos);
  }

  ExprPtr Node(ExprKind kind, std::size_t pos) {
    auto e = std::make_unique<Expr>();
    e->kind = kind;
    e->pos = pos;
    return e;
  }
  // Fixes the height of a finished node from its parts; null past the limit.
  ExprPtr Seal(ExprPtr e) {
    int h = 0;
    for (const auto& a : e->args) h = std::max(h, a->height);
    e->height = h + 1;
    if (e->height > kMaxHeight) {
      FailAt("The expression is too long or nested too deeply (more than " + std::to_string(kMaxHeight) +
                 " levels)",
             e->pos);
      return nullptr;
    }
    return e;
  }

  // A name usable as an alias or a column: a regular word that is no keyword,
  // or a quoted name.
  bool IsName(std::size_t ahead = 0) const {
    const Token& t = Peek(ahead);
    if (t.kind == TokenKind::QuotedName) return true;
    return t.kind == TokenKind::Word && !IsReserved(runtime::ToUpper(t.value));
  }

  // name [. name]* ; returns false when no name stands here.
  bool MultiPartName(std::vector<std::string>& parts) {
    if (!IsName()) return Fail();
    parts.push_back(Peek().value);
    ++i_;
    while (IsSymbol(".") && (Peek(1).kind == TokenKind::Word || Peek(1).kind == TokenKind::QuotedName)) {
      i_ += 1;
      parts.push_back(Peek().value);
      ++i_;
    }
    return true;
  }

  // ----- EXEC -----

  bool Exec(ParsedStatement& out) {
    ++i_;  // EXEC
    if (Peek().kind == TokenKind::Variable) {
      return FailAt("EXEC with a return variable is not supported", Peek().pos);
    }
    std::vector<std::string> name;
    if (!MultiPartName(name)) return false;
    out.procedure = name.back();
    if (Peek().kind == TokenKind::End || IsSymbol(";")) return true;
    bool named_seen = false;
    int number = 0;
    do {
      ++number;
      const std::size_t arg_pos = Peek().pos;
      ExecArgument arg;
      if (Peek().kind == TokenKind::Variable && IsSymbol("=", 1)) {
        arg.name = Peek().value;
        i_ += 2;
        named_seen = true;
      } else if (named_seen) {
        return FailAt("Must pass parameter number " + std::to_string(number) +
                          " and subsequent parameters as '@name = value'",
                      arg_pos);
      }
      if (!ExecValue(arg.value)) return false;
      out.arguments.push_back(std::move(arg));
    } while (AcceptSymbol(","));
    return true;
  }

  bool ExecValue(Variant& value) {
    const Token& t = Peek();
    if (t.kind == TokenKind::Variable) {
      return FailAt("Must declare the scalar variable \"" + t.value + "\"", t.pos);
    }
    if (t.kind == TokenKind::Text) {
      value = Variant(t.value);
      ++i_;
      return true;
    }
    if (t.kind == TokenKind::Word && runtime::ToUpper(t.value) == "NULL") {
      value = Variant::Null();
      ++i_;
      return true;
    }
    if (t.kind == TokenKind::Word && !IsReserved(runtime::ToUpper(t.value))) {
      // The server takes a bare word as a text argument.
      value = Variant(t.value);
      ++i_;
      return true;
    }
    bool negative = false;
    if (IsSymbol("-") || IsSymbol("+")) {
      negative = IsSymbol("-");
      ++i_;
    }
    if (Peek().kind != TokenKind::Number) return Fail();
    const std::string digits = (negative ? "-" : "") + Peek().value;
    ++i_;
    const bool integral = digits.find_first_of(".eE") == std::string::npos;
    if (integral) {
      errno = 0;
      char* end = nullptr;
      const long long v = std::strtoll(digits.c_str(), &end, 10);
      if (errno == 0 && v >= INT32_MIN && v <= INT32_MAX) {
        value = Variant(static_cast<std::int32_t>(v));
        return true;
      }
    }
    value = Variant(std::strtod(digits.c_str(), nullptr));
    return true;
  }

  // ----- queries -----

  QueryPtr ParseQuery() {
    Nest nest(*this);
    if (nest.TooDeep()) return nullptr;
    auto q = std::make_unique<Query>();
    q->cores.emplace_back();
    if (!Core(q->cores.back())) return nullptr;
    for (;;) {
      ast::SetOp op;
      if (AcceptWord("UNION")) {
        op = AcceptWord("ALL") ? ast::SetOp::UnionAll : ast::SetOp::Union;
      } else if (AcceptWord("EXCEPT")) {
        op = ast::SetOp::Except;
      } else if (AcceptWord("INTERSECT")) {
        op = ast::SetOp::Intersect;
      } else {
        break;
      }
      q->ops.push_back(op);
      q->cores.emplace_back();
      if (!Core(q->cores.back())) return nullptr;
    }
    if (AcceptWord("ORDER")) {
      if (!ExpectWord("BY")) return nullptr;
      do {
        ast::OrderItem item;
        item.expr = ParseExpr();
        if (!item.expr) return nullptr;
        if (AcceptWord("DESC")) {
          item.descending = true;
        } else {
          AcceptWord("ASC");
        }
        q->order_by.push_back(std::move(item));
      } while (AcceptSymbol(","));
    }
    return q;
  }

  bool Core(ast::SelectCore& core) {
    if (!ExpectWord("SELECT")) return false;
    if (AcceptWord("DISTINCT")) {
      core.distinct = true;
    } else {
      AcceptWord("ALL");
    }
    if (IsWord("TOP")) {
      const std::size_t top_pos = Peek().pos;
      ++i_;
      if (AcceptSymbol("(")) {
        core.top = ParseExpr();
        if (!core.top || !ExpectSymbol(")")) return false;
      } else if (Peek().kind == TokenKind::Number) {
        core.top = Node(ExprKind::Number, Peek().pos);
        core.top->text = Peek().value;
        ++i_;
      } else {
        return Fail();
      }
      if (IsWord("PERCENT")) return FailAt("TOP ... PERCENT is not supported", top_pos);
      if (IsWord("WITH") && IsWord("TIES", 1)) return FailAt("TOP ... WITH TIES is not supported", top_pos);
    }
    do {
      if (!SelectItem(core)) return false;
    } while (AcceptSymbol(","));
    if (IsWord("INTO")) return FailAt("SELECT ... INTO is not supported", Peek().pos);
    if (AcceptWord("FROM")) {
      do {
        auto source = TableSource();
        if (!source) return false;
        core.from.push_back(std::move(source));
      } while (AcceptSymbol(","));
    }
    if (AcceptWord("WHERE")) {
      core.where = ParseExpr();
      if (!core.where) return false;
    }
    if (AcceptWord("GROUP")) {
      if (!ExpectWord("BY")) return false;
      do {
        auto e = ParseExpr();
        if (!e) return false;
        core.group_by.push_back(std::move(e));
      } while (AcceptSymbol(","));
    }
    if (AcceptWord("HAVING")) {
      core.having = ParseExpr();
      if (!core.having) return false;
    }
    return true;
  }

  bool SelectItem(ast::SelectCore& core) {
    ast::SelectItem item;
    const Token& t = Peek();
    // alias = expression
    if ((IsName() || t.kind == TokenKind::Text) && IsSymbol("=", 1)) {
      item.alias = t.value;
      i_ += 2;
      item.expr = ParseExpr();
      if (!item.expr) return false;
      core.items.push_back(std::move(item));
      return true;
    }
    if (IsSymbol("*")) {
      item.expr = Node(ExprKind::Star, t.pos);
      ++i_;
      core.items.push_back(std::move(item));
      return true;
    }
    item.expr = ParseExpr();
    if (!item.expr) return false;
    if (AcceptWord("AS")) {
      const Token& a = Peek();
      if (a.kind == TokenKind::Text || a.kind == TokenKind::QuotedName || a.kind == TokenKind::Word) {
        item.alias = a.value;
        ++i_;
      } else {
        return Fail();
      }
    } else if (IsName() || Peek().kind == TokenKind::Text) {
      item.alias = Peek().value;
      ++i_;
    }
    core.items.push_back(std::move(item));
    return true;
  }

  bool TableAlias(std::string& alias) {
    if (AcceptWord("AS")) {
      const Token& a = Peek();
      if (a.kind == TokenKind::QuotedName || a.kind == TokenKind::Word || a.kind == TokenKind::Text) {
        alias = a.value;
        ++i_;
        return true;
      }
      return Fail();
    }
    if (IsName()) {
      alias = Peek().value;
      ++i_;
    }
    return true;
  }

  // WITH (NOLOCK) and the older (NOLOCK): locking hints mean nothing to the
  // embedded engine and are read and dropped.
  bool TableHints() {
    const bool with = IsWord("WITH") && IsSymbol("(", 1);
    const bool bare = IsSymbol("(") && Peek(1).kind == TokenKind::Word;
    if (!with && !bare) return true;
    if (with) ++i_;
    ++i_;  // (
    do {
      if (Peek().kind != TokenKind::Word) return Fail();
      ++i_;
    } while (AcceptSymbol(","));
    return ExpectSymbol(")");
  }

  ast::TableRefPtr TablePrimary() {
    auto ref = std::make_unique<ast::TableRef>();
    if (IsSymbol("(")) {
      if (!IsWord("SELECT", 1)) {
        Fail();
        return nullptr;
      }
      ++i_;
      ref->query = ParseQuery();
      if (!ref->query || !ExpectSymbol(")")) return nullptr;
      if (!TableAlias(ref->alias)) return nullptr;
      return ref;
    }
    if (!MultiPartName(ref->name)) return nullptr;
    if (!TableHints()) return nullptr;
    if (!TableAlias(ref->alias)) return nullptr;
    if (!TableHints()) return nullptr;
    return ref;
  }

  ast::TableRefPtr TableSource() {
    auto left = TablePrimary();
    if (!left) return nullptr;
    int joins = 0;
    for (;;) {
      ast::JoinKind kind;
      const std::size_t join_pos = Peek().pos;
      if (AcceptWord("JOIN")) {
        kind = ast::JoinKind::Inner;
      } else if (IsWord("INNER")) {
        ++i_;
        if (!ExpectWord("JOIN")) return nullptr;
        kind = ast::JoinKind::Inner;
      } else if (IsWord("LEFT") || IsWord("RIGHT") || IsWord("FULL")) {
        const std::string up = runtime::ToUpper(Peek().value);
        ++i_;
        AcceptWord("OUTER");
        if (!ExpectWord("JOIN")) return nullptr;
        kind = up == "LEFT" ? ast::JoinKind::Left : up == "RIGHT" ? ast::JoinKind::Right : ast::JoinKind::Full;
      } else if (IsWord("CROSS")) {
        ++i_;
        if (!ExpectWord("JOIN")) return nullptr;
        kind = ast::JoinKind::Cross;
      } else {
        break;
      }
      if (++joins > kMaxJoins) {
        FailAt("Too many joins (more than " + std::to_string(kMaxJoins) + ")", join_pos);
        return nullptr;
      }
      auto node = std::make_unique<ast::TableRef>();
      node->is_join = true;
      node->join = kind;
      node->left = std::move(left);
      node->right = TablePrimary();
      if (!node->right) return nullptr;
      if (kind != ast::JoinKind::Cross) {
        if (!ExpectWord("ON")) return nullptr;
        node->on = ParseExpr();
        if (!node->on) return nullptr;
      }
      left = std::move(node);
    }
    return left;
  }

  // ----- expressions -----

  ExprPtr ParseExpr() {
    Nest nest(*this);
    if (nest.TooDeep()) return nullptr;
    return Or();
  }

  ExprPtr Binary(std::string op, ExprPtr lhs, ExprPtr rhs) {
    auto e = Node(ExprKind::Binary, lhs->pos);
    e->op = std::move(op);
    e->args.push_back(std::move(lhs));
    e->args.push_back(std::move(rhs));
    return Seal(std::move(e));
  }

  ExprPtr Or() {
    auto lhs = And();
    while (lhs && AcceptWord("OR")) {
      auto rhs = And();
      if (!rhs) return nullptr;
      lhs = Binary("OR", std::move(lhs), std::move(rhs));
    }
    return lhs;
  }

  ExprPtr And() {
    auto lhs = Not();
    while (lhs && AcceptWord("AND")) {
      auto rhs = Not();
      if (!rhs) return nullptr;
      lhs = Binary("AND", std::move(lhs), std::move(rhs));
    }
    return lhs;
  }

  ExprPtr Not() {
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

  static bool IsComparison(const Token& t) {
    if (t.kind != TokenKind::Symbol) return false;
    static const std::string_view kOps[] = {"=", "<>", "!=", "<", ">", "<=", ">=", "!<", "!>"};
    return std::find(std::begin(kOps), std::end(kOps), t.value) != std::end(kOps);
  }

  ExprPtr Predicate() {
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
      const std::size_t op_pos = Peek().pos;
      ++i_;
      if (op == "!=") op = "<>";
      if (op == "!<") op = ">=";
      if (op == "!>") op = "<=";
      if (IsWord("ALL") || IsWord("ANY") || IsWord("SOME")) {
        const std::string quant = runtime::ToUpper(Peek().value);
        // x = ANY (query) is x IN (query); x <> ALL (query) is x NOT IN (query).
        const bool in = (op == "=" && quant != "ALL");
        const bool not_in = (op == "<>" && quant == "ALL");
        if (!in && !not_in) {
          FailAt("Comparisons with " + quant + " other than = ANY and <> ALL are not supported", op_pos);
          return nullptr;
        }
        ++i_;
        if (!ExpectSymbol("(")) return nullptr;
        if (!IsWord("SELECT")) {
          Fail();
          return nullptr;
        }
        auto e = Node(ExprKind::InQuery, lhs->pos);
        e->negated = not_in;
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

  ExprPtr Additive() {
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

  ExprPtr Multiplicative() {
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

  ExprPtr Unary() {
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

  ExprPtr Primary() {
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

  ExprPtr Case() {
    Nest nest(*this);
    if (nest.TooDeep()) return nullptr;
    auto e = Node(ExprKind::Case, Peek().pos);
    ++i_;  // CASE
    if (!IsWord("WHEN")) {
      auto operand = ParseExpr();
      if (!operand) return nullptr;
      e->has_operand = true;
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
      e->has_else = true;
      e->args.push_back(std::move(otherwise));
    }
    if (!ExpectWord("END")) return nullptr;
    return Seal(std::move(e));
  }

  bool Type(ast::TypeName& type) {
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

  bool Figure(int& value) {
    const Token& t = Peek();
    if (t.kind != TokenKind::Number || t.value.find_first_not_of("0123456789") != std::string::npos ||
        t.value.size() > 9) {
      return Fail();
    }
    value = std::atoi(t.value.c_str());
    ++i_;
    return true;
  }

  ExprPtr Cast() {
    Nest nest(*this);
    if (nest.TooDeep()) return nullptr;
    auto e = Node(ExprKind::Cast, Peek().pos);
    i_ += 2;  // CAST (
    auto value = ParseExpr();
    if (!value || !ExpectWord("AS") || !Type(e->type) || !ExpectSymbol(")")) return nullptr;
    e->args.push_back(std::move(value));
    return Seal(std::move(e));
  }

  ExprPtr Convert() {
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

  ExprPtr NameOrCall() {
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

  ExprPtr Call(std::size_t start, const std::string& name) {
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


  // Checks the argument count of the server functions the renderer rewrites,
  // and turns the date functions into their own nodes.
  ExprPtr CheckKnownCall(ExprPtr e) {
    if (!e) return nullptr;
    const std::string up = runtime::ToUpper(e->text);
    struct Arity {
      std::string_view name;
      std::size_t min, max;
    };
    static const Arity kArity[] = {
        {"ISNULL", 2, 2},   {"GETDATE", 0, 0},   {"GETUTCDATE", 0, 0}, {"SYSDATETIME", 0, 0},
        {"LEN", 1, 1},      {"SUBSTRING", 3, 3}, {"LEFT", 2, 2},       {"RIGHT", 2, 2},
        {"CHARINDEX", 2, 3}, {"REPLACE", 3, 3},  {"YEAR", 1, 1},       {"MONTH", 1, 1},
        {"DAY", 1, 1},      {"ISNUMERIC", 1, 1}, {"ISDATE", 1, 1},     {"DATALENGTH", 1, 1},
    };
    for (const Arity& a : kArity) {
      if (up != a.name) continue;
      if (e->star || e->args.size() < a.min || e->args.size() > a.max) {
        std::string count = std::to_string(a.min);
        if (a.max != a.min) count += " to " + std::to_string(a.max);
        FailAt("The " + runtime::ToLower(up) + " function requires " + count + " argument(s)", e->pos);
        return nullptr;
      }
      break;
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
};

}  // namespace

bool Parse(const std::vector<Token>& tokens, ParsedStatement& out, SyntaxError& error) {
  Parser parser(tokens, error);
  return parser.Statement(out);
}

}  // namespace tarnwick::tsql
