// The type library: interface tables and their dispatch identifiers as
// early-bound clients were compiled against them, look-ups, identifiers and
// the enumerations.
#include "tarnwick/typelib.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <set>
#include <string>
#include <tuple>


namespace tarnwick::test {
namespace {

constexpr std::int32_t P(std::int32_t low) { return 0x68030000 + low; }
constexpr std::int32_t M(std::int32_t low) { return 0x60030000 + low; }

std::string Recased(std::string_view text) {
  std::string s(text);
  std::ranges::transform(s, s.begin(), [](unsigned char ch) { return static_cast<char>(std::toupper(ch)); });
  return s;
}

// Table size, property identifier range and method identifier range of each interface.
TEST(TypeLibrary, TablesAndDispatchRanges) {
  ASSERT_EQ(TypeLibrary().classes.size(), 8u);
  // propTop 0: no properties; hidden: private procedures after ConnectionVariables.
  struct Layout { std::string_view name; std::size_t entries; std::int32_t propTop, propBottom, first, last, hidden; };
  const Layout layouts[] = {
      {"clsXrf_Org_Document", 20, P(0x06), P(0x00), M(0x07), M(0x12), 2},
      {"clsOrg", 57, P(0x2D), P(0x00), M(0x2E), M(0x3A), 2},
      {"clsXrf_Aff_Org_Document", 21, P(0x07), P(0x00), M(0x08), M(0x13), 2},
      {"clsDocumentImage", 34, P(0x10), P(0x00), M(0x11), M(0x1C), 2},
      {"clsLookup_List", 25, P(0x6F), P(0x64), M(0x70), M(0x7C), 2},
      {"clsDocument", 93, P(0xF7), P(0xC9), M(0xF8), M(0x10A), 3}, {"clsDocReportExport", 3, 0, 0, M(0x16), M(0x1A), 2},
      {"clsNameSearch", 16, P(0x0A), P(0x01), M(0x0B), M(0x10), 0},
  };
  for (const Layout& l : layouts) {
    SCOPED_TRACE(std::string(l.name));
    const ClassInfo& c = *TypeLibrary().FindClass(l.name);
    EXPECT_EQ(c.progId, "Tarnwick." + std::string(c.name));
    ASSERT_EQ(c.members.size(), l.entries);
    // Property entries come first (apart from the page counts of the image
    // class), identifiers running down by one; methods follow, running up.
    std::vector<const MemberInfo*> props, methods;
    for (const MemberInfo& m : c.members) {
      if (c.name == "clsDocumentImage" && m.name.starts_with("PageCount")) continue;
      EXPECT_TRUE(m.kind == InvokeKind::Method || methods.empty()) << m.name << " after the methods";
      if (m.kind != InvokeKind::PropertyPut) (m.kind == InvokeKind::Method ? methods : props).push_back(&m);
    }
    EXPECT_EQ(static_cast<int>(props.size()), l.propTop == 0 ? 0 : l.propTop - l.propBottom + 1);
    for (std::size_t i = 0; i < props.size(); ++i) EXPECT_EQ(props[i]->dispid, l.propTop - static_cast<int>(i));
    ASSERT_GE(methods.size(), 2u);
    EXPECT_EQ(std::tuple(methods.front()->name, methods.front()->dispid, methods[1]->dispid, methods.back()->dispid),
              std::tuple("ConnectionVariables", l.first, l.first + 1 + l.hidden, l.last));
    for (std::size_t i = 2; i < methods.size(); ++i) EXPECT_EQ(methods[i]->dispid, methods[i - 1]->dispid + 1);
  }
  // The image class's page counts were added last, with property identifiers above the others.
  const auto& image = TypeLibrary().FindClass("clsDocumentImage")->members;
  const MemberInfo &pages = image[image.size() - 4], &alt = image.back();
  EXPECT_EQ(std::tie(pages.name, pages.dispid, alt.name, alt.dispid),
            std::make_tuple("PageCount", P(0x1E), "PageCountAlt", P(0x1D)));
}

// What a late-bound call relies on in every signature: a writer directly
// follows its reader, shares its identifier and takes one value of its type;
// an Enum names an enumeration of the library; optional parameters come last.
// And the signatures clients were compiled against with arguments by reference
// or defaults.
TEST(TypeLibrary, SignaturesKeepTheirShape) {
  for (const ClassInfo& c : TypeLibrary().classes) {
    for (std::size_t i = 0; i < c.members.size(); ++i) {
      const MemberInfo& m = c.members[i];
      SCOPED_TRACE(std::string(c.name) + "." + std::string(m.name));
      if (m.kind == InvokeKind::PropertyPut) {
        ASSERT_GT(i, 0u);
        const MemberInfo& reader = c.members[i - 1];
        EXPECT_EQ(std::tie(reader.kind, reader.name, reader.dispid), std::make_tuple(InvokeKind::PropertyGet, m.name, m.dispid));
        ASSERT_EQ(m.params.size(), 1u);
        EXPECT_EQ(m.params[0].type, reader.result);
      }
      bool optionalSeen = false;
      for (const ParamInfo& p : m.params) {
        EXPECT_TRUE(p.type != TypeCode::Enum ||
                    std::ranges::any_of(TypeLibrary().enums, [&](const EnumInfo& e) { return e.name == p.enumName; }));
        EXPECT_TRUE(p.optional || !optionalSeen) << p.name;
        optionalSeen = optionalSeen || p.optional;
      }
    }
  }
  const MemberInfo* mef = TypeLibrary().FindClass("clsDocument")->Find("RunMEFChecks").at(0);
  std::string byRef(mef->params.at(0).enumName);
  for (const ParamInfo& p : mef->params) byRef += p.byRef ? "R" : "-";
  EXPECT_EQ(byRef, "MEFRunType---------RRR");
  const MemberInfo* list = TypeLibrary().FindClass("clsLookup_List")->Find("GetData").at(0);
  ASSERT_EQ(list->params.size(), 5u);
  EXPECT_EQ(std::tie(list->params[0].defaultValue, list->params[2].defaultValue), std::make_tuple("0", "-1"));

  // Two classes, interfaces or enumerations sharing an identifier would load as one.
  const TypeLibraryInfo& lib = TypeLibrary();
  std::set<std::string> ids{Recased(lib.libid)};
  for (const ClassInfo& c : lib.classes) ids.insert({Recased(c.clsid), Recased(c.iid)});
  for (const EnumInfo& e : lib.enums) ids.insert(Recased(e.guid));
  EXPECT_EQ(ids.size(), 19u);
}

}  // namespace
}  // namespace tarnwick::test
