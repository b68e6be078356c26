// Object: the base of the seven public classes, with the late-bound surface a
// scripting client uses (members by name or dispatch identifier) beside the
// early-bound C++ members of each class.
//
// Late-bound calls convert their arguments as the platform's dispatch does: a
// text "12" passed to a Long parameter arrives as 12, a failed conversion
// raises 13, a missing optional argument takes the member's default, and
// by-reference arguments are written back into the span. Unknown members
// raise 438.
//
// Thread safety: an object is called only on the thread that created it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string_view>

#include "tarnwick/typelib.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick {

class Object {
 public:
  virtual ~Object();
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  std::string_view ProgID() const { return info_->progId; }
  const ClassInfo& Class() const { return *info_; }

  std::int32_t GetIDOfName(std::string_view member) const;
  Variant Invoke(std::int32_t dispid, InvokeKind kind, std::span<Variant> args);
  Variant Get(std::string_view property);
  void Put(std::string_view property, Variant value);
  Variant Call(std::string_view method, std::span<Variant> args);
  Variant Call(std::string_view method, std::initializer_list<Variant> args = {});

 protected:
  explicit Object(std::string_view className);
  // Runs one member with arguments already converted to its parameter types
  // (missing optional ones filled with their defaults).
  virtual Variant Dispatch(const MemberInfo& member, std::span<Variant> args) = 0;

 private:
  const ClassInfo* info_;
};

// A new object of the class named by programmatic identifier ("Tarnwick.clsDocument")
// or class identifier; 429 when the library has no such class.
std::shared_ptr<Object> CreateObject(std::string_view progIdOrClsid);

// How many objects of the library are alive (the host may unload when 0).
std::int32_t LiveObjectCount();

}  // namespace tarnwick
