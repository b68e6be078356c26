// Every office procedure gives the same rows, outputs and changes on the
// office server as on the embedded engine, called through each engine's
// gateway on the same sample office, each call undone afterwards.

#include <map>
#include <tuple>

#include "runtime/dates.hpp"
#include "runtime/text.hpp"
#include "support/sample_office.hpp"

namespace tarnwick::test {
namespace {

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
  std::string error;
  std::vector<std::string> columns;
  Rows rows;
  std::map<std::string, std::string> outputs;
  Rows checked;
};

// A value as text; numbers compare by value ("1234.5000" and 1234.5 are one
// amount) and yes/no as 1 and 0, whichever kind each engine reads.
std::string Text(const Variant& v) {
  auto number = [](double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.4f", value);
    std::string text = buffer;
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text == "-0" ? "0" : text;
  };
  switch (v.Type()) {
    case VarType::Empty:
    case VarType::Null: return "<null>";
    case VarType::Boolean: return v.CBool() ? "1" : "0";
    case VarType::Integer:
    case VarType::Long: return std::to_string(v.CLng());
    case VarType::Double: return number(v.CDbl());
    case VarType::Currency: return number(static_cast<double>(v.CCur().scaled) / 10000.0);
    case VarType::Date: return dates::IsoText(v.CDate());
    case VarType::Bytes: {
      std::string hex;
      for (auto b : v.AsBytes()) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 0xF];
      return hex;
    }
    default: return v.CStr();
  }
}

void Read(const std::shared_ptr<Recordset>& rs, std::vector<std::string>* columns, Rows& rows) {
  if (!rs || rs->State() != ObjectState::Open) return;
  if (columns) for (const auto& c : rs->Columns()) columns->push_back(runtime::ToLower(c.name));
  if (rs->BOF() && rs->EndOfFile()) return;
  for (rs->MoveFirst(); !rs->EndOfFile(); rs->MoveNext()) {
    std::vector<std::string> row;
    for (const auto& c : rs->Columns()) row.push_back(Text(rs->Collect(c.name)));
    rows.push_back(std::move(row));
  }
}

// The call in a unit of work that is rolled back after the check has read.
Outcome RunCall(DataGateway& g, const Call& call) {
  Outcome out;
  g.BeginTransaction();
  std::string error = g.PrepareProcedure(call.procedure);
  for (const Arg& arg : call.args) if (error.empty()) error = g.AddParameter("@" + arg.name, arg.value);
  std::shared_ptr<Recordset> rs;
  std::int32_t affected = 0;
  if (error.empty()) error = g.ExecuteProcedure(affected, true, rs, 0);
  out.error = error;
  if (error.empty()) {
    Read(rs, &out.columns, out.rows);
    for (const std::string& name : call.outputs) {
      Variant value;
      if (auto e = g.GetParameter("@" + name, value); !e.empty()) throw std::runtime_error(e);
      out.outputs[runtime::ToLower(name)] = Text(value);
    }
  }
  g.FinishProcedure();
  if (!call.check.empty()) {
    std::shared_ptr<Recordset> checked;
    if (auto e = g.OpenRecordset(call.check, checked, 0, true); !e.empty())
      throw std::runtime_error(e + " in: " + call.check);
    Read(checked, nullptr, out.checked);
  }
  g.EndTransaction(false);
  return out;
}

// The same sample office as a file and on the server.
class ServerProcedures : public SampleOfficeSuite<3000, Engines::FileAndServer> {
 protected:
  void SetUp() override {
    SampleOfficeSuite::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    file_gateway_ = ConnectedGateway(OfficeEngine::Embedded, file_, database_);
    server_gateway_ = ConnectedGateway(OfficeEngine::Server, file_, database_);
  }

  // The first row of a query on the file, as texts.
  std::vector<std::string> FileRow(const std::string& sql) {
    const auto rows = Db(file_).Rows(sql);
    if (rows.empty()) throw std::runtime_error("no row for: " + sql);
    return rows[0];
  }

