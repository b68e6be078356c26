// Answers with the page files: an HTML shell for each page's path, and the
// files the shells load under /assets/. Every answer carries a content
// security policy that lets a page load only the service's own scripts,
// styles, pictures and JSON, and an ETag, so that a browser asks again
// cheaply (304) rather than keeping an old copy.
#include "pages.hpp"

#include <fmt/core.h>
#include <sodium.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>

namespace tarnwick::web {
namespace {

using service::Access;
using service::Call;
using service::Problem;
using service::Route;

// The reading room's and the desk's paths; each answers with the one shell,
// page.html, naming its room and the module that draws it.
struct Page {
  std::string_view path, title, module;
};
constexpr std::string_view kReadingRoom = "Public reading room", kDesk = "Clerk's desk";
constexpr Page kPages[] = {
    {"/", kReadingRoom, "reading-room.js"},
    {"/committees/{OrgID}", kReadingRoom, "reading-room.js"},
    {"/filings/{UniqueID}", kReadingRoom, "reading-room.js"},
    {"/desk", kDesk, "desk.js"},
    {"/desk/documents/{UniqueID}", kDesk, "desk.js"},
    {"/desk/committees", kDesk, "desk.js"},
    {"/desk/committees/{OrgID}", kDesk, "desk.js"},
    {"/desk/checks", kDesk, "desk.js"},
    {"/desk/exports", kDesk, "desk.js"},
};

// The shell with its {{title}} and {{module}} filled in.
std::string Shell(std::string text, const Page& page) {
  for (const auto& [mark, value] : {std::pair{std::string_view("{{title}}"), page.title}, {"{{module}}", page.module}}) {
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size())) {
      text.replace(at, mark.size(), value);
    }
  }
  return text;
}

std::string_view MediaType(std::string_view path) {
  static const std::pair<std::string_view, std::string_view> kTypes[] = {
      {".html", "text/html; charset=utf-8"}, {".js", "text/javascript; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},   {".svg", "image/svg+xml"}};
  for (const auto& [ending, type] : kTypes) {
    if (path.ends_with(ending)) return type;
  }
  return "application/octet-stream";
}

std::string Tag(const std::string& text) {
  unsigned char hash[16];
  crypto_generichash(hash, sizeof hash, reinterpret_cast<const unsigned char*>(text.data()), text.size(), nullptr, 0);
  char hex[33];
  sodium_bin2hex(hex, sizeof hex, hash, sizeof hash);
  return std::string("\"") + hex + "\"";
}

// The files, by path: built in, or read from the folder when one is given.
class Files {
 public:
  explicit Files(std::filesystem::path folder) : folder_(std::move(folder)) {
    for (File& f : BuiltInFiles()) files_.emplace(f.path, std::move(f.text));
  }
  const std::map<std::string, std::string>& BuiltIn() const { return files_; }

  std::string Text(const std::string& path) const {
    if (folder_.empty()) return files_.at(path);
    std::ifstream in(folder_ / path, std::ios::binary);
    if (!in) throw Problem(404, fmt::format("the page file {} is not in {}", path, folder_.string()));
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::filesystem::path folder_;
  std::map<std::string, std::string> files_;
};

void Send(Call& c, const std::string& text, std::string_view mediaType) {
  const std::string tag = Tag(text);
  auto& r = c.response;
  r.set_header("ETag", tag);
  r.set_header("Cache-Control", "no-cache");
  r.set_header("X-Content-Type-Options", "nosniff");
  r.set_header("Referrer-Policy", "same-origin");
  r.set_header("Content-Security-Policy",
               "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; connect-src 'self'; "
               "form-action 'self'; base-uri 'none'; frame-ancestors 'none'");
  if (c.request.get_header_value("If-None-Match") == tag) {
    r.status = 304;
    return;
  }
  r.set_content(text, std::string(mediaType));
}

}  // namespace

std::vector<Route> PageRoutes(const std::filesystem::path& folder) {
  if (sodium_init() < 0) throw std::runtime_error("libsodium cannot start");
  auto files = std::make_shared<const Files>(folder);
  // A route's path is a view: the asset paths are kept as long as the routes.
  auto assetPaths = std::make_shared<std::vector<std::string>>();
  for (const auto& [path, text] : files->BuiltIn()) {
    if (!path.ends_with(".html")) assetPaths->push_back("/assets/" + path);  // the shell is no file of its own
  }
  std::vector<Route> routes;
  for (const Page& page : kPages) {
    std::vector<service::Parameter> parameters;
    if (const auto open = page.path.find('{'); open != std::string_view::npos) {
      parameters.push_back(
          {page.path.substr(open + 1, page.path.size() - open - 2), service::Kind::Integer, "The identifier", true});
    }
    routes.push_back({"GET", page.path, Access::Public, "A web page", parameters, "text/html", [files, page](Call& c) {
                        Send(c, Shell(files->Text("page.html"), page), MediaType("page.html"));
                      }});
  }
  for (const std::string& asset : *assetPaths) {
    const std::string file = asset.substr(8);
    routes.push_back({"GET", asset, Access::Public, "A file of the web pages", {}, MediaType(file),
                      [files, file, assetPaths](Call& c) { Send(c, files->Text(file), MediaType(file)); }});
  }
  return routes;
}

}  // namespace tarnwick::web
