// The sample office's documents of every type and year, linked to the
// committees that filed them, the committees they affect and report data.
#include "office/sample_detail.hpp"

namespace tarnwick::office::detail::sample {

Committee& SampleOffice::PickCommittee(int year) {
  std::size_t n = registeredBy_[static_cast<std::size_t>(year - kFirstYear)];
  if (n == 0) n = committees_.size();
  return committees_[random_.Next() % n];
}

std::string SampleOffice::Delivery(int year, Day received) {
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

// The prepared inserts of the document tables, the last identifier each
// gave, and the documents that carry scanned pages.
struct SampleOffice::DocumentTables {
  DocumentTables(sqlite3* db, std::vector<std::int64_t> imageDocuments)
      : document(db,
                 "insert into ref_document (unique_id, doc_type_code, doc_sub_type_code, doc_year, Is_amendment, "
                 "name_listed, Title, due_date, referred_county_code, penalty_appeal_decision_code, Amount_Due, "
                 "amount_paid, delivery_method_code, doc_reason_code, report_version_code, receive_send_date, "
                 "entry_date, other_date, import_date, begin_date, end_date, signed_date, signer_officer_type_code, "
                 "signer_officer_id, signer_name, delete_date, has_no_report_data, no_report_data_reason, "
                 "total_receipts, total_expenditures, has_no_totals, has_image, orig_user_id, orig_date, "
                 "update_date, user_id) "
                 "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                 "?, ?, ?, ?, ?, ?)"),
        link(db, "insert into xrf_org_document (unique_id, org_id, document_id, orig_date) values (?, ?, ?, ?)"),
        affected(db, "insert into XRF_AFF_ORG_DOCUMENT (unique_id, org_id, document_id, orig_date) values (?, ?, ?, ?)"),
        report(db,
               "insert into ref_report (unique_id, org_group_id, doc_year, report_sub_type_code, "
               "report_version_code, begin_date, end_date, due_date, election_id, total_receipts, "
               "total_expenditures, is_mef, filed_date, orig_date, update_date) "
               "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        reportLink(db, "insert into xrf_report_document (unique_id, report_id, document_id, orig_date) values (?, ?, ?, ?)"),
        images(std::move(imageDocuments)) {}

  Statement document;
  Statement link;
  Statement affected;
  Statement report;
  Statement reportLink;
  std::int64_t linkId = 0;
  std::int64_t affectedId = 0;
  std::int64_t reportId = 0;
  std::int64_t reportLinkId = 0;
  const std::vector<std::int64_t> images;  // sorted
};

// One document as it is made: what it is, who filed it, what it affects, and
// who entered it when.
struct SampleOffice::DocumentDraft {
  std::int64_t id = 0;
  int year = 0;
  Committee* committee = nullptr;  // none for a document of no committee
  std::string committeeType;       // "" without a committee
  Doc d;
  Day received;
  std::optional<std::int64_t> electionId;
  std::vector<std::int64_t> affects;
  std::int64_t user = 0;
  std::int64_t updater = 0;
  std::string origDate;
  std::string updateDate;
};

void SampleOffice::MakeDocuments(std::int64_t count) {
  DocumentTables tables(db_, ImageDocuments(count));
  for (std::int64_t i = 0; i < count; ++i) {
    DocumentDraft draft;
    draft.id = i + 1;
    draft.year = random_.Between(kFirstYear, kLastYear);
    draft.committee = random_.Chance(0.03) ? nullptr : &PickCommittee(draft.year);
    draft.committeeType =
        draft.committee != nullptr ? kCommitteeTypes[static_cast<std::size_t>(draft.committee->typeIndex)] : "";

    // The kind of document: 0 report, 1 correspondence, 2 registration, 3 penalty, 4 miscellaneous.
    std::size_t kind;
    if (draft.committee == nullptr) {
      kind = random_.Weighted(std::array<int, 5>{0, 60, 0, 0, 40});
    } else if (draft.committeeType == "NRR") {
      kind = random_.Weighted(std::array<int, 5>{60, 30, 0, 10, 0});
    } else {
      kind = random_.Weighted(std::array<int, 5>{55, 22, 8, 8, 7});
    }
    draft.received = RandomDayIn(draft.year);
    switch (kind) {
      case 0: DraftReport(draft); break;
      case 1: DraftCorrespondence(draft); break;
      case 2: DraftRegistration(draft); break;
      case 3: DraftPenalty(draft); break;
      default: DraftMiscellaneous(draft); break;
    }
    FinishDraft(draft);

    InsertDocument(tables, draft);
    LinkDocument(tables, draft);
    AddReportData(tables, draft);
    if ((i + 1) % 10000 == 0 || i + 1 == count) Report("documents", i + 1, count);
  }
}

// A filed report: its period and due date, totals, amendment and signer.
void SampleOffice::DraftReport(DocumentDraft& draft) {
  Doc& d = draft.d;
  const Committee* c = draft.committee;
  const std::string& ctype = draft.committeeType;
  const int year = draft.year;
  Day& received = draft.received;
  d.type = "RPT";
  Day begin, end, due;
  ReportPeriod(draft, begin, end, due);
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
}

// The kind of report (its sub-type), the period it covers, when it is due,
// and the election it reports on.
void SampleOffice::ReportPeriod(DocumentDraft& draft, Day& begin, Day& end, Day& due) {
  Doc& d = draft.d;
  const int year = draft.year;
  std::optional<std::int64_t>& electionId = draft.electionId;
  const Election& november = NovemberOf(year);
  const Day electionDay = november.date;
  std::size_t sub;
  if (draft.committeeType == "CNC") {
    // Q1 Q2 Q3 YE PRE POST 48H TER SA
    sub = random_.Weighted(std::array<int, 9>{14, 14, 14, 18, 10, 8, 12, 2, year < 2001 ? 8 : 0});
  } else {
    sub = random_.Weighted(std::array<int, 9>{20, 20, 20, 25, 6, 5, 0, 2, year < 2001 ? 8 : 0});
  }
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
}

// A letter, message, notice or complaint, and the committees it concerns.
void SampleOffice::DraftCorrespondence(DocumentDraft& draft) {
  Doc& d = draft.d;
  const Committee* c = draft.committee;
  const int year = draft.year;
  const Day received = draft.received;
  std::vector<std::int64_t>& affects = draft.affects;
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
}

// A statement of organization, its amendment, or a declaration of candidacy.
void SampleOffice::DraftRegistration(DocumentDraft& draft) {
  Doc& d = draft.d;
  const Committee* c = draft.committee;
  d.type = "REG";
  d.subType = std::array<const char*, 3>{"SOO", "SOA", "DOC"}[random_.Weighted(
      std::array<int, 3>{40, 45, draft.committeeType == "CNC" ? 15 : 0})];
  d.reason = d.subType == "SOA" ? "CHG" : "ORG";
  d.title = LookupSubType(d.subType);
  d.signerType = "TRS";
  d.signerId = c->treasurerOfficer;
  d.signerName = c->treasurerName;
  d.signedOn = Iso(draft.received - chr::days(random_.Between(0, 5)));
}

// A penalty assessed, appealed or paid.
void SampleOffice::DraftPenalty(DocumentDraft& draft) {
  Doc& d = draft.d;
  const Committee* c = draft.committee;
  d.type = "PEN";
  const std::size_t sub = random_.Weighted(std::array<int, 3>{50, 30, 20});
  d.subType = std::array<const char*, 3>{"ASM", "APL", "PAY"}[sub];
  d.reason = random_.Chance(0.3) ? "NFL" : "LFL";
  const double due = 25.0 * random_.Between(2, 200);
  d.amountDue = due;
  d.amountPaid = sub == 2 ? due : (random_.Chance(0.3) ? Money(due * random_.Unit()) : 0.0);
  d.due = Iso(draft.received + chr::days(30));
  if (sub == 1) {
    d.appeal = std::array<const char*, 4>{"PND", "GRA", "PAR", "DEN"}[random_.Weighted(std::array<int, 4>{20, 25, 20, 35})];
  }
  if (random_.Chance(0.2)) d.county = kCountyCodes[random_.Next() % kCountyCodes.size()];
  d.title = LookupSubType(d.subType) + " " + std::to_string(draft.year);
  if (c != nullptr) draft.affects.push_back(c->group);
}

// A microfilm index card (before 2003) or any other filing.
void SampleOffice::DraftMiscellaneous(DocumentDraft& draft) {
  Doc& d = draft.d;
  const bool microfilm = draft.year < 2003 && random_.Chance(0.3);
  d.type = microfilm ? "MFI" : "MSC";
  d.title = microfilm ? "Microfilm index card" : "Miscellaneous filing";
}

// What every document has: the name it is listed under, how it came, when it
// was received and entered, and who entered and last changed it.
void SampleOffice::FinishDraft(DocumentDraft& draft) {
  Doc& d = draft.d;
  const Committee* c = draft.committee;
  const int year = draft.year;
  const Day received = draft.received;
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

  draft.user = RandomUser(year);
  draft.updater = random_.Chance(0.7) ? draft.user : RandomUser(year);
  draft.origDate = Stamp(entered);
  draft.updateDate = random_.Chance(0.6) ? draft.origDate : Stamp(entered + chr::days(random_.Between(1, 60)));
}

void SampleOffice::InsertDocument(DocumentTables& t, const DocumentDraft& draft) {
  const Doc& d = draft.d;
  Statement& s = t.document;
  s.Bind(1, draft.id).Bind(2, d.type);
  BindOpt(s, 3, Opt(d.subType));
  s.Bind(4, draft.year);
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
  s.Bind(32, std::binary_search(t.images.begin(), t.images.end(), draft.id) ? 1 : 0);
  s.Bind(33, draft.user).Bind(34, draft.origDate).Bind(35, draft.updateDate).Bind(36, draft.updater);
  s.Run();
  ++counts_.documents;
}

// The document's link to the committee that filed it and to each committee it affects.
void SampleOffice::LinkDocument(DocumentTables& t, DocumentDraft& draft) {
  if (draft.committee != nullptr) {
    t.link.Bind(1, ++t.linkId).Bind(2, draft.committee->group).Bind(3, draft.id).Bind(4, draft.origDate);
    t.link.Run();
  }
  std::vector<std::int64_t>& affects = draft.affects;
  std::sort(affects.begin(), affects.end());
  affects.erase(std::unique(affects.begin(), affects.end()), affects.end());
  for (std::int64_t group : affects) {
    t.affected.Bind(1, ++t.affectedId).Bind(2, group).Bind(3, draft.id).Bind(4, draft.origDate);
    t.affected.Run();
  }
}

// The report data of a filed report, and the 48-hour notices it accounts for.
void SampleOffice::AddReportData(DocumentTables& t, DocumentDraft& draft) {
  const Doc& d = draft.d;
  Committee* c = draft.committee;
  if (d.type != "RPT" || c == nullptr) return;
  if (d.subType == "48H") {
    if (c->lastReport != 0 && random_.Chance(0.4)) {
      t.reportLink.Bind(1, ++t.reportLinkId).Bind(2, c->lastReport).Bind(3, draft.id).Bind(4, draft.origDate);
      t.reportLink.Run();
    }
  } else if (*d.noData == 0 && random_.Chance(0.85)) {
    Statement& report = t.report;
    report.Bind(1, ++t.reportId).Bind(2, c->group).Bind(3, draft.year).Bind(4, d.subType);
    BindOpt(report, 5, d.version);
    BindOpt(report, 6, d.begin);
    BindOpt(report, 7, d.end);
    BindOpt(report, 8, d.due);
    BindOpt(report, 9, draft.electionId);
    BindOpt(report, 10, d.receipts);
    BindOpt(report, 11, d.expenditures);
    report.Bind(12, *d.delivery == "ELE" ? 1 : 0).Bind(13, *d.received).Bind(14, draft.origDate);
    report.Bind(15, draft.updateDate);
    report.Run();
    t.reportLink.Bind(1, ++t.reportLinkId).Bind(2, t.reportId).Bind(3, draft.id).Bind(4, draft.origDate);
    t.reportLink.Run();
    c->lastReport = t.reportId;
  }
}

std::string SampleOffice::LookupSubType(const std::string& code) {
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

}  // namespace tarnwick::office::detail::sample
