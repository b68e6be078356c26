// `tarnwick serve`, the real program on a free loopback port, on each
// engine: the public routes answer with public columns only, page by page in
// key order; pages and exports come whole; every refusal is a problem body
// with the right status, and a request over a limit is refused before it is
// read; the OpenAPI document names exactly the routes; SIGTERM lets the
// request in flight finish; clerks sign in, edit, and reach the committees,
// code lists, checks, images and exports as the library gives them.
#include <gtest/gtest.h>
#include <httplib.h>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "public_columns.hpp"
#include "server.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

using nlohmann::json;

// A `tarnwick serve` of the test's own on the suite's office; SIGTERM on Stop.
struct Running {
  pid_t pid = -1;
  int port = 0;
  std::unique_ptr<httplib::Client> client;

  // Sends SIGTERM and waits: the program's exit status.
  int Stop() {
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  ~Running() {
    if (pid > 0) Stop();
  }
};

class Service : public SampleOfficeSuite<400> {
 protected:
  void SetUp() override {
    SampleOfficeSuite::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    // A service that refuses a body before reading it closes the socket the
    // test is still writing to: that is an answer, not a reason to die.
    signal(SIGPIPE, SIG_IGN);
    Start(main_);
    client_ = main_.client.get();
    port_ = main_.port;
  }
  void TearDown() override {
    if (main_.pid > 0) {
      EXPECT_EQ(main_.Stop(), 0) << "the service ends cleanly on SIGTERM";
    }
  }
  int Stop() { return main_.Stop(); }

  // The client's options naming the suite's office on the running test's engine.
  std::vector<std::string> OfficeArguments() const {
    if (engine_ == OfficeEngine::Embedded) return {"--db", file_};
    const postgres::ConnectionSettings s = ServerSettings(database_);
    return {"--db", database_, "--server", s.server, "--user", s.user, "--trusted"};
  }

