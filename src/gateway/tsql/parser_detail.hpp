// The T-SQL parser's working state, shared by its two halves:
// parser_query.cpp reads statements, EXEC and queries (SELECT, FROM, joins),
// parser_expression.cpp reads expressions (predicates, operators, CASE, CAST,
// calls). parser.cpp holds the entry point.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/tsql/ast.hpp"
#include "gateway/tsql/lexer.hpp"
#include "gateway/tsql/parser.hpp"
#include "runtime/text.hpp"

namespace tarnwick::tsql::parser_detail {

using ast::Expr;
using ast::ExprKind;
using ast::ExprPtr;
using ast::Query;
using ast::QueryPtr;

// Words that end an expression or a table source, so that they are never
// taken for an alias written without AS.
bool IsReserved(const std::string& up);

class Parser {
 public:
  Parser(const std::vector<Token>& tokens, SyntaxError& error) : t_(tokens), error_(error) {}

  bool Statement(Translation& out, ast::QueryPtr& query) {
    if (IsWord("EXEC") || IsWord("EXECUTE")) {
      out.kind = Translation::Kind::Exec;
      if (!Exec(out)) return false;
    } else {
      query = ParseQuery();
      if (!query) return false;
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


  // ----- statements and queries (parser_query.cpp) -----
  bool Exec(Translation& out);
  bool ExecValue(Variant& value);
  QueryPtr ParseQuery();
  bool Core(ast::SelectCore& core);
  bool SelectItem(ast::SelectCore& core);
  bool TableAlias(std::string& alias);
  bool TableHints();
  ast::TableRefPtr TablePrimary();
  ast::TableRefPtr TableSource();

  // ----- expressions (parser_expression.cpp) -----
  ExprPtr ParseExpr();
  ExprPtr Binary(std::string op, ExprPtr lhs, ExprPtr rhs);
  ExprPtr Or();
  ExprPtr And();
  ExprPtr Not();
  static bool IsComparison(const Token& t);
  ExprPtr Predicate();
  ExprPtr Additive();
  ExprPtr Multiplicative();
  ExprPtr Unary();
  ExprPtr Primary();
  ExprPtr Case();
  bool Type(ast::TypeName& type);
  bool Figure(int& value);
  ExprPtr Cast();
  ExprPtr Convert();
  ExprPtr NameOrCall();
  ExprPtr Call(std::size_t start, const std::string& name);
  ExprPtr CheckKnownCall(ExprPtr e);
};

}  // namespace tarnwick::tsql::parser_detail
