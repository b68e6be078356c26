// Amounts keep every digit across the whole Currency range, through an
// insert and through a column update, and stay plain numbers to SQL.
#include <limits>
#include <tuple>
#include <vector>

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
  ASSERT_TRUE(doc.ConnectionVariables(file, "", "", "", false) && doc.GetData());
  doc.Title("Money at the edges");
  doc.TotalReceipts("922337203685477.5807");
  doc.TotalExpenditures("-922337203685477.5808");
  doc.AmountDue(Currency{kMax - 1});
  doc.AmountPaid(Currency{1234});
  ASSERT_TRUE(doc.SaveData()) << doc.LastErrorText();
  const std::int32_t id = doc.UniqueID();
  ASSERT_TRUE(doc.GetData(id));
  EXPECT_EQ(std::tuple(doc.TotalReceipts(), doc.TotalExpenditures(), doc.AmountDue().scaled, doc.AmountPaid().scaled),
            std::tuple("922337203685477.5807", "-922337203685477.5808", kMax - 1, 1234));
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
  ASSERT_TRUE(doc.SaveData() && doc.GetData(id)) << doc.LastErrorText();
  EXPECT_EQ(std::tuple(doc.AmountDue().scaled, doc.TotalReceipts()), std::tuple(kMin + 3, "900000000000.0001"));

  // Ordinary amounts stay numbers that SQL adds and compares.
  const std::string row = " from ref_document where unique_id = " + std::to_string(id);
  EXPECT_EQ(Db(file).Rows("select typeof(amount_paid), amount_paid * 100, amount_paid > 0.1 and amount_paid < 0.2" + row),
            (std::vector<std::vector<std::string>>{{"real", "12.34", "1"}}));
}

}  // namespace
}  // namespace tarnwick::test
