// What the families of the sample office share: the seeded random sequence,
// the calendar of the sample years, the built-in name lists, the generated
// entities, and the generator's state. Each family of tables is made in a
// file of its own: sample_people.cpp (staff and persons), sample_elections.cpp,
// sample_committees.cpp, sample_documents.cpp and sample_images.cpp;
// sample.cpp runs them in order.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "office/internal.hpp"
#include "runtime/text.hpp"

namespace tarnwick::office::detail::sample {

namespace chr = std::chrono;
using Day = chr::sys_days;

// splitmix64: small, fast and the same everywhere.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }
  // A whole number from lo to hi, both included.
  int Between(int lo, int hi) {
    return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
  }
  // A number in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  bool Chance(double p) { return Unit() < p; }
  template <typename T, std::size_t N>
  const T& Pick(const std::array<T, N>& items) {
    return items[Next() % N];
  }
  // Picks an index by weight.
  template <std::size_t N>
  std::size_t Weighted(const std::array<int, N>& weights) {
    int total = 0;
    for (int w : weights) total += w;
    int r = Between(0, total - 1);
    for (std::size_t i = 0; i < N; ++i) {
      if (r < weights[i]) return i;
      r -= weights[i];
    }
    return N - 1;
  }

 private:
  std::uint64_t state_;
};

inline constexpr int kFirstYear = 1998;
inline constexpr int kLastYear = 2024;

inline Day MakeDay(int year, int month, int day) {
  return Day(chr::year(year) / chr::month(static_cast<unsigned>(month)) / chr::day(static_cast<unsigned>(day)));
}
inline const Day kAsOf = MakeDay(2024, 12, 31);

inline int YearOf(Day d) { return static_cast<int>(chr::year_month_day(d).year()); }

inline std::string Iso(Day d, int hour = 0, int minute = 0, int second = 0) {
  const chr::year_month_day ymd(d);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), hour, minute, second);
  return text;
}

// The n-th (1-based) given weekday of a month.
inline Day NthWeekday(int year, int month, chr::weekday wd, unsigned n) {
  return Day(chr::year(year) / chr::month(static_cast<unsigned>(month)) / chr::weekday_indexed(wd, n));
}

// Election day in November: the Tuesday after the first Monday.
inline Day NovemberElection(int year) { return NthWeekday(year, 11, chr::Monday, 1) + chr::days(1); }

inline double Money(double value) { return std::round(value * 100.0) / 100.0; }

using runtime::ToLower;
using runtime::ToUpper;

// --- Built-in name lists --------------------------------------------------

struct FirstName {
  const char* name;
  const char* nick;
};
inline constexpr std::array<FirstName, 48> kFirstNames = {{
    {"James", "Jim"},     {"Mary", nullptr},     {"Robert", "Bob"},    {"Patricia", "Pat"},
    {"John", "Jack"},     {"Jennifer", "Jen"},   {"Michael", "Mike"},  {"Linda", nullptr},
    {"William", "Bill"},  {"Elizabeth", "Beth"}, {"David", "Dave"},    {"Barbara", "Barb"},
    {"Richard", "Rick"},  {"Susan", "Sue"},      {"Joseph", "Joe"},    {"Jessica", "Jess"},
    {"Thomas", "Tom"},    {"Sarah", nullptr},    {"Charles", "Chuck"}, {"Karen", nullptr},
    {"Daniel", "Dan"},    {"Nancy", nullptr},    {"Matthew", "Matt"},  {"Margaret", "Peggy"},
    {"Anthony", "Tony"},  {"Sandra", "Sandy"},   {"Donald", "Don"},    {"Ashley", nullptr},
    {"Steven", "Steve"},  {"Dorothy", "Dot"},    {"Paul", nullptr},    {"Kimberly", "Kim"},
    {"Andrew", "Andy"},   {"Emily", nullptr},    {"Joshua", "Josh"},   {"Donna", nullptr},
    {"Kenneth", "Ken"},   {"Michelle", nullptr}, {"Kevin", nullptr},   {"Carol", nullptr},
    {"Brian", nullptr},   {"Amanda", "Mandy"},   {"George", nullptr},  {"Melissa", "Missy"},
    {"Edward", "Ed"},     {"Deborah", "Deb"},    {"Ronald", "Ron"},    {"Stephanie", nullptr},
}};

