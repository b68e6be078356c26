// How fast every search form choice answers on an office of 1,000,000
// documents, against the best hand-written SQLite query for the same rows.
//
//   scale_bench                                  every case
//   scale_bench --benchmark_filter=Committee     some of them
//
// The office is built once (about half a minute) into scale-office-<n>.tarnwick
// beside this program and reused by later runs; TW_SCALE_DOCUMENTS sets
// another size (delete the file after changing the office's indexes). Each case runs the library's own call (SetupFilter +
// GetDocumentList, GetCommitteeDocumentList, the committee list, the users
// list) and reports
//   rows        the rows it returned
//   hand_ms     the hand-written query on the raw sqlite3 API, every row
//               stepped and every column read (the best of three runs)
//   ratio       the library's time over hand_ms
//   plain_ms    the library's text translated without the planning rewrites,
//               on the raw sqlite3 API (once)
// Before the measurements, each case's library text is captured, checked to
// return as many rows as its hand-written query, and its query plan printed
// to stderr.
//
// With an office server configured (scripts/with-postgres.sh sets
// TARNWICK_PG_SOCKET, TARNWICK_PG_PORT, TARNWICK_PG_SUPERUSER) every case also
// runs as Server/<case> on a server office of the same size, the database
// tw_scale_<n>: built once by the office builder (minutes at 1,000,000) and
// reused while it holds that many documents. Keep the cluster between runs:
//
//   TARNWICK_PG_KEEP=/some/dir scripts/with-postgres.sh build/bench/scale_bench
//
// A server case reports
//   rows        the rows it returned
//   server_ms   the library's call on the server (the mean of the iterations)
//   hand_ms     the hand-written PostgreSQL query through libpq, every value
//               of every row read (the best of three runs)
//   ratio       server_ms over hand_ms
//   file_ms     the same case on the office file in the same run
// and prints to stderr the server's EXPLAIN (ANALYZE, BUFFERS) of the text
// the library's call was rendered to, after checking its row count against
// the hand-written query's.
//
// Goal: every case of 1,000 rows or fewer under 50 ms and within 2 x of its
// hand-written query; the unfiltered and year searches within 1.3 x.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "gateway/postgres/catalog.hpp"
#include "gateway/postgres/connection.hpp"
#include "gateway/postgres/engine.hpp"
#include "gateway/sqlite/functions.hpp"
#include "gateway/sqlite/render.hpp"
#include "gateway/tsql/translate.hpp"
#include "office/file_office.hpp"
#include "office/server_office.hpp"
#include "support/forwarding_gateway.hpp"
#include "support/server_office.hpp"
#include "tarnwick/clsDocument.hpp"
#include "tarnwick/clsLookup_List.hpp"
#include "tarnwick/clsOrg.hpp"
#include "tarnwick/gateway.hpp"

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t Documents() {
  const char* text = std::getenv("TW_SCALE_DOCUMENTS");
  return text != nullptr ? std::atoll(text) : 1'000'000;
}

const std::string& Office() {
  static const std::string path = [] {
    const auto here = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const auto file = here / ("scale-office-" + std::to_string(Documents()) + ".tarnwick");
    if (!std::filesystem::exists(file)) {
      std::fprintf(stderr, "Building %s ...\n", file.c_str());
      tarnwick::office::OfficeOptions options;
      options.sampleDocuments = Documents();
      const auto made = tarnwick::office::CreateFileOffice(file, options);
      if (!made.ok()) throw std::runtime_error("office: " + made.message);
      std::fprintf(stderr, "Built in %.1f s\n", made.summary.seconds);
    }
    return file.string();
  }();
  return path;
}

// Where a case runs: the office file, or the office server.
enum class Engine { File, Server };

// The server office of Documents() documents, built when it is missing or
// holds another number of documents.
const std::string& ServerDatabase() {
  static const std::string database = [] {
    const std::string name = "tw_scale_" + std::to_string(Documents());
    bool current = false;
    {
      auto maintenance = tarnwick::test::ServerConnect("postgres");
      if (tarnwick::test::ServerText(maintenance.get(), "select count(*) from pg_database where datname = " +
                                                            tarnwick::postgres::QuoteLiteral(name)) == "1") {
        auto office = tarnwick::test::ServerConnect(name);
        current = tarnwick::test::ServerText(office.get(), "select count(*) from ref_document") ==
                  std::to_string(Documents());
      }
    }
    if (!current) {
      std::fprintf(stderr, "Building the server office %s ...\n", name.c_str());
      tarnwick::office::OfficeOptions options;
      options.sampleDocuments = Documents();
      options.overwrite = true;
      const auto made = tarnwick::office::CreateServerOffice(tarnwick::test::ServerSettings(name), options);
      if (!made.ok()) throw std::runtime_error("server office: " + made.message);
      std::fprintf(stderr, "Built in %.1f s\n", made.summary.seconds);
    }
    return name;
  }();
  return database;
}

