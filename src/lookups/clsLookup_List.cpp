// The code lists of the filing office: one query text per list kind, built
// from five parts, and the lookups by code within a loaded list.
#include "tarnwick/clsLookup_List.hpp"

#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

#include "cursor/columns.hpp"
#include "frame/binding.hpp"
#include "frame/report_error.hpp"
#include "runtime/dates.hpp"
#include "runtime/raise.hpp"
#include "runtime/text.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick {
namespace {

// The columns of a list's rows, in the interface's order.
#define TW_LOOKUP_COLUMNS(COLUMN)                         \
  COLUMN(Code, "Code", Text, Read)                        \
  COLUMN(Description, "Description", Text, Read)          \
  COLUMN(Sequence, "Sequence", Text, Read)                \
  COLUMN(EffectiveDate, "effective_date", DateText, Read) \
  COLUMN(ExpireDate, "expire_date", DateText, Read)       \
  COLUMN(UpdateDate, "update_date", DateText, Read)
TW_COLUMN_TABLE(clsLookup_List, TW_LOOKUP_COLUMNS);

// The condition part of the kinds that take the caller's values.
enum class Condition { None, Fixed, ReasonGroup, SubTypePrefix, OfficerOfGroup, Scheduled };

// How a list kind departs from the default text "select * from <table>
// where <date filter> order by sequence, description ". An absent part keeps
// the default; the table part is set by every kind listed here.
struct ListKind {
  std::optional<std::string_view> select;
  std::string_view table;
  Condition condition = Condition::None;
  std::string_view fixedCondition = {};
  std::optional<std::string_view> dateFilter = {};
  std::optional<std::string_view> order = {};
};

constexpr std::string_view kDefaultSelect = "select * from ";
constexpr std::string_view kDefaultOrder = "order by sequence, description ";

// Kinds 1 to 18 by number; kind 12 (users) has a text of its own.
constexpr std::array<std::optional<ListKind>, 19> kKinds{{
    std::nullopt,  // zubL_None
    ListKind{"select *, date_name as 'Link', reason_name as 'Reason' from ", "lks_delivery_method"},
    ListKind{"select *, has_subset as 'BitCheck', cast(has_subset as char(2)) as 'Link' from ", "lks_document_type"},
    ListKind{{}, "lks_document_reason", Condition::ReasonGroup},
    ListKind{{}, "lks_report_version", Condition::None, {}, "1 = 1"},
    ListKind{{}, "lks_committee_type", Condition::Fixed, "code <> 'NRR'"},
    ListKind{{}, "lks_name_type"},
    ListKind{{}, "lks_committee_level"},
    ListKind{{}, "lks_org_status"},
    ListKind{{}, "lku_office"},
    ListKind{{}, "lku_party", Condition::None, {}, {}, "order by sequence "},
    ListKind{{}, "lku_document_sub_type", Condition::SubTypePrefix, {}, {}, "order by description "},
    std::nullopt,  // zubL_Users
    ListKind{{}, "lks_name_type", Condition::Fixed, "is_officer = 1 or code = 'CND'"},
    ListKind{"select o.group_id as code, "
             "rtrim(isnull(na.first_name,'') + ' ' + isnull(na.middle_name,'')) + ' ' + isnull(na.last_name,'') "
             "as description from ",
             "vw_zub_org_officers_ref_current o "
             "left outer join org_name_address na on o.entity_id = na.unique_id ",
             Condition::OfficerOfGroup, {}, "1=1", ""},
    ListKind{{}, "lku_report_sub_type", Condition::Scheduled, {}, {}, "order by sequence, description "},
    ListKind{{}, "lks_committee_type"},
    ListKind{{}, "lks_penalty_appeal_decision"},
    ListKind{"select 'STA' as code, 'State' as description, 0 as velm_id, 0 as sequence "
             "union "
             "select Code, Description, Velm_id, Sequence from LKS_COUNTY ",
             "", Condition::Fixed, "1=1", "1=1", "order by velm_id"},
}};

// For each user group, the row with the latest end date (an open row ending
// today), kept when it is open and not a system account.
constexpr std::string_view kUsersTable = "ref_user";
constexpr std::string_view kUsersList =
    "select u.unique_id as code, u.user_name as description from ref_user u "
    "where unique_id = ( "
    "   select unique_id "
    "   from ref_user "
    "   where group_id = u.group_id "
    "   and isnull(end_date, getdate()) = ( "
    "      select max(isnull(end_date, getdate())) "
    "      from ref_user "
    "      where group_id = u.group_id)) "
    "and u.is_system_user = 0 "
    "and u.end_date is null "
    "order by user_name ";

std::string ConditionText(const ListKind& kind, const std::string& filter1, const std::string& filter2) {
  switch (kind.condition) {
    case Condition::None: return std::string();
    case Condition::Fixed: return std::string(kind.fixedCondition);
    case Condition::ReasonGroup: return "group_code = '" + filter1 + "' ";
    case Condition::SubTypePrefix: return "doc_type_code like '" + filter1 + "%' ";
    case Condition::OfficerOfGroup:
      return "o.org_group_id = " + filter1 + " and o.name_type_code = '" + filter2 + "' ";
    case Condition::Scheduled: return filter1.empty() ? std::string() : "is_scheduled = " + filter1 + " ";
  }
  return std::string();
}

// The date as the runtime writes a date in the office's month/day/year order
// ("3/5/2004", "3/5/2004 2:30:00 PM"), always with its day and a four-digit
// year, so that the database reads it back as the same date: the runtime's
// own text of 30 December 1899 is the time alone, and of a year before 1000
// a short year.
std::string DateText(tarnwick::Date when) {
  const dates::Civil c = dates::ToCivil(when);
  char day[32];
  std::snprintf(day, sizeof day, "%d/%d/%04d", c.month, c.day, c.year);
  if (c.hour == 0 && c.minute == 0 && c.second == 0) return day;
  return std::string(day) + " " + dates::GeneralText(dates::FromCivil({1899, 12, 30, c.hour, c.minute, c.second}));
}

// Codes in force on the date: in force from on or before it, and not yet
// expired on it.
std::string DateFilter(tarnwick::Date when) {
  const std::string d = DateText(when);
  return "((effective_date <= '" + d + "' and expire_date > '" + d + "') " + "or (effective_date <= '" + d +
         "' and expire_date is null)) ";
}

// Moves a set to row n (1-based) of the rows its filter lets through.
void MoveToRow(Recordset& rs, std::int32_t n) {
  rs.MoveFirst();
  rs.Move(n - 1);
}

const frame::Bindings& Members() {
  static const frame::Bindings bindings = [] {
    using IndexGet = std::int32_t (clsLookup_List::*)() const;
    using IndexPut = void (clsLookup_List::*)(std::int32_t);
    using FilterGet = std::string (clsLookup_List::*)() const;
    using FilterPut = void (clsLookup_List::*)(const std::string&);
    frame::Bindings b("clsLookup_List");
    cursor::BindCursorMembers(b);
    cursor::BindColumns(b, kColumns);
    b.Get("Index", frame::Bind(IndexGet(&clsLookup_List::Index)));
    b.Put("Index", frame::Bind(IndexPut(&clsLookup_List::Index)));
    b.Get("ListFilter", frame::Bind(FilterGet(&clsLookup_List::ListFilter)));
    b.Put("ListFilter", frame::Bind(FilterPut(&clsLookup_List::ListFilter)));
    b.Method("FindIndex", frame::Bind(&clsLookup_List::FindIndex));
    b.Method("GetData", frame::Bind(&clsLookup_List::GetData));
    b.Method("GetDescription", frame::Bind(&clsLookup_List::GetDescription));
    b.Method("GetLink", frame::Bind(&clsLookup_List::GetLink));
    b.Method("GetDelta", frame::Bind(&clsLookup_List::GetDelta));
    b.Method("GetBitCheck", frame::Bind(&clsLookup_List::GetBitCheck));
    return b;
  }();
  return bindings;
}

}  // namespace

