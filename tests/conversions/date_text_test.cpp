// Dates and times a clerk types, one table for CDate and one for
// Format(text, "mm/dd/yyyy"), grouped by the rule of runtime/date_text.hpp
// each row checks. Every row also checks that IsDate agrees with CDate.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "runtime/date_text.hpp"
#include "runtime/dates.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::test {
namespace {

// "yyyy-mm-dd hh:mm:ss" of CDate(text), or "13" when CDate raises 13.
std::string ReadAs(const std::string& text) {
  try {
    return dates::IsoText(Variant(text).CDate());
  } catch (const RuntimeError& e) {
    return std::to_string(e.Number());
  }
}

TEST(DateText, CDateReadsEveryFormAndAgreesWithIsDate) {
  const std::string year = std::to_string(dates::ToCivil(dates::Now()).year);
  struct Row { std::string text, iso; };  // iso "13": no date
  const Row rows[] = {
      // separators between numbers: "/", "-", ".", blanks, blanks around a separator
      {"3/4/2005", "2005-03-04 00:00:00"}, {"3-4-2005", "2005-03-04 00:00:00"},
      {"3.4.2005", "2005-03-04 00:00:00"}, {"3 4 2005", "2005-03-04 00:00:00"},
      {" 3 / 4 / 2005 ", "2005-03-04 00:00:00"}, {"3/4-2005", "2005-03-04 00:00:00"},
      {"3,4,2005", "13"}, {"3//4/2005", "13"}, {"/3/4/2005", "13"}, {"3/4/2005/", "13"},
      // two fields
      {"3/4", year + "-03-04 00:00:00"}, {"13.1", year + "-01-13 00:00:00"}, {"3/2005", "2005-03-01 00:00:00"},
      {"2005-3", "2005-03-01 00:00:00"}, {"2/45", "1945-02-01 00:00:00"}, {"5", "13"}, {"1/2/3/4", "13"},
      // three numbers: US order, then day/month/year, then year/month/day
      {"13/1/2005", "2005-01-13 00:00:00"}, {"05/13/01", "2001-05-13 00:00:00"},
      {"99/12/31", "1999-12-31 00:00:00"}, {"2005-03-04", "2005-03-04 00:00:00"},
      {"13/13/2005", "13"}, {"2/29/2001", "13"}, {"2/29/2004", "2004-02-29 00:00:00"},
      {"2/29/2000", "2000-02-29 00:00:00"},
      {"1/1/99999", "13"}, {"1/1/100", "0100-01-01 00:00:00"}, {"12/31/9999", "9999-12-31 00:00:00"},
      {"2005-3-4-5", "13"},
      // month names and abbreviations in any position
      {"March 4, 2005", "2005-03-04 00:00:00"}, {"4-Mar-2005", "2005-03-04 00:00:00"},
      {"4 mar. 2005", "2005-03-04 00:00:00"}, {"2005 Mar 4", "2005-03-04 00:00:00"},
      {"4 2005 MARCH", "2005-03-04 00:00:00"}, {"4Mar2005", "2005-03-04 00:00:00"},
      {"Sept 30 99", "1999-09-30 00:00:00"}, {"Mar 4", year + "-03-04 00:00:00"},
      {"March 2005", "2005-03-01 00:00:00"}, {"29Feb01", "2029-02-01 00:00:00"},
      {"Smarch 4, 2005", "13"}, {"Mar Apr 4", "13"}, {"Mar 4 2005 x", "13"}, {"March", "13"},
      // the two-digit-year window
      {"1/1/29", "2029-01-01 00:00:00"}, {"1/1/30", "1930-01-01 00:00:00"}, {"1/1/00", "2000-01-01 00:00:00"},
      {"1/1/0099", "13"},
      // a time alone, after or before a date, with or without AM/PM
      {"14:30", "1899-12-30 14:30:00"}, {"2 PM", "1899-12-30 14:00:00"}, {"2pm", "1899-12-30 14:00:00"},
      {"2:30:15 a", "1899-12-30 02:30:15"}, {"12:00 AM", "1899-12-30 00:00:00"}, {"12:00 PM", "1899-12-30 12:00:00"},
      {"0:05 PM", "1899-12-30 12:05:00"}, {"3/5/2004 2:30:00 PM", "2004-03-05 14:30:00"},
      {"2:30 PM 3/5/2004", "2004-03-05 14:30:00"}, {"2005-03-04 14:30:00", "2005-03-04 14:30:00"},
      // an hour past 12 with PM is taken as written; with AM it is no time
      {"13:00 PM", "1899-12-30 13:00:00"}, {"3/5/2004 23:59:59 PM", "2004-03-05 23:59:59"},
      {"13:00 AM", "13"}, {"24:00", "13"}, {"10:60", "13"}, {"10:5:100", "13"}, {"2", "13"},
      {"3/5/2004 2:30 PM x", "13"}, {"3/5/2004T14:30", "13"},
      // no date
      {"", "13"}, {"   ", "13"}, {"38051", "13"}, {"abc", "13"}, {"3/4/2005 #", "13"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    EXPECT_EQ(ReadAs(r.text), r.iso);
    EXPECT_EQ(runtime::IsDate(Variant(r.text)), r.iso != "13");
  }
  EXPECT_TRUE(runtime::IsDate(Variant(Date{1.0})));
  EXPECT_FALSE(runtime::IsDate(Variant(std::int32_t{38051})));
  EXPECT_FALSE(runtime::IsDate(Variant::Null()));
}

TEST(DateText, FormatGivesMmDdYyyyForDatesThenSerialsElseTheText) {
  struct Row { const char* in; const char* out; };
  const Row rows[] = {
      // a date text, in any form CDate reads
      {"3.4.05", "03/04/2005"}, {"4 Mar 2005", "03/04/2005"}, {"2:30 PM 3/5/2004", "03/05/2004"},
      {"13/1/2005", "01/13/2005"},
      // a number that is no date: a serial
      {"38051", "03/05/2004"}, {"$38,051.75", "03/05/2004"}, {"(1)", "12/29/1899"},
      // anything else comes back unchanged
      {"1E10", "1E10"}, {"abc", "abc"}, {"", ""}, {"13:00 AM", "13:00 AM"},
  };
  for (const Row& r : rows) EXPECT_EQ(dates::FormatMmDdYyyy(r.in), r.out) << r.in;
}

}  // namespace
}  // namespace tarnwick::test
