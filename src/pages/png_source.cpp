// PNG pages (one a file) through libpng, read a row at a time. A PNG is a
// page: a 1-bit grey one is bilevel and its rows come as they are stored;
// the rest come as 8-bit grey or RGB (palettes expanded, 16 bits cut to 8,
// transparency dropped). An interlaced PNG has to be read whole before its
// first row is complete; the page-size limit bounds that too.
//
// libpng reports errors by longjmp: every call into it runs in a small
// function that holds nothing with a destructor, and libpng's message is
// kept for the error description instead of being printed.
#include <png.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "pages/source.hpp"

namespace tarnwick::pages::detail {
namespace {

// Ancillary chunks (text, colour profiles) may not inflate beyond this:
// a compressed text chunk is a classic way to make a small PNG eat memory.
constexpr png_alloc_size_t kMaxChunkBytes = 8 << 20;

class PngReader {
 public:
  explicit PngReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, &PngReader::OnError, &PngReader::OnWarning);
    if (png_ != nullptr) info_ = png_create_info_struct(png_);
  }
  ~PngReader() { png_destroy_read_struct(&png_, &info_, nullptr); }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;

  bool ReadHeader() {
    if (png_ == nullptr || info_ == nullptr) return Say("libpng cannot start");
    if (setjmp(png_jmpbuf(png_))) return false;
    png_set_user_limits(png_, 0x7fffffff, 0x7fffffff);  // the page-size limit is checked on the header
    png_set_chunk_malloc_max(png_, kMaxChunkBytes);
    png_set_read_fn(png_, this, &PngReader::Read);
    png_read_info(png_, info_);
    return true;
  }
  png_uint_32 Width() const { return png_get_image_width(png_, info_); }
  png_uint_32 Height() const { return png_get_image_height(png_, info_); }
  bool Bilevel() const {
    return png_get_color_type(png_, info_) == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png_, info_) == 1;
  }
  bool Grey() const { return (png_get_color_type(png_, info_) & PNG_COLOR_MASK_COLOR) == 0; }
  double Dpi(bool x) const {
    png_uint_32 rx = 0, ry = 0;
    int unit = 0;
    if (png_get_pHYs(png_, info_, &rx, &ry, &unit) == 0 || unit != PNG_RESOLUTION_METER) return 0;
    return (x ? rx : ry) * 0.0254;
  }

  // Sets the conversions to Bits, Grey or Rgb rows; false on a libpng error.
  bool Prepare(RowFormat format, int& passes, std::size_t& rowBytes) {
    if (setjmp(png_jmpbuf(png_))) return false;
    if (format != RowFormat::Bits) {
      png_set_scale_16(png_);
      png_set_expand_gray_1_2_4_to_8(png_);
      png_set_palette_to_rgb(png_);
      png_set_strip_alpha(png_);
    }
    passes = png_set_interlace_handling(png_);
    png_read_update_info(png_, info_);
    rowBytes = png_get_rowbytes(png_, info_);
    return true;
  }
  bool ReadRow(std::uint8_t* row) {
    if (setjmp(png_jmpbuf(png_))) return false;
    png_read_row(png_, row, nullptr);
    return true;
  }
  bool ReadAll(std::uint8_t** rows) {
    if (setjmp(png_jmpbuf(png_))) return false;
    png_read_image(png_, rows);
    return true;
  }
  const char* Message() const { return message_; }

 private:
  bool Say(const char* text) {
    std::snprintf(message_, sizeof message_, "%s", text);
    return false;
  }
  static void OnError(png_structp png, png_const_charp text) {
    static_cast<PngReader*>(png_get_error_ptr(png))->Say(text);
    png_longjmp(png, 1);
  }
  static void OnWarning(png_structp, png_const_charp) {}
  static void Read(png_structp png, png_bytep out, size_t size) {
    auto* self = static_cast<PngReader*>(png_get_io_ptr(png));
    if (size > self->bytes_.size() - self->at_) png_error(png, "the PNG data ends early");
    std::memcpy(out, self->bytes_.data() + self->at_, size);
    self->at_ += size;
  }

  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  char message_[256] = "";
};

class PngRows final : public PageRows {
 public:
  PngRows(std::unique_ptr<PngReader> reader, const std::string& name, RowFormat format, std::size_t rowBytes,
          bool interlaced)
      : PageRows(format, reader->Width(), reader->Height()), reader_(std::move(reader)), name_(name) {
    if (!interlaced) {
      row_.resize(rowBytes);
      return;
    }
    whole_.resize(rowBytes * Height());
    std::vector<std::uint8_t*> rows(Height());
    for (std::uint32_t y = 0; y < Height(); ++y) rows[y] = whole_.data() + rowBytes * y;
    if (!reader_->ReadAll(rows.data())) Fail(name_, 1, reader_->Message());
    row_.resize(rowBytes);
  }
  const std::uint8_t* Next() override {
    if (next_ >= Height()) Fail(name_, 1, "it has no row " + std::to_string(next_ + 1));
    const std::uint32_t y = next_++;
    if (!whole_.empty()) return whole_.data() + row_.size() * y;
    if (!reader_->ReadRow(row_.data())) Fail(name_, 1, "row " + std::to_string(y + 1) + ": " + reader_->Message());
    return row_.data();
  }

 private:
  std::unique_ptr<PngReader> reader_;
  std::string name_;
  std::uint32_t next_ = 0;
  std::vector<std::uint8_t> row_, whole_;
};

class PngSource final : public ImageSource {
 public:
  PngSource(std::span<const std::uint8_t> bytes, const std::string& name) : bytes_(bytes), name_(name) {
    Header();  // a PNG whose header cannot be read has no page to list
  }
  std::size_t PageCount() const override { return 1; }

  PageInfo Info(std::size_t page) override {
    Check(page);
    const auto reader = Header();
    return PageInfo{.width = reader->Width(),
                    .height = reader->Height(),
                    .xDpi = reader->Dpi(true),
                    .yDpi = reader->Dpi(false),
                    .kind = reader->Bilevel() ? PageKind::Bilevel
                            : reader->Grey()  ? PageKind::Grey
                                              : PageKind::Colour,
                    .compression = "PNG"};
  }

  std::unique_ptr<PageRows> Rows(std::size_t page) override {
    Check(page);
    auto reader = Header();
    CheckPageSize(name_, page, reader->Width(), reader->Height());
    const RowFormat format = reader->Bilevel() ? RowFormat::Bits : reader->Grey() ? RowFormat::Grey : RowFormat::Rgb;
    int passes = 1;
    std::size_t rowBytes = 0;
    if (!reader->Prepare(format, passes, rowBytes)) Fail(name_, 1, reader->Message());
    if (rowBytes != RowBytes(format, reader->Width())) Fail(name_, 1, "its rows cannot be converted");
    return std::make_unique<PngRows>(std::move(reader), name_, format, rowBytes, passes > 1);
  }

 private:
  std::unique_ptr<PngReader> Header() {
    auto reader = std::make_unique<PngReader>(bytes_);
    if (!reader->ReadHeader()) Fail(name_, 1, std::string("the PNG cannot be read: ") + reader->Message());
    return reader;
  }
  void Check(std::size_t page) const {
    if (page != 1) Fail(name_, 0, "there is no page " + std::to_string(page));
  }

  std::span<const std::uint8_t> bytes_;
  std::string name_;
};

}  // namespace

std::unique_ptr<ImageSource> OpenPng(std::span<const std::uint8_t> image, const std::string& name) {
  return std::make_unique<PngSource>(image, name);
}

}  // namespace tarnwick::pages::detail
