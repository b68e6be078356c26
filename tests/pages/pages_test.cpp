// The page reader: pages written in each compression come back pixel for
// pixel, thumbnails keep the page's shape and tone, the PDF holds every page
// at the size its resolution gives, and every kind of bad image is refused
// with an error naming the document and the page, leaving no file behind.
#include <png.h>
#include <tiffio.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <tuple>

#include "office/internal.hpp"
#include "support/office_files.hpp"
#include "support/raises.hpp"
#include "support/temp_dir.hpp"
#include "tarnwick/pages.hpp"

namespace tarnwick::test {
namespace {

using office::detail::DrawScanPage;
using office::detail::ScanPage;

Bytes AsBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A PNG read back as 8-bit grey or RGB, samples as many as the page has.
std::vector<std::uint8_t> Decode(const Bytes& png, int samples, std::uint32_t& width, std::uint32_t& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  EXPECT_NE(png_image_begin_read_from_memory(&image, png.data(), png.size()), 0) << image.message;
  image.format = samples == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
  EXPECT_NE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr), 0) << image.message;
  std::tie(width, height) = std::tuple(image.width, image.height);
  return pixels;
}

double Mean(const std::vector<std::uint8_t>& v) {
  double sum = 0;
  for (auto b : v) sum += b;
  return sum / static_cast<double>(v.size());
}

// Little-endian fields of a TIFF (the scanner's TIFFs are little-endian).
std::uint32_t U32(const Bytes& b, std::size_t at) { return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t{b[at + 3]} << 24; }
void PutU32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Sets a tag of the first page to one value of type LONG (4) or SHORT (3).
Bytes WithTag(Bytes b, std::uint16_t tag, std::uint16_t type, std::uint32_t value) {
  const std::size_t ifd = U32(b, 4);
  for (std::size_t e = ifd + 2; e < ifd + 2 + 12u * (b[ifd] | b[ifd + 1] << 8); e += 12) {
    if ((b[e] | b[e + 1] << 8) != tag) continue;
    b[e + 2] = static_cast<std::uint8_t>(type);
    PutU32(b, e + 4, 1);
    PutU32(b, e + 8, value);
  }
  return b;
}

// Points the last page's link to a next page at `offset`.
Bytes WithLastLink(Bytes b, std::uint32_t offset) {
  std::size_t link = 4;
  while (U32(b, link) != 0) link = U32(b, link) + 2 + 12u * (b[U32(b, link)] | b[U32(b, link) + 1] << 8);
  PutU32(b, link, offset);
  return b;
}

