// Helpers for the document tests: document rows as the office database types
// them, and a scripted gateway.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tarnwick/tarnwick.hpp"
#include "support/raises.hpp"
#include "tarnwick/testing/recording_gateway.hpp"

namespace tarnwick::test {

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

struct Scripted : ::testing::Test {
  std::shared_ptr<testing::GatewayScript> script = std::make_shared<testing::GatewayScript>();
  testing::ScopedRecordingFactory factory{script};

  // The calls since the last Clear, as texts.
  std::vector<std::string> Calls() const { return script->CallTexts(); }
  void Clear() { script->ClearCalls(); }
};

}  // namespace tarnwick::test
