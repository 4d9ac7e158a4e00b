// The page renderer fed hand-written print streams: where the head and the paper put the dots.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/PageRenderer.h"
#include "sim/PrintStream.h"
#include "sim/VirtualPrinter.h"
#include "tests/render/PageReading.h"

namespace vantor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct StubMechanics final : sim::PrintMechanics {
  int shift = 0;
  int feedError = 0;
  int tilt = 0;
  int landingOffset = 0;
  int ReturnPassShift(std::uint8_t, bool) const override { return shift; }
  int FeedError() const override { return feedError; }
  int HeadTilt() const override { return tilt; }
  int TopMarginLanding(int margin) const override { return margin + landingOffset; }
  int StoredTopMargin() const override { return 100; }
};

struct Paper {
  StubMechanics mechanics;
  std::vector<sim::Page> sheets;
  bool keep = true;  // else copies, and the renderer reuses its buffer for the next sheet
  sim::PageRenderer renderer{mechanics, [this](sim::Page&& p) {
                               if (keep) {
                                 sheets.push_back(std::move(p));
                               } else {
                                 sheets.push_back(p);
                               }
                             }};
  sim::PrintStream stream{renderer};
  void Feed(const Bytes& b) { stream.Feed(b); }
};

// ESC @, unit 1/360, direction d, VSD1, raster resolution 360/2/1.
Bytes RasterSetup(std::uint8_t direction) {
  return {0x1B, 0x40, 0x1B, 0x28, 0x55, 0x01, 0x00, 0x0A, 0x1B, 0x55, direction, 0x1B, 0x28, 0x65,
          0x02, 0x00, 0x00, 0x10, 0x1B, 0x28, 0x44, 0x04, 0x00, 0x68, 0x01,      0x02, 0x01};
}
// ESC i with run-length lines of one byte each: every line a literal run of one byte.
Bytes Band(std::uint8_t colour, const Bytes& lineBytes) {
  Bytes b = {0x1B, 0x69, colour, 0x01,
             0x02, 0x01, 0x00,   static_cast<std::uint8_t>(lineBytes.size()),
             0x00};
  for (const std::uint8_t v : lineBytes) b.insert(b.end(), {0x00, v});
  return b;
}
Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
const Bytes kFormFeed = {0x0C};
constexpr int kLeft = 48;

TEST(PageRenderer, NozzlesAndInksLandOnTheirRowsInTheirColours) {
  Paper paper;
  // Black: line 0 dot 0 (value 3), line 2 dot 3 (value 1). Magenta and cyan: line 0, dot 1.
  paper.Feed(RasterSetup(1) + Band(0x00, {0xC0, 0x00, 0x01}) + Band(0x01, {0x30}) +
             Band(0x02, {0x30}) + kFormFeed);
  ASSERT_EQ(paper.sheets.size(), 1u);
  const sim::Page& page = paper.sheets[0];
  EXPECT_EQ(page.width, sim::kA4Width);
  EXPECT_EQ(page.height, sim::kA4Length);
  // First print line at the stored top margin; nozzles 1/180 inch = 2 rows apart.
  EXPECT_TRUE(Shows(page, kLeft, 100, InkSeen::Black));
  EXPECT_FALSE(Shows(page, kLeft, 101, InkSeen::Black));
  EXPECT_FALSE(Shows(page, kLeft + 1, 100, InkSeen::Black));
  const std::uint8_t* faint = page.Pixel(kLeft + 3, 104);
  EXPECT_LT(faint[0], 255);
  EXPECT_GT(faint[0], 100);  // value 1 is a small dot, lighter than value 3
  // Magenta's 60 nozzles follow yellow's below the head's top; cyan's follow magenta's.
  EXPECT_TRUE(Shows(page, kLeft + 1, 100 + 120, InkSeen::Magenta));
  EXPECT_TRUE(Shows(page, kLeft + 1, 100 + 240, InkSeen::Cyan));
}

TEST(PageRenderer, DotValuesAreThreeDifferentShades) {
  Paper paper;
  paper.Feed(RasterSetup(1) + Band(0x00, {0x1B}) + kFormFeed);  // dots 0, 1, 2, 3
  ASSERT_EQ(paper.sheets.size(), 1u);
  const sim::Page& page = paper.sheets[0];
  EXPECT_EQ(page.Pixel(kLeft, 100)[0], 255);
  const int v1 = page.Pixel(kLeft + 1, 100)[0];
  const int v2 = page.Pixel(kLeft + 2, 100)[0];
  const int v3 = page.Pixel(kLeft + 3, 100)[0];
  EXPECT_GT(v1 - v2, 40);
  EXPECT_GT(v2 - v3, 40);
}

