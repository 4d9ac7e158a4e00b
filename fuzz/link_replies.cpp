// The link's whole reply handling, parallel and USB framing, over a port that answers with
// the fuzzer's bytes: every command ends, and what it leaves is one of the listed values.
#include <cstring>
#include <deque>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "link/Link.h"

namespace {

using namespace vantor;

// Answers each read with the next piece of the input; the first byte picks the sizes.
class FuzzPort final : public PortDevice {
 public:
  FuzzPort(Clock& clock, const std::uint8_t* data, std::size_t size)
      : clock_(clock), bytes_(data, data + size) {}
  IoResult Write(std::span<const std::uint8_t> b, std::int64_t) override {
    return {true, b.size()};
  }
  IoResult Read(std::span<std::uint8_t> b, std::int64_t limit) override { return Take(b, limit); }
  IoResult ReadReply(std::span<std::uint8_t> b, std::int64_t limit) override {
    return Take(b, limit);
  }
  std::size_t DeviceId(std::span<std::uint8_t> b) override {
    static constexpr char kId[] = "\x00\x18MFG:V;MDL:Vantor Q40;";
    const std::size_t n = std::min(b.size(), sizeof kId - 1);
    std::memcpy(b.data(), kId, n);
    return n;
  }

 private:
  IoResult Take(std::span<std::uint8_t> b, std::int64_t limit) {
    if (bytes_.empty()) {
      clock_.SleepMs(limit);  // a silent printer: the wait runs out
      return {true, 0};
    }
    // A piece size from the stream itself, so replies split and join anywhere.
    const std::size_t piece =
        std::min<std::size_t>({b.size(), bytes_.size(), bytes_.front() % 64 + 1u});
    bytes_.pop_front();
    const std::size_t n = std::min(piece, bytes_.size());
    for (std::size_t i = 0; i < n; ++i) {
      b[i] = bytes_.front();
      bytes_.pop_front();
    }
    return {true, n};
  }
  Clock& clock_;
  std::deque<std::uint8_t> bytes_;
};

bool ListedStatus(std::uint16_t s) {
  return s == kStatusNone || (s >= 0xEFF9 && s <= 0xEFFF);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  VirtualClock clock;
  PortTable table;
  table.Set("LPT1", "fuzz", [&](InterfaceKind, OpenFailure&) {
    return std::make_unique<FuzzPort>(clock, data + 1, size - 1);
  });
  table.Set("TVUSB1", "fuzz", [&](InterfaceKind, OpenFailure&) {
    return std::make_unique<FuzzPort>(clock, data + 1, size - 1);
  });
  Link link(table, clock);
  link.channel.SetModel(Model::Q40);
  link.channel.SetWaitForSilenceOnce(true);
  const PortCode code = data[0] & 1 ? 0x501 : 0x401;
  FUZZ_CHECK(link.port.OpenPort(code) == kOk);
  const std::int64_t start = clock.NowMs();
  Result r = link.channel.StartLink();
  if (r == kOk) {
    std::uint8_t value = 0;
    r = link.channel.ReadEepromByte(0x5D, value);
    link.channel.WriteEepromByte(0x5D, 0x0E);
    std::array<std::uint8_t, 64> payload{};
    std::size_t count = 0;
    link.channel.ReceiveData(payload, count);
    FUZZ_CHECK(count <= payload.size());
    link.channel.ReadStatus();
    // Polling a printer that keeps saying "busy" has no end by design; one pass is enough.
  }
  FUZZ_CHECK(r == kOk || r == kPortFailure || r == kChannelFailure);
  FUZZ_CHECK(ListedStatus(link.channel.PrinterStatus()));
  link.channel.ShutdownLink();
  // A port that runs dry stands for a silent printer: one wait, not one per step.
  FUZZ_CHECK(clock.NowMs() - start < 60'000);
  return 0;
}