// A PNG whose header says width x height, its checksum made right again.
Bytes PngSaying(Bytes b, std::uint32_t width, std::uint32_t height) {
  for (int i = 0; i < 4; ++i) {
    b[16 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
    b[20 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
  }
  const auto crc = static_cast<std::uint32_t>(crc32(0, b.data() + 12, 17));
  for (int i = 0; i < 4; ++i) b[29 + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
  return b;
}

TEST(Pages, EachCompressionComesBackPixelForPixelAndThumbnailsKeepShapeAndTone) {
  struct Case {
    std::uint16_t compression;
    int samples = 1;
    bool bilevel = false, png = false;
    int tolerance = 0;  // JPEG is lossy
    std::string name;
  };
  const Case cases[] = {
      {.compression = COMPRESSION_NONE, .bilevel = true, .name = "none"},
      {.compression = COMPRESSION_CCITTFAX3, .bilevel = true, .name = "CCITT Group 3"},
      {.compression = COMPRESSION_CCITTFAX4, .bilevel = true, .name = "CCITT Group 4"},
      {.compression = COMPRESSION_PACKBITS, .bilevel = true, .name = "PackBits"},
      {.compression = COMPRESSION_LZW, .name = "LZW"},
      {.compression = COMPRESSION_LZW, .samples = 3, .name = "LZW"},
      {.compression = COMPRESSION_ADOBE_DEFLATE, .samples = 3, .name = "Deflate"},
      {.compression = COMPRESSION_JPEG, .tolerance = 48, .name = "JPEG"},
      {.compression = COMPRESSION_JPEG, .samples = 3, .tolerance = 80, .name = "JPEG"},
      {.compression = 0, .png = true, .name = "PNG"},
      {.compression = 0, .samples = 3, .png = true, .name = "PNG"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name + (c.samples == 3 ? " colour" : c.bilevel ? " bilevel" : " grey"));
    // Widths that are not a multiple of 8 and an odd height catch row padding.
    std::vector<ScanPage> written{DrawScanPage(123, 77, c.samples, c.bilevel, 1),
                                  DrawScanPage(61, 90, c.samples, c.bilevel, 2)};
    written[1].dpi = 300;
    if (c.png) written.resize(1);
    const Bytes image = AsBytes(c.png ? office::detail::WriteScanPng(written[0])
                                      : office::detail::WriteScanTiff(written, c.compression));
    const auto listed = pages::ReadPages(image, "document 9");
    ASSERT_EQ(listed.size(), written.size());
    for (std::size_t p = 0; p < written.size(); ++p) {
      const ScanPage& page = written[p];
      EXPECT_EQ(listed[p].compression, c.name);
      EXPECT_EQ(listed[p].kind, c.bilevel ? pages::PageKind::Bilevel : c.samples == 1 ? pages::PageKind::Grey : pages::PageKind::Colour);
      EXPECT_EQ(std::tuple(listed[p].width, listed[p].height, listed[p].xDpi), std::tuple(page.width, page.height, c.png ? 0.0 : page.dpi));
      std::uint32_t w = 0, h = 0;
      const auto full = Decode(pages::RenderPng(image, "document 9", static_cast<std::uint32_t>(p + 1)), c.samples, w, h);
      ASSERT_EQ(std::tuple(w, h), std::tuple(page.width, page.height));
      int worst = 0;
      for (std::size_t i = 0; i < full.size(); ++i) worst = std::max(worst, std::abs(full[i] - page.pixels[i]));
      EXPECT_LE(worst, c.tolerance) << "page " << p + 1;
      // A thumbnail a third as wide: the page's shape, and its ink in the same proportion.
      const auto thumb = Decode(pages::RenderPng(image, "document 9", static_cast<std::uint32_t>(p + 1), page.width / 3), c.samples, w, h);
      EXPECT_EQ(std::tuple(w, h), std::tuple(page.width / 3, (page.height * (page.width / 3) + page.width / 2) / page.width));
      EXPECT_NEAR(Mean(thumb), Mean(full), 2.0);
    }
  }
}

// Layouts libtiff cannot hand over a scanline at a time (tiles, 16-bit
// samples) go through its RGBA reader, and palette pages through their
// colour map; each must come back just the same.
TEST(Pages, TiledSixteenBitAndPalettePagesComeBackPixelForPixel) {
  TempDir dir;
  enum Layout { Tiled, SixteenBit, Palette };
  for (const Layout layout : {Tiled, SixteenBit, Palette}) {
    SCOPED_TRACE(layout);
    const ScanPage page = DrawScanPage(50, 40, layout == Tiled ? 3 : 1, false, 4);
    std::vector<std::uint8_t> expected = page.pixels;
    TIFF* tiff = TIFFOpen(dir.File("page.tif").c_str(), "w");
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, page.width);
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, page.height);
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, layout == SixteenBit ? 16 : 8);
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, page.samples);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, layout == Tiled ? PHOTOMETRIC_RGB : layout == Palette ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
    if (layout == Tiled) {
      TIFFSetField(tiff, TIFFTAG_TILEWIDTH, 16);
      TIFFSetField(tiff, TIFFTAG_TILELENGTH, 16);
      std::vector<std::uint8_t> tile(16 * 16 * 3);
      for (std::uint32_t ty = 0; ty < page.height; ty += 16) {
        for (std::uint32_t tx = 0; tx < page.width; tx += 16) {
          for (std::uint32_t i = 0; i < tile.size(); ++i) {
            const std::uint32_t x = tx + i / 3 % 16, y = ty + i / 48;
            tile[i] = x < page.width && y < page.height ? page.pixels[(y * page.width + x) * 3 + i % 3] : 0;
          }
          TIFFWriteTile(tiff, tile.data(), tx, ty, 0, 0);
        }
      }
    } else {
      // The palette maps index v to the colour (v, 255 - v, v).
      std::vector<std::uint16_t> up(256), down(256), row(page.width);
      for (std::uint32_t v = 0; v < 256; ++v) up[v] = static_cast<std::uint16_t>(v * 257), down[v] = static_cast<std::uint16_t>((255 - v) * 257);
      if (layout == Palette) {
        TIFFSetField(tiff, TIFFTAG_COLORMAP, up.data(), down.data(), up.data());
        expected.clear();
        for (const std::uint8_t v : page.pixels) expected.insert(expected.end(), {v, static_cast<std::uint8_t>(255 - v), v});
      }
      for (std::uint32_t y = 0; y < page.height; ++y) {
        const std::uint8_t* pixels = page.pixels.data() + y * page.width;
        for (std::uint32_t x = 0; x < page.width; ++x) row[x] = up[pixels[x]];
        TIFFWriteScanline(tiff, layout == Palette ? static_cast<void*>(const_cast<std::uint8_t*>(pixels)) : row.data(), y, 0);
      }
    }
    TIFFClose(tiff);
    std::uint32_t w = 0, h = 0;
    const Bytes png = pages::RenderPng(AsBytes(ReadFile(dir.File("page.tif"))), "document 9", 1);
    EXPECT_EQ(Decode(png, layout == SixteenBit ? 1 : 3, w, h), expected);
  }
}

