// The clerks' API beyond one document: the committee search and a
// committee's documents, the code lists in force on a date and a code's
// description, the filing checks, a document's stored image, and the two
// exports.
#include <fmt/core.h>

#include <memory>

#include "client/columns.hpp"
#include "client/json_value.hpp"
#include "client/kinds.hpp"
#include "http.hpp"
#include "rows.hpp"
#include "runtime/dates.hpp"
#include "scratch.hpp"
#include "tarnwick/clsDocReportExport.hpp"
#include "tarnwick/clsDocument.hpp"
#include "tarnwick/clsDocumentImage.hpp"
#include "tarnwick/clsLookup_List.hpp"
#include "tarnwick/clsOrg.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/pages.hpp"
#include "tarnwick/recordset.hpp"

namespace tarnwick::service {
namespace {

template <class Map>
auto Named(const Map& kinds, const std::string& name, std::string_view what) {
  const auto found = kinds.find(name);
  if (found == kinds.end()) throw Problem(404, fmt::format("there is no {} \"{}\"; there are: {}", what, name, client::Names(kinds)));
  return found->second;
}

// GET /api/committees: the committee search form, by OrgID.
void Committees(Call& c) {
  const std::string nameKind = c.Has("name_kind") ? c.Text("name_kind") : "committee";
  const auto info = client::CommitteeNameKinds().find(nameKind);
  if (info == client::CommitteeNameKinds().end()) {
    throw Problem(400, "name_kind must be one of: " + client::Names(client::CommitteeNameKinds()));
  }
  const std::string nameIn = c.Has("name_in") ? c.Text("name_in") : "O";
  if (nameIn.find_first_not_of("OIA") != std::string::npos) throw Problem(400, "name_in takes the letters O, I and A");
  clsOrg committees;
  c.office.Connect(committees);
  const std::string filter = committees.SetupFilter(c.Text("type"), c.Text("level"), c.Text("status"),
                                                    c.Has("name") ? info->second : "", c.Text("name"), c.Text("first"),
                                                    c.Text("office"), c.Text("party"), nameIn) +
                             fmt::format("and ro.group_id > {} ", c.Number("after"));
  const bool found = c.Flag("with_nrr") ? committees.GetAffectedDataList(filter) : committees.GetDataList(filter);
  if (!found) ThrowIfRefused(committees, "the office refused the committee search");
  c.Reply(KeysetPage(committees, "OrgID", client::ColumnProperties(committees), c.Number("after"),
                     c.Number("limit", kDefaultLimit)));
}

// GET /api/committees/{OrgID}/documents: the committee's live documents, by UniqueID.
void CommitteeDocuments(Call& c) {
  clsDocument documents;
  c.office.Connect(documents);
  if (!documents.GetCommitteeDocumentList(std::to_string(c.Number("OrgID")))) {
    ThrowIfRefused(documents, "the office refused the committee's documents");
  }
  c.Reply(KeysetPage(documents, "UniqueID", client::ColumnProperties(documents, {"HasAltered", "ImagePath"}),
                     c.Number("after"), c.Number("limit", kDefaultLimit)));
}

// The list of {kind} in force on ?date= (today when not given).
void LoadList(Call& c, clsLookup_List& list) {
  const zubList kind = Named(client::ListKinds(), c.Text("kind"), "code list");
  const Date on = c.Has("date") ? Variant(c.ClerkDate("date")).CDate() : dates::Now();
  c.office.Connect(list);
  list.GetData(kind, on, -1, c.Text("of"), c.Text("role"));
}

// GET /api/lists/{kind}?date=&of=&role=
void List(Call& c) {
  clsLookup_List list;
  LoadList(c, list);
  Json items = Json::array();
  const auto columns = client::ColumnProperties(list, {"Index", "ListFilter"});
  if (list.DataReady()) {
    for (list.MoveFirst(); !list.EndOfFile(); list.MoveNext()) items.push_back(RowJson(list, columns));
  }
  c.Reply({{"items", items}});
}

// GET /api/codes/{kind}/{code}?date=&of=&role=
void Code(Call& c) {
  clsLookup_List list;
  LoadList(c, list);
  const std::string code = c.Text("code");
  const std::string description = list.DataReady() ? list.GetDescription(code) : "";
  if (description.empty() && (!list.DataReady() || list.FindIndex(code) < 1)) {
    throw Problem(404, fmt::format("the {} list has no code \"{}\" in force then", c.Text("kind"), code));
  }
  c.Reply({{"Code", code}, {"Description", description}});
}

// The text of a JSON member the checks take: a text, a whole number or nothing.
std::string Member(const Json& body, const char* name) {
  if (!body.contains(name) || body[name].is_null()) return "";
  if (body[name].is_string()) return body[name];
  if (body[name].is_number()) return body[name].dump();
  throw Problem(400, fmt::format("{} takes a text or a number", name));
}

std::string MemberDate(const Json& body, const char* name) {
  const std::string iso = Member(body, name);
  if (!iso.empty()) CheckParameter({name, Kind::Date, ""}, iso);
  return ClerkDateText(iso);
}

// POST /api/checks/{type}: {"committee", "document", "year", "sub_type", "from", "to", "receipts", "expenditures"}
void Check(Call& c) {
  const MEFRunType type = Named(client::CheckKinds(), c.Text("type"), "filing check");
  const Json body = c.Body();
  const std::string committee = Member(body, "committee");
  if (committee.empty()) throw Problem(400, "a filing check needs the committee");
  clsDocument document;
  c.office.Connect(document);
  bool matchFound = false, mefFlag = false;
  std::int16_t electionId = 0;
  if (!document.RunMEFChecks(type, committee, Member(body, "document"), Member(body, "year"), Member(body, "sub_type"),
                             MemberDate(body, "from"), MemberDate(body, "to"), Member(body, "receipts"),
                             Member(body, "expenditures"), matchFound, mefFlag, electionId)) {
    ThrowIfRefused(document, "the office could not run the filing check");
    throw Problem(422, "the office could not run the filing check");
  }
  Json rows = Json::array();
  if (type == FortyEightHourList || type == FortyEightHourListAmend) {
    if (const std::shared_ptr<Recordset> set = document.mRecSet()) {
      FieldCollection& fields = set->Fields();
      for (; !set->EndOfFile(); set->MoveNext()) {
        Json row = Json::object();
        for (std::int32_t i = 0; i < fields.Count(); ++i) row[fields.Item(i).Name()] = client::JsonValue(fields.Item(i).Value());
        rows.push_back(row);
      }
    }
  }
  c.Reply({{"MatchFound", matchFound}, {"MEFFlag", mefFlag}, {"ElectionID", electionId}, {"rows", rows}});
}

// A document's image row; 404 for a document that does not exist.
bool LoadImage(Call& c, clsDocumentImage& images, std::int64_t id) {
  c.office.Connect(images);
  try {
    return images.GetData(static_cast<std::int32_t>(id));
  } catch (const RuntimeError& e) {
    if (e.Number() != 3021) throw;
    throw Problem(404, fmt::format("there is no document {}", id));
  }
}

// The stored image of a document; 404 when it has none.
Bytes DocumentImage(Call& c, std::int64_t id) {
  clsDocumentImage images;
  if (!LoadImage(c, images, id) || !images.HasImage()) throw Problem(404, fmt::format("document {} has no image", id));
  return images.Image();
}

// GET /api/documents/{UniqueID}/image: the stored image as it was stored.
void GetImage(Call& c) {
  const Bytes image = DocumentImage(c, c.Number("UniqueID"));
  const bool png = image.size() > 4 && image[1] == 'P' && image[2] == 'N' && image[3] == 'G';
  c.response.set_content(reinterpret_cast<const char*>(image.data()), image.size(), png ? "image/png" : "image/tiff");
}

// GET /api/documents/{UniqueID}/pages: how many pages the stored image has, and each one's size.
void Pages(Call& c) {
  const std::int64_t id = c.Number("UniqueID");
  Json pages = Json::array();
  clsDocumentImage images;
  if (LoadImage(c, images, id) && images.HasImage()) {
    for (const pages::PageInfo& page : pages::ReadPages(images.Image(), fmt::format("document {}", id))) {
      pages.push_back({{"width", page.width}, {"height", page.height}});
    }
  }
  c.Reply({{"PageCount", pages.size()}, {"pages", pages}});
}

// GET /api/documents/{UniqueID}/pages/{N}.png?width=
void PagePng(Call& c) {
  const std::int64_t id = c.Number("UniqueID");
  SendPagePng(c, DocumentImage(c, id), fmt::format("document {}", id), c.Number("N"), c.Number("width", 0));
  c.response.set_header("Cache-Control", "private, no-cache");
}

// PUT /api/documents/{UniqueID}/image?pages=: the body (a TIFF or a PNG) becomes the document's image.
void PutImage(Call& c) {
  const std::int64_t id = c.Number("UniqueID");
  const std::string type = c.request.get_header_value("Content-Type");
  if (type != "image/tiff" && type != "image/png") throw Problem(415, "an image is sent as image/tiff or image/png");
  if (c.request.body.empty()) throw Problem(400, "the image is empty");
  clsDocumentImage images;
  if (!LoadImage(c, images, id)) images.GetData();
  images.Image(Bytes(c.request.body.begin(), c.request.body.end()));
  if (c.Has("pages")) images.PageCount(c.Text("pages"));
  if (!images.SaveData(std::to_string(id))) {
    ThrowIfRefused(images, fmt::format("the office refused the image of document {}", id));
    throw Problem(422, fmt::format("the office refused the image of document {}", id));
  }
  c.response.status = 204;
}

// DELETE /api/documents/{UniqueID}/image
void DeleteImage(Call& c) {
  const std::int64_t id = c.Number("UniqueID");
  clsDocumentImage images;
  if (!LoadImage(c, images, id) || (!images.HasImage() && !images.HasAltered())) {
    throw Problem(404, fmt::format("document {} has no image", id));
  }
  if (!images.DeleteData(static_cast<std::int32_t>(id))) ThrowIfRefused(images, "the office refused to delete the image");
  c.response.status = 204;
}

// GET /api/exports/filed-reports.csv and /api/exports/correspondence.csv
void Export(Call& c, bool filedReports) {
  clsDocReportExport exporter;
  c.office.Connect(exporter);
  auto folder = std::make_shared<ScratchFolder>();
  const auto csv = folder->File("export.csv");
  const bool written =
      filedReports ? exporter.CreateFile(c.Text("committee_type"), c.Text("year"), c.Text("sub_type"), c.ClerkDate("due"),
                                         c.Text("kind"), c.ClerkDate("from"), c.ClerkDate("to"), csv.string(),
                                         c.ClerkDate("entered_since"))
                   : exporter.CreateFileCorrExport(c.Text("committee_type"), c.Has("doc_type") ? c.Text("doc_type") : "COR",
                                                   c.Text("sub_type"), c.ClerkDate("from"), c.ClerkDate("to"), csv.string());
  if (!written) {
    throw Problem(422, exporter.LastErrorText().empty() ? "the office could not export the list" : exporter.LastErrorText());
  }
  c.response.set_header("Content-Disposition", fmt::format("attachment; filename=\"{}.csv\"",
                                                           filedReports ? "filed-reports" : "correspondence"));
  StreamFile(c, folder, csv, "text/csv; charset=utf-8");
}

const std::vector<Parameter> kListChoices{
    {"kind", Kind::Text, "The list: delivery-method, document-type, party, office, ...", true},
    {"date", Kind::Date, "The codes in force on this date (today when not given)"},
    {"of", Kind::Code, "The list's own choice: the document type, the committee group or the scheduled flag"},
    {"role", Kind::Code, "The officer role of officer-name (cnd, trs, ...)"}};

}  // namespace

std::vector<Route> ClerkOfficeRoutes() {
  std::vector<Parameter> codeChoices = kListChoices;
  codeChoices.insert(codeChoices.begin() + 1, {"code", Kind::Code, "The code", true});
  return {
      {"GET", "/api/committees", Access::Clerk, "The committee search form, by OrgID",
       {{"type", Kind::Code, "Committee type code"},
        {"level", Kind::Code, "Committee level code"},
        {"status", Kind::Code, "Status code"},
        {"office", Kind::Code, "The office the candidate runs for"},
        {"party", Kind::Code, "Party code"},
        {"name", Kind::Text, "The name to look for; * and ? are wildcards"},
        {"first", Kind::Text, "Candidate or treasurer first name"},
        {"name_kind", Kind::Text, "What name is: committee, id, previous-id, candidate or treasurer"},
        {"name_in", Kind::Code, "Committee names that must match: O official, I in-house, A acronym"},
        {"with_nrr", Kind::Flag, "Include the non-registered reporting entities"},
        kAfter, kLimit},
       "application/json", Committees},
      {"GET", "/api/committees/{OrgID}/documents", Access::Clerk, "A committee's live documents, by UniqueID",
       {{"OrgID", Kind::Integer, "The committee's identifier", true}, kAfter, kLimit}, "application/json",
       CommitteeDocuments},
      {"GET", "/api/lists/{kind}", Access::Clerk, "A code list in force on a date", kListChoices, "application/json", List},
      {"GET", "/api/codes/{kind}/{code}", Access::Clerk, "A code's description", codeChoices, "application/json", Code},
      {"POST", "/api/checks/{type}", Access::Clerk, "A filing check for a committee and a report",
       {{"type", Kind::Text, "48h-list, 48h-list-amend, mef-check, mef-return or existing-report", true}},
       "application/json", Check, "application/json"},
      {"GET", "/api/documents/{UniqueID}/image", Access::Clerk, "The document's stored image", {kDocumentId},
       "image/tiff", GetImage},
      {"GET", "/api/documents/{UniqueID}/pages", Access::Clerk, "How many pages the document's image has, and their sizes",
       {kDocumentId}, "application/json", Pages},
      {"GET", "/api/documents/{UniqueID}/pages/{N}.png", Access::Clerk, "One page of the document's image as a PNG picture",
       {kDocumentId, {"N", Kind::Integer, "The page, 1 for the first", true},
        {"width", Kind::Width, "The picture's width in pixels (the page's own when not given)"}},
       "image/png", PagePng},
      {"PUT", "/api/documents/{UniqueID}/image", Access::Clerk, "Stores a TIFF or PNG as the document's image",
       {kDocumentId, {"pages", Kind::Integer, "Its number of pages"}}, "application/json", PutImage, "image/tiff"},
      {"DELETE", "/api/documents/{UniqueID}/image", Access::Clerk, "Deletes the document's images", {kDocumentId},
       "application/json", DeleteImage},
      {"GET", "/api/exports/filed-reports.csv", Access::Clerk, "The filed-reports list",
       {{"committee_type", Kind::Code, "Committee type code"},
        {"year", Kind::Year, "Report year"},
        {"sub_type", Kind::Code, "Report sub-type code"},
        {"kind", Kind::Code, "filed (the default), late or notfiled"},
        {"due", Kind::Date, "The deadline reports are measured against"},
        {"from", Kind::Date, "Report periods from"},
        {"to", Kind::Date, "Report periods to"},
        {"entered_since", Kind::Date, "Only reports entered on or after"}},
       "text/csv", [](Call& c) { Export(c, true); }},
      {"GET", "/api/exports/correspondence.csv", Access::Clerk, "The correspondence list",
       {{"committee_type", Kind::Code, "Committee type code"},
        {"doc_type", Kind::Code, "Document type code (COR when not given)"},
        {"sub_type", Kind::Code, "Document sub-type code"},
        {"from", Kind::Date, "Sent or received from"},
        {"to", Kind::Date, "Sent or received to"}},
       "text/csv", [](Call& c) { Export(c, false); }},
  };
}

}  // namespace tarnwick::service
