// Dates and times a clerk types, read the way CDate, IsDate and
// Format(text, "mm/dd/yyyy") read them (United States English).
//
// Rules:
//
//   blanks       spaces and tabs may stand before and after the text.
//   fields       a date has two or three fields: numbers and at most one
//                month name. Between numbers stands "/", "-", "." or blanks
//                ("3/4/2005", "3-4-2005", "3.4.2005", "3 4 2005"; blanks may
//                also surround the separator). Beside a month name any of
//                blanks, ",", "-", ".", "/" may stand, or nothing
//                ("4-Mar-2005", "March 4, 2005", "4Mar2005").
//   month names  "January" to "December", their three-letter abbreviations
//                and "Sept", in any letter case, in any of the positions
//                ("Mar 4 2005", "4 Mar 2005", "2005 Mar 4", "4 2005 Mar").
//   three numbers
//                month/day/year; when that is no date, day/month/year
//                ("13/1/2005" is 13 January 2005); then year/month/day. A
//                first field of three or four digits is always the year
//                ("2005-03-04").
//   two numbers  month/day of the current year, else day/month, else
//                month/year (day 1). A field of three or four digits is the
//                year: "3/2005" and "2005/3" are 1 March 2005.
//   a month name with one number: the day of the current year ("Mar 4"),
//                or the year when the number has three or four digits or
//                is above 31 ("March 2005", day 1).
//   a month name with two numbers: a year of three or four digits in front
//                is the year; otherwise the first is the day and the second
//                the year, and when that is no date the first is the year
//                and the second the day ("29Feb01" is 1 February 2029).
//   two-digit years
//                00-29 are 2000-2029, 30-99 are 1930-1999. A year of three
//                or four digits stands as written; years 100 to 9999 exist.
//   time         "h:mm", "h:mm:ss", each optionally followed by AM or PM (or
//                A, P), with or without a blank before it; or "h AM" / "h PM".
//                It stands alone (the day is then 30 Dec 1899, serial 0),
//                after the date or before it, with blanks between.
//                Without AM/PM the hour is 0-23. With AM, 12 is midnight and
//                hours 0-12 are taken. With PM, 1-11 move to the afternoon,
//                12 stays noon, 0 is noon, and an hour past 12 is taken as
//                written ("13:00 PM" is 13:00). An hour past 12 with AM is no
//                time. Minutes and seconds are 0-59, at most two digits.
//   no date      an impossible day ("2/29/2001"), a year outside 100-9999,
//                any other word or character, a number of more than four
//                digits in a date, more than three fields.
#pragma once

#include <optional>
#include <string_view>

#include "tarnwick/variant.hpp"

namespace tarnwick::runtime {

// The date the text names; nothing when it names none. Never throws.
std::optional<Date> ReadDateText(std::string_view text);

// IsDate: a Date is a date; a String is when ReadDateText reads it (exactly
// when CDate of it succeeds); nothing else is.
bool IsDate(const Variant& v);

}  // namespace tarnwick::runtime
