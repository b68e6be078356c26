// The office's web pages: the public reading room (/, /committees/{OrgID},
// /filings/{UniqueID}) and the clerk's desk (/desk and below), as routes of
// `tarnwick serve`. Each page is one HTML shell whose JavaScript modules
// (/assets/...) draw it from the service's JSON API; the files are those of
// this folder, built into the program, or read from a folder given instead.
//
// Thread safety: the routes share only read-only data once made.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "http.hpp"

namespace tarnwick::web {

struct File {
  std::string path;  // relative to web/, with "/": "desk.js"
  std::string text;
};

// The page files built into the program (web/*.html, *.js, *.css, *.svg), sorted by path.
std::vector<File> BuiltInFiles();

// The routes of the pages and their files. With `folder`, each answer reads
// its file from there at the time of the request (for working on the pages
// without rebuilding); the files served are those built in, by name.
std::vector<service::Route> PageRoutes(const std::filesystem::path& folder = {});

}  // namespace tarnwick::web
