// The nozzle column shift and the top-margin line, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Recorder.h"
#include "raster/Malraster.h"

namespace vantor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

void Add(Bytes& to, const Bytes& more) {
  to.insert(to.end(), more.begin(), more.end());
}
void AddText(Bytes& to, std::string_view text) {
  to.insert(to.end(), text.begin(), text.end());
  to.push_back(0x00);
}
// InitPrinter, graphics mode, unit 10, direction, dot-size byte, colour-mode byte.
Bytes Mode(std::uint8_t direction, std::uint8_t dotSize, std::uint8_t colorMode) {
  return {0x1B, 0x40,    0x1B, 0x28, 0x47, 0x01,      0x00, 0x01, 0x1B,     0x28, 0x55,
          0x01, 0x00,    0x0A, 0x1B, 0x55, direction, 0x1B, 0x28, 0x65,     0x02, 0x00,
          0x00, dotSize, 0x1B, 0x28, 0x4B, 0x02,      0x00, 0x00, colorMode};
}
const Bytes kResolution = {0x1B, 0x28, 0x44, 0x04, 0x00, 0x68, 0x01, 0x02, 0x01};

// Where the flushes fell, as print-data offsets.
std::vector<std::size_t> FlushOffsets(const Recorder& r) {
  std::vector<std::size_t> at;
  for (const Call& c : r.Named("flush")) at.push_back(c.at);
  return at;
}

TEST(SmallPatterns, NozzleColumnShift) {
  Recorder printer;
  Raster raster(printer);
  ASSERT_EQ(raster.PrintNozzleColumnShift(), kOk);

  // One bar byte 30 (run of 1: header 00), nine blanks (header 257 - 9 = F8); 18 times.
  Bytes line;
  for (int i = 0; i < 18; ++i) Add(line, {0x00, 0x30, 0xF8, 0x00});
  ASSERT_EQ(line.size(), 72u);

  Bytes expected;
  std::vector<std::size_t> flushes;
  const auto band = [&](std::uint8_t colour) {
    Add(expected, kResolution);
    Add(expected, {0x1B, 0x69, colour, 0x01, 0x02, 0xB4, 0x00, 0x3C, 0x00});  // 180 x 60
    for (int i = 0; i < 60; ++i) {
      Add(expected, line);
      flushes.push_back(expected.size());
    }
  };
  AddText(expected, "Nozzle column shift");
  Add(expected, {0x0D, 0x0A});
  for (int pass = 0; pass < 2; ++pass) {
    Add(expected, Mode(0x01, 0x10, 0x01));
    band(0x00);
    Add(expected, Mode(0x01, 0x10, 0x02));
    band(0x01);
    if (pass == 0) Add(expected, {0x1B, 0x28, 0x76, 0x02, 0x00, 0x01, 0x00, 0x0D});
  }
  Add(expected, {0x1B, 0x40});
  flushes.push_back(expected.size());

  EXPECT_EQ(printer.data, expected);
  EXPECT_EQ(FlushOffsets(printer), flushes);
  EXPECT_EQ(printer.calls.size(), flushes.size());
}

TEST(SmallPatterns, TopMarginWithUnsignedMargin) {
  Recorder printer;
  Raster raster(printer);
  ASSERT_EQ(raster.PrintTopMarginPattern(0xC8, printer), kOk);

  Bytes expected;
  Add(expected, Mode(0x01, 0x10, 0x01));
  Add(expected, {0x1B, 0x28, 0x53, 0x08, 0x00, 0xA0, 0x0B, 0x00, 0x00, 0x70, 0x10, 0x00, 0x00});
  Add(expected, {0x1B, 0x28, 0x63, 0x08, 0x00, 0xC8, 0x00, 0x00, 0x00, 0x1E, 0x1F, 0x00, 0x00});
  std::vector<Call> calls = {{"flush"}};
  Add(expected, kResolution);
  Add(expected, {0x1B, 0x69, 0x00, 0x01, 0x02, 0xD0, 0x02, 0xB4, 0x00});  // 720 x 180
  for (int i = 0; i < 180; ++i) {
    // Six runs of 120 (header 257 - 120 = 89): solid on the first line, blank after.
    const std::uint8_t v = i == 0 ? 0xFF : 0x00;
    for (int r = 0; r < 6; ++r) Add(expected, {0x89, v});
    calls.push_back({"flush"});
  }
  Add(expected, {0x1B, 0x40, 0x0D, 0x0A, 0x0D, 0x0A});
  calls.push_back({"sleep", 1000});
  Add(expected, {0x1B, 0x40});
  AddText(expected, "Top margin");
  calls.push_back({"sleep", 1000});
  Add(expected, {0x0C});
  calls.push_back({"flush"});
  Add(expected, {0x1B, 0x40});
  calls.push_back({"flush"});

  EXPECT_EQ(printer.data, expected);
  EXPECT_EQ(printer.calls, calls);
  EXPECT_EQ(printer.lines, 180);  // each raster line handed over whole
}

}  // namespace
}  // namespace vantor::test
