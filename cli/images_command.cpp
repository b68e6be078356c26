// `tarnwick images put|get|info|delete`: the scanned page images of a
// document (the document image and the altered image), stored and read whole.
#include <fmt/core.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "commands.hpp"
#include "runtime/replacing_file.hpp"
#include "session.hpp"
#include "tarnwick/clsDocumentImage.hpp"
#include "tarnwick/error.hpp"

namespace tarnwick::cli {
namespace {

struct ImageArguments {
  std::int32_t document = 0;
  std::string file, altered, pages, alteredPages;
  bool wantAltered = false;
};

Bytes ReadImageFile(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    throw Failure(kExitUsage, fmt::format("{} is not an image file that can be read", path));
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

void Get(const ImageArguments& a) {
  const Session& s = CurrentSession();
  clsDocumentImage images;
  Require(s.Open(images), a.document, true);
  if (a.wantAltered ? !images.HasAltered() : !images.HasImage()) {
    throw Failure(kExitNotFound, fmt::format("document {} has no {}", a.document,
                                             a.wantAltered ? "altered image" : "document image"));
  }
  const Bytes bytes = a.wantAltered ? images.ImageAlt() : images.Image();
  WriteImageFile(a.file, bytes);
  PrintMessage(fmt::format("Wrote {} bytes to {}", bytes.size(), a.file), s.format);
}

void Info(const ImageArguments& a) {
  const Session& s = CurrentSession();
  clsDocumentImage images;
  Require(s.Open(images), a.document, false);
  PrintRecord({{"DocumentID", images.DocumentID()},
               {"HasImage", images.HasImage() ? "True" : "False"},
               {"ImageBytes", std::to_string(images.Image().size())},
               {"PageCount", images.PageCount()},
               {"HasAltered", images.HasAltered() ? "True" : "False"},
               {"AlteredBytes", std::to_string(images.HasAltered() ? images.ImageAlt().size() : 0)},
               {"PageCountAlt", images.PageCountAlt()},
               {"OrigDate", images.OrigDate()},
               {"UpdateDate", images.UpdateDate()}},
              s.format);
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
                                "tarnwick images put 345 scan.tif --pages 4; tarnwick images get 345 -o copy.tif");
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
}

}  // namespace tarnwick::cli
