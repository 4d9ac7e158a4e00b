// A technician's round trip on a virtual printer whose true mechanism is known: print the
// pattern, read the best candidate off the rendered sheet, register it, and the next print is
// true.
#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/FactoryCommands.h"
#include "raster/Malbid.h"
#include "raster/Malraster.h"
#include "sim/VirtualPrinter.h"
#include "tests/render/PageReading.h"
#include "tests/support/VirtualBench.h"

namespace vantor::test {
namespace {

// Black Bi-D bars stand in bytes 0-339 of the line, colour bars in bytes 380-719; the page has a
// 48-dot left margin.
constexpr int kBlackBarsFrom = 0;
constexpr int kBlackBarsTo = 48 + 1400;
constexpr int kColourBarsFrom = 48 + 1500;
constexpr int kColourBarsTo = sim::kA4Width;

class ClosedLoop : public ::testing::Test, protected VirtualBench {
 protected:
  void SetUp() override {
    printer.SetPageListener(&renderer);
    ASSERT_TRUE(Start());
  }

  std::int8_t Stored(std::uint8_t address) {
    return static_cast<std::int8_t>(printer.Eeprom(address));
  }

  // A unit with true values away from the stored ones by one candidate step or none, the head
  // square and the first line where it is asked for.
  sim::TrueMechanism Unit(const std::array<int, 8>& bidOffsets, int pfOffset) {
    sim::TrueMechanism m;
    for (std::size_t i = 0; i < 8; ++i) {
      m.bid[i] =
          static_cast<std::int8_t>(Stored(static_cast<std::uint8_t>(0x70 + i)) + bidOffsets[i]);
    }
    m.pf = Stored(eeprom::kPfValue) + pfOffset;
    m.squareLever = printer.HeadAngleLever();
    return m;
  }

  // Horizontal step between the upper and the lower half of each candidate's bars, black and
  // colour, in the order the candidates stand on the sheets.
  struct Steps {
    std::vector<int> black;
    std::vector<int> colour;
  };
  static Steps BarSteps(const std::vector<sim::Page>& sheets) {
    Steps steps;
    for (const sim::Page& page : sheets) {
      for (const RowRun& run : InkedRows(page, kBlackBarsFrom, kBlackBarsTo, InkSeen::Black)) {
        if (run.last - run.first < 100) continue;  // a text line
        const auto top = FirstInk(page, run.first, kBlackBarsFrom, kBlackBarsTo, InkSeen::Black);
        const auto bottom = FirstInk(page, run.last, kBlackBarsFrom, kBlackBarsTo, InkSeen::Black);
        steps.black.push_back(*bottom - *top);
      }
      const auto magenta = InkedRows(page, kColourBarsFrom, kColourBarsTo, InkSeen::Magenta);
      const auto cyan = InkedRows(page, kColourBarsFrom, kColourBarsTo, InkSeen::Cyan);
      EXPECT_EQ(magenta.size(), cyan.size());
      for (std::size_t i = 0; i < std::min(magenta.size(), cyan.size()); ++i) {
        const auto m =
            FirstInk(page, magenta[i].first, kColourBarsFrom, kColourBarsTo, InkSeen::Magenta);
        const auto c = FirstInk(page, cyan[i].last, kColourBarsFrom, kColourBarsTo, InkSeen::Cyan);
        steps.colour.push_back(*c - *m);
      }
    }
    return steps;
  }

  // Index (0, 1, 2) of the candidate whose bars meet, per block of three; -1 when none does.
  static std::vector<int> Meeting(const std::vector<int>& steps) {
    std::vector<int> best;
    for (std::size_t b = 0; b + 3 <= steps.size(); b += 3) {
      int found = -1;
      for (int k = 0; k < 3; ++k) {
        if (steps[b + static_cast<std::size_t>(k)] == 0) found = k;
      }
      best.push_back(found);
    }
    return best;
  }

  std::vector<sim::Page> PrintBid() {
    sheets.clear();
    StoredBid stored{};
    EXPECT_EQ(access.ReadStoredBid(stored), kOk);
    EXPECT_EQ(raster.PrintBidPattern(stored, access), kOk);
    EXPECT_EQ(raster.FormFeed(), kOk);
    return std::move(sheets);
  }

