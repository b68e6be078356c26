// Many clerks on one office (a file, or a database on the office server),
// each in a process of its own: they save new
// documents, change columns, move committee links and delete documents
// through the library's classes for a bounded time, and write every write
// the library acknowledged (and every one it refused, with its error text)
// to a journal of their own. Verify then reads the file and the journals and
// says whether every acknowledged write is there, once, and nothing else.
// A write the database refused for a deadlock or a lost race must come back
// as a refusal with its text, never as an acknowledged write that is missing.
//
// The load program beside it (office_load: 30 s and its figures) and the
// load test of the suite (tests/load/, a few seconds) both run it.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "gateway/postgres/connection.hpp"
#include "support/office_files.hpp"
#include "support/server_office.hpp"
#include "tarnwick/tarnwick.hpp"

namespace tarnwick::test {

struct Figures {
  std::int64_t acknowledged = 0;  // writes the library said were done
  std::int64_t refused = 0;       // writes that returned False with an error text
  std::int64_t busy = 0;          // of those, refused because the file was busy
  std::int64_t raised = 0;        // of those, refused by a RuntimeError rather than False
  std::vector<std::string> refusals;  // what each refused write said, and after how long
  std::vector<double> saveMs;         // how long each acknowledged SaveData of a document took
  double seconds = 0;
  std::vector<std::string> problems;  // empty when the file and the journals agree
};

// Where the clerks work: an office file, or an office database on the
// server (reached as a trusted user).
struct Office {
  std::string database;  // the file, or the database on the server
  std::string server = "embedded";
  std::string user;
  bool OnServer() const { return server != "embedded"; }
};

namespace detail {

// One line per write, written with one write(2) so a line is never torn.
class Journal {
 public:
  explicit Journal(const std::string& path) : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644)) {}
  ~Journal() {
    if (fd_ >= 0) ::close(fd_);
  }
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;
  void Line(const std::string& text) {
    std::string line = text;
    for (char& c : line) {
      if (c == '\n') c = ' ';
    }
    line.push_back('\n');
    if (fd_ >= 0 && ::write(fd_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) ::_exit(3);
  }

 private:
  int fd_;
};

inline bool IsBusyText(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text.find("busy") != std::string::npos || text.find("locked") != std::string::npos ||
         text.find("deadlock") != std::string::npos || text.find("serializ") != std::string::npos;
}

// Every row of a query on the office, each value as text ("<null>" for Null);
// a failure is added to problems.
inline std::vector<std::vector<std::string>> Rows(const Office& office, const std::string& sql,
                                                  std::vector<std::string>& problems) {
  try {
    if (!office.OnServer()) return Db(office.database).Rows(sql);
    postgres::ConnectionSettings settings;
    settings.server = office.server;
    settings.database = office.database;
    settings.user = office.user;
    settings.trusted = true;
    std::string error;
    postgres::Connection conn = postgres::Connect(settings, error);
    if (conn) return test::ServerRows(conn.get(), sql);
    problems.push_back(error);
  } catch (const std::exception& e) {
    problems.push_back(e.what());
  }
  return {};
}

}  // namespace detail

