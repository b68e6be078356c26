// Late binding: finds a class's member entry by dispatch identifier and runs
// it with the arguments converted to its parameter types (see binding.hpp).
#include "frame/binding.hpp"
#include "runtime/raise.hpp"

#include <stdexcept>

namespace tarnwick::frame {

Bindings::Bindings(std::string_view className) : class_(TypeLibrary().FindClass(className)) {
  if (class_ == nullptr) throw std::logic_error("type library has no class " + std::string(className));
}

Bindings& Bindings::Add(std::string_view name, InvokeKind kind, Handler h) {
  for (const MemberInfo* member : class_->Find(name)) {
    if (member->kind == kind) {
      handlers_[member] = std::move(h);
      return *this;
    }
  }
  throw std::logic_error(std::string(class_->name) + " has no member " + std::string(name));
}

Bindings& Bindings::Get(std::string_view name, Handler h) { return Add(name, InvokeKind::PropertyGet, std::move(h)); }
Bindings& Bindings::Put(std::string_view name, Handler h) { return Add(name, InvokeKind::PropertyPut, std::move(h)); }
Bindings& Bindings::Method(std::string_view name, Handler h) { return Add(name, InvokeKind::Method, std::move(h)); }

Variant Bindings::Run(Object& self, const MemberInfo& member, std::span<Variant> args) const {
  const auto it = handlers_.find(&member);
  if (it == handlers_.end()) {
    runtime::Raise(err::kNoSuchMember, class_->progId);
  }
  return it->second(self, args);
}

std::vector<std::string> Bindings::Unbound() const {
  std::vector<std::string> missing;
  for (const MemberInfo& member : class_->members) {
    if (!handlers_.contains(&member)) {
      const char* kind = member.kind == InvokeKind::PropertyGet   ? " (get)"
                         : member.kind == InvokeKind::PropertyPut ? " (let)"
                                                                  : "";
      missing.push_back(std::string(member.name) + kind);
    }
  }
  return missing;
}

}  // namespace tarnwick::frame
