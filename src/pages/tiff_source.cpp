// TIFF pages through libtiff, read from the stored bytes in place. Pages
// that libtiff can hand over a scanline at a time (bilevel, 8-bit grey, 8-bit
// RGB, 8-bit palette, JPEG as RGB; in strips) are read that way; the rest
// (tiles, other bit depths, CMYK, separate planes, ...) through libtiff's
// RGBA reader, a strip or a row of tiles at a time. libtiff's own messages
// are collected for the error description instead of being printed.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <vector>

#include "pages/source.hpp"

namespace tarnwick::pages::detail {
namespace {

// The most libtiff may allocate in one piece: a decoded strip of the largest
// page as RGBA, with room to spare.
constexpr tmsize_t kMaxTiffAlloc = static_cast<tmsize_t>(kMaxPagePixels * 4 + (64 << 20));

struct Memory {
  std::span<const std::uint8_t> bytes;
  std::uint64_t at = 0;
};

tmsize_t ReadProc(thandle_t h, void* buffer, tmsize_t size) {
  auto* m = static_cast<Memory*>(h);
  if (size < 0 || m->at >= m->bytes.size()) return 0;
  const auto n = std::min<std::uint64_t>(static_cast<std::uint64_t>(size), m->bytes.size() - m->at);
  std::memcpy(buffer, m->bytes.data() + m->at, n);
  m->at += n;
  return static_cast<tmsize_t>(n);
}
tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return 0; }
toff_t SeekProc(thandle_t h, toff_t offset, int whence) {
  auto* m = static_cast<Memory*>(h);
  const std::uint64_t base = whence == SEEK_CUR ? m->at : whence == SEEK_END ? m->bytes.size() : 0;
  m->at = base + offset;
  return m->at;
}
int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t h) { return static_cast<Memory*>(h)->bytes.size(); }
// The bytes are already in memory: libtiff reads its strips from them directly.
int MapProc(thandle_t h, void** base, toff_t* size) {
  auto* m = static_cast<Memory*>(h);
  *base = const_cast<std::uint8_t*>(m->bytes.data());
  *size = m->bytes.size();
  return 1;
}
void UnmapProc(thandle_t, void*, toff_t) {}

std::string CompressionName(std::uint16_t c) {
  switch (c) {
    case COMPRESSION_NONE: return "none";
    case COMPRESSION_CCITTRLE: return "CCITT modified Huffman";
    case COMPRESSION_CCITTFAX3: return "CCITT Group 3";
    case COMPRESSION_CCITTFAX4: return "CCITT Group 4";
    case COMPRESSION_LZW: return "LZW";
    case COMPRESSION_OJPEG: return "old-style JPEG";
    case COMPRESSION_JPEG: return "JPEG";
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE: return "Deflate";
    case COMPRESSION_PACKBITS: return "PackBits";
    case COMPRESSION_LZMA: return "LZMA";
    case COMPRESSION_ZSTD: return "Zstandard";
    case COMPRESSION_WEBP: return "WebP";
    default: return "compression " + std::to_string(c);
  }
}

class TiffSource;

// Rows handed over by TIFFReadScanline, turned into Bits, Grey or Rgb.
class ScanlineRows final : public PageRows {
 public:
  enum class Layout { Bits, InvertedBits, Grey, InvertedGrey, Rgb, Palette };
  ScanlineRows(TiffSource& source, std::size_t page, RowFormat format, Layout layout, std::uint32_t width,
               std::uint32_t height, std::uint16_t samples);
  const std::uint8_t* Next() override;

 private:
  TiffSource& source_;
  std::size_t page_;
  Layout layout_;
  std::uint16_t samples_;
  std::uint32_t row_ = 0;
  std::vector<std::uint8_t> raw_, out_;
  std::vector<std::uint16_t> red_, green_, blue_;
};

// Rows through libtiff's RGBA reader, a band of rows (a strip or a row of
// tiles) at a time.
class RgbaRows final : public PageRows {
 public:
  RgbaRows(TiffSource& source, std::size_t page, RowFormat format, std::uint32_t width, std::uint32_t height,
           std::uint32_t band);
  ~RgbaRows() override { TIFFRGBAImageEnd(&image_); }
  const std::uint8_t* Next() override;

