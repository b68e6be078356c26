// A progress line for long work, shown on a terminal only: one
// self-rewriting line, refreshed a few times a second.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnwick::cli {

class ProgressLine {
 public:
  // Whether stdout is a terminal; on a pipe or a file nothing is shown.
  static bool Wanted() { return ::isatty(STDOUT_FILENO) != 0; }

  // done of total units of stage (total 0: a stage without a count).
  void Update(std::string_view stage, std::int64_t done, std::int64_t total);
  // Wipes the line, if one was shown.
  void Clear();

 private:
  std::string stage_;
  std::chrono::steady_clock::time_point last_{};
  bool shown_ = false;
};

}  // namespace tarnwick::cli
