// The runtime's values: the calendar and date texts, and Variant conversions
// and comparisons of values that are not typed text. What a clerk may type as
// a number or a date is read by the tables in tests/conversions.

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "runtime/dates.hpp"
#include "runtime/decimal_text.hpp"
#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"
#include "support/raises.hpp"

namespace tarnwick::test {
namespace {

using test::ErrorOf;

TEST(Dates, CivilSerialAndTextsAgreeAtKnownPointsAndBounds) {
  struct Case { dates::Civil civil; double serial; const char* texts; };  // general|mm/dd/yyyy|ISO
  const Case cases[] = {
      {{1899, 12, 30}, 0.0, "12:00:00 AM|12/30/1899|1899-12-30 00:00:00"},
      {{1899, 12, 30, 14, 30, 0}, 14.5 / 24, "2:30:00 PM|12/30/1899|1899-12-30 14:30:00"},
      {{1900, 1, 1}, 2.0, "1/1/1900|01/01/1900|1900-01-01 00:00:00"},
      {{1900, 3, 1}, 61.0, "3/1/1900|03/01/1900|1900-03-01 00:00:00"},  // 1900 was no leap year
      {{2000, 2, 29}, 36585.0, "2/29/2000|02/29/2000|2000-02-29 00:00:00"},
      {{2004, 3, 5, 14, 30, 0}, 38051.0 + 14.5 / 24, "3/5/2004 2:30:00 PM|03/05/2004|2004-03-05 14:30:00"},
      {{2004, 3, 5, 0, 0, 5}, 38051.0 + 5.0 / 86400, "3/5/2004 12:00:05 AM|03/05/2004|2004-03-05 00:00:05"},
      // Before day 0 the time still counts forward from midnight.
      {{1899, 12, 29, 12, 0, 0}, -1.5, "12/29/1899 12:00:00 PM|12/29/1899|1899-12-29 12:00:00"},
      {{100, 1, 1}, -657434.0, "1/1/100|01/01/0100|0100-01-01 00:00:00"},
      {{9999, 12, 31}, 2958465.0, "12/31/9999|12/31/9999|9999-12-31 00:00:00"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.texts);
    const Date d{c.serial};
    EXPECT_NEAR(dates::FromCivil(c.civil).serial, c.serial, 1e-9);
    const dates::Civil b = dates::ToCivil(d), &w = c.civil;
    EXPECT_EQ(std::tie(b.year, b.month, b.day, b.hour, b.minute, b.second),
              std::tie(w.year, w.month, w.day, w.hour, w.minute, w.second));
    EXPECT_EQ(dates::GeneralText(d) + "|" + dates::MmDdYyyy(d) + "|" + dates::IsoText(d), c.texts);
  }
  for (const auto& [civil, error] : {std::pair{dates::Civil{99, 12, 31}, err::kOverflow}, {{10000, 1, 1}, err::kOverflow},
                                     {{2001, 2, 29}, err::kTypeMismatch}, {{2001, 4, 1, 24, 0, 0}, err::kTypeMismatch}})
    EXPECT_EQ(ErrorOf([&] { dates::FromCivil(civil); }), error) << civil.year;
  for (const double serial : {2958466.0, double{NAN}}) EXPECT_EQ(ErrorOf([&] { dates::ToCivil(Date{serial}); }), err::kOverflow);
  // Rounding to whole seconds may carry into the next day, but never past the last one.
  EXPECT_EQ(dates::GeneralText(Date{1.9999999}), "1/1/1900");
  EXPECT_EQ(dates::GeneralText(Date{2958465.9999999}), "12/31/9999 11:59:59 PM");
}

// The one calendar: every day from 1 January 1 to 31 December 9999 comes back
// as itself, consecutive days are consecutive numbers, and the month lengths
// are the Gregorian ones.
TEST(Dates, CivilDaysRoundTripOverTheWholeRange) {
  std::int64_t n = dates::DaysFromCivil(1, 1, 1);
  for (int y = 1; y <= 9999; ++y) {
    for (int m = 1; m <= 12; ++m) {
      for (int d = 1; d <= dates::DaysInMonth(y, m); ++d, ++n) {
        const dates::CivilDay back = dates::CivilFromDays(n);
        ASSERT_TRUE(dates::DaysFromCivil(y, m, d) == n && back.year == y && back.month == m && back.day == d) << n;
      }
    }
  }
  EXPECT_EQ(dates::DaysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(std::make_tuple(dates::DaysInMonth(1900, 2), dates::DaysInMonth(2000, 2), dates::DaysInMonth(2005, 13)),
            std::make_tuple(28, 29, 0));
}

// What a conversion gives, as text, or "#" and the number of the error it raises.
std::string Converted(const Variant& v, char to) {
  try {
    switch (to) {
      case 'L': return Variant(v.CLng()).CStr();
      case 'I': return std::to_string(v.CInt());
      case 'D': return Variant(v.CDbl()).CStr();
      case 'C': return Variant(v.CCur()).CStr();
      case 'T': return Variant(v.CDate()).CStr();
      default: return v.CStr();
    }
  } catch (const RuntimeError& e) {
    return "#" + std::to_string(e.Number());
  }
}

// CLng and CInt round half to even and check their own ranges; True is -1.
// The stored-date reader of both engines takes only a whole, valid ISO text.
TEST(Dates, IsoFieldsAreReadExactlyAndChecked) {
  const auto f = dates::ReadIsoFields("2004-02-29T23:59:58.25");
  ASSERT_TRUE(f);
  EXPECT_EQ(std::tie(f->year, f->month, f->day, f->hour, f->minute, f->second), std::make_tuple(2004, 2, 29, 23, 59, 58));
  EXPECT_DOUBLE_EQ(f->fraction, 0.25);
  EXPECT_TRUE(dates::ReadIsoFields("2005-03-04") && dates::ReadIsoFields("2005-03-04 14:30"));
  for (const char* bad : {"2005-02-29", "2005-13-01", "2005-03-04 24:00", "2005-03-04 14:60", "2005-03-04 14:30:60",
                          "2005-03-04 14:30:00.", "2005-03-04 14:30:00.5x", " 2005-03-04", "2005-03-04 ",
                          "2005/03/04", "20050304", "2005-03-04 14", ""}) {
    EXPECT_FALSE(dates::ReadIsoFields(bad)) << bad;
  }
}

TEST(VariantConvert, WholeNumbers) {
  struct Case { Variant in; const char *lng, *integer; };
  const std::vector<Case> cases = {
      {2.5, "2", "2"}, {3.5, "4", "4"}, {-2.5, "-2", "-2"}, {0.5, "0", "0"}, {1.5, "2", "2"},
      {32767.5, "32768", "#6"}, {-32768.5, "-32768", "-32768"}, {2147483647.5, "#6", "#6"},
      {-2147483648.0, "-2147483648", "#6"}, {true, "-1", "-1"}, {Variant(), "0", "0"}, {Currency{25000}, "2", "2"},
      {Currency{35000}, "4", "4"}, {Currency{-25001}, "-3", "-3"}, {Date{38051.5}, "38052", "#6"},
      {Variant::Null(), "#94", "#94"}, {Bytes{1}, "#13", "#13"},
      // typed text takes every mark of a number, then rounds the same way
      {"(2.5)", "-2", "-2"}, {"3.5-", "-4", "-4"}, {"$1,234.5", "1234", "1234"}, {"(32768.5)", "-32768", "-32768"},
      {"2,147,483,647", "2147483647", "#6"}, {"2147483648-", "-2147483648", "#6"}, {"$x", "#13", "#13"},
      // a hexadecimal text is 16 bits wide while it fits, so &HFFFF is -1
      {"&HFFFF", "-1", "-1"}, {"&H10000", "65536", "#6"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in.Text());
    EXPECT_EQ((std::tuple{Converted(c.in, 'L'), Converted(c.in, 'I')}), std::tuple(c.lng, c.integer));
  }
}

// D: CDbl, C: CCur, T: CDate, S: CStr. A Double is written with at most 15 significant digits.
TEST(VariantConvert, OtherKindsAndText) {
  const auto minCur = Currency{std::numeric_limits<std::int64_t>::min()};
  struct Case { Variant in; char to; const char* out; };
  const std::vector<Case> cases = {
      {0.5, 'S', "0.5"}, {-2.5, 'S', "-2.5"}, {1234.5, 'S', "1234.5"}, {0.1 + 0.2, 'S', "0.3"}, {-0.0, 'S', "0"},
      {1.0 / 3, 'S', "0.333333333333333"}, {123456789012345.0, 'S', "123456789012345"}, {1e15, 'S', "1E+15"},
      {1e20, 'S', "1E+20"}, {0.0001, 'S', "0.0001"}, {5.6789e-5, 'S', "0.000056789"}, {5.6789e-12, 'S', "5.6789E-12"},
      {1e-15, 'S', "0.000000000000001"}, {1.5e-16, 'S', "1.5E-16"}, {100.0, 'S', "100"},
      {-1234567890123456789.0, 'S', "-1.23456789012346E+18"}, {2.0 / 3 * 1e10, 'S', "6666666666.66667"},
      {1.23456789012346e-6, 'S', "1.23456789012346E-06"}, {std::numeric_limits<double>::infinity(), 'S', "#6"},
      {true, 'D', "-1"}, {Currency{-15}, 'D', "-0.0015"}, {"3/4/2005", 'D', "#13"}, {1234.5, 'C', "1234.5"},
      {std::int32_t{-7}, 'C', "-7"}, {true, 'C', "-1"}, {1e16, 'C', "#6"}, {std::int32_t{2}, 'T', "1/1/1900"},
      {Variant(), 'T', "12:00:00 AM"}, {-657434.5, 'T', "1/1/100 12:00:00 PM"}, {2958466.0, 'T', "#6"},
      {-657435.0, 'T', "#6"}, {Variant(), 'S', ""}, {true, 'S', "True"}, {false, 'S', "False"},
      {std::int32_t{-2147483647 - 1}, 'S', "-2147483648"}, {Currency{-1}, 'S', "-0.0001"},
      {minCur, 'S', "-922337203685477.5808"},
      // Money converts exactly to the edge of its range, rounding the exact value half to even.
      {922337203685476.0, 'C', "922337203685476"}, {-922337203685476.0, 'C', "-922337203685476"},
      {922337203685477.0, 'C', "922337203685477"}, {-922337203685477.5, 'C', "-922337203685477.5"},
      {922337203685477.5, 'C', "922337203685477.5"}, {922337203685477.625, 'C', "#6"},
      {-922337203685477.625, 'C', "#6"}, {0.00005, 'C', "0.0001"}, {0.00015, 'C', "0.0001"}, {0.00025, 'C', "0.0003"},
      {"922337203685477.5807", 'C', "922337203685477.5807"}, {"922337203685477.5808", 'C', "#6"},
      {"-922337203685477.5808", 'C', "-922337203685477.5808"},
      // Bytes pair into UTF-16 units, an odd last byte standing alone.
      {Bytes{0x41, 0x00, 0xE9, 0x00, 0x42}, 'S', "A\xC3\xA9" "B"},
      // Null is no text; objects have no default member; Nothing has no object at all.
      {Variant::Null(), 'S', "#94"}, {Recordset::Create(), 'S', "#438"}, {std::shared_ptr<Recordset>(), 'L', "#91"}};
  for (const Case& c : cases) EXPECT_EQ(Converted(c.in, c.to), c.out) << c.in.Text() << " " << c.to;
  EXPECT_EQ(Variant::Null().Text(), "");

  auto rs = Recordset::Create();
  EXPECT_EQ(Variant(rs).AsRecordset(), rs);
  EXPECT_TRUE(Variant(std::shared_ptr<Recordset>()).IsNothing());
  EXPECT_EQ(ErrorOf([] { (void)Variant(std::int32_t{1}).AsRecordset(); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([&] { (void)Variant(rs).AsObject(); }), err::kTypeMismatch);
}

TEST(RuntimeHelpers, ValAndIsNumeric) {
  struct ValCase { const char* in; double out; };
  const ValCase vals[] = {{"  4 2", 42}, {"42x", 42}, {"abc", 0}, {"", 0}, {"-7", -7}, {"1e3", 1000},
                          {"1,234", 1}, {"12.5", 12.5}, {"&HFFFF", -1}, {"50.5%", 50.5}, {"$5", 0}};
  for (const ValCase& v : vals) EXPECT_DOUBLE_EQ(runtime::Val(v.in), v.out) << v.in;
  EXPECT_TRUE(runtime::IsNumeric(Variant()) && runtime::IsNumeric(Variant(true)));
  EXPECT_FALSE(runtime::IsNumeric(Variant::Null()) || runtime::IsNumeric(Variant(Date{1.0})));
}

}  // namespace
}  // namespace tarnwick::test
