// How failures reach the client (the chained source, the kept number and
// description, the quiet False of a gateway error text); creation by
// programmatic or class identifier, late-bound calls with the dispatch's
// conversions and defaults, the lifecycle and the host entry points.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>
#include <tuple>

#include "frame/report_error.hpp"
#include "support/scripted_gateway.hpp"
#include "support/temp_dir.hpp"

namespace tarnwick::test {
namespace {

using Reporting = Scripted;
using LateBinding = Scripted;

TEST(ReportError, ChainsSourceKeepsTheRestIgnoresNoErrorAndRollsBack) {
  const RuntimeError pending(3021, "ADODB.Recordset", "No current record", "help.chm", 42);
  const RuntimeError raised = ExpectRaises(3021, [&] { frame::ReportError("clsA.M", "", false, 0, &pending); });
  EXPECT_EQ(std::make_tuple(raised.Source(), raised.Description(), raised.HelpFile(), raised.HelpContext()),
            std::make_tuple("ADODB.Recordset (clsA.M)", "No current record", "help.chm", 42));

  // Replacing the description, and a number given explicitly.
  EXPECT_EQ(ExpectRaises(5, [&] { frame::ReportError("clsA.M", "other", true, 5, &pending); }).Description(), "other");
  EXPECT_EQ(ExpectRaises(3021, [&] { frame::ReportError("clsA.M", "!", false, 0, &pending); }).Description(),
            "No current record!");

  // No pending error and no number: nothing happens.
  EXPECT_NO_THROW(frame::ReportError("clsA.M", "x", true, 0, nullptr));

  // Nested handlers chain innermost first, and the outer one rolls back.
  auto script = std::make_shared<testing::GatewayScript>();
  testing::RecordingGateway gateway(script);
  gateway.BeginTransaction();
  const RuntimeError e = ExpectRaises(13, [&] {
    const auto rollback = [&gateway] {
      if (gateway.InTransaction()) gateway.EndTransaction(false);
    };
    frame::Guarded({"clsOuter.Save", rollback}, [&] {
      return frame::Guarded({"clsInner.Load"}, [&]() -> bool { throw RuntimeError(13, "Tarnwick", "Type mismatch"); });
    });
  });
  EXPECT_EQ(e.Source(), "Tarnwick (clsInner.Load) (clsOuter.Save)");
  EXPECT_EQ(script->CallTexts().back(), "EndTransaction(False)")
      << "the outer handler ends the open unit of work without commit";
  EXPECT_FALSE(script->inTransaction);

  // A failure that is not a run-time error still reaches the client as one.
  const auto notRuntime = [] { frame::Guarded({"clsA.M"}, []() -> int { throw std::out_of_range("index"); }); };
  EXPECT_EQ(ExpectRaises(51, notRuntime).Source(), "Tarnwick (clsA.M)");
}

TEST_F(Reporting, GatewayFailureInGetDataReachesTheClientChained) {
  script->Answer("OpenRecordset", {.raise = RuntimeError(-2147217900, "Gateway", "Invalid object name")});
  clsXrf_Org_Document link;
  EXPECT_EQ(ExpectRaises(-2147217900, [&] { link.GetData(345); }).Source(), "Gateway (clsXrf_Org_Document.GetData)");
  // An error text is a quiet False.
  script->Answer("OpenRecordset", {.errorText = "Invalid object name 'xrf_org_document'"});
  EXPECT_FALSE(link.GetData(345));
}

TEST_F(LateBinding, EveryClassIsCreatableWithItsSharedMembers) {
  for (const ClassInfo& c : TypeLibrary().classes) {
    SCOPED_TRACE(std::string(c.name));
    auto obj = CreateObject(c.clsid);
    EXPECT_NE(obj, CreateObject(c.progId)) << "each creation is a new object";
    EXPECT_EQ(obj->ProgID(), c.progId);
    EXPECT_TRUE(obj->Call("ConnectionVariables", {"office.db", "embedded", "", "", false}).CBool());
    // Every class with a cursor starts without one.
    if (c.Find("DataReady").empty()) continue;
    EXPECT_EQ(std::tuple(obj->Get("DataReady"), obj->Get("eof")), std::tuple(Variant(false), Variant(false)));
    ExpectRaises(err::kObjectNotSet, [&] { obj->Call("MoveLast"); });
  }
  EXPECT_EQ(CreateObject("tarnwick.CLSORG")->Get("RecordCount").Type(), VarType::Long);
  EXPECT_EQ(CreateObject("Tarnwick.clsXrf_Aff_Org_Document")->Get("RecordCount").Type(), VarType::Integer);
  ExpectRaises(err::kNoSuchMember, [] { CreateObject("Tarnwick.clsDocReportExport")->GetIDOfName("DataReady"); });
  // A class identifier is found in any letter case; the library finds it without its braces too.
  std::string clsid(TypeLibrary().FindClass("clsOrg")->clsid);
  std::ranges::transform(clsid, clsid.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  EXPECT_EQ(CreateObject(clsid)->ProgID(), "Tarnwick.clsOrg");
  EXPECT_EQ(TypeLibrary().FindClass(clsid.substr(1, 36))->name, "clsOrg");
  ExpectRaises(err::kCannotCreateObject, [] { CreateObject("Tarnwick.clsNothing"); });
  ExpectRaises(err::kCannotCreateObject, [] { CreateObject("{00000000-0000-0000-0000-000000000000}"); });
}

TEST_F(LateBinding, ArgumentsAreConvertedDefaultedAndWrittenBack) {
  auto link = CreateObject("Tarnwick.clsXrf_Org_Document");
  const std::int32_t getData = link->GetIDOfName("getdata");
  EXPECT_EQ(getData, link->GetIDOfName("GetData"));
  // A missing optional key takes its default -1: a new row.
  EXPECT_EQ(link->Invoke(getData, InvokeKind::Method, {}), Variant(true));
  EXPECT_EQ(Calls().back(), "OpenRecordset(select * from xrf_org_document where document_id is null , 0, True)");
  // The text "12" arrives at a Long parameter as 12; text that is no number is a type mismatch.
  script->Answer("OpenRecordset", {.result = LinkRows({{7, 12}})});
  std::vector<Variant> args{Variant("12")};
  EXPECT_EQ(link->Invoke(getData, InvokeKind::Method, args), Variant(true));
  EXPECT_EQ(Calls().back(), "OpenRecordset(select * from xrf_org_document where document_id = 12 , 0, True)");
  ExpectRaises(err::kTypeMismatch, [&] { link->Call("GetData", {Variant("twelve")}); });
  ExpectRaises(450, [&] { link->Call("GetData", {Variant(1), Variant(2)}); });
  ExpectRaises(err::kArgumentNotOptional, [&] { link->Call("DeleteData", {Variant(1)}); });
  ExpectRaises(err::kNoSuchMember, [&] { link->Call("Frobnicate"); });
  ExpectRaises(err::kNoSuchMember, [&] { link->Invoke(0x60030008, InvokeKind::Method, {}); });  // private
  // Properties by name: reader and writer share one dispatch identifier.
  EXPECT_EQ(link->Get("OrgID"), Variant("7"));
  link->Put("NewOrgID", Variant("77"));
  EXPECT_EQ(link->Get("NewOrgID"), Variant(std::int32_t{77}));
  std::vector<Variant> value{Variant(std::int32_t{5})};
  link->Invoke(link->GetIDOfName("OrgID"), InvokeKind::PropertyPut, value);
  EXPECT_EQ(link->Get("OrgID"), Variant("5"));
  ExpectRaises(err::kNoSuchMember, [&] { link->Put("Table", Variant("x")); });
}

TEST_F(LateBinding, LifecycleReleasesTheGatewayAndAllowsUnloading) {
  const std::int32_t before = LiveObjectCount();
  {
    auto a = CreateObject("Tarnwick.clsDocument");
    auto b = CreateObject("Tarnwick.clsDocument");
    EXPECT_EQ(script->created, 2) << "every object makes its own gateway";
    EXPECT_EQ(LiveObjectCount(), before + 2);
  }
  EXPECT_EQ(std::tuple(script->alive, LiveObjectCount(), DllCanUnloadNow()), std::tuple(0, before, kTarnwickOk));

  void* raw = nullptr;
  ASSERT_EQ(DllGetClassObject(std::string(TypeLibrary().FindClass("clsOrg")->clsid).c_str(), &raw), kTarnwickOk);
  auto* factory = static_cast<ClassFactory*>(raw);
  factory->LockServer(true);
  EXPECT_EQ(DllCanUnloadNow(), kTarnwickFalse);
  factory->LockServer(false);
  EXPECT_EQ(factory->CreateInstance()->ProgID(), "Tarnwick.clsOrg");
  EXPECT_EQ(DllGetClassObject("{11111111-2222-3333-4444-555555555555}", &raw), kTarnwickClassNotAvailable);
  EXPECT_EQ(DllGetClassObject("Tarnwick.clsOrg", nullptr), kTarnwickPointer);
}

TEST(Host, RegistrationWritesAndRemovesOnlyItsOwnRecords) {
  const TempDir dir;
  const std::string file = dir.File("registry.ini");
  std::ofstream(file) << "[HKCR\\Other.Thing]\n@=Other.Thing\n";
  const auto read = [&] { return (std::stringstream() << std::ifstream(file).rdbuf()).str(); };
  // The file keeps its permissions, and a link planted beside it is not followed.
  namespace fs = std::filesystem;
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
  fs::create_symlink(dir.File("outside"), file + ".tmp");
  ASSERT_EQ(TarnwickSetRegistryFile(file.c_str()), kTarnwickOk);
  ASSERT_EQ(DllRegisterServer(), kTarnwickOk);
  EXPECT_FALSE(fs::exists(dir.File("outside")));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
  const std::string text = read(), clsid(TypeLibrary().FindClass("clsDocument")->clsid);
  EXPECT_TRUE(text.find("[HKCR\\Tarnwick.clsDocument\\Clsid]\n@=" + clsid) != std::string::npos &&
              text.find("\\5.0]") != std::string::npos) << text;

  ASSERT_EQ(DllUnregisterServer(), kTarnwickOk);
  EXPECT_TRUE(read().find("Tarnwick") == std::string::npos && read().find("Other.Thing") != std::string::npos) << read();
  ASSERT_EQ(TarnwickSetRegistryFile(dir.File("missing/registry.ini").c_str()), kTarnwickOk);
  EXPECT_EQ(DllRegisterServer(), kTarnwickRegistryWrite);
}

}  // namespace
}  // namespace tarnwick::test
