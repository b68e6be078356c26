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

}  // namespace runtime
}  // namespace tarnwick
