// Reading and writing a stored procedure's parameter list (see parameter_list.hpp).
#include "gateway/sqlite/parameter_list.hpp"

#include <utility>

#include "runtime/text.hpp"

namespace tarnwick::sqlite {
namespace {

std::string_view Trim(std::string_view s) { return runtime::Trim(s, runtime::kWhiteSpace); }

bool IsFigure(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool IsParameterNameChar(char c) {
  return runtime::IsAsciiLetter(c) || IsFigure(c) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

std::string ParseDeclaredParameters(std::string_view text, std::vector<DeclaredParameter>& out) {
  out.clear();
  if (Trim(text).empty()) return {};
  // Split at the commas outside parentheses: "decimal(10, 2)" is one type.
  std::vector<std::string_view> items;
  int depth = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || (text[i] == ',' && depth == 0)) {
      items.push_back(Trim(text.substr(start, i - start)));
      start = i + 1;
    } else if (text[i] == '(') {
      ++depth;
    } else if (text[i] == ')' && --depth < 0) {
      return "unbalanced ')' in the parameter list";
    }
  }
  if (depth != 0) return "unbalanced '(' in the parameter list";
  for (std::string_view item : items) {
    if (item.empty()) return "an empty entry in the parameter list";
    if (item.size() < 2 || item[0] != '@' || !IsParameterNameChar(item[1]) || IsFigure(item[1])) {
      return "parameter '" + std::string(item) + "' does not start with @name";
    }
    std::size_t end = 1;
    while (end < item.size() && IsParameterNameChar(item[end])) ++end;
    DeclaredParameter parameter;
    parameter.name = std::string(item.substr(0, end));
    std::string_view type = Trim(item.substr(end));
    // A trailing OUTPUT (or OUT), apart from the type, makes it an output parameter.
    for (std::string_view word : {std::string_view("output"), std::string_view("out")}) {
      if (type.size() > word.size() && runtime::IsWhiteSpace(type[type.size() - word.size() - 1]) &&
          runtime::EqualsNoCase(type.substr(type.size() - word.size()), word)) {
        parameter.output = true;
        type = Trim(type.substr(0, type.size() - word.size()));
        break;
      }
    }
    if (runtime::EqualsNoCase(type, "output") || runtime::EqualsNoCase(type, "out")) type = {};
    if (type.find('=') != std::string_view::npos)
      return "parameter " + parameter.name + ": default values are not supported";
    if (type.empty()) return "parameter " + parameter.name + " has no type";
    parameter.type = std::string(type);
    for (const DeclaredParameter& other : out) {
      if (runtime::EqualsNoCase(other.name, parameter.name)) return "parameter " + parameter.name + " is declared twice";
    }
    out.push_back(std::move(parameter));
  }
  return {};
}

std::string ParameterListText(const std::vector<DeclaredParameter>& parameters) {
  std::string text;
  for (const DeclaredParameter& p : parameters) {
    if (!text.empty()) text += ", ";
    text += p.name + " " + p.type;
    if (p.output) text += " output";
  }
  return text;
}

}  // namespace tarnwick::sqlite
