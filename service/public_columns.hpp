// What a reader of the public disclosure API may see: for each kind of
// answer, the column properties it carries. This is the one list; nothing
// else leaves a public route. Left out on purpose: user ids, check-out and
// check-in data, reason notes, the dates the office keeps for itself
// (entered, imported, deleted), penalties and who signed.
#pragma once

#include <string>
#include <vector>

namespace tarnwick::service {

// A committee (clsOrg), with its current candidate and treasurer.
inline const std::vector<std::string> kPublicCommitteeColumns{
    "OrgID",         "FullID",        "OrgName",        "InhouseName",   "PreviousID",
    "CommTypeCode",  "CommTypeDesc",  "StatusCode",     "StatusDesc",    "CandFirstName",
    "CandMiddleName", "CandLastName", "CandSuffix",     "CandNickName",  "TreasFirstName",
    "TreasMiddleName", "TreasLastName", "TreasSuffix",  "TreasNickName"};

// A filing (clsDocument): what was filed, for which period, and its totals.
inline const std::vector<std::string> kPublicFilingColumns{
    "UniqueID",     "DocTypeCode",     "DocTypeCodeDesc", "DocSubTypeCode", "DocNameDesc",
    "DocYear",      "IsAmendment",     "ReportVersionCode", "NameListed",   "Title",
    "InhouseName",  "ReceiveSendDate", "DueDate",         "BeginDate",      "EndDate",
    "TotalReceipts", "TotalExpenditures", "NoTotals",     "HasImage"};

// A name found by the name search (clsNameSearch).
inline const std::vector<std::string> kPublicNameColumns{"Kind",       "OrgID",      "OrgName",
                                                                    "MatchedName", "StatusCode", "LastFiledDate"};

}  // namespace tarnwick::service