  void Start(Running& running, const std::vector<std::string>& options = {}) {
    std::vector<std::string> args{TARNWICK_CLI_PATH};
    for (const auto& a : OfficeArguments()) args.push_back(a);
    args.insert(args.end(), {"serve", "--listen", "127.0.0.1:0"});
    args.insert(args.end(), options.begin(), options.end());
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    running.pid = fork();
    if (running.pid == 0) {
      dup2(out[1], 1);
      std::freopen("/dev/null", "w", stderr);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    std::string line;
    char ch;
    while (read(out[0], &ch, 1) == 1 && ch != '\n') line += ch;
    close(out[0]);
    ASSERT_EQ(line.rfind("listening on http://127.0.0.1:", 0), 0u) << line;
    running.port = std::stoi(line.substr(line.rfind(':') + 1));
    running.client = std::make_unique<httplib::Client>("127.0.0.1", running.port);
    running.client->set_read_timeout(60, 0);
  }

  // `tarnwick users ...` on the suite's office, the password on its input: the exit status.
  int Users(const std::string& arguments, const std::string& password = "") {
    std::string command = "printf '%s\\n' '" + password + "' | " + TARNWICK_CLI_PATH;
    for (const auto& a : OfficeArguments()) command += " '" + a + "'";
    return WEXITSTATUS(std::system((command + " users " + arguments + " >/dev/null 2>&1").c_str()));
  }

  json Get(const std::string& path, int status = 200) {
    const auto r = client_->Get(path.c_str());
    if (r == nullptr) {
      ADD_FAILURE() << "no answer to " << path;
      return {};
    }
    EXPECT_EQ(r->status, status) << path << ": " << r->body;
    return json::parse(r->body);
  }
  // Every page of a list, walked with `after`.
  std::vector<json> All(const std::string& path, int limit) {
    std::vector<json> items;
    std::string after;
    for (int pages = 0; pages < 1000; ++pages) {
      const json page = Get(path + "&limit=" + std::to_string(limit) + after);
      for (const auto& item : page["items"]) items.push_back(item);
      if (page["next"].is_null()) break;
      after = "&after=" + page["next"].dump();
    }
    return items;
  }

  Running main_;
  int port_ = 0;
  httplib::Client* client_ = nullptr;
};
TW_ON_BOTH_ENGINES(Service);

void ExpectOnly(const json& item, const std::vector<std::string>& allowed) {
  for (const auto& [name, value] : item.items()) {
    EXPECT_NE(std::find(allowed.begin(), allowed.end(), name), allowed.end()) << name << " is no public column";
  }
}

TEST_P(Service, PublicListsComeInKeyOrderWithPublicColumnsOnly) {
  // Committees: every current one once, in OrgID order, each as its own page shows it.
  const auto committees = All("/api/public/committees?", 7);
  EXPECT_EQ(std::to_string(committees.size()),
            Query("select count(distinct org_group_id) from vw_zub_org_committee_detail where trans_end_date is null "
                  "and comm_type_code <> 'NRR'"));
  for (std::size_t i = 0; i < committees.size(); ++i) {
    ExpectOnly(committees[i], service::kPublicCommitteeColumns);
    if (i > 0) {
      EXPECT_LT(committees[i - 1]["OrgID"], committees[i]["OrgID"]);
    }
  }
  const json& some = committees.at(committees.size() / 2);
  EXPECT_EQ(Get("/api/public/committees/" + some["OrgID"].dump()), some);
  // The name search finds it by its name's first word.
  const std::string name = some["OrgName"];
  const json found = Get("/api/public/names?q=" + httplib::detail::encode_query_param(name.substr(0, name.find(' '))));
  ExpectOnly(found["items"][0], service::kPublicNameColumns);
  EXPECT_TRUE(std::any_of(found["items"].begin(), found["items"].end(), [&](const json& n) { return n["OrgID"] == some["OrgID"]; }));

  // Filings: a committee's live filings, each once, each in full on its own page.
  const std::string org = Query("select org_id from xrf_org_document group by org_id order by count(*) desc, org_id");
  const auto filings = All("/api/public/filings?committee=" + org, 3);
  EXPECT_EQ(std::to_string(filings.size()),
            Query("select count(distinct document_id) from xrf_org_document x join ref_document d on "
                  "d.unique_id = x.document_id where d.delete_date is null and x.org_id = " + org));
  for (std::size_t i = 0; i < filings.size(); ++i) {
    ExpectOnly(filings[i], service::kPublicFilingColumns);
    if (i > 0) {
      EXPECT_LT(filings[i - 1]["UniqueID"], filings[i]["UniqueID"]);
    }
  }
  const json one = Get("/api/public/filings/" + filings.front()["UniqueID"].dump());
  auto withPageCount = service::kPublicFilingColumns;
  withPageCount.push_back("PageCount");
  ExpectOnly(one, withPageCount);
  for (const auto& [column, value] : filings.front().items()) EXPECT_EQ(one[column], value) << column;
  EXPECT_TRUE(one.contains("TotalReceipts"));
  // The committee's reports, each with the totals its document holds.
  const auto reports = All("/api/public/committees/" + org + "/reports?", 4);
  EXPECT_EQ(std::to_string(reports.size()),
            Query("select count(distinct document_id) from xrf_org_document x join ref_document d on d.unique_id = "
                  "x.document_id where d.delete_date is null and d.doc_type_code = 'RPT' and x.org_id = " + org));
  for (const json& report : reports) {
    ExpectOnly(report, service::kPublicFilingColumns);
    EXPECT_EQ(report["TotalReceipts"], Get("/api/public/filings/" + report["UniqueID"].dump())["TotalReceipts"]);
  }
  // A year, a type and a received week narrow the list as the search form does.
  const json year = Get("/api/public/filings?year=2007&type=RPT&received_from=2007-01-01&received_to=2007-12-31&limit=500");
  for (const auto& f : year["items"]) {
    EXPECT_EQ(std::tuple(f["DocYear"], f["DocTypeCode"], f["ReceiveSendDate"].get<std::string>().substr(0, 4)),
              std::tuple(json(2007), json("RPT"), std::string("2007")));
  }
  // A deleted document is no filing.
  const std::string deleted = Query("select min(unique_id) from ref_document where delete_date is not null");
  if (deleted != "<none>" && !deleted.empty()) Get("/api/public/filings/" + deleted, 404);
}

TEST_P(Service, PagesAndExportsComeWhole) {
  const std::string id = Query("select min(document_id) from document_image where doc_image is not null");
  // The filing says how many pages it has: the last one is there, the one after it is not.
  const std::string count = Get("/api/public/filings/" + id)["PageCount"].dump();
  EXPECT_NE(count, "0");
  const auto last = client_->Get(("/api/public/filings/" + id + "/pages/" + count + ".png").c_str());
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->status, 200);
  Get("/api/public/filings/" + id + "/pages/" + std::to_string(std::stoi(count) + 1) + ".png", 404);
  const auto png = client_->Get(("/api/public/filings/" + id + "/pages/1.png?width=120").c_str());
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(std::tuple(png->status, png->get_header_value("Content-Type"), png->body.substr(1, 3)),
            std::tuple(200, std::string("image/png"), std::string("PNG")));
  const auto pdf = client_->Get(("/api/public/filings/" + id + ".pdf").c_str());
  ASSERT_NE(pdf, nullptr);
  EXPECT_EQ(std::tuple(pdf->status, pdf->body.substr(0, 5)), std::tuple(200, std::string("%PDF-")));
  EXPECT_EQ(Get("/api/public/filings/" + id + "/pages/999.png", 404)["detail"].get<std::string>().find("not 999") !=
                std::string::npos,
            true);
  const std::string bare = Query("select min(unique_id) from ref_document where unique_id not in "
                                 "(select document_id from document_image where doc_image is not null) and delete_date is null");
  Get("/api/public/filings/" + bare + ".pdf", 404);

