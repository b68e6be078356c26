// Every office procedure gives the same rows, outputs and changes on the
// office server as on the embedded engine, called on the same sample office:
// the file through the SQLite engine, the server through libpq with the
// calling convention the server engine uses (named arguments sent as
// untyped text, CALL in a transaction, FETCH ALL from the result cursor).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gateway/sqlite/engine.hpp"
#include "support/office_files.hpp"
#include "runtime/dates.hpp"
#include "runtime/text.hpp"
#include "support/sample_office.hpp"
#include "tarnwick/recordset.hpp"

namespace tarnwick::test {
namespace {

constexpr std::int64_t kDocuments = 3000;

using Rows = std::vector<std::vector<std::string>>;

struct Arg {
  std::string name;  // without "@"
  Variant value;
};

struct Call {
  std::string procedure;
  std::vector<Arg> args;
  std::vector<std::string> outputs;  // output parameters to compare
  std::string check;                 // a select run after the call on both sides (may be empty)
  // An output that is a new row's identifier: the server's identity values
  // are not given back by a rollback, so each side's value is compared with
  // the first value its check reads (the new row's identifier) instead.
  std::string identity = {};
};

// What a call gave: an error, or its columns, rows and outputs, and what the
// check read afterwards.
struct Outcome {
  bool failed = false;
  std::string error;
  std::vector<std::string> columns;
  Rows rows;
  std::map<std::string, std::string> outputs;
  Rows checked;
};

// Numbers compare by value: "1234.5000", "1234.5" and 1234.5 are one amount.
std::string Number(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.4f", value);
  std::string text = buffer;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

std::string Hex(const Bytes& bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (auto b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 0xF];
  }
  return out;
}

std::string FileText(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty:
    case VarType::Null: return "<null>";
    case VarType::Boolean: return v.CBool() ? "1" : "0";
    case VarType::Integer:
    case VarType::Long: return std::to_string(v.CLng());
    case VarType::Double: return Number(v.CDbl());
    case VarType::Currency: return Number(static_cast<double>(v.CCur().scaled) / 10000.0);
    case VarType::Date: return dates::IsoText(v.CDate());
    case VarType::Bytes: return Hex(v.AsBytes());
    default: return v.CStr();
  }
}

std::string ServerText(const PGresult* result, int row, int column) {
  if (PQgetisnull(result, row, column)) return "<null>";
  const std::string text = PQgetvalue(result, row, column);
  switch (PQftype(result, column)) {
    case 16: return text == "t" ? "1" : "0";                                       // boolean
    case 700: case 701: case 1700: return Number(std::strtod(text.c_str(), nullptr));  // float, numeric
    case 1082: return text + " 00:00:00";                                          // date
    case 17: return text.substr(2);                                                // bytea "\x..."
    default: return text;
  }
}

// The text the server engine sends for a value (Null: no text).
std::optional<std::string> ArgumentText(const Variant& v) {
  switch (v.Type()) {
    case VarType::Empty:
    case VarType::Null: return std::nullopt;
    case VarType::Boolean: return std::string(v.CBool() ? "true" : "false");
    case VarType::Date: return dates::IsoText(v.CDate());
    case VarType::Bytes: return "\\x" + Hex(v.AsBytes());
    default: return v.CStr();
  }
}

Rows ServerSelect(PGconn* conn, const std::string& sql) {
  postgres::Result result(PQexec(conn, sql.c_str()));
  if (!postgres::Succeeded(result.get())) throw std::runtime_error(postgres::ErrorText(conn, result.get()) + " in: " + sql);
  Rows rows;
  for (int r = 0; r < PQntuples(result.get()); ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < PQnfields(result.get()); ++c) row.push_back(ServerText(result.get(), r, c));
    rows.push_back(std::move(row));
  }
  return rows;
}

void ReadRecordset(const std::shared_ptr<Recordset>& rs, std::vector<std::string>* columns, Rows& rows) {
  if (!rs || rs->State() != ObjectState::Open) return;
  if (columns)
    for (const auto& c : rs->Columns()) columns->push_back(runtime::ToLower(c.name));
  if (rs->BOF() && rs->EndOfFile()) return;
  for (rs->MoveFirst(); !rs->EndOfFile(); rs->MoveNext()) {
    std::vector<std::string> row;
    for (const auto& c : rs->Columns()) row.push_back(FileText(rs->Collect(c.name)));
    rows.push_back(std::move(row));
  }
}