// A read-only raw connection to the office with the T-SQL functions.
class Raw {
 public:
  Raw() {
    if (sqlite3_open_v2(Office().c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        tarnwick::sqlite::RegisterTsqlFunctions(db_) != SQLITE_OK) {
      throw std::runtime_error(std::string("raw connection: ") + sqlite3_errmsg(db_));
    }
  }
  ~Raw() { sqlite3_close(db_); }
  Raw(const Raw&) = delete;
  Raw& operator=(const Raw&) = delete;

  // Steps every row, reading every column; returns the row count.
  std::int64_t Walk(const std::string& sql) {
    sqlite3_stmt* stmt = Prepare(sql);
    std::int64_t rows = 0;
    const int columns = sqlite3_column_count(stmt);
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
      for (int c = 0; c < columns; ++c) {
        if (sqlite3_column_type(stmt, c) == SQLITE_TEXT) benchmark::DoNotOptimize(sqlite3_column_text(stmt, c));
        else benchmark::DoNotOptimize(sqlite3_column_int64(stmt, c));
      }
      ++rows;
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE) throw std::runtime_error(std::string("walk: ") + sqlite3_errmsg(db_));
    return rows;
  }

  // The first column of the first row as text ("" when there is none).
  std::string Value(const std::string& sql) {
    sqlite3_stmt* stmt = Prepare(sql);
    std::string value;
    if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0) != nullptr) {
      value = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    }
    sqlite3_finalize(stmt);
    return value;
  }

  // EXPLAIN QUERY PLAN, one line per step, indented by depth.
  std::string Plan(const std::string& sql) {
    sqlite3_stmt* stmt = Prepare("EXPLAIN QUERY PLAN " + sql);
    std::string text;
    std::vector<int> ids;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      const int id = sqlite3_column_int(stmt, 0), parent = sqlite3_column_int(stmt, 1);
      while (!ids.empty() && ids.back() != parent) ids.pop_back();
      text += "    " + std::string(2 * ids.size(), ' ') +
              reinterpret_cast<const char*>(sqlite3_column_text(stmt, 3)) + "\n";
      ids.push_back(id);
    }
    sqlite3_finalize(stmt);
    return text;
  }

 private:
  sqlite3_stmt* Prepare(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string(sqlite3_errmsg(db_)) + " in: " + sql.substr(0, 300));
    }
    return stmt;
  }
  sqlite3* db_ = nullptr;
};

// A raw libpq connection to the server office.
class ServerRaw {
 public:
  // Under the settings of an office session, as the library's queries run.
  ServerRaw() : conn_(tarnwick::test::ServerConnect(ServerDatabase())) {
    tarnwick::test::ServerRows(conn_.get(), tarnwick::postgres::kOfficeSessionSettings);
  }

  // Reads every value of every row; returns the row count.
  std::int64_t Walk(const std::string& sql) {
    tarnwick::postgres::Result result(PQexec(conn_.get(), sql.c_str()));
    if (!tarnwick::postgres::Succeeded(result.get())) {
      throw std::runtime_error(tarnwick::postgres::ErrorText(conn_.get(), result.get()) + " in: " + sql.substr(0, 300));
    }
    const int rows = PQntuples(result.get()), columns = PQnfields(result.get());
    for (int r = 0; r < rows; ++r) {
      for (int c = 0; c < columns; ++c) {
        benchmark::DoNotOptimize(PQgetvalue(result.get(), r, c));
        benchmark::DoNotOptimize(PQgetlength(result.get(), r, c));
      }
    }
    return rows;
  }

  // EXPLAIN (ANALYZE, BUFFERS): the query runs, and each step shows its rows,
  // its time and the pages it read. A query that runs past a minute gets the
  // plan the server would choose, without running it to the end.
  std::string Plan(const std::string& sql) {
    std::string text;
    std::vector<std::vector<std::string>> rows;
    tarnwick::test::ServerRows(conn_.get(), "SET statement_timeout = 60000");
    try {
      rows = tarnwick::test::ServerRows(conn_.get(), "EXPLAIN (ANALYZE, BUFFERS) " + sql);
    } catch (const std::runtime_error&) {
      text = "    (ran past 60 s; the plan without running it:)\n";
      rows = tarnwick::test::ServerRows(conn_.get(), "EXPLAIN " + sql);
    }
    tarnwick::test::ServerRows(conn_.get(), "SET statement_timeout = 0");
    for (const auto& row : rows) text += "    " + row[0] + "\n";
    return text;
  }

 private:
  tarnwick::postgres::Connection conn_;
};

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

// The values the searches look for, taken from the office itself.
struct Samples {
  std::string committeeName, committeePrefix, inhouseInner, acronym, candidateLast, candidateFirst;
  std::string treasurerLast, committeeGroup, user, year = "2010";
};

