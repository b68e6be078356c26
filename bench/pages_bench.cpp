// The page reader against the same libraries called directly, on a 300-dpi
// letter page (2550 x 3300, bilevel, CCITT Group 4) and a 100-page filing of
// such pages.
//
//   BM_LetterPageToPng/width:0 (full size) and /width:200 (a thumbnail):
//     pages::RenderPng against libtiff's scanlines straight into libpng (a
//     1-bit PNG; for the thumbnail, the same area average in a plain loop).
//     Counters: library_ms, direct_ms, ratio (goal <= 1.2), and the peak
//     resident memory of each in a process of its own, in MB above the
//     process's size with the TIFF loaded (library_peak_mb, direct_peak_mb).
//   BM_FilingToPdf: pages::WritePdf of the 100 pages against libtiff's
//     scanlines into libharu's Group 4 images directly. Counters: library_ms,
//     direct_ms, ratio, pdf_mb, tiff_mb, pdf_x_tiff (goal <= 1.1), and the
//     peak memory of each as above.
#include <benchmark/benchmark.h>
#include <hpdf.h>
#include <png.h>
#include <tiffio.h>

#include <chrono>
#include <cstring>
#include <iostream>
#include <vector>

#include "bench_support.hpp"
#include "office/internal.hpp"
#include "tarnwick/pages.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using tarnwick::Bytes;

constexpr std::uint32_t kWidth = 2550, kHeight = 3300;
constexpr int kFilingPages = 100;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The letter page and the filing, written once as TIFF files: each page
// drawn and written in turn, so that the filing never sits in memory whole.
struct Inputs {
  tarnwick::test::TempDir dir;
  std::string letter = dir.File("letter.tif"), filing = dir.File("filing.tif");
  Inputs() {
    for (const auto& [path, pages] : {std::pair{letter, 1}, std::pair{filing, kFilingPages}}) {
      TIFF* tiff = TIFFOpen(path.c_str(), "w");
      std::vector<std::uint8_t> row((kWidth + 7) / 8);
      for (int p = 0; p < pages; ++p) {
        const auto page = tarnwick::office::detail::DrawScanPage(kWidth, kHeight, 1, true, 1000 + static_cast<unsigned>(p));
        TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, kWidth);
        TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, kHeight);
        TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, kHeight);
        TIFFSetField(tiff, TIFFTAG_XRESOLUTION, 300.0f);
        TIFFSetField(tiff, TIFFTAG_YRESOLUTION, 300.0f);
        TIFFSetField(tiff, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        for (std::uint32_t y = 0; y < kHeight; ++y) {
          std::fill(row.begin(), row.end(), 0);
          for (std::uint32_t x = 0; x < kWidth; ++x)
            if (page.pixels[std::size_t{y} * kWidth + x] < 128) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
          TIFFWriteScanline(tiff, row.data(), y, 0);
        }
        TIFFWriteDirectory(tiff);
      }
      TIFFClose(tiff);
    }
  }
};
Inputs& Files() {
  static Inputs inputs;
  return inputs;
}

// --- The libraries called directly ------------------------------------------

struct Reader {
  const Bytes& bytes;
  std::uint64_t at = 0;
  static tmsize_t Read(thandle_t h, void* out, tmsize_t n) {
    auto* r = static_cast<Reader*>(h);
    const auto k = std::min<std::uint64_t>(static_cast<std::uint64_t>(n), r->bytes.size() - std::min<std::uint64_t>(r->at, r->bytes.size()));
    std::memcpy(out, r->bytes.data() + r->at, k);
    r->at += k;
    return static_cast<tmsize_t>(k);
  }
  static tmsize_t Write(thandle_t, void*, tmsize_t) { return 0; }
  static toff_t Seek(thandle_t h, toff_t o, int whence) {
    auto* r = static_cast<Reader*>(h);
    return r->at = (whence == SEEK_CUR ? r->at : whence == SEEK_END ? r->bytes.size() : 0) + o;
  }
  static int Close(thandle_t) { return 0; }
  static toff_t Size(thandle_t h) { return static_cast<Reader*>(h)->bytes.size(); }
  static int Map(thandle_t h, void** base, toff_t* size) {
    auto* r = static_cast<Reader*>(h);
    *base = const_cast<std::uint8_t*>(r->bytes.data());
    *size = r->bytes.size();
    return 1;
  }
  static void Unmap(thandle_t, void*, toff_t) {}
  TIFF* Open() { return TIFFClientOpen("direct", "r", this, Read, Write, Seek, Close, Size, Map, Unmap); }
};

