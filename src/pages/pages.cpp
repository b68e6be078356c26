// Opening a stored image by its first bytes, listing its pages, and the
// errors of the page readers.
#include <cstring>

#include "pages/source.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::pages {
namespace detail {

void Fail(const std::string& name, std::size_t page, const std::string& what, std::int32_t number) {
  const std::string where = page == 0 ? name : name + ", page " + std::to_string(page);
  throw RuntimeError(number, "tarnwick.pages", where + ": " + what);
}

void CheckPageSize(const std::string& name, std::size_t page, std::uint64_t width, std::uint64_t height) {
  if (width == 0 || height == 0) Fail(name, page, "the page has no pixels");
  // Neither factor exceeds 2^32, so the product cannot overflow.
  if (width * height > kMaxPagePixels) {
    Fail(name, page,
         "the page is " + std::to_string(width) + " x " + std::to_string(height) + " pixels, more than the " +
             std::to_string(kMaxPagePixels) + " a page may have");
  }
}

std::unique_ptr<ImageSource> OpenImage(std::span<const std::uint8_t> image, const std::string& name) {
  static constexpr std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  static constexpr std::uint8_t kTiffLittle[4] = {'I', 'I', 42, 0}, kTiffBig[4] = {'M', 'M', 0, 42};
  static constexpr std::uint8_t kBigTiffLittle[4] = {'I', 'I', 43, 0}, kBigTiffBig[4] = {'M', 'M', 0, 43};
  if (image.empty()) Fail(name, 0, "the stored image is empty (0 bytes)");
  auto starts = [&](const std::uint8_t* magic, std::size_t n) {
    return image.size() >= n && std::memcmp(image.data(), magic, n) == 0;
  };
  if (starts(kPng, 8)) return OpenPng(image, name);
  if (starts(kTiffLittle, 4) || starts(kTiffBig, 4) || starts(kBigTiffLittle, 4) || starts(kBigTiffBig, 4)) {
    return OpenTiff(image, name);
  }
  Fail(name, 0, "the stored image is neither TIFF nor PNG (" + std::to_string(image.size()) + " bytes)");
}

}  // namespace detail

std::vector<PageInfo> ReadPages(std::span<const std::uint8_t> image, const std::string& name) {
  const auto source = detail::OpenImage(image, name);
  std::vector<PageInfo> pages;
  pages.reserve(source->PageCount());
  for (std::size_t page = 1; page <= source->PageCount(); ++page) pages.push_back(source->Info(page));
  return pages;
}

}  // namespace tarnwick::pages