const Samples& Sample() {
  static const Samples samples = [] {
    Raw raw;
    Samples s;
    const std::string open = "from org_committee where trans_end_date is null ";
    s.committeeName = raw.Value("select org_name " + open + "order by unique_id limit 1 offset 1000");
    s.committeePrefix = raw.Value("select substr(org_name, 1, 7) " + open + "order by unique_id limit 1 offset 2000");
    s.inhouseInner = raw.Value("select substr(inhouse_name, 3, 5) " + open +
                               "and length(inhouse_name) > 8 order by unique_id limit 1 offset 3000");
    s.acronym = raw.Value("select old_acronym " + open + "and old_acronym <> '' order by unique_id limit 1 offset 10");
    const std::string officer =
        "from org_officers o join org_name_address na on na.unique_id = o.entity_id "
        "where o.trans_end_date is null and o.name_type_code = ";
    s.candidateLast = raw.Value("select na.last_name " + officer + "'cnd' order by o.unique_id limit 1 offset 500");
    s.candidateFirst = raw.Value("select na.first_name " + officer + "'cnd' order by o.unique_id limit 1 offset 700");
    s.treasurerLast = raw.Value("select na.last_name " + officer + "'trs' order by o.unique_id limit 1 offset 900");
    s.committeeGroup = raw.Value(
        "select org_id from xrf_org_document group by org_id order by count(*) desc, org_id limit 1");
    s.user = raw.Value("select user_id from ref_document where user_id is not null "
                       "group by user_id order by count(*) limit 1");
    return s;
  }();
  return samples;
}

// The choices of the document search form; the defaults choose nothing.
struct DocumentForm {
  std::string docType, docName, year;
  bool useComm = true;
  std::string commType, name, first, last;
  bool useName = false;
  std::string dateType, begin, end, user, nameType;
  bool notLinked = false;
};

// A gateway that keeps the last query text it was given.
class CapturingGateway : public tarnwick::test::ForwardingGateway {
 public:
  CapturingGateway(std::unique_ptr<tarnwick::DataGateway> inner, std::string& last)
      : ForwardingGateway(std::move(inner)), last_(last) {}
  std::string OpenRecordset(const std::string& sql, std::shared_ptr<tarnwick::Recordset>& result,
                            std::int32_t options, bool scrollable) override {
    last_ = sql;
    return ForwardingGateway::OpenRecordset(sql, result, options, scrollable);
  }

 private:
  std::string& last_;
};

std::string& LastText() {
  static std::string text;
  return text;
}

// The library's objects, connected to the office once.
// Each object takes its gateway when it is made: the capturing one.
struct CapturingFactory {
  CapturingFactory() {
    tarnwick::SetGatewayFactory([] {
      return std::make_unique<CapturingGateway>(tarnwick::CreateDefaultGateway(), LastText());
    });
  }
};

struct Library {
  CapturingFactory factory;
  tarnwick::clsDocument document;
  tarnwick::clsOrg committees;
  tarnwick::clsLookup_List lookups;
  explicit Library(Engine engine) {
    std::string database = Office(), server = "embedded", user;
    const bool trusted = engine == Engine::Server;
    if (trusted) {
      const auto settings = tarnwick::test::ServerSettings(ServerDatabase());
      database = settings.database, server = settings.server, user = settings.user;
    }
    if (!document.ConnectionVariables(database, server, user, "", trusted) ||
        !committees.ConnectionVariables(database, server, user, "", trusted) ||
        !lookups.ConnectionVariables(database, server, user, "", trusted)) {
      throw std::runtime_error("cannot open the office " + database);
    }
  }
};

Library& Objects(Engine engine) {
  if (engine == Engine::Server) {
    static Library server(Engine::Server);
    return server;
  }
  static Library file(Engine::File);
  return file;
}

// One measured case: the library's call (returning its row count) and the
// hand-written query for the same rows, in the engine's own SQL.
struct Case {
  std::string name;
  std::function<std::int64_t(Library&)> run;
  std::function<std::string(Engine)> hand;
};

std::function<std::int64_t(Library&)> DocumentSearch(std::function<DocumentForm()> form) {
  return [form](Library& l) -> std::int64_t {
    const DocumentForm f = form();
    const std::string filter =
        l.document.SetupFilter(f.docType, f.docName, f.year, f.useComm, f.commType, f.name, f.first, f.last,
                               f.useName, f.dateType, f.begin, f.end, f.user, f.nameType, f.notLinked);
    return l.document.GetDocumentList(filter) ? l.document.RecordCount() : 0;
  };
}

std::function<std::int64_t(Library&)> CommitteeSearch(std::function<std::string(tarnwick::clsOrg&)> filter) {
  return [filter](Library& l) -> std::int64_t {
    return l.committees.GetDataList(filter(l.committees)) ? l.committees.RecordCount() : 0;
  };
}

// ----- the hand-written queries -----
//
// One query for both engines, where they differ written in each one's words:
// the search sorts texts case-blind with Nulls first, which the file says
// with COLLATE NOCASE and the server (whose texts are citext, case-blind
// already) with NULLS FIRST, or NULLS LAST when descending.

std::string Ascending(const std::string& column, Engine e) {
  return column + (e == Engine::File ? " COLLATE NOCASE" : " NULLS FIRST");
}

