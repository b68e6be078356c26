// Feeds arbitrary criteria texts to a result set's Filter and Find. Every text
// must either filter the rows or raise 3001 / 3265, never crash or hang; a
// filter that was accepted must leave a set whose moves and counts agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tarnwick/error.hpp"
#include "tarnwick/recordset.hpp"

namespace {

using tarnwick::Currency;
using tarnwick::DataType;
using tarnwick::Date;
using tarnwick::Variant;

std::shared_ptr<tarnwick::Recordset> Rows() {
  return tarnwick::Recordset::FromRows(
      {{"doc_type", DataType::VarChar}, {"amount", DataType::Currency}, {"filed", DataType::DBTimeStamp},
       {"Last Name", DataType::VarChar}, {"id", DataType::Integer}, {"ratio", DataType::Double},
       {"fund", DataType::Boolean}, {"misc", DataType::Variant}},
      {{"RPT", Currency{1000000}, Date{34935.0}, "O'Malley", std::int32_t{1}, 0.5, true, "x"},
       {"COR", Currency{-5}, Date{38051.5}, "Smith", std::int32_t{2}, -1e300, false, std::int32_t{7}},
       {Variant::Null(), Variant::Null(), Variant::Null(), "", Variant::Null(), 0.0, Variant::Null(), Variant::Null()},
       {"rpt ", Currency{0}, Date{-657434.0}, "smit", std::int32_t{-2147483647 - 1}, 1e-300, true, Date{2.0}}});
}

bool Expected(std::int32_t number) {
  return number == tarnwick::err::kBadCriteria || number == tarnwick::err::kItemNotFound;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte chooses Filter or Find and Find's direction and skip.
  const std::uint8_t mode = data[0];
  const std::string criteria(reinterpret_cast<const char*>(data + 1), size - 1);
  auto rs = Rows();
  try {
    if ((mode & 1) == 0) {
      rs->Filter(Variant(criteria));
      const std::int32_t count = rs->RecordCount();
      std::int32_t walked = 0;
      if (count > 0) {
        for (rs->MoveFirst(); !rs->EndOfFile(); rs->MoveNext()) ++walked;
      }
      // An empty text removes the filter, which then reads as the Long 0.
      const tarnwick::Variant kept = rs->Filter();
      if (walked != count || count > 4 || kept != (criteria.empty() ? tarnwick::Variant(std::int32_t{0}) : kept) ||
          (!criteria.empty() && kept.CStr() != criteria)) std::abort();
    } else {
      const auto skip = static_cast<std::int32_t>((mode >> 2) % 5) - 1;
      const auto dir = (mode & 2) ? tarnwick::SearchDirection::Backward : tarnwick::SearchDirection::Forward;
      if (mode & 0x80) rs->MoveLast();
      rs->Find(criteria, skip, dir);
    }
  } catch (const tarnwick::RuntimeError& e) {
    // Find also raises 3021 when a skip runs off a set with no current row.
    if (!Expected(e.Number()) && e.Number() != tarnwick::err::kNoCurrentRow) std::abort();
  }
  return 0;
}
