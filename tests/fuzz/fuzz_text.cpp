// Feeds arbitrary texts to the runtime's conversions: CLng, CInt, CDbl, CCur,
// CBool, CDate, Val, IsNumeric, IsDate and Format(text, "mm/dd/yyyy"). Each
// must give a value or raise 6 or 13, never crash, and the predicates must
// agree with the conversions: IsNumeric exactly when CDbl reads the text (or
// overflows on it), IsDate exactly when CDate reads it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include "runtime/date_text.hpp"
#include "runtime/dates.hpp"
#include "runtime/decimal_text.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/variant.hpp"

namespace {

// 0 when f returns, else the RuntimeError number; only 6 and 13 may come out.
std::int32_t Outcome(const std::function<void()>& f) {
  try {
    f();
  } catch (const tarnwick::RuntimeError& e) {
    if (e.Number() != tarnwick::err::kOverflow && e.Number() != tarnwick::err::kTypeMismatch) std::abort();
    return e.Number();
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const tarnwick::Variant v(text);
  const std::int32_t dbl = Outcome([&] { (void)v.CDbl(); });
  Outcome([&] { (void)v.CLng(); });
  Outcome([&] { (void)v.CInt(); });
  const std::int32_t cur = Outcome([&] { (void)v.CCur(); });
  Outcome([&] { (void)v.CBool(); });
  Outcome([&] { (void)tarnwick::runtime::Val(text); });
  const std::int32_t date = Outcome([&] { (void)v.CDate(); });

  const bool numeric = tarnwick::runtime::IsNumeric(v);
  if (numeric != (dbl != tarnwick::err::kTypeMismatch) || numeric != (cur != tarnwick::err::kTypeMismatch)) std::abort();
  if (tarnwick::runtime::IsDate(v) != (date == 0)) std::abort();

  std::string formatted;
  if (Outcome([&] { formatted = tarnwick::dates::FormatMmDdYyyy(text); }) != 0) std::abort();
  if (date == 0) {
    // Format gives mm/dd/yyyy for a date (else the text itself), which reads back as a whole day.
    const double day = tarnwick::Variant(formatted).CDate().serial;
    if (formatted.size() != 10 || day != static_cast<double>(static_cast<std::int64_t>(day))) std::abort();
  }
  return 0;
}
