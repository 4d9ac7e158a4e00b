// Reading prints back: the two sheets of a Bi-D job and the page of a PF job as a 300 dpi
// colour scan gives them, and the Bi-D sheets as a phone photo (keystone, a turn, darker
// corners), from the pixels to the suggestions, time per sheet.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "raster/Malraster.h"
#include "session/LinkSession.h"
#include "sheet/SheetReader.h"
#include "sim/VirtualPrinter.h"

namespace {

struct Scan {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
};

// The sheet at 360 dpi averaged down to 300 dpi, as a scanner's sensor would see it.
Scan At300Dpi(const vantor::sim::Page& page) {
  Scan scan{page.width * 5 / 6, page.height * 5 / 6, {}};
  scan.rgb.resize(static_cast<std::size_t>(scan.width) * scan.height * 3);
  for (int y = 0; y < scan.height; ++y) {
    for (int x = 0; x < scan.width; ++x) {
      for (int c = 0; c < 3; ++c) {
        const int sx = x * 6 / 5, sy = y * 6 / 5;
        const int sum = page.Pixel(sx, sy)[c] + page.Pixel(sx + 1, sy)[c] +
                        page.Pixel(sx, sy + 1)[c] + page.Pixel(sx + 1, sy + 1)[c];
        scan.rgb[(static_cast<std::size_t>(y) * scan.width + x) * 3 + c] =
            static_cast<std::uint8_t>(sum / 4);
      }
    }
  }
  return scan;
}

// The sheet as a phone held a little off square sees it: narrower at the top by 2 %, turned
// by 0.8 degree, corners a third darker, at 300 dpi.
Scan Photo(const vantor::sim::Page& page) {
  const double s = 300.0 / vantor::sim::kPageDpi;
  Scan photo{static_cast<int>(page.width * s), static_cast<int>(page.height * s), {}};
  photo.rgb.assign(static_cast<std::size_t>(photo.width) * photo.height * 3, 255);
  const double a = 0.8 * M_PI / 180, g = 0.02 / page.height;
  const double cx = photo.width / 2.0, cy = photo.height / 2.0;
  for (int y = 0; y < photo.height; ++y) {
    for (int x = 0; x < photo.width; ++x) {
      // Back from the photo to the page: undo the turn, then the perspective.
      const double dx = (x - cx) / s, dy = (y - cy) / s;
      const double px = std::cos(a) * dx + std::sin(a) * dy;
      const double py = -std::sin(a) * dx + std::cos(a) * dy;
      const double w = 1 + g * py;
      const int sx = static_cast<int>(px / (1 - g * py / w) + page.width / 2.0);
      const int sy = static_cast<int>(py / (1 - g * py / w) + page.height / 2.0);
      if (sx < 0 || sy < 0 || sx >= page.width || sy >= page.height) continue;
      const double r2 =
          (dx * dx + dy * dy) / (page.width * page.width / 4.0 + page.height * page.height / 4.0);
      for (int c = 0; c < 3; ++c) {
        photo.rgb[(static_cast<std::size_t>(y) * photo.width + x) * 3 + c] =
            static_cast<std::uint8_t>(page.Pixel(sx, sy)[c] * (1 - 0.33 * r2));
      }
    }
  }
  return photo;
}

// The pages of one print job on the virtual printer, as `scan` turns them into images.
std::vector<Scan> Printed(bool pf, Scan (*scan)(const vantor::sim::Page&)) {
  vantor::VirtualClock clock;
  vantor::LinkSession session(clock);
  vantor::SessionOptions options;
  options.virtualPrinter = true;
  std::vector<Scan> pages;
  options.pageObserver = [&](const vantor::sim::Page& page, const std::string&) {
    pages.push_back(scan(page));
  };
  vantor::SetupFailure failure;
  std::string why;
  // Square head: a tilted one is refused, not read.
  if (!session.Configure(options, failure) ||
      !session.Printer()->SetMisalignment("tilt=0;pf=-2;bid=vsd1-black:+3,eco-color:-2", why)) {
    std::fprintf(stderr, "sheet_bench: %s%s\n", failure.message.c_str(), why.c_str());
    std::abort();
  }
  vantor::SilentDisplay display;
  const bool started = session.Start(0x501, vantor::Model::Q40).result == vantor::kOk;
  vantor::ProcedureContext& bench = session.ContextFor(display);
  vantor::Link& link = bench.link;
  vantor::StoredBid stored{};
  const auto setPf = [&](std::int8_t value) -> vantor::Result {
    VANTOR_TRY(link.factory.SetPfValue(static_cast<std::uint8_t>(value)));
    return link.factory.FinishAdjustWrite();
  };
  const bool printed =
      started &&
      (pf ? bench.raster.PrintPfCandidates(setPf) == vantor::kOk
          : bench.access.ReadStoredBid(stored) == vantor::kOk &&
                bench.raster.PrintBidPattern(stored, bench.access) == vantor::kOk) &&
      bench.raster.FormFeed() == vantor::kOk && pages.size() == (pf ? 1u : 2u);
  if (!printed) {
    std::fputs("sheet_bench: the pattern did not print\n", stderr);
    std::abort();
  }
  (void)session.Finish();
  return pages;
}

void ReadBid(benchmark::State& state, const std::vector<Scan>& scans) {
  for (auto _ : state) {
    std::vector<vantor::sheet::SheetImage> images;
    for (const Scan& s : scans) {
      images.push_back(vantor::sheet::FromPixels(s.width, s.height, 3, s.rgb.data()));
    }
    std::string why;
    auto reading = vantor::sheet::ReadBidSheets(images, why);
    if (!reading) state.SkipWithError(why.c_str());
    benchmark::DoNotOptimize(reading);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(scans.size()));
}

void BM_ReadBidSheets300Dpi(benchmark::State& state) {
  static const std::vector<Scan> scans = Printed(false, At300Dpi);
  ReadBid(state, scans);
}
BENCHMARK(BM_ReadBidSheets300Dpi)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadBidPhotos300Dpi(benchmark::State& state) {
  static const std::vector<Scan> photos = Printed(false, Photo);
  ReadBid(state, photos);
}
BENCHMARK(BM_ReadBidPhotos300Dpi)->Unit(benchmark::kMillisecond)->UseRealTime();

void ReadPf(benchmark::State& state, const Scan& s) {
  for (auto _ : state) {
    const auto image = vantor::sheet::FromPixels(s.width, s.height, 3, s.rgb.data());
    std::string why;
    auto reading = vantor::sheet::ReadPfSheet(image, why);
    if (!reading) state.SkipWithError(why.c_str());
    benchmark::DoNotOptimize(reading);
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_ReadPfSheet300Dpi(benchmark::State& state) {
  static const std::vector<Scan> pages = Printed(true, At300Dpi);
  ReadPf(state, pages.front());
}
BENCHMARK(BM_ReadPfSheet300Dpi)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadPfPhoto300Dpi(benchmark::State& state) {
  static const std::vector<Scan> pages = Printed(true, Photo);
  ReadPf(state, pages.front());
}
BENCHMARK(BM_ReadPfPhoto300Dpi)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
