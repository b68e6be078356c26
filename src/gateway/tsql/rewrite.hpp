// Planning rewrites of a parsed query: the same question asked in a shape an
// engine's planner can answer from its indexes. Each rewrite keeps the rows
// and their order exactly, Nulls and duplicates included; the rule that makes
// each one safe is written beside it in rewrite.cpp.
//
// The pass knows no engine: every renderer of the syntax tree may apply it.
#pragma once

#include "gateway/tsql/ast.hpp"

namespace tarnwick::tsql {

// Rewrites `query` in place, with every query nested in it (derived tables,
// sub-selects). A query no rule applies to is left as it was.
void RewriteForPlanning(ast::Query& query);

}  // namespace tarnwick::tsql