void PngToBytes(png_structp png, png_bytep data, size_t n) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

Bytes DirectPng(const Bytes& image, std::uint32_t width) {
  Reader reader{image};
  TIFF* tiff = reader.Open();
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, PngToBytes, nullptr);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(TIFFScanlineSize(tiff)));
  if (width == 0) {
    png_set_IHDR(png, info, kWidth, kHeight, 1, PNG_COLOR_TYPE_GRAY, 0, 0, 0);
    png_write_info(png, info);
    png_set_invert_mono(png);  // the TIFF's 1 is black, the PNG's white
    for (std::uint32_t y = 0; y < kHeight; ++y) {
      TIFFReadScanline(tiff, row.data(), y, 0);
      png_write_row(png, row.data());
    }
  } else {
    const std::uint32_t height = (kHeight * width + kWidth / 2) / kWidth;
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_GRAY, 0, 0, 0);
    png_write_info(png, info);
    std::vector<std::uint32_t> sum(width);
    std::vector<std::uint8_t> line(width);
    std::uint32_t y = 0;
    for (std::uint32_t oy = 0; oy < height; ++oy) {
      const std::uint32_t y1 = static_cast<std::uint32_t>(std::uint64_t{oy + 1} * kHeight / height), y0 = y;
      std::fill(sum.begin(), sum.end(), 0);
      for (; y < y1; ++y) {
        TIFFReadScanline(tiff, row.data(), y, 0);
        for (std::uint32_t x = 0; x < kWidth; ++x) sum[std::uint64_t{x} * width / kWidth] += (row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
      }
      for (std::uint32_t x = 0; x < width; ++x) {
        const std::uint32_t n = (y1 - y0) * static_cast<std::uint32_t>((std::uint64_t{x + 1} * kWidth + width - 1) / width - (std::uint64_t{x} * kWidth + width - 1) / width);
        line[x] = static_cast<std::uint8_t>(sum[x] / std::max(n, 1u));
      }
      png_write_row(png, line.data());
    }
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  TIFFClose(tiff);
  return out;
}

void DirectPdf(const Bytes& image, const std::string& path) {
  Reader reader{image};
  TIFF* tiff = reader.Open();
  HPDF_Doc pdf = HPDF_New(nullptr, nullptr);
  HPDF_SetCompressionMode(pdf, HPDF_COMP_ALL);
  const std::size_t stride = static_cast<std::size_t>(TIFFScanlineSize(tiff));
  std::vector<std::uint8_t> bits(stride * kHeight);
  do {
    for (std::uint32_t y = 0; y < kHeight; ++y) TIFFReadScanline(tiff, bits.data() + stride * y, y, 0);
    HPDF_Image picture = HPDF_Image_LoadRaw1BitImageFromMem(pdf, bits.data(), kWidth, kHeight, static_cast<HPDF_UINT>(stride), HPDF_FALSE, HPDF_TRUE);
    HPDF_Page page = HPDF_AddPage(pdf);
    HPDF_Page_SetWidth(page, kWidth * 72.0f / 300);
    HPDF_Page_SetHeight(page, kHeight * 72.0f / 300);
    HPDF_Page_DrawImage(page, picture, 0, 0, kWidth * 72.0f / 300, kHeight * 72.0f / 300);
  } while (TIFFReadDirectory(tiff) == 1);
  HPDF_SaveToFile(pdf, path.c_str());
  HPDF_Free(pdf);
  TIFFClose(tiff);
}

