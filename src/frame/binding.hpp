// Late binding: each class states once which C++ member answers which member
// of its interface; Object::Invoke finds the entry by dispatch identifier and
// runs it with arguments already converted to the member's parameter types.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tarnwick/error.hpp"
#include "runtime/raise.hpp"
#include "tarnwick/object.hpp"
#include "tarnwick/recordset.hpp"
#include "tarnwick/typelib.hpp"
#include "tarnwick/variant.hpp"

namespace tarnwick::frame {

// The value of a late-bound argument as the C++ parameter type T.
template <class T>
T FromVariant(const Variant& v) {
  if constexpr (std::is_same_v<T, Variant>) return v;
  else if constexpr (std::is_same_v<T, bool>) return v.CBool();
  else if constexpr (std::is_same_v<T, std::int16_t>) return v.CInt();
  else if constexpr (std::is_same_v<T, std::int32_t>) return v.CLng();
  else if constexpr (std::is_enum_v<T>) return static_cast<T>(v.CLng());
  else if constexpr (std::is_same_v<T, double>) return v.CDbl();
  else if constexpr (std::is_same_v<T, Currency>) return v.CCur();
  else if constexpr (std::is_same_v<T, Date>) return v.CDate();
  else if constexpr (std::is_same_v<T, std::string>) return v.CStr();
  else if constexpr (std::is_same_v<T, Bytes>) return v.AsBytes();
  else if constexpr (std::is_same_v<T, std::shared_ptr<Recordset>>) return v.AsRecordset();
  else static_assert(sizeof(T) == 0, "no late-bound conversion for this parameter type");
}

template <class T>
Variant ToVariant(T&& value) {
  using U = std::decay_t<T>;
  if constexpr (std::is_enum_v<U>) return Variant(static_cast<std::int32_t>(value));
  else return Variant(std::forward<T>(value));
}

// A member's late-bound body: the object and its (converted, complete) arguments.
using Handler = std::function<Variant(Object&, std::span<Variant>)>;

namespace detail {
inline void CheckArgumentCount(std::size_t given, std::size_t wanted) {
  if (given != wanted) {
    runtime::Raise(err::kWrongArgumentCount);
  }
}

template <class A>
inline constexpr bool kByRef = std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>;

// Converts the arguments, calls f with them, writes by-reference results back.
template <class R, class... A, class F, std::size_t... I>
Variant Apply(F&& f, std::span<Variant> args, std::index_sequence<I...>) {
  CheckArgumentCount(args.size(), sizeof...(A));
  std::tuple<std::decay_t<A>...> locals{FromVariant<std::decay_t<A>>(args[I])...};
  Variant result;
  if constexpr (std::is_void_v<R>) {
    std::apply(f, locals);
  } else {
    result = ToVariant(std::apply(f, locals));
  }
  ((kByRef<A> ? void(args[I] = ToVariant(std::get<I>(locals))) : void()), ...);
  return result;
}
}  // namespace detail

// Adapts a C++ member function of class C to a Handler.
template <class C, class R, class... A>
Handler Bind(R (C::*fn)(A...)) {
  return [fn](Object& self, std::span<Variant> args) {
    auto call = [&](auto&... a) -> R { return (static_cast<C&>(self).*fn)(a...); };
    return detail::Apply<R, A...>(call, args, std::index_sequence_for<A...>{});
  };
}
template <class C, class R, class... A>
Handler Bind(R (C::*fn)(A...) const) {
  return [fn](Object& self, std::span<Variant> args) {
    auto call = [&](auto&... a) -> R { return (static_cast<const C&>(self).*fn)(a...); };
    return detail::Apply<R, A...>(call, args, std::index_sequence_for<A...>{});
  };
}

// The late-bound table of one class: typelib member -> handler.
class Bindings {
 public:
  explicit Bindings(std::string_view className);

  // Bind a property reader, a property writer, or a method by its interface name.
  // Throws std::logic_error when the type library has no such member (a
  // programming error found by the first test that creates the class).
  Bindings& Get(std::string_view name, Handler h);
  Bindings& Put(std::string_view name, Handler h);
  Bindings& Method(std::string_view name, Handler h);

  // Runs the handler of member; 438 when the class does not implement it.
  Variant Run(Object& self, const MemberInfo& member, std::span<Variant> args) const;

  // Interface members without a handler (for the tests of each class).
  std::vector<std::string> Unbound() const;

  const ClassInfo& Class() const { return *class_; }

 private:
  Bindings& Add(std::string_view name, InvokeKind kind, Handler h);
  const ClassInfo* class_;
  std::unordered_map<const MemberInfo*, Handler> handlers_;
};

}  // namespace tarnwick::frame
