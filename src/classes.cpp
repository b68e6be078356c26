// The one table of the library's classes: each class name with its
// constructor. Object creation in the frame reaches the classes only through
// it, so a new class is added here and in the type library, nowhere else.
#include <functional>
#include <memory>
#include <string_view>

#include "frame/class_table.hpp"
#include "tarnwick/clsDocReportExport.hpp"
#include "tarnwick/clsDocument.hpp"
#include "tarnwick/clsDocumentImage.hpp"
#include "tarnwick/clsLookup_List.hpp"
#include "tarnwick/clsNameSearch.hpp"
#include "tarnwick/clsOrg.hpp"
#include "tarnwick/clsXrf_Aff_Org_Document.hpp"
#include "tarnwick/clsXrf_Org_Document.hpp"

namespace tarnwick::frame {
namespace {

template <class T>
std::shared_ptr<Object> Make() {
  return std::make_shared<T>();
}

struct ClassEntry {
  std::string_view name;
  std::shared_ptr<Object> (*construct)();
};

constexpr ClassEntry kClasses[] = {
    {"clsXrf_Org_Document", Make<clsXrf_Org_Document>},
    {"clsOrg", Make<clsOrg>},
    {"clsXrf_Aff_Org_Document", Make<clsXrf_Aff_Org_Document>},
    {"clsDocumentImage", Make<clsDocumentImage>},
    {"clsLookup_List", Make<clsLookup_List>},
    {"clsDocument", Make<clsDocument>},
    {"clsDocReportExport", Make<clsDocReportExport>},
    {"clsNameSearch", Make<clsNameSearch>},
};

}  // namespace

std::shared_ptr<Object> ConstructClass(std::string_view className) {
  for (const ClassEntry& entry : kClasses) {
    if (entry.name == className) return entry.construct();
  }
  return nullptr;
}

}  // namespace tarnwick::frame
