// One page as PNG. At its own width the rows go from the reader to libpng as
// they come; at another width each output pixel is the average of the page's
// pixels it covers, computed while the rows are read, so only a row of the
// page and a row of the output are held at a time.
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "pages/source.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::pages {
namespace detail {
namespace {

// Output rows of a page scaled to width x height, Grey or Rgb.
class Scaler {
 public:
  Scaler(PageRows& in, std::uint32_t width, std::uint32_t height)
      : in_(in), channels_(in.Format() == RowFormat::Rgb ? 3 : 1), width_(width), height_(height) {
    // Output column x covers the page's columns [from_[x], to_[x]): at least
    // one, so that a page narrower than its output repeats its pixels.
    from_.resize(width);
    to_.resize(width);
    for (std::uint32_t x = 0; x < width; ++x) {
      from_[x] = static_cast<std::uint32_t>(std::uint64_t{x} * in.Width() / width);
      to_[x] = std::max(from_[x] + 1, static_cast<std::uint32_t>(std::uint64_t{x + 1} * in.Width() / width));
    }
    line_.resize(std::size_t{in.Width()} * channels_);
    sum_.resize(std::size_t{width} * channels_);
    out_.resize(std::size_t{width} * channels_);
  }
  RowFormat Format() const { return channels_ == 3 ? RowFormat::Rgb : RowFormat::Grey; }

  const std::uint8_t* Next() {
    const std::uint64_t oy = produced_++;
    const auto y0 = static_cast<std::int64_t>(oy * in_.Height() / height_);
    const std::int64_t y1 = std::max(y0 + 1, static_cast<std::int64_t>((oy + 1) * in_.Height() / height_));
    std::fill(sum_.begin(), sum_.end(), 0);
    // Each output row starts at or before the row after the last one read,
    // so the page is read once, top to bottom.
    for (std::int64_t y = y0; y < y1; ++y) {
      if (y > read_) Load();
      for (std::uint32_t x = 0; x < width_; ++x) {
        for (std::uint32_t c = 0; c < channels_; ++c) {
          std::uint64_t s = 0;
          for (std::uint32_t i = from_[x]; i < to_[x]; ++i) s += line_[std::size_t{i} * channels_ + c];
          sum_[std::size_t{x} * channels_ + c] += s;
        }
      }
    }
    for (std::uint32_t x = 0; x < width_; ++x) {
      const std::uint64_t n = std::uint64_t(to_[x] - from_[x]) * static_cast<std::uint64_t>(y1 - y0);
      for (std::uint32_t c = 0; c < channels_; ++c) {
        out_[std::size_t{x} * channels_ + c] = static_cast<std::uint8_t>((sum_[std::size_t{x} * channels_ + c] + n / 2) / n);
      }
    }
    return out_.data();
  }

 private:
  void Load() {
    const std::uint8_t* row = in_.Next();
    ++read_;
    if (in_.Format() == RowFormat::Bits) {
      for (std::uint32_t x = 0; x < in_.Width(); ++x) line_[x] = (row[x / 8] >> (7 - x % 8)) & 1 ? 255 : 0;
    } else {
      std::copy(row, row + line_.size(), line_.begin());
    }
  }

  PageRows& in_;
  std::uint32_t channels_, width_, height_;
  std::vector<std::uint32_t> from_, to_;
  std::vector<std::uint8_t> line_, out_;
  std::vector<std::uint64_t> sum_;
  std::uint64_t produced_ = 0;
  std::int64_t read_ = -1;
};

// A PNG written into memory. Each call into libpng returns false on its
// error (longjmp lands in the call, which holds nothing with a destructor).
class PngWriter {
  static constexpr double kMaxPerMeter = 2147483647.0;  // PNG's largest pixels per metre

 public:
  explicit PngWriter(Bytes& out) : out_(out) {
    png_ = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, &PngWriter::OnError, &PngWriter::OnWarning);
    if (png_ != nullptr) info_ = png_create_info_struct(png_);
  }
  ~PngWriter() { png_destroy_write_struct(&png_, &info_); }
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;

