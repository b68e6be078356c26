// Text helpers of the runtime and of the office's search forms.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick::runtime {

// The runtime's Trim: leading and trailing blanks (U+0020 only) removed; tabs stay.
inline std::string_view Trim(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The search forms' wildcards in a free-text search value: "?" stands for one
// character and "*" for any run, as "_" and "%" do in a LIKE pattern.
inline std::string MapWildcards(std::string text) {
  for (char& c : text) {
    if (c == '?') c = '_';
    else if (c == '*') c = '%';
  }
  return text;
}

}  // namespace tarnwick::runtime
