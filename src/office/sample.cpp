// The sample office: a believable filing office generated from a fixed seed.
//
// Staff with past and present rows, elections of every year, committees of
// every type with their reference history, detail history, candidates,
// treasurers and other officers (ended and open terms), and documents of
// every type from 1998 to 2024 linked to the committees that filed them, to
// the committees they affect and to the report data of filed reports, plus
// a few scanned pages. Everything is drawn from one pseudo-random sequence
// of our own (not the standard library's distributions, whose results
// differ between library versions), so a seed and a document count always
// give the same database.
#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "office/internal.hpp"
#include "runtime/text.hpp"

namespace tarnwick::sqlite::office_detail {
namespace {

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

constexpr int kFirstYear = 1998;
constexpr int kLastYear = 2024;

Day MakeDay(int year, int month, int day) {
  return Day(chr::year(year) / chr::month(static_cast<unsigned>(month)) / chr::day(static_cast<unsigned>(day)));
}
const Day kAsOf = MakeDay(2024, 12, 31);

int YearOf(Day d) { return static_cast<int>(chr::year_month_day(d).year()); }

std::string Iso(Day d, int hour = 0, int minute = 0, int second = 0) {
  const chr::year_month_day ymd(d);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), hour, minute, second);
  return text;
}

// The n-th (1-based) given weekday of a month.
Day NthWeekday(int year, int month, chr::weekday wd, unsigned n) {
  return Day(chr::year(year) / chr::month(static_cast<unsigned>(month)) / chr::weekday_indexed(wd, n));
}

// Election day in November: the Tuesday after the first Monday.
Day NovemberElection(int year) { return NthWeekday(year, 11, chr::Monday, 1) + chr::days(1); }

double Money(double value) { return std::round(value * 100.0) / 100.0; }

using runtime::ToLower;
using runtime::ToUpper;

// --- Built-in name lists --------------------------------------------------

