// What the page readers share: a stored image opened for reading (TIFF or
// PNG), its pages' rows read one at a time, and the errors that name the
// document and the page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "tarnwick/pages.hpp"

namespace tarnwick::pages::detail {

inline constexpr std::int32_t kInvalidPicture = 481;
inline constexpr std::int32_t kFileAccess = 75;

// Raises `number` with "<name>, page <page>: <what>", or "<name>: <what>"
// when page is 0 (the image as a whole).
[[noreturn]] void Fail(const std::string& name, std::size_t page, const std::string& what,
                       std::int32_t number = kInvalidPicture);

// How the rows of a page come: Bits is one bit a pixel, the first pixel in
// the high bit, 1 white (as a 1-bit grey PNG has them); Grey one byte a
// pixel; Rgb three.
enum class RowFormat { Bits, Grey, Rgb };

inline std::size_t RowBytes(RowFormat format, std::uint32_t width) {
  switch (format) {
    case RowFormat::Bits: return (std::size_t{width} + 7) / 8;
    case RowFormat::Grey: return width;
    case RowFormat::Rgb: return std::size_t{width} * 3;
  }
  return 0;
}

// The rows of one page, top first. Next raises 481 naming the page when the
// data is damaged; the row it returns lives until the next call.
class PageRows {
 public:
  PageRows(RowFormat format, std::uint32_t width, std::uint32_t height)
      : format_(format), width_(width), height_(height) {}
  virtual ~PageRows() = default;
  virtual const std::uint8_t* Next() = 0;
  RowFormat Format() const { return format_; }
  std::uint32_t Width() const { return width_; }
  std::uint32_t Height() const { return height_; }

 private:
  RowFormat format_;
  std::uint32_t width_, height_;
};

// A stored image opened for reading. The bytes must outlive it, and the rows
// of one page must be done with before another page's are asked for.
class ImageSource {
 public:
  virtual ~ImageSource() = default;
  virtual std::size_t PageCount() const = 0;
  // page counts from 1.
  virtual PageInfo Info(std::size_t page) = 0;
  virtual std::unique_ptr<PageRows> Rows(std::size_t page) = 0;
};

// Opens a TIFF or a PNG by its first bytes; anything else raises 481.
std::unique_ptr<ImageSource> OpenImage(std::span<const std::uint8_t> image, const std::string& name);
std::unique_ptr<ImageSource> OpenTiff(std::span<const std::uint8_t> image, const std::string& name);
std::unique_ptr<ImageSource> OpenPng(std::span<const std::uint8_t> image, const std::string& name);

// Raises 481 unless a page of width x height pixels may be decoded.
void CheckPageSize(const std::string& name, std::size_t page, std::uint64_t width, std::uint64_t height);

}  // namespace tarnwick::pages::detail
