// tarnwick::pages: the stored page images of a document, made into something
// a person can look at: one page as PNG (full size or a thumbnail) and the
// whole document as one PDF.
//
// A stored image is whatever a scanner or a clerk handed the office: TIFF
// (one or many pages; uncompressed, CCITT Group 3/4, LZW, PackBits, JPEG,
// Deflate and the other compressions libtiff reads; bilevel, grey or colour)
// or PNG (one page). Nothing here trusts it: pages are read a strip or a row
// at a time and scaled while they are read, no page of more than
// kMaxPagePixels pixels is decoded, and a damaged image raises a
// RuntimeError naming the document and the page instead of crashing.
//
// Failures: RuntimeError 481 (invalid picture) for an image that cannot be
// read, with a description such as "document 1050, page 3: the TIFF data ends
// early (...)"; 5 (invalid argument) for a page or width the caller asked for
// that the image does not have; 75 (path/file access error) when the PDF
// cannot be written. The source is "tarnwick.pages".
//
// Thread safety: the functions share no state; each call may run on its own
// thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "tarnwick/variant.hpp"

namespace tarnwick::pages {

// The most pixels a page may have: a 600-dpi scan of an 11 x 17 inch sheet
// fits. A larger page is refused before anything is allocated for it.
inline constexpr std::uint64_t kMaxPagePixels = 70'000'000;

// The resolution a page is taken to have when its image does not say
// (a fine-mode fax and most office scanners).
inline constexpr double kAssumedDpi = 200;

enum class PageKind { Bilevel, Grey, Colour };

struct PageInfo {
  std::uint32_t width = 0;   // pixels
  std::uint32_t height = 0;  // pixels
  double xDpi = 0;           // dots per inch; 0 when the image does not say
  double yDpi = 0;
  PageKind kind = PageKind::Bilevel;
  std::string compression;   // "none", "CCITT Group 4", "LZW", "PackBits", "JPEG", "Deflate", "PNG", ...
};

// The pages of a stored image, in order. `name` says whose image it is in
// error descriptions ("document 1050"). Raises 481 for an empty image, one
// that is neither TIFF nor PNG, or one whose pages cannot be listed.
std::vector<PageInfo> ReadPages(std::span<const std::uint8_t> image, const std::string& name);

// Page `page` (1 for the first) as a PNG image `width` pixels wide, its height
// scaled to keep the page's shape; width 0 is the page's own width. A bilevel
// page at full size is a 1-bit PNG; scaled, it is grey (each pixel the average
// of the pixels it covers). Raises 5 for a page the image does not have or a
// width whose image would exceed kMaxPagePixels, 481 for a page that cannot be
// read.
Bytes RenderPng(std::span<const std::uint8_t> image, const std::string& name, std::uint32_t page,
                std::uint32_t width = 0);

// Writes the whole image as one PDF at `target`: every page in order, each
// page's size taken from its resolution (kAssumedDpi when it gives none).
// Bilevel pages are embedded compressed as CCITT Group 4, grey and colour
// pages Deflate-compressed. The file is written beside the target under a
// temporary name and renamed into place when complete, so a failure leaves
// neither a partial PDF nor the temporary file, and an existing target stays
// as it was. Raises 481 naming the page that cannot be read, 75 when the
// file cannot be written.
void WritePdf(std::span<const std::uint8_t> image, const std::string& name, const std::filesystem::path& target);

}  // namespace tarnwick::pages
