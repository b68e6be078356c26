// The inputs of sp_insert_ref_document in the order the document object adds
// them, written out independently of the library so the tests pin them.
#pragma once

#include <string>
#include <vector>

namespace tarnwick::test {

inline const std::vector<std::string> kDocumentInsertInputs{
    "@Doc_type_code", "@Doc_sub_type_code", "@Doc_year", "@Is_amendment", "@Name_listed", "@Title", "@due_date",
    "@referred_county_code", "@penalty_appeal_decision_code", "@amount_due", "@amount_paid",
    "@Delivery_method_code", "@Doc_reason_code", "@Report_version_code", "@Receive_send_date", "@Entry_date",
    "@Other_date", "@Import_date", "@Begin_date", "@End_date", "@Signed_date", "@Signer_officer_type_code",
    "@Signer_officer_id", "@Signer_name", "@Delete_date", "@has_no_report_data", "@no_report_data_reason",
    "@total_receipts", "@total_expenditures", "@has_no_totals"};

}  // namespace tarnwick::test
