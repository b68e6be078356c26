// Result sets: moves, positions, edits, column look-up and a closed set.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tarnwick/error.hpp"
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

// Where the cursor stands: the value of n, or "BOF" / "EOF" / "empty".
std::string Where(Recordset& rs) {
  if (rs.BOF() && rs.EndOfFile()) return "empty";
  if (rs.BOF()) return "BOF";
  if (rs.EndOfFile()) return "EOF";
  return rs.Collect("n").Text();
}

TEST(RecordsetMoves, FollowTheMoveTable) {
  enum Start { OnRow, AtBOF, AtEOF };
  struct Case { int rows; Start start; const char* op; int moveBy; const char* after; };
  const Case cases[] = {
      // On a row (row 2 of 3).
      {3, OnRow, "first", 0, "1"}, {3, OnRow, "last", 0, "3"}, {3, OnRow, "prev", 0, "1"},
      {3, OnRow, "next", 0, "3"}, {3, OnRow, "move", 0, "2"}, {3, OnRow, "move", 5, "EOF"},
      {3, OnRow, "move", -5, "BOF"}, {3, OnRow, "move", -1, "1"},
      // BOF only.
      {3, AtBOF, "first", 0, "1"}, {3, AtBOF, "last", 0, "3"}, {3, AtBOF, "prev", 0, "3021"},
      {3, AtBOF, "move", 0, "3021"}, {3, AtBOF, "move", -1, "3021"}, {3, AtBOF, "next", 0, "1"},
      {3, AtBOF, "move", 2, "2"},
      // EOF only.
      {3, AtEOF, "first", 0, "1"}, {3, AtEOF, "last", 0, "3"}, {3, AtEOF, "prev", 0, "3"},
      {3, AtEOF, "move", -3, "1"}, {3, AtEOF, "move", 0, "3021"}, {3, AtEOF, "next", 0, "3021"},
      {3, AtEOF, "move", 1, "3021"},
      // Empty: everything fails.
      {0, OnRow, "first", 0, "3021"}, {0, OnRow, "last", 0, "3021"}, {0, OnRow, "prev", 0, "3021"},
      {0, OnRow, "next", 0, "3021"}, {0, OnRow, "move", 0, "3021"}, {0, OnRow, "move", 1, "3021"},
      // One row: next lands on EOF, previous on BOF.
      {1, OnRow, "next", 0, "EOF"}, {1, OnRow, "prev", 0, "BOF"}, {1, OnRow, "move", 0, "1"},
  };
  for (const Case& c : cases) {
    auto rs = Numbers(c.rows);
    if (c.rows > 0 && c.start == OnRow) rs->Move(c.rows > 1 ? 1 : 0);
    if (c.start == AtBOF) rs->MovePrevious();
    if (c.start == AtEOF) rs->Move(c.rows);
    std::string op = c.op;
    std::int32_t e = ErrorOf([&] {
      if (op == "first") rs->MoveFirst();
      if (op == "last") rs->MoveLast();
      if (op == "prev") rs->MovePrevious();
      if (op == "next") rs->MoveNext();
      if (op == "move") rs->Move(c.moveBy);
    });
    std::string got = e != 0 ? std::to_string(e) : Where(*rs);
    EXPECT_EQ(got, c.after) << c.rows << " rows, start " << c.start << ", " << op << " " << c.moveBy;
  }
}

TEST(RecordsetMoves, PositionsAndCounts) {
  auto rs = Numbers(3);
  EXPECT_EQ(rs->RecordCount(), 3);
  EXPECT_EQ(rs->AbsolutePosition(), 1);
  rs->MoveLast();
  EXPECT_EQ(rs->AbsolutePosition(), 3);
  rs->MoveNext();
  EXPECT_EQ(rs->AbsolutePosition(), PosEOF);
  rs->MoveFirst();
  rs->MovePrevious();
  EXPECT_EQ(rs->AbsolutePosition(), PosBOF);
  auto empty = Numbers(0);
  EXPECT_TRUE(empty->BOF());
  EXPECT_TRUE(empty->EndOfFile());
  EXPECT_EQ(empty->RecordCount(), 0);
  EXPECT_EQ(empty->AbsolutePosition(), PosUnknown);
}

