// Look-ups in the type library: members by name or dispatch identifier, and
// classes by name, programmatic identifier or class identifier. Late-bound
// callers spell names in any letter case, so every name comparison ignores it.
#include "tarnwick/typelib.hpp"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace tarnwick {
namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// A class identifier without its braces also names the class.
bool MatchesClassId(std::string_view clsid, std::string_view text) {
  if (EqualsIgnoringCase(clsid, text)) return true;
  return clsid.size() == text.size() + 2 && EqualsIgnoringCase(clsid.substr(1, text.size()), text);
}

}  // namespace

std::vector<const MemberInfo*> ClassInfo::Find(std::string_view member) const {
  std::vector<const MemberInfo*> found;
  for (const MemberInfo& m : members) {
    if (EqualsIgnoringCase(m.name, member)) found.push_back(&m);
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
    if (EqualsIgnoringCase(c.name, nameProgIdOrClsid) || EqualsIgnoringCase(c.progId, nameProgIdOrClsid) ||
        MatchesClassId(c.clsid, nameProgIdOrClsid)) {
      return &c;
    }
  }
  return nullptr;
}

}  // namespace tarnwick
