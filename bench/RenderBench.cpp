// The four A4 check-pattern sheets on the virtual printer's paper, per sheet: laying the dots
// down alone, and with each sheet written as PNG. Beside each, the earlier way: a fresh page
// per sheet, written as RGB.
#include <benchmark/benchmark.h>
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "adjust/procedures/CheckPatternProcedure.h"
#include "session/LinkSession.h"
#include "sim/PagePng.h"
#include "sim/VirtualPrinter.h"

namespace {

constexpr int kSheets = 4;

// The data-channel stream of one check-pattern job, as the printer received it.
const std::vector<std::uint8_t>& CheckPatternStream() {
  static const std::vector<std::uint8_t> stream = [] {
    vantor::VirtualClock clock;
    vantor::LinkSession session(clock);
    vantor::SessionOptions options;
    options.virtualPrinter = true;
    vantor::SetupFailure failure;
    std::ostringstream capture;
    if (session.Configure(options, failure)) session.Printer()->SetCapture(&capture);
    vantor::SilentDisplay display;
    if (session.Start(0x501, vantor::Model::Q40).result != vantor::kOk ||
        vantor::procedures::PrintA4CheckPattern(session.ContextFor(display)) != vantor::kOk ||
        session.Finish().Any()) {
      std::fputs("render_bench: the check pattern did not print\n", stderr);
      std::abort();
    }
    const std::string s = capture.str();
    return std::vector<std::uint8_t>(s.begin(), s.end());
  }();
  return stream;
}

// The earlier writer, kept here to compare with: every pixel as 8-bit RGB.
bool WriteRgbPng(const vantor::sim::Page& page, std::FILE* file) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, 1);
  png_set_filter(png, 0, PNG_FILTER_SUB);
  png_set_IHDR(png, info, static_cast<png_uint_32>(page.width),
               static_cast<png_uint_32>(page.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  const png_uint_32 ppm = static_cast<png_uint_32>(vantor::sim::kPageDpi / 0.0254 + 0.5);
  png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (int y = 0; y < page.height; ++y) png_write_row(png, page.Pixel(0, y));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

enum class Way { Earlier, Now };

bool Write(Way way, const vantor::sim::Page& page, std::FILE* file, std::string& why) {
  if (way == Way::Now) return vantor::sim::WritePng(page, file, why);
  why = "PNG encoding failed";
  return WriteRgbPng(page, file);
}

// Renders one job; `keep` takes each sheet away from the renderer, as the earlier renderer
// always gave it up.
template <typename OnSheet>
void RenderJob(bool keep, OnSheet&& onSheet) {
  vantor::VirtualClock clock;
  vantor::sim::VirtualPrinter printer(clock, vantor::Model::Q40);
  vantor::sim::PageRenderer renderer(printer.Mechanics(), [&](vantor::sim::Page&& page) {
    if (keep) {
      const vantor::sim::Page kept = std::move(page);
      onSheet(kept);
    } else {
      onSheet(page);
    }
  });
  printer.SetPageListener(&renderer);
  printer.FeedPrintData(CheckPatternStream());
}

// The largest sheet's file, in bytes.
long LargestFile(Way way) {
  long largest = 0;
  RenderJob(false, [&](const vantor::sim::Page& page) {
    std::FILE* file = std::tmpfile();
    std::string why;
    if (file && Write(way, page, file, why)) largest = std::max(largest, std::ftell(file));
    if (file) std::fclose(file);
  });
  return largest;
}

void RenderSheets(benchmark::State& state, Way way, bool png) {
  std::FILE* sink = png ? std::fopen("/dev/null", "wb") : nullptr;
  std::int64_t sheets = 0;
  for (auto _ : state) {
    RenderJob(way == Way::Earlier, [&](const vantor::sim::Page& page) {
      ++sheets;
      std::string why;
      if (sink && !Write(way, page, sink, why)) state.SkipWithError(why.c_str());
      benchmark::DoNotOptimize(page.rgb.data());
    });
  }
  if (sink) std::fclose(sink);
  if (sheets != state.iterations() * kSheets) state.SkipWithError("not four sheets per job");
  // Seconds per sheet; shown in ms with the time unit below.
  state.counters["per_sheet"] = benchmark::Counter(
      static_cast<double>(sheets), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (png) state.counters["file_kb"] = static_cast<double>(LargestFile(way)) / 1000.0;
}

void CheckPatternSheets(benchmark::State& state) {
  RenderSheets(state, Way::Now, false);
}
void CheckPatternSheetsToPng(benchmark::State& state) {
  RenderSheets(state, Way::Now, true);
}
void EarlierCheckPatternSheets(benchmark::State& state) {
  RenderSheets(state, Way::Earlier, false);
}
void EarlierCheckPatternSheetsToPng(benchmark::State& state) {
  RenderSheets(state, Way::Earlier, true);
}

BENCHMARK(EarlierCheckPatternSheets)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(CheckPatternSheets)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(EarlierCheckPatternSheetsToPng)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(CheckPatternSheetsToPng)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
