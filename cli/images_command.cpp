// `tarnwick images put|get|info|delete|page|pdf`: the scanned page images of
// a document (the document image and the altered image), stored and read
// whole, and made into something a clerk can look at: one page as PNG, the
// whole image as one PDF.
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "commands.hpp"
#include "gateway/tsql/limits.hpp"
#include "record.hpp"
#include "runtime/replacing_file.hpp"
#include "session.hpp"
#include "tarnwick/clsDocumentImage.hpp"
#include "tarnwick/error.hpp"
#include "tarnwick/pages.hpp"

namespace tarnwick::cli {
namespace {

struct ImageArguments {
  std::int32_t document = 0;
  std::string file, altered, pages, alteredPages;
  bool wantAltered = false;
  std::uint32_t page = 0, width = 0;
};

Bytes ReadImageFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    throw Failure(kExitUsage, fmt::format("{} is not an image file that can be read", path));
  }
  // Refused before it is read, as the engines would refuse it before sending it.
  if (const auto size = std::filesystem::file_size(path, ec); !ec && size > tsql::kLargestValueBytes) {
    throw Failure(kExitUsage, fmt::format("{} holds {} bytes, over the office's limit of {} bytes for one image", path,
                                          size, tsql::kLargestValueBytes));
  }
  std::ifstream in(path, std::ios::binary);
  Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw Failure(kExitFailed, fmt::format("cannot read {}", path));
  return bytes;
}