  // Runs every call on both engines and compares what each gave. Returns, by
  // procedure, how many result rows and true outputs were compared, so that
  // calls that all find nothing show.
  std::map<std::string, std::size_t> ExpectSame(const std::vector<Call>& calls) {
    std::map<std::string, std::size_t> found;
    for (const Call& call : calls) {
      std::string described = call.procedure + "(";
      for (const Arg& arg : call.args) described += arg.name + "='" + Text(arg.value) + "' ";
      SCOPED_TRACE(described + ")");
      const Outcome file = RunCall(*file_gateway_, call);
      const Outcome server = RunCall(*server_gateway_, call);
      EXPECT_EQ(server.error.empty(), file.error.empty()) << "file: " << file.error << "\nserver: " << server.error;
      if (server.error.empty() != file.error.empty()) continue;
      EXPECT_EQ((std::tuple{server.columns, server.rows}), std::tuple(file.columns, file.rows));
      Outcome compared = server;
      if (!call.identity.empty() && file.error.empty()) {
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
      EXPECT_EQ((std::tuple{compared.outputs, compared.checked}), std::tuple(file.outputs, file.checked));
      found[call.procedure] += file.rows.size();
      for (const auto& [name, value] : file.outputs) found[call.procedure] += value == "1" ? 1 : 0;
    }
    return found;
  }

  std::unique_ptr<DataGateway> file_gateway_;
  std::unique_ptr<DataGateway> server_gateway_;
};

Variant Int(const std::string& text) { return Variant(static_cast<std::int32_t>(std::stol(text))); }

// Calls with texts for arguments, named in order.
void AddTextCalls(std::vector<Call>& calls, const std::string& procedure, const std::vector<std::string>& names,
                  const std::vector<std::vector<std::string>>& runs, std::vector<std::string> outputs = {}) {
  for (const auto& run : runs) {
    Call call{procedure, {}, outputs, ""};
    for (std::size_t i = 0; i < run.size(); ++i) call.args.push_back({names[i], Variant(run[i])});
    calls.push_back(call);
  }
}

// (The filing checks are held to known answers on both engines in
// tests/office/office_queries_test.cpp.)
TEST_F(ServerProcedures, EveryProcedureAnswersAndChangesAlike) {
  const auto linked = FileRow("select document_id, org_id from xrf_org_document order by unique_id limit 1");
  const auto other = FileRow("select min(group_id) from ref_org where group_id <> " + linked[1]);
  const auto twice = FileRow("select document_id, min(org_id), max(org_id) from XRF_AFF_ORG_DOCUMENT "
                             "group by document_id having count(*) > 1 limit 1");
  const auto affected = FileRow("select document_id, org_id from XRF_AFF_ORG_DOCUMENT order by unique_id limit 1");
  const auto report = FileRow("select report_id, document_id from xrf_report_document order by unique_id limit 1");
  const Variant doc = Int(linked[0]), org = Int(linked[1]), group = Int(other[0]);
  const Variant affDoc = Int(affected[0]), affOrg = Int(affected[1]);
  const std::string links =
      "select org_id, document_id from xrf_org_document where document_id = " + linked[0] + " order by org_id";
  const std::string affects = "select org_id, document_id from XRF_AFF_ORG_DOCUMENT where document_id = " +
                              affected[0] + " order by org_id";

  const std::string imaged = FileRow("select min(document_id) from DOCUMENT_IMAGE")[0];
  const std::string plain = FileRow(
      "select min(unique_id) from ref_document where unique_id not in (select document_id from DOCUMENT_IMAGE)")[0];
  const std::string images = "select document_id, doc_page_ct, alt_doc_page_ct, doc_image_sz, alt_doc_image_sz, "
                             "(select has_image from ref_document where unique_id = document_id) "
                             "from DOCUMENT_IMAGE where document_id in (" + imaged + ", " + plain + ") order by 1";
  const std::string marks = "select unique_id, has_image from ref_document where unique_id in (" + imaged + ", " +
                            plain + ") order by 1";
  const Bytes page = {0x49, 0x49, 0x2a, 0x00, 0x5c, 0x00, 0xff};
  const std::string added =
      "select unique_id, doc_type_code, doc_sub_type_code, doc_year, Is_amendment, name_listed, Title, due_date, "
      "Amount_Due, amount_paid, receive_send_date, entry_date, other_date, begin_date, end_date, signer_officer_id, "
      "has_no_report_data, total_receipts, has_no_totals, has_image from ref_document "
      "where unique_id = (select max(unique_id) from ref_document)";

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
      {"sp_insert_XRF_AFF_ORG_DOCUMENT", {{"Org_id", group}, {"Document_id", affDoc}}, {}, affects},
      {"sp_insert_XRF_AFF_ORG_DOCUMENT", {{"Org_id", affOrg}, {"Document_id", affDoc}}, {}, affects},
      {"sp_update_XRF_AFF_ORG_DOCUMENT", {{"Org_id", affOrg}, {"Document_id", affDoc}, {"Value", group}}, {}, affects},
      {"sp_delete_XRF_AFF_ORG_DOCUMENT", {{"org_id", affOrg}, {"document_id", affDoc}}, {}, affects},
      {"sp_delete_xrf_report_document", {{"report_id", Int(report[0])}, {"document_id", Int(report[1])}}, {},
       "select count(*) from xrf_report_document where document_id = " + report[1]},
      // Moving a link onto a committee the document already has drops the old one.
      {"sp_update_XRF_AFF_ORG_DOCUMENT",
       {{"Org_id", Int(twice[1])}, {"Document_id", Int(twice[0])}, {"Value", Int(twice[2])}}, {},
       "select org_id from XRF_AFF_ORG_DOCUMENT where document_id = " + twice[0] + " order by 1"},

      {"sp_get_DOCUMENT_IMAGE", {{"document_id", Int(imaged)}}, {}, ""},
      {"sp_get_DOCUMENT_IMAGE", {{"document_id", Int(plain)}}, {}, ""},
      {"sp_get_DOCUMENT_IMAGE", {{"document_id", Variant(999999)}}, {}, ""},
      {"sp_save_DOCUMENT_IMAGE",
       {{"document_id", Int(plain)}, {"doc_page_ct", Variant(2)}, {"doc_image", Variant(page)}}, {}, images},
      {"sp_save_DOCUMENT_IMAGE",
       {{"document_id", Int(imaged)}, {"doc_page_ct", Variant(1)}, {"alt_doc_page_ct", Variant(1)},
        {"doc_image", Variant(Bytes{})}, {"alt_doc_image", Variant(page)}},
       {}, images},
      {"sp_save_DOCUMENT_IMAGE", {{"document_id", Int(imaged)}}, {}, marks},
      {"sp_save_DOCUMENT_IMAGE", {{"document_id", Variant(999999)}, {"doc_image", Variant(page)}}, {}, marks},
      {"sp_save_DOCUMENT_IMAGE", {{"doc_page_ct", Variant(1)}}, {}, marks},

      // New documents read dates, yes/no and amounts given as clerks type them.
      {"sp_insert_ref_document",
       {{"Doc_type_code", Variant("RPT")}, {"Doc_sub_type_code", Variant("Q1")}, {"Doc_year", Variant(2004)},
        {"Is_amendment", Variant("True")}, {"Name_listed", Variant("Friends of Ada Lake")},
        {"Title", Variant("First quarter")}, {"due_date", Variant("4/15/2004")},
        {"amount_due", Variant(Currency{12345678})}, {"Receive_send_date", Variant("3/5/04 2:30:00 PM")},
        {"Entry_date", Variant("2004-03-06 09:15:00")}, {"Begin_date", Variant("1/1/2004")},
        {"End_date", Variant("March 31, 2004")}, {"Signer_officer_id", Variant(7)},
        {"has_no_report_data", Variant("-1")}, {"total_receipts", Variant(1234.5)},
        {"has_no_totals", Variant("False")}},
       {"Unique_id"}, added, "Unique_id"},
      {"sp_insert_ref_document", {{"Doc_type_code", Variant("COR")}, {"Is_amendment", Variant("0")}}, {"Unique_id"},
       added, "Unique_id"},
      {"sp_insert_ref_document", {{"Doc_type_code", Variant("COR")}, {"due_date", Variant("no date at all")}},
       {"Unique_id"}, added, "Unique_id"},
  };

