// The enumerations of the component's type library.
//
// MEFRunType chooses what the filing-check procedure does for a committee and
// a document (clsDocument::RunMEFChecks); the two 48-hour list kinds return
// rows. zubList chooses which code list clsLookup_List::GetData loads;
// zubL_None, the default, loads nothing new and is declared last.
//
// Values are 32-bit and fixed: clients store and pass them as numbers.
#pragma once

#include <cstdint>

namespace tarnwick {

enum MEFRunType : std::int32_t {
  FortyEightHourList = 1,
  CheckMEF = 2,
  ReturnMEF = 3,
  ExistingReport = 4,
  FortyEightHourListAmend = 5,
};

enum zubList : std::int32_t {
  zubL_DeliveryMethod = 1,
  zubL_DocumentType = 2,
  zubL_DocumentReason = 3,
  zubL_ReportVersion = 4,
  zubL_CommitteeType = 5,
  zubL_NameType = 6,
  zubL_CommitteeLevel = 7,
  zubL_OrgStatus = 8,
  zubL_Office = 9,
  zubL_Party = 10,
  zubL_DocumentSubType = 11,
  zubL_Users = 12,
  zubL_OfficerType = 13,
  zubL_OfficerName = 14,
  zubL_ReportSubType = 15,
  zubL_AffCommitteeType = 16,
  zubL_Penalty_Appeal_Decision = 17,
  zubL_County = 18,
  zubL_None = 0,
};

}  // namespace tarnwick
