// Stored page images from outside: the input is the image's bytes. Listing
// its pages, rendering each (at full size and as a thumbnail) and writing
// the PDF must each finish or raise the page reader's RuntimeError (481 for
// a damaged image, 5 for a width the page cannot take), never crash, leak or
// throw anything else. Pages over a million pixels are only listed, so that
// the fuzzer spends its time on damaged data rather than on large clean pages.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <span>
#include <string>

#include "tarnwick/error.hpp"
#include "tarnwick/pages.hpp"

namespace {

void Expect(const std::function<void()>& f) {
  try {
    f();
  } catch (const tarnwick::RuntimeError& e) {
    if (e.Source() != "tarnwick.pages" || (e.Number() != 481 && e.Number() != 5)) std::abort();
  }
}

std::filesystem::path Target() {
  static const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("tw_fuzz_pages_" + std::to_string(::getpid()) + ".pdf");
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> image(data, size);
  Expect([&] {
    const auto pages = tarnwick::pages::ReadPages(image, "document 1");
    std::uint64_t pixels = 0;
    for (std::uint32_t page = 1; page <= pages.size() && page <= 4; ++page) {
      const std::uint64_t n = std::uint64_t{pages[page - 1].width} * pages[page - 1].height;
      pixels += n;
      if (n > 1'000'000) continue;
      Expect([&] { tarnwick::pages::RenderPng(image, "document 1", page); });
      Expect([&] { tarnwick::pages::RenderPng(image, "document 1", page, 37); });
    }
    if (pixels > 1'000'000 || pages.size() > 4) return;
    Expect([&] { tarnwick::pages::WritePdf(image, "document 1", Target()); });
    std::error_code ec;
    std::filesystem::remove(Target(), ec);
  });
  return 0;
}