// The body of one clerk process: works until `seconds` have passed.
// committees: identifiers of committees a document may be linked to.
inline void RunClerk(const Office& office, int clerk, const std::vector<std::int32_t>& committees,
                     double seconds, const std::string& journalPath) {
  detail::Journal journal(journalPath);
  std::mt19937_64 random(static_cast<std::uint64_t>(clerk) * 7919u + 17u);
  clsDocument doc;
  clsXrf_Org_Document link;
  if (!doc.ConnectionVariables(office.database, office.server, office.user, "", office.OnServer()) ||
      !link.ConnectionVariables(office.database, office.server, office.user, "", office.OnServer())) {
    journal.Line("F cannot connect");
    return;
  }
  std::vector<std::int32_t> mine;        // live documents this clerk made
  std::map<std::int32_t, std::int32_t> linkedTo;  // their committees, where a link was saved
  const auto committee = [&] { return committees[random() % committees.size()]; };
  auto began = std::chrono::steady_clock::now();
  // A refusal is journalled with its error text and how long the clerk waited for it.
  const auto refused = [&](const std::string& what, const std::string& text) {
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
    journal.Line("R " + what + " after " + std::to_string(waited.count()) + " ms: " +
                 (text.empty() ? "<no error text>" : text));
  };
  // A document's SaveData; an acknowledged one journals its time first ("T ms").
  const auto timedSave = [&] {
    const auto start = std::chrono::steady_clock::now();
    if (!doc.SaveData()) return false;
    journal.Line("T " + std::to_string(std::chrono::duration<double, std::milli>(
                                           std::chrono::steady_clock::now() - start).count()));
    return true;
  };
  const auto stop = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (std::int64_t n = 1; std::chrono::steady_clock::now() < stop; ++n) {
    const std::string mark = "load c" + std::to_string(clerk) + " w" + std::to_string(n);
    const unsigned pick = static_cast<unsigned>(random() % 100);
    began = std::chrono::steady_clock::now();
    try {
      if (mine.empty() || pick < 40) {
        // A new document, then its link to a committee.
        if (!doc.GetData()) { refused("new", doc.LastErrorText()); continue; }
        doc.Title(mark);
        doc.AmountDue(Currency{n * 10000});
        if (!timedSave()) { refused("new", doc.LastErrorText()); continue; }
        const std::int32_t id = doc.UniqueID();
        journal.Line("N " + std::to_string(id) + " " + mark);
        mine.push_back(id);
        const std::int32_t org = committee();
        if (!link.GetData(0)) { refused("link", link.LastErrorText()); continue; }
        link.OrgID(std::to_string(org));
        link.DocumentID(std::to_string(id));
        if (link.SaveData()) {
          journal.Line("L " + std::to_string(id) + " " + std::to_string(org));
          linkedTo[id] = org;
        } else {
          refused("link", link.LastErrorText());
        }
      } else if (pick < 70) {
        // Two columns of one of this clerk's documents, in one save.
        const std::int32_t id = mine[random() % mine.size()];
        if (!doc.GetData(id)) { refused("edit", doc.LastErrorText()); continue; }
        doc.Title(mark);
        doc.AmountDue(Currency{n * 10000});
        if (timedSave()) journal.Line("E " + std::to_string(id) + " " + mark);
        else refused("edit", doc.LastErrorText());
      } else if (pick < 88) {
        // Move the document's link to another committee.
        const std::int32_t id = mine[random() % mine.size()];
        const auto linked = linkedTo.find(id);
        const std::int32_t org = committee();
        if (linked == linkedTo.end() || linked->second == org) continue;
        if (!link.GetData(id)) { refused("move", link.LastErrorText()); continue; }
        link.NewOrgID(org);
        if (link.SaveData()) {
          journal.Line("L " + std::to_string(id) + " " + std::to_string(org));
          linked->second = org;
        } else {
          refused("move", link.LastErrorText());
        }
      } else {
        const std::size_t at = random() % mine.size();
        const std::int32_t id = mine[at];
        if (doc.DeleteData(id)) {
          journal.Line("D " + std::to_string(id));
          mine.erase(mine.begin() + static_cast<std::ptrdiff_t>(at));
          linkedTo.erase(id);
        } else {
          refused("delete", doc.LastErrorText());
        }
      }
    } catch (const RuntimeError& e) {
      // A unit of work that cannot begin raises instead of returning False.
      refused("raised " + std::to_string(e.Number()) + " " + e.Source(), e.Description());
    }
  }
}

