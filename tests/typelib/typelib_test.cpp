// The type library: identity, interface tables and their dispatch identifiers,
// look-ups, and the enumerations.
#include "tarnwick/typelib.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <regex>
#include <set>
#include <string>

#include "tarnwick/enums.hpp"

namespace tarnwick::test {
namespace {

constexpr std::int32_t P(std::int32_t low) { return 0x68030000 + low; }
constexpr std::int32_t M(std::int32_t low) { return 0x60030000 + low; }

const ClassInfo& Class(std::string_view name) {
  const ClassInfo* c = TypeLibrary().FindClass(name);
  if (c == nullptr) throw std::runtime_error("no class " + std::string(name));
  return *c;
}

TEST(TypeLibrary, Identity) {
  const TypeLibraryInfo& lib = TypeLibrary();
  EXPECT_EQ(lib.name, "Tarnwick");
  EXPECT_EQ(lib.majorVersion, 5);
  EXPECT_EQ(lib.minorVersion, 0);
  EXPECT_EQ(lib.lcid, 0x409u);
  EXPECT_EQ(lib.helpString, "Business logic for filed documents and their images");
  ASSERT_EQ(lib.classes.size(), 7u);
  for (const ClassInfo& c : lib.classes) {
    EXPECT_EQ(c.progId, "Tarnwick." + std::string(c.name));
    EXPECT_EQ(c.interfaceName, "_" + std::string(c.name));
  }
}

// Table size, property identifier range and method identifier range of each
// interface, as early-bound clients were compiled against them.
struct Layout {
  std::string_view name;
  std::size_t entries;
  std::int32_t propTop, propBottom;  // 0 when the class has no properties
  std::int32_t firstMethod, lastMethod;
  int privateProcedures;
};

TEST(TypeLibrary, TablesAndDispatchRanges) {
  const Layout layouts[] = {
      {"clsXrf_Org_Document", 20, P(0x06), P(0x00), M(0x07), M(0x12), 2},
      {"clsOrg", 57, P(0x2D), P(0x00), M(0x2E), M(0x3A), 2},
      {"clsXrf_Aff_Org_Document", 21, P(0x07), P(0x00), M(0x08), M(0x13), 2},
      {"clsDocumentImage", 34, P(0x10), P(0x00), M(0x11), M(0x1C), 2},
      {"clsLookup_List", 25, P(0x6F), P(0x64), M(0x70), M(0x7C), 2},
      {"clsDocument", 93, P(0xF7), P(0xC9), M(0xF8), M(0x10A), 3},
      {"clsDocReportExport", 3, 0, 0, M(0x16), M(0x1A), 2},
  };
  for (const Layout& l : layouts) {
    SCOPED_TRACE(std::string(l.name));
    const ClassInfo& c = Class(l.name);
    ASSERT_EQ(c.members.size(), l.entries);

    // Property entries come first (apart from the page counts of the image
    // class), identifiers running down by one; methods follow, running up.
    std::vector<const MemberInfo*> props, methods;
    for (const MemberInfo& m : c.members) {
      if (c.name == "clsDocumentImage" && m.name.starts_with("PageCount")) continue;
      if (m.kind == InvokeKind::Method) {
        methods.push_back(&m);
      } else {
        EXPECT_TRUE(methods.empty()) << m.name << " after the methods";
        if (m.kind == InvokeKind::PropertyGet) props.push_back(&m);
      }
    }
    if (l.propTop != 0) {
      ASSERT_FALSE(props.empty());
      EXPECT_EQ(props.front()->dispid, l.propTop);
      EXPECT_EQ(props.back()->dispid, l.propBottom);
      EXPECT_EQ(static_cast<std::int32_t>(props.size()), l.propTop - l.propBottom + 1);
      for (std::size_t i = 1; i < props.size(); ++i) EXPECT_EQ(props[i]->dispid, props[i - 1]->dispid - 1);
    } else {
      EXPECT_TRUE(props.empty());
    }
    ASSERT_FALSE(methods.empty());
    EXPECT_EQ(methods.front()->name, "ConnectionVariables");
    EXPECT_EQ(methods.front()->dispid, l.firstMethod);
    EXPECT_EQ(methods.back()->dispid, l.lastMethod);
    // The private procedures sit between ConnectionVariables and the public methods.
    EXPECT_EQ(methods[1]->dispid, l.firstMethod + 1 + l.privateProcedures);
    for (std::size_t i = 2; i < methods.size(); ++i) EXPECT_EQ(methods[i]->dispid, methods[i - 1]->dispid + 1);

    // A writer directly follows its reader, shares its identifier and takes one value.
    for (std::size_t i = 0; i < c.members.size(); ++i) {
      const MemberInfo& m = c.members[i];
      if (m.kind != InvokeKind::PropertyPut) continue;
      ASSERT_GT(i, 0u);
      const MemberInfo& reader = c.members[i - 1];
      EXPECT_EQ(reader.kind, InvokeKind::PropertyGet);
      EXPECT_EQ(reader.name, m.name);
      EXPECT_EQ(reader.dispid, m.dispid);
      EXPECT_EQ(m.result, TypeCode::Void);
      ASSERT_EQ(m.params.size(), 1u);
      EXPECT_EQ(m.params[0].type, reader.result);
    }
    // Every Enum names an enumeration of the library; optional parameters come last.
    for (const MemberInfo& m : c.members) {
      bool optionalSeen = false;
      for (const ParamInfo& p : m.params) {
        if (p.type == TypeCode::Enum) {
          EXPECT_TRUE(std::ranges::any_of(TypeLibrary().enums, [&](const EnumInfo& e) { return e.name == p.enumName; }))
              << m.name << "." << p.name;
        }
        if (optionalSeen) {
          EXPECT_TRUE(p.optional) << m.name << "." << p.name;
        }
        optionalSeen = optionalSeen || p.optional;
      }
    }
  }
}

TEST(TypeLibrary, MembersWithFixedPlacesAndSignatures) {
  // The image class's page counts were added last, with property identifiers above the others.
  const auto& tail = Class("clsDocumentImage").members;
  ASSERT_GE(tail.size(), 5u);
  EXPECT_EQ(tail[tail.size() - 5].name, "MoveLast");
  EXPECT_EQ(tail[tail.size() - 4].name, "PageCount");
  EXPECT_EQ(tail[tail.size() - 4].dispid, P(0x1E));
  EXPECT_EQ(tail[tail.size() - 3].kind, InvokeKind::PropertyPut);
  EXPECT_EQ(tail[tail.size() - 2].name, "PageCountAlt");
  EXPECT_EQ(tail[tail.size() - 1].dispid, P(0x1D));
  const auto image = Class("clsDocumentImage").Find("Image");
  ASSERT_EQ(image.size(), 2u);
  EXPECT_TRUE(image[1]->params[0].byRef);
  EXPECT_EQ(image[1]->params[0].type, TypeCode::Bytes);

  EXPECT_EQ(Class("clsXrf_Aff_Org_Document").Find("RecordCount").at(0)->result, TypeCode::Integer);
  EXPECT_EQ(Class("clsOrg").Find("RecordCount").at(0)->result, TypeCode::Long);
  // The filing checks answer through their last three arguments.
  const MemberInfo* mef = Class("clsDocument").Find("RunMEFChecks").at(0);
  ASSERT_EQ(mef->params.size(), 12u);
  EXPECT_EQ(mef->params[0].enumName, "MEFRunType");
  for (std::size_t i = 0; i < 12; ++i) EXPECT_EQ(mef->params[i].byRef, i >= 9) << i;
  EXPECT_EQ(mef->params[11].type, TypeCode::Integer);
  const MemberInfo* list = Class("clsLookup_List").Find("GetData").at(0);
  ASSERT_EQ(list->params.size(), 5u);
  EXPECT_EQ(list->params[0].defaultValue, "0");
  EXPECT_EQ(list->params[2].defaultValue, "-1");
  EXPECT_TRUE(std::ranges::all_of(list->params, [](const ParamInfo& p) { return p.optional; }));
}

TEST(TypeLibrary, LookupsIgnoreLetterCase) {
  const ClassInfo& doc = Class("clsDocument");
  auto title = doc.Find("tItLe");
  ASSERT_EQ(title.size(), 2u);
  EXPECT_EQ(title[0]->kind, InvokeKind::PropertyGet);
  EXPECT_EQ(title[1]->kind, InvokeKind::PropertyPut);
  EXPECT_EQ(doc.Find("eof").size(), 1u);
  EXPECT_TRUE(doc.Find("Titl").empty());
  EXPECT_TRUE(doc.Find("").empty());

  for (const ClassInfo& c : TypeLibrary().classes) {
    for (const MemberInfo& m : c.members) EXPECT_EQ(c.Find(m.dispid, m.kind), &m) << c.name << "." << m.name;
  }
  const std::int32_t table = doc.Find("Table").at(0)->dispid;
  EXPECT_EQ(doc.Find(table, InvokeKind::PropertyPut), nullptr);
  EXPECT_EQ(doc.Find(table, InvokeKind::Method), nullptr);
  EXPECT_EQ(doc.Find(M(0xF9), InvokeKind::Method), nullptr);  // a private procedure

  const TypeLibraryInfo& lib = TypeLibrary();
  EXPECT_EQ(lib.FindClass("CLSDOCUMENT"), &doc);
  EXPECT_EQ(lib.FindClass("tarnwick.clsdocument"), &doc);
  std::string clsid(doc.clsid);
  std::ranges::transform(clsid, clsid.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
  EXPECT_EQ(lib.FindClass(clsid), &doc);
  EXPECT_EQ(lib.FindClass(clsid.substr(1, clsid.size() - 2)), &doc);
  EXPECT_EQ(lib.FindClass(doc.iid), nullptr);
  EXPECT_EQ(lib.FindClass("Tarnwick."), nullptr);
  EXPECT_EQ(lib.FindClass("clsDocuments"), nullptr);
  EXPECT_EQ(lib.FindClass(""), nullptr);
}

TEST(TypeLibrary, IdentifiersAreWellFormedAndDistinct) {
  const TypeLibraryInfo& lib = TypeLibrary();
  std::vector<std::string_view> ids{lib.libid};
  for (const ClassInfo& c : lib.classes) {
    ids.push_back(c.clsid);
    ids.push_back(c.iid);
  }
  for (const EnumInfo& e : lib.enums) ids.push_back(e.guid);
  const std::regex form(R"(\{[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}\})");
  std::set<std::string> folded;
  for (std::string_view id : ids) {
    EXPECT_TRUE(std::regex_match(id.begin(), id.end(), form)) << id;
    std::string f(id);
    std::ranges::transform(f, f.begin(), [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
    folded.insert(f);
  }
  EXPECT_EQ(folded.size(), 17u);
}

TEST(TypeLibrary, EnumerationsMatchTheHeader) {
  const TypeLibraryInfo& lib = TypeLibrary();
  ASSERT_EQ(lib.enums.size(), 2u);
  EXPECT_EQ(lib.enums[0].name, "MEFRunType");
  EXPECT_EQ(lib.enums[0].members, (std::vector<std::pair<std::string_view, std::int32_t>>{
                                      {"FortyEightHourList", FortyEightHourList}, {"CheckMEF", CheckMEF},
                                      {"ReturnMEF", ReturnMEF}, {"ExistingReport", ExistingReport},
                                      {"FortyEightHourListAmend", FortyEightHourListAmend}}));
  const EnumInfo& list = lib.enums[1];
  EXPECT_EQ(list.name, "zubList");
  ASSERT_EQ(list.members.size(), 19u);
  for (std::int32_t i = 0; i < 18; ++i) EXPECT_EQ(list.members[i].second, i + 1);
  EXPECT_EQ(list.members[17], (std::pair<std::string_view, std::int32_t>{"zubL_County", zubL_County}));
  EXPECT_EQ(list.members.back(), (std::pair<std::string_view, std::int32_t>{"zubL_None", zubL_None}));
}

}  // namespace
}  // namespace tarnwick::test