  AddTextCalls(calls, "usp_adm_get_default_reg_setting", {"get_type_flag", "app_function_lbl", "app_function_value"},
               {{"1", "SCAN", "BATCH"}, {"1", "scan", ""}, {"1", "", ""}, {"1", " viewer ", "default"},
               {"2", "", ""}, {"2", "SCAN", ""}, {"3", "", ""}, {"1", "NONE", ""}, {"1"}});
  AddTextCalls(calls, "sp_misc_reports_filed_lists",
               {"comm_type_code", "report_year", "report_sub_type_code", "due_date", "report_export_type",
                "begin_date", "end_date", "entered_date"},
               {{"", "2004", "", "", "", "", "", ""},
                {"CNC", "2004", "Q1", "", "FILED", "", "", ""},
                {"", "2003", "", "", "late", "", "", ""},
                {"", "2006", "YE", "1/31/2007", "LATE", "", "", ""},
                {"", "2004", "Q2", "", "NOTFILED", "", "", ""},
                {"PAC", "", "", "", "NOTFILED", "", "", ""},
                {"", "", "", "", "", "1/1/2002", "6/30/2002", ""},
                {"", "", "", "", "FILED", "", "", "March 5, 2020"},
                {"", "", "", "", "BOGUS", "", "", ""}});
  AddTextCalls(calls, "sp_misc_data_list_export",
               {"comm_type_code", "doc_type_code", "doc_sub_type_code", "receive_send_date_from",
                "receive_send_date_to"},
               {{"", "", "", "", ""},
                {"CNC", "", "", "", ""},
                {"", "", "LTR", "1/1/2004", "12/31/2004"},
                {"", "PEN", "", "", ""},
                {"pac", "cor", "", "2003-01-01", "March 5, 2004"},
                {"", "", "", "not a date", "3/5/05"}});