inline constexpr std::array<const char*, 64> kLastNames = {
    "Abernathy", "Baxter",   "Calloway", "Delgado",  "Ellsworth", "Fairchild", "Gallagher", "Hartley",
    "Ingram",    "Jankowski", "Kessler", "Lindqvist", "Mahoney",  "Nakamura",  "Okafor",    "Pemberton",
    "Quinlan",   "Ávila",  "Sorensen", "Thibodeaux", "Underwood", "Vasquez",  "Whitaker",  "Yarborough",
    "Zimmerman", "Aldridge", "Brennan",  "Castellano", "Donnelly", "Ørsted",   "Fitzgerald", "Greenberg",
    "Holloway",  "Iverson",  "Jefferies", "Kowalski", "Langford", "O'Hare", "Novak",     "Oyelaran",
    "Prescott",  "Rasmussen", "Stanhope", "Trujillo", "Vandermeer", "Winslow",  "Yamada",    "Babcock",
    "Chandler",  "D'Esposito", "Escobar",  "Forsythe", "Gutierrez", "Hendricks", "Kaminski",  "Lockhart",
    "Merriweather", "Nguyen", "Ortega",  "Pulaski",  "Rutherford", "Sheridan", "Tolliver",  "Wakefield",
};

inline constexpr std::array<const char*, 6> kSuffixes = {"Jr.", "Sr.", "II", "III", "IV", "Jr."};

inline constexpr std::array<const char*, 24> kStreets = {
    "Maple",  "Oak",     "Cedar",   "Elm",    "Willow",  "Birch",   "Chestnut", "Walnut",
    "Lake",   "Hill",    "River",   "Park",   "Church",  "Mill",    "Spring",   "Meadow",
    "Forest", "Highland", "Sunset", "Prairie", "Orchard", "Harbor", "Ridge",    "Valley",
};
inline constexpr std::array<const char*, 6> kStreetKinds = {"Street", "Avenue", "Road", "Lane", "Drive", "Court"};
inline constexpr std::array<const char*, 16> kCities = {
    "Ashford",  "Bellmont", "Brookhaven", "Caldwell", "Cedar Falls", "Dunmore", "Elmwood", "Fairbank",
    "Granite City", "Harlow", "Irving",   "Jasper",   "Kendall",     "Lakeview", "Marlow", "Riverton",
};
inline constexpr std::array<const char*, 20> kCountyCodes = {"ASH", "BEL", "BRK", "CAL", "CED", "DUN", "ELM",
                                                      "FAI", "GRA", "HAR", "IRV", "JAS", "KEN", "LAK",
                                                      "MAR", "NOR", "OAK", "PIN", "RIV", "STO"};
inline constexpr std::array<const char*, 20> kCountyNames = {
    "Ashford", "Bellmont", "Brookhaven", "Caldwell", "Cedar",  "Dunmore",  "Elmwood", "Fairbank", "Granite",
    "Harlow",  "Irving",   "Jasper",     "Kendall",  "Lakeview", "Marlow", "Northfield", "Oakridge",
    "Pine Hill", "Riverton", "Stonebridge"};
inline constexpr std::array<int, 4> kAreaCodes = {417, 573, 660, 816};

inline constexpr std::array<const char*, 16> kTrades = {
    "Home Builders", "Realtors",      "Teachers",     "Nurses",   "Farm Bureau", "Trial Lawyers",
    "Firefighters",  "Police Officers", "Bankers",    "Electrical Workers", "Auto Dealers", "Pharmacists",
    "Engineers",     "Truckers",      "Grocers",      "Physicians"};
inline constexpr std::array<const char*, 6> kTradePrefixes = {"State", "Valley", "Regional", "United", "Northern", "Southern"};
inline constexpr std::array<const char*, 4> kPacSuffixes = {"Political Action Committee", "PAC", "Good Government Fund",
                                                     "Political Fund"};
inline constexpr std::array<const char*, 10> kCauses = {"Clean Water",  "Better Roads",    "Safe Streets",
                                                 "Lower Taxes",  "Quality Schools", "Open Government",
                                                 "Rural Broadband", "Fair Elections", "Healthy Families",
                                                 "Working Farms"};

struct PartyInfo {
  const char* code;
  const char* name;
};
inline constexpr std::array<PartyInfo, 5> kParties = {{{"DEM", "Democratic"},
                                                {"REP", "Republican"},
                                                {"LIB", "Libertarian"},
                                                {"GRN", "Green"},
                                                {"IND", "Independent"}}};

struct OfficeInfo {
  const char* code;
  const char* name;
  const char* level;
};
inline constexpr std::array<OfficeInfo, 10> kOffices = {{{"GOV", "Governor", "STA"},
                                                  {"LTG", "Lieutenant Governor", "STA"},
                                                  {"ATG", "Attorney General", "STA"},
                                                  {"SOS", "Secretary of State", "STA"},
                                                  {"TRE", "Treasurer", "STA"},
                                                  {"SEN", "State Senate", "LEG"},
                                                  {"REP", "State Representative", "LEG"},
                                                  {"JUD", "Circuit Judge", "CTY"},
                                                  {"CCM", "County Commission", "CTY"},
                                                  {"MAY", "Mayor", "MUN"}}};

