// The terminal progress line: a bar, the counts and the percentage.
#include "progress.hpp"

#include <fmt/core.h>

#include <cstdio>

namespace tarnwick::cli {

void ProgressLine::Update(std::string_view stage, std::int64_t done, std::int64_t total) {
  const auto now = std::chrono::steady_clock::now();
  const bool stageChanged = stage != stage_;
  const bool finished = total > 0 && done == total;
  if (!stageChanged && !finished && now - last_ < std::chrono::milliseconds(100)) return;
  last_ = now;
  stage_ = std::string(stage);
  std::string text;
  if (total > 0) {
    constexpr int kBar = 20;
    const auto filled = static_cast<int>(done * kBar / total);
    text = fmt::format("  {:<11} [{}{}] {:>10} / {:<10} {:>3}%", stage, std::string(filled, '#'),
                       std::string(kBar - filled, '.'), done, total, done * 100 / total);
  } else {
    text = fmt::format("  {:<11}", stage);
  }
  fmt::print("\r{:<78}", text);
  std::fflush(stdout);
  shown_ = true;
}

void ProgressLine::Clear() {
  if (!shown_) return;
  fmt::print("\r{:<78}\r", "");
  std::fflush(stdout);
  shown_ = false;
}

}  // namespace tarnwick::cli
