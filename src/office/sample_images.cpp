// The sample office's scanned pages: a few documents carry images in each
// way the office receives them (TIFF uncompressed, CCITT Group 4, LZW,
// PackBits, JPEG and Deflate; bilevel, grey and colour) and one a PNG, so
// that every path of the page reader runs on the demo data.
#include <tiffio.h>

#include "office/sample_detail.hpp"

namespace tarnwick::office::detail {
namespace sample {

std::vector<std::int64_t> SampleOffice::ImageDocuments(std::int64_t count) {
  std::vector<std::int64_t> ids;
  const std::int64_t k = std::min(count, kImages);
  for (std::int64_t j = 0; j < k; ++j) ids.push_back(j * count / k + 1);
  return ids;
}

namespace {

struct ScanStyle {
  std::uint16_t compression;  // libtiff's COMPRESSION_ value; ignored for PNG
  int samples;
  bool bilevel;
  bool png;
};

// Letter-size pages at 40 dpi: big enough for a thumbnail, small enough to
// keep the sample office quick to build.
constexpr std::uint32_t kPageWidth = 340, kPageHeight = 440;
constexpr double kPageDpi = 40;

constexpr std::array<ScanStyle, 6> kStyles = {{
    {COMPRESSION_NONE, 1, true, false},
    {COMPRESSION_CCITTFAX4, 1, true, false},
    {COMPRESSION_LZW, 1, false, false},
    {COMPRESSION_PACKBITS, 1, true, false},
    {COMPRESSION_JPEG, 3, false, false},
    {COMPRESSION_ADOBE_DEFLATE, 3, false, true},
}};

// The image of `pages` pages in one style; only the first document of the
// Deflate style gets a PNG instead (a PNG holds one page).
std::string Scan(const ScanStyle& style, int pages, bool png, Random& random) {
  std::vector<ScanPage> drawn;
  for (int p = 0; p < (png ? 1 : pages); ++p) {
    drawn.push_back(DrawScanPage(kPageWidth, kPageHeight, style.samples, style.bilevel, random.Next()));
    drawn.back().dpi = kPageDpi;
  }
  return png ? WriteScanPng(drawn.front()) : WriteScanTiff(drawn, style.compression);
}

}  // namespace

void SampleOffice::MakeImages(std::int64_t count) {
  Statement insert(db_,
                   "insert into DOCUMENT_IMAGE (document_id, doc_page_ct, alt_doc_page_ct, doc_image, alt_doc_image, "
                   "doc_image_sz, alt_doc_image_sz, orig_date, update_date) "
                   "select ?1, ?2, ?3, ?4, ?5, ?6, ?7, orig_date, update_date from ref_document where unique_id = ?1");
  const std::vector<std::int64_t> ids = ImageDocuments(count);
  const auto k = static_cast<std::int64_t>(ids.size());
  for (std::int64_t j = 0; j < k; ++j) {
    const std::int64_t id = ids[static_cast<std::size_t>(j)];
    const ScanStyle& style = kStyles[static_cast<std::size_t>(j) % kStyles.size()];
    const bool png = style.png && j < static_cast<std::int64_t>(kStyles.size());
    const int pages = png ? 1 : random_.Between(1, 3);
    const std::string image = Scan(style, pages, png, random_);
    insert.Bind(1, id).Bind(2, pages);
    if (j % 3 == 1) {
      const int altPages = random_.Between(1, 2);
      const std::string alt = Scan(kStyles[1], altPages, false, random_);
      insert.Bind(3, altPages).BindBlob(5, alt.data(), alt.size()).Bind(7, static_cast<std::int64_t>(alt.size()));
    } else {
      insert.BindNull(3).BindNull(5).BindNull(7);
    }
    insert.BindBlob(4, image.data(), image.size()).Bind(6, static_cast<std::int64_t>(image.size()));
    insert.Run();
    ++counts_.images;
    Report("images", j + 1, k);
  }
}

}  // namespace sample
}  // namespace tarnwick::office::detail