  // The general update and delete convert, check and quote alike.
  const std::string document = FileRow("select min(unique_id) from ref_document where doc_type_code = 'RPT'")[0];
  const std::string row = "select Amount_Due, due_date, Is_amendment, doc_year, Title, has_image from ref_document "
                          "where unique_id = " + document;
  struct Update { const char* column; Variant value; const char* table = "ref_document"; Variant key = Variant(); };
  const Update updates[] = {
      {"Amount_Due", Variant("1234.56")}, {"amount_due", Variant(Currency{98765}), "REF_DOCUMENT"},
      {"due_date", Variant("3/4/2005")}, {"due_date", Variant("2005-03-04 13:45:00")},
      {"due_date", Variant(" 3 5 2004 2:30 PM ")}, {"due_date", Variant("Sep 9, 04")}, {"due_date", Variant("March 2005")},
      {"due_date", Variant("13/1/2005 12:15 AM")}, {"due_date", Variant("5-Mar-2004 23:59:59")},
      {"due_date", Variant("2/29/2001")}, {"due_date", Variant("3/5/2004 13:00 AM")},
      {"is_amendment", Variant("True")}, {"is_amendment", Variant(false)}, {"is_amendment", Variant("-1")},
      {"doc_year", Variant("2.5")}, {"doc_year", Variant("3.5")}, {"doc_year", Variant("")}, {"title", Variant("")},
      {"title", Variant("O'Brien \"for\" Senate")}, {" Title ", Variant("Blanks around the names"), " ref_document "},
      // Refused: unknown names, names that try to be SQL, values of another kind.
      {"title", Variant("x"), "no_such_table"}, {"no_such_column", Variant("x")},
      {"title", Variant("x"), "ref_document; drop table ref_org"}, {"title\" = 'x'; --", Variant("x")},
      {"", Variant("x")}, {"title", Variant("x"), ""}, {"doc_year", Variant("abc")}, {"due_date", Variant("not a date")},
      // A missing row, and no row at all.
      {"title", Variant("x"), "ref_document", Variant(999999)}, {"title", Variant("x"), "ref_document", Variant::Null()}};
  for (const Update& u : updates) {
    const Variant key = u.key.Type() == VarType::Empty ? Int(document) : u.key;
    calls.push_back({"sp_update_table",
                     {{"table", Variant(u.table)}, {"column", Variant(u.column)}, {"unique_id", key}, {"value", u.value}},
                     {}, row});
  }
  const std::string link = FileRow("select min(unique_id) from xrf_org_document")[0];
  for (const auto& [table, key, check] : std::vector<std::tuple<const char*, Variant, std::string>>{
           {"XRF_ORG_DOCUMENT", Int(link), "select count(*) from xrf_org_document where unique_id = " + link},
           {"ref_document", Variant(999999), "select count(*) from ref_document"},
           {"pg_class", Variant(1), ""},
           {"ref_document\"", Variant(1), "select count(*) from ref_document"}}) {
    calls.push_back({"sp_delete_table", {{"table", Variant(table)}, {"unique_id", key}}, {}, check});
  }

  const auto found = ExpectSame(calls);
  EXPECT_GT(found.at("usp_adm_get_default_reg_setting"), 20u);
  EXPECT_GT(found.at("sp_misc_reports_filed_lists") + found.at("sp_misc_data_list_export"), 100u);
  // The office marker is no table the general procedures reach.
  auto server = OpenServer();
  EXPECT_NE(postgres::ExecText(server.get(), "call sp_delete_table('tw_office', 1)"), "");
}

// A procedure whose later statement fails leaves nothing of its earlier ones.
TEST_F(ServerProcedures, AFailingStatementUndoesTheWholeCall) {
  auto server = OpenServer();
  const std::string plain = FileRow(
      "select min(unique_id) from ref_document where unique_id not in (select document_id from DOCUMENT_IMAGE)")[0];
  // The image row is written first; the document's mark then fails.
  ASSERT_EQ(postgres::ExecText(server.get(),
                               "create function tw_test_refuse() returns trigger language plpgsql as "
                               "$$ begin raise exception 'refused for the test'; end $$;"
                               "create trigger tw_test_refuse before update on ref_document "
                               "for each row execute function tw_test_refuse()"), "");
  const std::string error = postgres::ExecText(
      server.get(), "call sp_save_DOCUMENT_IMAGE(" + plain + ", 1, null, '\\x4949'::bytea, null)");
  EXPECT_NE(error.find("refused for the test"), std::string::npos) << error;
  EXPECT_EQ(ServerText(server.get(), "select count(*) from document_image where document_id = " + plain), "0");
  ASSERT_EQ(postgres::ExecText(server.get(), "drop trigger tw_test_refuse on ref_document; "
                                             "drop function tw_test_refuse()"), "");
}

}  // namespace
}  // namespace tarnwick::test
