// The whole A4 check-pattern stream generated into a sink that only counts, in bytes per
// second, with the heap allocations made per job.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

#include "raster/Malraster.h"

namespace {

std::atomic<std::size_t> g_allocations{0};

// A printer that answers at once and keeps nothing but counts.
class CountingSink final : public vantor::PrintSink, public vantor::JobSteps {
 public:
  std::size_t bytes = 0;
  std::size_t calls = 0;
  std::size_t flushes = 0;

  vantor::Result QueuePrintData(std::span<const std::uint8_t> b) override {
    bytes += b.size();
    ++calls;
    return vantor::kOk;
  }
  vantor::Result FlushPrintData() override {
    ++flushes;
    return vantor::kOk;
  }
  vantor::Result WaitUntilReady() override { return vantor::kOk; }
  vantor::Result SetBidValues(std::uint8_t, int, int) override { return vantor::kOk; }
  vantor::Result FactoryCommandD1(std::uint8_t) override { return vantor::kOk; }
  vantor::Result FactoryCommandCB() override { return vantor::kOk; }
  vantor::Result ReadPfValue(std::uint8_t& value) override {
    value = 0x02;
    return vantor::kOk;
  }
  void SleepMs(std::int64_t) override {}
};

vantor::CheckReadouts Readouts() {
  vantor::CheckReadouts r;
  std::memcpy(r.counter.data(), "3937", 5);
  std::memcpy(r.headId.data(), "21A2B3C4D5E12", 14);
  std::memcpy(r.usbId.data(), "Q4A007123433CAKA00", 19);
  r.bid.fill(0x02);
  r.model = 0;
  return r;
}

void CheckPatternStream(benchmark::State& state) {
  CountingSink sink;
  vantor::Raster raster(sink);
  const vantor::CheckReadouts readouts = Readouts();
  std::size_t allocations = 0;
  std::size_t total = 0;
  for (auto _ : state) {
    sink.bytes = 0;
    sink.calls = 0;
    const std::size_t before = g_allocations.load(std::memory_order_relaxed);
    if (raster.PrintCheckPattern(readouts, sink) != vantor::kOk) state.SkipWithError("job failed");
    allocations += g_allocations.load(std::memory_order_relaxed) - before;
    total += sink.bytes;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(total));
  state.counters["bytes_per_job"] = static_cast<double>(sink.bytes);
  state.counters["calls_per_job"] = static_cast<double>(sink.calls);
  state.counters["allocations_per_job"] =
      benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(CheckPatternStream)->Unit(benchmark::kMillisecond);

}  // namespace

// The counting replacement pairs malloc with free; GCC cannot see that through inlining.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}

BENCHMARK_MAIN();
