// The statement half of the T-SQL parser: EXEC with its arguments, and
// queries with their select lists, table sources, joins, grouping and order.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <utility>

#include "gateway/tsql/parser_detail.hpp"
#include "runtime/text.hpp"

namespace tarnwick::tsql::parser_detail {

// ----- EXEC -----

bool Parser::Exec(Translation& out) {
  ++i_;  // EXEC
  if (Peek().kind == TokenKind::Variable) {
    return FailAt("EXEC with a return variable is not supported", Peek().pos);
  }
  std::vector<std::string> name;
  if (!MultiPartName(name)) return false;
  out.procedure = name.back();
  if (Peek().kind == TokenKind::End || IsSymbol(";")) return true;
  bool namedSeen = false;
  int number = 0;
  do {
    ++number;
    const std::size_t argPos = Peek().pos;
    ExecArgument arg;
    if (Peek().kind == TokenKind::Variable && IsSymbol("=", 1)) {
      arg.name = Peek().value;
      i_ += 2;
      namedSeen = true;
    } else if (namedSeen) {
      return FailAt("Must pass parameter number " + std::to_string(number) +
                        " and subsequent parameters as '@name = value'",
                    argPos);
    }
    if (!ExecValue(arg.value)) return false;
    out.arguments.push_back(std::move(arg));
  } while (AcceptSymbol(","));
  return true;
}

bool Parser::ExecValue(Variant& value) {
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

QueryPtr Parser::ParseQuery() {
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
      q->orderBy.push_back(std::move(item));
    } while (AcceptSymbol(","));
  }
  return q;
}

bool Parser::Core(ast::SelectCore& core) {
  if (!ExpectWord("SELECT")) return false;
  if (AcceptWord("DISTINCT")) {
    core.distinct = true;
  } else {
    AcceptWord("ALL");
  }
  if (IsWord("TOP")) {
    const std::size_t topPos = Peek().pos;
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
    if (IsWord("PERCENT")) return FailAt("TOP ... PERCENT is not supported", topPos);
    if (IsWord("WITH") && IsWord("TIES", 1)) return FailAt("TOP ... WITH TIES is not supported", topPos);
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
      core.groupBy.push_back(std::move(e));
    } while (AcceptSymbol(","));
  }
  if (AcceptWord("HAVING")) {
    core.having = ParseExpr();
    if (!core.having) return false;
  }
  return true;
}

bool Parser::SelectItem(ast::SelectCore& core) {
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

bool Parser::TableAlias(std::string& alias) {
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
bool Parser::TableHints() {
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

ast::TableRefPtr Parser::TablePrimary() {
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

ast::TableRefPtr Parser::TableSource() {
  auto left = TablePrimary();
  if (!left) return nullptr;
  int joins = 0;
  for (;;) {
    ast::JoinKind kind;
    const std::size_t joinPos = Peek().pos;
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
      FailAt("Too many joins (more than " + std::to_string(kMaxJoins) + ")", joinPos);
      return nullptr;
    }
    auto node = std::make_unique<ast::TableRef>();
    node->isJoin = true;
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

}  // namespace tarnwick::tsql::parser_detail