std::string Descending(const std::string& column, Engine e) {
  return column + (e == Engine::File ? " COLLATE NOCASE DESC" : " DESC NULLS LAST");
}

// The document search's columns, from ref_document rd, the link xcd, the
// current committee (open detail row oc, latest reference row ro), the
// candidate's name cna and the report link xrd.
std::string DocumentColumns(Engine e) {
  // The report mark: the file compares the id with '' as the search does; on
  // the server the id is an integer, and only a missing one compares equal.
  const std::string reportMark = e == Engine::File
                                     ? "CASE WHEN coalesce(xrd.report_id, '') = '' THEN '' ELSE 'X' END "
                                     : "CASE WHEN xrd.report_id IS NULL THEN '' ELSE 'X' END ";
  return
    "SELECT rd.unique_id, rd.doc_type_code, (SELECT Description FROM lks_document_type WHERE Code = rd.doc_type_code), "
    "rd.doc_sub_type_code, (SELECT Description FROM lku_document_sub_type WHERE Code = rd.doc_sub_type_code), "
    "rd.doc_year, rd.name_listed, rd.Title, rd.delivery_method_code, "
    "(SELECT Description FROM lks_delivery_method WHERE Code = rd.delivery_method_code), rd.doc_reason_code, "
    "(SELECT Description FROM lks_document_reason WHERE Code = rd.doc_reason_code), rd.receive_send_date, "
    "rd.orig_date, rd.delete_date, rd.update_date, rd.orig_user_id, rd.has_image, oc.org_name, oc.inhouse_name, "
    "rd.report_version_code, ro.id_1 || '-' || ro.id_2 || '-' || ro.id_3 || '-' || ro.id_4, ro.group_id, "
    "rd.is_amendment, oc.previous_id, (SELECT Description FROM lks_org_status WHERE Code = ro.current_status_code), "
    "(SELECT Description FROM lks_committee_type WHERE Code = oc.comm_type_code), rd.update_date, rd.begin_date, "
    "rd.end_date, xrd.report_id, " + reportMark;
}

std::string DocumentOrder(Engine e) {
  return " ORDER BY " + Ascending("oc.inhouse_name", e) + ", " + Ascending("rd.name_listed", e) + ", " +
         Descending("rd.receive_send_date", e) + ", " + Ascending("rd.orig_date", e) + ", " +
         Ascending("rd.doc_type_code", e) + ", " + Ascending("rd.doc_sub_type_code", e);
}

// The committee part of the joins: `committee` is "LEFT JOIN" or "JOIN".
std::string CommitteeJoins(const std::string& committee) {
  return committee + " xrf_org_document xcd ON xcd.document_id = rd.unique_id " + committee +
         " org_committee oc ON oc.org_group_id = xcd.org_id AND oc.trans_end_date IS NULL " + committee +
         " ref_org ro ON ro.unique_id = (SELECT r2.unique_id FROM ref_org r2 WHERE r2.group_id = oc.org_group_id "
         "ORDER BY r2.trans_date DESC, r2.unique_id DESC LIMIT 1) ";
}

std::string CandidateJoins(const std::string& candidate) {
  return candidate +
         " org_officers cnd ON cnd.org_group_id = oc.org_group_id AND oc.comm_type_code = 'cnc' "
         "AND cnd.name_type_code = 'cnd' AND cnd.trans_end_date IS NULL " +
         candidate + " org_name_address cna ON cna.unique_id = cnd.entity_id ";
}

// The document search starting from `from` (ref_document rd, or a driving
// table joined to it), with the joins as asked and a condition.
std::string HandDocuments(Engine e, const std::string& from, const std::string& committee,
                          const std::string& candidate, const std::string& where) {
  return DocumentColumns(e) + "FROM " + from + " " + CommitteeJoins(committee) + CandidateJoins(candidate) +
         "LEFT JOIN xrf_report_document xrd ON xrd.document_id = rd.unique_id " +
         (where.empty() ? std::string() : "WHERE " + where) + DocumentOrder(e);
}

std::string HandAll(Engine e, const std::string& where) {
  return HandDocuments(e, "ref_document rd", "LEFT JOIN", "LEFT JOIN", where);
}

// Documents reached from the committees that match `condition` on oc.
std::string HandByCommittee(Engine e, const std::string& condition) {
  return DocumentColumns(e) +
         "FROM org_committee oc "
         "JOIN ref_org ro ON ro.unique_id = (SELECT r2.unique_id FROM ref_org r2 WHERE r2.group_id = oc.org_group_id "
         "ORDER BY r2.trans_date DESC, r2.unique_id DESC LIMIT 1) "
         "JOIN xrf_org_document xcd ON xcd.org_id = oc.org_group_id "
         "JOIN ref_document rd ON rd.unique_id = xcd.document_id " +
         CandidateJoins("LEFT JOIN") + "LEFT JOIN xrf_report_document xrd ON xrd.document_id = rd.unique_id " +
         "WHERE oc.trans_end_date IS NULL AND " + condition + DocumentOrder(e);
}

