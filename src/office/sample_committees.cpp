// The sample office's committees of every type, with their reference and
// detail history, candidates, treasurers and other officers.
#include "office/sample_detail.hpp"

namespace tarnwick::office::detail::sample {

std::string SampleOffice::UniqueCommitteeName(std::string name) {
  if (committeeNames_.insert(ToLower(name)).second) return name;
  for (int n = 2;; ++n) {
    std::string candidate = name + " " + std::to_string(n);
    if (committeeNames_.insert(ToLower(candidate)).second) return candidate;
  }
}

std::string SampleOffice::Acronym(const std::string& name) {
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

// The prepared inserts of the committee tables and the last identifier each gave.
struct SampleOffice::CommitteeTables {
  explicit CommitteeTables(sqlite3* db)
      : refOrg(db,
               "insert into ref_org (unique_id, group_id, is_fund, id_1, id_2, id_3, id_4, current_status_code, "
               "entered_method_code, entered_date, trans_date, trans_type, check_out_user_id, check_out_date, "
               "check_in_user_id, check_in_date, Reason, update_date, Orig_user_id, orig_date, user_id) "
               "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        detail(db,
               "insert into org_committee (unique_id, org_group_id, trans_date, trans_end_date, org_name, "
               "inhouse_name, old_acronym, previous_id, comm_type_code, comm_level_code, party_code, "
               "mef_required, orig_date, update_date, user_id) "
               "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        name(db,
             "insert into org_name_address (unique_id, first_name, middle_name, last_name, suffix, nick_name, "
             "address_1, address_2, city, state_code, zip, county_code, phone, email, orig_date, update_date) "
             "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        officer(db,
                "insert into org_officers (unique_id, group_id, org_group_id, name_type_code, entity_id, "
                "cand_office_code, trans_date, trans_end_date, orig_date, update_date, user_id) "
                "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)") {}

  Statement refOrg;
  Statement detail;
  Statement name;
  Statement officer;
  std::int64_t refOrgId = 0;
  std::int64_t detailId = 0;
  std::int64_t officerId = 0;
};

// What a committee is and how the office knows it.
struct SampleOffice::CommitteeProfile {
  std::string type;
  Day registered;
  Person candidate;
  const OfficeInfo* office = nullptr;
  std::string orgName, inhouse, level, partyCode, oldName;
  std::string id1, id2, serial, id4;
  bool isFund = false;
};

void SampleOffice::MakeCommittees(std::int64_t count) {
  CommitteeTables tables(db_);
  committees_.reserve(static_cast<std::size_t>(count));

  for (std::int64_t i = 0; i < count; ++i) {
    Committee c;
    c.typeIndex = i < static_cast<std::int64_t>(kCommitteeTypes.size())
                      ? static_cast<int>(i)
                      : static_cast<int>(random_.Weighted(kCommitteeTypeWeights));
    c.regYear = random_.Between(1990, 2022);
    const Day registered = MakeDay(c.regYear, random_.Between(1, 12), random_.Between(1, 28));
    c.group = tables.refOrgId + 1;

    const CommitteeProfile profile = DescribeCommittee(c, i + 1, registered);
    AddReferenceRows(tables, c, profile);
    AddDetailRows(tables, c, profile);
    AddCommitteeOfficers(tables, c, profile);

    committees_.push_back(std::move(c));
    ++counts_.committees;
    if ((i + 1) % 1000 == 0 || i + 1 == count) Report("committees", i + 1, count);
  }
  IndexCommitteesByYear();
}

// What the committee is: name, level, party, candidate, and its registration number.
SampleOffice::CommitteeProfile SampleOffice::DescribeCommittee(Committee& c, std::int64_t number, Day registered) {
  CommitteeProfile p;
  p.type = kCommitteeTypes[static_cast<std::size_t>(c.typeIndex)];
  p.registered = registered;
  p.office = &random_.Pick(kOffices);
  const PartyInfo& party = random_.Pick(kParties);
  const std::string county = random_.Pick(kCountyNames);
  NameCommittee(p, party, county);
  p.orgName = UniqueCommitteeName(p.orgName);
  c.name = p.orgName;
  if (p.inhouse.empty()) {
    p.inhouse = ToUpper(p.orgName.rfind("The ", 0) == 0 ? p.orgName.substr(4) : p.orgName);
  }
  char serial[24];
  std::snprintf(serial, sizeof serial, "%05lld", static_cast<long long>(number));
  int digits = 0;
  for (char ch : std::to_string(c.regYear) + serial) digits += ch - '0';
  p.id1 = std::to_string(c.regYear);
  p.id2 = kCommitteeLetters[static_cast<std::size_t>(c.typeIndex)];
  p.serial = serial;
  p.id4 = std::to_string(digits % 10);
  p.isFund = p.type == "PAC" && random_.Chance(0.3);
  return p;
}

// The committee's present and former names, level and party, as its type has them.
void SampleOffice::NameCommittee(CommitteeProfile& p, const PartyInfo& party, const std::string& county) {
  const OfficeInfo& office = *p.office;
  if (p.type == "CNC") {
    p.candidate = RandomPerson();
    const std::string shortName = p.candidate.first + " " + p.candidate.last;
    switch (random_.Between(0, 3)) {
      case 0: p.orgName = "Friends of " + shortName; break;
      case 1: p.orgName = shortName + " for " + office.name; break;
      case 2: p.orgName = "Committee to Elect " + shortName; break;
      default: p.orgName = "Citizens for " + p.candidate.last; break;
    }
    p.oldName = "Committee to Elect " + shortName;
    p.inhouse = ToUpper(p.candidate.last + ", " + p.candidate.first) + " (" + office.code + ")";
    p.level = office.level;
    p.partyCode = party.code;
  } else if (p.type == "PTY") {
    if (random_.Chance(0.2)) {
      p.orgName = std::string("State ") + party.name + " Party";
      p.level = "STA";
    } else {
      p.orgName = county + " County " + party.name + " Central Committee";
      p.level = "CTY";
    }
    p.oldName = county + " County " + party.name + " Club";
    p.partyCode = party.code;
  } else if (p.type == "PAC") {
    p.orgName = std::string(random_.Pick(kTradePrefixes)) + " " + random_.Pick(kTrades) + " " +
                random_.Pick(kPacSuffixes);
    p.oldName = std::string(random_.Pick(kTrades)) + " Association Fund";
    p.level = random_.Chance(0.6) ? "STA" : "LEG";
    p.partyCode = "NP";
  } else if (p.type == "IEC") {
    p.orgName = std::string("Citizens for ") + random_.Pick(kCauses);
    p.oldName = std::string("Alliance for ") + random_.Pick(kCauses);
    p.level = "STA";
    p.partyCode = "NP";
  } else if (p.type == "BQC") {
    const int question = random_.Between(1, 12);
    p.orgName = (random_.Chance(0.5) ? "Yes on Question " : "No on Amendment ") + std::to_string(question);
    p.oldName = "Committee for Question " + std::to_string(question);
    p.level = random_.Chance(0.5) ? "STA" : "CTY";
    p.partyCode = "NP";
  } else {  // NRR
    const Person owner = RandomPerson();
    p.orgName = random_.Chance(0.5) ? owner.last + " & " + random_.Pick(kLastNames) + " Consulting LLC"
                                    : std::string(random_.Pick(kTrades)) + " Association of " + county;
    p.oldName = owner.last + " Associates";
    p.level = "STA";
  }
}

// Reference rows: registration, then amendments and status changes.
void SampleOffice::AddReferenceRows(CommitteeTables& t, const Committee& c, const CommitteeProfile& p) {
  Statement& refOrg = t.refOrg;
  const std::int64_t user = RandomUser(c.regYear);
  const bool legacy = c.regYear < 1995 && random_.Chance(0.1);
  const int rows = legacy ? 1 : static_cast<int>(1 + random_.Weighted(std::array<int, 4>{40, 30, 20, 10}));
  Day when = p.registered;
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
    refOrg.Bind(1, ++t.refOrgId).Bind(2, c.group).Bind(3, p.isFund ? 1 : 0).Bind(4, p.id1).Bind(5, p.id2);
    refOrg.Bind(6, p.serial).Bind(7, p.id4).Bind(8, status);
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
    refOrg.Bind(19, user).Bind(20, Stamp(p.registered)).Bind(21, rowUser);
    refOrg.Run();
  }
}

// Detail rows: earlier names closed, the present one open.
void SampleOffice::AddDetailRows(CommitteeTables& t, const Committee& c, const CommitteeProfile& p) {
  Statement& detail = t.detail;
  const int details = static_cast<int>(1 + random_.Weighted(std::array<int, 3>{60, 30, 10}));
  Day from = p.registered;
  const std::string previousId =
      random_.Chance(0.15) ? std::to_string(c.regYear - random_.Between(2, 8)) + "-" + p.id2 + "-" +
                                 std::to_string(random_.Between(10000, 99999)) + "-" + std::to_string(random_.Between(0, 9))
                           : std::string();
  const bool mef = (p.type == "PAC" || p.type == "PTY") ? random_.Chance(0.2) : random_.Chance(0.1);
  for (int d = 0; d < details; ++d) {
    const bool open = d + 1 == details;
    Day to = from;
    if (!open) {
      to = from + chr::days(random_.Between(200, 2000));
      if (to >= kAsOf - chr::days(1)) to = from + chr::days(1);
    }
    const std::string rowName = open ? p.orgName : (d == 0 ? p.oldName : p.oldName + " (" + std::to_string(d) + ")");
    detail.Bind(1, ++t.detailId).Bind(2, c.group).Bind(3, Iso(from));
    if (open) {
      detail.BindNull(4);
    } else {
      detail.Bind(4, Iso(to));
    }
    detail.Bind(5, rowName).Bind(6, open ? p.inhouse : ToUpper(rowName)).Bind(7, Acronym(rowName));
    BindOpt(detail, 8, Opt(previousId));
    detail.Bind(9, p.type).Bind(10, p.level);
    BindOpt(detail, 11, Opt(p.partyCode));
    detail.Bind(12, open && mef ? 1 : 0).Bind(13, Stamp(from)).Bind(14, Stamp(from));
    detail.Bind(15, RandomUser(YearOf(from)));
    detail.Run();
    from = to;
  }
}

// The committee's candidate or contact, its treasurers (a former one whose
// term has ended, sometimes) and, for the other types, a chair and a deputy.
void SampleOffice::AddCommitteeOfficers(CommitteeTables& t, Committee& c, const CommitteeProfile& p) {
  const Day registered = p.registered;
  if (p.type == "CNC") AddOfficer(t, c.group, "CND", p.candidate, registered, std::nullopt, p.office->code);
  if (p.type == "NRR") AddOfficer(t, c.group, "CNT", RandomPerson(), registered, std::nullopt, nullptr);
  Day treasurerFrom = registered;
  if (random_.Chance(0.35) && registered + chr::days(400) < kAsOf) {
    // A former treasurer whose term has ended.
    treasurerFrom = registered + chr::days(random_.Between(200, 399));
    AddOfficer(t, c.group, "TRS", RandomPerson(), registered, treasurerFrom, nullptr);
  }
  const Person treasurer = RandomPerson();
  c.treasurerOfficer = AddOfficer(t, c.group, "TRS", treasurer, treasurerFrom, std::nullopt, nullptr);
  c.treasurerName = treasurer.Full();
  if (p.type != "CNC" && p.type != "NRR") {
    if (random_.Chance(0.6)) AddOfficer(t, c.group, "CHR", RandomPerson(), registered, std::nullopt, nullptr);
    if (random_.Chance(0.2)) AddOfficer(t, c.group, "DTR", RandomPerson(), registered, std::nullopt, nullptr);
  }
}

// A person in a role is an officer record (group_id); a change of address
// closes the row and opens another of the record. Returns the open row.
std::int64_t SampleOffice::AddOfficer(CommitteeTables& t, std::int64_t committee, const std::string& role,
                                      const Person& p, Day begin, std::optional<Day> end, const char* officeCode) {
  Statement& officer = t.officer;
  const std::int64_t entity = AddPerson(p, t.name, begin);
  const std::int64_t group = t.officerId + 1;
  const bool moved = !end && random_.Chance(0.15) && begin + chr::days(400) < kAsOf;
  std::int64_t current = 0;
  auto row = [&](Day b, std::optional<Day> e, std::int64_t ent) {
    officer.Bind(1, ++t.officerId).Bind(2, group).Bind(3, committee).Bind(4, role).Bind(5, ent);
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
    current = t.officerId;
  };
  if (moved) {
    const Day change = begin + chr::days(random_.Between(200, 399));
    row(begin, change, entity);
    row(change, std::nullopt, AddPerson(p, t.name, change));
  } else {
    row(begin, end, entity);
  }
  return current;
}

// Committees by registration year, for picking one that existed in a given year.
void SampleOffice::IndexCommitteesByYear() {
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

}  // namespace tarnwick::office::detail::sample