// The call on the file, undone afterwards.
Outcome RunOnFile(sqlite::Engine& engine, const Call& call) {
  Outcome out;
  engine.BeginTransaction();
  std::string error = engine.PrepareProcedure(call.procedure);
  for (const Arg& arg : call.args)
    if (error.empty()) error = engine.AddParameter("@" + arg.name, arg.value);
  std::shared_ptr<Recordset> rs;
  std::int32_t affected = 0;
  if (error.empty()) error = engine.ExecuteProcedure(affected, true, rs, 0);
  if (!error.empty()) {
    out.failed = true;
    out.error = error;
  } else {
    ReadRecordset(rs, &out.columns, out.rows);
    for (const std::string& name : call.outputs) {
      Variant value;
      if (auto e = engine.GetParameter("@" + name, value); !e.empty()) throw std::runtime_error(e);
      out.outputs[runtime::ToLower(name)] = FileText(value);
    }
  }
  engine.FinishProcedure();
  if (!call.check.empty()) {
    std::shared_ptr<Recordset> checked;
    if (auto e = engine.OpenRecordset(call.check, checked, 0, false); !e.empty())
      throw std::runtime_error(e + " in: " + call.check);
    ReadRecordset(checked, nullptr, out.checked);
  }
  engine.EndTransaction(false);
  return out;
}

// The call on the server, as the server engine makes it, undone afterwards.
Outcome RunOnServer(PGconn* conn, const Call& call) {
  Outcome out;
  ServerSelect(conn, "begin");
  std::string sql = "call " + call.procedure + "(";
  std::vector<std::optional<std::string>> texts;
  for (const Arg& arg : call.args) {
    texts.push_back(ArgumentText(arg.value));
    sql += postgres::QuoteIdentifier(runtime::ToLower(arg.name)) + " => $" + std::to_string(texts.size()) + ", ";
  }
  const bool returnsRows = !ServerSelect(conn, "select 1 from pg_proc where proname = lower('" + call.procedure +
                                                   "') and 'tw_result' = any(proargnames)")
                                .empty();
  if (returnsRows) sql += "tw_result => null, ";
  if (sql.back() == ' ') sql.resize(sql.size() - 2);
  sql += ")";
  std::vector<const char*> values;
  for (const auto& t : texts) values.push_back(t ? t->c_str() : nullptr);
  postgres::Result result(PQexecParams(conn, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                                       nullptr, nullptr, 0));
  if (!postgres::Succeeded(result.get())) {
    out.failed = true;
    out.error = postgres::ErrorText(conn, result.get());
  } else {
    for (const std::string& name : call.outputs) {
      const int column = PQfnumber(result.get(), runtime::ToLower(name).c_str());
      if (column < 0) throw std::runtime_error(call.procedure + " returns no " + name);
      out.outputs[runtime::ToLower(name)] = ServerText(result.get(), 0, column);
    }
    if (returnsRows) {
      const std::string cursor = PQgetvalue(result.get(), 0, PQfnumber(result.get(), "tw_result"));
      postgres::Result rows(PQexec(conn, ("fetch all from " + postgres::QuoteIdentifier(cursor)).c_str()));
      if (!postgres::Succeeded(rows.get())) throw std::runtime_error(postgres::ErrorText(conn, rows.get()));
      for (int c = 0; c < PQnfields(rows.get()); ++c) out.columns.emplace_back(PQfname(rows.get(), c));
      for (int r = 0; r < PQntuples(rows.get()); ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < PQnfields(rows.get()); ++c) row.push_back(ServerText(rows.get(), r, c));
        out.rows.push_back(std::move(row));
      }
      ServerSelect(conn, "close " + postgres::QuoteIdentifier(cursor));
    }
    if (!call.check.empty()) out.checked = ServerSelect(conn, call.check);
  }
  ServerSelect(conn, "rollback");
  if (out.failed && !call.check.empty()) out.checked = ServerSelect(conn, call.check);
  return out;
}

std::string Describe(const Call& call) {
  std::string text = call.procedure + "(";
  for (const Arg& arg : call.args) {
    const auto t = ArgumentText(arg.value);
    text += arg.name + "=" + (t ? "'" + *t + "'" : "null") + " ";
  }
  return text + ")";
}