// Documents reached from the open candidate terms whose name matches.
std::string HandByCandidate(Engine e, const std::string& condition) {
  return DocumentColumns(e) +
         "FROM org_name_address cna "
         "JOIN org_officers cnd ON cnd.entity_id = cna.unique_id AND cnd.name_type_code = 'cnd' "
         "AND cnd.trans_end_date IS NULL "
         "JOIN org_committee oc ON oc.org_group_id = cnd.org_group_id AND oc.trans_end_date IS NULL "
         "AND oc.comm_type_code = 'cnc' "
         "JOIN ref_org ro ON ro.unique_id = (SELECT r2.unique_id FROM ref_org r2 WHERE r2.group_id = oc.org_group_id "
         "ORDER BY r2.trans_date DESC, r2.unique_id DESC LIMIT 1) "
         "JOIN xrf_org_document xcd ON xcd.org_id = oc.org_group_id "
         "JOIN ref_document rd ON rd.unique_id = xcd.document_id "
         "LEFT JOIN xrf_report_document xrd ON xrd.document_id = rd.unique_id WHERE " +
         condition + DocumentOrder(e);
}

std::string Week(const std::string& column) {
  return "rd." + column + " >= '2010-03-01' AND rd." + column + " < '2010-03-08'";
}

// The committee list's columns and joins, with the current-committee
// condition, leaving out the non-registered reporting entities.
std::string HandCommittees(const std::string& condition) {
  return "SELECT DISTINCT oc.org_group_id, ro.group_id, ro.id_1, ro.id_2, ro.id_3, ro.id_4, oc.previous_id, "
         "oc.org_name, oc.comm_type_code, "
         "(SELECT Description FROM lks_committee_type WHERE Code = oc.comm_type_code), cnd.name_type_code, "
         "CASE WHEN oc.comm_type_code = 'cnc' THEN cna.first_name ELSE '' END, "
         "CASE WHEN oc.comm_type_code = 'cnc' THEN cna.middle_name ELSE '' END, "
         "CASE WHEN oc.comm_type_code = 'cnc' THEN cna.last_name ELSE '' END, "
         "CASE WHEN oc.comm_type_code = 'cnc' THEN cna.suffix ELSE '' END, "
         "CASE WHEN oc.comm_type_code = 'cnc' THEN cna.nick_name ELSE '' END, "
         "trs.name_type_code, tna.first_name, tna.middle_name, tna.last_name, tna.suffix, tna.nick_name, "
         "oc.inhouse_name, (SELECT Description FROM lks_org_status WHERE Code = ro.current_status_code), "
         "oc.party_code, ro.current_status_code "
         "FROM ref_org ro JOIN org_committee oc ON oc.org_group_id = ro.group_id AND oc.trans_end_date IS NULL "
         "LEFT JOIN org_officers cnd ON cnd.org_group_id = oc.org_group_id AND cnd.name_type_code = 'cnd' "
         "AND cnd.trans_end_date IS NULL "
         "LEFT JOIN org_name_address cna ON cna.unique_id = cnd.entity_id "
         "LEFT JOIN org_officers trs ON trs.org_group_id = oc.org_group_id AND trs.name_type_code = 'trs' "
         "AND trs.trans_end_date IS NULL "
         "LEFT JOIN org_name_address tna ON tna.unique_id = trs.entity_id "
         "WHERE (ro.trans_date = (SELECT max(trans_date) FROM ref_org WHERE group_id = ro.group_id) "
         "OR ro.trans_date IS NULL) AND oc.comm_type_code <> 'NRR'" +
         (condition.empty() ? std::string() : " AND " + condition);
}

std::string Contains(const std::string& text) { return Quoted("%" + text + "%"); }

