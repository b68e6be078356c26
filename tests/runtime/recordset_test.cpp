// Result sets: moves, positions, edits, column look-up, a closed set, and the
// criteria of Filter and Find.

#include <iterator>
#include <tuple>
#include <vector>

#include "tarnwick/recordset.hpp"
#include "support/raises.hpp"

namespace tarnwick::test {
namespace {

using test::ErrorOf;

std::shared_ptr<Recordset> Numbers(int n) {
  std::vector<std::vector<Variant>> rows;
  for (int i = 1; i <= n; ++i) rows.push_back({Variant(std::int32_t{i})});
  return Recordset::FromRows({{"n", DataType::Integer}}, std::move(rows));
}

// Where the cursor stands: the value of the column, or "BOF" / "EOF" / "empty", then its position.
std::string Where(Recordset& rs, const char* column = "n") {
  const std::string at = " @" + std::to_string(rs.AbsolutePosition());
  if (rs.BOF() && rs.EndOfFile()) return "empty" + at;
  if (rs.BOF()) return "BOF" + at;
  if (rs.EndOfFile()) return "EOF" + at;
  const Variant v = rs.Collect(column);
  return (v.IsNull() ? "Null" : v.Text()) + at;
}

TEST(RecordsetMoves, FollowTheMoveTable) {
  // Start: 'R' on row 2 of 3 (the only row of 1), 'B' before the first, 'E' after the last; then
  // First, Last, Previous, Next, or Move by. "3021": no current row. PosBOF is -2, PosEOF -3.
  struct Case { int rows; const char* move; int by; const char* after; };
  const Case cases[] = {
      {3, "RF", 0, "1 @1"},  {3, "RL", 0, "3 @3"},  {3, "RP", 0, "1 @1"},    {3, "RN", 0, "3 @3"},
      {3, "RM", 0, "2 @2"},  {3, "RM", 5, "EOF @-3"}, {3, "RM", -5, "BOF @-2"}, {3, "RM", -1, "1 @1"},
      {3, "BF", 0, "1 @1"},  {3, "BL", 0, "3 @3"},  {3, "BP", 0, "3021"},    {3, "BM", 0, "3021"},
      {3, "BM", -1, "3021"}, {3, "BN", 0, "1 @1"},  {3, "BM", 2, "2 @2"},    {3, "EF", 0, "1 @1"},
      {3, "EL", 0, "3 @3"},  {3, "EP", 0, "3 @3"},  {3, "EM", -3, "1 @1"},   {3, "EM", 0, "3021"},
      {3, "EN", 0, "3021"},  {3, "EM", 1, "3021"},  {0, "RF", 0, "3021"},    {0, "RL", 0, "3021"},
      {0, "RP", 0, "3021"},  {0, "RN", 0, "3021"},  {0, "RM", 0, "3021"},    {0, "RM", 1, "3021"},
      {1, "RN", 0, "EOF @-3"}, {1, "RP", 0, "BOF @-2"}, {1, "RM", 0, "1 @1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rows) + " rows, " + c.move + " " + std::to_string(c.by));
    auto rs = Numbers(c.rows);
    if (c.rows > 1 && c.move[0] == 'R') rs->Move(1);
    if (c.move[0] == 'B') rs->MovePrevious();
    if (c.move[0] == 'E') rs->Move(c.rows);
    const char op = c.move[1];
    void (Recordset::*step)() = op == 'F' ? &Recordset::MoveFirst : op == 'L' ? &Recordset::MoveLast
                              : op == 'P' ? &Recordset::MovePrevious : &Recordset::MoveNext;
    const std::int32_t e = ErrorOf([&] { op == 'M' ? rs->Move(c.by) : ((*rs).*step)(); });
    EXPECT_EQ(e != 0 ? std::to_string(e) : Where(*rs), c.after);
  }
  EXPECT_EQ(Where(*Numbers(0)), "empty @-1");
}

TEST(RecordsetEdit, WritesAreConvertedAndKeepTheOriginalValue) {
  auto rs = Recordset::FromRows({{"name", DataType::VarChar}, {"amount", DataType::Currency},
                                 {"filed", DataType::DBTimeStamp}, {"count", DataType::SmallInt}}, {});
  rs->AddNew();  // on an empty set: a current row of Nulls at an unknown position
  EXPECT_EQ(Where(*rs, "name"), "Null @-1");
  rs->Fields().Item("NAME").Value("Smith");
  EXPECT_TRUE(rs->Fields().Item("name").OriginalValue().IsNull());
  // Writes are converted to the column's type; what cannot be stored fails and changes nothing.
  rs->Collect("amount", Variant("1,234.5"));
  EXPECT_EQ(rs->Collect("amount"), Variant(Currency{12345000}));
  EXPECT_EQ(ErrorOf([&] { rs->Collect("amount", Variant("abc")); }), err::kMultipleStep);
  const auto tooBig = [&] { rs->Fields().Item("count").Value(Variant(40000.0)); };
  const RuntimeError refused = ExpectRaises(err::kMultipleStep, tooBig);
  EXPECT_EQ(refused.Source(), "ADODB.Field");
  EXPECT_EQ(refused.Description().rfind("count: '40000' is out of range. Multiple-step", 0), 0u) << refused.Description();
  EXPECT_EQ(rs->Collect("amount"), Variant(Currency{12345000}));

  rs = Recordset::FromRows({{"title", DataType::VarWChar}, {"flag", DataType::Boolean}},
                           {{Variant("Report"), Variant(false)}, {Variant("Letter"), Variant::Null()}});
  Field& title = rs->Fields().Item(0);
  title.Value("Amended report");
  title.Value("Final report");
  EXPECT_EQ(title.OriginalValue(), Variant("Report"));
  rs->MoveNext();
  EXPECT_EQ(title.OriginalValue(), Variant("Letter"));
  rs->MovePrevious();
  EXPECT_EQ(title.Value(), Variant("Final report"));  // the change stays in memory
  rs->Filter(Variant(std::int32_t{1}));                // rows with pending changes
  EXPECT_EQ(rs->RecordCount(), 1);
  // No current row: reads and writes refuse.
  rs->Move(1);
  EXPECT_EQ(ErrorOf([&] { (void)title.Value(); }), err::kNoCurrentRow);
  EXPECT_EQ(ErrorOf([&] { title.Value("x"); }), err::kNoCurrentRow);
}

TEST(RecordsetFields, LookupIsCaseInsensitiveFirstMatchAndStable) {
  auto rs = Recordset::FromCells({{"update_date", DataType::VarChar}, {"Org_ID", DataType::Integer},
                                  {"UPDATE_DATE", DataType::VarChar}},
                                 {Variant("first"), Variant(std::int32_t{7}), Variant("second")});
  FieldCollection& fields = rs->Fields();
  EXPECT_EQ(std::tuple(fields.Item("Update_Date").Value(), fields.Item(2).Value(), fields.Item("org_id").Name()),
            std::tuple(Variant("first"), Variant("second"), "Org_ID"));
  EXPECT_EQ(ExpectRaises(err::kItemNotFound, [&] { fields.Item("missing"); }).Source(), "ADODB.Fields");
  for (const std::int32_t i : {3, -1}) EXPECT_EQ(ErrorOf([&] { fields.Item(i); }), err::kItemNotFound) << i;
  // Field objects outlive row appends.
  Field* before = &fields.Item("org_id");
  for (int i = 0; i < 100; ++i) rs->AddNew();
  EXPECT_EQ(before, &rs->Fields().Item(1));
  EXPECT_TRUE(before->Value().IsNull());
  // Rows of unequal width, or a last row cut short, are refused.
  EXPECT_NE(ErrorOf([] { Recordset::FromRows({{"a", DataType::Integer}}, {{Variant(), Variant()}}); }), 0);
  EXPECT_NE(ErrorOf([] { Recordset::FromCells({{"a", DataType::Integer}, {"b", DataType::Integer}}, {Variant()}); }), 0);
}

TEST(RecordsetState, ClosedSetRefusesEverythingButState) {
  auto fresh = Recordset::Create(), rs = Numbers(2);
  Field& n = rs->Fields().Item("n");
  FieldCollection& fields = rs->Fields();
  rs->Close();
  EXPECT_EQ(std::make_pair(fresh->State(), rs->State()), std::make_pair(ObjectState::Closed, ObjectState::Closed));
  using Op = std::function<void(Recordset&)>;
  const Op ops[] = {
      [](Recordset& r) { (void)r.BOF(); }, [](Recordset& r) { (void)r.RecordCount(); }, [](Recordset& r) { r.Move(0); },
      [](Recordset& r) { r.Fields(); }, [](Recordset& r) { (void)r.Collect("n"); }, [](Recordset& r) { r.AddNew(); },
      [](Recordset& r) { r.Filter(Variant("n = 1")); }, [](Recordset& r) { r.Find("n = 1"); },
      [](Recordset& r) { (void)r.AbsolutePosition(); }, [](Recordset& r) { r.Close(); },
  };
  for (auto& set : {fresh, rs})
    for (std::size_t i = 0; i < std::size(ops); ++i)
      EXPECT_EQ(ExpectRaises(err::kObjectClosed, [&] { ops[i](*set); }).Source(), "ADODB.Recordset") << i;
  // Field objects handed out earlier stay safe to use and report the closed set.
  EXPECT_EQ(std::tuple(ErrorOf([&] { (void)n.Value(); }), ErrorOf([&] { (void)fields.Count(); })),
            std::tuple(err::kObjectClosed, err::kObjectClosed));
}

// Five filings: id, committee name, amount, filed date, flag, a column with blanks in its name.
std::shared_ptr<Recordset> Filings() {
  auto row = [](std::int32_t id, Variant name, std::int64_t amount, double filed, bool flag, const char* county) {
    return std::vector<Variant>{id, std::move(name), Currency{amount * 10000}, Date{filed}, flag, county};
  };
  return Recordset::FromRows({{"id", DataType::Integer}, {"name", DataType::VarChar}, {"amount", DataType::Currency},
                              {"filed", DataType::DBTimeStamp}, {"flag", DataType::Boolean},
                              {"home county", DataType::VarWChar}},
                             {row(1, "Smith for Senate", 100, 34935.0, true, "Kent"),       // 8/24/1995
                              row(2, "O'Malley Committee", 250, 38051.0, false, "Essex"),   // 3/5/2004
                              row(3, "smithers fund", 75, 38416.0, true, "kent"),           // 3/4/2005
                              row(4, Variant::Null(), 0, 38416.5, false, "Surrey"),
                              row(5, "Friends of Blacksmith", 1000000, 40000.0, true, "Essex")});
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
      // comparisons of numbers, amounts, texts (letter case ignored), dates and flags
      {"id = 3", "3"}, {"id <= 3", "123"}, {"ID<>3", "1245"}, {"amount >= 100", "125"}, {"amount < $100", "34"},
      {"amount > 1E5", "5"}, {"name = 'SMITH FOR SENATE'", "1"}, {"name = 'O''Malley Committee'", "2"},
      {"name > 'p'", "13"}, {"filed = #8/24/95#", "1"}, {"filed >= #3/4/2005#", "345"},
      {"filed < '3/5/2004 1:00 AM'", "12"}, {"flag = 1", "135"}, {"flag = 'False'", "24"},
      {"[home county] = 'KENT'", "13"}, {"id = 99", ""},
      // LIKE takes * or % at the end or at both ends only
      {"name LIKE 'smith*'", "13"}, {"name like '*SMITH*'", "135"}, {"name LIKE 'Smith%'", "13"},
      {"name LIKE '%mit%'", "1235"}, {"name LIKE 'smithers fund'", "3"},
      // AND binds tighter than OR; parentheses group whole clauses
      {"id = 1 OR id = 2 OR id = 5", "125"}, {"id > 1 AND id < 5 AND flag = 0", "24"},
      {"id = 1 AND flag = 1 OR id = 2", "12"}, {"(id = 1 AND flag = 1) OR (id = 4 AND amount = 0)", "14"},
      {"((id = 5))", "5"}, {"id = 1 OR (id > 3 AND [home county] = 'essex')", "15"},
      {"id = 1 OR[home county] = 'Surrey'", "14"},
      {"name <> 'x'", "1235"},  // a Null column matches no comparison
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.criteria);
    auto rs = Filings();
    rs->Filter(Variant(c.criteria));
    EXPECT_EQ(Ids(*rs), c.ids);
    EXPECT_EQ(rs->RecordCount(), static_cast<std::int32_t>(std::string(c.ids).size()));
    EXPECT_EQ(rs->Filter(), Variant(c.criteria));
    rs->Filter(Variant(c.criteria));  // the first passing row is current; no row, no position
    EXPECT_EQ(rs->AbsolutePosition(), *c.ids ? 1 : PosUnknown);
  }
}

TEST(RecordsetFilter, MalformedCriteriaFailWithoutChangingTheSet) {
  auto rs = Filings();
  rs->Filter(Variant("flag = 1"));
  rs->MoveNext();
  const auto check = [&](const Variant& criteria, std::int32_t error) {
    SCOPED_TRACE(criteria.Text());
    EXPECT_EQ(ErrorOf([&] { rs->Filter(criteria); }), error);
    EXPECT_EQ(rs->Filter(), Variant("flag = 1"));
    EXPECT_EQ(rs->Collect("id"), Variant(std::int32_t{3}));
  };
  // A parenthesised OR under an AND, and an AND under an OR without parentheses, cannot be filtered.
  for (const char* bad : {"(id = 1 OR id = 2) AND flag = 1", "flag = 1 AND (id = 1 OR id = 2)",
                          "id = 1 OR id = 2 AND flag = 1", "name LIKE '*mith'", "name LIKE 'Sm*th'", "name LIKE 5",
                          "name = 'O'Malley'", "name = Null", "id == 1", "id = 1 XOR id = 2", "(id = 1", "id = 1)",
                          "amount = 'lots'", "filed = #not a date#", "[home county = 'Kent'",
                          "((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((((id = 1"}) {
    check(Variant(bad), err::kBadCriteria);
  }
  for (const auto& [criteria, error] : {std::pair{Variant::Null(), err::kBadCriteria}, {Variant(std::int32_t{7}), err::kBadCriteria},
                                        {Variant("nosuch = 1"), err::kItemNotFound}, {Variant("[home] = 'Kent'"), err::kItemNotFound}})
    check(criteria, error);
}

TEST(RecordsetFilter, AnAddedRowStaysVisibleAndEmptyOrZeroRemovesTheFilter) {
  auto rs = Filings();
  rs->Filter(Variant("[home county] = 'essex'"));
  rs->AddNew();
  EXPECT_EQ(rs->RecordCount(), 3);
  for (const Variant& none : {Variant(""), Variant(std::int32_t{0})}) {
    rs->Filter(Variant("id = 5"));
    rs->Filter(none);
    EXPECT_EQ((std::tuple{rs->RecordCount(), rs->Filter()}), std::tuple(6, Variant(std::int32_t{0})));
  }
}

TEST(RecordsetFind, SearchesFromTheCurrentRow) {
  auto rs = Filings();
  struct Step { const char* criteria; std::int32_t skip; SearchDirection direction; std::int32_t at; };
  constexpr auto kFwd = SearchDirection::Forward, kBack = SearchDirection::Backward;
  const Step steps[] = {
      {"[home county] = 'essex'", 0, kFwd, 2}, {"[home county] = 'essex'", 0, kFwd, 2},  // the current row first
      {"[home county] = 'essex'", 1, kFwd, 5}, {"name LIKE 'smith*'", 1, kBack, 3}, {"id = 42", 0, kFwd, PosEOF},
      {"id = 1", 0, kFwd, PosEOF},  // nothing lies past EOF
      {"id = 4", 0, kBack, 4},      {"id > 4", 1, kBack, PosBOF}};
  for (const Step& s : steps) {
    rs->Find(s.criteria, s.skip, s.direction);
    EXPECT_EQ(rs->AbsolutePosition(), s.at) << s.criteria;
  }
  rs->Filter(Variant("flag = 1"));  // Find respects the filter
  rs->Find("[home county] = 'essex'");
  EXPECT_EQ(rs->AbsolutePosition(), 3);  // the third flagged filing, id 5
  // One comparison only, of a column the set has.
  EXPECT_EQ((std::tuple{ErrorOf([&] { rs->Find("id = 1 AND flag = 1"); }), ErrorOf([&] { rs->Find("nosuch = 1"); })}),
            std::tuple(err::kBadCriteria, err::kItemNotFound));
  EXPECT_EQ(rs->Collect("id"), Variant(std::int32_t{5}));
  auto empty = Recordset::FromRows({{"id", DataType::Integer}}, {});
  EXPECT_EQ(ErrorOf([&] { empty->Find("id = 1"); }), err::kNoCurrentRow);
}

}  // namespace
}  // namespace tarnwick::test
