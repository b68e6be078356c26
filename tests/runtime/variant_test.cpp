// Variant conversions and comparisons.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "runtime/decimal_text.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/recordset.hpp"
#include "tarnwick/variant.hpp"
#include "support/raises.hpp"

namespace tarnwick::test {
namespace {

using test::ErrorOf;

TEST(VariantText, DoubleFollowsFifteenDigitRule) {
  struct Case { double value; const char* text; };
  const Case cases[] = {
      {0.5, "0.5"},           {-2.5, "-2.5"},         {1234.5, "1234.5"},
      {0.1 + 0.2, "0.3"},     {1.0 / 3, "0.333333333333333"}, {123456789012345.0, "123456789012345"},
      {1e15, "1E+15"},        {1e20, "1E+20"},        {0.0001, "0.0001"},
      {5.6789e-5, "0.000056789"}, {5.6789e-12, "5.6789E-12"}, {-0.0, "0"},
      {1e-15, "0.000000000000001"}, {1.5e-16, "1.5E-16"}, {-1234567890123456789.0, "-1.23456789012346E+18"},
      {100.0, "100"},         {2.0 / 3 * 1e10, "6666666666.66667"}, {1.23456789012346e-6, "1.23456789012346E-06"},
  };
  for (const Case& c : cases) EXPECT_EQ(Variant(c.value).CStr(), c.text) << c.value;
  EXPECT_EQ(ErrorOf([] { (void)Variant(std::numeric_limits<double>::infinity()).CStr(); }), err::kOverflow);
}

TEST(VariantText, OtherKinds) {
  EXPECT_EQ(Variant().CStr(), "");
  EXPECT_EQ(Variant(true).CStr(), "True");
  EXPECT_EQ(Variant(false).Text(), "False");
  EXPECT_EQ(Variant(std::int16_t{-32768}).CStr(), "-32768");
  EXPECT_EQ(Variant(std::int32_t{-2147483647 - 1}).CStr(), "-2147483648");
  EXPECT_EQ(Variant(Currency{12345000}).CStr(), "1234.5");
  EXPECT_EQ(Variant(Currency{-1}).CStr(), "-0.0001");
  EXPECT_EQ(Variant(Currency{50000}).CStr(), "5");
  EXPECT_EQ(Variant(Currency{std::numeric_limits<std::int64_t>::min()}).CStr(), "-922337203685477.5808");
  EXPECT_EQ(Variant(Date{38051.0 + 14.5 / 24}).CStr(), "3/5/2004 2:30:00 PM");
  EXPECT_EQ(Variant("abc").CStr(), "abc");
  // Bytes pair into UTF-16 units, an odd last byte standing alone.
  EXPECT_EQ(Variant(Bytes{0x41, 0x00, 0xE9, 0x00, 0x42}).CStr(), "A\xC3\xA9" "B");
  // Null: the joined-to-text form is "", CStr refuses it.
  EXPECT_EQ(Variant::Null().Text(), "");
  EXPECT_EQ(ErrorOf([] { (void)Variant::Null().CStr(); }), err::kInvalidUseOfNull);
  // Objects have no default member; Nothing has no object at all.
  EXPECT_EQ(ErrorOf([] { (void)Variant(Recordset::Create()).Text(); }), err::kNoSuchMember);
  EXPECT_EQ(ErrorOf([] { (void)Variant(std::shared_ptr<Recordset>()).CStr(); }), err::kObjectNotSet);
  EXPECT_EQ(ErrorOf([] { (void)Variant(std::shared_ptr<Recordset>()).CLng(); }), err::kObjectNotSet);
}

TEST(VariantConvert, WholeNumbers) {
  struct Case { Variant in; std::int32_t lng; std::int32_t lngErr; std::int16_t intValue; std::int32_t intErr; };
  const std::vector<Case> cases = {
      {2.5, 2, 0, 2, 0},          {3.5, 4, 0, 4, 0},         {-2.5, -2, 0, -2, 0},
      {0.5, 0, 0, 0, 0},          {1.5, 2, 0, 2, 0},         {"12.5", 12, 0, 12, 0},
      {" 42 ", 42, 0, 42, 0},     {"1,234", 1234, 0, 1234, 0}, {"-1.5E1", -15, 0, -15, 0},
      {"$7", 7, 0, 7, 0},         {"&HFFFF", -1, 0, -1, 0},  {"&H10000", 65536, 0, 0, err::kOverflow},
      {"&O17", 15, 0, 15, 0},     {"42x", 0, err::kTypeMismatch, 0, err::kTypeMismatch},
      {"", 0, err::kTypeMismatch, 0, err::kTypeMismatch}, {"1,", 0, err::kTypeMismatch, 0, err::kTypeMismatch},
      {".", 0, err::kTypeMismatch, 0, err::kTypeMismatch}, {"&H1FFFFFFFF", 0, err::kOverflow, 0, err::kOverflow},
      {32767.5, 32768, 0, 0, err::kOverflow}, {-32768.5, -32768, 0, -32768, 0},
      {2147483647.5, 0, err::kOverflow, 0, err::kOverflow}, {-2147483648.0, -2147483647 - 1, 0, 0, err::kOverflow},
      {true, -1, 0, -1, 0},       {Variant(), 0, 0, 0, 0},   {Currency{25000}, 2, 0, 2, 0},
      {Currency{35000}, 4, 0, 4, 0}, {Currency{-25001}, -3, 0, -3, 0}, {Date{38051.5}, 38052, 0, 0, err::kOverflow},
      {Variant::Null(), 0, err::kInvalidUseOfNull, 0, err::kInvalidUseOfNull},
      {Bytes{1}, 0, err::kTypeMismatch, 0, err::kTypeMismatch},
  };
  for (const Case& c : cases) {
    const std::string what = c.in.Text();
    std::int32_t lng = 0;
    std::int16_t in = 0;
    EXPECT_EQ(ErrorOf([&] { lng = c.in.CLng(); }), c.lngErr) << what;
    EXPECT_EQ(ErrorOf([&] { in = c.in.CInt(); }), c.intErr) << what;
    if (c.lngErr == 0) {
      EXPECT_EQ(lng, c.lng) << what;
    }
    if (c.intErr == 0) {
      EXPECT_EQ(in, c.intValue) << what;
    }
  }
}

TEST(VariantConvert, BooleanDoubleCurrency) {
  struct BoolCase { Variant in; bool value; std::int32_t err; };
  const std::vector<BoolCase> bools = {
      {"1", true, 0},   {"0", false, 0},  {"false", false, 0}, {" TRUE ", true, 0}, {"#FALSE#", false, 0},
      {"-0.0", false, 0}, {"", false, err::kTypeMismatch}, {"Yes", false, err::kTypeMismatch},
      {0.25, true, 0},  {Currency{0}, false, 0}, {Variant::Null(), false, err::kInvalidUseOfNull},
  };
  for (const BoolCase& c : bools) {
    bool v = !c.value;
    EXPECT_EQ(ErrorOf([&] { v = c.in.CBool(); }), c.err) << c.in.Text();
    if (c.err == 0) {
      EXPECT_EQ(v, c.value) << c.in.Text();
    }
  }

  EXPECT_DOUBLE_EQ(Variant(" 1,234.5 ").CDbl(), 1234.5);
  EXPECT_DOUBLE_EQ(Variant(Currency{-15}).CDbl(), -0.0015);
  EXPECT_EQ(ErrorOf([] { (void)Variant("1E400").CDbl(); }), err::kOverflow);
  EXPECT_EQ(ErrorOf([] { (void)Variant("3/4/2005").CDbl(); }), err::kTypeMismatch);

  struct CurCase { Variant in; std::int64_t scaled; std::int32_t err; };
  const std::vector<CurCase> curs = {
      {"1234.56785", 12345678, 0},  {"1234.56775", 12345678, 0}, {"0.00015", 2, 0}, {"0.00025", 2, 0},
      {"0.000051", 1, 0},           {"-0.00005", 0, 0},          {"922337203685477.5807", std::numeric_limits<std::int64_t>::max(), 0},
      {"-922337203685477.5808", std::numeric_limits<std::int64_t>::min(), 0},
      {"922337203685477.5808", 0, err::kOverflow}, {"1E15", 0, err::kOverflow}, {"1E-30", 0, 0},
      {1234.5, 12345000, 0},        {1e16, 0, err::kOverflow},   {std::int32_t{-7}, -70000, 0},
      {"abc", 0, err::kTypeMismatch},
  };
  for (const CurCase& c : curs) {
    Currency v{-99};
    EXPECT_EQ(ErrorOf([&] { v = c.in.CCur(); }), c.err) << c.in.Text();
    if (c.err == 0) {
      EXPECT_EQ(v.scaled, c.scaled) << c.in.Text();
    }
  }
}

TEST(VariantConvert, DatesAndObjects) {
  EXPECT_EQ(Variant("3/5/2004 2:30 PM").CDate(), (Date{38051.0 + 14.5 / 24}));
  EXPECT_EQ(Variant(std::int32_t{2}).CDate(), Date{2.0});
  EXPECT_EQ(Variant().CDate(), Date{0.0});
  EXPECT_EQ(Variant(-657434.5).CDate(), Date{-657434.5});
  EXPECT_EQ(ErrorOf([] { (void)Variant(2958466.0).CDate(); }), err::kOverflow);
  EXPECT_EQ(ErrorOf([] { (void)Variant(-657435.0).CDate(); }), err::kOverflow);
  EXPECT_EQ(ErrorOf([] { (void)Variant("not a date").CDate(); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { (void)Variant("38051").CDate(); }), err::kTypeMismatch);

  auto rs = Recordset::Create();
  EXPECT_EQ(Variant(rs).AsRecordset(), rs);
  EXPECT_TRUE(Variant(std::shared_ptr<Recordset>()).IsNothing());
  EXPECT_EQ(ErrorOf([] { (void)Variant(std::int32_t{1}).AsRecordset(); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([&] { (void)Variant(rs).AsObject(); }), err::kTypeMismatch);
  EXPECT_EQ(ErrorOf([] { (void)Variant("x").AsBytes(); }), err::kTypeMismatch);
}

TEST(VariantEquality, IsStructural) {
  EXPECT_EQ(Variant::Null(), Variant::Null());
  EXPECT_NE(Variant(), Variant::Null());
  EXPECT_NE(Variant(std::int32_t{1}), Variant(std::int16_t{1}));
  EXPECT_NE(Variant("a"), Variant("A"));
  EXPECT_NE(Variant("a "), Variant("a"));
  EXPECT_EQ(Variant(Currency{5}), Variant(Currency{5}));
  EXPECT_NE(Variant(""), Variant());
}

TEST(RuntimeHelpers, ValAndIsNumeric) {
  struct ValCase { const char* in; double out; };
  const ValCase vals[] = {{"  4 2", 42}, {"42x", 42}, {"abc", 0}, {"", 0}, {"-7", -7}, {"1e3", 1000},
                          {"1,234", 1}, {"12.5", 12.5}, {"&HFFFF", -1}, {"50.5%", 50.5}, {"$5", 0}};
  for (const ValCase& v : vals) EXPECT_DOUBLE_EQ(runtime::Val(v.in), v.out) << v.in;

  EXPECT_TRUE(runtime::IsNumeric(Variant()));
  EXPECT_TRUE(runtime::IsNumeric(Variant(" 12 ")));
  EXPECT_TRUE(runtime::IsNumeric(Variant(true)));
  EXPECT_FALSE(runtime::IsNumeric(Variant("")));
  EXPECT_FALSE(runtime::IsNumeric(Variant("12a")));
  EXPECT_FALSE(runtime::IsNumeric(Variant::Null()));
  EXPECT_FALSE(runtime::IsNumeric(Variant(Date{1.0})));
}

}  // namespace
}  // namespace tarnwick::test