std::vector<Case> Cases() {
  using F = DocumentForm;
  const auto form = [](std::function<void(F&)> set) {
    return [set] {
      F f;
      set(f);
      return f;
    };
  };
  const auto& s = Sample;
  std::vector<Case> cases = {
      // The document search, each choice alone.
      {"Documents/All", DocumentSearch(form([](F&) {})), [](Engine e) { return HandAll(e, ""); }},
      {"Documents/Year", DocumentSearch(form([&](F& f) { f.year = s().year; })),
       [&](Engine e) { return HandAll(e, "rd.doc_year = " + s().year); }},
      {"Documents/CommitteeType", DocumentSearch(form([](F& f) { f.commType = "BQC"; })),
       [](Engine e) { return HandByCommittee(e, "oc.comm_type_code = 'BQC'"); }},
      {"Documents/NoCommittee", DocumentSearch(form([](F& f) { f.commType = "No Committee"; })),
       [](Engine e) { return HandAll(e, "xcd.org_id IS NULL"); }},
      {"Documents/NotLinkedToCommittee", DocumentSearch(form([](F& f) { f.useComm = false; })),
       [](Engine e) { return HandAll(e, "NOT EXISTS (SELECT 1 FROM xrf_org_document x WHERE x.document_id = rd.unique_id)"); }},
      {"Documents/CommitteeNameExact", DocumentSearch(form([&](F& f) { f.name = s().committeeName, f.nameType = "O"; })),
       [&](Engine e) { return HandByCommittee(e, "oc.org_name LIKE " + Quoted(s().committeeName)); }},
      {"Documents/CommitteeNamePrefix",
       DocumentSearch(form([&](F& f) { f.name = s().committeePrefix + "*", f.nameType = "O"; })),
       [&](Engine e) { return HandByCommittee(e, "oc.org_name LIKE " + Quoted(s().committeePrefix + "%")); }},
      {"Documents/InhouseNameInner",
       DocumentSearch(form([&](F& f) { f.name = "*" + s().inhouseInner + "*", f.nameType = "I"; })),
       [&](Engine e) { return HandByCommittee(e, "oc.inhouse_name LIKE " + Contains(s().inhouseInner)); }},
      {"Documents/Acronym", DocumentSearch(form([&](F& f) { f.name = s().acronym, f.nameType = "A"; })),
       [&](Engine e) { return HandByCommittee(e, "oc.old_acronym LIKE " + Quoted(s().acronym)); }},
      {"Documents/CandidateLast", DocumentSearch(form([&](F& f) { f.useName = true, f.last = s().candidateLast; })),
       [&](Engine e) { return HandByCandidate(e, "cna.last_name LIKE " + Quoted(s().candidateLast)); }},
      {"Documents/CandidateFirst", DocumentSearch(form([&](F& f) { f.useName = true, f.first = s().candidateFirst; })),
       [&](Engine e) { return HandByCandidate(e, "cna.first_name LIKE " + Quoted(s().candidateFirst)); }},
      {"Documents/ReceivedWeek",
       DocumentSearch(form([](F& f) { f.dateType = "RECEIVED DATE", f.begin = "3/1/2010", f.end = "3/7/2010"; })),
       [](Engine e) { return HandAll(e, Week("receive_send_date")); }},
      {"Documents/EnteredWeek",
       DocumentSearch(form([](F& f) { f.dateType = "ENTERED DATE", f.begin = "3/1/2010", f.end = "3/7/2010"; })),
       [](Engine e) { return HandAll(e, Week("entry_date")); }},
      {"Documents/UpdatedWeek",
       DocumentSearch(form([](F& f) { f.dateType = "LAST UPDATE DATE", f.begin = "3/1/2010", f.end = "3/7/2010"; })),
       [](Engine e) { return HandAll(e, Week("update_date")); }},
      {"Documents/User", DocumentSearch(form([&](F& f) { f.user = s().user; })),
       [&](Engine e) { return HandAll(e, "rd.user_id = " + Quoted(s().user)); }},
      {"Documents/NotLinkedToReport", DocumentSearch(form([](F& f) { f.notLinked = true; })),
       [](Engine e) {
         return HandAll(e, e == Engine::File ? "xrd.report_id IS NULL AND coalesce(rd.has_no_report_data, 0) = 0"
                                             : "xrd.report_id IS NULL AND NOT coalesce(rd.has_no_report_data, false)");
       }},
      // Realistic combinations.
      {"Documents/CandidateCommitteeAndLast",
       DocumentSearch(form([&](F& f) { f.commType = "CNC", f.useName = true, f.last = s().candidateLast; })),
       [&](Engine e) { return HandByCandidate(e, "cna.last_name LIKE " + Quoted(s().candidateLast)); }},
      {"Documents/NoCommitteeAndYear", DocumentSearch(form([&](F& f) { f.commType = "No Committee", f.year = s().year; })),
       [&](Engine e) { return HandAll(e, "rd.doc_year = " + s().year + " AND xcd.org_id IS NULL"); }},
      {"Documents/UserAndYear", DocumentSearch(form([&](F& f) { f.user = s().user, f.year = s().year; })),
       [&](Engine e) { return HandAll(e, "rd.doc_year = " + s().year + " AND rd.user_id = " + Quoted(s().user)); }},
      {"Documents/YearTypeSubType",
       DocumentSearch(form([&](F& f) { f.year = s().year, f.docType = "RPT", f.docName = "Q1"; })),
       [&](Engine e) { return HandAll(e, "rd.doc_year = " + s().year + " AND rd.doc_type_code = 'RPT' AND rd.doc_sub_type_code = 'Q1'"); }},
      {"Documents/CommitteeNameAndYear",
       DocumentSearch(form([&](F& f) { f.name = s().committeePrefix + "*", f.nameType = "O", f.year = s().year; })),
       [&](Engine e) { return HandByCommittee(e, "oc.org_name LIKE " + Quoted(s().committeePrefix + "%") + " AND rd.doc_year = " + s().year); }},
      // A committee's documents.
      {"CommitteeDocuments",
       [&](Library& l) -> std::int64_t {
         return l.document.GetCommitteeDocumentList(s().committeeGroup) ? l.document.RecordCount() : 0;
       },
       [&](Engine e) {
         return "SELECT (SELECT Description FROM lks_document_type WHERE Code = rd.doc_type_code) AS c1, rd.doc_year, "
                "(SELECT Description FROM lku_document_sub_type WHERE Code = rd.doc_sub_type_code) AS c3, rd.Title, "
                "rd.receive_send_date, rd.entry_date, rd.unique_id FROM ref_org ro "
                "JOIN xrf_org_document xcd ON xcd.org_id = ro.unique_id "
                "JOIN ref_document rd ON rd.unique_id = xcd.document_id "
                "WHERE ro.group_id = " + s().committeeGroup + " AND rd.delete_date IS NULL "
                "ORDER BY " + Ascending("5", e) + ", " + Ascending("1", e) + ", " + Ascending("2", e) + ", " +
                Ascending("3", e);
       }},
      // The committee searches.
      {"Committees/All", CommitteeSearch([](tarnwick::clsOrg&) { return std::string(); }),
       [](Engine) { return HandCommittees(""); }},
      {"Committees/Name",
       CommitteeSearch([&](tarnwick::clsOrg& o) { return o.SetupFilter("", "", "", "1", s().committeePrefix, "", "", "", "O"); }),
       [&](Engine) { return HandCommittees("oc.org_name LIKE " + Contains(s().committeePrefix)); }},
      {"Committees/InhouseName",
       CommitteeSearch([&](tarnwick::clsOrg& o) { return o.SetupFilter("", "", "", "1", s().inhouseInner, "", "", "", "I"); }),
       [&](Engine) { return HandCommittees("oc.inhouse_name LIKE " + Contains(s().inhouseInner)); }},
      {"Committees/Acronym",
       CommitteeSearch([&](tarnwick::clsOrg& o) { return o.SetupFilter("", "", "", "1", s().acronym, "", "", "", "A"); }),
       [&](Engine) { return HandCommittees("oc.old_acronym LIKE " + Contains(s().acronym)); }},
      {"Committees/CandidateLast",
       CommitteeSearch([&](tarnwick::clsOrg& o) { return o.SetupFilter("", "", "", "3", s().candidateLast, "", "", "", ""); }),
       [&](Engine) { return HandCommittees("cna.last_name LIKE " + Contains(s().candidateLast)); }},
      {"Committees/TreasurerLast",
       CommitteeSearch([&](tarnwick::clsOrg& o) { return o.SetupFilter("", "", "", "4", s().treasurerLast, "", "", "", ""); }),
       [&](Engine) { return HandCommittees("tna.last_name LIKE " + Contains(s().treasurerLast)); }},
      // The users list.
      {"Users",
       [](Library& l) -> std::int64_t {
         return l.lookups.GetData(tarnwick::zubL_Users) ? l.lookups.RecordCount() : 0;
       },
       [](Engine e) {
         return std::string("SELECT u.unique_id, u.user_name FROM ref_user u WHERE ") +
                (e == Engine::File ? "u.is_system_user = 0" : "NOT u.is_system_user") +
                " AND u.end_date IS NULL AND NOT EXISTS (SELECT 1 FROM ref_user o WHERE o.group_id = u.group_id "
                "AND o.end_date IS NULL AND o.unique_id < u.unique_id) ORDER BY " + Ascending("u.user_name", e);
       }},
  };
  return cases;
}

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Prepared {
  std::int64_t rows = 0;
  std::string error;  // why the library's call failed, when it returned no rows
  double handMs = 0;
  double plainMs = 0;  // the file only
};