clsLookup_List::clsLookup_List() : DataObject("clsLookup_List", "") {}
clsLookup_List::~clsLookup_List() = default;

Variant clsLookup_List::Dispatch(const MemberInfo& member, std::span<Variant> args) {
  return Members().Run(*this, member, args);
}

// ---------------------------------------------------------------------------
// Columns of the current row.

TW_COLUMN_ACCESSORS(TW_LOOKUP_COLUMNS)

// ---------------------------------------------------------------------------
// Loading a list.

bool clsLookup_List::GetData(zubList List, tarnwick::Date EffTransDate, std::int32_t /*ID*/,
                             const std::string& Filter1, const std::string& Filter2) {
  return frame::Guarded({"clsLookupList.GetData"}, [&] {
    std::string sql;
    if (List == zubL_Users) {
      tablePart_ = kUsersTable;
      sql = kUsersList;
    } else {
      std::string_view select = kDefaultSelect;
      std::string condition;
      std::string dateFilter;
      std::string_view order = kDefaultOrder;
      const bool known = List >= 0 && static_cast<std::size_t>(List) < kKinds.size() && kKinds[List].has_value();
      if (known) {
        const ListKind& kind = *kKinds[List];
        select = kind.select.value_or(select);
        tablePart_ = kind.table;
        condition = ConditionText(kind, Filter1, Filter2);
        if (kind.dateFilter) dateFilter = *kind.dateFilter;
        order = kind.order.value_or(order);
      }
      if (dateFilter.empty()) dateFilter = DateFilter(EffTransDate);
      sql.reserve(select.size() + tablePart_.size() + condition.size() + dateFilter.size() + order.size() + 16);
      sql.append(select).append(tablePart_).append(" where ");
      if (!condition.empty()) sql.append(condition).append(" ").append("and ");
      sql.append(dateFilter).append(" ").append(order);
    }
    return cursor::OpenList(*this, sql) == cursor::ListOutcome::Rows;
  });
}