// The same sample office as a file and on the server.
class ServerProcedures : public SampleOfficeSuite<kDocuments, Engines::FileAndServer> {
 protected:
  void SetUp() override {
    SampleOfficeSuite::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(fileEngine_.Open(file_)) << fileEngine_.LastError();
    server_ = OpenServer();
  }

  // The first row of a query on the file, as texts.
  std::vector<std::string> FileRow(const std::string& sql) {
    const auto rows = Db(file_).Rows(sql);
    if (rows.empty()) throw std::runtime_error("no row for: " + sql);
    return rows[0];
  }

  // Runs every call both ways and compares what each gave. Returns how many
  // result rows and how many true outputs were compared, so that a list of
  // calls that all find nothing shows.
  std::size_t ExpectSame(const std::vector<Call>& calls) {
    std::size_t found = 0;
    for (const Call& call : calls) {
      SCOPED_TRACE(Describe(call));
      const Outcome file = RunOnFile(fileEngine_, call);
      const Outcome server = RunOnServer(server_.get(), call);
      EXPECT_EQ(server.failed, file.failed) << "file: " << file.error << "\nserver: " << server.error;
      if (server.failed != file.failed) continue;
      EXPECT_EQ(server.columns, file.columns);
      EXPECT_EQ(server.rows, file.rows);
      Outcome compared = server;
      if (!call.identity.empty() && !file.failed) {
        const std::string key = runtime::ToLower(call.identity);
        if (file.checked.empty() || server.checked.empty()) {
          ADD_FAILURE() << "the check of " << call.identity << " read no row";
          continue;
        }
        EXPECT_EQ(file.outputs.at(key), file.checked[0][0]);
        EXPECT_EQ(server.outputs.at(key), server.checked[0][0]);
        compared.outputs[key] = file.outputs.at(key);
        compared.checked[0][0] = file.checked[0][0];
      }
      EXPECT_EQ(compared.outputs, file.outputs);
      EXPECT_EQ(compared.checked, file.checked);
      found += file.rows.size();
      for (const auto& [name, value] : file.outputs) found += value == "1" ? 1 : 0;
    }
    return found;
  }

  sqlite::Engine fileEngine_;
  postgres::Connection server_;
};

Variant Int(const std::string& text) { return Variant(static_cast<std::int32_t>(std::stol(text))); }

TEST_F(ServerProcedures, LinkProceduresAddMoveAndRemoveTheSameRows) {
  const auto linked = FileRow("select document_id, org_id from xrf_org_document order by unique_id limit 1");
  const auto other = FileRow("select min(group_id) from ref_org where group_id <> " + linked[1]);
  const auto twice = Db(file_).Rows(
      "select document_id, min(org_id), max(org_id) from XRF_AFF_ORG_DOCUMENT group by document_id "
      "having count(*) > 1 limit 1");
  const auto affected = FileRow("select document_id, org_id from XRF_AFF_ORG_DOCUMENT order by unique_id limit 1");
  const auto report = FileRow("select report_id, document_id from xrf_report_document order by unique_id limit 1");
  const Variant doc = Int(linked[0]), org = Int(linked[1]), group = Int(other[0]);
  const std::string links = "select org_id, document_id from xrf_org_document where document_id = " + linked[0] +
                            " order by org_id";
  const std::string affects = "select org_id, document_id from XRF_AFF_ORG_DOCUMENT where document_id = " +
                              affected[0] + " order by org_id";
  std::vector<Call> calls = {
      {"sp_insert_xrf_org_document", {{"Org_id", group}, {"Document_id", doc}}, {}, links},
      {"sp_insert_xrf_org_document", {{"Org_id", org}, {"Document_id", doc}}, {}, links},
      {"sp_insert_xrf_org_document", {{"Org_id", Variant(999999)}, {"Document_id", doc}}, {}, links},
      {"sp_insert_xrf_org_document", {{"Org_id", group}, {"Document_id", Variant(999999)}}, {}, links},
      {"sp_insert_xrf_org_document", {{"Org_id", group}}, {}, links},
      {"sp_update_xrf_org_document", {{"Org_id", org}, {"Document_id", doc}, {"Value", group}}, {}, links},
      {"sp_update_xrf_org_document", {{"Org_id", org}, {"Document_id", doc}, {"Value", org}}, {}, links},
      {"sp_update_xrf_org_document", {{"Org_id", org}, {"Document_id", doc}, {"Value", Variant(999999)}}, {}, links},
      {"sp_delete_xrf_org_document", {{"org_id", org}, {"document_id", doc}}, {}, links},
      {"sp_delete_xrf_org_document", {{"org_id", group}, {"document_id", doc}}, {}, links},
      {"sp_insert_XRF_AFF_ORG_DOCUMENT", {{"Org_id", group}, {"Document_id", Int(affected[0])}}, {}, affects},
      {"sp_insert_XRF_AFF_ORG_DOCUMENT", {{"Org_id", Int(affected[1])}, {"Document_id", Int(affected[0])}}, {},
       affects},
      {"sp_update_XRF_AFF_ORG_DOCUMENT",
       {{"Org_id", Int(affected[1])}, {"Document_id", Int(affected[0])}, {"Value", group}}, {}, affects},
      {"sp_delete_XRF_AFF_ORG_DOCUMENT", {{"org_id", Int(affected[1])}, {"document_id", Int(affected[0])}}, {},
       affects},
      {"sp_delete_xrf_report_document", {{"report_id", Int(report[0])}, {"document_id", Int(report[1])}}, {},
       "select count(*) from xrf_report_document where document_id = " + report[1]},
  };
  if (!twice.empty()) {
    // Moving a link onto a committee the document already has drops the old one.
    calls.push_back({"sp_update_XRF_AFF_ORG_DOCUMENT",
                     {{"Org_id", Int(twice[0][1])}, {"Document_id", Int(twice[0][0])}, {"Value", Int(twice[0][2])}},
                     {},
                     "select org_id from XRF_AFF_ORG_DOCUMENT where document_id = " + twice[0][0] + " order by 1"});
  }
  ExpectSame(calls);
}