// The hand-written query's rows, checked against the library's, and its best
// time of three.
template <typename RawConnection>
double TimeHand(RawConnection& raw, const Case& c, const std::string& hand, const Prepared& library) {
  double best = 1e300;
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    const std::int64_t rows = raw.Walk(hand);
    best = std::min(best, Milliseconds(Clock::now() - start));
    if (rows != library.rows) {
      throw std::runtime_error(c.name + ": the hand-written query returns " + std::to_string(rows) +
                               " rows, the library " + std::to_string(library.rows) +
                               (library.error.empty() ? "" : " (" + library.error + ")"));
    }
  }
  return best;
}

// The library's call, once: its rows and, when it found none, what its
// objects say went wrong (a search that ran past the statement time limit
// answers False).
Prepared RunOnce(const Case& c, Library& library) {
  Prepared p;
  LastText().clear();
  p.rows = c.run(library);
  if (p.rows == 0) {
    for (const std::string& why : {library.document.LastErrorText(), library.committees.LastErrorText(),
                                   library.lookups.LastErrorText()}) {
      if (!why.empty()) p.error += (p.error.empty() ? "" : "; ") + why;
    }
  }
  return p;
}

// Runs the case once through the library to capture its text, prints the
// plan, checks the hand-written query against it and times that query.
Prepared PrepareFile(const Case& c) {
  Prepared p = RunOnce(c, Objects(Engine::File));
  const std::string text = LastText();
  tarnwick::tsql::Translation translation, plain;
  for (auto [out, rewrites] : {std::pair{&translation, tarnwick::tsql::Rewrites::Apply},
                               std::pair{&plain, tarnwick::tsql::Rewrites::Skip}}) {
    const std::string error = tarnwick::tsql::Translate(text, tarnwick::sqlite::Renderer(rewrites), *out);
    if (!error.empty()) {
      throw std::runtime_error(c.name + ": " + error);
    }
  }
  Raw raw;
  // The text as the engine answered it before the planning rewrites, once.
  const auto start = Clock::now();
  raw.Walk(plain.sql);
  p.plainMs = Milliseconds(Clock::now() - start);
  const std::string hand = c.hand(Engine::File);
  std::fprintf(stderr, "%s: %lld rows\n  library plan:\n%s  hand-written plan:\n%s\n", c.name.c_str(),
               static_cast<long long>(p.rows), raw.Plan(translation.sql).c_str(), raw.Plan(hand).c_str());
  p.handMs = TimeHand(raw, c, hand, p);
  return p;
}

