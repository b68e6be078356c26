// The code lists' and filing checks' names.
#include "client/kinds.hpp"

namespace tarnwick::client {

const std::map<std::string, zubList>& ListKinds() {
  static const std::map<std::string, zubList> kinds{
      {"delivery-method", zubL_DeliveryMethod},   {"document-type", zubL_DocumentType},
      {"document-reason", zubL_DocumentReason},   {"report-version", zubL_ReportVersion},
      {"committee-type", zubL_CommitteeType},     {"name-type", zubL_NameType},
      {"committee-level", zubL_CommitteeLevel},   {"status", zubL_OrgStatus},
      {"office", zubL_Office},                    {"party", zubL_Party},
      {"document-sub-type", zubL_DocumentSubType}, {"users", zubL_Users},
      {"officer-type", zubL_OfficerType},         {"officer-name", zubL_OfficerName},
      {"report-sub-type", zubL_ReportSubType},    {"affected-committee-type", zubL_AffCommitteeType},
      {"penalty-appeal-decision", zubL_Penalty_Appeal_Decision}, {"county", zubL_County}};
  return kinds;
}

const std::map<std::string, std::string>& CommitteeNameKinds() {
  static const std::map<std::string, std::string> kinds{
      {"committee", "1"}, {"id", "2"}, {"previous-id", "7"}, {"candidate", "3"}, {"treasurer", "4"}};
  return kinds;
}

const std::map<std::string, MEFRunType>& CheckKinds() {
  static const std::map<std::string, MEFRunType> kinds{{"48h-list", FortyEightHourList},
                                                       {"mef-check", CheckMEF},
                                                       {"mef-return", ReturnMEF},
                                                       {"existing-report", ExistingReport},
                                                       {"48h-list-amend", FortyEightHourListAmend}};
  return kinds;
}

}  // namespace tarnwick::client