// --- The benchmarks ---------------------------------------------------------

// In a child process: one phase alone, its peak above the loaded input.
int MemoryChild(const std::string& phase, const std::string& input, std::uint32_t width, const std::string& output) {
  const Bytes image = ReadAll(input);
  const std::int64_t before = bench::StatusBytes("VmRSS");
  bench::ResetPeak();
  std::size_t made = 0;
  if (phase == "library_png") made = tarnwick::pages::RenderPng(image, "bench", 1, width).size();
  if (phase == "direct_png") made = DirectPng(image, width).size();
  if (phase == "library_pdf") tarnwick::pages::WritePdf(image, "bench", output);
  if (phase == "direct_pdf") DirectPdf(image, output);
  if (phase.ends_with("pdf")) made = std::filesystem::file_size(output);
  const std::int64_t peak = bench::StatusBytes("VmHWM");
  std::cout << "ok=" << (made > 0 ? 1 : 0) << "\npeak_mb=" << static_cast<double>(peak - before) / (1 << 20) << "\n";
  return 0;
}

void Peaks(benchmark::State& state, const std::string& kind, const std::string& input, std::uint32_t width, const std::string& output) {
  for (const std::string who : {"library", "direct"}) {
    auto v = bench::RunChild("--memory-child " + who + "_" + kind + " '" + input + "' " + std::to_string(width) + " '" + output + "'");
    state.counters[who + "_peak_mb"] = v["peak_mb"];
    if (v["ok"] != 1) state.SkipWithError((who + " made nothing").c_str());
  }
}

void BM_LetterPageToPng(benchmark::State& state) {
  const auto width = static_cast<std::uint32_t>(state.range(0));
  const Bytes image = ReadAll(Files().letter);
  double library = 0, direct = 0;
  for (auto _ : state) {
    // The two take turns at going first.
    for (int turn = 0; turn < 2; ++turn) {
      const auto start = Clock::now();
      const bool libraryTurn = (turn == 0) == (state.iterations() % 2 == 0);
      const Bytes png = libraryTurn ? tarnwick::pages::RenderPng(image, "bench", 1, width) : DirectPng(image, width);
      benchmark::DoNotOptimize(png.data());
      (libraryTurn ? library : direct) += Ms(Clock::now() - start);
    }
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["library_ms"] = library / n;
  state.counters["direct_ms"] = direct / n;
  state.counters["ratio"] = library / direct;
  Peaks(state, "png", Files().letter, width, "");
}
BENCHMARK(BM_LetterPageToPng)->ArgName("width")->Arg(0)->Arg(200)->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_FilingToPdf(benchmark::State& state) {
  const Bytes image = ReadAll(Files().filing);
  const std::string pdf = Files().dir.File("filing.pdf"), direct = Files().dir.File("direct.pdf");
  double libraryMs = 0, directMs = 0;
  for (auto _ : state) {
    auto start = Clock::now();
    tarnwick::pages::WritePdf(image, "bench", pdf);
    libraryMs += Ms(Clock::now() - start);
    start = Clock::now();
    DirectPdf(image, direct);
    directMs += Ms(Clock::now() - start);
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["library_ms"] = libraryMs / n;
  state.counters["direct_ms"] = directMs / n;
  state.counters["ratio"] = libraryMs / directMs;
  state.counters["pdf_mb"] = static_cast<double>(std::filesystem::file_size(pdf)) / (1 << 20);
  state.counters["tiff_mb"] = static_cast<double>(image.size()) / (1 << 20);
  state.counters["pdf_x_tiff"] = static_cast<double>(std::filesystem::file_size(pdf)) / static_cast<double>(image.size());
  Peaks(state, "pdf", Files().filing, 0, pdf);
}
BENCHMARK(BM_FilingToPdf)->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "--memory-child")
    return MemoryChild(argv[2], argv[3], static_cast<std::uint32_t>(std::stoul(argv[4])), argv[5]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