TEST_F(ServerProcedures, ImagesAreReadSavedAndRemovedAlike) {
  const std::string imaged = FileRow("select min(document_id) from DOCUMENT_IMAGE")[0];
  const std::string plain =
      FileRow("select min(unique_id) from ref_document where unique_id not in (select document_id from DOCUMENT_IMAGE)")[0];
  const std::string check = "select document_id, doc_page_ct, alt_doc_page_ct, doc_image_sz, alt_doc_image_sz, "
                            "(select has_image from ref_document where unique_id = document_id) "
                            "from DOCUMENT_IMAGE where document_id in (" + imaged + ", " + plain + ") order by 1";
  const std::string marks = "select unique_id, has_image from ref_document where unique_id in (" + imaged + ", " +
                            plain + ") order by 1";
  const Bytes page = {0x49, 0x49, 0x2a, 0x00, 0x5c, 0x00, 0xff};
  ExpectSame({
      {"sp_get_DOCUMENT_IMAGE", {{"document_id", Int(imaged)}}, {}, ""},
      {"sp_get_DOCUMENT_IMAGE", {{"document_id", Int(plain)}}, {}, ""},
      {"sp_get_DOCUMENT_IMAGE", {{"document_id", Variant(999999)}}, {}, ""},
      {"sp_save_DOCUMENT_IMAGE",
       {{"document_id", Int(plain)}, {"doc_page_ct", Variant(2)}, {"doc_image", Variant(page)}}, {}, check},
      {"sp_save_DOCUMENT_IMAGE",
       {{"document_id", Int(imaged)}, {"doc_page_ct", Variant(1)}, {"alt_doc_page_ct", Variant(1)},
        {"doc_image", Variant(Bytes{})}, {"alt_doc_image", Variant(page)}},
       {}, check},
      {"sp_save_DOCUMENT_IMAGE", {{"document_id", Int(imaged)}}, {}, marks},
      {"sp_save_DOCUMENT_IMAGE", {{"document_id", Variant(999999)}, {"doc_image", Variant(page)}}, {}, marks},
      {"sp_save_DOCUMENT_IMAGE", {{"doc_page_ct", Variant(1)}}, {}, marks},
  });
}

