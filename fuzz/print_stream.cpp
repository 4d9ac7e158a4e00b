// The printer's reading of the data stream: the commands heard are the same however the bytes
// are split, and every raster band holds what its header says.
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "sim/PrintStream.h"

namespace {

using namespace vantor::sim;

// Writes every command it hears as one line of text.
class Heard final : public PrintStreamListener {
 public:
  void InitPrinter() override { log += "@\n"; }
  void GraphicsMode(std::uint8_t m) override { Add("G", m); }
  void Unit(std::uint8_t u) override { Add("U", u); }
  void PrintDirection(std::uint8_t d) override { Add("D", d); }
  void DotSize(std::uint8_t s) override { Add("e", s); }
  void ColorMode(std::uint8_t m) override { Add("K", m); }
  void VerticalMove(std::int32_t u) override { Add("v", u); }
  void HorizontalPosition(std::uint16_t u) override { Add("$", u); }
  void RasterResolution(std::uint16_t b, std::uint8_t v, std::uint8_t h) override {
    Add("R", (static_cast<long long>(b) << 16) | (v << 8) | h);
  }
  void PaperSize(std::uint32_t w, std::uint32_t l) override { Add("S", w ^ (l << 1)); }
  void PageFormat(std::uint32_t t, std::uint32_t b) override { Add("c", t ^ (b << 1)); }
  void Band(const RasterBand& band) override {
    if (!band.truncated) {
      FUZZ_CHECK(band.data.size() == std::size_t(band.lines) * band.bytesPerLine);
    }
    Add("i", (static_cast<long long>(band.lines) << 16) | band.bytesPerLine);
    log.append(band.data.begin(), band.data.end());
  }
  void CarriageReturn() override { log += "CR\n"; }
  void LineFeed() override { log += "LF\n"; }
  void FormFeed() override { log += "FF\n"; }
  void Text(char c) override { log += c; }
  void RemoteModeEnter() override { log += "R+\n"; }
  void RemoteCommand(std::string_view name, std::span<const std::uint8_t> p) override {
    log += std::string(name) + std::to_string(p.size()) + "\n";
  }
  void RemoteModeExit() override { log += "R-\n"; }
  void FactoryFrame(std::span<const std::uint8_t> body) override {
    FUZZ_CHECK(body.size() <= PrintStream::kMaxFactoryBody);
    log += "|" + std::to_string(body.size()) + "\n";
  }
  void Unknown(std::span<const std::uint8_t> b) override { log += "?" + std::to_string(b.size()); }
  std::string log;

 private:
  void Add(const char* what, long long v) { log += what + std::to_string(v) + "\n"; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::uint8_t step = data[0] % 17 + 1;
  const std::span<const std::uint8_t> stream(data + 1, size - 1);

  Heard whole;
  PrintStream a(whole);
  a.Feed(stream);

  Heard pieces;
  PrintStream b(pieces);
  for (std::size_t at = 0; at < stream.size(); at += step) {
    b.Feed(stream.subspan(at, std::min<std::size_t>(step, stream.size() - at)));
  }
  FUZZ_CHECK(whole.log == pieces.log);
  FUZZ_CHECK(a.InRemoteMode() == b.InRemoteMode());
  return 0;
}
