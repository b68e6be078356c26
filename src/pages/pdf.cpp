// One PDF per document through libharu. Each page of the image becomes a PDF
// page of the size its resolution gives, the picture filling it. A bilevel
// page is handed to libharu as one bit a pixel and embedded as CCITT Group 4,
// as a fax machine would send it; a grey or colour page is Deflate-compressed
// row by row while it is read, so only its compressed form is held until the
// file is written.
//
// The file goes to a temporary name beside the target and is renamed over it
// only when complete and flushed to disk.
#include <hpdf.h>
#include <hpdf_doc.h>
#include <hpdf_objects.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pages/source.hpp"
#include "runtime/replacing_file.hpp"

namespace tarnwick::pages {
namespace detail {
namespace {

// A PDF page may be at most 14,400 points (200 inches) on a side.
constexpr double kMaxPagePoints = 14400;

struct HaruError {
  HPDF_STATUS status = HPDF_OK;
  HPDF_STATUS detail = 0;
};

void OnHaruError(HPDF_STATUS status, HPDF_STATUS detail, void* data) {
  auto* error = static_cast<HaruError*>(data);
  if (error->status == HPDF_OK) *error = HaruError{status, detail};
}

class Document {
 public:
  explicit Document(const std::string& name) : name_(name) {
    pdf_ = HPDF_New(&OnHaruError, &error_);
    if (pdf_ == nullptr) Fail(name_, 0, "libharu cannot start a PDF");
    Check(0, HPDF_SetCompressionMode(pdf_, HPDF_COMP_ALL));
  }
  ~Document() {
    // libharu hands a Group 4 image its decoding parameters only while the
    // file is written; those of an image never written would be lost.
    for (const HPDF_Image image : faxImages_) {
      if (image->filterParams != nullptr && HPDF_Dict_GetItem(image, "DecodeParms", HPDF_OCLASS_ARRAY) == nullptr) {
        HPDF_Dict_Free(image->filterParams);
        image->filterParams = nullptr;
      }
    }
    HPDF_Free(pdf_);
  }
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  void AddPage(std::size_t number, PageRows& rows, const PageInfo& info) {
    const double xDpi = info.xDpi > 0 ? info.xDpi : kAssumedDpi, yDpi = info.yDpi > 0 ? info.yDpi : kAssumedDpi;
    const double width = info.width * 72.0 / xDpi, height = info.height * 72.0 / yDpi;
    if (width > kMaxPagePoints || height > kMaxPagePoints || width < 3 || height < 3) {
      char text[200];
      std::snprintf(text, sizeof text,
                    "at %.0f x %.0f dpi the page would be %.1f x %.1f inches, outside what a PDF page may be", xDpi,
                    yDpi, width / 72, height / 72);
      Fail(name_, number, text);
    }
    const HPDF_Image image = rows.Format() == RowFormat::Bits ? Bilevel(number, rows) : Deflated(number, rows);
    const HPDF_Page page = HPDF_AddPage(pdf_);
    Check(number, page == nullptr ? HPDF_FAILD_TO_ALLOC_MEM : HPDF_OK);
    Check(number, HPDF_Page_SetWidth(page, static_cast<HPDF_REAL>(width)));
    Check(number, HPDF_Page_SetHeight(page, static_cast<HPDF_REAL>(height)));
    Check(number, HPDF_Page_DrawImage(page, image, 0, 0, static_cast<HPDF_REAL>(width), static_cast<HPDF_REAL>(height)));
  }

  // Writes the PDF to `temporary` (created empty by the caller).
  // Writes the document through the office's one way of replacing a file:
  // whole, or not at all.
  void Save(const std::filesystem::path& target) {
    if (HPDF_SaveToStream(pdf_) != HPDF_OK || error_.status != HPDF_OK || HPDF_ResetStream(pdf_) != HPDF_OK) {
      char text[40];
      std::snprintf(text, sizeof text, " (libharu error 0x%04lX)", static_cast<unsigned long>(error_.status));
      Fail(name_, 0, "cannot write " + target.string() + text, kFileAccess);
    }
    runtime::ReplacingFile out(target.string());
    std::vector<HPDF_BYTE> chunk(256 * 1024);
    for (;;) {
      HPDF_UINT32 size = static_cast<HPDF_UINT32>(chunk.size());
      const HPDF_STATUS read = HPDF_ReadFromStream(pdf_, chunk.data(), &size);
      out.Write(std::string_view(reinterpret_cast<const char*>(chunk.data()), size));
      if (read == HPDF_STREAM_EOF) break;
      if (read != HPDF_OK) Fail(name_, 0, "cannot write " + target.string() + ": libharu cannot read its PDF", kFileAccess);
    }
    out.Commit();
  }