// The same on the server: the library's text as the server engine renders
// it, its EXPLAIN (ANALYZE, BUFFERS), and the hand-written PostgreSQL query.
Prepared PrepareServer(const Case& c) {
  Prepared p = RunOnce(c, Objects(Engine::Server));
  const std::string text = LastText();
  const auto settings = tarnwick::test::ServerSettings(ServerDatabase());
  tarnwick::postgres::Engine engine;
  if (!engine.SetConnection(settings.database, settings.server, settings.user, "", true, 0, "", "")) {
    throw std::runtime_error(c.name + ": " + engine.LastErrorText());
  }
  std::string rendered;
  if (const std::string error = engine.Render(text, rendered); !error.empty()) {
    throw std::runtime_error(c.name + ": " + error);
  }
  ServerRaw raw;
  const std::string hand = c.hand(Engine::Server);
  std::fprintf(stderr, "Server/%s: %lld rows\n  library text:\n    %s\n  library plan:\n%s\n", c.name.c_str(),
               static_cast<long long>(p.rows), rendered.c_str(), raw.Plan(rendered).c_str());
  p.handMs = TimeHand(raw, c, hand, p);
  return p;
}

// The file's time of each case in this run, for the server's case beside it
// (NaN when the file's case failed).
std::map<std::string, double>& FileTimes() {
  static std::map<std::string, double> times;
  return times;
}

// The file's time of a case whose file benchmark did not run (filtered
// out): the mean of three calls.
double FileTime(const Case& c) {
  if (const auto found = FileTimes().find(c.name); found != FileTimes().end()) return found->second;
  Library& library = Objects(Engine::File);
  c.run(library);
  const auto start = Clock::now();
  for (int i = 0; i < 3; ++i) benchmark::DoNotOptimize(c.run(library));
  return FileTimes()[c.name] = Milliseconds(Clock::now() - start) / 3;
}

void RunCase(benchmark::State& state, const Case& c, Engine engine) {
  // The library calls this more than once per case; the preparation runs once.
  static std::map<std::pair<Engine, std::string>, Prepared> prepared;
  Prepared p;
  double fileMs = 0;
  try {
    auto found = prepared.find({engine, c.name});
    if (found == prepared.end()) {
      found = prepared.emplace(std::pair{engine, c.name}, engine == Engine::File ? PrepareFile(c) : PrepareServer(c))
                  .first;
    }
    p = found->second;
    if (engine == Engine::Server) fileMs = FileTime(c);
  } catch (const std::exception& e) {
    if (engine == Engine::File) FileTimes()[c.name] = std::numeric_limits<double>::quiet_NaN();
    state.SkipWithError(e.what());
    return;
  }
  Library& library = Objects(engine);
  double total = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    benchmark::DoNotOptimize(c.run(library));
    total += Milliseconds(Clock::now() - start);
  }
  const double ms = total / static_cast<double>(state.iterations());
  state.counters["rows"] = static_cast<double>(p.rows);
  state.counters["hand_ms"] = p.handMs;
  state.counters["ratio"] = ms / p.handMs;
  if (engine == Engine::File) {
    state.counters["plain_ms"] = p.plainMs;
    FileTimes()[c.name] = ms;
  } else {
    state.counters["server_ms"] = ms;
    state.counters["file_ms"] = fileMs;
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  static std::vector<Case> cases;
  const bool server = tarnwick::test::ServerConfigured();
  try {
    Office();
    if (server) ServerDatabase();
    cases = Cases();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "cannot build the office: %s\n", e.what());
    return 1;
  }
  // The file's cases first: each server case reports the file's time beside it.
  for (const Case& c : cases) {
    benchmark::RegisterBenchmark(c.name.c_str(), [&c](benchmark::State& state) { RunCase(state, c, Engine::File); })
        ->Unit(benchmark::kMillisecond)
        ->MinTime(0.5);
  }
  if (server) {
    for (const Case& c : cases) {
      benchmark::RegisterBenchmark(("Server/" + c.name).c_str(),
                                   [&c](benchmark::State& state) { RunCase(state, c, Engine::Server); })
          ->Unit(benchmark::kMillisecond)
          ->MinTime(0.5);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
