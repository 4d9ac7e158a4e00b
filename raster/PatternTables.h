// The patterns' titles and raster lines as data; the generators walk these tables.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "raster/RunList.h"

namespace vantor::raster {

// Ink identifiers of SendRasterHeader.
inline constexpr std::uint8_t kBlack = 0;
inline constexpr std::uint8_t kMagenta = 129;
inline constexpr std::uint8_t kCyan = 131;
inline constexpr std::uint8_t kYellow = 133;

// Dot types.
inline constexpr std::uint8_t kVsd1 = 4;
inline constexpr std::uint8_t kVsd2 = 5;
inline constexpr std::uint8_t kVsd3 = 6;
inline constexpr std::uint8_t kEco = 7;

inline constexpr std::uint8_t kUnidirectional = 1;
inline constexpr std::uint8_t kBidirectional = 0;
inline constexpr std::uint8_t kMonochrome = 0;
inline constexpr std::uint8_t kColour = 128;
inline constexpr std::uint8_t kUnit360 = 10;

// Titles go out with their terminating zero byte; the sizes are what the printer receives.
inline constexpr char kBetaTitle[] = "Beta pattern(BK-YMC VSD1-VSD2-VSD3)";
inline constexpr char kNozzleCheckTitle[] = "Nozzle check pattern(BK-YMC VSD1-VSD2-VSD3)";
inline constexpr char kHeadAngularTitle[] = "Head Angular";
inline constexpr char kPfTitle[] = "PF pattern";
inline constexpr char kAlignmentTitle[] = "Alignment pattern(BK-YMC VSD1-VSD2-VSD3)";
inline constexpr char kColumnShiftTitle[] = "Nozzle column shift";
inline constexpr char kTopMarginTitle[] = "Top margin";
inline constexpr char kBidTitle[] = "Bi-D Adjustment";
static_assert(sizeof kBetaTitle == 36 && sizeof kNozzleCheckTitle == 44);
static_assert(sizeof kHeadAngularTitle == 13 && sizeof kPfTitle == 11);
static_assert(sizeof kAlignmentTitle == 41 && sizeof kColumnShiftTitle == 20);
static_assert(sizeof kTopMarginTitle == 11 && sizeof kBidTitle == 16);

// Value labels: a 5-byte number field follows each of these.
inline constexpr char kValuePairLead[] = "  data = ";
inline constexpr char kValuePairGap[] = "                              ";
inline constexpr char kValueLabelLead[] = "         data = ";
static_assert(sizeof kValuePairLead == 10 && sizeof kValuePairGap == 31);
static_assert(sizeof kValueLabelLead == 17);

inline constexpr Runs<1> kBlank120 = {{{120, 0x00}}};
inline constexpr auto kZ720 = Repeat<6>(kBlank120);

// ---- Beta pattern: solid blocks, 250 bytes further right for each dot type.
inline constexpr Runs<2> kBetaVsd1Black = {{{110, 0xFF}, {110, 0x00}}};
inline constexpr Runs<2> kBetaVsd1Colour = {{{110, 0x00}, {110, 0xFF}}};
inline constexpr Runs<5> kBetaVsd2Black = {
    {{110, 0x00}, {110, 0x00}, {30, 0x00}, {110, 0xFF}, {110, 0x00}}};
inline constexpr Runs<5> kBetaVsd2Colour = {
    {{110, 0x00}, {110, 0x00}, {30, 0x00}, {110, 0x00}, {110, 0xFF}}};
inline constexpr Runs<8> kBetaVsd3Black = {{{110, 0x00},
                                            {110, 0x00},
                                            {30, 0x00},
                                            {110, 0x00},
                                            {110, 0x00},
                                            {30, 0x00},
                                            {110, 0xFF},
                                            {110, 0x00}}};
inline constexpr Runs<8> kBetaVsd3Colour = {{{110, 0x00},
                                             {110, 0x00},
                                             {30, 0x00},
                                             {110, 0x00},
                                             {110, 0x00},
                                             {30, 0x00},
                                             {110, 0x00},
                                             {110, 0xFF}}};

struct BetaBlock {
  std::uint8_t dotType;
  std::uint16_t width;
  RunList black;
  RunList colour;
};
inline constexpr std::array<BetaBlock, 3> kBetaBlocks = {{
    {kVsd1, 220, kBetaVsd1Black, kBetaVsd1Colour},
    {kVsd2, 470, kBetaVsd2Black, kBetaVsd2Colour},
    {kVsd3, 720, kBetaVsd3Black, kBetaVsd3Colour},
}};

// ---- Nozzle checks: odd and even nozzles in separate columns.
struct NozzleStep {
  bool colour;  // a colour triple instead of one black band
  std::uint16_t width;
  RunList odd;
  RunList even;
};

inline constexpr Runs<4> kSetABlackOdd1 = {{{110, 0xFF}, {60, 0xFF}, {110, 0x00}, {60, 0x00}}};
inline constexpr Runs<4> kSetABlackBlank = {{{110, 0x00}, {60, 0x00}, {110, 0x00}, {60, 0x00}}};
inline constexpr Runs<4> kSetABlackEven2 = {{{110, 0x00}, {60, 0x00}, {110, 0xFF}, {60, 0xFF}}};
inline constexpr Runs<9> kSetAColourOdd3 = {{{110, 0x00},
                                             {60, 0x00},
                                             {110, 0x00},
                                             {60, 0x00},
                                             {40, 0x00},
                                             {110, 0xFF},
                                             {60, 0xFF},
                                             {110, 0x00},
                                             {60, 0x00}}};
inline constexpr Runs<9> kSetAColourBlank = {{{110, 0x00},
                                              {60, 0x00},
                                              {110, 0x00},
                                              {60, 0x00},
                                              {40, 0x00},
                                              {110, 0x00},
                                              {60, 0x00},
                                              {110, 0x00},
                                              {60, 0x00}}};
inline constexpr Runs<9> kSetAColourEven4 = {{{110, 0x00},
                                              {60, 0x00},
                                              {110, 0x00},
                                              {60, 0x00},
                                              {40, 0x00},
                                              {110, 0x00},
                                              {60, 0x00},
                                              {110, 0xFF},
                                              {60, 0xFF}}};

inline constexpr std::array<NozzleStep, 4> kNozzleSetA = {{
    {false, 340, kSetABlackOdd1, kSetABlackBlank},
    {false, 340, kSetABlackBlank, kSetABlackEven2},
    {true, 720, kSetAColourOdd3, kSetAColourBlank},
    {true, 720, kSetAColourBlank, kSetAColourEven4},
}};

inline constexpr auto kSetBBlackOdd1 =
    Join(Runs<2>{{{115, 0xFF}, {5, 0x00}}}, Repeat<5>(kBlank120));
inline constexpr auto kSetBBlackEven2 =
    Join(Runs<3>{{{115, 0x00}, {115, 0xFF}, {10, 0x00}}}, Repeat<4>(kBlank120));
inline constexpr Runs<7> kSetBColourOdd3 = {
    {{120, 0x00}, {120, 0x00}, {20, 0x00}, {115, 0xFF}, {105, 0x00}, {120, 0x00}, {120, 0x00}}};
inline constexpr auto kSetBColourEven4 =
    Join(Repeat<3>(kBlank120), Runs<4>{{{15, 0x00}, {115, 0xFF}, {110, 0x00}, {120, 0x00}}});
inline constexpr auto kSetBColourOdd5 =
    Join(Repeat<4>(kBlank120), Runs<3>{{{10, 0x00}, {115, 0x55}, {115, 0x00}}});
inline constexpr auto kSetBColourEven6 =
    Join(Repeat<4>(kBlank120), Runs<3>{{{10, 0x00}, {115, 0x00}, {115, 0x55}}});

inline constexpr std::array<NozzleStep, 6> kNozzleSetB = {{
    {false, 720, kSetBBlackOdd1, kZ720},
    {false, 720, kZ720, kSetBBlackEven2},
    {true, 720, kSetBColourOdd3, kZ720},
    {true, 720, kZ720, kSetBColourEven4},
    {true, 720, kSetBColourOdd5, kZ720},
    {true, 720, kZ720, kSetBColourEven6},
}};

// ---- Head angular: eight short bars at bytes 33, 172, 225, 328, 369, 467, 528 and 669.
inline constexpr Runs<19> kHeadAngularBar = {{{33, 0x00},
                                              {1, 0xF8},
                                              {120, 0x00},
                                              {18, 0x00},
                                              {1, 0xF8},
                                              {52, 0x00},
                                              {1, 0xF8},
                                              {102, 0x00},
                                              {1, 0xF8},
                                              {40, 0x00},
                                              {1, 0xF8},
                                              {97, 0x00},
                                              {1, 0xF8},
                                              {60, 0x00},
                                              {1, 0xF8},
                                              {120, 0x00},
                                              {20, 0x00},
                                              {1, 0xF8},
                                              {50, 0x00}}};
// Lines are numbered from 0 in this pattern.
inline constexpr BandLines kHeadAngularLower = Marked(kHeadAngularBar, 95, 179, kZ720, 0);
inline constexpr BandLines kHeadAngularUpper = Marked(kHeadAngularBar, 0, 84, kZ720, 0);

// ---- PF: a bar of the last 60 nozzles, then one of the first 60 after a 360-unit feed.
inline constexpr Runs<8> kPfBar1 = {{{120, 0x00},
                                     {60, 0x00},
                                     {120, 0xFF},
                                     {2, 0xFF},
                                     {58, 0x00},
                                     {120, 0x00},
                                     {120, 0x00},
                                     {120, 0x00}}};
inline constexpr Runs<8> kPfBar2 = {{{106, 0x00},
                                     {110, 0x00},
                                     {120, 0xFF},
                                     {2, 0xFF},
                                     {120, 0x00},
                                     {120, 0x00},
                                     {70, 0x00},
                                     {72, 0x00}}};
inline constexpr BandLines kPfPart1 = Marked(kPfBar1, 121, 180, kZ720);
inline constexpr BandLines kPfPart2 = EveryLine(kPfBar2);

// ---- Alignment: nine black bars beside nine colour bars; bar byte 0x30, later 0x20.
template <std::uint8_t B>
inline constexpr auto kAlignBars = Repeat<9>(Runs<2>{{{1, B}, {9, 0x00}}});
inline constexpr Runs<3> kAlignOffset = {{{100, 0x00}, {100, 0x00}, {30, 0x00}}};

template <std::uint8_t B>
inline constexpr auto kAlignBlackLine = Join(kAlignBars<B>, Runs<1>{{{100, 0x00}}});
template <std::uint8_t B>
inline constexpr auto kAlignColourLine = Join(Runs<2>{{{80, 0x00}, {20, 0x00}}}, kAlignBars<B>);

struct AlignmentLines {
  RunList black;
  RunList colour;
};
struct AlignmentBlock {
  std::uint8_t dotType;
  std::uint16_t width;
  AlignmentLines with30;
  AlignmentLines with20;
};

template <std::size_t Offsets, std::uint8_t B>
inline constexpr auto kAlignBlackAt = Join(Repeat<Offsets>(kAlignOffset), kAlignBlackLine<B>);
template <std::size_t Offsets, std::uint8_t B>
inline constexpr auto kAlignColourAt = Join(Repeat<Offsets>(kAlignOffset), kAlignColourLine<B>);

// VSD1 has no offset runs, VSD2 one group of (100, 100, 30), VSD3 two.
inline constexpr std::array<AlignmentBlock, 3> kAlignmentBlocks = {{
    {kVsd1, 190, {kAlignBlackLine<0x30>, kAlignColourLine<0x30>}, {}},
    {kVsd2, 420, {kAlignBlackAt<1, 0x30>, kAlignColourAt<1, 0x30>}, {}},
    {kVsd3,
     650,
     {kAlignBlackAt<2, 0x30>, kAlignColourAt<2, 0x30>},
     {kAlignBlackAt<2, 0x20>, kAlignColourAt<2, 0x20>}},
}};

// ---- Nozzle column shift.
inline constexpr auto kColumnShiftLine = Repeat<18>(Runs<2>{{{1, 0x30}, {9, 0x00}}});

// ---- Top margin: one solid line across 2880 dots at the top of the band.
inline constexpr auto kTopMarginSolid = Repeat<6>(Runs<1>{{{120, 0xFF}}});
inline constexpr BandLines kTopMarginLines = Marked(kTopMarginSolid, 1, 1, kZ720);
// A4: width 2976 and length 4208 units, 32 bits each.
inline constexpr std::array<std::uint8_t, 8> kA4PaperSize = {0xA0, 0x0B, 0x00, 0x00,
                                                             0x70, 0x10, 0x00, 0x00};
inline constexpr std::uint16_t kTopMarginBottom = 7966;

// ---- Bi-D: 34 one-dot bars, black at bytes 0-339, colour at bytes 380-719.
inline constexpr auto kBidBars = Repeat<34>(Runs<2>{{{1, 0x30}, {9, 0x00}}});
inline constexpr auto kBidBlackBar = Join(kBidBars, Runs<1>{{{20, 0x00}}}, Repeat<3>(kBlank120));
inline constexpr auto kBidColourBar =
    Join(Repeat<4>(Runs<1>{{{90, 0x00}}}), Runs<1>{{{20, 0x00}}}, kBidBars);
// The unidirectional reference and the bidirectional candidate meet at lines 90/91.
inline constexpr BandLines kBidBlackReference = Marked(kBidBlackBar, 61, 90, kZ720);
inline constexpr BandLines kBidBlackCandidate = Marked(kBidBlackBar, 91, 120, kZ720);
inline constexpr BandLines kBidMagenta = Marked(kBidColourBar, 31, 60, kZ720);
inline constexpr BandLines kBidCyan = Marked(kBidColourBar, 1, 30, kZ720);

inline constexpr char kBidVsd1Title[] = "Variable1 DOT";
inline constexpr char kBidVsd2Title[] = "Variable2 DOT";
inline constexpr char kBidVsd3Title[] = "Variable3 DOT";
inline constexpr char kBidEcoTitle[] = "ECO DOT";
static_assert(sizeof kBidVsd1Title == 14 && sizeof kBidEcoTitle == 8);

// ---- Every line of every table fits its band.
consteval bool StepsFit(std::span<const NozzleStep> steps) {
  for (const NozzleStep& s : steps)
    if (!Fits(s.odd, s.width) || !Fits(s.even, s.width)) return false;
  return true;
}
consteval bool AllTablesFit() {
  for (const BetaBlock& b : kBetaBlocks)
    if (!Fits(b.black, b.width) || !Fits(b.colour, b.width)) return false;
  for (const AlignmentBlock& b : kAlignmentBlocks) {
    if (!Fits(b.with30.black, b.width) || !Fits(b.with30.colour, b.width)) return false;
    if (!b.with20.black.empty() &&
        (!Fits(b.with20.black, b.width) || !Fits(b.with20.colour, b.width)))
      return false;
  }
  return StepsFit(kNozzleSetA) && StepsFit(kNozzleSetB) && Fits(kHeadAngularLower, 720) &&
         Fits(kHeadAngularUpper, 720) && Fits(kPfPart1, 720) && Fits(kPfPart2, 720) &&
         Fits(kColumnShiftLine, 180) && Fits(kTopMarginLines, 720) &&
         Fits(kBidBlackReference, 720) && Fits(kBidBlackCandidate, 720) && Fits(kBidMagenta, 720) &&
         Fits(kBidCyan, 720);
}
static_assert(AllTablesFit());

}  // namespace vantor::raster