TEST(Pages, ThePdfHoldsEveryPageInOrderAtTheSizeItsResolutionGives) {
  TempDir dir;
  // A bilevel fax page, a grey page and a colour page at their own resolutions.
  std::vector<ScanPage> written{DrawScanPage(300, 200, 1, true, 1), DrawScanPage(170, 220, 1, false, 2),
                                DrawScanPage(200, 100, 3, false, 3)};
  for (std::size_t i = 0; i < 3; ++i) written[i].dpi = std::array{100, 20, 72}[i];
  const Bytes image = AsBytes(office::detail::WriteScanTiff(written, COMPRESSION_LZW));
  const std::string pdf = dir.File("filing.pdf");
  pages::WritePdf(image, "document 9", pdf);
  // The bilevel page is embedded as fax data, the others as Deflate.
  const std::string info = RunCommand("pdfinfo -f 1 -l 3 '" + pdf + "'; pdfimages -list '" + pdf + "'").out;
  for (const char* says : {"Pages:           3", "Page    1 size:  216 x 144 pts", "Page    2 size:  612 x 792 pts (letter)",
                           "Page    3 size:  200 x 100 pts", "300   200  gray    1   1  ccitt",
                           "170   220  gray    1   8  image", "200   100  rgb     3   8  image"})
    EXPECT_NE(info.find(says), std::string::npos) << says << " not in:\n" << info;
  // The fax page taken out of the PDF again is the page that was written.
  RunCommand("pdfimages -f 1 -l 1 '" + pdf + "' '" + dir.File("back") + "'");
  const std::string pbm = ReadFile(dir.File("back-000.pbm"));
  ASSERT_EQ(pbm.substr(0, 11), "P4\n300 200\n");
  std::size_t differ = 0;
  for (std::size_t i = 0; i < written[0].pixels.size(); ++i) {
    const bool black = (static_cast<std::uint8_t>(pbm[11 + (i / 300) * 38 + (i % 300) / 8]) >> (7 - i % 300 % 8)) & 1;
    differ += black != (written[0].pixels[i] < 128);
  }
  EXPECT_EQ(differ, 0u);
  auto entries = dir.Entries();
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"back-000.pbm", "filing.pdf"})) << "no temporary file left";
}

