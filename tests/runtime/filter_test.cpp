// Filter and Find criteria of result sets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnwick/error.hpp"
#include "tarnwick/recordset.hpp"
#include "support/raises.hpp"

namespace tarnwick::test {
namespace {

using test::ErrorOf;

// Five filings: id, committee name, amount, filed date, flag, a column with blanks in its name.
std::shared_ptr<Recordset> Filings() {
  auto row = [](std::int32_t id, Variant name, double amount, double filed, bool flag, const char* county) {
    return std::vector<Variant>{Variant(id), std::move(name), Variant(Currency{static_cast<std::int64_t>(amount * 10000)}),
                                Variant(Date{filed}), Variant(flag), Variant(county)};
  };
  std::vector<std::vector<Variant>> rows;
  rows.push_back(row(1, Variant("Smith for Senate"), 100.0, 34935.0, true, "Kent"));     // 8/24/1995
  rows.push_back(row(2, Variant("O'Malley Committee"), 250.5, 38051.0, false, "Essex"));  // 3/5/2004
  rows.push_back(row(3, Variant("smithers fund"), 75.25, 38416.0, true, "kent"));        // 3/4/2005
  rows.push_back(row(4, Variant::Null(), 0.0, 38416.5, false, "Surrey"));
  rows.push_back(row(5, Variant("Friends of Blacksmith"), 1e6, 40000.0, true, "Essex"));
  return Recordset::FromRows({{"id", DataType::Integer},
                              {"name", DataType::VarChar},
                              {"amount", DataType::Currency},
                              {"filed", DataType::DBTimeStamp},
                              {"flag", DataType::Boolean},
                              {"home county", DataType::VarWChar}},
                             std::move(rows));
}

// The ids that pass, in order, walking the filtered set.
std::string Ids(Recordset& rs) {
  std::string ids;
  if (rs.BOF() && rs.EndOfFile()) return ids;
  for (rs.MoveFirst(); !rs.EndOfFile(); rs.MoveNext()) ids += rs.Collect("id").Text();
  return ids;
}

TEST(RecordsetFilter, CriteriaGrammar) {
  struct Case { const char* criteria; const char* ids; };
  const Case cases[] = {
      {"id = 3", "3"},
      {"id <= 3", "123"},
      {"ID<>3", "1245"},
      {"amount >= 100", "125"},
      {"amount < $100", "34"},
      {"amount > 1E5", "5"},
      {"name = 'SMITH FOR SENATE'", "1"},
      {"name = 'O''Malley Committee'", "2"},
      {"name > 'p'", "13"},
      {"name LIKE 'smith*'", "13"},
      {"name like '*SMITH*'", "135"},
      {"name LIKE 'Smith%'", "13"},
      {"name LIKE '%mit%'", "1235"},
      {"name LIKE 'smithers fund'", "3"},
      {"filed = #8/24/95#", "1"},
      {"filed >= #3/4/2005#", "345"},
      {"filed < '3/5/2004 1:00 AM'", "12"},
      {"flag = 1", "135"},
      {"flag = 'False'", "24"},
      {"[home county] = 'KENT'", "13"},
      {"id = 1 OR id = 2 OR id = 5", "125"},
      {"id > 1 AND id < 5 AND flag = 0", "24"},
      {"id = 1 AND flag = 1 OR id = 2", "12"},
      {"(id = 1 AND flag = 1) OR (id = 4 AND amount = 0)", "14"},
      {"((id = 5))", "5"},
      {"id = 1 OR (id > 3 AND [home county] = 'essex')", "15"},
      {"name <> 'x'", "1235"},  // a Null column matches no comparison
      {"id = 99", ""},
      {"id = 1 OR[home county] = 'Surrey'", "14"},
  };
  for (const Case& c : cases) {
    auto rs = Filings();
    rs->Filter(Variant(c.criteria));
    EXPECT_EQ(Ids(*rs), c.ids) << c.criteria;
    EXPECT_EQ(rs->RecordCount(), static_cast<std::int32_t>(std::string(c.ids).size())) << c.criteria;
    EXPECT_EQ(rs->Filter(), Variant(c.criteria));
  }
}

TEST(RecordsetFilter, MalformedCriteriaFailWithoutChangingTheSet) {
  struct Case { const char* criteria; std::int32_t error; };
  const Case cases[] = {
      {"(id = 1 OR id = 2) AND flag = 1", err::kBadCriteria},
      {"flag = 1 AND (id = 1 OR id = 2)", err::kBadCriteria},
      {"id = 1 OR id = 2 AND flag = 1", err::kBadCriteria},
      {"name LIKE '*mith'", err::kBadCriteria},
      {"name LIKE 'Sm*th'", err::kBadCriteria},
      {"name LIKE 5", err::kBadCriteria},
      {"name = 'unterminated", err::kBadCriteria},
      {"name = 'O'Malley'", err::kBadCriteria},
      {"name = Null", err::kBadCriteria},
      {"name", err::kBadCriteria},
      {"name =", err::kBadCriteria},
      {"id == 1", err::kBadCriteria},
      {"id = 1 AND", err::kBadCriteria},
      {"id = 1 XOR id = 2", err::kBadCriteria},
      {"(id = 1", err::kBadCriteria},
      {"id = 1)", err::kBadCriteria},
      {"amount = 'lots'", err::kBadCriteria},
      {"filed = #not a date#", err::kBadCriteria},
      {"filed = #3/4/2005", err::kBadCriteria},
      {"[home county = 'Kent'", err::kBadCriteria},
      {"nosuch = 1", err::kItemNotFound},
      {"[home] = 'Kent'", err::kItemNotFound},
      {"((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((id = 1", err::kBadCriteria},
  };
  auto rs = Filings();
  rs->Filter(Variant("flag = 1"));
  rs->MoveNext();
  for (const Case& c : cases) {
    EXPECT_EQ(ErrorOf([&] { rs->Filter(Variant(c.criteria)); }), c.error) << c.criteria;
    EXPECT_EQ(rs->Filter(), Variant("flag = 1"));
    EXPECT_EQ(rs->Collect("id"), Variant(std::int32_t{3}));
  }
  EXPECT_EQ(ErrorOf([&] { rs->Filter(Variant::Null()); }), err::kBadCriteria);
  EXPECT_EQ(ErrorOf([&] { rs->Filter(Variant(std::int32_t{7})); }), err::kBadCriteria);
}

TEST(RecordsetFilter, PositionsUnderAFilterAndRemoval) {
  auto rs = Filings();
  EXPECT_EQ(rs->Filter(), Variant(std::int32_t{0}));
  rs->MoveLast();
  rs->Filter(Variant("[home county] = 'essex'"));
  EXPECT_EQ(rs->Collect("id"), Variant(std::int32_t{2}));  // the first passing row
  rs->MoveNext();
  EXPECT_EQ(rs->AbsolutePosition(), 2);
  rs->AddNew();  // an added row stays visible under the filter
  EXPECT_EQ(rs->RecordCount(), 3);
  rs->Filter(Variant("id = 42"));
  EXPECT_TRUE(rs->BOF());
  EXPECT_TRUE(rs->EndOfFile());
  EXPECT_EQ(rs->RecordCount(), 0);
  EXPECT_EQ(rs->AbsolutePosition(), PosUnknown);
  rs->Filter(Variant(""));
  EXPECT_EQ(rs->RecordCount(), 6);
  EXPECT_EQ(rs->Collect("id"), Variant(std::int32_t{1}));
  rs->Filter(Variant("id = 5"));
  rs->Filter(Variant(std::int32_t{0}));
  EXPECT_EQ(rs->RecordCount(), 6);
  EXPECT_EQ(rs->Filter(), Variant(std::int32_t{0}));
}

TEST(RecordsetFind, SearchesFromTheCurrentRow) {
  auto rs = Filings();
  rs->Find("[home county] = 'essex'");
  EXPECT_EQ(rs->AbsolutePosition(), 2);
  rs->Find("[home county] = 'essex'");  // the current row is tested first
  EXPECT_EQ(rs->AbsolutePosition(), 2);
  rs->Find("[home county] = 'essex'", 1);
  EXPECT_EQ(rs->AbsolutePosition(), 5);
  rs->Find("name LIKE 'smith*'", 1, SearchDirection::Backward);
  EXPECT_EQ(rs->AbsolutePosition(), 3);
  rs->Find("id = 42");
  EXPECT_TRUE(rs->EndOfFile());
  EXPECT_EQ(rs->AbsolutePosition(), PosEOF);
  rs->Find("id = 1");  // nothing lies past EOF
  EXPECT_TRUE(rs->EndOfFile());
  rs->Find("id = 4", 0, SearchDirection::Backward);
  EXPECT_EQ(rs->AbsolutePosition(), 4);
  rs->Find("id > 4", 1, SearchDirection::Backward);
  EXPECT_TRUE(rs->BOF());
  EXPECT_FALSE(rs->EndOfFile());

  rs->Filter(Variant("flag = 1"));  // Find respects the filter
  rs->Find("[home county] = 'essex'");
  EXPECT_EQ(rs->Collect("id"), Variant(std::int32_t{5}));
  EXPECT_EQ(rs->AbsolutePosition(), 3);

  EXPECT_EQ(ErrorOf([&] { rs->Find("id = 1 AND flag = 1"); }), err::kBadCriteria);
  EXPECT_EQ(ErrorOf([&] { rs->Find("(id = 1)"); }), err::kBadCriteria);
  EXPECT_EQ(ErrorOf([&] { rs->Find("name = 'O'Malley'"); }), err::kBadCriteria);
  EXPECT_EQ(ErrorOf([&] { rs->Find("nosuch = 1"); }), err::kItemNotFound);
  EXPECT_EQ(rs->Collect("id"), Variant(std::int32_t{5}));
  auto empty = Recordset::FromRows({{"id", DataType::Integer}}, {});
  EXPECT_EQ(ErrorOf([&] { empty->Find("id = 1"); }), err::kNoCurrentRow);
}

}  // namespace
}  // namespace tarnwick::test
