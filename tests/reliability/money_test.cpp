// Amounts keep every digit across the whole Currency range, through an
// insert and through a column update, and stay plain numbers to SQL.
#include <cstdint>
#include <limits>
#include <memory>
#include <string>

#include "support/scripted_gateway.hpp"
#include "gateway/sqlite/engine.hpp"
#include "support/office_files.hpp"

namespace tarnwick::test {
namespace {

TEST(Money, IsStoredExactlyAcrossTheWholeCurrencyRange) {
  TempDir dir;
  const std::string file = dir.File("office.db");
  ASSERT_TRUE(MakeOffice(file, std::nullopt).ok());
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

  clsDocument doc;
  ASSERT_TRUE(doc.ConnectionVariables(file, "", "", "", false));
  ASSERT_TRUE(doc.GetData());
  doc.Title("Money at the edges");
  doc.TotalReceipts("922337203685477.5807");
  doc.TotalExpenditures("-922337203685477.5808");
  doc.AmountDue(Currency{kMax - 1});
  doc.AmountPaid(Currency{1234});
  ASSERT_TRUE(doc.SaveData()) << doc.LastErrorText();
  const std::int32_t id = doc.UniqueID();
  ASSERT_TRUE(doc.GetData(id));
  EXPECT_EQ(doc.TotalReceipts(), "922337203685477.5807");
  EXPECT_EQ(doc.TotalExpenditures(), "-922337203685477.5808");
  EXPECT_EQ(doc.AmountDue().scaled, kMax - 1);
  EXPECT_EQ(doc.AmountPaid().scaled, 1234);
  EXPECT_EQ(doc.mRecSet()->Collect("total_receipts"), Variant(Currency{kMax})) << "read back as Currency";

  // An expression over the column loses its declared type, not the amount.
  const std::string expression = "select coalesce(total_receipts, 0) as t from ref_document where unique_id = " +
                                 std::to_string(id) + " or unique_id = 1 order by unique_id desc";
  std::shared_ptr<Recordset> rs;
  sqlite::Engine engine;
  ASSERT_TRUE(engine.Open(file));
  ASSERT_EQ(engine.OpenRecordset(expression, rs, 0, true), "");
  EXPECT_EQ(rs->Collect("t"), Variant(Currency{kMax}));

  // Changed column by column, through the text the update sends.
  doc.AmountDue(Currency{kMin + 3});
  doc.TotalReceipts("900000000000.0001");
  ASSERT_TRUE(doc.SaveData()) << doc.LastErrorText();
  ASSERT_TRUE(doc.GetData(id));
  EXPECT_EQ(doc.AmountDue().scaled, kMin + 3);
  EXPECT_EQ(doc.TotalReceipts(), "900000000000.0001");

  // Ordinary amounts stay numbers that SQL adds and compares.
  const std::string row = " from ref_document where unique_id = " + std::to_string(id);
  Db db(file);
  EXPECT_EQ(db.Text("select typeof(amount_paid)" + row), "real");
  EXPECT_EQ(db.Text("select amount_paid * 100" + row), "12.34");
  EXPECT_EQ(db.Text("select count(*)" + row + " and amount_paid > 0.1 and amount_paid < 0.2"), "1");
}

}  // namespace
}  // namespace tarnwick::test