  // The CSV is the export the library writes for the year, byte for byte.
  TempDir dir;
  auto exporter = Connected<clsDocReportExport>();
  ASSERT_TRUE(exporter->CreateFile("", "2007", "", "", "", "", "", dir.File("year.csv"), ""));
  const auto csv = client_->Get("/api/public/exports/filed-reports.csv?year=2007");
  ASSERT_NE(csv, nullptr);
  EXPECT_EQ(csv->status, 200);
  EXPECT_EQ(csv->body, ReadFile(dir.File("year.csv")));
}

TEST_P(Service, TheOpenApiDocumentNamesEveryRouteAndNoOther) {
  const json document = Get("/api/openapi.json");
  EXPECT_EQ(document["openapi"], "3.1.0");
  std::set<std::string> documented, served;
  for (const auto& [path, methods] : document["paths"].items()) {
    for (const auto& [method, operation] : methods.items()) documented.insert(method + " " + path);
  }
  for (const auto& route : service::ServiceRoutes({})) {
    std::string method(route.method);
    std::transform(method.begin(), method.end(), method.begin(), [](char ch) { return static_cast<char>(ch - 'A' + 'a'); });
    served.insert(method + " " + std::string(route.path));
  }
  EXPECT_EQ(documented, served);
  EXPECT_EQ(Get("/health")["status"], "ok");
}

// What a raw HTTP request gets back: the status line's code, the head and
// the body. `meanwhile` runs once the request is sent, before the answer is read.
struct RawAnswer {
  int status = 0;
  std::string head, body;
};
RawAnswer RawRequest(int port, const std::string& request, const std::function<void()>& meanwhile = {}) {
  const int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return {0, "no connection", ""};
  for (std::size_t sent = 0; sent < request.size();) {
    const ssize_t n = send(sock, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;  // refused before the rest was read: the answer still counts
    sent += static_cast<std::size_t>(n);
  }
  if (meanwhile) meanwhile();
  std::string answer;
  char buffer[4096];
  for (ssize_t n; (n = read(sock, buffer, sizeof buffer)) > 0;) answer.append(buffer, static_cast<std::size_t>(n));
  close(sock);
  const std::size_t body = answer.find("\r\n\r\n");
  if (answer.rfind("HTTP/1.1 ", 0) != 0 || body == std::string::npos) return {0, answer, ""};
  return {std::stoi(answer.substr(9, 3)), answer.substr(0, body), answer.substr(body + 4)};
}

TEST_P(Service, SigtermLetsTheRequestInFlightFinish) {
  // The whole request is sent before the signal; the answer must still come
  // complete, and the program end by itself.
  int stopped = -1;
  const RawAnswer answer = RawRequest(
      port_, "GET /api/public/exports/filed-reports.csv?year=2007 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stopped = Stop();
      });
  EXPECT_EQ(stopped, 0);
  ASSERT_EQ(answer.status, 200) << answer.head;
  const std::size_t length = answer.head.find("Content-Length: ");
  ASSERT_NE(length, std::string::npos);
  EXPECT_EQ(answer.body.size(), std::stoul(answer.head.substr(length + 16)));
  EXPECT_EQ(answer.body.substr(0, 10), "\"comm_id\",");
}

// Signs `user` in on a service: the cookie and CSRF headers a browser would send.
httplib::Headers SignIn(httplib::Client& client, const std::string& user, const std::string& password) {
  const auto r = client.Post("/api/login", json{{"user", user}, {"password", password}}.dump(), "application/json");
  if (r == nullptr || r->status != 200) {
    ADD_FAILURE() << "cannot sign in as " << user << ": " << (r ? r->body : "no answer");
    return {};
  }
  const std::string cookie = r->get_header_value("Set-Cookie");
  return {{"Cookie", cookie.substr(0, cookie.find(';'))}, {"X-CSRF-Token", json::parse(r->body)["csrf_token"]}};
}

int Status(const httplib::Result& r) { return r == nullptr ? 0 : r->status; }

TEST_P(Service, ClerksSignInAndOutAndEveryServiceOverTheOfficeKnowsTheirSession) {
  const std::string user = std::string("clerk_") + (engine_ == OfficeEngine::Embedded ? "file" : "server");
  EXPECT_EQ(Users("add " + user + " --password-stdin", "short"), 2) << "a short password is refused";
  ASSERT_EQ(Users("add " + user + " --role clerk --password-stdin", "a long password"), 0);
  const auto attempt = [&](httplib::Client& c, const std::string& name, const std::string& password) {
    return c.Post("/api/login", json{{"user", name}, {"password", password}}.dump(), "application/json");
  };
  EXPECT_EQ(Status(client_->Get("/api/documents/1")), 401);
  EXPECT_EQ(Get("/api/session")["user"], nullptr) << "no one is signed in, and that is no refusal";
  EXPECT_EQ(Status(attempt(*client_, user, "not the password")), 401);
  EXPECT_EQ(Status(attempt(*client_, "nobody", "a long password")), 401);
  const auto login = attempt(*client_, user, "a long password");
  ASSERT_EQ(Status(login), 200);
  const std::string cookie = login->get_header_value("Set-Cookie");
  EXPECT_NE(cookie.find("; HttpOnly; SameSite=Strict"), std::string::npos) << cookie;
  const httplib::Headers session{{"Cookie", cookie.substr(0, cookie.find(';'))}};
  httplib::Headers withCsrf = session;
  withCsrf.emplace("X-CSRF-Token", json::parse(login->body)["csrf_token"]);

  // Another service over the same office knows the session and gives its
  // CSRF token again (a page reloaded); a change needs the token.
  Running other;
  Start(other);
  const auto again = other.client->Get("/api/session", session);
  ASSERT_EQ(Status(again), 200);
  EXPECT_EQ(std::tuple(json::parse(again->body)["user"], json::parse(again->body)["csrf_token"]),
            std::tuple(json(user), json::parse(login->body)["csrf_token"]));
  EXPECT_EQ(Status(other.client->Get("/api/documents/1", session)), 200);
  EXPECT_EQ(Status(other.client->Post("/api/logout", session, "", "application/json")), 403);
  EXPECT_EQ(Status(other.client->Post("/api/logout", withCsrf, "", "application/json")), 204);
  EXPECT_EQ(Status(client_->Get("/api/documents/1", session)), 401) << "signed out on one service, out on all";

  // A public-only service has no clerks' side at all.
  Running reading;
  Start(reading, {"--public-only"});
  EXPECT_EQ(Status(attempt(*reading.client, user, "a long password")), 404);
  EXPECT_EQ(Status(reading.client->Get("/api/documents/1", withCsrf)), 404);
  EXPECT_EQ(std::tuple(Status(reading.client->Get("/")), Status(reading.client->Get("/desk"))), std::tuple(200, 404))
      << "the reading room without the desk";

  // Failures past the fifth lock the login for a while.
  for (int i = 0; i < 6; ++i) attempt(*client_, user, "guessing");
  const auto locked = attempt(*client_, user, "a long password");
  ASSERT_EQ(Status(locked), 429) << "the right password is refused while the login is locked";
  EXPECT_FALSE(locked->get_header_value("Retry-After").empty());

  // A session ends at its time, and every session of a login with the login.
  const std::string admin = user + "_admin";
  ASSERT_EQ(Users("add " + admin + " --role admin --password-stdin", "another long one"), 0);
  Running brief;
  Start(brief, {"--session-seconds", "1"});
  const httplib::Headers shortLived = SignIn(*brief.client, admin, "another long one");
  std::this_thread::sleep_for(std::chrono::milliseconds(2100));
  EXPECT_EQ(Status(brief.client->Get("/api/documents/1", shortLived)), 401);
  const httplib::Headers longLived = SignIn(*client_, admin, "another long one");
  EXPECT_EQ(Status(client_->Get("/api/documents/1", longLived)), 200);
  EXPECT_EQ(Users("remove " + admin), 0);
  EXPECT_EQ(Status(client_->Get("/api/documents/1", longLived)), 401);
  EXPECT_EQ(Users("remove " + admin), 3);
}

TEST_P(Service, ClerksEditDocumentsAndTheSecondOfTwoEditsIsRefused) {
  const std::string user = std::string("editor_") + (engine_ == OfficeEngine::Embedded ? "file" : "server");
  ASSERT_EQ(Users("add " + user + " --password-stdin", "a long password"), 0);
  const httplib::Headers clerk = SignIn(*client_, user, "a long password");
  const std::string id = Query("select min(unique_id) from ref_document where delete_date is null");
  const std::string path = "/api/documents/" + id;
  const auto read = client_->Get(path.c_str(), clerk);
  ASSERT_EQ(Status(read), 200);
  const std::string tag = read->get_header_value("ETag");
  auto patch = [&](const std::string& body, const std::string& ifMatch, const char* type = "application/json") {
    httplib::Headers h = clerk;
    if (!ifMatch.empty()) h.emplace("If-Match", ifMatch);
    return client_->Patch(path.c_str(), h, body, type);
  };
  const auto first = patch(R"({"Title": "Amended title", "DueDate": "2004-12-31", "AmountDue": "25", "IsAmendment": true})", tag);
  ASSERT_EQ(Status(first), 200) << first->body;
  const json saved = json::parse(first->body);
  EXPECT_EQ(std::tuple(saved["Title"], saved["DueDate"], saved["AmountDue"], saved["IsAmendment"]),
            std::tuple(json("Amended title"), json("2004-12-31"), json("25.0000"), json(true)));
  EXPECT_NE(first->get_header_value("ETag"), tag);
  const std::string clerkUser = Query("select max(unique_id) from ref_user where user_name = '" + user + "' and end_date is null");
  EXPECT_EQ(Query("select user_id from ref_document where unique_id = " + id), clerkUser) << "the save records its clerk";
  // The second clerk still holds the row as it was: refused, nothing mixed in.
  EXPECT_EQ(Status(patch(R"({"Title": "Lost edit"})", tag)), 412);
  // Of many clerks sending their change to the same row at once, through
  // two services, one wins.
  Running other;
  Start(other);
  const std::string current = first->get_header_value("ETag");
  std::vector<int> answers(8);
  std::vector<std::thread> clerks;
  for (std::size_t i = 0; i < answers.size(); ++i) {
    clerks.emplace_back([&, i] {
      httplib::Client own("127.0.0.1", i % 2 == 0 ? port_ : other.port);
      httplib::Headers h = clerk;
      h.emplace("If-Match", current);
      answers[i] = Status(own.Patch(path.c_str(), h, json{{"Title", "Race " + std::to_string(i)}}.dump(), "application/json"));
    });
  }
  for (auto& t : clerks) t.join();
  EXPECT_EQ(std::count(answers.begin(), answers.end(), 200), 1);
  EXPECT_EQ(std::count(answers.begin(), answers.end(), 412), 7);
  const auto afterRace = client_->Get(path.c_str(), clerk);
  ASSERT_EQ(Status(afterRace), 200);
  const std::string winner = json::parse(afterRace->body)["Title"];
  ASSERT_EQ(Status(patch(R"({"Title": "Amended title"})", afterRace->get_header_value("ETag"))), 200) << winner;
  EXPECT_EQ(Get(path + "?", 401)["status"], 401) << "no session, no document";
  EXPECT_EQ(json::parse(client_->Get(path.c_str(), clerk)->body)["Title"], "Amended title");

  struct Case {
    std::string body, type = "application/json";
    int status;
    std::string says;
  };
  const Case bad[] = {
      {.body = "{\"Title\": ", .status = 400, .says = "one JSON object"},
      {.body = "[1, 2]", .status = 400, .says = "one JSON object"},
      {.body = R"({"Title": "x"})", .type = "text/plain", .status = 415, .says = "application/json"},
      {.body = R"({"UniqueID": 5})", .status = 400, .says = "no column a clerk may set"},
      {.body = R"({"DueDate": "12/31/2004"})", .status = 400, .says = "yyyy-mm-dd"},
      {.body = R"({"AmountDue": "lots"})", .status = 400, .says = "not a number"},
      {.body = R"({"Title": [1]})", .status = 400, .says = "takes a text"},
      {.body = "{}", .status = 400, .says = "at least one column"},
  };
  for (const Case& c : bad) {
    SCOPED_TRACE(c.body);
    const auto r = patch(c.body, "", c.type.c_str());
    EXPECT_EQ(Status(r), c.status);
    EXPECT_NE(json::parse(r->body).value("detail", "").find(c.says), std::string::npos) << r->body;
  }

  // A new document, found by the search form, linked and unlinked, deleted.
  const auto made = client_->Post("/api/documents", clerk,
                                  R"({"DocTypeCode": "COR", "DocYear": 2031, "Title": "A letter", "ReceiveSendDate": "2031-03-01"})",
                                  "application/json");
  ASSERT_EQ(Status(made), 201) << made->body;
  const std::string location = made->get_header_value("Location");
  const std::string made_id = json::parse(made->body)["UniqueID"].dump();
  EXPECT_EQ(location, "/api/documents/" + made_id);
  EXPECT_EQ(QueryRows("select orig_user_id, user_id from ref_document where unique_id = " + made_id),
            (std::vector<std::vector<std::string>>{{clerkUser, clerkUser}}));
  const json found = json::parse(client_->Get("/api/documents?year=2031&type=COR", clerk)->body);
  ASSERT_EQ(found["items"].size(), 1u);
  EXPECT_EQ(found["items"][0]["Title"], "A letter");
  const std::string org = Query("select min(org_group_id) from vw_zub_org_committee_detail");
  const std::string link = location + "/committees/" + org;
  EXPECT_EQ(Status(client_->Put(link.c_str(), clerk, "", "application/json")), 204);
  EXPECT_EQ(Get("/api/public/filings?committee=" + org + "&year=2031")["items"].size(), 1u);
  EXPECT_EQ(Status(client_->Delete(link.c_str(), clerk)), 204);
  EXPECT_EQ(Get("/api/public/filings?committee=" + org + "&year=2031")["items"].size(), 0u);
  EXPECT_EQ(Status(client_->Delete(location.c_str(), clerk)), 204);
  EXPECT_EQ(Status(client_->Get(location.c_str(), clerk)), 404);
}


TEST_P(Service, ClerksReachCommitteesCodeListsChecksImagesAndExportsAsTheLibraryGivesThem) {
  const std::string user = std::string("office_") + (engine_ == OfficeEngine::Embedded ? "file" : "server");
  ASSERT_EQ(Users("add " + user + " --password-stdin", "a long password"), 0);
  const httplib::Headers clerk = SignIn(*client_, user, "a long password");
  const auto get = [&](const std::string& path, int status = 200) {
    const auto r = client_->Get(path.c_str(), clerk);
    EXPECT_EQ(Status(r), status) << path << ": " << (r ? r->body : "");
    return r == nullptr ? json() : json::parse(r->body, nullptr, false);
  };

  // A committee found by its name, and its documents: the live ones linked to it.
  json first = get("/api/committees?limit=1");
  ASSERT_EQ(first["items"].size(), 1u);
  const std::string org = first["items"][0]["OrgID"].dump(), name = first["items"][0]["OrgName"];
  std::set<std::string> ids;
  json committees = get("/api/committees?limit=500&name=" + httplib::detail::encode_query_param(name));
  for (const auto& c : committees["items"]) ids.insert(c["OrgID"].dump());
  EXPECT_EQ(ids.count(org), 1u) << name;
  std::set<std::string> documents, linked;
  json page = get("/api/committees/" + org + "/documents?limit=500");
  for (const auto& d : page["items"]) documents.insert(d["UniqueID"].dump());
  for (const auto& row : QueryRows("select x.document_id from xrf_org_document x join ref_document d on d.unique_id = "
                                   "x.document_id where x.org_id = " + org + " and d.delete_date is null")) {
    linked.insert(row[0]);
  }
  EXPECT_EQ(documents, linked);
  EXPECT_NE(get("/api/committees?name_kind=mayor", 400)["detail"].get<std::string>().find("name_kind must be one of"),
            std::string::npos);

  // A code list in force today, and each code's description as the list has it.
  json types = get("/api/lists/document-type");
  ASSERT_FALSE(types["items"].empty());
  for (const auto& item : types["items"]) {
    const std::string code = item.value("Code", "");
    EXPECT_EQ(get("/api/codes/document-type/" + code).value("Description", ""), item.value("Description", "-")) << code;
  }
  EXPECT_NE(get("/api/lists/colour", 404)["detail"].get<std::string>().find("document-type"), std::string::npos);
  get("/api/codes/document-type/NOSUCH", 404);
  EXPECT_TRUE(get("/api/lists/document-type?date=1800-01-01")["items"].empty()) << "no code was in force then";

  // A filing check answers as the library does for the same committee and year.
  auto document = Connected<clsDocument>();
  bool match = false, mef = false;
  std::int16_t election = 0;
  ASSERT_TRUE(document->RunMEFChecks(ExistingReport, org, "", "2007", "", "", "", "", "", match, mef, election));
  const auto check = client_->Post("/api/checks/existing-report", clerk, json{{"committee", org}, {"year", 2007}}.dump(),
                                   "application/json");
  ASSERT_EQ(Status(check), 200) << check->body;
  json checked = json::parse(check->body);
  EXPECT_EQ(std::tuple(checked["MatchFound"], checked["MEFFlag"], checked["ElectionID"]),
            std::tuple(json(match), json(mef), json(election)));
  EXPECT_EQ(Status(client_->Post("/api/checks/existing-report", clerk, "{}", "application/json")), 400);
  EXPECT_EQ(Status(client_->Post("/api/checks/guess", clerk, "{}", "application/json")), 404);

  // An image stored on a bare document reads back byte for byte, shows as its
  // public page, and goes again; what is no image is refused.
  const std::string scanned = Query("select min(document_id) from document_image where doc_image is not null");
  const auto stored = client_->Get(("/api/documents/" + scanned + "/image").c_str(), clerk);
  ASSERT_EQ(Status(stored), 200);
  const std::string bare = Query("select max(unique_id) from ref_document where delete_date is null and unique_id not in "
                                 "(select document_id from document_image)");
  const std::string image = "/api/documents/" + bare + "/image";
  EXPECT_EQ(Status(client_->Put(image.c_str(), clerk, "not an image", "text/plain")), 415);
  EXPECT_EQ(Status(client_->Put(image.c_str(), clerk, stored->body, stored->get_header_value("Content-Type"))), 204);
  const auto back = client_->Get(image.c_str(), clerk);
  ASSERT_EQ(Status(back), 200);
  EXPECT_TRUE(back->body == stored->body) << "the image comes back as it was stored";
  const auto shown = client_->Get(("/api/public/filings/" + bare + "/pages/1.png").c_str());
  ASSERT_EQ(Status(shown), 200);
  // The clerk sees the same pages as the reader, and how many there are.
  const auto clerkPage = client_->Get(("/api/documents/" + bare + "/pages/1.png").c_str(), clerk);
  ASSERT_EQ(Status(clerkPage), 200);
  EXPECT_TRUE(clerkPage->body == shown->body);
  const auto counted = client_->Get(("/api/documents/" + bare + "/pages").c_str(), clerk);
  ASSERT_EQ(Status(counted), 200);
  EXPECT_EQ(json::parse(counted->body)["PageCount"], Get("/api/public/filings/" + bare)["PageCount"]);
  EXPECT_EQ(Status(client_->Delete(image.c_str(), clerk)), 204);
  EXPECT_EQ(json::parse(client_->Get(("/api/documents/" + bare + "/pages").c_str(), clerk)->body)["PageCount"], 0);
  EXPECT_EQ(Status(client_->Get(image.c_str(), clerk)), 404);
  EXPECT_EQ(Status(client_->Delete(image.c_str(), clerk)), 404);
  EXPECT_EQ(Status(client_->Get("/api/documents/99999999/image", clerk)), 404);

  // Both exports are the files the library writes, byte for byte.
  TempDir dir;
  auto exporter = Connected<clsDocReportExport>();
  ASSERT_TRUE(exporter->CreateFile("", "2007", "", "", "", "", "", dir.File("filed.csv"), ""));
  ASSERT_TRUE(exporter->CreateFileCorrExport("", "COR", "", "", "", dir.File("letters.csv")));
  const auto filed = client_->Get("/api/exports/filed-reports.csv?year=2007", clerk);
  const auto letters = client_->Get("/api/exports/correspondence.csv", clerk);
  ASSERT_EQ(std::tuple(Status(filed), Status(letters)), std::tuple(200, 200));
  EXPECT_EQ(filed->body, ReadFile(dir.File("filed.csv")));
  EXPECT_EQ(letters->body, ReadFile(dir.File("letters.csv")));
  EXPECT_EQ(Status(client_->Get("/api/exports/correspondence.csv")), 401) << "no session, no export";
}

// Every refusal, sent as raw HTTP so that requests over a limit are refused
// before they are read: a problem body with its status.
TEST_P(Service, EveryRefusalIsAProblemWithItsStatus) {
  struct Case {
    std::string method = "GET", path, head = "", body = "";
    int status;
    std::string says;
  };
  const Case cases[] = {
      {.path = "/api/nothing", .status = 404, .says = "nothing at"},
      {.path = "/api/public/filings/1%2F2", .status = 404, .says = "nothing at"},
      {.path = "/api/public/filings/%2e%2e/1", .status = 404, .says = "nothing at"},
      {.path = "/api/public/../../etc/passwd", .status = 404, .says = "nothing at"},
      {.path = "/api/public/filings/99999999", .status = 404, .says = "no filing 99999999"},
      {.path = "/api/public/committees/0", .status = 400, .says = "OrgID must be"},
      {.method = "DELETE", .path = "/api/public/filings", .status = 405, .says = "takes GET"},
      {.path = "/api/public/filings?color=red", .status = 400, .says = "no parameter \"color\""},
      {.path = "/api/public/filings?year=20x7", .status = 400, .says = "year must be"},
      {.path = "/api/public/filings?received_from=2024-02-30", .status = 400, .says = "yyyy-mm-dd"},
      {.path = "/api/public/filings?type=RPT'--", .status = 400, .says = "type must be"},
      {.path = "/api/public/filings?limit=501", .status = 400, .says = "1 to 500"},
      {.path = "/api/public/names?q=%C3%28", .status = 400, .says = "UTF-8"},
      {.path = "/api/public/names?q=a&q=b", .status = 400, .says = "twice"},
      {.path = "/api/public/names", .status = 400, .says = "q (the name"},
      {.path = "/api/public/names?q=a&kind=mayor", .status = 400, .says = "clsNameSearch.Find"},
      {.path = "/api/public/exports/filed-reports.csv", .status = 400, .says = "year is required"},
      // Refused from the length alone, before the body is read.
      {.method = "POST", .path = "/api/login", .head = "Content-Type: application/json\r\nContent-Length: 2000000\r\n",
       .body = "{", .status = 413, .says = "at most 1048576 bytes"},
      {.method = "PUT", .path = "/api/documents/1/image", .head = "Content-Type: image/png\r\nContent-Length: 99999999999\r\n",
       .status = 413, .says = "at most 67108864 bytes"},
      {.method = "POST", .path = "/api/login", .head = "Content-Length: 12abc\r\n", .status = 400,
       .says = "Content-Length must be"},
      {.path = "/health", .head = "X-Big: " + std::string(20000, 'x') + "\r\n", .status = 400, .says = "Bad Request"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.method + " " + c.path);
    const RawAnswer answer = RawRequest(
        port_, c.method + " " + c.path + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + c.head + "\r\n" + c.body);
    EXPECT_EQ(answer.status, c.status) << answer.body;
    EXPECT_NE(answer.head.find("Content-Type: application/problem+json"), std::string::npos) << answer.head;
    const json body = json::parse(answer.body, nullptr, false);
    EXPECT_EQ(body.value("status", 0), c.status) << answer.body;
    EXPECT_NE((body.value("detail", "") + " " + body.value("source", "")).find(c.says), std::string::npos) << answer.body;
    if (c.status == 405) {
      EXPECT_NE(answer.head.find("Allow: GET"), std::string::npos) << answer.head;
    }
  }
  EXPECT_EQ(Get("/health")["status"], "ok") << "the service still answers";
}

TEST_P(Service, TheWebPagesComeWithTheirPolicyAndAreAskedForAgainCheaply) {
  // Each page's path answers with its shell; each shell's files are there.
  for (const char* path : {"/", "/committees/55", "/filings/1", "/desk", "/desk/documents/1", "/desk/checks"}) {
    const auto page = client_->Get(path);
    ASSERT_EQ(Status(page), 200) << path;
    EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
    EXPECT_NE(page->get_header_value("Content-Security-Policy").find("script-src 'self'"), std::string::npos);
    for (std::size_t at = page->body.find("/assets/"); at != std::string::npos; at = page->body.find("/assets/", at + 1)) {
      const std::string asset = page->body.substr(at, page->body.find('"', at) - at);
      EXPECT_EQ(Status(client_->Get(asset)), 200) << asset;
    }
  }
  // A browser that has the file asks with its tag and gets no body.
  const auto script = client_->Get("/assets/common.js");
  ASSERT_EQ(Status(script), 200);
  EXPECT_EQ(script->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
  const auto unchanged = client_->Get("/assets/common.js", {{"If-None-Match", script->get_header_value("ETag")}});
  ASSERT_EQ(Status(unchanged), 304);
  EXPECT_TRUE(unchanged->body.empty());
  // Only the files and paths the pages have; a page takes no query.
  for (const char* path : {"/assets/nothing.js", "/assets/../CMakeLists.txt", "/desk/documents/x", "/committees"}) {
    EXPECT_NE(Status(client_->Get(path)), 200) << path;
  }
  EXPECT_EQ(Status(client_->Get("/desk?year=2004")), 400);
}

}  // namespace
}  // namespace tarnwick::test
