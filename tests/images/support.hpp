// Helpers of the image tests: image rows and settings rows as the office
// database types them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "documents/support.hpp"

namespace tarnwick::test {

inline std::vector<Column> ImageColumns() {
  using enum DataType;
  return {{"document_id", Integer},      {"doc_page_ct", Integer},       {"alt_doc_page_ct", Integer},
          {"doc_image", LongVarBinary},  {"alt_doc_image", LongVarBinary}, {"doc_image_sz", Integer},
          {"alt_doc_image_sz", Integer}, {"orig_date", DBTimeStamp},     {"update_date", DBTimeStamp}};
}
inline std::shared_ptr<Recordset> ImageRows(const std::vector<Row>& rows) { return Rows(ImageColumns(), rows); }

inline std::shared_ptr<Recordset> SettingRows(const std::vector<Row>& rows) {
  using enum DataType;
  return Rows({{"app_function_lbl", VarChar},
               {"app_function_value", VarChar},
               {"setting_path", VarChar},
               {"setting_key", VarChar},
               {"setting_type", VarChar},
               {"setting_value", VarChar}},
              rows);
}

inline std::shared_ptr<Recordset> SystemInfoRows(const std::vector<std::pair<Variant, Variant>>& rows) {
  std::vector<std::vector<Variant>> values;
  for (const auto& [code, description] : rows) values.push_back({code, description});
  return Recordset::FromRows({{"Code", DataType::VarChar}, {"Description", DataType::VarChar}}, std::move(values));
}

inline Bytes Pattern(std::size_t size, std::uint8_t seed = 1) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
  return b;
}

}  // namespace tarnwick::test
