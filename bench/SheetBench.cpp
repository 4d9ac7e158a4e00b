// Reading a Bi-D print back: the two sheets of one job as a 300 dpi colour scan gives them,
// from the pixels to the eight suggestions, time per sheet.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "raster/LinkAccess.h"
#include "raster/Malraster.h"
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

const std::vector<Scan>& BidScans() {
  static const std::vector<Scan> scans = [] {
    vantor::VirtualClock clock;
    vantor::sim::VirtualPrinter printer(clock, vantor::Model::Q40);
    std::vector<Scan> pages;
    vantor::sim::PageRenderer renderer(
        printer.Mechanics(), [&](vantor::sim::Page&& page) { pages.push_back(At300Dpi(page)); });
    printer.SetPageListener(&renderer);
    vantor::PortTable table;
    printer.AttachTo(table);
    vantor::Link link(table, clock);
    link.channel.SetModel(vantor::Model::Q40);
    vantor::Malheadid headId;
    vantor::Malusbid usbId;
    vantor::LinkAccess access(link, headId, usbId);
    vantor::Raster raster(access);
    vantor::StoredBid stored{};
    if (link.port.OpenPort(0x501) != vantor::kOk || link.channel.StartLink() != vantor::kOk ||
        access.ReadStoredBid(stored) != vantor::kOk ||
        raster.PrintBidPattern(stored, access) != vantor::kOk || raster.FormFeed() != vantor::kOk ||
        pages.size() != 2) {
      std::fputs("sheet_bench: the Bi-D pattern did not print\n", stderr);
      std::abort();
    }
    link.channel.ShutdownLink();
    return pages;
  }();
  return scans;
}

void BM_ReadBidSheets300Dpi(benchmark::State& state) {
  const std::vector<Scan>& scans = BidScans();
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
BENCHMARK(BM_ReadBidSheets300Dpi)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
