// Creation by programmatic or class identifier, late-bound calls with the
// dispatch's conversions and defaults, the lifecycle and the host entry points.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/scripted_gateway.hpp"

namespace tarnwick::test {
namespace {

using LateBinding = Scripted;

TEST_F(LateBinding, EveryClassIsCreatableWithItsSharedMembers) {
  struct Expect {
    const char* name;
    const char* table;        // nullptr: no Table member
    bool cursor;              // DataReady, BOF, EOF, moves
    const char* recordCount;  // nullptr, "Integer" or "Long"
    bool validate;
  };
  const Expect classes[] = {
      {"clsXrf_Org_Document", "xrf_org_document", true, nullptr, true},
      {"clsOrg", "ref_org", true, "Long", true},
      {"clsXrf_Aff_Org_Document", "XRF_AFF_ORG_DOCUMENT", true, "Integer", true},
      {"clsDocumentImage", nullptr, true, nullptr, false},
      {"clsLookup_List", nullptr, true, "Long", false},
      {"clsDocument", "ref_document", true, "Long", true},
      {"clsDocReportExport", nullptr, false, nullptr, false},
  };
  for (const Expect& c : classes) {
    SCOPED_TRACE(c.name);
    auto byProgId = CreateObject(std::string("Tarnwick.") + c.name);
    auto byClsid = CreateObject(byProgId->Class().clsid);
    EXPECT_NE(byProgId, byClsid) << "each creation is a new object";
    EXPECT_EQ(byClsid->ProgID(), std::string("Tarnwick.") + c.name);

    EXPECT_TRUE(byProgId->Call("ConnectionVariables", {"office.db", "embedded", "", "", false}).CBool());
    if (c.table != nullptr) {
      EXPECT_EQ(byProgId->Get("Table").CStr(), c.table);
    } else {
      ExpectRaises(err::kNoSuchMember, [&] { byProgId->Get("Table"); });
    }
    if (c.cursor) {
      EXPECT_EQ(byProgId->Get("DataReady"), Variant(false));
      EXPECT_EQ(byProgId->Get("eof"), Variant(false));
      EXPECT_EQ(byProgId->Get("BOF"), Variant(false));
      ExpectRaises(err::kObjectNotSet, [&] { byProgId->Call("MoveLast"); });
    } else {
      ExpectRaises(err::kNoSuchMember, [&] { byProgId->GetIDOfName("DataReady"); });
    }
    if (c.recordCount != nullptr) {
      const Variant count = byProgId->Get("RecordCount");
      EXPECT_EQ(count.Type(), std::string(c.recordCount) == "Integer" ? VarType::Integer : VarType::Long);
    } else {
      ExpectRaises(err::kNoSuchMember, [&] { byProgId->Get("RecordCount"); });
    }
    if (c.validate) {
      EXPECT_EQ(byProgId->Call("ValidateData"), Variant(false));
    }
  }
  auto org = CreateObject("tarnwick.CLSORG");
  EXPECT_EQ(org->Get("Count"), Variant(std::int32_t{0}));
  ExpectRaises(err::kCannotCreateObject, [] { CreateObject("Tarnwick.clsNothing"); });
  ExpectRaises(err::kCannotCreateObject, [] { CreateObject("{00000000-0000-0000-0000-000000000000}"); });
}

TEST_F(LateBinding, ArgumentsAreConvertedDefaultedAndWrittenBack) {
  auto link = CreateObject("Tarnwick.clsXrf_Org_Document");
  const std::int32_t getData = link->GetIDOfName("getdata");
  EXPECT_EQ(getData, link->GetIDOfName("GetData"));

  // A missing optional key takes its default -1: a new row.
  script->ClearCalls();
  EXPECT_EQ(link->Invoke(getData, InvokeKind::Method, {}), Variant(true));
  EXPECT_EQ(script->CallTexts()[0], "OpenRecordset(select * from xrf_org_document where document_id is null , 0, True)");

  // The text "12" arrives at a Long parameter as 12; text that is no number is a type mismatch.
  script->Answer("OpenRecordset", {.result = LinkRows({{7, 12}})});
  script->ClearCalls();
  std::vector<Variant> args{Variant("12")};
  EXPECT_EQ(link->Invoke(getData, InvokeKind::Method, args), Variant(true));
  EXPECT_EQ(script->CallTexts()[0], "OpenRecordset(select * from xrf_org_document where document_id = 12 , 0, True)");
  ExpectRaises(err::kTypeMismatch, [&] { link->Call("GetData", {Variant("twelve")}); });
  ExpectRaises(450, [&] { link->Call("GetData", {Variant(1), Variant(2)}); });
  ExpectRaises(err::kArgumentNotOptional, [&] { link->Call("DeleteData", {Variant(1)}); });
  ExpectRaises(err::kNoSuchMember, [&] { link->Call("Frobnicate"); });
  ExpectRaises(err::kNoSuchMember, [&] { link->Invoke(0x7fff, InvokeKind::Method, {}); });

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
    EXPECT_EQ(script->alive, 2);
    EXPECT_EQ(LiveObjectCount(), before + 2);
    EXPECT_EQ(DllCanUnloadNow(), kTarnwickFalse);
  }
  EXPECT_EQ(script->alive, 0);
  EXPECT_EQ(LiveObjectCount(), before);
  EXPECT_EQ(DllCanUnloadNow(), kTarnwickOk);

