// What a reader of the public disclosure API may see: for each kind of
// answer, the column properties it carries. This is the one list; nothing
// else leaves a public route. Left out on purpose: user ids, check-out and
// check-in data, reason notes, the dates the office keeps for itself
// (entered, imported, deleted), penalties and who signed.
#pragma once

#include <array>
#include <string_view>

namespace tarnwick::service {

// A committee (clsOrg), with its current candidate and treasurer.
inline constexpr std::array<std::string_view, 19> kPublicCommitteeColumns{
    "OrgID",         "FullID",        "OrgName",        "InhouseName",   "PreviousID",
    "CommTypeCode",  "CommTypeDesc",  "StatusCode",     "StatusDesc",    "CandFirstName",
    "CandMiddleName", "CandLastName", "CandSuffix",     "CandNickName",  "TreasFirstName",
    "TreasMiddleName", "TreasLastName", "TreasSuffix",  "TreasNickName"};

// A filing (clsDocument): what was filed, for which period, and its totals.
inline constexpr std::array<std::string_view, 19> kPublicFilingColumns{
    "UniqueID",     "DocTypeCode",     "DocTypeCodeDesc", "DocSubTypeCode", "DocNameDesc",
    "DocYear",      "IsAmendment",     "ReportVersionCode", "NameListed",   "Title",
    "InhouseName",  "ReceiveSendDate", "DueDate",         "BeginDate",      "EndDate",
    "TotalReceipts", "TotalExpenditures", "NoTotals",     "HasImage"};

// A name found by the name search (clsNameSearch).
inline constexpr std::array<std::string_view, 6> kPublicNameColumns{"Kind",       "OrgID",      "OrgName",
                                                                    "MatchedName", "StatusCode", "LastFiledDate"};

}  // namespace tarnwick::service
