// What the planning rewrites (rewrite.hpp) share across their files:
// rewrite.cpp holds the pass, the left joins made inner, the conditions
// pushed into a derived table, NOT IN asked as NOT EXISTS and the tests
// for a missing row made on the join's column; rewrite_unnest.cpp the
// optional sub-select read as two joins. Each rule's reasoning is written beside it.
#pragma once

#include <string>
#include <vector>

#include "gateway/tsql/ast.hpp"
#include "gateway/tsql/rewrite.hpp"

namespace tarnwick::tsql::rewrite_detail {

// The names a join's tables answer to: the alias, or the table's own name.
using Names = std::vector<std::string>;

void CollectNames(const ast::TableRef& t, Names& out);
bool Names_Contain(const Names& names, const std::string& qualifier);

// True when condition `e` cannot be true while every column of the named
// tables is Null.
bool RejectsNulls(const ast::Expr& e, const Names& names);

// A deep copy of `e`, sub-selects included.
ast::ExprPtr Clone(const ast::Expr& e);
// `a AND b`.
ast::ExprPtr Both(ast::ExprPtr a, ast::ExprPtr b);

// True when every column `e` names is qualified by `alias`, and `e` reads
// no sub-select, no clock and calls no function (which might not give the
// same answer twice).
bool OnlyColumnsOf(const ast::Expr& e, const std::string& alias);

// The column D selects under `name`, or null when it selects none, more than
// one, or a computed value (whose letter-case rules for comparisons differ
// from a column's).
const ast::Expr* SelectedAs(const ast::SelectCore& core, const std::string& name);

// The rules, each applied to one query (not to the queries nested in it).
void InnerJoins(ast::SelectCore& core);
void PushIntoDerived(ast::SelectCore& core);
void AntiJoins(ast::SelectCore& core, const ColumnLookup& columns);
void NullTestsOnJoinKeys(ast::SelectCore& core, const ColumnLookup& columns);
void UnnestOptionalSubSelects(ast::Query& query, const ColumnLookup& columns);

}  // namespace tarnwick::tsql::rewrite_detail