 private:
  void Check(std::size_t page, HPDF_STATUS status) {
    if (status == HPDF_OK && error_.status == HPDF_OK) return;
    char text[120];
    std::snprintf(text, sizeof text, "libharu cannot make the PDF (error 0x%04lX, detail %lu)",
                  static_cast<unsigned long>(error_.status != HPDF_OK ? error_.status : status),
                  static_cast<unsigned long>(error_.detail));
    Fail(name_, page, text);
  }

  HPDF_Image Bilevel(std::size_t number, PageRows& rows) {
    const std::size_t stride = RowBytes(RowFormat::Bits, rows.Width());
    std::vector<std::uint8_t> bits(stride * rows.Height());
    // The Group 4 coder takes 0 as white, as fax data has it; the rows have 1.
    for (std::uint32_t y = 0; y < rows.Height(); ++y) {
      const std::uint8_t* row = rows.Next();
      std::uint8_t* out = bits.data() + stride * y;
      for (std::size_t i = 0; i < stride; ++i) out[i] = static_cast<std::uint8_t>(~row[i]);
    }
    const HPDF_Image image = HPDF_Image_LoadRaw1BitImageFromMem(
        pdf_, bits.data(), rows.Width(), rows.Height(), static_cast<HPDF_UINT>(stride), HPDF_FALSE, HPDF_TRUE);
    Check(number, image == nullptr ? HPDF_INVALID_IMAGE : HPDF_OK);
    faxImages_.push_back(image);
    return image;
  }

  // An image XObject whose stream is the page's rows through zlib.
  HPDF_Image Deflated(std::size_t number, PageRows& rows) {
    const HPDF_Dict image = HPDF_DictStream_New(pdf_->mmgr, pdf_->xref);
    Check(number, image == nullptr ? HPDF_FAILD_TO_ALLOC_MEM : HPDF_OK);
    image->header.obj_class |= HPDF_OSUBCLASS_XOBJECT;
    Check(number, HPDF_Dict_AddName(image, "Type", "XObject"));
    Check(number, HPDF_Dict_AddName(image, "Subtype", "Image"));
    Check(number, HPDF_Dict_AddNumber(image, "Width", static_cast<HPDF_INT32>(rows.Width())));
    Check(number, HPDF_Dict_AddNumber(image, "Height", static_cast<HPDF_INT32>(rows.Height())));
    Check(number, HPDF_Dict_AddName(image, "ColorSpace", rows.Format() == RowFormat::Rgb ? "DeviceRGB" : "DeviceGray"));
    Check(number, HPDF_Dict_AddNumber(image, "BitsPerComponent", 8));
    Check(number, HPDF_Dict_AddName(image, "Filter", "FlateDecode"));
    z_stream z{};
    if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) Fail(name_, number, "zlib cannot start");
    struct End {
      z_stream& z;
      ~End() { deflateEnd(&z); }
    } end{z};
    std::vector<std::uint8_t> chunk(1 << 16);
    const std::size_t stride = RowBytes(rows.Format(), rows.Width());
    auto pump = [&](const std::uint8_t* in, std::size_t size, int flush) {
      z.next_in = const_cast<Bytef*>(in);
      z.avail_in = static_cast<uInt>(size);
      do {
        z.next_out = chunk.data();
        z.avail_out = static_cast<uInt>(chunk.size());
        if (deflate(&z, flush) == Z_STREAM_ERROR) Fail(name_, number, "zlib cannot compress the page");
        Check(number, HPDF_Stream_Write(image->stream, chunk.data(), static_cast<HPDF_UINT>(chunk.size() - z.avail_out)));
      } while (z.avail_out == 0);
    };
    for (std::uint32_t y = 0; y < rows.Height(); ++y) pump(rows.Next(), stride, Z_NO_FLUSH);
    pump(nullptr, 0, Z_FINISH);
    return image;
  }

  std::string name_;
  HaruError error_;
  HPDF_Doc pdf_ = nullptr;
  std::vector<HPDF_Image> faxImages_;
};

}  // namespace
}  // namespace detail

void WritePdf(std::span<const std::uint8_t> image, const std::string& name, const std::filesystem::path& target) {
  using namespace detail;
  const auto source = OpenImage(image, name);
  Document pdf(name);
  for (std::size_t page = 1; page <= source->PageCount(); ++page) {
    const PageInfo info = source->Info(page);
    const auto rows = source->Rows(page);
    pdf.AddPage(page, *rows, info);
  }
  pdf.Save(target);
}

}  // namespace tarnwick::pages
