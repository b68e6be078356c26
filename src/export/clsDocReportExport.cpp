#include "tarnwick/clsDocReportExport.hpp"

#include "cursor/columns.hpp"
#include "frame/binding.hpp"

namespace tarnwick {
namespace {

const frame::Bindings& Members() {
  static const frame::Bindings bindings = [] {
    frame::Bindings b("clsDocReportExport");
    cursor::BindCursorMembers(b);
    return b;
  }();
  return bindings;
}

}  // namespace

clsDocReportExport::clsDocReportExport() : DataObject("clsDocReportExport", "") {}
clsDocReportExport::~clsDocReportExport() = default;

Variant clsDocReportExport::Dispatch(const MemberInfo& member, std::span<Variant> args) {
  return Members().Run(*this, member, args);
}

}  // namespace tarnwick
