// A fixture whose gateway answers from a script instead of a database, and the
// rows a script hands back, typed as the office database types them.
#pragma once

#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "support/raises.hpp"
#include "tarnwick/tarnwick.hpp"
#include "tarnwick/testing/recording_gateway.hpp"

namespace tarnwick::test {

using Texts = std::vector<std::string>;

// The call text of a query the object opened.
inline std::string Opened(const std::string& sql) { return "OpenRecordset(" + sql + ", 0, True)"; }

struct Scripted : ::testing::Test {
  std::shared_ptr<testing::GatewayScript> script = std::make_shared<testing::GatewayScript>();
  testing::ScopedRecordingFactory factory{script};

  // The calls since the last Clear, as texts.
  std::vector<std::string> Calls() const { return script->CallTexts(); }
  void Clear() { script->ClearCalls(); }
};

inline std::shared_ptr<Recordset> LinkRows(std::vector<std::pair<std::int32_t, std::int32_t>> links) {
  std::vector<std::vector<Variant>> rows;
  for (auto [org, doc] : links) rows.push_back({Variant(org), Variant(doc)});
  return Recordset::FromRows({{"org_id", DataType::Integer}, {"document_id", DataType::Integer}}, std::move(rows));
}

// The columns of ref_document with the kinds the database hands back.
inline std::vector<Column> DocumentColumns() {
  using enum DataType;
  return {{"unique_id", Integer},          {"doc_type_code", VarChar},     {"doc_sub_type_code", VarChar},
          {"doc_year", Integer},           {"Is_amendment", Boolean},      {"name_listed", VarChar},
          {"Title", VarChar},              {"due_date", DBTimeStamp},      {"referred_county_code", VarChar},
          {"penalty_appeal_decision_code", VarChar}, {"Amount_Due", Currency}, {"amount_paid", Currency},
          {"delivery_method_code", VarChar}, {"doc_reason_code", VarChar}, {"report_version_code", VarChar},
          {"receive_send_date", DBTimeStamp}, {"entry_date", DBTimeStamp}, {"other_date", DBTimeStamp},
          {"import_date", DBTimeStamp},    {"begin_date", DBTimeStamp},    {"end_date", DBTimeStamp},
          {"signed_date", DBTimeStamp},    {"signer_officer_type_code", VarChar}, {"signer_officer_id", Integer},
          {"signer_name", VarChar},        {"delete_date", DBTimeStamp},   {"has_no_report_data", Boolean},
          {"no_report_data_reason", VarChar}, {"total_receipts", Currency}, {"total_expenditures", Currency},
          {"has_no_totals", Boolean},      {"has_image", Boolean}};
}

using Row = std::map<std::string, Variant>;

// Rows over the given columns; a column a row does not name is Null.
inline std::shared_ptr<Recordset> Rows(std::vector<Column> columns, const std::vector<Row>& rows) {
  std::vector<std::vector<Variant>> values;
  for (const Row& row : rows) {
    std::vector<Variant> v(columns.size(), Variant::Null());
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (auto it = row.find(columns[i].name); it != row.end()) v[i] = it->second;
    }
    values.push_back(std::move(v));
  }
  return Recordset::FromRows(std::move(columns), std::move(values));
}

inline std::shared_ptr<Recordset> DocumentRows(const std::vector<Row>& rows) { return Rows(DocumentColumns(), rows); }

inline std::shared_ptr<Recordset> ImageRows(const std::vector<Row>& rows) {
  using enum DataType;
  return Rows({{"document_id", Integer}, {"doc_page_ct", Integer}, {"alt_doc_page_ct", Integer}, {"doc_image", LongVarBinary},
               {"alt_doc_image", LongVarBinary}, {"doc_image_sz", Integer}, {"alt_doc_image_sz", Integer},
               {"orig_date", DBTimeStamp}, {"update_date", DBTimeStamp}}, rows);
}

inline std::shared_ptr<Recordset> SettingRows(const std::vector<Row>& rows) {
  using enum DataType;
  return Rows({{"app_function_lbl", VarChar},
               {"app_function_value", VarChar},
               {"setting_path", VarChar},
               {"setting_key", VarChar},
               {"setting_type", VarChar},
               {"setting_value", VarChar}}, rows);
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

// The inputs of sp_insert_ref_document in the order the document object adds
// them, written out independently of the library so the tests pin them.
inline const std::vector<std::string> kDocumentInsertInputs{
    "@Doc_type_code", "@Doc_sub_type_code", "@Doc_year", "@Is_amendment", "@Name_listed", "@Title", "@due_date",
    "@referred_county_code", "@penalty_appeal_decision_code", "@amount_due", "@amount_paid",
    "@Delivery_method_code", "@Doc_reason_code", "@Report_version_code", "@Receive_send_date", "@Entry_date",
    "@Other_date", "@Import_date", "@Begin_date", "@End_date", "@Signed_date", "@Signer_officer_type_code",
    "@Signer_officer_id", "@Signer_name", "@Delete_date", "@has_no_report_data", "@no_report_data_reason",
    "@total_receipts", "@total_expenditures", "@has_no_totals"};

}  // namespace tarnwick::test
