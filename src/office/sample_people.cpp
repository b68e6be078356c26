// The sample office's people: staff users with their years of service, and
// the persons (candidates, treasurers, officers) the committees name.
#include "office/sample_detail.hpp"

namespace tarnwick::office::detail::sample {

Person SampleOffice::RandomPerson() {
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

std::int64_t SampleOffice::RandomUser(int year) {
  const auto& active = usersByYear_[static_cast<std::size_t>(std::clamp(year, kFirstYear, kLastYear) - kFirstYear)];
  if (active.empty()) return users_[random_.Next() % users_.size()].id;
  return active[random_.Next() % active.size()];
}

Day SampleOffice::RandomDayIn(int year) { return MakeDay(year, 1, 1) + chr::days(random_.Between(0, 364)); }

std::string SampleOffice::Stamp(Day d) { return Iso(d, random_.Between(8, 17), random_.Between(0, 59), random_.Between(0, 59)); }

// Staff: sixteen people, some with a changed name, some gone, and two system accounts.
void SampleOffice::MakeUsers() {
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

std::int64_t SampleOffice::AddPerson(const Person& p, Statement& insert, Day when) {
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

}  // namespace tarnwick::office::detail::sample
