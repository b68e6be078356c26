#include "tarnwick/clsLookup_List.hpp"

#include "cursor/columns.hpp"
#include "frame/binding.hpp"

namespace tarnwick {
namespace {

const frame::Bindings& Members() {
  static const frame::Bindings bindings = [] {
    frame::Bindings b("clsLookup_List");
    cursor::BindCursorMembers(b);
    return b;
  }();
  return bindings;
}

}  // namespace

clsLookup_List::clsLookup_List() : DataObject("clsLookup_List", "") {}
clsLookup_List::~clsLookup_List() = default;

Variant clsLookup_List::Dispatch(const MemberInfo& member, std::span<Variant> args) {
  return Members().Run(*this, member, args);
}

}  // namespace tarnwick