// ---------------------------------------------------------------------------
// Lookups by code.

std::string clsLookup_List::Lookup(const std::string& msCode, std::string_view column) {
  Recordset& rs = cursor::RequireResultSet(ResultSet());
  const std::string_view wanted = runtime::Trim(msCode);
  std::string result;
  rs.MoveFirst();
  Field& code = rs.Fields().Item("Code");
  // Every row is read: when a code occurs twice, the later row decides.
  while (!rs.EndOfFile()) {
    const Variant& value = code.Value();
    if (!value.IsNull() && runtime::Trim(value.Text()) == wanted) result = rs.Fields().Item(column).Value().Text();
    rs.MoveNext();
  }
  return result;
}

std::string clsLookup_List::GetDescription(const std::string& msCode) { return Lookup(msCode, "Description"); }
std::string clsLookup_List::GetLink(const std::string& msCode) { return Lookup(msCode, "Link"); }
std::string clsLookup_List::GetDelta(const std::string& msCode) { return Lookup(msCode, "Delta"); }
std::string clsLookup_List::GetBitCheck(const std::string& msCode) { return Lookup(msCode, "BitCheck"); }

std::int32_t clsLookup_List::FindIndex(const std::string& Code, const std::string& Desc) {
  Recordset& rs = cursor::RequireResultSet(ResultSet());
  if (rs.BOF() && rs.EndOfFile()) return -1;
  const std::int32_t before = rs.AbsolutePosition();
  std::int32_t result = -1;
  const auto find = [&](const std::string& criteria) {
    rs.MoveFirst();
    rs.Find(criteria, 0);
    if (!rs.EndOfFile()) result = rs.AbsolutePosition();
  };
  if (!Code.empty()) {
    find("code = '" + Code + "'");
  } else if (!Desc.empty()) {
    find("description = '" + Desc + "'");
  }
  // A cursor that stood on a row goes back there; one that stood off the
  // rows stays where the search left it.
  if (before > 0) MoveToRow(rs, before);
  return result;
}

std::int32_t clsLookup_List::Index() const { return DataReady() ? ResultSet()->AbsolutePosition() : 0; }

void clsLookup_List::Index(std::int32_t value) {
  if (DataReady() && value >= 1) MoveToRow(*ResultSet(), value);
}

std::string clsLookup_List::ListFilter() const { return DataReady() ? ResultSet()->Filter().CStr() : std::string(); }

void clsLookup_List::ListFilter(const std::string& value) {
  const std::shared_ptr<Recordset>& rs = ResultSet();
  if (!rs) return;
  if (value.empty() || value == "0") {
    rs->Filter(Variant(std::int32_t{0}));
  } else {
    rs->Filter(Variant(value));
  }
}

}  // namespace tarnwick
