// Syntax tree of the T-SQL statements the front end reads: queries (SELECT
// with joins, derived tables, UNION) and procedure calls (EXEC).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick::tsql::ast {

struct Query;
struct Expr;
using ExprPtr = std::unique_ptr<Expr>;
using QueryPtr = std::unique_ptr<Query>;

// A type named in CAST or CONVERT: varchar(20), decimal(10, 2), char(2).
struct TypeName {
  std::string name;     // upper case: VARCHAR, INT, DATE ...
  int length = -1;      // first figure in parentheses; -1 when not given
  int scale = -1;       // second figure; -1 when not given
  bool max = false;     // varchar(max)
  std::size_t pos = 0;  // where the type stands in the text
};

enum class ExprKind {
  Null,          // NULL
  Number,        // text: the number as written
  Text,          // text: the value (quotes undone)
  Hex,           // text: hex digits
  Column,        // parts: qualifier(s) and the column name
  Star,          // parts: the qualifier, empty for a bare *
  Unary,         // op: "-", "+", "~", "NOT"; args[0]
  Binary,        // op: arithmetic, bitwise, comparison, AND, OR; args[0], args[1]
  Between,       // args[0] BETWEEN args[1] AND args[2]; negated
  InList,        // args[0] IN (args[1..]); negated
  InQuery,       // args[0] IN (query); negated
  Like,          // args[0] LIKE args[1] [ESCAPE args[2]]; negated
  IsNull,        // args[0] IS [NOT] NULL; negated
  Exists,        // EXISTS (query)
  Subquery,      // (query) as a value
  Case,          // hasOperand: args[0] is the operand; then WHEN/THEN pairs; hasElse: last arg
  Function,      // text: the name as written; args; distinct; star for count(*)
  Cast,          // args[0] AS type (CONVERT(type, x) too); args[1] the style of CONVERT when given
  DatePart,      // text: upper-case function name (DATEADD, DATEDIFF, DATEPART, YEAR ...);
                 // op: the canonical date part (year, month, ...); args
  Now,           // getdate(), current_timestamp: the local time now; op "utc" for getutcdate()
};

struct Expr {
  ExprKind kind = ExprKind::Null;
  std::size_t pos = 0;  // where the expression starts in the text
  int height = 1;       // 1 + the largest height of its parts: bounds recursion over the tree
  std::string text;
  std::string op;
  std::vector<std::string> parts;
  std::vector<ExprPtr> args;
  QueryPtr query;
  TypeName type;
  bool negated = false;
  bool distinct = false;
  bool star = false;
  bool hasOperand = false;
  bool hasElse = false;
};

struct SelectItem {
  ExprPtr expr;
  std::string alias;  // empty when none
};

enum class JoinKind { Comma, Inner, Left, Right, Full, Cross };

struct TableRef {
  // A named table or view, or a derived table (query), or a join of two.
  std::vector<std::string> name;  // name parts as written; empty for a derived table or join
  QueryPtr query;                 // derived table
  std::string alias;
  JoinKind join = JoinKind::Comma;  // for a join node
  std::unique_ptr<TableRef> left, right;
  ExprPtr on;
  bool isJoin = false;
};
using TableRefPtr = std::unique_ptr<TableRef>;

struct SelectCore {
  bool distinct = false;
  ExprPtr top;  // TOP n, or null
  std::vector<SelectItem> items;
  std::vector<TableRefPtr> from;  // comma-separated entries, each possibly a join tree
  ExprPtr where;
  std::vector<ExprPtr> groupBy;
  ExprPtr having;
};

enum class SetOp { Union, UnionAll, Except, Intersect };

struct OrderItem {
  ExprPtr expr;
  bool descending = false;
};

struct Query {
  std::vector<SelectCore> cores;  // at least one
  std::vector<SetOp> ops;         // ops[i] joins cores[i] and cores[i + 1]
  std::vector<OrderItem> orderBy;
};

}  // namespace tarnwick::tsql::ast
