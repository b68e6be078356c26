// The clerks' API: the document search form, one document read, created,
// changed and deleted, and its committee links. Every route needs a signed-in
// clerk; the columns are the classes' properties, all of them.
//
// Two clerks, one document: GET answers with an ETag of the row as read, and
// a PATCH with If-Match is refused (412) when the row is no longer that row,
// so that one clerk's edit never silently mixes with another's. What a clerk
// saves or deletes records them as the document's last user (and, for one
// they enter, as the user who entered it).
#include <fmt/core.h>
#include <sodium.h>

#include <algorithm>
#include <mutex>

#include "client/columns.hpp"
#include "http.hpp"
#include "edits.hpp"
#include "rows.hpp"
#include "tarnwick/clsDocument.hpp"
#include "tarnwick/clsXrf_Aff_Org_Document.hpp"
#include "tarnwick/clsXrf_Org_Document.hpp"

namespace tarnwick::service {
namespace {

// The document's column properties (its image folders and marker are no columns).
const std::vector<std::string>& DocumentColumns() {
  static const std::vector<std::string> columns = [] {
    clsDocument document;
    return client::ColumnProperties(document, {"HasAltered", "ImagePath"});
  }();
  return columns;
}

// The columns a document read by its key carries: the search's own columns
// (descriptions, committee names) are not among them. Found from the first
// document read, since every such row has the same columns; asking for an
// absent one would cost an exception per column and request.
const std::vector<std::string>& LoadedColumns(Object& loaded) {
  static std::once_flag once;
  static std::vector<std::string> columns;
  std::call_once(once, [&] {
    for (const std::string& name : DocumentColumns()) {
      if (client::ReadColumn(loaded, name)) columns.push_back(name);
    }
  });
  return columns;
}

// The row's entity tag: a hash of the row as JSON.
std::string ETag(const Json& row) {
  const std::string text = row.dump(-1, ' ', false, Json::error_handler_t::replace);
  unsigned char hash[16];
  crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(text.data()), text.size(), nullptr, 0);
  char hex[33];
  sodium_bin2hex(hex, sizeof hex, hash, sizeof hash);
  return std::string("\"") + hex + "\"";
}

// GET /api/documents: the document search form, a page at a time in UniqueID order.
void Search(Call& c) {
  static const char* kDateKinds[][2] = {{"entered", "ENTERED DATE"}, {"received", "RECEIVED DATE"}, {"updated", "LAST UPDATE DATE"}};
  std::string dateKind;
  for (const auto& [name, kind] : kDateKinds) {
    if (c.Text("dates") == name) dateKind = kind;
  }
  if (c.Has("dates") && dateKind.empty()) throw Problem(400, "the parameter dates must be entered, received or updated");
  if ((c.Has("from") || c.Has("to")) && dateKind.empty()) throw Problem(400, "from and to need dates=entered|received|updated");
  const std::string committeeType = c.Text("committee_type");
  if (committeeType != "No Committee" && committeeType.find_first_not_of(
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789") != std::string::npos) {
    throw Problem(400, "the parameter committee_type must be a committee type code or \"No Committee\"");
  }
  const std::string nameIn = c.Has("name_in") ? c.Text("name_in") : "O";
  if (nameIn.find_first_not_of("OIA") != std::string::npos) throw Problem(400, "the parameter name_in takes the letters O, I and A");
  clsDocument documents;
  c.office.Connect(documents);
  const bool byCandidate = c.Has("candidate_first") || c.Has("candidate_last");
  std::string where = documents.SetupFilter(
      c.Text("type"), c.Text("sub_type"), c.Text("year"), !c.Flag("without_committee"), committeeType,
      c.Text("committee"), c.Text("candidate_first"), c.Text("candidate_last"), byCandidate, dateKind,
      c.ClerkDate("from"), c.ClerkDate("to"), c.Text("user"), nameIn, c.Flag("without_report"));
  const std::int64_t after = c.Number("after"), limit = c.Number("limit", kDefaultLimit);
  where += fmt::format("{} RD.unique_id > {} ", where.empty() ? "where" : " and", after);
  if (!documents.GetDocumentList(where)) ThrowIfRefused(documents, "the office refused the search");
  c.Reply(KeysetPage(documents, "UniqueID", DocumentColumns(), after, limit));
}

// The code list each coded column of a document takes its choices from; a
// sub-type's list is that of the document's type.
struct CodedColumn {
  std::string_view column, list, of;
};
constexpr CodedColumn kCodedColumns[] = {
    {"DocTypeCode", "document-type", ""},
    {"DocSubTypeCode", "document-sub-type", "DocTypeCode"},
    {"DeliveryMethodCode", "delivery-method", ""},
    {"DocReasonCode", "document-reason", ""},
    {"ReportVersionCode", "report-version", ""},
    {"ReferredCountyCode", "county", ""},
    {"PenaltyAppealDecisionCode", "penalty-appeal-decision", ""},
    {"SignerOfficerType", "officer-type", ""},
};

// GET /api/document-columns: what a form for a document shows: each column,
// the kind its value is given in, whether a clerk may set it, and the code
// list its choices come from.
void DocumentColumnList(Call& c) {
  clsDocument document;
  const auto settable = client::SettableProperties(document);
  Json items = Json::array();
  for (const std::string& name : DocumentColumns()) {
    // The kind the office stores the column in, else the kind the class hands it out in.
    const auto member = std::find_if(document.Class().members.begin(), document.Class().members.end(),
                                     [&](const MemberInfo& m) { return m.kind == InvokeKind::PropertyGet && m.name == name; });
    const TypeCode given = member == document.Class().members.end() ? TypeCode::String : member->result;
    const VarType stored = client::StoredKind(name).value_or(VarType::String);
    std::string_view kind = "text";
    if (stored == VarType::Currency || given == TypeCode::Currency) kind = "money";
    else if (stored == VarType::Date || given == TypeCode::Date) kind = "date";
    else if (stored == VarType::Boolean || given == TypeCode::Boolean) kind = "flag";
    else if (stored == VarType::Long || given == TypeCode::Long || given == TypeCode::Integer) kind = "integer";
    Json column{{"name", name}, {"kind", kind},
                {"settable", std::find(settable.begin(), settable.end(), name) != settable.end()}};
    for (const CodedColumn& coded : kCodedColumns) {
      if (coded.column != name) continue;
      column["list"] = coded.list;
      if (!coded.of.empty()) column["of"] = coded.of;
    }
    items.push_back(column);
  }
  c.Reply({{"items", items}});
}

void Load(Call& c, clsDocument& document, std::int64_t id) {
  c.office.Connect(document);
  if (!document.GetData(static_cast<std::int32_t>(id))) {
    ThrowIfRefused(document, "the office refused to read the document");
    throw Problem(404, fmt::format("there is no document {}", id));
  }
}

void Answer(Call& c, clsDocument& document, int status) {
  const Json row = RowJson(document, LoadedColumns(document));
  c.response.set_header("ETag", ETag(row));
  c.Reply(row, status);
}

// Sets the columns a JSON object names, each given as JSON types it: dates
// as yyyy-mm-dd, money as a decimal string, flags as true or false, no
// value as null.
void Apply(clsDocument& document, const Json& columns) {
  if (columns.empty()) throw Problem(400, "name at least one column to set");
  for (auto column = columns.begin(); column != columns.end(); ++column) {
    const auto property = client::SettableProperty(document, column.key());
    if (!property) {
      std::string list;
      for (const auto& name : client::SettableProperties(document)) list += (list.empty() ? "" : ", ") + name;
      throw Problem(400, fmt::format("\"{}\" is no column a clerk may set; those are: {}", column.key(), list));
    }
    const Json& v = column.value();
    std::string text;
    if (v.is_null()) {
      text = "";
    } else if (v.is_boolean()) {
      text = v.get<bool>() ? "True" : "False";
    } else if (v.is_number()) {
      text = v.dump();
    } else if (v.is_string()) {
      text = v.get<std::string>();
      if (client::StoredKind(*property) == VarType::Date && !text.empty()) {
        Parameter date{*property, Kind::Date, ""};
        CheckParameter(date, text);
        text = ClerkDateText(text);
      }
    } else {
      throw Problem(400, fmt::format("{} takes a text, a number, true, false or null", *property));
    }
    document.Put(*property, Variant(std::move(text)));
  }
}

void Get(Call& c) {
  clsDocument document;
  Load(c, document, c.Number("UniqueID"));
  Answer(c, document, 200);
}

void Create(Call& c) {
  const Json columns = c.Body();
  clsDocument document;
  c.office.Connect(document);
  document.GetData();
  Apply(document, columns);
  if (!document.SaveData()) {
    ThrowIfRefused(document, "the office refused the new document");
    throw Problem(422, "the office refused the new document");
  }
  RecordClerk(c.office, c.userGroupId, document.UniqueID(), true);
  c.response.set_header("Location", fmt::format("/api/documents/{}", document.UniqueID()));
  Answer(c, document, 201);
}

void Change(Call& c) {
  const Json columns = c.Body();
  const std::int64_t id = c.Number("UniqueID");
  const DocumentEditLock lock(c.office, id);  // from the check to the save, no other change comes between
  clsDocument document;
  Load(c, document, id);
  const std::string expected = c.request.get_header_value("If-Match");
  if (!expected.empty() && expected != "*" && expected != ETag(RowJson(document, LoadedColumns(document)))) {
    throw Problem(412, fmt::format("document {} was changed since it was read; read it again and redo the change", id));
  }
  Apply(document, columns);
  if (!document.SaveData()) ThrowIfRefused(document, fmt::format("the office refused the change to document {}", id));
  RecordClerk(c.office, c.userGroupId, id, false);
  clsDocument saved;
  Load(c, saved, id);
  Answer(c, saved, 200);
}

void Delete(Call& c) {
  const std::int64_t id = c.Number("UniqueID");
  clsDocument document;
  Load(c, document, id);
  if (!document.DeleteData(static_cast<std::int32_t>(id))) {
    ThrowIfRefused(document, fmt::format("the office refused to delete document {}", id));
  }
  RecordClerk(c.office, c.userGroupId, id, false);
  c.response.status = 204;
}

// PUT and DELETE /api/documents/{UniqueID}/committees/{OrgID}[?affected=true]
template <class Link>
void ChangeLink(Call& c, bool remove) {
  const std::int64_t document = c.Number("UniqueID"), committee = c.Number("OrgID");
  Link link;
  c.office.Connect(link);
  if (remove) {
    if (!link.GetData(static_cast<std::int32_t>(document))) throw Problem(404, fmt::format("document {} has no such links", document));
    if (!link.DeleteData(static_cast<std::int32_t>(committee), static_cast<std::int32_t>(document))) {
      ThrowIfRefused(link, "the office refused to remove the link");
    }
  } else {
    link.GetData();
    link.OrgID(std::to_string(committee));
    link.DocumentID(std::to_string(document));
    if (!link.SaveData()) {
      ThrowIfRefused(link, "the office refused the link");
      throw Problem(422, "the office refused the link");
    }
  }
  c.response.status = 204;
}

// The committees a document is linked to by one kind of link.
template <class Link>
void AddLinks(Call& c, std::int64_t document, bool affected, Json& items) {
  Link links;
  c.office.Connect(links);
  if (!links.GetData(static_cast<std::int32_t>(document))) {
    ThrowIfRefused(links, "the office refused to read the links");
    return;
  }
  for (; !links.EndOfFile(); links.MoveNext()) {
    items.push_back({{"OrgID", std::stoll(links.OrgID())}, {"affected", affected}});
  }
}

// GET /api/documents/{UniqueID}/committees: the committee that filed it, and those it affects.
void Links(Call& c) {
  const std::int64_t id = c.Number("UniqueID");
  clsDocument document;
  Load(c, document, id);
  Json items = Json::array();
  AddLinks<clsXrf_Org_Document>(c, id, false, items);
  AddLinks<clsXrf_Aff_Org_Document>(c, id, true, items);
  c.Reply({{"items", items}});
}

void Link(Call& c, bool remove) {
  if (c.Flag("affected")) ChangeLink<clsXrf_Aff_Org_Document>(c, remove);
  else ChangeLink<clsXrf_Org_Document>(c, remove);
}

const Parameter kOrgId{"OrgID", Kind::Integer, "The committee's identifier", true};
const Parameter kAffected{"affected", Kind::Flag, "The committee is one the document affects, not the one that filed it"};

}  // namespace

std::vector<Route> ClerkRoutes() {
  return {
      {"GET", "/api/documents", Access::Clerk, "The document search form, by UniqueID",
       {{"type", Kind::Code, "Document type code"},
        {"sub_type", Kind::Code, "Document sub-type code"},
        {"year", Kind::Year, "Filing year"},
        {"committee_type", Kind::Text, "Committee type code, or \"No Committee\""},
        {"committee", Kind::Text, "Committee name; * and ? are wildcards"},
        {"name_in", Kind::Code, "Which committee names must match: O official, I in-house, A acronym (O when not given)"},
        {"candidate_first", Kind::Text, "Candidate first name; * and ? are wildcards"},
        {"candidate_last", Kind::Text, "Candidate last name; * and ? are wildcards"},
        {"dates", Kind::Code, "Which date from and to limit: entered, received or updated"},
        {"from", Kind::Date, "First date"},
        {"to", Kind::Date, "Last date"},
        {"user", Kind::Integer, "Only documents this office user entered"},
        {"without_committee", Kind::Flag, "Only documents linked to no committee"},
        {"without_report", Kind::Flag, "Only documents linked to no report"},
        {"after", Kind::Integer, "Only documents after this UniqueID (from the last page's next)"},
        {"limit", Kind::Limit, "At most this many documents (1 to 500; 50 when not given)"}},
       "application/json", Search},
      {"GET", "/api/document-columns", Access::Clerk,
       "A document's columns: the kind each is given in, whether a clerk may set it, its code list", {},
       "application/json", DocumentColumnList},
      {"POST", "/api/documents", Access::Clerk, "A new document from the columns given", {}, "application/json", Create,
       "application/json"},
      {"GET", "/api/documents/{UniqueID}", Access::Clerk, "Every column of one document, with its ETag", {kDocumentId},
       "application/json", Get},
      {"PATCH", "/api/documents/{UniqueID}", Access::Clerk,
       "Changes the columns given; with If-Match, only if no one changed the document since", {kDocumentId},
       "application/json", Change, "application/json"},
      {"DELETE", "/api/documents/{UniqueID}", Access::Clerk, "Deletes the document with its links", {kDocumentId},
       "application/json", Delete},
      {"GET", "/api/documents/{UniqueID}/committees", Access::Clerk,
       "The committees the document is linked to: the one that filed it, and those it affects", {kDocumentId},
       "application/json", Links},
      {"PUT", "/api/documents/{UniqueID}/committees/{OrgID}", Access::Clerk, "Links the document to a committee",
       {kDocumentId, kOrgId, kAffected}, "application/json", [](Call& c) { Link(c, false); }},
      {"DELETE", "/api/documents/{UniqueID}/committees/{OrgID}", Access::Clerk, "Removes a committee link",
       {kDocumentId, kOrgId, kAffected}, "application/json", [](Call& c) { Link(c, true); }},
  };
}

}  // namespace tarnwick::service