TEST(PageRenderer, OnlyPassesBackFromTheRightAreDisplaced) {
  Paper paper;
  paper.mechanics.shift = 5;
  // A unidirectional pass, then three bidirectional ones: right to left, left to right, and
  // right to left again; a unidirectional pass after them is never displaced.
  const Bytes bar = Band(0x00, {0xC0});
  paper.Feed(RasterSetup(1) + bar + RasterSetup(0) + bar + bar + bar + RasterSetup(1) + bar +
             kFormFeed);
  ASSERT_EQ(paper.sheets.size(), 1u);
  const sim::Page& page = paper.sheets[0];
  EXPECT_TRUE(Shows(page, kLeft, 100, InkSeen::Black));
  EXPECT_TRUE(Shows(page, kLeft + 5, 100, InkSeen::Black));
  EXPECT_EQ(InkedRows(page, 0, page.width, InkSeen::Black).size(), 1u);
  int inked = 0;
  for (int x = 0; x < 200; ++x) inked += Shows(page, x, 100, InkSeen::Black);
  EXPECT_EQ(inked, 2);
}

TEST(PageRenderer, TiltShiftsNozzlesByTheirHeightInTheHead) {
  Paper paper;
  paper.mechanics.tilt = 6;
  Bytes lines(180, 0x00);
  lines.front() = lines.back() = 0xC0;
  paper.Feed(RasterSetup(1) + Band(0x00, lines) + kFormFeed);
  ASSERT_EQ(paper.sheets.size(), 1u);
  EXPECT_EQ(FirstInk(paper.sheets[0], 100, 0, 400, InkSeen::Black), kLeft);
  EXPECT_EQ(FirstInk(paper.sheets[0], 100 + 358, 0, 400, InkSeen::Black), kLeft + 6);
}

TEST(PageRenderer, PaperMovesCarryTheFeedErrorAndTheTopMarginItsOffset) {
  Paper paper;
  paper.mechanics.feedError = 4;      // units per 360
  paper.mechanics.landingOffset = 7;  // the first line lands 7 rows low
  const Bytes move358 = {0x1B, 0x28, 0x76, 0x02, 0x00, 0x66, 0x01, 0x0D};
  const Bytes move1 = {0x1B, 0x28, 0x76, 0x02, 0x00, 0x01, 0x00, 0x0D};
  // A page format of 50 units on a blank sheet moves the first line there.
  const Bytes format = {0x1B, 0x28, 0x63, 0x08, 0x00, 50, 0, 0, 0, 0x1E, 0x1F, 0, 0};
  const Bytes dot = Band(0x00, {0xC0});
  paper.Feed(RasterSetup(1) + format + dot + move1 + dot + move358 + dot + kFormFeed);
  ASSERT_EQ(paper.sheets.size(), 1u);
  const auto rows = InkedRows(paper.sheets[0], 0, 100, InkSeen::Black);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].first, 57);
  EXPECT_EQ(rows[0].last, 58);             // a one-unit move has no error to speak of
  EXPECT_EQ(rows[1].first, 58 + 358 + 4);  // a long one misses by its share
}

TEST(PageRenderer, PrintingPastTheFootGoesOnToTheNextSheet) {
  Paper paper;
  const Bytes move3600 = {0x1B, 0x28, 0x76, 0x02, 0x00, 0x10, 0x0E, 0x0D};
  const Bytes dot = Band(0x00, {0xC0});
  paper.Feed(RasterSetup(1) + dot + move3600 + move3600 + dot + kFormFeed);
  ASSERT_EQ(paper.sheets.size(), 2u);
  EXPECT_TRUE(Shows(paper.sheets[1], kLeft, 100, InkSeen::Black));
}

TEST(PageRenderer, TextPrintsInTheOwnFontAndControlsOnlyMove) {
  Paper paper;
  // "A", NUL, CR LF, "B" at 1/6 inch lower, back at the margin.
  paper.Feed(Bytes{'A', 0x00, 0x0D, 0x0A, 'B', 'B'} + kFormFeed);
  ASSERT_EQ(paper.sheets.size(), 1u);
  const sim::Page& page = paper.sheets[0];
  const auto lines = InkedRows(page, 0, page.width, InkSeen::Black);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].first - lines[0].first, 60);
  // The second line holds two characters 1/10 inch apart, the first one only.
  EXPECT_FALSE(FirstInk(page, lines[0].first + 10, kLeft + 36, page.width, InkSeen::Black));
  EXPECT_TRUE(FirstInk(page, lines[1].first + 10, kLeft + 36, kLeft + 72, InkSeen::Black));
}

