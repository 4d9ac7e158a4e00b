// The four A4 check-pattern sheets on the virtual printer's paper, per sheet: laying the dots
// down alone, and with each sheet written as PNG.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "raster/LinkAccess.h"
#include "raster/Malraster.h"
#include "sim/PagePng.h"
#include "sim/VirtualPrinter.h"

namespace {

constexpr int kSheets = 4;

// As the check-pattern procedure runs it: readouts first, then the job.
bool PrintCheckPattern(vantor::LinkAccess& access, vantor::Raster& raster) {
  vantor::CheckReadouts readouts;
  return access.WaitUntilReady() == vantor::kOk &&
         access.ReadCheckReadouts(readouts) == vantor::kOk &&
         raster.PrintCheckPattern(readouts, access) == vantor::kOk;
}

// The data-channel stream of one check-pattern job, as the printer received it.
const std::vector<std::uint8_t>& CheckPatternStream() {
  static const std::vector<std::uint8_t> stream = [] {
    vantor::VirtualClock clock;
    vantor::sim::VirtualPrinter printer(clock, vantor::Model::Q40);
    std::ostringstream capture;
    printer.SetCapture(&capture);
    vantor::PortTable table;
    printer.AttachTo(table);
    vantor::Link link(table, clock);
    link.channel.SetModel(vantor::Model::Q40);
    vantor::Malheadid headId;
    vantor::Malusbid usbId;
    vantor::LinkAccess access(link, headId, usbId);
    vantor::Raster raster(access);
    if (link.port.OpenPort(0x501) != vantor::kOk || link.channel.StartLink() != vantor::kOk ||
        !PrintCheckPattern(access, raster)) {
      std::fputs("render_bench: the check pattern did not print\n", stderr);
      std::abort();
    }
    link.channel.ShutdownLink();
    link.port.ClosePort();
    const std::string s = capture.str();
    return std::vector<std::uint8_t>(s.begin(), s.end());
  }();
  return stream;
}

void RenderSheets(benchmark::State& state, bool png) {
  const auto& stream = CheckPatternStream();
  std::FILE* sink = png ? std::fopen("/dev/null", "wb") : nullptr;
  std::int64_t sheets = 0;
  for (auto _ : state) {
    vantor::VirtualClock clock;
    vantor::sim::VirtualPrinter printer(clock, vantor::Model::Q40);
    vantor::sim::PageRenderer renderer(printer.Mechanics(), [&](vantor::sim::Page&& page) {
      ++sheets;
      if (sink) {
        std::string why;
        if (!vantor::sim::WritePng(page, sink, why)) state.SkipWithError(why.c_str());
      }
      benchmark::DoNotOptimize(page.rgb.data());
    });
    printer.SetPageListener(&renderer);
    printer.FeedPrintData(stream);
  }
  if (sink) std::fclose(sink);
  if (sheets != state.iterations() * kSheets) state.SkipWithError("not four sheets per job");
  // Seconds per sheet; shown in ms with the time unit below.
  state.counters["per_sheet"] = benchmark::Counter(
      static_cast<double>(sheets), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void CheckPatternSheets(benchmark::State& state) {
  RenderSheets(state, false);
}
void CheckPatternSheetsToPng(benchmark::State& state) {
  RenderSheets(state, true);
}

BENCHMARK(CheckPatternSheets)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(CheckPatternSheetsToPng)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