TEST_F(ServerProcedures, NewDocumentsReadDatesYesNoAndAmountsAlike) {
  const std::string added =
      "select unique_id, doc_type_code, doc_sub_type_code, doc_year, Is_amendment, name_listed, Title, due_date, Amount_Due, "
      "amount_paid, receive_send_date, entry_date, other_date, begin_date, end_date, signer_officer_id, "
      "has_no_report_data, total_receipts, has_no_totals, has_image from ref_document "
      "where unique_id = (select max(unique_id) from ref_document)";
  ExpectSame({
      {"sp_insert_ref_document",
       {{"Doc_type_code", Variant("RPT")}, {"Doc_sub_type_code", Variant("Q1")}, {"Doc_year", Variant(2004)},
        {"Is_amendment", Variant("True")}, {"Name_listed", Variant("Friends of Ada Lake")},
        {"Title", Variant("First quarter")}, {"due_date", Variant("4/15/2004")},
        {"amount_due", Variant(Currency{12345678})}, {"Receive_send_date", Variant("3/5/04 2:30:00 PM")},
        {"Entry_date", Variant("2004-03-06 09:15:00")}, {"Begin_date", Variant("1/1/2004")},
        {"End_date", Variant("March 31, 2004")}, {"Signer_officer_id", Variant(7)},
        {"has_no_report_data", Variant("-1")}, {"total_receipts", Variant(1234.5)},
        {"has_no_totals", Variant("False")}},
       {"Unique_id"},
       added,
       "Unique_id"},
      {"sp_insert_ref_document", {{"Doc_type_code", Variant("COR")}, {"Is_amendment", Variant("0")}}, {"Unique_id"},
       added, "Unique_id"},
      {"sp_insert_ref_document", {{"Doc_type_code", Variant("COR")}, {"due_date", Variant("no date at all")}},
       {"Unique_id"}, added, "Unique_id"},
  });
}

TEST_F(ServerProcedures, DefaultSettingsAreListedAlike) {
  std::vector<Call> calls;
  for (const auto& [flag, label, value] :
       std::vector<std::tuple<int, const char*, const char*>>{{1, "SCAN", "BATCH"}, {1, "scan", ""},
                                                               {1, "", ""},         {1, " viewer ", "default"},
                                                               {2, "", ""},         {2, "SCAN", ""},
                                                               {3, "", ""},         {1, "NONE", ""}}) {
    calls.push_back({"usp_adm_get_default_reg_setting",
                     {{"get_type_flag", Variant(flag)}, {"app_function_lbl", Variant(label)},
                      {"app_function_value", Variant(value)}},
                     {},
                     ""});
  }
  calls.push_back({"usp_adm_get_default_reg_setting", {{"get_type_flag", Variant(1)}}, {}, ""});
  EXPECT_GT(ExpectSame(calls), 20u);
}

TEST_F(ServerProcedures, ExportListsAreTheSame) {
  using Texts = std::vector<const char*>;
  std::vector<Call> calls;
  const char* filed[] = {"comm_type_code", "report_year",  "report_sub_type_code", "due_date",
                         "report_export_type", "begin_date", "end_date", "entered_date"};
  for (const Texts& values : std::vector<Texts>{
           {"", "2004", "", "", "", "", "", ""},
           {"CNC", "2004", "Q1", "", "FILED", "", "", ""},
           {"", "2003", "", "", "late", "", "", ""},
           {"", "2006", "YE", "1/31/2007", "LATE", "", "", ""},
           {"", "2004", "Q2", "", "NOTFILED", "", "", ""},
           {"PAC", "", "", "", "NOTFILED", "", "", ""},
           {"", "", "", "", "", "1/1/2002", "6/30/2002", ""},
           {"", "", "", "", "FILED", "", "", "March 5, 2020"},
           {"", "", "", "", "BOGUS", "", "", ""},
       }) {
    Call call{"sp_misc_reports_filed_lists", {}, {}, ""};
    for (std::size_t i = 0; i < values.size(); ++i) call.args.push_back({filed[i], Variant(values[i])});
    calls.push_back(call);
  }
  const char* exported[] = {"comm_type_code", "doc_type_code", "doc_sub_type_code", "receive_send_date_from",
                            "receive_send_date_to"};
  for (const Texts& values : std::vector<Texts>{
           {"", "", "", "", ""},
           {"CNC", "", "", "", ""},
           {"", "", "LTR", "1/1/2004", "12/31/2004"},
           {"", "PEN", "", "", ""},
           {"pac", "cor", "", "2003-01-01", "March 5, 2004"},
           {"", "", "", "not a date", "3/5/05"},
       }) {
    Call call{"sp_misc_data_list_export", {}, {}, ""};
    for (std::size_t i = 0; i < values.size(); ++i) call.args.push_back({exported[i], Variant(values[i])});
    calls.push_back(call);
  }
  EXPECT_GT(ExpectSame(calls), 100u);
}