  bool Begin(std::uint32_t width, std::uint32_t height, RowFormat format, double xDpi, double yDpi) {
    if (png_ == nullptr || info_ == nullptr) return false;
    if (setjmp(png_jmpbuf(png_))) return false;
    png_set_write_fn(png_, this, &PngWriter::Write, nullptr);
    png_set_IHDR(png_, info_, width, height, format == RowFormat::Bits ? 1 : 8,
                 format == RowFormat::Rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // A resolution PNG cannot hold (a scanner's nonsense, or one scaled past
    // PNG's 31-bit limit) is left out rather than written wrong.
    const double xPerMeter = xDpi / 0.0254 + 0.5, yPerMeter = yDpi / 0.0254 + 0.5;
    if (xDpi > 0 && yDpi > 0 && xPerMeter <= kMaxPerMeter && yPerMeter <= kMaxPerMeter) {
      png_set_pHYs(png_, info_, static_cast<png_uint_32>(xPerMeter), static_cast<png_uint_32>(yPerMeter),
                   PNG_RESOLUTION_METER);
    }
    png_write_info(png_, info_);
    return true;
  }
  bool Row(const std::uint8_t* row) {
    if (setjmp(png_jmpbuf(png_))) return false;
    png_write_row(png_, row);
    return true;
  }
  bool End() {
    if (setjmp(png_jmpbuf(png_))) return false;
    png_write_end(png_, nullptr);
    return true;
  }
  const char* Message() const { return message_; }

 private:
  static void OnError(png_structp png, png_const_charp text) {
    auto* self = static_cast<PngWriter*>(png_get_error_ptr(png));
    std::snprintf(self->message_, sizeof self->message_, "%s", text);
    png_longjmp(png, 1);
  }
  static void OnWarning(png_structp, png_const_charp) {}
  static void Write(png_structp png, png_bytep data, size_t size) {
    auto* self = static_cast<PngWriter*>(png_get_io_ptr(png));
    self->out_.insert(self->out_.end(), data, data + size);
  }

  Bytes& out_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  char message_[256] = "cannot start libpng";
};

}  // namespace
}  // namespace detail

Bytes RenderPng(std::span<const std::uint8_t> image, const std::string& name, std::uint32_t page,
                std::uint32_t width) {
  using namespace detail;
  const auto source = OpenImage(image, name);
  if (page < 1 || page > source->PageCount()) {
    Fail(name, 0, "there is no page " + std::to_string(page) + "; the image has " +
                      std::to_string(source->PageCount()) + (source->PageCount() == 1 ? " page" : " pages"),
         err::kInvalidArgument);
  }
  const PageInfo info = source->Info(page);
  CheckPageSize(name, page, info.width, info.height);
  const std::uint32_t outWidth = width == 0 ? info.width : width;
  const std::uint64_t outHeight =
      std::max<std::uint64_t>(1, (std::uint64_t{info.height} * outWidth + info.width / 2) / info.width);
  if (outHeight > 0xFFFFFFFFu || std::uint64_t{outWidth} * outHeight > kMaxPagePixels) {
    Fail(name, page, "a picture " + std::to_string(outWidth) + " pixels wide would exceed the " +
                         std::to_string(kMaxPagePixels) + " pixels a page may have", err::kInvalidArgument);
  }
  const auto rows = source->Rows(page);
  const auto height = static_cast<std::uint32_t>(outHeight);
  const double scale = static_cast<double>(outWidth) / info.width;
  Bytes out;
  PngWriter writer(out);
  auto check = [&](bool ok) {
    if (!ok) Fail(name, page, std::string("the PNG cannot be written: ") + writer.Message());
  };
  if (outWidth == info.width) {
    check(writer.Begin(outWidth, rows->Height(), rows->Format(), info.xDpi, info.yDpi));
    for (std::uint32_t y = 0; y < rows->Height(); ++y) check(writer.Row(rows->Next()));
  } else {
    Scaler scaler(*rows, outWidth, height);
    check(writer.Begin(outWidth, height, scaler.Format(), info.xDpi * scale, info.yDpi * scale));
    for (std::uint32_t y = 0; y < height; ++y) check(writer.Row(scaler.Next()));
  }
  check(writer.End());
  return out;
}

}  // namespace tarnwick::pages