TEST(Pages, BadImagesAreRefusedNamingTheDocumentAndThePageAndLeaveNoFile) {
  const std::vector<ScanPage> two{DrawScanPage(64, 40, 1, true, 1), DrawScanPage(64, 40, 1, true, 2)};
  const Bytes fax = AsBytes(office::detail::WriteScanTiff(two, COMPRESSION_CCITTFAX4));
  const Bytes plain = AsBytes(office::detail::WriteScanTiff(two, COMPRESSION_NONE));
  const Bytes png = AsBytes(office::detail::WriteScanPng(DrawScanPage(64, 40, 3, false, 3)));
  Bytes noisyFax = fax, badCrc = png;
  for (std::size_t i = 8; i < U32(fax, 4); ++i) noisyFax[i] = static_cast<std::uint8_t>(i * 37);  // the first page's fax data
  badCrc[30] ^= 0xFF;
  struct Case {
    std::string what;
    Bytes image;
    bool listable;       // ReadPages lists the pages; rendering page 1 and the PDF still fail
    std::string where, says;
  };
  const Case cases[] = {
      {"zero bytes", {}, false, "document 9:", "empty (0 bytes)"},
      {"not an image", AsBytes("GIF89a and the rest"), false, "document 9:", "neither TIFF nor PNG"},
      {"only a TIFF header", Bytes(fax.begin(), fax.begin() + 8), false, "document 9, page 1:", "directory"},
      {"truncated TIFF", Bytes(fax.begin(), fax.begin() + static_cast<std::ptrdiff_t>(fax.size() / 2)), false, "document 9", ""},
      {"corrupt fax data", noisyFax, true, "document 9, page 1:", "row"},
      {"strip beyond the end", WithTag(plain, TIFFTAG_STRIPOFFSETS, 4, 1u << 30), true, "document 9, page 1:", "row 1"},
      {"page count that lies", WithLastLink(fax, static_cast<std::uint32_t>(fax.size() + 4096)), false, "document 9, page 3:", "directory"},
      {"100000 x 100000 TIFF page", WithTag(WithTag(fax, TIFFTAG_IMAGEWIDTH, 4, 100000), TIFFTAG_IMAGELENGTH, 4, 100000),
       true, "document 9, page 1:", "100000 x 100000 pixels, more than the 70000000"},
      {"unknown compression", WithTag(fax, TIFFTAG_COMPRESSION, 3, 60000), true, "document 9, page 1:", "compression 60000"},
      {"PNG bomb", PngSaying(png, 100000, 100000), true, "document 9, page 1:", "100000 x 100000 pixels"},
      {"truncated PNG", Bytes(png.begin(), png.end() - 40), true, "document 9, page 1:", "ends early"},
      {"PNG with a bad checksum", badCrc, false, "document 9, page 1:", "CRC"},
  };
  TempDir dir;
  const std::string pdf = dir.File("filing.pdf");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto expectRefused = [&](const std::function<void()>& body) {
        const std::string text = ExpectRaises(481, body).Description();
      EXPECT_EQ(text.rfind(c.where, 0), 0u) << text;
      EXPECT_NE(text.find(c.says), std::string::npos) << text;
    };
    if (c.listable) {
      EXPECT_FALSE(pages::ReadPages(c.image, "document 9").empty());
    } else {
      expectRefused([&] { pages::ReadPages(c.image, "document 9"); });
    }
    expectRefused([&] {
      for (std::uint32_t page = 1; page <= 2; ++page) pages::RenderPng(c.image, "document 9", page);
    });
    expectRefused([&] { pages::WritePdf(c.image, "document 9", pdf); });
    EXPECT_TRUE(dir.Entries().empty()) << "left behind: " << dir.Entries().front();
  }
  // A resolution past what PNG can hold is left out of the picture, and the
  // PDF, whose page size it would set, refuses it.
  std::vector<ScanPage> absurd{DrawScanPage(64, 40, 1, true, 1)};
  absurd[0].dpi = 1e9;
  const Bytes tiny = AsBytes(office::detail::WriteScanTiff(absurd, COMPRESSION_CCITTFAX4));
  std::uint32_t w = 0, h = 0;
  Decode(pages::RenderPng(tiny, "document 9", 1), 1, w, h);
  EXPECT_EQ(std::tuple(w, h), std::tuple(64u, 40u));
  const std::string why = ExpectRaises(481, [&] { pages::WritePdf(tiny, "document 9", pdf); }).Description();
  EXPECT_NE(why.find("outside what a PDF page may be"), std::string::npos) << why;
  // Pages linked in a loop are read once each.
  EXPECT_EQ(pages::ReadPages(WithLastLink(fax, U32(fax, 4)), "document 9").size(), 2u);
  // What the caller asks for that the image does not have.
  ExpectRaises(5, [&] { pages::RenderPng(fax, "document 9", 3); });
  ExpectRaises(5, [&] { pages::RenderPng(fax, "document 9", 1, 11'000'000); });
  ExpectRaises(76, [&] { pages::WritePdf(fax, "document 9", dir.File("no/such/folder/filing.pdf")); });
}

}  // namespace
}  // namespace tarnwick::test
