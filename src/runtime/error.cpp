// RuntimeError: the run-time error a client sees, with number, source and
// description.
#include "tarnwick/error.hpp"

#include <string>
#include <utility>

#include "runtime/raise.hpp"

namespace tarnwick {

RuntimeError::RuntimeError(std::int32_t number, std::string source, std::string description,
                           std::string helpFile, std::int32_t helpContext)
    : std::runtime_error(description),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)),
      helpFile_(std::move(helpFile)),
      helpContext_(helpContext) {}

namespace runtime {

std::string_view StandardMessage(std::int32_t number) {
  switch (number) {
    case err::kInvalidArgument: return "Invalid procedure call or argument";
    case err::kOverflow: return "Overflow";
    case err::kTypeMismatch: return "Type mismatch";
    case err::kObjectNotSet: return "Object variable or With block variable not set";
    case err::kInvalidUseOfNull: return "Invalid use of Null";
    case err::kCannotCreateObject: return "ActiveX component can't create object";
    case err::kNoSuchMember: return "Object doesn't support this property or method";
    case err::kArgumentNotOptional: return "Argument not optional";
    case err::kWrongArgumentCount: return "Wrong number of arguments or invalid property assignment";
    case err::kBadCriteria:
      return "Arguments are of the wrong type, are out of acceptable range, or are in conflict with "
             "one another.";
    case err::kNoCurrentRow:
      return "Either BOF or EOF is True, or the current record has been deleted. Requested "
             "operation requires a current record.";
    case err::kItemNotFound:
      return "Item cannot be found in the collection corresponding to the requested name or "
             "ordinal.";
    case err::kObjectClosed: return "Operation is not allowed when the object is closed.";
    case err::kMultipleStep:
      return "Multiple-step operation generated errors. Check each status value.";
    default: return "Application-defined or object-defined error";
  }
}

void Raise(std::int32_t number) { Raise(number, kProjectSource); }

void Raise(std::int32_t number, std::string_view source) {
  throw RuntimeError(number, std::string(source), std::string(StandardMessage(number)));
}

namespace {

// The value as the error shows it: texts quoted and cut at a character
// boundary when long, other kinds by what they are.
std::string ShownValue(const Variant& value) {
  constexpr std::size_t kLongest = 60;
  switch (value.Type()) {
    case VarType::Null: return "Null";
    case VarType::Empty: return "Empty";
    case VarType::Bytes: return std::to_string(value.AsBytes().size()) + " bytes";
    case VarType::Object: return "an object";
    default: break;
  }
  std::string text = value.CStr();
  if (text.size() > kLongest) {
    std::size_t cut = kLongest;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text = text.substr(0, cut) + "...";
  }
  return "'" + text + "'";
}

const char* WhyRefused(VarType wanted, std::int32_t number) {
  if (number == err::kOverflow) return "is out of range";
  if (number == err::kInvalidUseOfNull) return "cannot be Null";
  switch (wanted) {
    case VarType::Date: return "is not a date";
    case VarType::Integer:
    case VarType::Long:
    case VarType::Double:
    case VarType::Currency: return "is not a number";
    case VarType::Boolean: return "is not True or False";
    case VarType::Bytes: return "is not binary data";
    default: return "cannot be stored";
  }
}

}  // namespace

std::string RefusedValue(std::string_view column, const Variant& value, VarType wanted, std::int32_t number) {
  return std::string(column) + ": " + ShownValue(value) + " " + WhyRefused(wanted, number);
}

bool IsConversionError(std::int32_t number) {
  return number == err::kTypeMismatch || number == err::kOverflow || number == err::kInvalidUseOfNull;
}

}  // namespace runtime
}  // namespace tarnwick