TEST_F(ServerProcedures, FilingChecksGiveTheSameAnswers) {
  Db db(file_);
  // Committees and years with 48-hour notices, filed reports, electronic filings and the electronic filer mark.
  const Rows notices = db.Rows(
      "select x.org_id, rd.doc_year from xrf_org_document x join ref_document rd on rd.unique_id = x.document_id "
      "where rd.doc_sub_type_code = '48H' group by x.org_id, rd.doc_year order by count(*) desc, 1, 2 limit 3");
  const Rows reports = db.Rows(
      "select x.org_id, rd.doc_year, rd.doc_sub_type_code, strftime('%m/%d/%Y', rd.begin_date), "
      "date(rd.end_date), rd.unique_id from xrf_org_document x join ref_document rd on rd.unique_id = x.document_id "
      "where rd.doc_type_code = 'RPT' and rd.doc_sub_type_code <> '48H' and rd.begin_date is not null "
      "order by rd.unique_id limit 3");
  const Rows mef = db.Rows(
      "select org_group_id, doc_year, report_sub_type_code, date(begin_date), date(end_date) from ref_report "
      "where is_mef = 1 order by unique_id limit 2");
  const Rows filers =
      db.Rows("select org_group_id from org_committee where mef_required = 1 and trans_end_date is null limit 1");
  ASSERT_FALSE(notices.empty());
  ASSERT_FALSE(reports.empty());
  ASSERT_FALSE(mef.empty());

  const char* names[] = {"get_type_flag", "org_id",     "document_id",    "doc_year",          "doc_sub_type_code",
                         "begin_date",    "end_date",   "total_receipts", "total_expenditures"};
  std::vector<std::vector<std::string>> runs;
  for (const auto& n : notices) {
    runs.push_back({"1", n[0], "", n[1], "48H", "", "", "", ""});
    runs.push_back({"5", n[0], "", n[1], "48H", "", "", "", ""});
    runs.push_back({"1", n[0], "", "", "", "1/1/" + n[1], "6/30/" + n[1], "", ""});
  }
  for (const auto& r : reports) {
    runs.push_back({"4", r[0], r[5], r[1], r[2], "", "", "", ""});
    runs.push_back({"4", r[0], "", r[1], r[2], r[3], r[4], "", ""});
    runs.push_back({"2", r[0], r[5], r[1], r[2], "", "", "1,234.50", "$99.5"});
    runs.push_back({"2", r[0], "", r[1], r[2], "", "", "$4,999", ""});
    runs.push_back({"3", r[0], "", "", "", "", "", "", ""});
  }
  for (const auto& m : mef) {
    runs.push_back({"2", m[0], "", m[1], m[2], m[3], m[4], "", ""});
    runs.push_back({"2", m[0], "", m[1], m[2], "", "", "", ""});
  }
  for (const auto& f : filers) runs.push_back({"3", f[0], "", "", "", "", "", "", ""});
  runs.push_back({"3", "999999", "", "", "", "", "", "", ""});
  runs.push_back({"9", notices[0][0], "", notices[0][1], "48H", "", "", "", ""});
  runs.push_back({"1", "abc", "", "2004", "", "", "", "", ""});

  std::vector<Call> calls;
  for (const auto& run : runs) {
    Call call{"sp_misc_mef_checks", {}, {"match_found", "flag_mef", "election_id"}, ""};
    call.args.push_back({names[0], Variant(static_cast<std::int32_t>(std::stoi(run[0])))});
    for (std::size_t i = 1; i < run.size(); ++i) call.args.push_back({names[i], Variant(run[i])});
    calls.push_back(call);
  }
  EXPECT_GT(ExpectSame(calls), 10u);
}