  std::vector<sim::Page> sheets;
  sim::PageRenderer renderer{printer.Mechanics(),
                             [this](sim::Page&& page) { sheets.push_back(std::move(page)); }};
  ProcedureContext& bench = Procedures();
  LinkAccess& access = bench.access;
  Raster& raster = bench.raster;
};

TEST_F(ClosedLoop, BidCandidatesReadOffTheSheetMakeThePrinterPrintTrue) {
  // EEPROM order 0x70..0x77: ECO black, ECO colour, VSD1 black, ...
  printer.SetMechanism(Unit({2, -2, 0, 2, -2, 0, 2, -2}, 0));

  const Steps before = BarSteps(PrintBid());
  ASSERT_EQ(before.black.size(), 12u);
  ASSERT_EQ(before.colour.size(), 12u);
  // Sheet order VSD1, VSD2, VSD3, ECO; the offsets above put the meeting bars here.
  EXPECT_EQ(Meeting(before.black), (std::vector<int>{1, 0, 2, 2}));
  EXPECT_EQ(Meeting(before.colour), (std::vector<int>{2, 1, 0, 0}));

  const BidWrite write = [&](std::uint8_t dotType, int b, int c) {
    return link.factory.SetBidValues(dotType, b, c);
  };
  const std::vector<int> black = Meeting(before.black);
  const std::vector<int> colour = Meeting(before.colour);
  for (std::uint8_t dotType = 4; dotType <= 7; ++dotType) {
    const std::size_t block = dotType - 4u;
    for (const std::uint8_t which : {kBidBlack, kBidColour}) {
      const int k = which == kBidBlack ? black[block] : colour[block];
      ASSERT_GE(k, 0);
      const int value = Stored(BidAddress(which, dotType)) - 2 + 2 * k;
      std::uint16_t code = 0;
      ASSERT_EQ(WriteBidValue(write, code, which, dotType, value), kOk);
    }
  }
  ASSERT_EQ(link.factory.FinishAdjustWrite(), kOk);

  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(Stored(static_cast<std::uint8_t>(0x70 + i)), printer.Mechanism().bid[i]) << i;
  }
  // Centred on the registered values, the middle candidate of every block now meets.
  const Steps after = BarSteps(PrintBid());
  EXPECT_EQ(Meeting(after.black), (std::vector<int>{1, 1, 1, 1}));
  EXPECT_EQ(Meeting(after.colour), (std::vector<int>{1, 1, 1, 1}));
  // And the others miss by a candidate step either way.
  EXPECT_EQ(std::abs(after.black[0]), 2);
  EXPECT_EQ(std::abs(after.colour[2]), 2);
}

// The PF bars: part 1 alone in bytes 180-215, part 2 alone in bytes 302-337.
struct PfGaps {
  std::vector<int> gaps;  // rows between part 1 and part 2 of each block; negative: overlap
};
PfGaps ReadPf(const sim::Page& page) {
  const auto part1 = InkedRows(page, 48 + 4 * 185, 48 + 4 * 214, InkSeen::Black);
  const auto part2 = InkedRows(page, 48 + 4 * 305, 48 + 4 * 336, InkSeen::Black);
  EXPECT_EQ(part1.size(), part2.size());
  PfGaps r;
  for (std::size_t i = 0; i < std::min(part1.size(), part2.size()); ++i) {
    r.gaps.push_back(part2[i].first - part1[i].last - 1);
  }
  return r;
}

TEST_F(ClosedLoop, PfCandidateReadOffTheSheetMakesTheFeedTrue) {
  printer.SetMechanism(Unit({0, 0, 0, 0, 0, 0, 0, 0}, 2));  // true PF: stored + 2 = 3
  const auto setPf = [&](std::int8_t value) -> Result {
    VANTOR_TRY(link.factory.SetPfValue(static_cast<std::uint8_t>(value)));
    return link.factory.FinishAdjustWrite();
  };
  ASSERT_EQ(raster.PrintPfCandidates(setPf), kOk);
  ASSERT_EQ(raster.FormFeed(), kOk);
  ASSERT_EQ(sheets.size(), 1u);
  const PfGaps before = ReadPf(sheets[0]);
  ASSERT_EQ(before.gaps.size(), 9u);
  int meets = -1;
  for (int k = 0; k < 9; ++k) {
    if (before.gaps[static_cast<std::size_t>(k)] == 0) meets = k - 4;
  }
  EXPECT_EQ(meets, 3);
  // Too little correction leaves the bars overlapping, too much opens a gap.
  EXPECT_LT(before.gaps[0], 0);
  EXPECT_GT(before.gaps[8], 0);

  ASSERT_EQ(setPf(static_cast<std::int8_t>(meets)), kOk);
  sheets.clear();
  ASSERT_EQ(raster.PrintCurrentPfPattern(static_cast<std::uint8_t>(meets)), kOk);
  ASSERT_EQ(raster.FormFeed(), kOk);
  ASSERT_EQ(sheets.size(), 1u);
  EXPECT_EQ(ReadPf(sheets[0]).gaps, (std::vector<int>{0}));
}

// The widest horizontal jump between neighbouring rows of the head-angle pattern's first bar.
int HeadAngleJog(const sim::Page& page) {
  const int x0 = 48 + 4 * 33 - 20;
  const int x1 = 48 + 4 * 33 + 24;
  const auto runs = InkedRows(page, x0, x1, InkSeen::Black);
  EXPECT_FALSE(runs.empty());
  int jog = 0;
  for (const RowRun& run : runs) {
    if (run.last - run.first < 100) continue;  // the title
    for (int y = run.first; y < run.last; ++y) {
      const int a = *FirstInk(page, y, x0, x1, InkSeen::Black);
      const int b = *FirstInk(page, y + 1, x0, x1, InkSeen::Black);
      jog = std::max(jog, std::abs(b - a));
    }
  }
  return jog;
}

TEST_F(ClosedLoop, HeadAngleBarsLineUpWhenTheLeverSquaresTheHead) {
  sim::TrueMechanism m = Unit({0, 0, 0, 0, 0, 0, 0, 0}, 0);
  m.squareLever = 2;
  printer.SetMechanism(m);
  printer.SetHeadAngleLever(0);
  ASSERT_EQ(raster.PrintHeadAngularPattern(access), kOk);
  ASSERT_EQ(raster.FormFeed(), kOk);
  printer.SetHeadAngleLever(2);
  ASSERT_EQ(raster.PrintHeadAngularPattern(access), kOk);
  ASSERT_EQ(raster.FormFeed(), kOk);
  ASSERT_EQ(sheets.size(), 2u);
  EXPECT_EQ(HeadAngleJog(sheets[0]), 2 * sim::kTiltDotsPerLeverStep);
  EXPECT_EQ(HeadAngleJog(sheets[1]), 0);
}

TEST_F(ClosedLoop, TopMarginLineLandsByStoredValueAndTrueOffset) {
  sim::TrueMechanism m = Unit({0, 0, 0, 0, 0, 0, 0, 0}, 0);
  m.topMarginOffset = -28;
  printer.SetMechanism(m);
  ASSERT_EQ(Stored(eeprom::kTopMargin), 120);
  ASSERT_EQ(raster.PrintTopMarginPattern(120, access), kOk);
  // Two ladder steps further down makes up for the line landing two steps high; the printer
  // takes the write once the sheet is out.
  ASSERT_EQ(link.channel.PollUntilReady(), kOk);
  ASSERT_EQ(link.channel.WriteEepromByte(eeprom::kTopMargin, 148), kOk);
  ASSERT_EQ(raster.PrintTopMarginPattern(148, access), kOk);
  ASSERT_EQ(sheets.size(), 2u);
  for (const int expected : {92, 120}) {
    const sim::Page& page = sheets[expected == 92 ? 0 : 1];
    const auto rows = InkedRows(page, 48, 48 + 2880, InkSeen::Black);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front().first, expected);
    // The line runs across all 2880 dots.
    EXPECT_TRUE(Shows(page, 48, expected, InkSeen::Black));
    EXPECT_TRUE(Shows(page, 48 + 2879, expected, InkSeen::Black));
    EXPECT_FALSE(Shows(page, 48 + 2880, expected, InkSeen::Black));
  }
}

}  // namespace
}  // namespace vantor::test
