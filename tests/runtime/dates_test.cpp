// The runtime's calendar and date texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "runtime/dates.hpp"
#include "tarnwick/error.hpp"
#include "support/raises.hpp"

namespace tarnwick::test {
namespace {

using test::ErrorOf;

TEST(Dates, CivilAndSerialAgreeAtKnownPointsAndBounds) {
  struct Case { dates::Civil civil; double serial; };
  const Case cases[] = {
      {{1899, 12, 30}, 0.0},
      {{1899, 12, 31}, 1.0},
      {{1900, 1, 1}, 2.0},
      {{1900, 3, 1}, 61.0},            // 1900 was no leap year
      {{2004, 3, 5, 14, 30, 0}, 38051.0 + 14.5 / 24},
      {{1899, 12, 29, 12, 0, 0}, -1.5},
      {{1899, 12, 30, 6, 0, 0}, 0.25},
      {{100, 1, 1}, -657434.0},
      {{9999, 12, 31}, 2958465.0},
      {{2000, 2, 29}, 36585.0},
  };
  for (const Case& c : cases) {
    Date d = dates::FromCivil(c.civil);
    EXPECT_NEAR(d.serial, c.serial, 1e-9) << c.civil.year << "-" << c.civil.month << "-" << c.civil.day;
    dates::Civil back = dates::ToCivil(Date{c.serial});
    EXPECT_EQ(back.year, c.civil.year);
    EXPECT_EQ(back.month, c.civil.month);
    EXPECT_EQ(back.day, c.civil.day);
    EXPECT_EQ(back.hour * 3600 + back.minute * 60 + back.second,
              c.civil.hour * 3600 + c.civil.minute * 60 + c.civil.second);
  }
  EXPECT_EQ(ErrorOf([] { dates::FromCivil({99, 12, 31}); }), err::kOverflow);
  EXPECT_EQ(ErrorOf([] { dates::FromCivil({10000, 1, 1}); }), err::kOverflow);
  EXPECT_EQ(ErrorOf([] { dates::FromCivil({2001, 2, 29}); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { dates::FromCivil({2001, 4, 1, 24, 0, 0}); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { dates::ToCivil(Date{2958466.0}); }), err::kOverflow);
  EXPECT_EQ(ErrorOf([] { dates::ToCivil(Date{NAN}); }), err::kOverflow);
  // Rounding to whole seconds may carry into the next day, but never past the last one.
  EXPECT_EQ(dates::GeneralText(Date{1.9999999}), "1/1/1900");
  EXPECT_EQ(dates::GeneralText(Date{2958465.9999999}), "12/31/9999 11:59:59 PM");
}

TEST(Dates, Texts) {
  struct Case { double serial; const char* general; const char* mdy; const char* iso; };
  const Case cases[] = {
      {0.0, "12:00:00 AM", "12/30/1899", "1899-12-30 00:00:00"},
      {0.5, "12:00:00 PM", "12/30/1899", "1899-12-30 12:00:00"},
      {14.5 / 24, "2:30:00 PM", "12/30/1899", "1899-12-30 14:30:00"},
      {38051.0, "3/5/2004", "03/05/2004", "2004-03-05 00:00:00"},
      {38051.0 + 14.5 / 24, "3/5/2004 2:30:00 PM", "03/05/2004", "2004-03-05 14:30:00"},
      {38051.0 + 5.0 / 86400, "3/5/2004 12:00:05 AM", "03/05/2004", "2004-03-05 00:00:05"},
      {-1.5, "12/29/1899 12:00:00 PM", "12/29/1899", "1899-12-29 12:00:00"},
      {-657434.0, "1/1/100", "01/01/0100", "0100-01-01 00:00:00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(dates::GeneralText(Date{c.serial}), c.general);
    EXPECT_EQ(dates::MmDdYyyy(Date{c.serial}), c.mdy);
    EXPECT_EQ(dates::IsoText(Date{c.serial}), c.iso);
  }
}

TEST(Dates, ParsesUsLocaleTexts) {
  const int thisYear = dates::ToCivil(dates::Now()).year;
  struct Case { const char* text; const char* iso; };  // iso nullptr: not a date
  const Case cases[] = {
      {"3/4/2005", "2005-03-04 00:00:00"},
      {"3/4/05", "2005-03-04 00:00:00"},
      {"3-4-2005", "2005-03-04 00:00:00"},
      {"3/4/29", "2029-03-04 00:00:00"},
      {"3/4/30", "1930-03-04 00:00:00"},
      {"2005-03-04", "2005-03-04 00:00:00"},
      {"2005/03/04 14:30:00", "2005-03-04 14:30:00"},
      {" 3/5/2004 2:30:00 PM ", "2004-03-05 14:30:00"},
      {"3/5/2004 12:15 AM", "2004-03-05 00:15:00"},
      {"13/1/2005", "2005-01-13 00:00:00"},
      {"March 4, 2005", "2005-03-04 00:00:00"},
      {"4-Mar-2005", "2005-03-04 00:00:00"},
      {"29Feb01", "2029-02-01 00:00:00"},
      {"14:30", "1899-12-30 14:30:00"},
      {"2 PM", "1899-12-30 14:00:00"},
      {"2/29/2001", nullptr},
      {"13/13/2005", nullptr},
      {"38051", nullptr},
      {"abc", nullptr},
      {"", nullptr},
      {"3/4/2005 25:00", nullptr},
      {"3/4/2005 x", nullptr},
      {"1/1/99999", nullptr},
      {"Smarch 4, 2005", nullptr},
  };
  for (const Case& c : cases) {
    std::optional<Date> d = dates::ParseText(c.text);
    if (c.iso == nullptr) {
      EXPECT_FALSE(d.has_value()) << c.text;
    } else {
      ASSERT_TRUE(d.has_value()) << c.text;
      EXPECT_EQ(dates::IsoText(*d), c.iso) << c.text;
    }
  }
  std::optional<Date> noYear = dates::ParseText("3/4");
  ASSERT_TRUE(noYear.has_value());
  EXPECT_EQ(dates::ToCivil(*noYear).year, thisYear);
}

TEST(Dates, FormatMmDdYyyyOfColumnTexts) {
  struct Case { const char* in; const char* out; };
  const Case cases[] = {
      {"3/4/2005", "03/04/2005"}, {"3/4/05", "03/04/2005"}, {"2005-03-04", "03/04/2005"},
      {"3/5/2004 2:30:00 PM", "03/05/2004"}, {"13/1/2005", "01/13/2005"}, {"abc", "abc"},
      {"", ""}, {"38051", "03/05/2004"}, {"38051.75", "03/05/2004"}, {"1E10", "1E10"},
      {"03/04/2005", "03/04/2005"},
  };
  for (const Case& c : cases) EXPECT_EQ(dates::FormatMmDdYyyy(c.in), c.out) << c.in;
}

// The one calendar: every day from 1 January 1 to 31 December 9999 comes back
// as itself, consecutive days are consecutive numbers, and the month lengths
// are the Gregorian ones.
TEST(Dates, CivilDaysRoundTripOverTheWholeRange) {
  std::int64_t expected = dates::DaysFromCivil(1, 1, 1);
  for (int year = 1; year <= 9999; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= dates::DaysInMonth(year, month); ++day, ++expected) {
        const std::int64_t n = dates::DaysFromCivil(year, month, day);
        ASSERT_EQ(n, expected) << year << "-" << month << "-" << day;
        const dates::CivilDay back = dates::CivilFromDays(n);
        ASSERT_TRUE(back.year == year && back.month == month && back.day == day) << n;
      }
    }
  }
  EXPECT_EQ(dates::DaysFromCivil(1970, 1, 1), 0);
  EXPECT_EQ(dates::DaysInMonth(1900, 2), 28);
  EXPECT_EQ(dates::DaysInMonth(2000, 2), 29);
  EXPECT_EQ(dates::DaysInMonth(2004, 2), 29);
  EXPECT_EQ(dates::DaysInMonth(2005, 13), 0);
}

TEST(Dates, IsoFieldsAreReadExactlyAndChecked) {
  const auto f = dates::ReadIsoFields("2004-02-29T23:59:58.25");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->year, 2004);
  EXPECT_EQ(f->month, 2);
  EXPECT_EQ(f->day, 29);
  EXPECT_EQ(f->hour, 23);
  EXPECT_EQ(f->minute, 59);
  EXPECT_EQ(f->second, 58);
  EXPECT_DOUBLE_EQ(f->fraction, 0.25);
  EXPECT_TRUE(dates::ReadIsoFields("2005-03-04"));
  EXPECT_TRUE(dates::ReadIsoFields("2005-03-04 14:30"));
  for (const char* bad : {"2005-02-29", "2005-13-01", "2005-03-04 24:00", "2005-03-04 14:60", "2005-03-04 14:30:60",
                          "2005-03-04 14:30:00.", "2005-03-04 14:30:00.5x", " 2005-03-04", "2005-03-04 ",
                          "2005/03/04", "20050304", "2005-03-04 14", ""}) {
    EXPECT_FALSE(dates::ReadIsoFields(bad)) << bad;
  }
}

}  // namespace
}  // namespace tarnwick::test
