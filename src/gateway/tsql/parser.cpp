// The recursive-descent T-SQL parser's entry point, the reserved words and
// the date part names; the parser itself stands in parser_query.cpp and
// parser_expression.cpp (see parser_detail.hpp).
#include "gateway/tsql/parser.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <utility>

#include "gateway/tsql/parser_detail.hpp"
#include "runtime/text.hpp"

namespace tarnwick::tsql {

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

namespace parser_detail {

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

}  // namespace parser_detail

bool Parse(const std::vector<Token>& tokens, Translation& out, ast::QueryPtr& query, SyntaxError& error) {
  parser_detail::Parser parser(tokens, error);
  return parser.Statement(out, query);
}

}  // namespace tarnwick::tsql
