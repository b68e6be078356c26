#include "runtime/number_marks.hpp"

namespace tarnwick::runtime {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The marks found on one side of the number.
struct Side {
  int signs = 0;
  int dollars = 0;
  bool negative = false;
};

// Takes signs and "$" off one end of s (blanks between them allowed).
void TakeMarks(std::string_view& s, bool atFront, Side& side) {
  for (;;) {
    s = TrimBlanks(s);
    if (s.empty()) return;
    const char c = atFront ? s.front() : s.back();
    if (c == '+' || c == '-') {
      ++side.signs;
      side.negative = side.negative || c == '-';
    } else if (c == '$') {
      ++side.dollars;
    } else {
      return;
    }
    if (atFront) s.remove_prefix(1);
    else s.remove_suffix(1);
  }
}

}  // namespace

std::optional<NumberMarks> ReadNumberMarks(std::string_view text) {
  std::string_view s = TrimBlanks(text);
  bool parentheses = false;
  if (!s.empty() && s.front() == '(') {
    if (s.size() < 2 || s.back() != ')') return std::nullopt;
    parentheses = true;
    s = s.substr(1, s.size() - 2);
  }
  Side front, back;
  TakeMarks(s, true, front);
  TakeMarks(s, false, back);
  const int signs = front.signs + back.signs;
  const int dollars = front.dollars + back.dollars;
  if (signs > 1 || dollars > 1 || (parentheses && signs > 0) || s.empty()) return std::nullopt;
  for (char c : s) {
    if (IsBlank(c) || c == '(' || c == ')' || c == '$') return std::nullopt;
  }
  NumberMarks marks;
  marks.negative = parentheses || front.negative || back.negative;
  marks.marked = parentheses || signs > 0 || dollars > 0;
  marks.body = s;
  return marks;
}

}  // namespace tarnwick::runtime
