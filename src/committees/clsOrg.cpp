#include "tarnwick/clsOrg.hpp"

#include "cursor/columns.hpp"
#include "frame/binding.hpp"

namespace tarnwick {
namespace {

const frame::Bindings& Members() {
  static const frame::Bindings bindings = [] {
    frame::Bindings b("clsOrg");
    cursor::BindCursorMembers(b);
    b.Get("Count", frame::Bind(&clsOrg::Count));
    return b;
  }();
  return bindings;
}

}  // namespace

clsOrg::clsOrg() : DataObject("clsOrg", "ref_org") {}
clsOrg::~clsOrg() = default;

Variant clsOrg::Dispatch(const MemberInfo& member, std::span<Variant> args) {
  return Members().Run(*this, member, args);
}

}  // namespace tarnwick
