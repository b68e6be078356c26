// RuntimeError: the one kind of failure the library raises to its clients.
//
// It carries the five values of the runtime's error object: number, source,
// description, help file and help context. what() returns the description.
// Methods that report failures extend the source with their own name, so a
// client reads the chain innermost first.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tarnwick {

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(std::int32_t number, std::string source, std::string description,
               std::string helpFile = {}, std::int32_t helpContext = 0);

  std::int32_t Number() const { return number_; }
  const std::string& Source() const { return source_; }
  const std::string& Description() const { return description_; }
  const std::string& HelpFile() const { return helpFile_; }
  std::int32_t HelpContext() const { return helpContext_; }

 private:
  std::int32_t number_;
  std::string source_;
  std::string description_;
  std::string helpFile_;
  std::int32_t helpContext_;
};

// Error numbers the library raises.
namespace err {
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kTypeMismatch = 13;
inline constexpr std::int32_t kObjectNotSet = 91;
inline constexpr std::int32_t kInvalidUseOfNull = 94;
inline constexpr std::int32_t kCannotCreateObject = 429;
inline constexpr std::int32_t kNoSuchMember = 438;
inline constexpr std::int32_t kInvalidArgument = 5;
inline constexpr std::int32_t kArgumentNotOptional = 449;
inline constexpr std::int32_t kWrongArgumentCount = 450;
inline constexpr std::int32_t kBadCriteria = 3001;
inline constexpr std::int32_t kNoCurrentRow = 3021;
inline constexpr std::int32_t kItemNotFound = 3265;
inline constexpr std::int32_t kObjectClosed = 3704;
inline constexpr std::int32_t kMultipleStep = -2147217887;
}  // namespace err

}  // namespace tarnwick
