// Numbers, amounts, truth values, dates and times a clerk types, one table per
// conversion, grouped by the rule of runtime/number_marks.hpp or
// runtime/date_text.hpp each row checks. Every row also checks that IsNumeric
// or IsDate agrees with the conversion. CLng and CInt of typed text are in
// tests/runtime/values_test.cpp.

#include <limits>
#include <tuple>
#include <vector>

#include "runtime/date_text.hpp"
#include "runtime/dates.hpp"
#include "runtime/decimal_text.hpp"
#include "tarnwick/variant.hpp"
#include "support/raises.hpp"

namespace tarnwick::test {
namespace {

using test::ErrorOf;

constexpr std::int32_t kBad = err::kTypeMismatch;

TEST(NumberText, CDblReadsEveryMarkAndAgreesWithIsNumeric) {
  struct Row { const char* text; double value; std::int32_t error; };
  const Row rows[] = {
      // blanks around the text and between a mark and the number; one sign, in front or behind
      {" 42 ", 42, 0}, {"\t-7\t", -7, 0}, {"- 5", -5, 0}, {"5 -", -5, 0}, {"4 2", 0, kBad}, {"+5", 5, 0},
      {"5-", -5, 0}, {"-5-", 0, kBad}, {"--5", 0, kBad}, {"-", 0, kBad}, {"1.5E3-", -1500, 0},
      // parentheses for a negative amount; the dollar sign on either side, either side of a sign
      {"( 1,234.50 )", -1234.5, 0}, {"($12)", -12, 0}, {"(12$)", -12, 0}, {"(-5)", 0, kBad}, {"(5", 0, kBad},
      {"5)", 0, kBad}, {"()", 0, kBad}, {"$(5)", 0, kBad}, {"-$5", -5, 0}, {"$-5", -5, 0}, {"5$", 5, 0},
      {"$5-", -5, 0}, {"$ 1,000", 1000, 0}, {"$$5", 0, kBad}, {"$5$", 0, kBad}, {"$", 0, kBad}, {"5$5", 0, kBad},
      // "," grouping between digits of the whole part; decimal point and exponent
      {"1,2,3", 123, 0}, {"12,345,678.9", 12345678.9, 0}, {"1,", 0, kBad}, {",1", 0, kBad}, {"1,,2", 0, kBad},
      {"1.2,3", 0, kBad}, {".5", 0.5, 0}, {"5.", 5, 0}, {"2e-2", 0.02, 0}, {"1E", 0, kBad}, {".", 0, kBad},
      {"1E400", 0, err::kOverflow},
      // radix texts take no marks
      {"&HFF", 255, 0}, {"&hffff", -1, 0}, {"&O17", 15, 0}, {"&H", 0, kBad}, {"-&H10", 0, kBad},
      {"(&H10)", 0, kBad}, {"&H1FFFFFFFF", 0, err::kOverflow},
      // no number
      {"", 0, kBad}, {"   ", 0, kBad}, {"True", 0, kBad}, {"12a", 0, kBad}, {"1 000", 0, kBad}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    double value = 0;
    EXPECT_EQ(ErrorOf([&] { value = Variant(r.text).CDbl(); }), r.error);
    if (r.error == 0) { EXPECT_DOUBLE_EQ(value, r.value); }
    EXPECT_EQ(runtime::IsNumeric(Variant(r.text)), r.error != kBad);
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
      {"($0.00005)", 0, 0}, {"0.00015", 2, 0}, {"0.00025", 2, 0}, {"1,234.56785", 12345678, 0},
      {"1234.56775", 12345678, 0}, {"0.000051", 1, 0}, {"1E-30", 0, 0}, {"1E15", 0, err::kOverflow}, {"$", 0, kBad}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    Currency c{-99};
    EXPECT_EQ(ErrorOf([&] { c = Variant(r.text).CCur(); }), r.error);
    if (r.error == 0) { EXPECT_EQ(c.scaled, r.scaled); }
  }
  // The ends survive the way back to text.
  EXPECT_EQ(Variant(Variant("(922,337,203,685,477.5808)").CCur()).CStr(), "-922337203685477.5808");
}

TEST(NumberText, CBoolReadsTruthWordsThenNumbers) {
  struct Row { Variant in; bool value; std::int32_t error; };
  const std::vector<Row> rows = {
      // the words, in any letter case, with blanks, also in #..#
      {"True", true, 0}, {" fAlSe ", false, 0}, {"#TRUE#", true, 0}, {"#false#", false, 0},
      {"Yes", false, kBad}, {"T", false, kBad}, {"# TRUE #", false, kBad}, {"TrueX", false, kBad},
      // any number text: zero is False
      {"(1)", true, 0}, {"$0.00", false, 0}, {"0-", false, 0}, {"-0.0", false, 0}, {"&H0", false, 0}, {"", false, kBad},
      // values that are no text: any non-zero number is True, Null is no truth value
      {0.25, true, 0}, {Currency{0}, false, 0}, {Variant::Null(), false, err::kInvalidUseOfNull}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.in.Text());
    bool v = !r.value;
    EXPECT_EQ(ErrorOf([&] { v = r.in.CBool(); }), r.error);
    if (r.error == 0) { EXPECT_EQ(v, r.value); }
  }
}

// "yyyy-mm-dd hh:mm:ss" of CDate(text), the time left off at midnight, or "13" when CDate raises 13.
std::string ReadAs(const std::string& text) {
  try {
    const std::string iso = dates::IsoText(Variant(text).CDate());
    return iso.ends_with(" 00:00:00") ? iso.substr(0, 10) : iso;
  } catch (const RuntimeError& e) {
    return std::to_string(e.Number());
  }
}

TEST(DateText, CDateReadsEveryFormAndAgreesWithIsDate) {
  const std::string y = std::to_string(dates::ToCivil(dates::Now()).year);
  struct Row { std::string text, iso; };  // iso "13": no date
  const Row rows[] = {
      // separators between numbers: "/", "-", ".", blanks, blanks around a separator
      {"3-4-2005", "2005-03-04"}, {"3.4.2005", "2005-03-04"}, {"3 4 2005", "2005-03-04"},
      {" 3 / 4 / 2005 ", "2005-03-04"}, {"3/4-2005", "2005-03-04"}, {"3,4,2005", "13"}, {"3//4/2005", "13"},
      {"3/4/2005/", "13"},
      // two fields
      {"3/4", y + "-03-04"}, {"13.1", y + "-01-13"}, {"3/2005", "2005-03-01"}, {"2005-3", "2005-03-01"},
      {"2/45", "1945-02-01"}, {"5", "13"}, {"1/2/3/4", "13"},
      // three numbers: US order, then day/month/year, then year/month/day; leap days by the Gregorian rule
      {"13/1/2005", "2005-01-13"}, {"05/13/01", "2001-05-13"}, {"99/12/31", "1999-12-31"}, {"2005-03-04", "2005-03-04"},
      {"13/13/2005", "13"}, {"2/29/2001", "13"}, {"2/29/2004", "2004-02-29"}, {"2/29/2000", "2000-02-29"},
      {"2/29/1900", "13"}, {"1/1/99999", "13"}, {"1/1/100", "0100-01-01"}, {"12/31/9999", "9999-12-31"},
      {"2005-3-4-5", "13"},
      // month names and abbreviations in any position
      {"March 4, 2005", "2005-03-04"}, {"4 mar. 2005", "2005-03-04"}, {"4 2005 MARCH", "2005-03-04"},
      {"4Mar2005", "2005-03-04"}, {"Sept 30 99", "1999-09-30"}, {"Mar 4", y + "-03-04"}, {"March 2005", "2005-03-01"},
      {"29Feb01", "2029-02-01"}, {"Smarch 4, 2005", "13"}, {"Mar Apr 4", "13"}, {"March", "13"},
      // the two-digit-year window
      {"1/1/29", "2029-01-01"}, {"1/1/30", "1930-01-01"}, {"1/1/00", "2000-01-01"}, {"1/1/0099", "13"},
      // a time alone, after or before a date, with or without AM/PM
      {"14:30", "1899-12-30 14:30:00"}, {"2 PM", "1899-12-30 14:00:00"}, {"2pm", "1899-12-30 14:00:00"},
      {"2:30:15 a", "1899-12-30 02:30:15"}, {"12:00 AM", "1899-12-30"}, {"12:00 PM", "1899-12-30 12:00:00"},
      {"0:05 PM", "1899-12-30 12:05:00"}, {"3/5/2004 2:30:00 PM", "2004-03-05 14:30:00"},
      {"2:30 PM 3/5/2004", "2004-03-05 14:30:00"}, {"2005/03/04 14:30:00", "2005-03-04 14:30:00"},
      {"3/5/2004 12:15 AM", "2004-03-05 00:15:00"},
      // an hour past 12 with PM is taken as written; with AM it is no time
      {"13:00 PM", "1899-12-30 13:00:00"}, {"3/5/2004 23:59:59 PM", "2004-03-05 23:59:59"}, {"13:00 AM", "13"},
      {"24:00", "13"}, {"10:60", "13"}, {"10:5:100", "13"}, {"2", "13"}, {"3/5/2004 2:30 PM x", "13"},
      {"3/5/2004T14:30", "13"},
      // no date
      {"", "13"}, {"   ", "13"}, {"38051", "13"}, {"abc", "13"}, {"3/4/2005 #", "13"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ((std::tuple{ReadAs(r.text), runtime::IsDate(Variant(r.text))}), std::tuple(r.iso, r.iso != "13"));
  }
  EXPECT_EQ(std::tuple(runtime::IsDate(Variant(Date{1.0})), runtime::IsDate(Variant(std::int32_t{38051})),
                       runtime::IsDate(Variant::Null())), std::tuple(true, false, false));
}

TEST(DateText, FormatGivesMmDdYyyyForDatesThenSerialsElseTheText) {
  struct Row { const char* in; const char* out; };
  const Row rows[] = {
      // a date text, in any form CDate reads
      {"3.4.05", "03/04/2005"}, {"4 Mar 2005", "03/04/2005"}, {"2:30 PM 3/5/2004", "03/05/2004"},
      {"13/1/2005", "01/13/2005"}, {"03/04/2005", "03/04/2005"},
      // a number that is no date: a serial
      {"38051", "03/05/2004"}, {"$38,051.75", "03/05/2004"}, {"(1)", "12/29/1899"},
      // anything else comes back unchanged
      {"1E10", "1E10"}, {"abc", "abc"}, {"", ""}, {"13:00 AM", "13:00 AM"}};
  for (const Row& r : rows) EXPECT_EQ(dates::FormatMmDdYyyy(r.in), r.out) << r.in;
}

}  // namespace
}  // namespace tarnwick::test
