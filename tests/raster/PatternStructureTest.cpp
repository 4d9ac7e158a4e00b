// The large patterns read back from their byte stream: bands, positions, bars and order.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "Recorder.h"
#include "StreamDecoder.h"
#include "raster/Malraster.h"

namespace vantor::test {
namespace {

constexpr std::uint8_t kBlack = 0x00, kMagenta = 0x01, kCyan = 0x02, kYellow = 0x04;

std::vector<Item> Generate(Result (Raster::*generator)(), Recorder& printer) {
  Raster raster(printer);
  EXPECT_EQ((raster.*generator)(), kOk);
  return Decode(printer.data);
}

std::vector<Band> Bands(const std::vector<Item>& items) {
  std::vector<Band> bands;
  for (const Item* item : OfKind(items, "band")) bands.push_back(item->band);
  return bands;
}

std::vector<int> Range(int first, int last, int step = 1) {
  std::vector<int> v;
  for (int x = first; x <= last; x += step) v.push_back(x);
  return v;
}

TEST(PatternStructure, BetaBlocksStand250BytesApart) {
  Recorder printer;
  const auto items = Generate(&Raster::PrintBetaPattern, printer);
  ASSERT_EQ(OfKind(items, "text").front()->text,
            std::string("Beta pattern(BK-YMC VSD1-VSD2-VSD3)\0", 36));
  const auto bands = Bands(items);
  ASSERT_EQ(bands.size(), 24u);
  const std::uint8_t inks[] = {kBlack, kYellow, kMagenta, kCyan};
  for (std::size_t i = 0; i < bands.size(); ++i) {
    const Band& band = bands[i];
    const int block = static_cast<int>(i / 8);
    const bool black = i % 4 == 0;
    SCOPED_TRACE(i);
    EXPECT_EQ(band.colour, inks[i % 4]);
    EXPECT_EQ(band.width, 220 + 250 * block);
    EXPECT_EQ(band.lines, black ? 180 : 60);
    const int first = 250 * block + (black ? 0 : 110);
    for (const auto& row : band.rows) EXPECT_EQ(Marks(row), Range(first, first + 109));
  }
  // Every line is flushed on its own.
  EXPECT_GE(printer.Named("flush").size(), 2u * (3 * (180 + 3 * 60)));
}

TEST(PatternStructure, NozzleCheckSplitsOddAndEvenNozzles) {
  Recorder printer;
  const auto items = Generate(&Raster::PrintNozzleCheckPattern, printer);
  const auto bands = Bands(items);
  ASSERT_EQ(bands.size(), 16u);  // two sets of two black bands and two colour triples
  const auto moves = OfKind(items, "ESC(v");
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(moves[0]->params, (std::vector<std::uint8_t>{0x68, 0x01}));  // 360 after each set

  for (int set = 0; set < 2; ++set) {
    const Band* b = &bands[static_cast<std::size_t>(set * 8)];
    EXPECT_EQ(b[0].width, 340);
    EXPECT_EQ(Marks(b[0].rows[0]), Range(0, 169));
    EXPECT_TRUE(Marks(b[0].rows[1]).empty());
    EXPECT_TRUE(Marks(b[1].rows[0]).empty());
    EXPECT_EQ(Marks(b[1].rows[179]), Range(170, 339));
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(b[2 + c].width, 720);
      EXPECT_EQ(Marks(b[2 + c].rows[58]), Range(380, 549));
      EXPECT_TRUE(Marks(b[2 + c].rows[59]).empty());
      EXPECT_TRUE(Marks(b[5 + c].rows[58]).empty());
      EXPECT_EQ(Marks(b[5 + c].rows[59]), Range(550, 719));
    }
  }
  for (const Item* size : OfKind(items, "ESC(e")) EXPECT_EQ(size->params[1], 0x10);
}

TEST(PatternStructure, NozzleCheckVsd2AndVsd3) {
  Recorder second;
  const auto vsd2 = Generate(&Raster::PrintNozzleCheckVsd2, second);
  EXPECT_TRUE(OfKind(vsd2, "text").empty());
  EXPECT_TRUE(OfKind(vsd2, "ESC(v").empty());
  EXPECT_EQ(Bands(vsd2).size(), 8u);
  for (const Item* size : OfKind(vsd2, "ESC(e")) EXPECT_EQ(size->params[1], 0x11);

  Recorder third;
  const auto vsd3 = Generate(&Raster::PrintNozzleCheckVsd3, third);
  const auto bands = Bands(vsd3);
  ASSERT_EQ(bands.size(), 14u);
  EXPECT_EQ(Marks(bands[0].rows[0]), Range(0, 114));
  EXPECT_EQ(Marks(bands[1].rows[1]), Range(115, 229));
  EXPECT_EQ(Marks(bands[2].rows[0]), Range(260, 374));
  EXPECT_EQ(Marks(bands[5].rows[1]), Range(375, 489));
  // Steps 5 and 6 print the smallest dot (55) where steps 3 and 4 print FF.
  EXPECT_EQ(bands[8].rows[0][490], 0x55);
  EXPECT_EQ(Marks(bands[8].rows[0]), Range(490, 604));
  EXPECT_EQ(Marks(bands[11].rows[1]), Range(605, 719));
  for (const Item* size : OfKind(vsd3, "ESC(e")) EXPECT_EQ(size->params[1], 0x12);
}

TEST(PatternStructure, AlignmentBarByteSwitchesInsideTheVsd3Block) {
  Recorder printer;
  const auto bands = Bands(Generate(&Raster::PrintAlignmentPattern, printer));
  ASSERT_EQ(bands.size(), 24u);
  const int offsets[] = {0, 230, 460};
  for (std::size_t i = 0; i < bands.size(); ++i) {
    SCOPED_TRACE(i);
    const int block = static_cast<int>(i / 8);
    const bool black = i % 4 == 0;
    const int first = offsets[block] + (black ? 0 : 100);
    EXPECT_EQ(Marks(bands[i].rows[0]), Range(first, first + 80, 10));
    // Only the first VSD3 black band carries 0x30; every later band 0x20.
    const std::uint8_t bar = block < 2 || i == 16 ? 0x30 : 0x20;
    EXPECT_EQ(bands[i].rows.back()[static_cast<std::size_t>(first)], bar);
  }
}

TEST(PatternStructure, HeadAngularBarsAndNoFinalFlush) {
  Recorder printer;
  Raster raster(printer);
  ASSERT_EQ(raster.PrintHeadAngularPattern(printer), kOk);
  const auto items = Decode(printer.data);
  const auto bands = Bands(items);
  ASSERT_EQ(bands.size(), 4u);
  const std::vector<int> bars = {33, 172, 225, 328, 369, 467, 528, 669};
  for (std::size_t b = 0; b < 4; ++b) {
    const bool lower = b < 2;
    for (int line = 0; line < 180; ++line) {
      const bool marked = lower ? line >= 95 : line <= 84;
      EXPECT_EQ(Marks(bands[b].rows[static_cast<std::size_t>(line)]),
                marked ? bars : std::vector<int>{});
    }
  }
  EXPECT_EQ(bands[0].rows[100][33], 0xF8);
  // Nothing is flushed: the bytes wait for the caller's form feed.
  EXPECT_TRUE(printer.Named("flush").empty());
  EXPECT_EQ(printer.Named("wait").size(), 1u);
  EXPECT_EQ(OfKind(items, "ESC(v").back()->params, (std::vector<std::uint8_t>{10, 0}));
  EXPECT_EQ(OfKind(items, "ESCU").front()->params[0], 0);  // bidirectional
  EXPECT_EQ(printer.Named("wait").size(), 1u);
}

}  // namespace
}  // namespace vantor::test