// Committee types: candidate, party, political action, independent
// expenditure, ballot question, non-registered reporting entity.
inline constexpr std::array<const char*, 6> kCommitteeTypes = {"CNC", "PTY", "PAC", "IEC", "BQC", "NRR"};
inline constexpr std::array<const char*, 6> kCommitteeLetters = {"C", "P", "A", "I", "B", "N"};
inline constexpr std::array<int, 6> kCommitteeTypeWeights = {45, 10, 20, 7, 8, 10};

// --- Generated entities ---------------------------------------------------

struct Person {
  std::string first, middle, last, suffix, nick;
  std::string Full() const {
    std::string text = first;
    if (!middle.empty()) text += " " + middle;
    text += " " + last;
    if (!suffix.empty()) text += " " + suffix;
    return text;
  }
};

struct User {
  std::int64_t id;
  int fromYear;
  int toYear;
};

struct Committee {
  std::int64_t group = 0;
  int typeIndex = 0;
  int regYear = 0;
  std::string name;
  std::int64_t treasurerOfficer = 0;
  std::string treasurerName;
  std::int64_t lastReport = 0;
};

struct Election {
  std::int64_t id;
  Day date;
};

inline std::optional<std::string> Opt(const std::string& text) {
  if (text.empty()) return std::nullopt;
  return text;
}

class SampleOffice {
 public:
  SampleOffice(sqlite3* db, std::uint64_t seed, const OfficeProgressCallback& progress)
      : db_(db), random_(seed), progress_(progress) {}

  OfficeSummary Fill(std::int64_t documents) {
    MakeUsers();
    MakeElections();
    const std::int64_t committees =
        std::max<std::int64_t>(24, std::min<std::int64_t>(documents / 40, 60000));
    MakeCommittees(committees);
    MakeDocuments(documents);
    MakeImages(documents);
    return counts_;
  }

 private:
  void Report(std::string_view stage, std::int64_t done, std::int64_t total) {
    if (progress_) progress_({stage, done, total});
  }

  template <typename T>
  void BindOpt(Statement& s, int index, const std::optional<T>& value) {
    if (value) {
      s.Bind(index, *value);
    } else {
      s.BindNull(index);
    }
  }

  // One family of tables each (see the file comment).
  Person RandomPerson();
  std::int64_t RandomUser(int year);
  Day RandomDayIn(int year);
  std::string Stamp(Day d);
  void MakeUsers();
  void MakeElections();
  const Election& NovemberOf(int year);
  std::string UniqueCommitteeName(std::string name);
  static std::string Acronym(const std::string& name);
  std::int64_t AddPerson(const Person& p, Statement& insert, Day when);

  struct CommitteeTables;
  struct CommitteeProfile;
  void MakeCommittees(std::int64_t count);
  CommitteeProfile DescribeCommittee(Committee& c, std::int64_t number, Day registered);
  void NameCommittee(CommitteeProfile& p, const PartyInfo& party, const std::string& county);
  void AddReferenceRows(CommitteeTables& t, const Committee& c, const CommitteeProfile& p);
  void AddDetailRows(CommitteeTables& t, const Committee& c, const CommitteeProfile& p);
  void AddCommitteeOfficers(CommitteeTables& t, Committee& c, const CommitteeProfile& p);
  std::int64_t AddOfficer(CommitteeTables& t, std::int64_t committee, const std::string& role, const Person& p,
                          Day begin, std::optional<Day> end, const char* officeCode);
  void IndexCommitteesByYear();

  struct DocumentTables;
  struct DocumentDraft;
  Committee& PickCommittee(int year);
  std::string Delivery(int year, Day received);
  void MakeDocuments(std::int64_t count);
  void DraftReport(DocumentDraft& draft);
  void ReportPeriod(DocumentDraft& draft, Day& begin, Day& end, Day& due);
  void DraftCorrespondence(DocumentDraft& draft);
  void DraftRegistration(DocumentDraft& draft);
  void DraftPenalty(DocumentDraft& draft);
  void DraftMiscellaneous(DocumentDraft& draft);
  void FinishDraft(DocumentDraft& draft);
  void InsertDocument(DocumentTables& t, const DocumentDraft& draft);
  void LinkDocument(DocumentTables& t, DocumentDraft& draft);
  void AddReportData(DocumentTables& t, DocumentDraft& draft);
  static std::string LookupSubType(const std::string& code);
  static std::vector<std::int64_t> ImageDocuments(std::int64_t count);
  void MakeImages(std::int64_t count);

  // A dozen documents spread over the office carry scanned pages.
  static constexpr std::int64_t kImages = 12;

  sqlite3* db_;
  Random random_;
  const OfficeProgressCallback& progress_;
  OfficeSummary counts_;
  std::vector<User> users_;
  std::vector<std::vector<std::int64_t>> usersByYear_;
  std::vector<Election> november_;
  std::vector<Committee> committees_;
  std::vector<std::size_t> registeredBy_;
  std::unordered_set<std::string> committeeNames_;
  std::int64_t nameId_ = 0;
};

}  // namespace tarnwick::office::detail::sample