// The sheet's first line of text names it: ended by a line end, a paper move or a band, and
// every sheet starts without one, whether it kept the buffer or not.
TEST(PageRenderer, ASheetIsNamedByItsFirstLineOfText) {
  const Bytes dot = Band(0x00, {0xC0});
  const struct {
    const char* name;
    Bytes stream;
    std::vector<std::string> titles;
  } cases[] = {
      {"title, zero byte, line feed", Bytes{'P', 'F', 0x00, 0x0A, '-', '4'} + kFormFeed, {"PF"}},
      {"title ended by a band",
       RasterSetup(1) + Bytes{'H', 'a'} + dot + Bytes{'x'} + kFormFeed,
       {"Ha"}},
      {"no text", RasterSetup(1) + dot + kFormFeed, {""}},
      {"each sheet its own",
       Bytes{'A', 0x0A} + kFormFeed + RasterSetup(1) + dot + kFormFeed + Bytes{'B'} + kFormFeed,
       {"A", "", "B"}},
  };
  for (const bool keep : {true, false}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (keep ? "" : ", buffer reused"));
      Paper paper;
      paper.keep = keep;
      paper.Feed(c.stream);
      std::vector<std::string> titles;
      for (const sim::Page& page : paper.sheets) titles.push_back(page.title);
      EXPECT_EQ(titles, c.titles);
    }
  }
}

TEST(PageRenderer, OnlySheetsWithInkAreHandedOn) {
  Paper paper;
  paper.Feed(Bytes{0x0C, 0x0A, 0x0C, 'x', 0x0C, 0x0C});
  EXPECT_EQ(paper.sheets.size(), 1u);
  EXPECT_EQ(paper.renderer.PagesDone(), 1);
}

TEST(PageRenderer, GarbledStreamsNeverDrawOffTheSheet) {
  Paper paper;
  paper.mechanics.shift = -70;
  paper.mechanics.tilt = 40;
  // Noise rich in escapes, raster headers and form feeds; the sanitizer builds catch any
  // stray write.
  std::uint32_t seed = 12345;
  Bytes noise;
  for (int i = 0; i < 400'000; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const std::uint8_t b = static_cast<std::uint8_t>(seed >> 24);
    switch (b % 16) {
      case 0:
        noise.push_back(0x1B);
        break;
      case 1:
        noise.insert(noise.end(), {0x1B, 0x69, static_cast<std::uint8_t>(b & 0x13), 0x01, 0x02,
                                   static_cast<std::uint8_t>(seed >> 8), 0x00,
                                   static_cast<std::uint8_t>(seed >> 16), 0x00});
        break;
      case 2:
        noise.push_back(b < 0x20 ? 0x0C : 0x1B);
        break;
      default:
        noise.push_back(b);
    }
  }
  paper.Feed(noise);
  paper.Feed(kFormFeed);
  EXPECT_GT(paper.sheets.size(), 3u);
  for (const sim::Page& page : paper.sheets) {
    EXPECT_EQ(page.rgb.size(), std::size_t(page.width) * page.height * 3);
  }

  // Sheets of any size and ink, with the buffer reused, come out as on fresh paper.
  Paper reusing;
  reusing.keep = false;
  reusing.mechanics.shift = paper.mechanics.shift;
  reusing.mechanics.tilt = paper.mechanics.tilt;
  reusing.Feed(noise);
  reusing.Feed(kFormFeed);
  ASSERT_EQ(reusing.sheets.size(), paper.sheets.size());
  for (std::size_t i = 0; i < paper.sheets.size(); ++i) {
    const sim::Page& a = paper.sheets[i];
    const sim::Page& b = reusing.sheets[i];
    EXPECT_TRUE(a.width == b.width && a.height == b.height && a.rgb == b.rgb) << "sheet " << i;
  }
}

TEST(PageRenderer, PaperOutPrintsNothingAndEjectsNothing) {
  VirtualClock clock;
  sim::VirtualPrinter printer(clock, Model::Q40);
  std::vector<sim::Page> sheets;
  sim::PageRenderer renderer(printer.Mechanics(),
                             [&sheets](sim::Page&& p) { sheets.push_back(std::move(p)); });
  printer.SetPageListener(&renderer);
  printer.SetPaperOut(true);
  printer.FeedPrintData(Bytes{'x', 0x0C});
  printer.SetPaperOut(false);
  printer.FeedPrintData(Bytes{'y', 0x0C});
  EXPECT_EQ(sheets.size(), 1u);
}

}  // namespace
}  // namespace vantor::test