// Written through the replacing file, so that a failed write never leaves half
// an image behind and nothing planted beside the target is followed. Its
// errors name the file and the cause.
void WriteImageFile(const std::string& path, const Bytes& bytes) {
  runtime::ReplacingFile out(path);
  out.Write(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  out.Commit();
}

// Loads the image row of a document. A document that does not exist has no
// row at all, which the image object reports as the result set's 3021.
bool LoadImages(clsDocumentImage& images, std::int32_t document) {
  if (document < 1) throw Failure(kExitUsage, "DOCUMENT must be a document identifier (1 or more)");
  try {
    return images.GetData(document);
  } catch (const RuntimeError& e) {
    if (e.Number() != 3021) throw;
    throw Failure(kExitNotFound, fmt::format("there is no document {}", document));
  }
}

// The document's image row, or a new one when it has none yet.
void LoadOrNew(clsDocumentImage& images, std::int32_t document) {
  if (!LoadImages(images, document)) images.GetData();
}

void Put(const ImageArguments& a) {
  const Session& s = CurrentSession();
  Bytes image = ReadImageFile(a.file);
  Bytes altered = a.altered.empty() ? Bytes{} : ReadImageFile(a.altered);
  const std::size_t size = image.size();
  clsDocumentImage images;
  LoadOrNew(s.Open(images), a.document);
  images.Image(std::move(image));
  if (!a.pages.empty()) images.PageCount(a.pages);
  if (!a.altered.empty()) {
    images.ImageAlt(std::move(altered));
    if (!a.alteredPages.empty()) images.PageCountAlt(a.alteredPages);
  }
  if (!images.SaveData(std::to_string(a.document))) {
    throw Refused(images, fmt::format("the office database refused the image of document {}", a.document));
  }
  PrintMessage(fmt::format("Stored {} bytes as the image of document {}", size, a.document), s.format);
}

// Loads a document's images; with needImages, a document without any is "not found".
void Require(clsDocumentImage& images, std::int32_t document, bool needImages) {
  if (!LoadImages(images, document) || (needImages && !images.HasImage() && !images.HasAltered())) {
    throw Failure(kExitNotFound, fmt::format("document {} has no stored images", document));
  }
}

// The image get, page and pdf work on: the document image, or the altered one.
Bytes WantedImage(const ImageArguments& a) {
  clsDocumentImage images;
  Require(CurrentSession().Open(images), a.document, true);
  if (a.wantAltered ? !images.HasAltered() : !images.HasImage()) {
    throw Failure(kExitNotFound, fmt::format("document {} has no {}", a.document,
                                             a.wantAltered ? "altered image" : "document image"));
  }
  return a.wantAltered ? images.ImageAlt() : images.Image();
}

void Get(const ImageArguments& a) {
  const Session& s = CurrentSession();
  const Bytes bytes = WantedImage(a);
  WriteImageFile(a.file, bytes);
  PrintMessage(fmt::format("Wrote {} bytes to {}", bytes.size(), a.file), s.format);
}

// What the office calls an image in messages: "document 345" or "document
// 345 (altered image)".
std::string ImageName(std::int32_t document, bool altered) {
  return fmt::format("document {}{}", document, altered ? " (altered image)" : "");
}

// Each page's size and resolution, "1: 2550 x 3300 px, 300 x 300 dpi, bilevel,
// CCITT Group 4; 2: ...", or why the image cannot be read.
std::string DescribePages(const Bytes& image, const std::string& name) {
  static constexpr const char* kKinds[] = {"bilevel", "grey", "colour"};
  try {
    std::string text;
    std::size_t number = 0;
    for (const pages::PageInfo& p : pages::ReadPages(image, name)) {
      const std::string dpi =
          p.xDpi > 0 ? fmt::format("{:.0f} x {:.0f} dpi", p.xDpi, p.yDpi) : std::string("no resolution given");
      text += fmt::format("{}{}: {} x {} px, {}, {}, {}", text.empty() ? "" : "; ", ++number, p.width, p.height, dpi,
                          kKinds[static_cast<int>(p.kind)], p.compression);
    }
    return text;
  } catch (const RuntimeError& e) {
    return "unreadable: " + e.Description();
  }
}

void Info(const ImageArguments& a) {
  const Session& s = CurrentSession();
  clsDocumentImage images;
  Require(s.Open(images), a.document, false);
  const bool altered = images.HasAltered();
  // Sizes go to JSON as numbers: a double holds any file's size exactly.
  const auto size = [](std::size_t bytes) { return Cell(Variant(static_cast<double>(bytes))); };
  PrintRecord({{"DocumentID", ColumnCell("DocumentID", images.DocumentID())},
               {"HasImage", Cell(Variant(images.HasImage()))},
               {"ImageBytes", size(images.Image().size())},
               {"PageCount", ColumnCell("PageCount", images.PageCount())},
               {"Pages", images.HasImage() ? DescribePages(images.Image(), ImageName(a.document, false)) : ""},
               {"HasAltered", Cell(Variant(altered))},
               {"AlteredBytes", size(altered ? images.ImageAlt().size() : 0)},
               {"PageCountAlt", ColumnCell("PageCountAlt", images.PageCountAlt())},
               {"AlteredPages", altered ? DescribePages(images.ImageAlt(), ImageName(a.document, true)) : ""},
               {"OrigDate", ColumnCell("OrigDate", images.OrigDate())},
               {"UpdateDate", ColumnCell("UpdateDate", images.UpdateDate())}},
              s.format);
}

// A page reader's refusal: a page or width the image does not have is the
// clerk's to correct; an image that cannot be read or a file that cannot be
// written is a failure.
template <class F>
void Rendering(F&& body) {
  try {
    body();
  } catch (const RuntimeError& e) {
    if (e.Source() != "tarnwick.pages") throw;
    throw Failure(e.Number() == err::kInvalidArgument ? kExitUsage : kExitFailed, e.Description());
  }
}

void Page(const ImageArguments& a) {
  const Session& s = CurrentSession();
  const Bytes image = WantedImage(a);
  const std::string name = ImageName(a.document, a.wantAltered);
  Rendering([&] {
    const std::size_t count = pages::ReadPages(image, name).size();
    if (a.page < 1 || a.page > count) {
      throw Failure(kExitNotFound, fmt::format("{} has {} page{}; there is no page {}", name, count,
                                               count == 1 ? "" : "s", a.page));
    }
    const Bytes png = pages::RenderPng(image, name, a.page, a.width);
    WriteImageFile(a.file, png);
    PrintMessage(fmt::format("Wrote page {} of {} as {} ({} bytes)", a.page, name, a.file, png.size()), s.format);
  });
}

void Pdf(const ImageArguments& a) {
  const Session& s = CurrentSession();
  const Bytes image = WantedImage(a);
  const std::string name = ImageName(a.document, a.wantAltered);
  Rendering([&] {
    pages::WritePdf(image, name, a.file);
    std::error_code ec;
    const auto size = std::filesystem::file_size(a.file, ec);
    PrintMessage(fmt::format("Wrote {} as {} ({} bytes)", name, a.file, ec ? 0 : size), s.format);
  });
}

void Delete(const ImageArguments& a) {
  const Session& s = CurrentSession();
  clsDocumentImage images;
  Require(s.Open(images), a.document, true);
  if (!images.DeleteData(a.document)) {
    throw Refused(images, fmt::format("the office database refused to remove the images of document {}", a.document));
  }
  PrintMessage(fmt::format("Removed the images of document {}", a.document), s.format);
}

CLI::App* AddImageCommand(CLI::App& parent, const std::string& name, const std::string& description,
                          const std::shared_ptr<ImageArguments>& a, void (*body)(const ImageArguments&)) {
  auto* cmd = parent.add_subcommand(name, description);
  cmd->add_option("DOCUMENT", a->document, "Document identifier")->required();
  cmd->callback([a, name, body] { RunCommand("images " + name, [&] { body(*a); }); });
  return cmd;
}

}  // namespace