// Reads the journals and the office; fills the counts and the problems found.
inline void Verify(const Office& office, const std::vector<std::string>& journals, Figures& out) {
  struct Expect {
    std::string title;
    std::int32_t org = 0;  // 0: no link acknowledged
    bool deleted = false;
  };
  // Keyed by clerk and document: the file may give the identifier of a
  // deleted document to the next new one, perhaps another clerk's.
  std::map<std::pair<int, std::int32_t>, Expect> docs;
  for (int clerk = 0; clerk < static_cast<int>(journals.size()); ++clerk) {
    const std::string& path = journals[static_cast<std::size_t>(clerk)];
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
      std::istringstream words(line);
      std::string kind;
      std::int32_t id = 0;
      words >> kind;
      if (kind == "R") {
        ++out.refused;
        if (line.find(" raised ") != std::string::npos) ++out.raised;
        out.refusals.push_back(line.substr(2));
        if (detail::IsBusyText(line)) ++out.busy;
        if (line.find("<no error text>") != std::string::npos) out.problems.push_back("refused without a text: " + line);
        continue;
      }
      if (kind == "T") {
        double ms = 0;
        words >> ms;
        out.saveMs.push_back(ms);
        continue;
      }
      if (kind == "F") {
        out.problems.push_back(path + ": " + line);
        continue;
      }
      words >> id;
      std::string rest;
      std::getline(words, rest);
      if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
      ++out.acknowledged;
      Expect& doc = docs[{clerk, id}];
      if (kind == "N") {
        if (!doc.title.empty() && !doc.deleted) out.problems.push_back("live document " + std::to_string(id) + " made again");
        doc = Expect{rest};
      } else if (kind == "E") {
        doc.title = rest;
      } else if (kind == "L") {
        doc.org = std::stoi(rest);
      } else if (kind == "D") {
        doc.deleted = true;
      }
    }
  }

  const auto rows = [&](const std::string& sql) { return detail::Rows(office, sql, out.problems); };
  // Every document the clerks made, as the file has it.
  std::map<std::int32_t, std::string> stored;
  for (const auto& r : rows("select unique_id, title from ref_document where title like 'load c%'")) {
    stored[std::stoi(r[0])] = r[1];
  }
  std::map<std::int32_t, std::vector<std::int32_t>> links;
  for (const auto& r : rows("select x.document_id, x.org_id from xrf_org_document x join ref_document d "
                            "on d.unique_id = x.document_id where d.title like 'load c%'")) {
    links[std::stoi(r[0])].push_back(std::stoi(r[1]));
  }
  // The clerk whose write a title is ("load c3 w17" is clerk 3's).
  const auto clerkOf = [](const std::string& title) { return std::atoi(title.c_str() + 6); };
  std::set<std::string> titles;
  for (const auto& [id, title] : stored) {
    if (!titles.insert(title).second) out.problems.push_back("the write '" + title + "' is in the file twice");
    const auto expect = docs.find({clerkOf(title), id});
    if (expect == docs.end() || expect->second.deleted)
      out.problems.push_back("document " + std::to_string(id) + " '" + title + "' was never acknowledged as there");
  }
  for (const auto& [key, expect] : docs) {
    const std::int32_t id = key.second;
    const std::string name = "document " + std::to_string(id) + " of clerk " + std::to_string(key.first);
    const auto found = stored.find(id);
    if (expect.deleted) {
      if (found != stored.end() && clerkOf(found->second) == key.first)
        out.problems.push_back(name + " was deleted but is still there");
      continue;
    }
    if (found == stored.end()) {
      out.problems.push_back(name + " was acknowledged but is missing");
      continue;
    }
    if (found->second != expect.title)
      out.problems.push_back(name + " reads '" + found->second + "', last acknowledged '" + expect.title + "'");
    const std::vector<std::int32_t> want = expect.org == 0 ? std::vector<std::int32_t>{}
                                                            : std::vector<std::int32_t>{expect.org};
    if (links[id] != want) out.problems.push_back(name + " has not exactly its acknowledged link");
  }
  if (!office.OnServer()) {
    for (const auto& r : rows("pragma integrity_check")) {
      if (r[0] != "ok") out.problems.push_back("integrity: " + r[0]);
    }
  }
}

// Runs `clerks` processes on the office for `seconds` and verifies the
// result. Journals are written into `folder`.
inline Figures RunClerks(const Office& office, const std::string& folder, int clerks, double seconds) {
  Figures out;
  std::vector<std::int32_t> committees;
  for (const auto& r : detail::Rows(office, "select unique_id from ref_org where unique_id = group_id "
                                            "order by unique_id limit 20", out.problems)) {
    committees.push_back(std::stoi(r[0]));
  }
  if (committees.size() < 2) {
    out.problems.push_back("the office has too few committees");
    return out;
  }
  std::vector<std::string> journals;
  std::vector<pid_t> children;
  const auto start = std::chrono::steady_clock::now();
  for (int k = 0; k < clerks; ++k) {
    journals.push_back(folder + "/clerk" + std::to_string(k) + ".journal");
    const pid_t pid = ::fork();
    if (pid == 0) {
      RunClerk(office, k, committees, seconds, journals.back());
      ::_exit(0);
    }
    if (pid < 0) out.problems.push_back("fork failed");
    else children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      out.problems.push_back("clerk process " + std::to_string(pid) + " ended with status " + std::to_string(status));
    }
  }
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  Verify(office, journals, out);
  return out;
}

// The same on an office file.
inline Figures RunClerks(const std::string& file, const std::string& folder, int clerks, double seconds) {
  return RunClerks(Office{file, "embedded", ""}, folder, clerks, seconds);
}

}  // namespace tarnwick::test