TEST(RecordsetEdit, AddNewOnEmptySetAndPendingWrites) {
  auto rs = Recordset::FromRows({{"name", DataType::VarChar}, {"amount", DataType::Currency},
                                 {"filed", DataType::DBTimeStamp}, {"count", DataType::SmallInt}}, {});
  rs->AddNew();
  EXPECT_FALSE(rs->BOF());
  EXPECT_FALSE(rs->EndOfFile());
  EXPECT_EQ(rs->RecordCount(), 1);
  EXPECT_EQ(rs->AbsolutePosition(), PosUnknown);
  Field& name = rs->Fields().Item("NAME");
  EXPECT_TRUE(name.Value().IsNull());
  name.Value("Smith");
  EXPECT_EQ(name.Value(), Variant("Smith"));
  EXPECT_TRUE(name.OriginalValue().IsNull());

  // Writes are converted to the column's type; what cannot be stored fails.
  rs->Collect("amount", Variant("1,234.5"));
  EXPECT_EQ(rs->Collect("amount"), Variant(Currency{12345000}));
  rs->Collect("filed", Variant("3/4/2005"));
  EXPECT_EQ(rs->Collect("filed").Type(), VarType::Date);
  rs->Collect("name", Variant(std::int32_t{42}));
  EXPECT_EQ(rs->Collect("name"), Variant("42"));
  rs->Collect("name", Variant::Null());
  EXPECT_TRUE(rs->Collect("name").IsNull());
  std::string source;
  EXPECT_EQ(ErrorOf([&] { rs->Collect("amount", Variant("abc")); }, &source), err::kMultipleStep);
  EXPECT_EQ(ErrorOf([&] { rs->Fields().Item("count").Value(Variant(40000.0)); }, &source), err::kMultipleStep);
  EXPECT_EQ(source, "ADODB.Field");
  EXPECT_EQ(ErrorOf([&] { rs->Collect("filed", Variant("abc")); }), err::kMultipleStep);
  EXPECT_EQ(rs->Collect("amount"), Variant(Currency{12345000}));  // failed writes change nothing
}

TEST(RecordsetEdit, OriginalValueKeepsTheValueAsRead) {
  auto rs = Recordset::FromRows({{"title", DataType::VarWChar}, {"flag", DataType::Boolean}},
                                {{Variant("Report"), Variant(false)}, {Variant("Letter"), Variant::Null()}});
  Field& title = rs->Fields().Item(0);
  title.Value("Amended report");
  title.Value("Final report");
  rs->Collect("flag", Variant("1"));
  EXPECT_EQ(title.OriginalValue(), Variant("Report"));
  EXPECT_EQ(title.Value(), Variant("Final report"));
  EXPECT_EQ(rs->Collect("flag"), Variant(true));
  rs->MoveNext();
  EXPECT_EQ(title.OriginalValue(), Variant("Letter"));
  rs->MovePrevious();
  EXPECT_EQ(title.Value(), Variant("Final report"));  // the change stays in memory
  rs->Filter(Variant(std::int32_t{1}));                // rows with pending changes
  EXPECT_EQ(rs->RecordCount(), 1);
  // No current row: reads and writes refuse.
  rs->Filter(Variant(std::int32_t{0}));
  rs->MoveLast();
  rs->MoveNext();
  EXPECT_EQ(ErrorOf([&] { (void)title.Value(); }, nullptr), err::kNoCurrentRow);
  EXPECT_EQ(ErrorOf([&] { title.Value("x"); }), err::kNoCurrentRow);
  EXPECT_EQ(ErrorOf([&] { (void)rs->Collect("title"); }), err::kNoCurrentRow);
}

