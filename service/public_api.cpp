// The public disclosure API: the name search, committees, filings, their
// pages as PNG and PDF, and the year's filed-reports list as CSV. Read-only,
// no login, and only the columns of public_columns.hpp.
#include <fmt/core.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "http.hpp"
#include "public_columns.hpp"
#include "rows.hpp"
#include "scratch.hpp"
#include "tarnwick/clsDocReportExport.hpp"
#include "tarnwick/clsDocument.hpp"
#include "tarnwick/clsDocumentImage.hpp"
#include "tarnwick/clsNameSearch.hpp"
#include "tarnwick/clsOrg.hpp"
#include "tarnwick/pages.hpp"

namespace tarnwick::service {
namespace {

// GET /health: the service runs and can open the office.
void Health(Call& c) {
  clsNameSearch probe;
  c.office.Connect(probe);
  c.Reply({{"status", "ok"}});
}

// GET /api/public/names?q=&kind=&limit=
void Names(Call& c) {
  const std::string text = c.Text("q");
  if (text.empty()) throw Problem(400, "the parameter q (the name to look for) is required");
  clsNameSearch names;
  c.office.Connect(names);
  Json items = Json::array();
  if (names.Find(text, c.Has("kind") ? c.Text("kind") : "any", static_cast<std::int32_t>(c.Number("limit", 20)))) {
    for (; !names.EndOfFile(); names.MoveNext()) items.push_back(RowJson(names, kPublicNameColumns));
  } else {
    ThrowIfRefused(names, "the office refused the name search");
  }
  c.Reply({{"items", items}});
}

// The current committees chosen by the condition text `filter` writes on the
// connected object, above `after` in identifier order.
Json CommitteePage(Call& c, const std::function<std::string(clsOrg&)>& filter, std::int64_t after,
                   std::int64_t limit) {
  clsOrg committees;
  c.office.Connect(committees);
  if (!committees.GetDataList(filter(committees) + fmt::format("and ro.group_id > {} ", after))) {
    ThrowIfRefused(committees, "the office refused the committee search");
  }
  return KeysetPage(committees, "OrgID", kPublicCommitteeColumns, after, limit);
}

// GET /api/public/committees?name=&type=&status=&after=&limit=
void Committees(Call& c) {
  const std::string name = c.Text("name");
  const auto form = [&](clsOrg& o) {
    return o.SetupFilter(c.Text("type"), "", c.Text("status"), name.empty() ? "" : "1", name, "", "", "", "O");
  };
  c.Reply(CommitteePage(c, form, c.Number("after"), c.Number("limit", kDefaultLimit)));
}

// GET /api/public/committees/{OrgID}
void Committee(Call& c) {
  const std::int64_t id = c.Number("OrgID");
  Json page = CommitteePage(c, [&](clsOrg&) { return fmt::format("and ro.group_id = {} ", id); }, 0, 1);
  if (page["items"].empty()) throw Problem(404, fmt::format("there is no committee {}", id));
  c.Reply(page["items"][0]);
}

// The filings form's choices: those of the request, or the service's own.
struct FilingChoices {
  std::string type{}, subType{}, year{}, receivedFrom{}, receivedTo{};  // as the classes take them; "" for any
  std::int64_t committee = 0;                                 // 0 for any
  std::int64_t onlyId = 0;                                    // 0 for any
};

FilingChoices RequestedFilings(const Call& c) {
  return {c.Text("type"), c.Text("sub_type"), c.Text("year"), c.ClerkDate("received_from"), c.ClerkDate("received_to"),
          c.Number("committee")};
}

// The live documents chosen by the filings form, from the document search
// with the service's own conditions added: the committee, and the key.
Json FilingPage(Call& c, const FilingChoices& form, std::int64_t after, std::int64_t limit) {
  clsDocument documents;
  c.office.Connect(documents);
  const bool dated = !form.receivedFrom.empty() || !form.receivedTo.empty();
  std::string where = documents.SetupFilter(form.type, form.subType, form.year, true, "", "", "", "", false,
                                            dated ? "RECEIVED DATE" : "", form.receivedFrom, form.receivedTo, "", "O",
                                            false);
  where += where.empty() ? "where" : " and";
  where += fmt::format(" RD.delete_date is null and RD.unique_id > {} ", after);
  if (form.onlyId > 0) where += fmt::format("and RD.unique_id = {} ", form.onlyId);
  if (form.committee > 0) where += fmt::format("and XCD.org_id = {} ", form.committee);
  if (!documents.GetDocumentList(where)) ThrowIfRefused(documents, "the office refused the filings search");
  return KeysetPage(documents, "UniqueID", kPublicFilingColumns, after, limit);
}

// Adds to a filing found by the search the public columns only the document
// itself holds: its due date and totals.
void CompleteFiling(clsDocument& document, Json& filing) {
  const std::int64_t id = filing["UniqueID"];
  if (!document.GetData(static_cast<std::int32_t>(id))) {
    ThrowIfRefused(document, "the office refused to read the filing");
    throw Problem(404, fmt::format("there is no filing {}", id));
  }
  const Json whole = RowJson(document, kPublicFilingColumns);
  for (auto column = whole.begin(); column != whole.end(); ++column) {
    if (!filing.contains(column.key())) filing[column.key()] = column.value();
  }
}

// GET /api/public/filings?committee=&year=&type=&sub_type=&received_from=&received_to=&after=&limit=
void Filings(Call& c) {
  c.Reply(FilingPage(c, RequestedFilings(c), c.Number("after"), c.Number("limit", kDefaultLimit)));
}

// A public filing: its row of the document search; 404 for none or a deleted one.
Json PublicFiling(Call& c, std::int64_t id) {
  Json page = FilingPage(c, {.onlyId = id}, 0, 1);
  if (page["items"].empty()) throw Problem(404, fmt::format("there is no filing {}", id));
  return page["items"][0];
}


// GET /api/public/committees/{OrgID}/reports: the committee's live reports,
// each with the totals it declares, by identifier.
void CommitteeReports(Call& c) {
  Json page = FilingPage(c, {.type = "RPT", .committee = c.Number("OrgID")}, c.Number("after"),
                         c.Number("limit", kDefaultLimit));
  clsDocument document;
  c.office.Connect(document);
  for (Json& filing : page["items"]) CompleteFiling(document, filing);
  c.Reply(page);
}

// The stored page image of a document; 404 when it has none.
Bytes StoredImage(Call& c, std::int64_t id) {
  clsDocumentImage images;
  c.office.Connect(images);
  if (!images.GetData(static_cast<std::int32_t>(id)) || !images.HasImage()) {
    ThrowIfRefused(images, "the office refused to read the pages");
    throw Problem(404, fmt::format("filing {} has no pages", id));
  }
  return images.Image();
}

// The stored page image of a public filing; 404 when it has none.
Bytes FilingImage(Call& c, std::int64_t id) {
  PublicFiling(c, id);
  return StoredImage(c, id);
}

// GET /api/public/filings/{UniqueID}: the search's row, with its due date
// and totals, and how many pages its image has (0 for none).
void Filing(Call& c) {
  const std::int64_t id = c.Number("UniqueID");
  Json filing = PublicFiling(c, id);
  clsDocument document;
  c.office.Connect(document);
  CompleteFiling(document, filing);
  const bool hasImage = filing.value("HasImage", false);
  filing["PageCount"] = hasImage ? pages::ReadPages(StoredImage(c, id), fmt::format("filing {}", id)).size() : 0;
  c.Reply(filing);
}

// GET /api/public/filings/{UniqueID}/pages/{N}.png?width=
void PagePng(Call& c) {
  const std::int64_t id = c.Number("UniqueID");
  SendPagePng(c, FilingImage(c, id), fmt::format("filing {}", id), c.Number("N"), c.Number("width", 0));
  c.response.set_header("Cache-Control", "public, max-age=300");
}

// GET /api/public/filings/{UniqueID}.pdf
void FilingPdf(Call& c) {
  const std::int64_t id = c.Number("UniqueID");
  const Bytes image = FilingImage(c, id);
  auto folder = std::make_shared<ScratchFolder>();
  const auto pdf = folder->File("filing.pdf");
  pages::WritePdf(image, fmt::format("filing {}", id), pdf);
  c.response.set_header("Content-Disposition", fmt::format("inline; filename=\"filing-{}.pdf\"", id));
  StreamFile(c, folder, pdf, "application/pdf");
}

// GET /api/public/exports/filed-reports.csv?year=
void FiledReportsCsv(Call& c) {
  if (!c.Has("year")) throw Problem(400, "the parameter year is required");
  clsDocReportExport exporter;
  c.office.Connect(exporter);
  auto folder = std::make_shared<ScratchFolder>();
  const auto csv = folder->File("filed-reports.csv");
  if (!exporter.CreateFile("", c.Text("year"), "", "", "", "", "", csv.string(), "")) {
    throw Problem(422, exporter.LastErrorText().empty() ? "the office could not export the list" : exporter.LastErrorText());
  }
  c.response.set_header("Content-Disposition",
                        fmt::format("attachment; filename=\"filed-reports-{}.csv\"", c.Text("year")));
  StreamFile(c, folder, csv, "text/csv; charset=utf-8");
}

const Parameter kFilingId{"UniqueID", Kind::Integer, "The filing's identifier", true};

}  // namespace

std::vector<Route> PublicRoutes() {
  return {
      {"GET", "/health", Access::Public, "The service runs and can open the office", {}, "application/json", Health},
      {"GET", "/api/public/names", Access::Public,
       "The forgiving name search: committees by any name a person may type for them",
       {{"q", Kind::Text, "The name, or the start of its words, in any order"},
        {"kind", Kind::Text, "committee, candidate, treasurer, or several separated by commas (any when not given)"},
        {"limit", Kind::Limit, "At most this many committees (20 when not given)"}},
       "application/json", Names},
      {"GET", "/api/public/committees", Access::Public, "Current committees, by identifier",
       {{"name", Kind::Text, "The committee's official name; * and ? are wildcards"},
        {"type", Kind::Code, "Committee type code"},
        {"status", Kind::Code, "Status code"},
        kAfter, kLimit},
       "application/json", Committees},
      {"GET", "/api/public/committees/{OrgID}", Access::Public, "One committee with its candidate and treasurer",
       {{"OrgID", Kind::Integer, "The committee's identifier", true}}, "application/json", Committee},
      {"GET", "/api/public/committees/{OrgID}/reports", Access::Public,
       "A committee's reports with the totals each declares, by identifier",
       {{"OrgID", Kind::Integer, "The committee's identifier", true}, kAfter, kLimit}, "application/json",
       CommitteeReports},
      {"GET", "/api/public/filings", Access::Public, "Filed documents, by identifier",
       {{"committee", Kind::Integer, "Only those the committee filed"},
        {"year", Kind::Year, "Filing year"},
        {"type", Kind::Code, "Document type code"},
        {"sub_type", Kind::Code, "Document sub-type code"},
        {"received_from", Kind::Date, "Received on or after"},
        {"received_to", Kind::Date, "Received on or before"},
        kAfter, kLimit},
       "application/json", Filings},
      {"GET", "/api/public/filings/{UniqueID}", Access::Public, "One filing", {kFilingId}, "application/json", Filing},
      {"GET", "/api/public/filings/{UniqueID}/pages/{N}.png", Access::Public, "One page of a filing as a PNG picture",
       {kFilingId, {"N", Kind::Integer, "The page, 1 for the first", true},
        {"width", Kind::Width, "The picture's width in pixels (the page's own when not given)"}},
       "image/png", PagePng},
      {"GET", "/api/public/filings/{UniqueID}.pdf", Access::Public, "A filing's pages as one PDF", {kFilingId},
       "application/pdf", FilingPdf},
      {"GET", "/api/public/exports/filed-reports.csv", Access::Public, "The year's filed reports as CSV",
       {{"year", Kind::Year, "The report year"}}, "text/csv", FiledReportsCsv},
  };
}

}  // namespace tarnwick::service
