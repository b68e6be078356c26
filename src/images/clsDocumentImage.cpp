#include "tarnwick/clsDocumentImage.hpp"

#include "cursor/columns.hpp"
#include "frame/binding.hpp"

namespace tarnwick {
namespace {

const frame::Bindings& Members() {
  static const frame::Bindings bindings = [] {
    frame::Bindings b("clsDocumentImage");
    cursor::BindCursorMembers(b);
    return b;
  }();
  return bindings;
}

}  // namespace

clsDocumentImage::clsDocumentImage() : DataObject("clsDocumentImage", "") {}
clsDocumentImage::~clsDocumentImage() = default;

Variant clsDocumentImage::Dispatch(const MemberInfo& member, std::span<Variant> args) {
  return Members().Run(*this, member, args);
}

}  // namespace tarnwick
