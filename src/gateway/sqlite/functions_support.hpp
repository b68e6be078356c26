// What the SQLite functions of the T-SQL front end share: reading argument
// values as the server does, the server's error texts, and UTF-8 character
// positions. The functions themselves stand in three files, by kind:
// functions_casts.cpp (+, -, ^ and CAST), functions_text.cpp (the string
// functions and LIKE) and functions_dates.cpp (CONVERT of dates, DATEPART,
// DATEADD, DATEDIFF); functions.cpp registers them.
#pragma once

#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gateway/tsql/stamp.hpp"

namespace tarnwick::sqlite::function_detail {

// Dates are the T-SQL front end's stamps, kept in the database as ISO texts.
using tsql::CivilDate;
using tsql::CivilFromDays;
using tsql::DaysFromCivil;
using tsql::DaysInMonth;
using tsql::FormatStamp;
using tsql::InRange;
using tsql::ParseIsoStamp;
using tsql::ReadDateText;
using tsql::Stamp;
using tsql::StampFromServerDays;

inline constexpr std::int64_t kMsPerDay = 86'400'000;

inline constexpr char kDateConversion[] = "Conversion failed when converting date and/or time from character string.";
inline constexpr char kDateOverflow[] = "Adding a value to a 'datetime' column caused an overflow.";

// A number written as text the way the server reads one: blanks around,
// a sign, figures with one decimal point, an exponent.
struct Number {
  bool integral = false;
  std::int64_t i = 0;
  double d = 0;
};

std::string_view TextOf(sqlite3_value* v);
bool AnyNull(int argc, sqlite3_value** argv);
std::string_view TrimBlanks(std::string_view s);
// The first 60 bytes of a text for an error message, "..." after a cut.
std::string Shorten(std::string_view s);
void Error(sqlite3_context* ctx, const std::string& message);
void ResultText(sqlite3_context* ctx, const std::string& s);
std::optional<Number> ParseNumber(std::string_view s, bool allowFraction = true);
std::optional<Number> NumberOf(sqlite3_value* v);
bool IsNumber(sqlite3_value* v);
std::optional<Stamp> StampOf(sqlite3_value* v);
std::string ConversionError(std::string_view text, const char* type);
// Offsets of the characters of a UTF-8 text, plus its end.
std::vector<std::size_t> CharStarts(std::string_view s);
std::string_view CharSlice(std::string_view s, std::int64_t from, std::int64_t to);
std::int64_t CharCount(std::string_view s);
// Byte offset of `needle` in `hay` from byte `from`, ignoring ASCII letter
// case; an empty needle is found nowhere.
std::size_t FindCaseBlind(std::string_view hay, std::string_view needle, std::size_t from);
std::int64_t Clamp(std::int64_t v, std::int64_t lo, std::int64_t hi);
// s moved by a number of days (fractions are time); false when it leaves the server's range.
bool AddDays(const Stamp& s, double days, Stamp& out);

// The functions registered on each connection, by the names functions.cpp gives them.
void TwAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwSub(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwBitXor(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwCastDate(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwCastDateTime(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwCastText(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwCastInt(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwCastBit(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwCastNum(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwFormatDate(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwSubstring(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwLeft(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwRight(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwCharIndex(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwReplace(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwReplicate(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwNameWords(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwIsNumeric(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwIsDate(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwLike(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void Like(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwDateText(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwDatePart(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwDateAdd(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void TwDateDiff(sqlite3_context* ctx, int argc, sqlite3_value** argv);

}  // namespace tarnwick::sqlite::function_detail
