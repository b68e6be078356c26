// The committee object: column properties over the committee searches, the
// search form's condition text, and the four searches.
#include "tarnwick/clsOrg.hpp"

#include <array>
#include <string_view>

#include "committees/committee_queries.hpp"
#include "cursor/columns.hpp"
#include "frame/binding.hpp"
#include "frame/report_error.hpp"
#include "runtime/text.hpp"

namespace tarnwick {
namespace {

using cursor::NullRule;

// Every column property of the committee object, in the interface's order.
// IsFund and the two dates convert whatever they find: a Null fails.
#define TW_ORG_COLUMNS(COLUMN)                                     \
  COLUMN(UniqueID, "unique_id", Text, Read)                        \
  COLUMN(GroupID, "group_id", Text, Read)                          \
  COLUMN(IsFund, "is_fund", Integer, Read, NullRule::Fails)        \
  COLUMN(ID1, "id_1", Text, Read)                                  \
  COLUMN(ID2, "id_2", Text, Read)                                  \
  COLUMN(ID3, "id_3", Text, Read)                                  \
  COLUMN(ID4, "id_4", Text, Read)                                  \
  COLUMN(CurrentStatusCode, "current_status_code", Text, Read)     \
  COLUMN(EnteredMethodCode, "entered_method_code", Text, Read)     \
  COLUMN(EnteredDate, "entered_date", Date, Read, NullRule::Fails) \
  COLUMN(TransDate, "trans_date", Date, Read, NullRule::Fails)     \
  COLUMN(CheckOutUserID, "check_out_user_id", Text, Read)          \
  COLUMN(CheckOutDate, "check_out_date", DateText, Read)           \
  COLUMN(CheckInUserID, "check_in_user_id", Text, Read)            \
  COLUMN(CheckInDate, "check_in_date", DateText, Read)             \
  COLUMN(Reason, "Reason", Text, Read)                             \
  COLUMN(UpdateDate, "update_date", DateText, Read)                \
  COLUMN(OrigUserID, "Orig_user_id", Text, Read)                   \
  COLUMN(OrigDate, "orig_date", DateText, Read)                    \
  COLUMN(FullID, "full_id", Text, Read)                            \
  COLUMN(OrgName, "org_name", Text, Read)                          \
  COLUMN(InhouseName, "Inhouse_name", Text, Read)                  \
  COLUMN(OrgID, "org_id", Text, Read)                              \
  COLUMN(PreviousID, "previous_id", Text, Read)                    \
  COLUMN(CommTypeCode, "comm_type_code", Text, Read)               \
  COLUMN(CommTypeDesc, "comm_type_desc", Text, Read)               \
  COLUMN(CandFirstName, "cand_first_name", Text, Read)             \
  COLUMN(CandMiddleName, "cand_middle_name", Text, Read)           \
  COLUMN(CandLastName, "cand_last_name", Text, Read)               \
  COLUMN(CandSuffix, "cand_suffix", Text, Read)                    \
  COLUMN(CandNickName, "cand_nick_name", Text, Read)               \
  COLUMN(TreasFirstName, "treas_first_name", Text, Read)           \
  COLUMN(TreasMiddleName, "treas_middle_name", Text, Read)         \
  COLUMN(TreasLastName, "treas_last_name", Text, Read)             \
  COLUMN(TreasSuffix, "treas_suffix", Text, Read)                  \
  COLUMN(TreasNickName, "treas_nick_name", Text, Read)             \
  COLUMN(UserID, "user_id", Text, Read)                            \
  COLUMN(TransType, "trans_type", Text, Read)                      \
  COLUMN(StatusDesc, "current_status_desc", Text, Read)            \
  COLUMN(StatusCode, "current_status_code", Text, Read)
TW_COLUMN_TABLE(clsOrg, TW_ORG_COLUMNS);

const frame::Bindings& Members() {
  static const frame::Bindings bindings = [] {
    frame::Bindings b("clsOrg");
    cursor::BindCursorMembers(b);
    cursor::BindColumns(b, kColumns);
    b.Get("Count", frame::Bind(&clsOrg::Count));
    b.Method("SetupFilter", frame::Bind(&clsOrg::SetupFilter));
    b.Method("GetDataList", frame::Bind(&clsOrg::GetDataList));
    b.Method("GetCommittee", frame::Bind(&clsOrg::GetCommittee));
    b.Method("GetAffectedCommitteeDocumentList", frame::Bind(&clsOrg::GetAffectedCommitteeDocumentList));
    b.Method("GetAffectedDataList", frame::Bind(&clsOrg::GetAffectedDataList));
    return b;
  }();
  return bindings;
}

// The committee list select with its joins and the current-committee condition.
std::string CommitteeList() {
  std::string sql;
  sql.reserve(4096);
  sql.append(committees::kCommitteeListSelect)
      .append(committees::kCommitteeDetailJoin)
      .append(committees::kCommitteeOfficerJoins);
  return sql;
}

}  // namespace

clsOrg::clsOrg() : DataObject("clsOrg", "ref_org") {}
clsOrg::~clsOrg() = default;

Variant clsOrg::Dispatch(const MemberInfo& member, std::span<Variant> args) {
  return Members().Run(*this, member, args);
}

// ---------------------------------------------------------------------------
// Column properties: each accessor reads its entry of kColumns.

TW_COLUMN_ACCESSORS(TW_ORG_COLUMNS)

// ---------------------------------------------------------------------------
// The search form.

std::string clsOrg::SetupFilter(const std::string& CommType, const std::string& CommLevel, const std::string& Status,
                                const std::string& InfoType, const std::string& Name, const std::string& FirstName,
                                const std::string& Office, const std::string& Party, const std::string& NameType) {
  DataGateway& gateway = Gateway();
  // Both names are made safe even when the chosen search does not use them.
  const std::string name = gateway.SqlSafeText(runtime::MapWildcards(Name));
  const std::string first = gateway.SqlSafeText(runtime::MapWildcards(FirstName));

  std::string where;
  // A code choice counts when it is not "" at all: a value of blanks adds its
  // clause with nothing between the apostrophes.
  const auto code = [&where](std::string_view clause, const std::string& value) {
    if (!value.empty()) where.append(clause).append(runtime::Trim(value)).append("' ");
  };
  // A name clause counts when the name is more than blanks; the name goes in
  // as the wildcard mapping and SqlSafeText left it.
  const auto like = [&where](std::string_view clause, const std::string& value) {
    if (!runtime::Trim(value).empty()) where.append(clause).append(value).append("%' ");
  };

  code("AND fn.comm_type_code = '", CommType);
  code("AND fn.comm_level_code = '", CommLevel);
  code("AND ro.current_status_code = '", Status);
  code("AND cand.cand_office_code = '", Office);
  if (InfoType == "1") {
    // Committee names: each capital letter of NameType searches one name.
    if (NameType.find('O') != std::string::npos) like("AND fn.org_name like '%", name);
    if (NameType.find('I') != std::string::npos) like("AND fn.inhouse_name like '%", name);
    if (NameType.find('A') != std::string::npos) like("AND fn.old_acronym like '%", name);
  } else if (InfoType == "2") {
    like("AND ro.id_1+ro.id_2+ro.id_3+ro.id_4 like '%", name);
  } else if (InfoType == "7") {
    like("AND fn.previous_id like '%", name);
  } else if (InfoType == "3") {
    like("AND cand.last_name like '%", name);
    like("AND cand.first_name like '%", first);
  } else if (InfoType == "4") {
    like("AND treas.last_name like '%", name);
    like("AND treas.first_name like '%", first);
  }
  code("AND fn.party_code = '", Party);
  return where;
}

// ---------------------------------------------------------------------------
// The searches.

bool clsOrg::RunList(const char* source, const std::string& sql) {
  return frame::Guarded({source}, [&] { return cursor::OpenList(*this, sql) == cursor::ListOutcome::Rows; });
}

bool clsOrg::GetDataList(const std::string& Filter) {
  std::string sql = CommitteeList();
  sql.append(committees::kCurrentCommittee).append(committees::kWithoutNrr).append(Filter);
  return RunList("clsOrg_Data.GetDataList", sql);
}

bool clsOrg::GetAffectedDataList(const std::string& Filter) {
  std::string sql = CommitteeList();
  sql.append(committees::kCurrentCommittee).append(Filter);
  return RunList("clsOrg_Data.GetAffectedDataList", sql);
}

bool clsOrg::GetAffectedCommitteeDocumentList(const std::string& DocumentID) {
  std::string sql = CommitteeList();
  sql.append(committees::kAffectedLinkJoin)
      .append(committees::kCurrentCommittee)
      .append(committees::kAffectedDocument)
      .append(DocumentID)
      .append(" ");
  return RunList("clsOrg_Data.GetAffectedCommitteeDocumentList", sql);
}

bool clsOrg::GetCommittee(const std::string& Filter) {
  std::string sql(committees::kCommitteeSelect);
  sql.append(committees::kCommitteeDetailJoin).append(committees::kCurrentCommittee).append(Filter);
  return RunList("clsOrg_Data.GetCommittee", sql);
}

}  // namespace tarnwick
