// The sample office's scanner: pages of "text" drawn from a seed, stored as
// TIFF in any compression libtiff writes, or as PNG, the way the office's
// scanners and clerks hand them in.
#include <png.h>
#include <tiffio.h>

#include <algorithm>
#include <cstring>

#include "office/internal.hpp"
#include "office/sample_detail.hpp"

namespace tarnwick::office::detail {
namespace {

[[noreturn]] void ScanFails(const std::string& what) {
  throw Failure{OfficeStatus::DatabaseError, "a sample scan cannot be written: " + what};
}

// A TIFF being written into memory.
struct Sink {
  std::string bytes;
  std::uint64_t at = 0;
};

tmsize_t SinkRead(thandle_t h, void* out, tmsize_t size) {
  auto* s = static_cast<Sink*>(h);
  const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(size),
                                                                   s->at < s->bytes.size() ? s->bytes.size() - s->at : 0));
  std::memcpy(out, s->bytes.data() + s->at, n);
  s->at += n;
  return static_cast<tmsize_t>(n);
}
tmsize_t SinkWrite(thandle_t h, void* in, tmsize_t size) {
  auto* s = static_cast<Sink*>(h);
  const auto n = static_cast<std::size_t>(size);
  if (s->bytes.size() < s->at + n) s->bytes.resize(s->at + n);
  std::memcpy(s->bytes.data() + s->at, in, n);
  s->at += n;
  return size;
}
toff_t SinkSeek(thandle_t h, toff_t offset, int whence) {
  auto* s = static_cast<Sink*>(h);
  const std::uint64_t base = whence == SEEK_CUR ? s->at : whence == SEEK_END ? s->bytes.size() : 0;
  s->at = base + offset;
  return s->at;
}
int SinkClose(thandle_t) { return 0; }
toff_t SinkSize(thandle_t h) { return static_cast<Sink*>(h)->bytes.size(); }
int NoMap(thandle_t, void**, toff_t*) { return 0; }
void NoUnmap(thandle_t, void*, toff_t) {}

int Silent(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Sets the tags of one page: bilevel pages are 1 bit a pixel, 0 white (as
// fax and scanner TIFFs are); grey 8 bits; colour 8-bit RGB, or YCbCr when
// JPEG-compressed (as cameras and colour scanners write it).
void Describe(TIFF* tiff, const ScanPage& page, std::uint16_t compression, int number, int pages) {
  const bool colour = page.samples == 3;
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, page.bilevel ? 1 : 8);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, page.samples);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
  const std::uint16_t photometric = !colour                             ? (page.bilevel ? PHOTOMETRIC_MINISWHITE : PHOTOMETRIC_MINISBLACK)
                                    : compression == COMPRESSION_JPEG ? PHOTOMETRIC_YCBCR
                                                                        : PHOTOMETRIC_RGB;
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
  if (compression == COMPRESSION_JPEG) {
    TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, 75);
    if (colour) TIFFSetField(tiff, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
  }
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, compression == COMPRESSION_JPEG ? 16u : page.height);
  TIFFSetField(tiff, TIFFTAG_XRESOLUTION, static_cast<float>(page.dpi));
  TIFFSetField(tiff, TIFFTAG_YRESOLUTION, static_cast<float>(page.dpi));
  TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  if (pages > 1) {
    TIFFSetField(tiff, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
    TIFFSetField(tiff, TIFFTAG_PAGENUMBER, static_cast<std::uint16_t>(number), static_cast<std::uint16_t>(pages));
  }
}

}  // namespace

ScanPage DrawScanPage(std::uint32_t width, std::uint32_t height, int samples, bool bilevel, std::uint64_t seed) {
  sample::Random random(seed);
  ScanPage page{.width = width, .height = height, .samples = samples, .bilevel = bilevel, .dpi = 100, .pixels = {}};
  page.pixels.assign(std::size_t{width} * height * static_cast<std::size_t>(samples), 255);
  // Ink: black on a bilevel page, a dark grey or a dark colour otherwise.
  std::uint8_t ink[3] = {0, 0, 0};
  if (!bilevel) {
    for (int c = 0; c < samples; ++c) ink[c] = static_cast<std::uint8_t>(random.Between(0, 120));
  }
  auto set = [&](std::uint32_t x, std::uint32_t y) {
    for (int c = 0; c < samples; ++c) page.pixels[(std::size_t{y} * width + x) * static_cast<std::size_t>(samples) + static_cast<std::size_t>(c)] = ink[c];
  };
  for (std::uint32_t x = 0; x < width; ++x) {
    set(x, 0);
    set(x, height - 1);
  }
  for (std::uint32_t y = 0; y < height; ++y) {
    set(0, y);
    set(width - 1, y);
  }
  // Lines of "words": dashes of random length, two pixels high.
  const std::uint32_t margin = std::max<std::uint32_t>(width / 16, 3);
  for (std::uint32_t y = margin; y + margin < height; y += 7) {
    std::uint32_t x = margin;
    while (x + margin < width) {
      const auto len = static_cast<std::uint32_t>(random.Between(3, 24));
      for (std::uint32_t i = 0; i < len && x + i + margin < width; ++i) {
        set(x + i, y);
        set(x + i, y + 1);
      }
      x += len + static_cast<std::uint32_t>(random.Between(3, 6));
    }
  }
  return page;
}

std::string WriteScanTiff(const std::vector<ScanPage>& pages, std::uint16_t compression) {
  Sink sink;
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetErrorHandlerExtR(options, Silent, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, Silent, nullptr);
  std::unique_ptr<TIFF, void (*)(TIFF*)> tiff(
      TIFFClientOpenExt("scan", "w", &sink, SinkRead, SinkWrite, SinkSeek, SinkClose, SinkSize, NoMap, NoUnmap, options),
      TIFFClose);
  TIFFOpenOptionsFree(options);
  if (!tiff) ScanFails("libtiff cannot start a TIFF");
  std::vector<std::uint8_t> row;
  for (std::size_t p = 0; p < pages.size(); ++p) {
    const ScanPage& page = pages[p];
    Describe(tiff.get(), page, compression, static_cast<int>(p), static_cast<int>(pages.size()));
    const std::size_t stride = std::size_t{page.width} * static_cast<std::size_t>(page.samples);
    for (std::uint32_t y = 0; y < page.height; ++y) {
      const std::uint8_t* pixels = page.pixels.data() + stride * y;
      if (page.bilevel) {
        row.assign((page.width + 7) / 8, 0);
        for (std::uint32_t x = 0; x < page.width; ++x) {
          if (pixels[x] < 128) row[x / 8] = static_cast<std::uint8_t>(row[x / 8] | (0x80 >> (x % 8)));
        }
      } else {
        row.assign(pixels, pixels + stride);
      }
      if (TIFFWriteScanline(tiff.get(), row.data(), y, 0) != 1) ScanFails("libtiff refused a row");
    }
    if (TIFFWriteDirectory(tiff.get()) != 1) ScanFails("libtiff refused a page");
  }
  tiff.reset();
  return std::move(sink.bytes);
}

std::string WriteScanPng(const ScanPage& page) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = page.width;
  image.height = page.height;
  image.format = page.samples == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  png_alloc_size_t size = 0;
  if (png_image_write_get_memory_size(image, size, 0, page.pixels.data(), 0, nullptr) == 0) ScanFails(image.message);
  std::string out(size, '\0');
  if (png_image_write_to_memory(&image, out.data(), &size, 0, page.pixels.data(), 0, nullptr) == 0) {
    ScanFails(image.message);
  }
  out.resize(size);
  return out;
}

}  // namespace tarnwick::office::detail
