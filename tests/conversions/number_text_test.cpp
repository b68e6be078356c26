// Numbers, amounts and truth values a clerk types, one table per conversion,
// grouped by the rule of runtime/number_marks.hpp each row checks. Every row
// also checks that IsNumeric agrees with the conversion.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "runtime/decimal_text.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::test {
namespace {

// The RuntimeError number f raises, 0 when it returns.
template <class F>
std::int32_t Raised(F&& f) {
  try {
    f();
  } catch (const RuntimeError& e) {
    return e.Number();
  }
  return 0;
}

constexpr std::int32_t kBad = err::kTypeMismatch;

TEST(NumberText, CDblReadsEveryMarkAndAgreesWithIsNumeric) {
  struct Row { const char* text; double value; std::int32_t error; };
  const Row rows[] = {
      // blanks around the text and between a mark and the number
      {" 42 ", 42, 0}, {"\t-7\t", -7, 0}, {"- 5", -5, 0}, {"5 -", -5, 0}, {"4 2", 0, kBad},
      // one sign, in front or behind
      {"+5", 5, 0}, {"5-", -5, 0}, {"5+", 5, 0}, {"-5-", 0, kBad}, {"--5", 0, kBad}, {"-", 0, kBad},
      {"1.5E3-", -1500, 0},
      // parentheses for a negative amount
      {"(5)", -5, 0}, {"( 1,234.50 )", -1234.5, 0}, {"($12)", -12, 0}, {"(12$)", -12, 0},
      {"(-5)", 0, kBad}, {"(5", 0, kBad}, {"5)", 0, kBad}, {"()", 0, kBad}, {"$(5)", 0, kBad},
      // the dollar sign on either side, either side of a sign
      {"$5", 5, 0}, {"-$5", -5, 0}, {"$-5", -5, 0}, {"5$", 5, 0}, {"$5-", -5, 0}, {"$ 1,000", 1000, 0},
      {"$$5", 0, kBad}, {"$5$", 0, kBad}, {"$", 0, kBad}, {"5$5", 0, kBad},
      // "," grouping between digits of the whole part
      {"1,234", 1234, 0}, {"1,2,3", 123, 0}, {"12,345,678.9", 12345678.9, 0},
      {"1,", 0, kBad}, {",1", 0, kBad}, {"1,,2", 0, kBad}, {"1.2,3", 0, kBad},
      // decimal point and exponent
      {".5", 0.5, 0}, {"5.", 5, 0}, {"1.5E3", 1500, 0}, {"2e-2", 0.02, 0}, {"1E", 0, kBad}, {".", 0, kBad},
      {"1E400", 0, err::kOverflow},
      // radix texts take no marks
      {"&HFF", 255, 0}, {"&hffff", -1, 0}, {"&O17", 15, 0}, {"&H", 0, kBad}, {"-&H10", 0, kBad},
      {"(&H10)", 0, kBad}, {"&H1FFFFFFFF", 0, err::kOverflow},
      // no number
      {"", 0, kBad}, {"   ", 0, kBad}, {"True", 0, kBad}, {"12a", 0, kBad}, {"1 000", 0, kBad},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    double value = 0;
    EXPECT_EQ(Raised([&] { value = Variant(r.text).CDbl(); }), r.error);
    if (r.error == 0) {
      EXPECT_DOUBLE_EQ(value, r.value);
    }
    EXPECT_EQ(runtime::IsNumeric(Variant(r.text)), r.error != kBad);
  }
}

TEST(NumberText, CLngAndCIntRoundAndCheckTheirRanges) {
  struct Row { const char* text; std::int32_t lng; std::int32_t lngError; std::int32_t intError; };
  const Row rows[] = {
      {"(2.5)", -2, 0, 0},          {"3.5-", -4, 0, 0},           {"$1,234.5", 1234, 0, 0},
      {"32767.5", 32768, 0, err::kOverflow}, {"(32768.5)", -32768, 0, 0},
      {"2,147,483,647", 2147483647, 0, err::kOverflow}, {"2147483648-", -2147483647 - 1, 0, err::kOverflow},
      {"2147483647.5", 0, err::kOverflow, err::kOverflow}, {"$x", 0, kBad, kBad},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    std::int32_t lng = 0;
    EXPECT_EQ(Raised([&] { lng = Variant(r.text).CLng(); }), r.lngError);
    if (r.lngError == 0) {
      EXPECT_EQ(lng, r.lng);
    }
    std::int16_t in = 0;
    EXPECT_EQ(Raised([&] { in = Variant(r.text).CInt(); }), r.intError);
    if (r.intError == 0) {
      EXPECT_EQ(in, lng);
    }
  }
}

TEST(NumberText, CCurHoldsBothEndsExactlyAndOverflowsOneUnitPast) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  struct Row { const char* text; std::int64_t scaled; std::int32_t error; };
  const Row rows[] = {
      // the ends, written every way a clerk may write them
      {"922337203685477.5807", kMax, 0}, {"$922,337,203,685,477.5807", kMax, 0},
      {"-922337203685477.5808", kMin, 0}, {"(922,337,203,685,477.5808)", kMin, 0},
      {"922337203685477.5808-", kMin, 0}, {"92233720368547758.07E-2", kMax, 0},
      // one unit past either end, and past it only by rounding
      {"922337203685477.5808", 0, err::kOverflow}, {"-922337203685477.5809", 0, err::kOverflow},
      {"922337203685477.58075", 0, err::kOverflow}, {"922337203685477.58065", kMax - 1, 0},
      {"(922337203685477.58086)", 0, err::kOverflow},
      // rounding half to even at the fourth decimal
      {"($0.00005)", 0, 0}, {"0.00015", 2, 0}, {"1,234.56785", 12345678, 0},
      {"1E15", 0, err::kOverflow}, {"$", 0, kBad},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Currency c{-99};
    EXPECT_EQ(Raised([&] { c = Variant(r.text).CCur(); }), r.error);
    if (r.error == 0) {
      EXPECT_EQ(c.scaled, r.scaled);
    }
  }
  // The ends survive the way back to text.
  EXPECT_EQ(Variant(Variant("(922,337,203,685,477.5808)").CCur()).CStr(), "-922337203685477.5808");
}

TEST(NumberText, CBoolReadsTruthWordsThenNumbers) {
  struct Row { const char* text; bool value; std::int32_t error; };
  const Row rows[] = {
      // the words, in any letter case, with blanks, also in #..#
      {"True", true, 0}, {" fAlSe ", false, 0}, {"#TRUE#", true, 0}, {"#false#", false, 0},
      {"Yes", false, kBad}, {"T", false, kBad}, {"# TRUE #", false, kBad}, {"TrueX", false, kBad},
      // any number text: zero is False
      {"(1)", true, 0}, {"$0.00", false, 0}, {"0-", false, 0}, {"&H0", false, 0},
      {"", false, kBad},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    bool v = !r.value;
    EXPECT_EQ(Raised([&] { v = Variant(r.text).CBool(); }), r.error);
    if (r.error == 0) {
      EXPECT_EQ(v, r.value);
    }
  }
}

}  // namespace
}  // namespace tarnwick::test