 private:
  TiffSource& source_;
  std::size_t page_;
  TIFFRGBAImage image_{};
  std::uint32_t band_, bandStart_ = 0, row_ = 0;
  std::vector<std::uint32_t> raster_;
  std::vector<std::uint8_t> out_;
};

class TiffSource final : public ImageSource {
 public:
  TiffSource(std::span<const std::uint8_t> bytes, const std::string& name) : name_(name) {
    memory_.bytes = bytes;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxTiffAlloc);
    TIFFOpenOptionsSetErrorHandlerExtR(options, &TiffSource::OnError, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options, &TiffSource::OnWarning, this);
    tiff_.reset(TIFFClientOpenExt(name.c_str(), "r", &memory_, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc,
                                  MapProc, UnmapProc, options));
    TIFFOpenOptionsFree(options);
    // libtiff reads the first directory while it opens the image.
    if (tiff_ == nullptr) FailHere(1, "its directory cannot be read");
    // Count the pages by walking the chain of directories; a directory that
    // cannot be read is an error of its page, not the end of the document.
    pages_ = 1;
    for (;;) {
      messages_.clear();
      if (TIFFReadDirectory(Handle()) == 1) {
        ++pages_;
      } else if (!messages_.empty()) {
        FailHere(pages_ + 1, "its directory cannot be read");
      } else {
        break;
      }
    }
  }
  TiffSource(const TiffSource&) = delete;
  TiffSource& operator=(const TiffSource&) = delete;

  std::size_t PageCount() const override { return pages_; }

  PageInfo Info(std::size_t page) override {
    Select(page);
    PageInfo info;
    std::uint16_t bits = 1, samples = 1, photometric = PHOTOMETRIC_MINISWHITE, compression = COMPRESSION_NONE;
    std::uint16_t unit = RESUNIT_INCH;
    float x = 0, y = 0;
    if (TIFFGetField(Handle(), TIFFTAG_IMAGEWIDTH, &info.width) != 1 ||
        TIFFGetField(Handle(), TIFFTAG_IMAGELENGTH, &info.height) != 1) {
      FailHere(page, "the page gives no width or height");
    }
    TIFFGetFieldDefaulted(Handle(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(Handle(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(Handle(), TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(Handle(), TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(Handle(), TIFFTAG_RESOLUTIONUNIT, &unit);
    const bool grey = photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK;
    info.kind = grey && bits == 1 && samples == 1 ? PageKind::Bilevel : grey ? PageKind::Grey : PageKind::Colour;
    info.compression = CompressionName(compression);
    if (unit != RESUNIT_NONE && TIFFGetField(Handle(), TIFFTAG_XRESOLUTION, &x) == 1 &&
        TIFFGetField(Handle(), TIFFTAG_YRESOLUTION, &y) == 1 && x > 0 && y > 0) {
      const double perInch = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
      info.xDpi = x * perInch;
      info.yDpi = y * perInch;
    }
    return info;
  }

  std::unique_ptr<PageRows> Rows(std::size_t page) override {
    const PageInfo info = Info(page);
    CheckPageSize(name_, page, info.width, info.height);
    std::uint16_t compression = COMPRESSION_NONE, bits = 1, samples = 1, planar = PLANARCONFIG_CONTIG;
    std::uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    TIFFGetFieldDefaulted(Handle(), TIFFTAG_COMPRESSION, &compression);
    if (!TIFFIsCODECConfigured(compression)) FailHere(page, "its compression (" + info.compression + ") cannot be read");
    TIFFGetFieldDefaulted(Handle(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(Handle(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(Handle(), TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetField(Handle(), TIFFTAG_PHOTOMETRIC, &photometric);
    if (compression == COMPRESSION_JPEG && photometric == PHOTOMETRIC_YCBCR) {
      // libtiff's JPEG codec converts YCbCr to RGB itself, scanline by scanline.
      TIFFSetField(Handle(), TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
      photometric = PHOTOMETRIC_RGB;
    }
    const bool contiguous = samples == 1 || planar == PLANARCONFIG_CONTIG;
    const bool white0 = photometric == PHOTOMETRIC_MINISWHITE;
    using Layout = ScanlineRows::Layout;
    auto scanlines = [&](RowFormat format, Layout layout) {
      return std::make_unique<ScanlineRows>(*this, page, format, layout, info.width, info.height, samples);
    };
    if (!TIFFIsTiled(Handle()) && contiguous) {
      if (info.kind == PageKind::Bilevel) return scanlines(RowFormat::Bits, white0 ? Layout::InvertedBits : Layout::Bits);
      if (info.kind == PageKind::Grey && bits == 8) return scanlines(RowFormat::Grey, white0 ? Layout::InvertedGrey : Layout::Grey);
      if (photometric == PHOTOMETRIC_RGB && bits == 8 && samples >= 3) return scanlines(RowFormat::Rgb, Layout::Rgb);
      if (photometric == PHOTOMETRIC_PALETTE && bits == 8 && samples == 1) return scanlines(RowFormat::Rgb, Layout::Palette);
    }
    char why[1024] = "";
    if (TIFFRGBAImageOK(Handle(), why) != 1) FailHere(page, std::string("its pixels cannot be read: ") + why);
    std::uint32_t band = info.height;
    if (TIFFIsTiled(Handle())) {
      TIFFGetField(Handle(), TIFFTAG_TILELENGTH, &band);
    } else {
      TIFFGetFieldDefaulted(Handle(), TIFFTAG_ROWSPERSTRIP, &band);
    }
    band = std::clamp<std::uint32_t>(band, 1, info.height);
    return std::make_unique<RgbaRows>(*this, page, info.kind == PageKind::Colour ? RowFormat::Rgb : RowFormat::Grey,
                                      info.width, info.height, band);
  }

  TIFF* Handle() { return tiff_.get(); }
  // Raises naming the page, with what libtiff said about it.
  [[noreturn]] void FailHere(std::size_t page, const std::string& what) {
    Fail(name_, page, messages_.empty() ? what : what + " (" + messages_ + ")");
  }
  // Before reading pixels: from now on a warning counts too, since libtiff
  // warns, rather than fails, about damaged fax and JPEG data it reads on.
  void ClearMessages() {
    messages_.clear();
    decoding_ = true;
  }
  bool Complained() const { return !messages_.empty(); }

 private:
  void Select(std::size_t page) {
    if (page < 1 || page > pages_) Fail(name_, 0, "there is no page " + std::to_string(page));
    messages_.clear();
    decoding_ = false;
    if (TIFFCurrentDirectory(Handle()) + 1u != page && TIFFSetDirectory(Handle(), static_cast<tdir_t>(page - 1)) != 1) {
      FailHere(page, "its directory cannot be read");
    }
  }
  static void Collect(void* self, const char* module, const char* format, va_list args, bool error) {
    auto* source = static_cast<TiffSource*>(self);
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    // While directories are read, warnings are about tags the office does not use.
    if (!error && !source->decoding_) return;
    if (source->messages_.size() > 2000) return;
    if (!source->messages_.empty()) source->messages_ += "; ";
    source->messages_ += (module != nullptr && *module != '\0' ? std::string(module) + ": " : std::string()) + text;
  }
  static int OnError(TIFF*, void* self, const char* module, const char* format, va_list args) {
    Collect(self, module, format, args, true);
    return 1;
  }
  static int OnWarning(TIFF*, void* self, const char* module, const char* format, va_list args) {
    Collect(self, module, format, args, false);
    return 1;
  }

  std::string name_;
  Memory memory_;
  std::string messages_;  // before the handle: libtiff may still speak while it closes
  bool decoding_ = false;
  std::unique_ptr<TIFF, void (*)(TIFF*)> tiff_{nullptr, TIFFClose};
  std::size_t pages_ = 0;
};

ScanlineRows::ScanlineRows(TiffSource& source, std::size_t page, RowFormat format, Layout layout,
                           std::uint32_t width, std::uint32_t height, std::uint16_t samples)
    : PageRows(format, width, height), source_(source), page_(page), layout_(layout), samples_(samples) {
  const tmsize_t size = TIFFScanlineSize(source.Handle());
  if (size <= 0) source.FailHere(page, "its rows have no size");
  raw_.resize(static_cast<std::size_t>(size));
  out_.resize(RowBytes(format, width));
  if (layout == Layout::Palette) {
    std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (TIFFGetField(source.Handle(), TIFFTAG_COLORMAP, &r, &g, &b) != 1) source.FailHere(page, "its palette is missing");
    red_.assign(r, r + 256);
    green_.assign(g, g + 256);
    blue_.assign(b, b + 256);
  }
}

const std::uint8_t* ScanlineRows::Next() {
  source_.ClearMessages();
  if (row_ >= Height() || TIFFReadScanline(source_.Handle(), raw_.data(), row_, 0) != 1 || source_.Complained()) {
    source_.FailHere(page_, "row " + std::to_string(row_ + 1) + " cannot be read");
  }
  ++row_;
  const std::uint32_t w = Width();
  const std::uint8_t* in = raw_.data();
  std::uint8_t* out = out_.data();
  switch (layout_) {
    case Layout::Bits: return in;
    case Layout::InvertedBits:
      for (std::size_t i = 0; i < out_.size(); ++i) out[i] = static_cast<std::uint8_t>(~in[i]);
      break;
    case Layout::Grey:
    case Layout::InvertedGrey:
      for (std::uint32_t x = 0; x < w; ++x) {
        const std::uint8_t v = in[std::size_t{x} * samples_];
        out[x] = layout_ == Layout::Grey ? v : static_cast<std::uint8_t>(255 - v);
      }
      break;
    case Layout::Rgb:
      for (std::uint32_t x = 0; x < w; ++x) std::memcpy(out + 3 * std::size_t{x}, in + std::size_t{x} * samples_, 3);
      break;
    case Layout::Palette:
      for (std::uint32_t x = 0; x < w; ++x) {
        out[3 * x] = static_cast<std::uint8_t>(red_[in[x]] >> 8);
        out[3 * x + 1] = static_cast<std::uint8_t>(green_[in[x]] >> 8);
        out[3 * x + 2] = static_cast<std::uint8_t>(blue_[in[x]] >> 8);
      }
      break;
  }
  return out;
}

RgbaRows::RgbaRows(TiffSource& source, std::size_t page, RowFormat format, std::uint32_t width, std::uint32_t height,
                   std::uint32_t band)
    : PageRows(format, width, height), source_(source), page_(page), band_(band) {
  raster_.resize(std::size_t{width} * band);
  out_.resize(RowBytes(format, width));
  bandStart_ = height;  // no band read yet
  char why[1024] = "";
  source.ClearMessages();
  if (TIFFRGBAImageBegin(&image_, source.Handle(), 0, why) != 1) {
    source.FailHere(page, std::string("its pixels cannot be read: ") + why);
  }
  image_.req_orientation = ORIENTATION_TOPLEFT;
}

const std::uint8_t* RgbaRows::Next() {
  const std::uint32_t w = Width();
  if (row_ >= Height()) source_.FailHere(page_, "it has no row " + std::to_string(row_ + 1));
  if (row_ < bandStart_ || row_ >= bandStart_ + band_) {
    bandStart_ = row_;
    const std::uint32_t rows = std::min(band_, Height() - row_);
    image_.row_offset = static_cast<int>(row_);
    image_.col_offset = 0;
    source_.ClearMessages();
    if (TIFFRGBAImageGet(&image_, raster_.data(), w, rows) != 1 || source_.Complained()) {
      source_.FailHere(page_, "rows from " + std::to_string(row_ + 1) + " cannot be read");
    }
  }
  const std::uint32_t* in = raster_.data() + std::size_t{row_ - bandStart_} * w;
  ++row_;
  for (std::uint32_t x = 0; x < w; ++x) {
    if (Format() == RowFormat::Grey) {
      out_[x] = static_cast<std::uint8_t>(TIFFGetR(in[x]));
    } else {
      out_[3 * std::size_t{x}] = static_cast<std::uint8_t>(TIFFGetR(in[x]));
      out_[3 * std::size_t{x} + 1] = static_cast<std::uint8_t>(TIFFGetG(in[x]));
      out_[3 * std::size_t{x} + 2] = static_cast<std::uint8_t>(TIFFGetB(in[x]));
    }
  }
  return out_.data();
}

}  // namespace

std::unique_ptr<ImageSource> OpenTiff(std::span<const std::uint8_t> image, const std::string& name) {
  return std::make_unique<TiffSource>(image, name);
}

}  // namespace tarnwick::pages::detail