TEST_F(ServerProcedures, GeneralUpdateAndDeleteConvertCheckAndQuoteAlike) {
  const std::string doc = FileRow("select min(unique_id) from ref_document where doc_type_code = 'RPT'")[0];
  const Variant id = Int(doc);
  const std::string row = "select Amount_Due, due_date, Is_amendment, doc_year, Title, has_image from ref_document "
                          "where unique_id = " + doc;
  auto update = [&](const char* table, const char* column, Variant key, Variant value) {
    return Call{"sp_update_table",
                {{"table", Variant(table)}, {"column", Variant(column)}, {"unique_id", key}, {"value", value}},
                {},
                row};
  };
  const std::string link = FileRow("select min(unique_id) from xrf_org_document")[0];
  ExpectSame({
      update("ref_document", "Amount_Due", id, Variant("1234.56")),
      update("REF_DOCUMENT", "amount_due", id, Variant(Currency{98765})),
      update("ref_document", "due_date", id, Variant("3/4/2005")),
      update("ref_document", "due_date", id, Variant("2005-03-04 13:45:00")),
      update("ref_document", "due_date", id, Variant(" 3 5 2004 2:30 PM ")),
      update("ref_document", "due_date", id, Variant("Sep 9, 04")),
      update("ref_document", "due_date", id, Variant("March 2005")),
      update("ref_document", "due_date", id, Variant("13/1/2005 12:15 AM")),
      update("ref_document", "due_date", id, Variant("5-Mar-2004 23:59:59")),
      update("ref_document", "due_date", id, Variant("2/29/2001")),
      update("ref_document", "due_date", id, Variant("3/5/2004 13:00 AM")),
      update("ref_document", "is_amendment", id, Variant("True")),
      update("ref_document", "is_amendment", id, Variant(false)),
      update("ref_document", "is_amendment", id, Variant("-1")),
      update("ref_document", "doc_year", id, Variant("2.5")),
      update("ref_document", "doc_year", id, Variant("3.5")),
      update("ref_document", "doc_year", id, Variant("")),
      update("ref_document", "title", id, Variant("")),
      update("ref_document", "title", id, Variant("O'Brien \"for\" Senate")),
      update(" ref_document ", " Title ", id, Variant("Blanks around the names")),
      // Refused: unknown names, names that try to be SQL, a missing row, values of another kind.
      update("no_such_table", "title", id, Variant("x")),
      update("ref_document", "no_such_column", id, Variant("x")),
      update("ref_document; drop table ref_org", "title", id, Variant("x")),
      update("ref_document", "title\" = 'x'; --", id, Variant("x")),
      update("ref_document", "", id, Variant("x")),
      update("", "title", id, Variant("x")),
      update("ref_document", "title", Variant(999999), Variant("x")),
      update("ref_document", "title", Variant::Null(), Variant("x")),
      update("ref_document", "doc_year", id, Variant("abc")),
      update("ref_document", "due_date", id, Variant("not a date")),
      {"sp_delete_table", {{"table", Variant("XRF_ORG_DOCUMENT")}, {"unique_id", Int(link)}}, {},
       "select count(*) from xrf_org_document where unique_id = " + link},
      {"sp_delete_table", {{"table", Variant("ref_document")}, {"unique_id", Variant(999999)}}, {},
       "select count(*) from ref_document"},
      {"sp_delete_table", {{"table", Variant("pg_class")}, {"unique_id", Variant(1)}}, {}, ""},
      {"sp_delete_table", {{"table", Variant("ref_document\"")}, {"unique_id", Variant(1)}}, {},
       "select count(*) from ref_document"},
  });
  // The office marker is no table the general procedures reach.
  EXPECT_NE(postgres::ExecText(server_.get(), "call sp_delete_table('tw_office', 1)"), "");
}

// A procedure whose later statement fails leaves nothing of its earlier ones.
TEST_F(ServerProcedures, AFailingStatementUndoesTheWholeCall) {
  const std::string plain =
      FileRow("select min(unique_id) from ref_document where unique_id not in (select document_id from DOCUMENT_IMAGE)")[0];
  // The image row is written first; the document's mark then fails.
  ASSERT_EQ(postgres::ExecText(server_.get(),
                               "create function tw_test_refuse() returns trigger language plpgsql as "
                               "$$ begin raise exception 'refused for the test'; end $$;"
                               "create trigger tw_test_refuse before update on ref_document "
                               "for each row execute function tw_test_refuse()"),
            "");
  const std::string error = postgres::ExecText(
      server_.get(), "call sp_save_DOCUMENT_IMAGE(" + plain + ", 1, null, '\\x4949'::bytea, null)");
  EXPECT_NE(error.find("refused for the test"), std::string::npos) << error;
  EXPECT_EQ(ServerRows(server_.get(), "select count(*) from document_image where document_id = " + plain)[0][0], "0");
  ASSERT_EQ(postgres::ExecText(server_.get(), "drop trigger tw_test_refuse on ref_document; "
                                              "drop function tw_test_refuse()"),
            "");
}

}  // namespace
}  // namespace tarnwick::test
