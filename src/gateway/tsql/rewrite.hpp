// Planning rewrites of a parsed query: the same question asked in a shape an
// engine's planner can answer from its indexes. Each rewrite keeps the rows
// and their order exactly, Nulls and duplicates included; the rule that makes
// each one safe is written beside it (rewrite.cpp, rewrite_unnest.cpp).
//
// The pass knows no engine: every renderer of the syntax tree may apply it.
#pragma once

#include <functional>
#include <string>

#include "gateway/tsql/ast.hpp"

namespace tarnwick::tsql {

// What the database says of column `column` of its table or view `table`
// (letter case ignored): not there, there, or there and never Null (declared
// NOT NULL, or the table's integer key). The rewrites use it to tell which
// tables a bare column name in a sub-select belongs to, and which values
// cannot be Null.
enum class ColumnIs { Absent, Present, NeverNull };
using ColumnLookup = std::function<ColumnIs(const std::string& table, const std::string& column)>;

// Whether a query goes through the planning rewrites before it is rendered.
// Both give the same rows in the same order; the plain form is kept for the
// checks that prove it.
enum class Rewrites { Apply, Skip };

// Rewrites `query` in place, with every query nested in it (derived tables,
// sub-selects). A query no rule applies to is left as it was. Without a
// column lookup, a rewrite that could change what a bare name means is not
// made.
void RewriteForPlanning(ast::Query& query, const ColumnLookup& columns = {});

}  // namespace tarnwick::tsql
