// Criteria texts of a result set's Filter and Find: clauses such as
// "doc_type = 'RPT' AND amount >= 100", "[Last Name] LIKE 'Smit*'" or
// "filed < #8/24/95#", joined by AND / OR without precedence between them
// and grouped by parentheses.
//
// A hand-written scanner and recursive-descent parser turns the text into a
// small tree of clauses; every literal is converted once, at parse time, to
// the form its column compares with, so evaluating a row costs no parsing.
// Text comparisons ignore letter case. Criteria that do not parse raise 3001,
// a column the set does not have 3265; nothing ever matches by accident.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::runtime {

enum class CompareOp { Less, Greater, LessEqual, GreaterEqual, NotEqual, Equal, Like };

struct Clause {
  std::int32_t column = 0;
  CompareOp op = CompareOp::Equal;
  // The literal in the forms a cell may be compared with.
  std::string text;               // lower-cased text form (the LIKE pattern without its wildcards)
  std::optional<double> number;   // numeric value, when the literal reads as a number
  std::optional<double> serial;   // date serial, when the literal reads as a date
  enum class LikeShape { Whole, Prefix, Contains } like = LikeShape::Whole;

  bool Matches(const Variant& cell) const;
};

struct CriteriaNode {
  enum class Kind { Clause, And, Or } kind = Kind::Clause;
  Clause clause;                       // Kind::Clause
  std::vector<CriteriaNode> children;  // And / Or

  bool Matches(const Variant* row) const;  // row: the cells of one row, in column order
};

// Finds a column by name (letter case ignored); nullopt when there is none.
// The column types that hold text (BSTR, Char, VarChar and their wide and
// long forms): compared as texts, letter case ignored.
bool IsTextType(DataType t);

using ColumnLookup = std::function<std::optional<std::int32_t>(std::string_view)>;

// Parses Filter criteria (singleClause = false) or Find criteria (one
// clause, no AND/OR, no parentheses). Throws RuntimeError 3001 / 3265 with
// source "ADODB.Recordset".
CriteriaNode ParseCriteria(std::string_view text, const std::vector<Column>& columns, const ColumnLookup& lookup,
                           bool singleClause);

}  // namespace tarnwick::runtime