  void* raw = nullptr;
  const ClassInfo& info = *TypeLibrary().FindClass("clsOrg");
  ASSERT_EQ(DllGetClassObject(std::string(info.clsid).c_str(), &raw), kTarnwickOk);
  auto* factory = static_cast<ClassFactory*>(raw);
  factory->LockServer(true);
  EXPECT_EQ(DllCanUnloadNow(), kTarnwickFalse);
  factory->LockServer(false);
  EXPECT_EQ(factory->CreateInstance()->ProgID(), "Tarnwick.clsOrg");
  EXPECT_EQ(DllGetClassObject("{11111111-2222-3333-4444-555555555555}", &raw), kTarnwickClassNotAvailable);
  EXPECT_EQ(raw, nullptr);
  EXPECT_EQ(DllGetClassObject("Tarnwick.clsOrg", nullptr), kTarnwickPointer);
}

TEST(Host, RegistrationWritesAndRemovesOnlyItsOwnRecords) {
  const auto dir = std::filesystem::temp_directory_path() / ("tarnwick-reg-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto file = dir / "registry.ini";
  {
    std::ofstream out(file);
    out << "[HKCR\\Other.Thing]\n@=Other.Thing\n";
  }
  ASSERT_EQ(TarnwickSetRegistryFile(file.c_str()), kTarnwickOk);
  ASSERT_EQ(DllRegisterServer(), kTarnwickOk);
  std::stringstream text;
  text << std::ifstream(file).rdbuf();
  const ClassInfo& doc = *TypeLibrary().FindClass("Tarnwick.clsDocument");
  EXPECT_NE(text.str().find("[HKCR\\Tarnwick.clsDocument\\Clsid]\n@=" + std::string(doc.clsid)), std::string::npos);
  EXPECT_NE(text.str().find("ThreadingModel=Apartment"), std::string::npos);
  EXPECT_NE(text.str().find("\\5.0]"), std::string::npos);

  ASSERT_EQ(DllUnregisterServer(), kTarnwickOk);
  std::stringstream after;
  after << std::ifstream(file).rdbuf();
  EXPECT_EQ(after.str().find("Tarnwick"), std::string::npos);
  EXPECT_NE(after.str().find("Other.Thing"), std::string::npos);

  ASSERT_EQ(TarnwickSetRegistryFile((dir / "missing" / "registry.ini").c_str()), kTarnwickOk);
  EXPECT_EQ(DllRegisterServer(), kTarnwickRegistryWrite);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tarnwick::test