struct FirstName {
  const char* name;
  const char* nick;
};
constexpr std::array<FirstName, 48> kFirstNames = {{
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

constexpr std::array<const char*, 64> kLastNames = {
    "Abernathy", "Baxter",   "Calloway", "Delgado",  "Ellsworth", "Fairchild", "Gallagher", "Hartley",
    "Ingram",    "Jankowski", "Kessler", "Lindqvist", "Mahoney",  "Nakamura",  "Okafor",    "Pemberton",
    "Quinlan",   "Ramirez",  "Sorensen", "Thibodeaux", "Underwood", "Vasquez",  "Whitaker",  "Yarborough",
    "Zimmerman", "Aldridge", "Brennan",  "Castellano", "Donnelly", "Eriksen",   "Fitzgerald", "Greenberg",
    "Holloway",  "Iverson",  "Jefferies", "Kowalski", "Langford", "Mcallister", "Novak",     "Oyelaran",
    "Prescott",  "Rasmussen", "Stanhope", "Trujillo", "Vandermeer", "Winslow",  "Yamada",    "Babcock",
    "Chandler",  "Dunleavy", "Escobar",  "Forsythe", "Gutierrez", "Hendricks", "Kaminski",  "Lockhart",
    "Merriweather", "Nguyen", "Ortega",  "Pulaski",  "Rutherford", "Sheridan", "Tolliver",  "Wakefield",
};

constexpr std::array<const char*, 6> kSuffixes = {"Jr.", "Sr.", "II", "III", "IV", "Jr."};

constexpr std::array<const char*, 24> kStreets = {
    "Maple",  "Oak",     "Cedar",   "Elm",    "Willow",  "Birch",   "Chestnut", "Walnut",
    "Lake",   "Hill",    "River",   "Park",   "Church",  "Mill",    "Spring",   "Meadow",
    "Forest", "Highland", "Sunset", "Prairie", "Orchard", "Harbor", "Ridge",    "Valley",
};
constexpr std::array<const char*, 6> kStreetKinds = {"Street", "Avenue", "Road", "Lane", "Drive", "Court"};
constexpr std::array<const char*, 16> kCities = {
    "Ashford",  "Bellmont", "Brookhaven", "Caldwell", "Cedar Falls", "Dunmore", "Elmwood", "Fairbank",
    "Granite City", "Harlow", "Irving",   "Jasper",   "Kendall",     "Lakeview", "Marlow", "Riverton",
};
constexpr std::array<const char*, 20> kCountyCodes = {"ASH", "BEL", "BRK", "CAL", "CED", "DUN", "ELM",
                                                      "FAI", "GRA", "HAR", "IRV", "JAS", "KEN", "LAK",
                                                      "MAR", "NOR", "OAK", "PIN", "RIV", "STO"};
constexpr std::array<const char*, 20> kCountyNames = {
    "Ashford", "Bellmont", "Brookhaven", "Caldwell", "Cedar",  "Dunmore",  "Elmwood", "Fairbank", "Granite",
    "Harlow",  "Irving",   "Jasper",     "Kendall",  "Lakeview", "Marlow", "Northfield", "Oakridge",
    "Pine Hill", "Riverton", "Stonebridge"};
constexpr std::array<int, 4> kAreaCodes = {417, 573, 660, 816};

constexpr std::array<const char*, 16> kTrades = {
    "Home Builders", "Realtors",      "Teachers",     "Nurses",   "Farm Bureau", "Trial Lawyers",
    "Firefighters",  "Police Officers", "Bankers",    "Electrical Workers", "Auto Dealers", "Pharmacists",
    "Engineers",     "Truckers",      "Grocers",      "Physicians"};
constexpr std::array<const char*, 6> kTradePrefixes = {"State", "Valley", "Regional", "United", "Northern", "Southern"};
constexpr std::array<const char*, 4> kPacSuffixes = {"Political Action Committee", "PAC", "Good Government Fund",
                                                     "Political Fund"};
constexpr std::array<const char*, 10> kCauses = {"Clean Water",  "Better Roads",    "Safe Streets",
                                                 "Lower Taxes",  "Quality Schools", "Open Government",
                                                 "Rural Broadband", "Fair Elections", "Healthy Families",
                                                 "Working Farms"};

struct PartyInfo {
  const char* code;
  const char* name;
};
constexpr std::array<PartyInfo, 5> kParties = {{{"DEM", "Democratic"},
                                                {"REP", "Republican"},
                                                {"LIB", "Libertarian"},
                                                {"GRN", "Green"},
                                                {"IND", "Independent"}}};

struct OfficeInfo {
  const char* code;
  const char* name;
  const char* level;
};
constexpr std::array<OfficeInfo, 10> kOffices = {{{"GOV", "Governor", "STA"},
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
constexpr std::array<const char*, 6> kCommitteeTypes = {"CNC", "PTY", "PAC", "IEC", "BQC", "NRR"};
constexpr std::array<const char*, 6> kCommitteeLetters = {"C", "P", "A", "I", "B", "N"};
constexpr std::array<int, 6> kCommitteeTypeWeights = {45, 10, 20, 7, 8, 10};

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

std::optional<std::string> Opt(const std::string& text) {
  if (text.empty()) return std::nullopt;
  return text;
}

class SampleOffice {
 public:
  SampleOffice(sqlite3* db, std::uint64_t seed, const OfficeProgressCallback& progress)
      : db_(db), random_(seed), progress_(progress) {}

  SampleCounts Fill(std::int64_t documents) {
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

  Person RandomPerson() {
    Person p;
    const FirstName& first = random_.Pick(kFirstNames);
    p.first = first.name;
    if (first.nick != nullptr && random_.Chance(0.3)) p.nick = first.nick;
    const double m = random_.Unit();
    if (m < 0.35) {
      p.middle = random_.Pick(kFirstNames).name;
    } else if (m < 0.7) {
      p.middle = std::string(1, random_.Pick(kFirstNames).name[0]) + ".";
    }
    p.last = random_.Pick(kLastNames);
    if (random_.Chance(0.05)) p.suffix = random_.Pick(kSuffixes);
    return p;
  }

  std::int64_t RandomUser(int year) {
    const auto& active = usersByYear_[static_cast<std::size_t>(std::clamp(year, kFirstYear, kLastYear) - kFirstYear)];
    if (active.empty()) return users_[random_.Next() % users_.size()].id;
    return active[random_.Next() % active.size()];
  }

  Day RandomDayIn(int year) { return MakeDay(year, 1, 1) + chr::days(random_.Between(0, 364)); }

  std::string Stamp(Day d) { return Iso(d, random_.Between(8, 17), random_.Between(0, 59), random_.Between(0, 59)); }

  // Staff: sixteen people, some with a changed name, some gone, and two system accounts.
  void MakeUsers() {
    Statement insert(db_,
                     "insert into ref_user (unique_id, group_id, user_name, first_name, last_name, is_system_user, "
                     "begin_date, end_date, orig_date, update_date) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    std::int64_t id = 0;
    std::unordered_set<std::string> names;
    auto add = [&](std::int64_t group, const std::string& userName, const std::string& first,
                   const std::string& last, bool system, Day begin, std::optional<Day> end) {
      ++id;
      insert.Bind(1, id).Bind(2, group).Bind(3, userName).Bind(4, first).Bind(5, last).Bind(6, system ? 1 : 0);
      insert.Bind(7, Iso(begin));
      if (end) {
        insert.Bind(8, Iso(*end));
      } else {
        insert.BindNull(8);
      }
      insert.Bind(9, Iso(begin)).Bind(10, Iso(end ? *end : begin));
      insert.Run();
      if (!system) users_.push_back({id, YearOf(begin), end ? YearOf(*end) : 9999});
      ++counts_.users;
    };
    auto uniqueName = [&](const std::string& first, const std::string& last) {
      std::string base = ToLower(std::string(1, first[0]) + last);
      std::string name = base;
      for (int n = 2; !names.insert(name).second; ++n) name = base + std::to_string(n);
      return name;
    };
    for (int g = 0; g < 16; ++g) {
      const std::int64_t group = id + 1;
      const std::string first = random_.Pick(kFirstNames).name;
      std::string last = random_.Pick(kLastNames);
      Day begin = MakeDay(1990 + random_.Between(0, 22), random_.Between(1, 12), random_.Between(1, 28));
      const int rows = 1 + (random_.Chance(0.35) ? 1 : 0) + (random_.Chance(0.1) ? 1 : 0);
      const bool left = g % 5 == 4;  // some staff have left the office
      for (int r = 0; r < rows; ++r) {
        const bool lastRow = r + 1 == rows;
        std::optional<Day> end;
        if (!lastRow || left) {
          end = std::min(begin + chr::days(random_.Between(200, 2500)), kAsOf - chr::days(30));
          if (*end <= begin) end = begin + chr::days(1);
        }
        add(group, uniqueName(first, last), first, last, false, begin, end);
        if (!end) break;
        begin = *end + chr::days(1);
        if (random_.Chance(0.5)) last = random_.Pick(kLastNames);  // a change of name
      }
    }
    add(id + 1, "system", "System", "Account", true, MakeDay(1990, 1, 1), std::nullopt);
    add(id + 1, "import", "Electronic", "Filing Import", true, MakeDay(1998, 1, 1), std::nullopt);

    usersByYear_.resize(kLastYear - kFirstYear + 1);
    for (int y = kFirstYear; y <= kLastYear; ++y) {
      for (const User& u : users_) {
        if (u.fromYear <= y && y <= u.toYear) usersByYear_[static_cast<std::size_t>(y - kFirstYear)].push_back(u.id);
      }
    }
  }

  void MakeElections() {
    Statement insert(db_,
                     "insert into ref_election (unique_id, election_date, election_type_code, Description, doc_year, "
                     "notice_window_days) values (?, ?, ?, ?, ?, ?)");
    std::int64_t id = 0;
    auto add = [&](Day d, const char* type, const std::string& description) {
      ++id;
      insert.Bind(1, id).Bind(2, Iso(d)).Bind(3, type).Bind(4, description).Bind(5, YearOf(d)).Bind(6, 17);
      insert.Run();
      return id;
    };
    for (int y = kFirstYear; y <= kLastYear + 1; ++y) {
      if (y % 7 == 0) add(NthWeekday(y, 3, chr::Tuesday, 2), "SPC", "Special election " + std::to_string(y));
      if (y % 2 == 0) {
        add(NthWeekday(y, 8, chr::Tuesday, 1), "PRI", "Primary election " + std::to_string(y));
        november_.push_back({add(NovemberElection(y), "GEN", "General election " + std::to_string(y)),
                             NovemberElection(y)});
      } else {
        november_.push_back({add(NovemberElection(y), "MUN", "Municipal election " + std::to_string(y)),
                             NovemberElection(y)});
      }
    }
  }

  const Election& NovemberOf(int year) { return november_[static_cast<std::size_t>(year - kFirstYear)]; }

  std::string UniqueCommitteeName(std::string name) {
    if (committeeNames_.insert(ToLower(name)).second) return name;
    for (int n = 2;; ++n) {
      std::string candidate = name + " " + std::to_string(n);
      if (committeeNames_.insert(ToLower(candidate)).second) return candidate;
    }
  }

  static std::string Acronym(const std::string& name) {
    std::string out;
    bool start = true;
    for (char c : name) {
      if (c == ' ' || c == '-') {
        start = true;
      } else if (start) {
        if (runtime::IsAsciiLetter(c)) out += runtime::FoldUpper(c);
        start = false;
      }
    }
    return out;
  }

  std::int64_t AddPerson(const Person& p, Statement& insert, Day when) {
    const std::int64_t id = ++nameId_;
    const int county = random_.Between(0, static_cast<int>(kCountyCodes.size()) - 1);
    char street[96];
    std::snprintf(street, sizeof street, "%d %s %s", random_.Between(100, 9999), random_.Pick(kStreets),
                  random_.Pick(kStreetKinds));
    char zip[8];
    std::snprintf(zip, sizeof zip, "6%04d", random_.Between(0, 9999));
    char phone[20];
    std::snprintf(phone, sizeof phone, "(%d) 555-01%02d", random_.Pick(kAreaCodes), random_.Between(0, 99));
    insert.Bind(1, id).Bind(2, p.first);
    BindOpt(insert, 3, Opt(p.middle));
    insert.Bind(4, p.last);
    BindOpt(insert, 5, Opt(p.suffix));
    BindOpt(insert, 6, Opt(p.nick));
    insert.Bind(7, street);
    if (random_.Chance(0.15)) {
      insert.Bind(8, "Suite " + std::to_string(random_.Between(100, 899)));
    } else {
      insert.BindNull(8);
    }
    insert.Bind(9, random_.Pick(kCities)).Bind(10, "NW").Bind(11, zip).Bind(12, kCountyCodes[static_cast<std::size_t>(county)]);
    insert.Bind(13, phone).Bind(14, ToLower(p.first + "." + p.last) + "@example.org");
    insert.Bind(15, Iso(when)).Bind(16, Iso(when));
    insert.Run();
    return id;
  }

  void MakeCommittees(std::int64_t count) {
    Statement refOrg(db_,
                     "insert into ref_org (unique_id, group_id, is_fund, id_1, id_2, id_3, id_4, current_status_code, "
                     "entered_method_code, entered_date, trans_date, trans_type, check_out_user_id, check_out_date, "
                     "check_in_user_id, check_in_date, Reason, update_date, Orig_user_id, orig_date, user_id) "
                     "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    Statement detail(db_,
                     "insert into org_committee (unique_id, org_group_id, trans_date, trans_end_date, org_name, "
                     "inhouse_name, old_acronym, previous_id, comm_type_code, comm_level_code, party_code, "
                     "mef_required, orig_date, update_date, user_id) "
                     "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    Statement name(db_,
                   "insert into org_name_address (unique_id, first_name, middle_name, last_name, suffix, nick_name, "
                   "address_1, address_2, city, state_code, zip, county_code, phone, email, orig_date, update_date) "
                   "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    Statement officer(db_,
                      "insert into org_officers (unique_id, group_id, org_group_id, name_type_code, entity_id, "
                      "cand_office_code, trans_date, trans_end_date, orig_date, update_date, user_id) "
                      "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    std::int64_t refOrgId = 0, detailId = 0, officerId = 0;
    committees_.reserve(static_cast<std::size_t>(count));

    for (std::int64_t i = 0; i < count; ++i) {
      Committee c;
      c.typeIndex = i < static_cast<std::int64_t>(kCommitteeTypes.size())
                        ? static_cast<int>(i)
                        : static_cast<int>(random_.Weighted(kCommitteeTypeWeights));
      const std::string type = kCommitteeTypes[static_cast<std::size_t>(c.typeIndex)];
      c.regYear = random_.Between(1990, 2022);
      const Day registered = MakeDay(c.regYear, random_.Between(1, 12), random_.Between(1, 28));
      c.group = refOrgId + 1;

      // What the committee is: name, level, party, candidate.
      Person candidate;
      const OfficeInfo& office = random_.Pick(kOffices);
      const PartyInfo& party = random_.Pick(kParties);
      std::string orgName, inhouse, level, partyCode, oldName;
      const std::string county = random_.Pick(kCountyNames);
      if (type == "CNC") {
        candidate = RandomPerson();
        const std::string shortName = candidate.first + " " + candidate.last;
        switch (random_.Between(0, 3)) {
          case 0: orgName = "Friends of " + shortName; break;
          case 1: orgName = shortName + " for " + office.name; break;
          case 2: orgName = "Committee to Elect " + shortName; break;
          default: orgName = "Citizens for " + candidate.last; break;
        }
        oldName = "Committee to Elect " + shortName;
        inhouse = ToUpper(candidate.last + ", " + candidate.first) + " (" + office.code + ")";
        level = office.level;
        partyCode = party.code;
      } else if (type == "PTY") {
        if (random_.Chance(0.2)) {
          orgName = std::string("State ") + party.name + " Party";
          level = "STA";
        } else {
          orgName = county + " County " + party.name + " Central Committee";
          level = "CTY";
        }
        oldName = county + " County " + party.name + " Club";
        partyCode = party.code;
      } else if (type == "PAC") {
        orgName = std::string(random_.Pick(kTradePrefixes)) + " " + random_.Pick(kTrades) + " " +
                  random_.Pick(kPacSuffixes);
        oldName = std::string(random_.Pick(kTrades)) + " Association Fund";
        level = random_.Chance(0.6) ? "STA" : "LEG";
        partyCode = "NP";
      } else if (type == "IEC") {
        orgName = std::string("Citizens for ") + random_.Pick(kCauses);
        oldName = std::string("Alliance for ") + random_.Pick(kCauses);
        level = "STA";
        partyCode = "NP";
      } else if (type == "BQC") {
        const int question = random_.Between(1, 12);
        orgName = (random_.Chance(0.5) ? "Yes on Question " : "No on Amendment ") + std::to_string(question);
        oldName = "Committee for Question " + std::to_string(question);
        level = random_.Chance(0.5) ? "STA" : "CTY";
        partyCode = "NP";
      } else {  // NRR
        const Person owner = RandomPerson();
        orgName = random_.Chance(0.5) ? owner.last + " & " + random_.Pick(kLastNames) + " Consulting LLC"
                                      : std::string(random_.Pick(kTrades)) + " Association of " + county;
        oldName = owner.last + " Associates";
        level = "STA";
      }
      orgName = UniqueCommitteeName(orgName);
      c.name = orgName;
      if (inhouse.empty()) {
        inhouse = ToUpper(orgName.rfind("The ", 0) == 0 ? orgName.substr(4) : orgName);
      }
      char serial[24];
      std::snprintf(serial, sizeof serial, "%05lld", static_cast<long long>(i + 1));
      int digits = 0;
      for (char ch : std::to_string(c.regYear) + serial) digits += ch - '0';
      const std::string id1 = std::to_string(c.regYear);
      const std::string id2 = kCommitteeLetters[static_cast<std::size_t>(c.typeIndex)];
      const std::string id4 = std::to_string(digits % 10);
      const bool isFund = type == "PAC" && random_.Chance(0.3);

      // Reference rows: registration, then amendments and status changes.
      const std::int64_t user = RandomUser(c.regYear);
      const bool legacy = c.regYear < 1995 && random_.Chance(0.1);
      const int rows = legacy ? 1 : static_cast<int>(1 + random_.Weighted(std::array<int, 4>{40, 30, 20, 10}));
      Day when = registered;
      std::string status = c.regYear < 2000 && random_.Chance(0.3) ? "PND" : "ACT";
      for (int r = 0; r < rows; ++r) {
        std::string transType = "REG", reason;
        if (r > 0) {
          const Day next = when + chr::days(random_.Between(60, 1500));
          if (next >= kAsOf) break;
          when = next;
          std::string newStatus = "ACT";
          if (r + 1 == rows) {
            newStatus = std::array<const char*, 4>{"ACT", "TRM", "INA", "SUS"}[random_.Weighted(std::array<int, 4>{75, 12, 7, 6})];
          }
          if (newStatus != status) {
            transType = "STS";
            reason = "Status changed to " + std::string(newStatus == "ACT"   ? "active"
                                                        : newStatus == "TRM" ? "terminated"
                                                        : newStatus == "INA" ? "inactive"
                                                                             : "suspended");
          } else {
            transType = "AMD";
            reason = "Amended statement of organization";
          }
          status = newStatus;
        }
        const std::int64_t rowUser = RandomUser(YearOf(when));
        refOrg.Bind(1, ++refOrgId).Bind(2, c.group).Bind(3, isFund ? 1 : 0).Bind(4, id1).Bind(5, id2);
        refOrg.Bind(6, std::string(serial)).Bind(7, id4).Bind(8, status);
        refOrg.Bind(9, c.regYear >= 2005 && random_.Chance(0.5) ? "ELE" : "PAP");
        if (legacy) {
          refOrg.BindNull(10).BindNull(11);
        } else {
          refOrg.Bind(10, Iso(when)).Bind(11, Iso(when));
        }
        refOrg.Bind(12, transType);
        if (random_.Chance(0.1)) {
          refOrg.Bind(13, rowUser).Bind(14, Stamp(when + chr::days(1)));
          refOrg.Bind(15, rowUser).Bind(16, Stamp(when + chr::days(3)));
        } else {
          refOrg.BindNull(13).BindNull(14).BindNull(15).BindNull(16);
        }
        BindOpt(refOrg, 17, Opt(reason));
        refOrg.Bind(18, Stamp(when + chr::days(random_.Between(0, 10))));
        refOrg.Bind(19, user).Bind(20, Stamp(registered)).Bind(21, rowUser);
        refOrg.Run();
      }

      // Detail rows: earlier names closed, the present one open.
      const int details = static_cast<int>(1 + random_.Weighted(std::array<int, 3>{60, 30, 10}));
      Day from = registered;
      const std::string previousId =
          random_.Chance(0.15) ? std::to_string(c.regYear - random_.Between(2, 8)) + "-" + id2 + "-" +
                                     std::to_string(random_.Between(10000, 99999)) + "-" + std::to_string(random_.Between(0, 9))
                               : std::string();
      const bool mef = (type == "PAC" || type == "PTY") ? random_.Chance(0.2) : random_.Chance(0.1);
      for (int d = 0; d < details; ++d) {
        const bool open = d + 1 == details;
        Day to = from;
        if (!open) {
          to = from + chr::days(random_.Between(200, 2000));
          if (to >= kAsOf - chr::days(1)) to = from + chr::days(1);
        }
        const std::string rowName = open ? orgName : (d == 0 ? oldName : oldName + " (" + std::to_string(d) + ")");
        detail.Bind(1, ++detailId).Bind(2, c.group).Bind(3, Iso(from));
        if (open) {
          detail.BindNull(4);
        } else {
          detail.Bind(4, Iso(to));
        }
        detail.Bind(5, rowName).Bind(6, open ? inhouse : ToUpper(rowName)).Bind(7, Acronym(rowName));
        BindOpt(detail, 8, Opt(previousId));
        detail.Bind(9, type).Bind(10, level);
        BindOpt(detail, 11, Opt(partyCode));
        detail.Bind(12, open && mef ? 1 : 0).Bind(13, Stamp(from)).Bind(14, Stamp(from));
        detail.Bind(15, RandomUser(YearOf(from)));
        detail.Run();
        from = to;
      }

      // Officers: a person in a role is an officer record (group_id); a
      // change of address closes the row and opens another of the record.
      auto addOfficer = [&](const std::string& role, const Person& p, Day begin, std::optional<Day> end,
                            const char* officeCode) {
        const std::int64_t entity = AddPerson(p, name, begin);
        const std::int64_t group = officerId + 1;
        const bool moved = !end && random_.Chance(0.15) && begin + chr::days(400) < kAsOf;
        std::int64_t current = 0;
        auto row = [&](Day b, std::optional<Day> e, std::int64_t ent) {
          officer.Bind(1, ++officerId).Bind(2, group).Bind(3, c.group).Bind(4, role).Bind(5, ent);
          if (officeCode != nullptr) {
            officer.Bind(6, officeCode);
          } else {
            officer.BindNull(6);
          }
          officer.Bind(7, Iso(b));
          if (e) {
            officer.Bind(8, Iso(*e));
          } else {
            officer.BindNull(8);
          }
          officer.Bind(9, Stamp(b)).Bind(10, Stamp(e ? *e : b)).Bind(11, RandomUser(YearOf(b)));
          officer.Run();
          ++counts_.officers;
          current = officerId;
        };
        if (moved) {
          const Day change = begin + chr::days(random_.Between(200, 399));
          row(begin, change, entity);
          row(change, std::nullopt, AddPerson(p, name, change));
        } else {
          row(begin, end, entity);
        }
        return current;
      };

      if (type == "CNC") addOfficer("CND", candidate, registered, std::nullopt, office.code);
      if (type == "NRR") addOfficer("CNT", RandomPerson(), registered, std::nullopt, nullptr);
      Day treasurerFrom = registered;
      if (random_.Chance(0.35) && registered + chr::days(400) < kAsOf) {
        // A former treasurer whose term has ended.
        treasurerFrom = registered + chr::days(random_.Between(200, 399));
        addOfficer("TRS", RandomPerson(), registered, treasurerFrom, nullptr);
      }
      const Person treasurer = RandomPerson();
      c.treasurerOfficer = addOfficer("TRS", treasurer, treasurerFrom, std::nullopt, nullptr);
      c.treasurerName = treasurer.Full();
      if (type != "CNC" && type != "NRR") {
        if (random_.Chance(0.6)) addOfficer("CHR", RandomPerson(), registered, std::nullopt, nullptr);
        if (random_.Chance(0.2)) addOfficer("DTR", RandomPerson(), registered, std::nullopt, nullptr);
      }

      committees_.push_back(std::move(c));
      ++counts_.committees;
      if ((i + 1) % 1000 == 0 || i + 1 == count) Report("committees", i + 1, count);
    }

    // Committees by registration year, for picking one that existed in a given year.
    std::stable_sort(committees_.begin(), committees_.end(),
                     [](const Committee& a, const Committee& b) { return a.regYear < b.regYear; });
    registeredBy_.resize(kLastYear - kFirstYear + 1);
    for (int y = kFirstYear; y <= kLastYear; ++y) {
      registeredBy_[static_cast<std::size_t>(y - kFirstYear)] = static_cast<std::size_t>(
          std::upper_bound(committees_.begin(), committees_.end(), y,
                           [](int year, const Committee& c) { return year < c.regYear; }) -
          committees_.begin());
    }
  }

  Committee& PickCommittee(int year) {
    std::size_t n = registeredBy_[static_cast<std::size_t>(year - kFirstYear)];
    if (n == 0) n = committees_.size();
    return committees_[random_.Next() % n];
  }

  std::string Delivery(int year, Day received) {
    const double electronic = std::clamp((year - kFirstYear) / 26.0 * 0.7, 0.02, 0.7);
    if (random_.Chance(electronic)) return "ELE";
    if (received < MakeDay(1999, 7, 1) && random_.Chance(0.05)) return "TLX";
    switch (random_.Weighted(std::array<int, 5>{55, 20, 10, 10, 5})) {
      case 0: return "MAI";
      case 1: return "HAN";
      case 2: return "FAX";
      case 3: return year >= 2001 ? "EML" : "MAI";
      default: return "COU";
    }
  }

  struct Doc {
    std::string type, subType, name, title;
    std::optional<std::string> due, county, appeal, delivery, reason, version, received, entered, other,
        imported, begin, end, signedOn, signerType, signerName, deleted, noDataReason;
    std::optional<double> amountDue, amountPaid, receipts, expenditures;
    std::optional<std::int64_t> amendment, signerId, noData, noTotals;
  };

  void MakeDocuments(std::int64_t count) {
    Statement document(
        db_,
        "insert into ref_document (unique_id, doc_type_code, doc_sub_type_code, doc_year, Is_amendment, name_listed, "
        "Title, due_date, referred_county_code, penalty_appeal_decision_code, Amount_Due, amount_paid, "
        "delivery_method_code, doc_reason_code, report_version_code, receive_send_date, entry_date, other_date, "
        "import_date, begin_date, end_date, signed_date, signer_officer_type_code, signer_officer_id, signer_name, "
        "delete_date, has_no_report_data, no_report_data_reason, total_receipts, total_expenditures, has_no_totals, "
        "has_image, orig_user_id, orig_date, update_date, user_id) "
        "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    Statement link(db_, "insert into xrf_org_document (unique_id, org_id, document_id, orig_date) values (?, ?, ?, ?)");
    Statement affected(db_,
                       "insert into XRF_AFF_ORG_DOCUMENT (unique_id, org_id, document_id, orig_date) values (?, ?, ?, ?)");
    Statement report(db_,
                     "insert into ref_report (unique_id, org_group_id, doc_year, report_sub_type_code, "
                     "report_version_code, begin_date, end_date, due_date, election_id, total_receipts, "
                     "total_expenditures, is_mef, filed_date, orig_date, update_date) "
                     "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    Statement reportLink(db_,
                         "insert into xrf_report_document (unique_id, report_id, document_id, orig_date) values (?, ?, ?, ?)");
    std::int64_t linkId = 0, affectedId = 0, reportId = 0, reportLinkId = 0;
    const std::vector<std::int64_t> images = ImageDocuments(count);

    for (std::int64_t i = 0; i < count; ++i) {
      const std::int64_t id = i + 1;
      const int year = random_.Between(kFirstYear, kLastYear);
      Committee* c = random_.Chance(0.03) ? nullptr : &PickCommittee(year);
      const std::string ctype = c != nullptr ? kCommitteeTypes[static_cast<std::size_t>(c->typeIndex)] : "";
      Doc d;
      std::optional<std::int64_t> electionId;
      std::vector<std::int64_t> affects;

      // The kind of document.
      std::size_t kind;  // 0 report, 1 correspondence, 2 registration, 3 penalty, 4 miscellaneous
      if (c == nullptr) {
        kind = random_.Weighted(std::array<int, 5>{0, 60, 0, 0, 40});
      } else if (ctype == "NRR") {
        kind = random_.Weighted(std::array<int, 5>{60, 30, 0, 10, 0});
      } else {
        kind = random_.Weighted(std::array<int, 5>{55, 22, 8, 8, 7});
      }

      Day received = RandomDayIn(year);
      if (kind == 0) {
        d.type = "RPT";
        const Election& november = NovemberOf(year);
        const Day electionDay = november.date;
        std::size_t sub;
        if (ctype == "CNC") {
          // Q1 Q2 Q3 YE PRE POST 48H TER SA
          sub = random_.Weighted(std::array<int, 9>{14, 14, 14, 18, 10, 8, 12, 2, year < 2001 ? 8 : 0});
        } else {
          sub = random_.Weighted(std::array<int, 9>{20, 20, 20, 25, 6, 5, 0, 2, year < 2001 ? 8 : 0});
        }
        Day begin, end, due;
        switch (sub) {
          case 0: begin = MakeDay(year, 1, 1); end = MakeDay(year, 3, 31); due = MakeDay(year, 4, 15); d.subType = "Q1"; break;
          case 1: begin = MakeDay(year, 4, 1); end = MakeDay(year, 6, 30); due = MakeDay(year, 7, 15); d.subType = "Q2"; break;
          case 2: begin = MakeDay(year, 7, 1); end = MakeDay(year, 9, 30); due = MakeDay(year, 10, 15); d.subType = "Q3"; break;
          case 3: begin = MakeDay(year, 10, 1); end = MakeDay(year, 12, 31); due = MakeDay(year + 1, 1, 31); d.subType = "YE"; break;
          case 4:
            begin = MakeDay(year, 10, 1); end = electionDay - chr::days(20); due = electionDay - chr::days(15);
            d.subType = "PRE"; electionId = november.id;
            break;
          case 5:
            begin = electionDay - chr::days(19); end = electionDay + chr::days(20); due = electionDay + chr::days(30);
            d.subType = "POST"; electionId = november.id;
            break;
          case 6: {
            // A contribution of $1,000 or more received in the last days before the election.
            const Day contribution = electionDay - chr::days(random_.Between(2, 17));
            begin = end = contribution;
            due = contribution + chr::days(2);
            d.subType = "48H";
            d.other = Iso(contribution);
            electionId = november.id;
            break;
          }
          case 7:
            begin = RandomDayIn(year); end = std::min(begin + chr::days(random_.Between(30, 180)), MakeDay(year, 12, 31));
            due = end + chr::days(30); d.subType = "TER";
            break;
          default: begin = MakeDay(year, 7, 1); end = MakeDay(year, 12, 31); due = MakeDay(year + 1, 1, 31); d.subType = "SA"; break;
        }
        if (d.subType == "48H") {
          received = begin + chr::days(random_.Chance(0.8) ? random_.Between(0, 2) : random_.Between(3, 6));
        } else {
          received = random_.Chance(0.8) ? due - chr::days(random_.Between(0, 10)) : due + chr::days(random_.Between(1, 40));
        }
        d.begin = Iso(begin);
        d.end = Iso(end);
        d.due = Iso(due);
        const bool amended = d.subType != "48H" && random_.Chance(0.1);
        d.amendment = amended ? 1 : 0;
        d.version = amended ? "AMD" : (year < 2005 && random_.Chance(0.02) ? "SUP" : "ORI");
        if (amended) received = received + chr::days(random_.Between(20, 120));
        const double scale = ctype == "PAC" || ctype == "PTY" ? 250000 : ctype == "CNC" ? 60000 : 20000;
        if (d.subType == "48H") {
          d.receipts = Money(1000 + random_.Unit() * 9000);
          d.expenditures = 0.0;
          d.noTotals = 0;
        } else if (random_.Chance(0.03)) {
          d.noTotals = 1;
        } else {
          d.receipts = Money(std::pow(random_.Unit(), 2.0) * scale);
          d.expenditures = Money(std::pow(random_.Unit(), 2.0) * scale);
          d.noTotals = 0;
        }
        const bool noData = d.subType != "48H" && random_.Chance(0.04);
        d.noData = noData ? 1 : 0;
        if (noData) d.noDataReason = "No activity during the period";
        d.title = LookupSubType(d.subType) + " " + std::to_string(year) + (amended ? " (amended)" : "");
        d.signerType = "TRS";
        d.signerId = c->treasurerOfficer;
        d.signerName = c->treasurerName;
        d.signedOn = Iso(received - chr::days(random_.Between(0, 3)));
      } else if (kind == 1) {
        d.type = "COR";
        // LTR EMA LFN CMP TLG
        const std::size_t sub = random_.Weighted(
            std::array<int, 5>{45, year >= 2001 ? 25 : 0, 15, 10, received < MakeDay(1999, 7, 1) ? 10 : 0});
        d.subType = std::array<const char*, 5>{"LTR", "EMA", "LFN", "CMP", "TLG"}[sub];
        const std::size_t reason = random_.Weighted(std::array<int, 4>{20, 20, 15, 45});
        d.reason = std::array<const char*, 4>{"LATE", "INC", "ADR", "GEN"}[reason];
        d.title = std::string(std::array<const char*, 4>{"Late filing", "Incomplete report", "Change of address",
                                                          "General inquiry"}[reason]) +
                  (d.subType == "CMP" ? " - complaint" : "");
        if (d.subType == "LFN") {
          d.reason = "LATE";
          d.title = "Notice of late filing";
          if (c != nullptr) affects.push_back(c->group);
        }
        if (d.subType == "CMP") {
          for (int n = random_.Between(1, 2); n > 0; --n) affects.push_back(PickCommittee(year).group);
        }
      } else if (kind == 2) {
        d.type = "REG";
        d.subType = std::array<const char*, 3>{"SOO", "SOA", "DOC"}[random_.Weighted(
            std::array<int, 3>{40, 45, ctype == "CNC" ? 15 : 0})];
        d.reason = d.subType == "SOA" ? "CHG" : "ORG";
        d.title = LookupSubType(d.subType);
        d.signerType = "TRS";
        d.signerId = c->treasurerOfficer;
        d.signerName = c->treasurerName;
        d.signedOn = Iso(received - chr::days(random_.Between(0, 5)));
      } else if (kind == 3) {
        d.type = "PEN";
        const std::size_t sub = random_.Weighted(std::array<int, 3>{50, 30, 20});
        d.subType = std::array<const char*, 3>{"ASM", "APL", "PAY"}[sub];
        d.reason = random_.Chance(0.3) ? "NFL" : "LFL";
        const double due = 25.0 * random_.Between(2, 200);
        d.amountDue = due;
        d.amountPaid = sub == 2 ? due : (random_.Chance(0.3) ? Money(due * random_.Unit()) : 0.0);
        d.due = Iso(received + chr::days(30));
        if (sub == 1) {
          d.appeal = std::array<const char*, 4>{"PND", "GRA", "PAR", "DEN"}[random_.Weighted(std::array<int, 4>{20, 25, 20, 35})];
        }
        if (random_.Chance(0.2)) d.county = kCountyCodes[random_.Next() % kCountyCodes.size()];
        d.title = LookupSubType(d.subType) + " " + std::to_string(year);
        if (c != nullptr) affects.push_back(c->group);
      } else {
        const bool microfilm = year < 2003 && random_.Chance(0.3);
        d.type = microfilm ? "MFI" : "MSC";
        d.title = microfilm ? "Microfilm index card" : "Miscellaneous filing";
      }

      d.name = c != nullptr ? c->name : [&] {
        const Person p = RandomPerson();
        return p.last + ", " + p.first;
      }();
      if (!d.delivery) d.delivery = Delivery(year, received);
      if (d.type == "COR" && d.subType == "EMA") d.delivery = "EML";
      d.received = Iso(received);
      const Day entered = received + chr::days(random_.Between(0, 6));
      d.entered = Iso(entered);
      if (*d.delivery == "ELE") d.imported = Iso(received);
      if (random_.Chance(0.01)) d.deleted = Iso(entered + chr::days(random_.Between(10, 200)));

      const std::int64_t user = RandomUser(year);
      const std::int64_t updater = random_.Chance(0.7) ? user : RandomUser(year);
      const std::string origDate = Stamp(entered);
      const std::string updateDate = random_.Chance(0.6) ? origDate : Stamp(entered + chr::days(random_.Between(1, 60)));

      Statement& s = document;
      s.Bind(1, id).Bind(2, d.type);
      BindOpt(s, 3, Opt(d.subType));
      s.Bind(4, year);
      BindOpt(s, 5, d.amendment);
      s.Bind(6, d.name).Bind(7, d.title);
      BindOpt(s, 8, d.due);
      BindOpt(s, 9, d.county);
      BindOpt(s, 10, d.appeal);
      BindOpt(s, 11, d.amountDue);
      BindOpt(s, 12, d.amountPaid);
      BindOpt(s, 13, d.delivery);
      BindOpt(s, 14, d.reason);
      BindOpt(s, 15, d.version);
      BindOpt(s, 16, d.received);
      BindOpt(s, 17, d.entered);
      BindOpt(s, 18, d.other);
      BindOpt(s, 19, d.imported);
      BindOpt(s, 20, d.begin);
      BindOpt(s, 21, d.end);
      BindOpt(s, 22, d.signedOn);
      BindOpt(s, 23, d.signerType);
      BindOpt(s, 24, d.signerId);
      BindOpt(s, 25, d.signerName);
      BindOpt(s, 26, d.deleted);
      BindOpt(s, 27, d.noData);
      BindOpt(s, 28, d.noDataReason);
      BindOpt(s, 29, d.receipts);
      BindOpt(s, 30, d.expenditures);
      BindOpt(s, 31, d.noTotals);
      s.Bind(32, std::binary_search(images.begin(), images.end(), id) ? 1 : 0);
      s.Bind(33, user).Bind(34, origDate).Bind(35, updateDate).Bind(36, updater);
      s.Run();
      ++counts_.documents;

      if (c != nullptr) {
        link.Bind(1, ++linkId).Bind(2, c->group).Bind(3, id).Bind(4, origDate);
        link.Run();
      }
      std::sort(affects.begin(), affects.end());
      affects.erase(std::unique(affects.begin(), affects.end()), affects.end());
      for (std::int64_t group : affects) {
        affected.Bind(1, ++affectedId).Bind(2, group).Bind(3, id).Bind(4, origDate);
        affected.Run();
      }

      // The report data of a filed report, and the 48-hour notices it accounts for.
      if (d.type == "RPT" && c != nullptr) {
        if (d.subType == "48H") {
          if (c->lastReport != 0 && random_.Chance(0.4)) {
            reportLink.Bind(1, ++reportLinkId).Bind(2, c->lastReport).Bind(3, id).Bind(4, origDate);
            reportLink.Run();
          }
        } else if (*d.noData == 0 && random_.Chance(0.85)) {
          report.Bind(1, ++reportId).Bind(2, c->group).Bind(3, year).Bind(4, d.subType);
          BindOpt(report, 5, d.version);
          BindOpt(report, 6, d.begin);
          BindOpt(report, 7, d.end);
          BindOpt(report, 8, d.due);
          BindOpt(report, 9, electionId);
          BindOpt(report, 10, d.receipts);
          BindOpt(report, 11, d.expenditures);
          report.Bind(12, *d.delivery == "ELE" ? 1 : 0).Bind(13, *d.received).Bind(14, origDate).Bind(15, updateDate);
          report.Run();
          reportLink.Bind(1, ++reportLinkId).Bind(2, reportId).Bind(3, id).Bind(4, origDate);
          reportLink.Run();
          c->lastReport = reportId;
        }
      }
      if ((i + 1) % 10000 == 0 || i + 1 == count) Report("documents", i + 1, count);
    }
  }

  static std::string LookupSubType(const std::string& code) {
    static const std::array<std::pair<const char*, const char*>, 18> kNames = {{
        {"Q1", "First quarter report"},     {"Q2", "Second quarter report"},
        {"Q3", "Third quarter report"},     {"YE", "Year-end report"},
        {"PRE", "Pre-election report"},     {"POST", "Post-election report"},
        {"48H", "48-hour notice"},          {"TER", "Termination report"},
        {"SA", "Semi-annual report"},       {"SOO", "Statement of organization"},
        {"SOA", "Amended statement of organization"}, {"DOC", "Declaration of candidacy"},
        {"ASM", "Penalty assessment"},      {"APL", "Penalty appeal"},
        {"PAY", "Penalty payment"},         {"LTR", "Letter"},
        {"EMA", "Email message"},           {"LFN", "Late filing notice"},
    }};
    for (const auto& [c, n] : kNames) {
      if (code == c) return n;
    }
    return code;
  }

  // A dozen documents spread over the office carry scanned pages.
  static constexpr std::int64_t kImages = 12;
  static std::vector<std::int64_t> ImageDocuments(std::int64_t count) {
    std::vector<std::int64_t> ids;
    const std::int64_t k = std::min(count, kImages);
    for (std::int64_t j = 0; j < k; ++j) ids.push_back(j * count / k + 1);
    return ids;
  }

  void MakeImages(std::int64_t count) {
    Statement insert(db_,
                     "insert into DOCUMENT_IMAGE (document_id, doc_page_ct, alt_doc_page_ct, doc_image, alt_doc_image, "
                     "doc_image_sz, alt_doc_image_sz, orig_date, update_date) "
                     "select ?1, ?2, ?3, ?4, ?5, ?6, ?7, orig_date, update_date from ref_document where unique_id = ?1");
    const std::vector<std::int64_t> ids = ImageDocuments(count);
    const auto k = static_cast<std::int64_t>(ids.size());
    for (std::int64_t j = 0; j < k; ++j) {
      const std::int64_t id = ids[static_cast<std::size_t>(j)];
      const int pages = random_.Between(1, 3);
      const std::string image = MakeSampleTiff(pages, random_.Next());
      insert.Bind(1, id).Bind(2, pages);
      if (j % 3 == 1) {
        const int altPages = random_.Between(1, 2);
        const std::string alt = MakeSampleTiff(altPages, random_.Next());
        insert.Bind(3, altPages).BindBlob(5, alt.data(), alt.size()).Bind(7, static_cast<std::int64_t>(alt.size()));
      } else {
        insert.BindNull(3).BindNull(5).BindNull(7);
      }
      insert.BindBlob(4, image.data(), image.size()).Bind(6, static_cast<std::int64_t>(image.size()));
      insert.Run();
      ++counts_.images;
      Report("images", j + 1, k);
    }
  }

  sqlite3* db_;
  Random random_;
  const OfficeProgressCallback& progress_;
  SampleCounts counts_;
  std::vector<User> users_;
  std::vector<std::vector<std::int64_t>> usersByYear_;
  std::vector<Election> november_;
  std::vector<Committee> committees_;
  std::vector<std::size_t> registeredBy_;
  std::unordered_set<std::string> committeeNames_;
  std::int64_t nameId_ = 0;
};

void PutU16(std::string& out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<char>(v & 0xFF);
  out[at + 1] = static_cast<char>(v >> 8);
}
void PutU32(std::string& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string MakeSampleTiff(int pages, std::uint64_t seed) {
  // Little-endian baseline bilevel TIFF, uncompressed, one strip per page,
  // 0 = white. Each page: pixel data, two resolution rationals, the IFD.
  constexpr std::uint32_t kWidth = 96, kHeight = 64, kRowBytes = kWidth / 8;
  constexpr std::uint32_t kDataBytes = kRowBytes * kHeight;
  constexpr std::uint16_t kEntries = 12;
  constexpr std::uint32_t kIfdBytes = 2 + 12 * kEntries + 4;
  Random random(seed);
  std::string out(8, '\0');
  out[0] = 'I';
  out[1] = 'I';
  PutU16(out, 2, 42);
  std::size_t previousNext = 4;  // where the offset of the next IFD goes
  for (int page = 0; page < std::max(pages, 1); ++page) {
    const auto dataAt = static_cast<std::uint32_t>(out.size());
    std::string pixels(kDataBytes, '\0');
    auto set = [&](std::uint32_t x, std::uint32_t y) {
      pixels[y * kRowBytes + x / 8] = static_cast<char>(pixels[y * kRowBytes + x / 8] | (0x80 >> (x % 8)));
    };
    for (std::uint32_t x = 0; x < kWidth; ++x) {
      set(x, 0);
      set(x, kHeight - 1);
    }
    for (std::uint32_t y = 0; y < kHeight; ++y) {
      set(0, y);
      set(kWidth - 1, y);
    }
    // Lines of "text": dashes of random length.
    for (std::uint32_t y = 8; y + 8 < kHeight; y += 6) {
      std::uint32_t x = 6;
      while (x + 4 < kWidth - 6) {
        const auto len = static_cast<std::uint32_t>(random.Between(2, 9));
        for (std::uint32_t i = 0; i < len && x + i < kWidth - 6; ++i) {
          set(x + i, y);
          set(x + i, y + 1);
        }
        x += len + static_cast<std::uint32_t>(random.Between(2, 4));
      }
    }
    out += pixels;
    const auto rationalAt = static_cast<std::uint32_t>(out.size());
    out.append(16, '\0');
    PutU32(out, rationalAt, 200);
    PutU32(out, rationalAt + 4, 1);
    PutU32(out, rationalAt + 8, 200);
    PutU32(out, rationalAt + 12, 1);
    const auto ifdAt = static_cast<std::uint32_t>(out.size());
    PutU32(out, previousNext, ifdAt);
    out.append(kIfdBytes, '\0');
    PutU16(out, ifdAt, kEntries);
    std::size_t at = ifdAt + 2;
    auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t value) {
      PutU16(out, at, tag);
      PutU16(out, at + 2, type);
      PutU32(out, at + 4, 1);
      if (type == 3) {
        PutU16(out, at + 8, static_cast<std::uint16_t>(value));
      } else {
        PutU32(out, at + 8, value);
      }
      at += 12;
    };
    constexpr std::uint16_t kShort = 3, kLong = 4, kRational = 5;
    entry(256, kShort, kWidth);        // ImageWidth
    entry(257, kShort, kHeight);       // ImageLength
    entry(258, kShort, 1);             // BitsPerSample
    entry(259, kShort, 1);             // Compression: none
    entry(262, kShort, 0);             // PhotometricInterpretation: WhiteIsZero
    entry(273, kLong, dataAt);         // StripOffsets
    entry(277, kShort, 1);             // SamplesPerPixel
    entry(278, kShort, kHeight);       // RowsPerStrip
    entry(279, kLong, kDataBytes);     // StripByteCounts
    entry(282, kRational, rationalAt);      // XResolution
    entry(283, kRational, rationalAt + 8);  // YResolution
    entry(296, kShort, 2);             // ResolutionUnit: inch
    previousNext = at;                 // next-IFD offset, 0 unless another page follows
  }
  return out;
}

SampleCounts FillSampleOffice(sqlite3* db, std::int64_t documents, std::uint64_t seed,
                              const OfficeProgressCallback& progress) {
  SampleOffice office(db, seed, progress);
  return office.Fill(documents);
}

}  // namespace tarnwick::sqlite::office_detail
