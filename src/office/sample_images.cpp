// The sample office's scanned pages: small bilevel TIFF images of a few
// documents, and the TIFF writer the tests use too.
#include "office/sample_detail.hpp"

namespace tarnwick::office::detail {
namespace sample {

std::vector<std::int64_t> SampleOffice::ImageDocuments(std::int64_t count) {
  std::vector<std::int64_t> ids;
  const std::int64_t k = std::min(count, kImages);
  for (std::int64_t j = 0; j < k; ++j) ids.push_back(j * count / k + 1);
  return ids;
}

void SampleOffice::MakeImages(std::int64_t count) {
  Statement insert(db_,
                   "insert into DOCUMENT_IMAGE (document_id, doc_page_ct, alt_doc_page_ct, doc_image, alt_doc_image, "
                   "doc_image_sz, alt_doc_image_sz, orig_date, update_date) "
                   "select ?1, ?2, ?3, ?4, ?5, ?6, ?7, orig_date, update_date from ref_document where unique_id = ?1");
  const std::vector<std::int64_t> ids = ImageDocuments(count);
  const auto k = static_cast<std::int64_t>(ids.size());
  for (std::int64_t j = 0; j < k; ++j) {
    const std::int64_t id = ids[static_cast<std::size_t>(j)];
    const int pages = random_.Between(1, 3);
    const std::string image = MakeSampleTiff(pages, random_.Next());
    insert.Bind(1, id).Bind(2, pages);
    if (j % 3 == 1) {
      const int altPages = random_.Between(1, 2);
      const std::string alt = MakeSampleTiff(altPages, random_.Next());
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

namespace {

void PutU16(std::string& out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<char>(v & 0xFF);
  out[at + 1] = static_cast<char>(v >> 8);
}
void PutU32(std::string& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// The page's size and layout: little-endian baseline bilevel TIFF,
// uncompressed, one strip per page, 0 = white.
constexpr std::uint32_t kWidth = 96, kHeight = 64, kRowBytes = kWidth / 8;
constexpr std::uint32_t kDataBytes = kRowBytes * kHeight;
constexpr std::uint16_t kEntries = 12;
constexpr std::uint32_t kIfdBytes = 2 + 12 * kEntries + 4;

// The pixels of one page: a frame and lines of "text", dashes of random length.
std::string DrawPage(sample::Random& random) {
  std::string pixels(kDataBytes, '\0');
  auto set = [&](std::uint32_t x, std::uint32_t y) {
    pixels[y * kRowBytes + x / 8] = static_cast<char>(pixels[y * kRowBytes + x / 8] | (0x80 >> (x % 8)));
  };
  for (std::uint32_t x = 0; x < kWidth; ++x) {
    set(x, 0);
    set(x, kHeight - 1);
  }
  for (std::uint32_t y = 0; y < kHeight; ++y) {
    set(0, y);
    set(kWidth - 1, y);
  }
  for (std::uint32_t y = 8; y + 8 < kHeight; y += 6) {
    std::uint32_t x = 6;
    while (x + 4 < kWidth - 6) {
      const auto len = static_cast<std::uint32_t>(random.Between(2, 9));
      for (std::uint32_t i = 0; i < len && x + i < kWidth - 6; ++i) {
        set(x + i, y);
        set(x + i, y + 1);
      }
      x += len + static_cast<std::uint32_t>(random.Between(2, 4));
    }
  }
  return pixels;
}

// Appends the image file directory of a page whose pixels stand at dataAt
// and its resolution at rationalAt. Returns where the offset of the next
// directory goes (0 unless another page follows).
std::size_t AppendDirectory(std::string& out, std::uint32_t dataAt, std::uint32_t rationalAt) {
  const auto ifdAt = static_cast<std::uint32_t>(out.size());
  out.append(kIfdBytes, '\0');
  PutU16(out, ifdAt, kEntries);
  std::size_t at = ifdAt + 2;
  auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t value) {
    PutU16(out, at, tag);
    PutU16(out, at + 2, type);
    PutU32(out, at + 4, 1);
    if (type == 3) {
      PutU16(out, at + 8, static_cast<std::uint16_t>(value));
    } else {
      PutU32(out, at + 8, value);
    }
    at += 12;
  };
  constexpr std::uint16_t kShort = 3, kLong = 4, kRational = 5;
  entry(256, kShort, kWidth);             // ImageWidth
  entry(257, kShort, kHeight);            // ImageLength
  entry(258, kShort, 1);                  // BitsPerSample
  entry(259, kShort, 1);                  // Compression: none
  entry(262, kShort, 0);                  // PhotometricInterpretation: WhiteIsZero
  entry(273, kLong, dataAt);              // StripOffsets
  entry(277, kShort, 1);                  // SamplesPerPixel
  entry(278, kShort, kHeight);            // RowsPerStrip
  entry(279, kLong, kDataBytes);          // StripByteCounts
  entry(282, kRational, rationalAt);      // XResolution
  entry(283, kRational, rationalAt + 8);  // YResolution
  entry(296, kShort, 2);                  // ResolutionUnit: inch
  return at;
}

}  // namespace

std::string MakeSampleTiff(int pages, std::uint64_t seed) {
  // Each page: pixel data, two resolution rationals, the directory.
  sample::Random random(seed);
  std::string out(8, '\0');
  out[0] = 'I';
  out[1] = 'I';
  PutU16(out, 2, 42);
  std::size_t previousNext = 4;  // where the offset of the next directory goes
  for (int page = 0; page < std::max(pages, 1); ++page) {
    const auto dataAt = static_cast<std::uint32_t>(out.size());
    out += DrawPage(random);
    const auto rationalAt = static_cast<std::uint32_t>(out.size());
    out.append(16, '\0');
    PutU32(out, rationalAt, 200);
    PutU32(out, rationalAt + 4, 1);
    PutU32(out, rationalAt + 8, 200);
    PutU32(out, rationalAt + 12, 1);
    PutU32(out, previousNext, static_cast<std::uint32_t>(out.size()));
    previousNext = AppendDirectory(out, dataAt, rationalAt);
  }
  return out;
}

}  // namespace tarnwick::office::detail