TEST(RecordsetFields, LookupIsCaseInsensitiveFirstMatchAndStable) {
  auto rs = Recordset::FromRows({{"update_date", DataType::VarChar}, {"Org_ID", DataType::Integer},
                                 {"UPDATE_DATE", DataType::VarChar}},
                                {{Variant("first"), Variant(std::int32_t{7}), Variant("second")}});
  FieldCollection& fields = rs->Fields();
  EXPECT_EQ(fields.Count(), 3);
  EXPECT_EQ(fields.Item("Update_Date").Value(), Variant("first"));
  EXPECT_EQ(rs->Collect("update_date"), Variant("first"));
  EXPECT_EQ(fields.Item(2).Value(), Variant("second"));
  EXPECT_EQ(fields.Item("org_id").Name(), "Org_ID");
  EXPECT_EQ(fields.Item("org_id").Type(), DataType::Integer);
  std::string source;
  EXPECT_EQ(ErrorOf([&] { fields.Item("missing"); }, &source), err::kItemNotFound);
  EXPECT_EQ(source, "ADODB.Fields");
  EXPECT_EQ(ErrorOf([&] { fields.Item(3); }), err::kItemNotFound);
  EXPECT_EQ(ErrorOf([&] { fields.Item(-1); }), err::kItemNotFound);
  EXPECT_EQ(ErrorOf([&] { (void)rs->Collect("missing"); }), err::kItemNotFound);
  // Field objects outlive row appends.
  Field* before = &fields.Item("org_id");
  for (int i = 0; i < 100; ++i) rs->AddNew();
  EXPECT_EQ(before, &rs->Fields().Item(1));
  EXPECT_TRUE(before->Value().IsNull());
}

TEST(RecordsetState, ClosedSetRefusesEverythingButState) {
  auto fresh = Recordset::Create();
  EXPECT_EQ(fresh->State(), ObjectState::Closed);
  auto rs = Numbers(2);
  Field& n = rs->Fields().Item("n");
  FieldCollection& fields = rs->Fields();
  rs->Close();
  EXPECT_EQ(rs->State(), ObjectState::Closed);
  for (auto& set : {fresh, rs}) {
    Recordset& r = *set;
    std::string source;
    EXPECT_EQ(ErrorOf([&] { (void)r.BOF(); }, &source), err::kObjectClosed);
    EXPECT_EQ(source, "ADODB.Recordset");
    EXPECT_EQ(ErrorOf([&] { (void)r.EndOfFile(); }), err::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { (void)r.RecordCount(); }), err::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { r.MoveFirst(); }), err::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { r.Move(0); }), err::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { r.AddNew(); }), err::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { r.Fields(); }), err::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { (void)r.Collect("n"); }), err::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { (void)r.AbsolutePosition(); }), err::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { (void)r.Filter(); }), err::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { r.Filter(Variant("n = 1")); }), err::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { r.Find("n = 1"); }), err::kObjectClosed);
    EXPECT_EQ(ErrorOf([&] { r.Close(); }), err::kObjectClosed);
  }
  // Field objects handed out earlier stay safe to use and report the closed set.
  EXPECT_EQ(n.Name(), "n");
  EXPECT_EQ(ErrorOf([&] { (void)n.Value(); }), err::kObjectClosed);
  EXPECT_EQ(ErrorOf([&] { (void)fields.Count(); }), err::kObjectClosed);
  // Rows of unequal width are refused.
  EXPECT_NE(ErrorOf([] { Recordset::FromRows({{"a", DataType::Integer}}, {{Variant(), Variant()}}); }), 0);
}

TEST(RecordsetCells, RowsAfterOneAnotherReadAsRows) {
  auto rs = Recordset::FromCells({{"n", DataType::Integer}, {"name", DataType::VarChar}},
                                 {Variant(std::int32_t{1}), Variant("a"), Variant(std::int32_t{2}), Variant::Null()});
  EXPECT_EQ(rs->RecordCount(), 2);
  EXPECT_EQ(rs->Collect("name").Text(), "a");
  rs->MoveNext();
  EXPECT_EQ(Where(*rs), "2");
  EXPECT_TRUE(rs->Collect("name").IsNull());
  rs->MoveNext();
  EXPECT_EQ(Where(*rs), "EOF");
  EXPECT_EQ(Where(*Recordset::FromCells({{"n", DataType::Integer}}, {})), "empty");
  // A last row cut short, or values without columns, are refused.
  EXPECT_NE(ErrorOf([] { Recordset::FromCells({{"a", DataType::Integer}, {"b", DataType::Integer}}, {Variant()}); }),
            0);
  EXPECT_NE(ErrorOf([] { Recordset::FromCells({}, {Variant()}); }), 0);
}

}  // namespace
}  // namespace tarnwick::test
