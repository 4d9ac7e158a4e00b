// Sheets written as PNG: decoded again, every pixel is the one the renderer laid down, in the
// smallest palette that holds the sheet's colours.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "raster/Malraster.h"
#include "sim/PagePng.h"
#include "sim/VirtualPrinter.h"
#include "tests/support/VirtualBench.h"

namespace vantor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Encoded(const sim::Page& page) {
  std::FILE* file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  if (!file) return {};
  std::string why;
  EXPECT_TRUE(sim::WritePng(page, file, why)) << why;
  Bytes bytes(static_cast<std::size_t>(std::ftell(file)));
  std::rewind(file);
  EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
  std::fclose(file);
  return bytes;
}

sim::Page Decoded(const Bytes& png) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) {
    ADD_FAILURE() << image.message;
    return {};
  }
  image.format = PNG_FORMAT_RGB;
  sim::Page page{static_cast<int>(image.width), static_cast<int>(image.height),
                 Bytes(PNG_IMAGE_SIZE(image))};
  if (!png_image_finish_read(&image, nullptr, page.rgb.data(), 0, nullptr)) {
    ADD_FAILURE() << image.message;
  }
  return page;
}

// The first row, column and colour where two pages differ, for a readable failure.
std::string FirstDifference(const sim::Page& a, const sim::Page& b) {
  if (a.width != b.width || a.height != b.height) {
    return std::to_string(a.width) + "x" + std::to_string(a.height) + " against " +
           std::to_string(b.width) + "x" + std::to_string(b.height);
  }
  for (int y = 0; y < a.height; ++y) {
    for (int x = 0; x < a.width; ++x) {
      const std::uint8_t* p = a.Pixel(x, y);
      const std::uint8_t* q = b.Pixel(x, y);
      if (p[0] != q[0] || p[1] != q[1] || p[2] != q[2]) {
        return "pixel " + std::to_string(x) + "," + std::to_string(y);
      }
    }
  }
  return {};
}

// IHDR: bit depth, then colour type (2 RGB, 3 palette).
std::pair<int, int> DepthAndType(const Bytes& png) {
  return {png.at(24), png.at(25)};
}

// `count` distinct colours in turn, in runs of 1 to 11 pixels, so that rows hold both whole
// blocks of one colour and changes inside a byte of indices; 37 columns end rows mid-byte.
sim::Page PageOf(int count) {
  constexpr int kRuns[] = {1, 2, 3, 11, 5, 1, 8};
  sim::Page page{37, 60, {}};
  int run = 0;
  int left = kRuns[0];
  for (int p = 0; p < page.width * page.height; ++p, --left) {
    if (left == 0) left = kRuns[++run % 7];
    const int i = run % count;
    page.rgb.insert(page.rgb.end(), {static_cast<std::uint8_t>(i % 256),
                                     static_cast<std::uint8_t>(i / 256 * 100), 50});
  }
  return page;
}

TEST(PagePng, EachColourCountTakesTheSmallestPaletteAndEveryPixelSurvives) {
  struct Case {
    int colours;
    std::pair<int, int> depthAndType;
  };
  const Case cases[] = {{1, {1, 3}},  {2, {1, 3}},  {3, {2, 3}},   {4, {2, 3}},  {5, {4, 3}},
                        {16, {4, 3}}, {17, {8, 3}}, {256, {8, 3}}, {257, {8, 2}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.colours);
    const sim::Page page = PageOf(c.colours);
    const Bytes png = Encoded(page);
    EXPECT_EQ(DepthAndType(png), c.depthAndType);
    EXPECT_EQ(FirstDifference(Decoded(png), page), "");
  }
}

// The data-channel stream of a check-pattern job, as the printer received it.
Bytes CheckPatternStream() {
  test::VirtualBench bench;
  std::ostringstream capture;
  bench.printer.SetCapture(&capture);
  EXPECT_TRUE(bench.Start());
  LinkAccess& access = bench.Procedures().access;
  CheckReadouts readouts;
  EXPECT_EQ(access.WaitUntilReady(), kOk);
  EXPECT_EQ(access.ReadCheckReadouts(readouts), kOk);
  EXPECT_EQ(bench.Procedures().raster.PrintCheckPattern(readouts, access), kOk);
  EXPECT_FALSE(bench.session.Finish().Any());
  const std::string s = capture.str();
  return Bytes(s.begin(), s.end());
}

TEST(PagePng, CheckPatternSheetsAreSmallPaletteFilesOfTheSamePixels) {
  VirtualClock clock;
  sim::VirtualPrinter printer(clock, Model::Q40);
  std::vector<sim::Page> sheets;
  // Copies, so the renderer reuses its buffer from sheet to sheet.
  sim::PageRenderer renderer(printer.Mechanics(),
                             [&sheets](sim::Page&& p) { sheets.push_back(p); });
  printer.SetPageListener(&renderer);
  printer.FeedPrintData(CheckPatternStream());
  ASSERT_EQ(sheets.size(), 4u);
  for (const sim::Page& page : sheets) {
    const Bytes png = Encoded(page);
    EXPECT_LT(png.size(), 100'000u);
    EXPECT_EQ(DepthAndType(png).second, 3);
    EXPECT_EQ(FirstDifference(Decoded(png), page), "");
  }
}

TEST(PagePng, SheetsAreNumberedFilesAndFailuresAreKept) {
  const auto dir =
      std::filesystem::path(::testing::TempDir()) / ("render-png-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  sim::PageDirectory pages(dir.string());
  std::string why;
  ASSERT_TRUE(pages.Prepare(why)) << why;
  sim::Page page{40, 30, Bytes(40 * 30 * 3, 0xFF)};
  pages.Write(page);
  pages.Write(page);
  EXPECT_EQ(pages.Written(), 2);
  EXPECT_TRUE(pages.Error().empty());
  EXPECT_TRUE(std::filesystem::exists(dir / "page-002.png"));

  std::ifstream in(dir / "page-001.png", std::ios::binary);
  const Bytes file{std::istreambuf_iterator<char>(in), {}};
  in.close();  // a folder with an open file in it cannot be removed on Windows
  ASSERT_GT(file.size(), 33u);
  const Bytes signature = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  EXPECT_TRUE(std::equal(signature.begin(), signature.end(), file.begin()));
  // IHDR: width 40, height 30; all white is one colour: 1 bit per pixel, palette.
  EXPECT_EQ(Bytes(file.begin() + 16, file.begin() + 26), (Bytes{0, 0, 0, 40, 0, 0, 0, 30, 1, 3}));
  // A page that cannot be written is reported, not lost silently.
  sim::PageDirectory missing((dir / "no" / "such").string());
  missing.Write(page);
  EXPECT_EQ(missing.Written(), 0);
  EXPECT_FALSE(missing.Error().empty());
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vantor::test
