// The print-stream tokenizer: every command, any split of the stream, and hostile bytes.
#include <gtest/gtest.h>

#include <sstream>

#include "sim/PrintStream.h"
#include "tests/sim/SimWire.h"

namespace vantor::sim::test {
namespace {

// Writes every event as one line, so whole streams can be compared.
class Recorder final : public PrintStreamListener {
 public:
  std::ostringstream log;
  std::vector<RasterBand> bands;

  void InitPrinter() override { log << "init\n"; }
  void GraphicsMode(std::uint8_t m) override { log << "graphics " << int(m) << "\n"; }
  void Unit(std::uint8_t u) override { log << "unit " << int(u) << "\n"; }
  void PrintDirection(std::uint8_t d) override { log << "direction " << int(d) << "\n"; }
  void DotSize(std::uint8_t s) override { log << "dot " << int(s) << "\n"; }
  void ColorMode(std::uint8_t m) override { log << "color " << int(m) << "\n"; }
  void VerticalMove(std::int32_t u) override { log << "down " << u << "\n"; }
  void HorizontalPosition(std::uint16_t u) override { log << "x " << u << "\n"; }
  void RasterResolution(std::uint16_t b, std::uint8_t v, std::uint8_t h) override {
    log << "resolution " << b << " " << int(v) << " " << int(h) << "\n";
  }
  void PaperSize(std::uint32_t w, std::uint32_t l) override {
    log << "paper " << w << " " << l << "\n";
  }
  void PageFormat(std::uint32_t t, std::uint32_t b) override {
    log << "format " << t << " " << b << "\n";
  }
  void Band(const RasterBand& band) override {
    log << "band " << int(band.color) << " " << band.bytesPerLine << "x" << band.lines << "\n";
    bands.push_back(band);
  }
  void CarriageReturn() override { log << "CR\n"; }
  void LineFeed() override { log << "LF\n"; }
  void FormFeed() override { log << "FF\n"; }
  void Text(char c) override { log << "text " << c << "\n"; }
  void RemoteModeEnter() override { log << "remote\n"; }
  void RemoteCommand(std::string_view name, std::span<const std::uint8_t> p) override {
    log << "remote " << name << " " << p.size() << "\n";
  }
  void RemoteModeExit() override { log << "remote end\n"; }
  void FactoryFrame(std::span<const std::uint8_t> body) override {
    log << "factory " << body.size() << "\n";
  }
  void Unknown(std::span<const std::uint8_t> bytes) override {
    log << "unknown " << bytes.size() << "\n";
  }
};

// A job as the pattern generators build one, with every command of the set.
Bytes Job() {
  return {
      'A',
      0x00,
      ' ',
      0x0D,
      0x0A,  // text field, CR LF
      0x1B,
      0x28,
      0x52,
      0x08,
      0x00,
      0x00,
      'R',
      'E',
      'M',
      'O',
      'T',
      'E',
      '1',  // remote entry
      'S',
      'N',
      0x03,
      0x00,
      0x00,
      0x00,
      0x03,  // SN 0 0 3
      0x1B,
      0x00,
      0x00,
      0x00,  // remote exit
      0x1B,
      0x40,  // ESC @
      0x1B,
      0x28,
      0x47,
      0x01,
      0x00,
      0x01,  // graphics mode
      0x1B,
      0x28,
      0x55,
      0x01,
      0x00,
      0x0A,  // unit 10
      0x1B,
      0x55,
      0x01,  // unidirectional
      0x1B,
      0x28,
      0x65,
      0x02,
      0x00,
      0x00,
      0x11,  // dot size VSD2
      0x1B,
      0x28,
      0x4B,
      0x02,
      0x00,
      0x00,
      0x02,  // colour
      0x1B,
      0x28,
      0x53,
      0x08,
      0x00,
      0xA0,
      0x0B,
      0,
      0,
      0x70,
      0x10,
      0,
      0,  // paper 2976 x 4208
      0x1B,
      0x28,
      0x63,
      0x08,
      0x00,
      0x78,
      0,
      0,
      0,
      0x50,
      0,
      0,
      0,  // margins 120, 80
      0x1B,
      0x28,
      0x76,
      0x02,
      0x00,
      0x66,
      0x01,
      0x0D,  // down 358, CR
      0x1B,
      0x24,
      0x10,
      0x00,  // x 16
      0x1B,
      0x28,
      0x44,
      0x04,
      0x00,
      0x68,
      0x01,
      0x02,
      0x01,  // resolution 360 2 1
      // Yellow band, 3 bytes per line, 2 lines: FE 55 = three 0x55; 00 30 FF 00 = 0x30, 0x00 x2.
      0x1B,
      0x69,
      0x04,
      0x01,
      0x02,
      0x03,
      0x00,
      0x02,
      0x00,
      0xFE,
      0x55,
      0x00,
      0x30,
      0xFF,
      0x00,
      0x1B,
      0x7C,
      0x00,
      0x05,
      0x00,
      0x07,
      0x4C,
      0x50,
      0xAF,
      0x28,  // factory: finish write
      0x1B,
      0x51,  // not in the set
      0x0C,
  };
}

const char* kJobLog =
    "text A\ntext  \nCR\nLF\nremote\nremote SN 3\nremote end\ninit\ngraphics 1\nunit 10\n"
    "direction 1\ndot 17\ncolor 2\npaper 2976 4208\nformat 120 80\ndown 358\nCR\nx 16\n"
    "resolution 360 2 1\nband 4 3x2\nfactory 5\nunknown 2\nFF\n";

TEST(PrintStream, RecognisesEveryCommandAndDecodesRuns) {
  Recorder r;
  PrintStream s(r);
  s.Feed(Job());
  EXPECT_EQ(r.log.str(), kJobLog);
  ASSERT_EQ(r.bands.size(), 1u);
  const RasterBand& b = r.bands[0];
  EXPECT_EQ(b.data, (Bytes{0x55, 0x55, 0x55, 0x30, 0x00, 0x00}));
  EXPECT_EQ(b.Dot(0, 0), 1);
  EXPECT_EQ(b.Dot(1, 1), 3);  // 0x30: second dot, value 3
  EXPECT_EQ(b.Dot(1, 0), 0);
  EXPECT_EQ(b.Dot(5, 0), 0);  // outside the band
}

TEST(PrintStream, SameEventsWhereverTheStreamIsSplit) {
  const Bytes job = Job();
  for (std::size_t cut = 0; cut <= job.size(); ++cut) {
    Recorder r;
    PrintStream s(r);
    s.Feed(std::span(job).first(cut));
    s.Feed(std::span(job).subspan(cut));
    ASSERT_EQ(r.log.str(), kJobLog) << "split at " << cut;
  }
  Recorder r;
  PrintStream s(r);
  for (const std::uint8_t b : job) s.Feed(std::span(&b, 1));
  EXPECT_EQ(r.log.str(), kJobLog);
}

TEST(PrintStream, OvershootingRunsAndHugeBandsStayBounded) {
  Recorder r;
  PrintStream s(r);
  // Two bytes per line, but a run of 4 and a literal run of 3: the excess is not drawn.
  s.Feed(
      Bytes{0x1B, 0x69, 0x00, 0x01, 0x02, 0x02, 0x00, 0x02, 0x00, 0xFD, 0xAA, 0x02, 1, 2, 3, 0x0C});
  ASSERT_EQ(r.bands.size(), 1u);
  EXPECT_EQ(r.bands[0].data, (Bytes{0xAA, 0xAA, 0x01, 0x02}));
  EXPECT_EQ(r.log.str(), "band 0 2x2\nFF\n");
  // 65535 x 65535 bytes is read past without being kept.
  s.Feed(Bytes{0x1B, 0x69, 0x00, 0x00, 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0x00});
  EXPECT_TRUE(s.InBand());
  s.Reset();
  EXPECT_FALSE(s.InBand());
  // An oversized factory frame is skipped whole, and the stream goes on.
  Bytes frame = {0x1B, 0x7C, 0x00, 0x00, 0x10};
  frame.resize(frame.size() + 0x1000, 0x41);
  frame.push_back(0x0C);
  r.log.str("");
  s.Feed(frame);
  EXPECT_EQ(r.log.str(), "unknown 5\nFF\n");
}

TEST(PrintStream, RandomBytesNeverCrashIt) {
  Recorder r;
  PrintStream s(r);
  std::uint32_t x = 12345;
  Bytes noise(200'000);
  for (auto& b : noise) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(x >> 16);
  }
  for (std::size_t at = 0; at < noise.size();) {
    const std::size_t n = std::min<std::size_t>(1 + (at * 7) % 1000, noise.size() - at);
    s.Feed(std::span(noise).subspan(at, n));
    at += n;
    if (s.InBand() && at % 3 == 0) s.Reset();
  }
  SUCCEED();
}

}  // namespace
}  // namespace vantor::sim::test
