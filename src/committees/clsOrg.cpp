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

using cursor::ColumnProperty;
using cursor::Family;
using cursor::NullRule;

// Every column property of the committee object, in the interface's order.
// IsFund and the two dates convert whatever they find: a Null fails.
constexpr std::array<ColumnProperty, 40> kColumns{{
    {"UniqueID", "unique_id", Family::Text},
    {"GroupID", "group_id", Family::Text},
    {"IsFund", "is_fund", Family::Integer, NullRule::Fails},
    {"ID1", "id_1", Family::Text},
    {"ID2", "id_2", Family::Text},
    {"ID3", "id_3", Family::Text},
    {"ID4", "id_4", Family::Text},
    {"CurrentStatusCode", "current_status_code", Family::Text},
    {"EnteredMethodCode", "entered_method_code", Family::Text},
    {"EnteredDate", "entered_date", Family::Date, NullRule::Fails},
    {"TransDate", "trans_date", Family::Date, NullRule::Fails},
    {"CheckOutUserID", "check_out_user_id", Family::Text},
    {"CheckOutDate", "check_out_date", Family::DateText},
    {"CheckInUserID", "check_in_user_id", Family::Text},
    {"CheckInDate", "check_in_date", Family::DateText},
    {"Reason", "Reason", Family::Text},
    {"UpdateDate", "update_date", Family::DateText},
    {"OrigUserID", "Orig_user_id", Family::Text},
    {"OrigDate", "orig_date", Family::DateText},
    {"FullID", "full_id", Family::Text},
    {"OrgName", "org_name", Family::Text},
    {"InhouseName", "Inhouse_name", Family::Text},
    {"OrgID", "org_id", Family::Text},
    {"PreviousID", "previous_id", Family::Text},
    {"CommTypeCode", "comm_type_code", Family::Text},
    {"CommTypeDesc", "comm_type_desc", Family::Text},
    {"CandFirstName", "cand_first_name", Family::Text},
    {"CandMiddleName", "cand_middle_name", Family::Text},
    {"CandLastName", "cand_last_name", Family::Text},
    {"CandSuffix", "cand_suffix", Family::Text},
    {"CandNickName", "cand_nick_name", Family::Text},
    {"TreasFirstName", "treas_first_name", Family::Text},
    {"TreasMiddleName", "treas_middle_name", Family::Text},
    {"TreasLastName", "treas_last_name", Family::Text},
    {"TreasSuffix", "treas_suffix", Family::Text},
    {"TreasNickName", "treas_nick_name", Family::Text},
    {"UserID", "user_id", Family::Text},
    {"TransType", "trans_type", Family::Text},
    {"StatusDesc", "current_status_desc", Family::Text},
    {"StatusCode", "current_status_code", Family::Text},
}};

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

#define TW_ORG_COLUMN(Type, Read, Name) \
  Type clsOrg::Name() const { return cursor::Read(*this, cursor::Column(kColumns, #Name)); }
#define TW_ORG_TEXT_COLUMN(Name) TW_ORG_COLUMN(std::string, ReadText, Name)

TW_ORG_TEXT_COLUMN(UniqueID)
TW_ORG_TEXT_COLUMN(GroupID)
TW_ORG_COLUMN(std::int16_t, ReadInteger, IsFund)
TW_ORG_TEXT_COLUMN(ID1)
TW_ORG_TEXT_COLUMN(ID2)
TW_ORG_TEXT_COLUMN(ID3)
TW_ORG_TEXT_COLUMN(ID4)
TW_ORG_TEXT_COLUMN(CurrentStatusCode)
TW_ORG_TEXT_COLUMN(EnteredMethodCode)
TW_ORG_COLUMN(tarnwick::Date, ReadDate, EnteredDate)
TW_ORG_COLUMN(tarnwick::Date, ReadDate, TransDate)
TW_ORG_TEXT_COLUMN(CheckOutUserID)
TW_ORG_TEXT_COLUMN(CheckOutDate)
TW_ORG_TEXT_COLUMN(CheckInUserID)
TW_ORG_TEXT_COLUMN(CheckInDate)
TW_ORG_TEXT_COLUMN(Reason)
TW_ORG_TEXT_COLUMN(UpdateDate)
TW_ORG_TEXT_COLUMN(OrigUserID)
TW_ORG_TEXT_COLUMN(OrigDate)
TW_ORG_TEXT_COLUMN(FullID)
TW_ORG_TEXT_COLUMN(OrgName)
TW_ORG_TEXT_COLUMN(InhouseName)
TW_ORG_TEXT_COLUMN(OrgID)
TW_ORG_TEXT_COLUMN(PreviousID)
TW_ORG_TEXT_COLUMN(CommTypeCode)
TW_ORG_TEXT_COLUMN(CommTypeDesc)
TW_ORG_TEXT_COLUMN(CandFirstName)
TW_ORG_TEXT_COLUMN(CandMiddleName)
TW_ORG_TEXT_COLUMN(CandLastName)
TW_ORG_TEXT_COLUMN(CandSuffix)
TW_ORG_TEXT_COLUMN(CandNickName)
TW_ORG_TEXT_COLUMN(TreasFirstName)
TW_ORG_TEXT_COLUMN(TreasMiddleName)
TW_ORG_TEXT_COLUMN(TreasLastName)
TW_ORG_TEXT_COLUMN(TreasSuffix)
TW_ORG_TEXT_COLUMN(TreasNickName)
TW_ORG_TEXT_COLUMN(UserID)
TW_ORG_TEXT_COLUMN(TransType)
TW_ORG_TEXT_COLUMN(StatusDesc)
TW_ORG_TEXT_COLUMN(StatusCode)

#undef TW_ORG_TEXT_COLUMN
#undef TW_ORG_COLUMN

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
