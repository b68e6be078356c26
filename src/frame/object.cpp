// The late-bound surface every public class shares: member lookup by name,
// Invoke by dispatch identifier with the dispatch's argument conversions, and
// the live-object count behind unloading.
#include "tarnwick/object.hpp"
#include "runtime/raise.hpp"

#include <atomic>
#include <string>
#include <vector>

#include "tarnwick/error.hpp"
#include "tarnwick/recordset.hpp"

namespace tarnwick {
namespace {

std::atomic<std::int32_t> g_liveObjects{0};

RuntimeError NoSuchMember(std::string_view progId) {
  return RuntimeError(err::kNoSuchMember, std::string(progId), std::string(runtime::StandardMessage(err::kNoSuchMember)));
}

// The dispatch's conversion of one argument to the declared parameter type.
Variant Coerce(const Variant& v, TypeCode type) {
  switch (type) {
    case TypeCode::Boolean: return Variant(v.CBool());
    case TypeCode::Integer: return Variant(v.CInt());
    case TypeCode::Long:
    case TypeCode::Enum: return Variant(v.CLng());
    case TypeCode::Double: return Variant(v.CDbl());
    case TypeCode::Currency: return Variant(v.CCur());
    case TypeCode::Date: return Variant(v.CDate());
    case TypeCode::String: return Variant(v.CStr());
    case TypeCode::Bytes:
      if (v.Type() != VarType::Bytes) runtime::Raise(err::kTypeMismatch);
      return v;
    case TypeCode::Recordset:
      if (v.Type() != VarType::Object) runtime::Raise(err::kTypeMismatch);
      return Variant(v.AsRecordset());
    case TypeCode::Variant:
    case TypeCode::Void: return v;
  }
  return v;
}

// The kind of value a parameter type holds, as a refused value's error names it.
VarType Holds(TypeCode type) {
  switch (type) {
    case TypeCode::Boolean: return VarType::Boolean;
    case TypeCode::Integer: return VarType::Integer;
    case TypeCode::Long:
    case TypeCode::Enum: return VarType::Long;
    case TypeCode::Double: return VarType::Double;
    case TypeCode::Currency: return VarType::Currency;
    case TypeCode::Date: return VarType::Date;
    case TypeCode::String: return VarType::String;
    case TypeCode::Bytes: return VarType::Bytes;
    default: return VarType::Empty;
  }
}

// A value given to a property is converted to the property's type; when it
// cannot be, the error names the property and the value, under the number
// the conversion raised.
Variant CoercePut(const MemberInfo& property, const Variant& v, TypeCode type) {
  try {
    return Coerce(v, type);
  } catch (const RuntimeError& e) {
    if (!runtime::IsConversionError(e.Number())) throw;
    throw RuntimeError(e.Number(), e.Source(),
                       runtime::RefusedValue(property.name, v, Holds(type), e.Number()) + ". " +
                           std::string(runtime::StandardMessage(e.Number())));
  }
}

// The default of an optional parameter, from its text in the type library.
Variant DefaultOf(const ParamInfo& p) {
  if (p.type == TypeCode::Variant && p.defaultValue.empty()) return Variant();
  return Coerce(Variant(std::string(p.defaultValue)), p.type);
}

}  // namespace

Object::Object(std::string_view className) : info_(TypeLibrary().FindClass(className)) {
  if (info_ == nullptr) runtime::Raise(err::kCannotCreateObject);
  ++g_liveObjects;
}

Object::~Object() { --g_liveObjects; }

std::int32_t LiveObjectCount() { return g_liveObjects.load(); }

std::int32_t Object::GetIDOfName(std::string_view member) const {
  const auto entries = info_->Find(member);
  if (entries.empty()) throw NoSuchMember(info_->progId);
  return entries.front()->dispid;
}

Variant Object::Invoke(std::int32_t dispid, InvokeKind kind, std::span<Variant> args) {
  const MemberInfo* member = info_->Find(dispid, kind);
  // A late-bound caller cannot always tell a method from a property reader:
  // either request runs whichever of the two the member is.
  if (member == nullptr && kind == InvokeKind::Method) member = info_->Find(dispid, InvokeKind::PropertyGet);
  if (member == nullptr && kind == InvokeKind::PropertyGet) member = info_->Find(dispid, InvokeKind::Method);
  if (member == nullptr) throw NoSuchMember(info_->progId);

  const auto& params = member->params;
  if (args.size() > params.size()) {
    runtime::Raise(err::kWrongArgumentCount, info_->progId);
  }
  std::vector<Variant> converted;
  converted.reserve(params.size());
  for (std::size_t i = 0; i < params.size(); ++i) {
    if (i < args.size()) {
      converted.push_back(member->kind == InvokeKind::PropertyPut ? CoercePut(*member, args[i], params[i].type)
                                                                  : Coerce(args[i], params[i].type));
    } else if (params[i].optional) {
      converted.push_back(DefaultOf(params[i]));
    } else {
      runtime::Raise(err::kArgumentNotOptional, info_->progId);
    }
  }
  Variant result = Dispatch(*member, converted);
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (params[i].byRef) args[i] = std::move(converted[i]);
  }
  return result;
}

Variant Object::Get(std::string_view property) {
  for (const MemberInfo* m : info_->Find(property)) {
    if (m->kind == InvokeKind::PropertyGet) return Invoke(m->dispid, InvokeKind::PropertyGet, {});
  }
  throw NoSuchMember(info_->progId);
}

void Object::Put(std::string_view property, Variant value) {
  for (const MemberInfo* m : info_->Find(property)) {
    if (m->kind == InvokeKind::PropertyPut) {
      Invoke(m->dispid, InvokeKind::PropertyPut, std::span<Variant>(&value, 1));
      return;
    }
  }
  throw NoSuchMember(info_->progId);
}

Variant Object::Call(std::string_view method, std::span<Variant> args) {
  const auto entries = info_->Find(method);
  for (const MemberInfo* m : entries) {
    if (m->kind == InvokeKind::Method) return Invoke(m->dispid, InvokeKind::Method, args);
  }
  for (const MemberInfo* m : entries) {
    if (m->kind == InvokeKind::PropertyGet) return Invoke(m->dispid, InvokeKind::PropertyGet, args);
  }
  throw NoSuchMember(info_->progId);
}

Variant Object::Call(std::string_view method, std::initializer_list<Variant> args) {
  std::vector<Variant> copy(args);
  return Call(method, std::span<Variant>(copy));
}

}  // namespace tarnwick