void AddImagesCommand(CLI::App& app) {
  auto* images = AddCommandGroup(app, "images", "Store and read the scanned page images of documents",
                                "tarnwick images put 345 scan.tif --pages 4; tarnwick images pdf 345 -o filing.pdf");
  auto a = std::make_shared<ImageArguments>();

  auto* put = AddImageCommand(*images, "put", "Store a document's image (replacing the one stored)", a, Put);
  put->add_option("FILE", a->file, "The scanned image file")->required();
  put->add_option("--pages", a->pages, "Its page count");
  put->add_option("--altered", a->altered, "Also store this file as the altered image");
  put->add_option("--altered-pages", a->alteredPages, "The altered image's page count")->needs("--altered");
  put->footer("Example: tarnwick images put 345 scan-345.tif --pages 4");

  auto* get = AddImageCommand(*images, "get", "Write a document's image to a file", a, Get);
  get->add_option("-o,--output", a->file, "The file to write")->required();
  get->add_flag("--altered", a->wantAltered, "The altered image instead of the document image");
  get->footer("Example: tarnwick images get 345 -o scan-345.tif");

  AddImageCommand(*images, "info", "Show what is stored for a document: sizes, page counts, dates", a, Info)
      ->footer("Example: tarnwick images info 345");
  AddImageCommand(*images, "delete", "Remove a document's images", a, Delete)
      ->footer("Example: tarnwick images delete 345");

  auto* page = AddImageCommand(*images, "page", "Write one page of a document's image as PNG", a, Page);
  page->add_option("PAGE", a->page, "The page, 1 for the first")->required();
  page->add_option("-o,--output", a->file, "The PNG file to write")->required();
  page->add_option("--width", a->width, "Width in pixels (a thumbnail); the page's own width when left out")
      ->check(CLI::Range(1u, 1000000u));
  page->add_flag("--altered", a->wantAltered, "A page of the altered image instead of the document image");
  page->footer("Example: tarnwick images page 345 2 -o page-2.png --width 200");

  auto* pdf = AddImageCommand(*images, "pdf", "Write a document's image as one PDF, every page in order", a, Pdf);
  pdf->add_option("-o,--output", a->file, "The PDF file to write")->required();
  pdf->add_flag("--altered", a->wantAltered, "The altered image instead of the document image");
  pdf->footer("Example: tarnwick images pdf 345 -o filing-345.pdf");
}

}  // namespace tarnwick::cli
