// Look-ups in the type library: members by name or dispatch identifier, and
// classes by name, programmatic identifier or class identifier. Late-bound
// callers spell names in any letter case, so every name comparison ignores it.
#include "tarnwick/typelib.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "runtime/text.hpp"

namespace tarnwick {
namespace {

using runtime::EqualsNoCase;

// A class identifier without its braces also names the class.
bool MatchesClassId(std::string_view clsid, std::string_view text) {
  if (EqualsNoCase(clsid, text)) return true;
  return clsid.size() == text.size() + 2 && EqualsNoCase(clsid.substr(1, text.size()), text);
}

}  // namespace

std::vector<const MemberInfo*> ClassInfo::Find(std::string_view member) const {
  std::vector<const MemberInfo*> found;
  for (const MemberInfo& m : members) {
    if (EqualsNoCase(m.name, member)) found.push_back(&m);
  }
  return found;
}

const MemberInfo* ClassInfo::Find(std::int32_t dispid, InvokeKind kind) const {
  for (const MemberInfo& m : members) {
    if (m.dispid == dispid && m.kind == kind) return &m;
  }
  return nullptr;
}

const ClassInfo* TypeLibraryInfo::FindClass(std::string_view nameProgIdOrClsid) const {
  if (nameProgIdOrClsid.empty()) return nullptr;
  for (const ClassInfo& c : classes) {
    if (EqualsNoCase(c.name, nameProgIdOrClsid) || EqualsNoCase(c.progId, nameProgIdOrClsid) ||
        MatchesClassId(c.clsid, nameProgIdOrClsid)) {
      return &c;
    }
  }
  return nullptr;
}

}  // namespace tarnwick
