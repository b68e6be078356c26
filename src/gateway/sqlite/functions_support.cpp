// Reading the arguments of the SQLite functions as the server reads values,
// and the character positions of UTF-8 texts (see functions_support.hpp).
#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/sqlite/functions_support.hpp"
#include "gateway/tsql/stamp.hpp"
#include "runtime/text.hpp"

namespace tarnwick::sqlite::function_detail {

std::string_view TextOf(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  const int n = sqlite3_value_bytes(v);
  return p ? std::string_view(p, static_cast<std::size_t>(n)) : std::string_view();
}

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  }
  return false;
}

std::string_view TrimBlanks(std::string_view s) { return runtime::Trim(s, runtime::kBlanks); }

std::string Shorten(std::string_view s) {
  std::string out(s.substr(0, 60));
  if (s.size() > 60) out += "...";
  return out;
}

void Error(sqlite3_context* ctx, const std::string& message) {
  sqlite3_result_error(ctx, message.c_str(), static_cast<int>(message.size()));
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}


std::optional<Number> ParseNumber(std::string_view s, bool allowFraction) {
  s = TrimBlanks(s);
  if (s.empty()) return std::nullopt;
  std::size_t k = 0;
  if (s[k] == '+' || s[k] == '-') ++k;
  std::size_t digits = 0;
  bool fraction = false;
  while (k < s.size() && s[k] >= '0' && s[k] <= '9') ++k, ++digits;
  if (k < s.size() && s[k] == '.') {
    fraction = true;
    ++k;
    while (k < s.size() && s[k] >= '0' && s[k] <= '9') ++k, ++digits;
  }
  if (digits == 0) return std::nullopt;
  if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
    fraction = true;
    ++k;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    std::size_t exp = 0;
    while (k < s.size() && s[k] >= '0' && s[k] <= '9') ++k, ++exp;
    if (exp == 0) return std::nullopt;
  }
  if (k != s.size()) return std::nullopt;
  if (fraction && !allowFraction) return std::nullopt;
  Number n;
  std::string text(s[0] == '+' ? s.substr(1) : s);
  if (!fraction) {
    const auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), n.i);
    if (ec == std::errc() && p == text.data() + text.size()) {
      n.integral = true;
      n.d = static_cast<double>(n.i);
      return n;
    }
  }
  n.d = std::strtod(text.c_str(), nullptr);
  if (!std::isfinite(n.d)) return std::nullopt;
  return n;
}

// The numeric value of an argument: numbers as they are, texts read as
// numbers; nothing for other texts and bytes.
std::optional<Number> NumberOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: {
      Number n;
      n.integral = true;
      n.i = sqlite3_value_int64(v);
      n.d = static_cast<double>(n.i);
      return n;
    }
    case SQLITE_FLOAT: {
      Number n;
      n.d = sqlite3_value_double(v);
      return n;
    }
    case SQLITE_TEXT: return ParseNumber(TextOf(v));
    default: return std::nullopt;
  }
}

bool IsNumber(sqlite3_value* v) {
  const int t = sqlite3_value_type(v);
  return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

// A date argument: ISO or other date texts, or a day number (0 = 1 Jan 1900).
std::optional<Stamp> StampOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_TEXT: return ReadDateText(TextOf(v));
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return StampFromServerDays(sqlite3_value_double(v));
    default: return std::nullopt;
  }
}


std::string ConversionError(std::string_view text, const char* type) {
  return "Conversion failed when converting the varchar value '" + Shorten(text) + "' to data type " + type + ".";
}

// Offsets of the characters of a UTF-8 text, plus its end.
std::vector<std::size_t> CharStarts(std::string_view s) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  starts.push_back(s.size());
  return starts;
}

// Characters [from, to) of a UTF-8 text, counted from 0, clamped to the text.
std::string_view CharSlice(std::string_view s, std::int64_t from, std::int64_t to) {
  const std::vector<std::size_t> starts = CharStarts(s);
  const auto count = static_cast<std::int64_t>(starts.size() - 1);
  from = std::max<std::int64_t>(0, std::min(from, count));
  to = std::max(from, std::min(to, count));
  return s.substr(starts[static_cast<std::size_t>(from)],
                  starts[static_cast<std::size_t>(to)] - starts[static_cast<std::size_t>(from)]);
}

std::int64_t CharCount(std::string_view s) { return static_cast<std::int64_t>(CharStarts(s).size() - 1); }

// Byte offset of `needle` in `hay` from byte `from`, ignoring ASCII letter
// case; an empty needle is found nowhere.
std::size_t FindCaseBlind(std::string_view hay, std::string_view needle, std::size_t from) {
  return needle.empty() ? std::string_view::npos : runtime::FindNoCase(hay, needle, from);
}

std::int64_t Clamp(std::int64_t v, std::int64_t lo, std::int64_t hi) { return v < lo ? lo : v > hi ? hi : v; }

bool AddDays(const Stamp& s, double days, Stamp& out) {
  if (!std::isfinite(days) || std::fabs(days) > 4.0e6) return false;
  const double total = static_cast<double>(s.ms) + days * kMsPerDay;
  const auto ms = static_cast<std::int64_t>(std::llround(total));
  const std::int64_t whole = ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
  out.day = s.day + whole;
  out.ms = ms - whole * kMsPerDay;
  return InRange(out);
}

}  // namespace tarnwick::sqlite::function_detail
