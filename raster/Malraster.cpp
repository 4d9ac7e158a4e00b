#include "raster/Malraster.h"

#include <charconv>

#include "link/Fatal.h"
#include "raster/LinkAccess.h"
#include "raster/PatternTables.h"

namespace vantor {

using namespace raster;

namespace {

constexpr std::uint8_t kEsc = 0x1B;

// Programming errors; ordinary use cannot reach them.
constexpr std::string_view kRepeatSendError = "RepeatSend() error";
constexpr std::string_view kVerticalPositionError = "Program miss!!\nRaster.SetVerticalPosition";
constexpr std::string_view kColorModeError = "program miss!!!\nRaster:SetColorMode";
constexpr std::string_view kColorModeErrorTitle = "error";

constexpr std::uint8_t DotSizeByte(std::uint8_t dotType) {
  switch (dotType) {
    case 0:
      return 0x00;
    case 1:
    case 4:
      return 0x10;
    case 2:
    case 5:
      return 0x11;
    case 3:
    case 6:
      return 0x12;
    case 7:
      return 0x13;
    case 8:
      return 0x14;
    case 9:
      return 0x15;
    default:
      return 0x00;
  }
}

constexpr std::uint8_t ColourByte(std::uint8_t colour) {
  switch (colour) {
    case 0:
      return 0x00;
    case 129:
      return 0x01;
    case 130:
      return 0x11;
    case 131:
      return 0x02;
    case 132:
      return 0x12;
    case 133:
      return 0x04;
    case 134:
      return 0x24;
    default:
      return 0x00;
  }
}

// Longer than any line of the patterns: the widest is 720 bytes.
constexpr std::size_t kMaxLineRuns = 1024;

}  // namespace

Raster::Raster(LinkAccess& access) : sink_(access), access_(&access) {}

// ---- Primitives

Result Raster::InitPrinter() {
  const std::uint8_t cmd[] = {kEsc, 0x40};
  return Send(cmd);
}

Result Raster::SetGraphicsMode() {
  const std::uint8_t cmd[] = {kEsc, 0x28, 0x47, 0x01, 0x00, 0x01};
  return Send(cmd);
}

Result Raster::SetUnit(std::uint8_t unit) {
  const std::uint8_t cmd[] = {kEsc, 0x28, 0x55, 0x01, 0x00, unit};
  return Send(cmd);
}

Result Raster::SetPrintDirection(std::uint8_t direction) {
  const std::uint8_t cmd[] = {kEsc, 0x55, direction};
  return Send(cmd);
}

Result Raster::SetDotSize(std::uint8_t dotType) {
  const std::uint8_t cmd[] = {kEsc, 0x28, 0x65, 0x02, 0x00, 0x00, DotSizeByte(dotType)};
  return Send(cmd);
}

Result Raster::SetColorMode(std::uint8_t mode) {
  std::uint8_t modeByte = 0;
  if (mode == kMonochrome) {
    modeByte = 1;
  } else if (mode == kColour) {
    modeByte = 2;
  } else {
    // Not fatal: the job goes on with mode byte 0.
    ShowProgramError(kColorModeError, kColorModeErrorTitle);
  }
  const std::uint8_t cmd[] = {kEsc, 0x28, 0x4B, 0x02, 0x00, 0x00, modeByte};
  return Send(cmd);
}

Result Raster::SetRasterMode(std::uint8_t unit, std::uint8_t direction, std::uint8_t dotType,
                             std::uint8_t colorMode) {
  VANTOR_TRY(InitPrinter());
  VANTOR_TRY(SetGraphicsMode());
  VANTOR_TRY(SetUnit(unit));
  VANTOR_TRY(SetPrintDirection(direction));
  VANTOR_TRY(SetDotSize(dotType));
  return SetColorMode(colorMode);
}

Result Raster::CarriageReturn() {
  const std::uint8_t cmd[] = {0x0D};
  return Send(cmd);
}

Result Raster::SetVerticalPosition(std::int16_t amount) {
  const auto bits = static_cast<std::uint16_t>(amount);
  const auto low = static_cast<std::uint8_t>(bits & 0xFF);
  const auto high = static_cast<std::uint8_t>(bits >> 8);
  if (high > 0x7F) FatalProgramError(kVerticalPositionError);
  const std::uint8_t cmd[] = {kEsc, 0x28, 0x76, 0x02, 0x00, low, high, 0x0D};
  return Send(cmd);
}

Result Raster::SetHorizontalPosition(int position) {
  const std::uint8_t cmd[] = {kEsc, 0x24, static_cast<std::uint8_t>(position & 0xFF),
                              static_cast<std::uint8_t>((position >> 8) & 0xFF)};
  return Send(cmd);
}

Result Raster::SetRasterResolution(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  const std::uint8_t cmd[] = {kEsc, 0x28, 0x44, 0x04, 0x00, a, b, c, d};
  return Send(cmd);
}

Result Raster::SendRasterHeader(std::uint8_t colour, std::uint8_t compression,
                                std::uint8_t bitsPerDot, std::uint8_t bytesLow,
                                std::uint8_t bytesHigh, std::uint8_t linesLow,
                                std::uint8_t linesHigh) {
  const std::uint8_t cmd[] = {kEsc,     0x69,      ColourByte(colour), compression, bitsPerDot,
                              bytesLow, bytesHigh, linesLow,           linesHigh};
  sink_.Printing(PrintWork::Band);
  return Send(cmd);
}

Result Raster::SetPaperSize(std::span<const std::uint8_t, 8> widthThenLength) {
  std::array<std::uint8_t, 13> cmd = {kEsc, 0x28, 0x53, 0x08, 0x00};
  std::copy(widthThenLength.begin(), widthThenLength.end(), cmd.begin() + 5);
  return Send(cmd);
}

Result Raster::SetPageFormat(std::span<const std::uint8_t, 8> topThenBottom) {
  std::array<std::uint8_t, 13> cmd = {kEsc, 0x28, 0x63, 0x08, 0x00};
  std::copy(topThenBottom.begin(), topThenBottom.end(), cmd.begin() + 5);
  return Send(cmd);
}

Result Raster::RepeatSend(int count, std::uint8_t value) {
  // A count of 0 would make the header announce a two-byte literal run.
  if (count < 1 || count > 129) FatalProgramError(kRepeatSendError);
  const std::uint8_t cmd[] = {static_cast<std::uint8_t>(1 - count), value};
  return Send(cmd);
}

Result Raster::LineFeed(int n) {
  const std::uint8_t cmd[] = {0x0D, 0x0A};
  for (int i = 0; i < n; ++i) {
    sink_.Printing(PrintWork::LineFeed);
    VANTOR_TRY(Send(cmd));
  }
  return kOk;
}

Result Raster::FormFeed() {
  const std::uint8_t cmd[] = {0x0C};
  sink_.Printing(PrintWork::FormFeed);
  VANTOR_TRY(Send(cmd));
  return Flush();
}

Result Raster::SendNumberField(int value) {
  // Four blanks and a zero byte; the number overwrites them with its own terminating zero.
  std::array<char, 5> field = {' ', ' ', ' ', ' ', '\0'};
  const auto [end, error] = std::to_chars(field.data(), field.data() + field.size(), value);
  if (error == std::errc{} && end < field.data() + field.size()) *end = '\0';
  return Send({reinterpret_cast<const std::uint8_t*>(field.data()), field.size()});
}

Result Raster::PrintValuePair(int black, int colour) {
  VANTOR_TRY(SendText(kValuePairLead));
  VANTOR_TRY(SendNumberField(black));
  VANTOR_TRY(SendText(kValuePairGap));
  VANTOR_TRY(SendText(kValuePairLead));
  VANTOR_TRY(SendNumberField(colour));
  return LineFeed(1);
}

Result Raster::PrintValueLabel(int value) {
  VANTOR_TRY(SendText(kValueLabelLead));
  VANTOR_TRY(SendNumberField(value));
  return CarriageReturn();
}

Result Raster::SendLine(RunList runs) {
  // The whole line in one call: a RepeatSend per run, built in place.
  std::array<std::uint8_t, 2 * kMaxLineRuns> line;
  while (!runs.empty()) {
    const std::size_t n = std::min(runs.size(), kMaxLineRuns);
    for (std::size_t i = 0; i < n; ++i) {
      const Run run = runs[i];
      if (run.count < 1 || run.count > 129) FatalProgramError(kRepeatSendError);
      line[2 * i] = static_cast<std::uint8_t>(1 - run.count);
      line[2 * i + 1] = run.value;
    }
    VANTOR_TRY(sink_.QueueRuns(std::span(line).first(2 * n)));
    runs = runs.subspan(n);
  }
  return kOk;
}

Result Raster::Band(std::uint8_t ink, std::uint16_t width, std::uint16_t lines,
                    const BandLines& content, bool flushPerLine) {
  VANTOR_TRY(SetRasterResolution(0x68, 0x01, 0x02, 0x01));
  VANTOR_TRY(SendRasterHeader(
      ink, 1, 2, static_cast<std::uint8_t>(width & 0xFF), static_cast<std::uint8_t>(width >> 8),
      static_cast<std::uint8_t>(lines & 0xFF), static_cast<std::uint8_t>(lines >> 8)));
  for (int i = 0; i < lines; ++i) {
    VANTOR_TRY(SendLine(content.At(content.firstLine + i)));
    if (flushPerLine) VANTOR_TRY(Flush());
  }
  return kOk;
}

Result Raster::ColourTriple(std::uint16_t width, const BandLines& content) {
  VANTOR_TRY(Band(kYellow, width, 60, content, true));
  VANTOR_TRY(SetHorizontalPosition(0));
  VANTOR_TRY(Band(kMagenta, width, 60, content, true));
  VANTOR_TRY(SetHorizontalPosition(0));
  return Band(kCyan, width, 60, content, true);
}

// ---- Adjustment patterns

Result Raster::PrintBetaPattern() {
  VANTOR_TRY(SendText(kBetaTitle));
  VANTOR_TRY(LineFeed(1));
  VANTOR_TRY(InitPrinter());
  for (std::size_t b = 0; b < kBetaBlocks.size(); ++b) {
    const BetaBlock& block = kBetaBlocks[b];
    const BandLines black = EveryLine(block.black);
    const BandLines colour = EveryLine(block.colour);
    for (int pass = 0; pass < 2; ++pass) {
      VANTOR_TRY(SetRasterMode(kUnit360, kUnidirectional, block.dotType, kMonochrome));
      VANTOR_TRY(Band(kBlack, block.width, 180, black, true));
      VANTOR_TRY(SetVerticalPosition(0));
      VANTOR_TRY(Flush());
      VANTOR_TRY(SetRasterMode(kUnit360, kUnidirectional, block.dotType, kColour));
      VANTOR_TRY(Band(kYellow, block.width, 60, colour, true));
      VANTOR_TRY(SetVerticalPosition(0));
      VANTOR_TRY(Flush());
      VANTOR_TRY(SetHorizontalPosition(0));
      VANTOR_TRY(Band(kMagenta, block.width, 60, colour, true));
      VANTOR_TRY(SetVerticalPosition(0));
      VANTOR_TRY(Flush());
      VANTOR_TRY(SetHorizontalPosition(0));
      VANTOR_TRY(Band(kCyan, block.width, 60, colour, true));
      VANTOR_TRY(SetVerticalPosition(1));
      VANTOR_TRY(Flush());
    }
    if (b + 1 < kBetaBlocks.size()) {
      VANTOR_TRY(Flush());
      VANTOR_TRY(InitPrinter());
    }
  }
  VANTOR_TRY(InitPrinter());
  VANTOR_TRY(LineFeed(1));
  return Flush();
}

Result Raster::NozzleSet(std::span<const NozzleStep> steps, std::uint8_t dotType) {
  for (const NozzleStep& step : steps) {
    const BandLines lines = OddEven(step.odd, step.even);
    if (step.colour) {
      VANTOR_TRY(SetRasterMode(kUnit360, kUnidirectional, dotType, kColour));
      VANTOR_TRY(ColourTriple(step.width, lines));
    } else {
      VANTOR_TRY(SetRasterMode(kUnit360, kUnidirectional, dotType, kMonochrome));
      VANTOR_TRY(Band(kBlack, step.width, 180, lines, true));
    }
  }
  return kOk;
}

Result Raster::PrintNozzleCheckPattern() {
  VANTOR_TRY(SendText(kNozzleCheckTitle));
  VANTOR_TRY(LineFeed(1));
  for (int pass = 0; pass < 2; ++pass) {
    VANTOR_TRY(NozzleSet(kNozzleSetA, kVsd1));
    VANTOR_TRY(SetVerticalPosition(360));
  }
  VANTOR_TRY(InitPrinter());
  return Flush();
}

Result Raster::PrintNozzleCheckVsd2() {
  VANTOR_TRY(NozzleSet(kNozzleSetA, kVsd2));
  VANTOR_TRY(InitPrinter());
  return Flush();
}

Result Raster::PrintNozzleCheckVsd3() {
  VANTOR_TRY(NozzleSet(kNozzleSetB, kVsd3));
  VANTOR_TRY(InitPrinter());
  return Flush();
}

Result Raster::PrintHeadAngularPattern(JobSteps& steps) {
  VANTOR_TRY(InitPrinter());
  VANTOR_TRY(SendText(kHeadAngularTitle));
  VANTOR_TRY(LineFeed(1));
  VANTOR_TRY(InitPrinter());
  VANTOR_TRY(steps.WaitUntilReady());
  VANTOR_TRY(InitPrinter());

  VANTOR_TRY(SetRasterMode(kUnit360, kBidirectional, kVsd1, kMonochrome));
  VANTOR_TRY(SetVerticalPosition(50));
  for (int pass = 0; pass < 2; ++pass) {
    VANTOR_TRY(SetVerticalPosition(0));
    VANTOR_TRY(SetHorizontalPosition(0));
    VANTOR_TRY(Band(kBlack, 720, 180, kHeadAngularLower, false));
    VANTOR_TRY(SetVerticalPosition(1));
  }

  VANTOR_TRY(InitPrinter());
  VANTOR_TRY(InitPrinter());
  VANTOR_TRY(SetRasterMode(kUnit360, kBidirectional, kVsd1, kMonochrome));
  VANTOR_TRY(SetVerticalPosition(358));
  for (int pass = 0; pass < 2; ++pass) {
    VANTOR_TRY(SetVerticalPosition(0));
    VANTOR_TRY(SetHorizontalPosition(0));
    VANTOR_TRY(Band(kBlack, 720, 180, kHeadAngularUpper, false));
    VANTOR_TRY(SetVerticalPosition(1));
  }
  // No flush: the caller's FormFeed sends the rest.
  return SetVerticalPosition(10);
}

// Not SetRasterMode's order: the PF blocks set the direction before the unit.
Result Raster::PfBlockSetup() {
  VANTOR_TRY(InitPrinter());
  VANTOR_TRY(SetGraphicsMode());
  VANTOR_TRY(SetPrintDirection(kUnidirectional));
  VANTOR_TRY(SetUnit(kUnit360));
  VANTOR_TRY(SetColorMode(kMonochrome));
  return SetDotSize(kVsd3);
}

Result Raster::PfBlock() {
  VANTOR_TRY(PfBlockSetup());
  for (int pass = 0; pass < 2; ++pass) {
    VANTOR_TRY(Band(kBlack, 720, 180, kPfPart1, true));
    VANTOR_TRY(SetVerticalPosition(1));
  }
  VANTOR_TRY(SetVerticalPosition(358));
  VANTOR_TRY(PfBlockSetup());
  for (int pass = 0; pass < 2; ++pass) {
    VANTOR_TRY(Band(kBlack, 720, 60, kPfPart2, true));
    VANTOR_TRY(SetVerticalPosition(1));
  }
  return kOk;
}

Result Raster::PrintPfCandidates(const std::function<Result(std::int8_t)>& setCandidate) {
  VANTOR_TRY(SendText(kPfTitle));
  VANTOR_TRY(LineFeed(1));
  for (int i = 0; i <= 9; ++i) {
    VANTOR_TRY(InitPrinter());
    // Each candidate's label follows its block.
    if (i == 9) {
      VANTOR_TRY(PrintValueLabel(4));
      break;
    }
    if (i >= 1) VANTOR_TRY(PrintValueLabel(i - 5));
    VANTOR_TRY(setCandidate(static_cast<std::int8_t>(i - 4)));
    VANTOR_TRY(PfBlock());
  }
  VANTOR_TRY(InitPrinter());
  return Flush();
}

Result Raster::PrintCurrentPfPattern(std::uint8_t stored) {
  VANTOR_TRY(SendText(kPfTitle));
  VANTOR_TRY(LineFeed(1));
  VANTOR_TRY(InitPrinter());
  VANTOR_TRY(PfBlock());
  VANTOR_TRY(InitPrinter());
  VANTOR_TRY(PrintValueLabel(static_cast<std::int8_t>(stored)));
  return Flush();
}

Result Raster::AlignmentBands(std::uint8_t dotType, std::uint16_t width,
                              const AlignmentLines& blackLines, const AlignmentLines& colourLines) {
  const BandLines colour = EveryLine(colourLines.colour);
  VANTOR_TRY(SetRasterMode(kUnit360, kUnidirectional, dotType, kMonochrome));
  VANTOR_TRY(Band(kBlack, width, 180, EveryLine(blackLines.black), true));
  VANTOR_TRY(SetRasterMode(kUnit360, kUnidirectional, dotType, kColour));
  VANTOR_TRY(Band(kYellow, width, 60, colour, true));
  VANTOR_TRY(SetVerticalPosition(0));
  VANTOR_TRY(SetHorizontalPosition(0));
  VANTOR_TRY(Band(kMagenta, width, 60, colour, true));
  VANTOR_TRY(SetVerticalPosition(0));
  VANTOR_TRY(SetHorizontalPosition(0));
  VANTOR_TRY(Band(kCyan, width, 60, colour, true));
  return SetVerticalPosition(1);
}

Result Raster::PrintAlignmentPattern() {
  VANTOR_TRY(SendText(kAlignmentTitle));
  VANTOR_TRY(LineFeed(1));
  for (const AlignmentBlock& block : kAlignmentBlocks) {
    // Only the VSD3 block changes its bar byte: to 0x20 right after its first black band.
    const AlignmentLines& first = block.with30;
    const AlignmentLines& later = block.with20.black.empty() ? block.with30 : block.with20;
    VANTOR_TRY(AlignmentBands(block.dotType, block.width, first, later));
    VANTOR_TRY(AlignmentBands(block.dotType, block.width, later, later));
    if (block.dotType != kVsd3) VANTOR_TRY(Flush());
  }
  VANTOR_TRY(InitPrinter());
  return Flush();
}

Result Raster::PrintNozzleColumnShift() {
  const BandLines line = EveryLine(kColumnShiftLine);
  VANTOR_TRY(SendText(kColumnShiftTitle));
  VANTOR_TRY(LineFeed(1));
  VANTOR_TRY(SetRasterMode(kUnit360, kUnidirectional, kVsd1, kMonochrome));
  VANTOR_TRY(Band(kBlack, 180, 60, line, true));
  VANTOR_TRY(SetRasterMode(kUnit360, kUnidirectional, kVsd1, kColour));
  VANTOR_TRY(Band(kMagenta, 180, 60, line, true));
  VANTOR_TRY(SetVerticalPosition(1));
  VANTOR_TRY(SetRasterMode(kUnit360, kUnidirectional, kVsd1, kMonochrome));
  VANTOR_TRY(Band(kBlack, 180, 60, line, true));
  VANTOR_TRY(SetRasterMode(kUnit360, kUnidirectional, kVsd1, kColour));
  VANTOR_TRY(Band(kMagenta, 180, 60, line, true));
  VANTOR_TRY(InitPrinter());
  return Flush();
}

Result Raster::PrintTopMarginPattern(std::uint8_t margin, JobSteps& steps) {
  const std::array<std::uint8_t, 8> format = {
      margin, 0x00, 0x00, 0x00, kTopMarginBottom & 0xFF, kTopMarginBottom >> 8, 0x00, 0x00};
  VANTOR_TRY(SetRasterMode(kUnit360, kUnidirectional, kVsd1, kMonochrome));
  VANTOR_TRY(SetPaperSize(kA4PaperSize));
  VANTOR_TRY(SetPageFormat(format));
  VANTOR_TRY(Flush());

  VANTOR_TRY(Band(kBlack, 720, 180, kTopMarginLines, true));

  VANTOR_TRY(InitPrinter());
  VANTOR_TRY(LineFeed(2));
  steps.SleepMs(1000);
  VANTOR_TRY(InitPrinter());
  VANTOR_TRY(SendText(kTopMarginTitle));
  steps.SleepMs(1000);
  VANTOR_TRY(FormFeed());
  VANTOR_TRY(InitPrinter());
  return Flush();
}

}  // namespace vantor
