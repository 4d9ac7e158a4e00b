// Raster: the print-data encoder and the pattern generators built from its primitives.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "link/Result.h"
#include "raster/PrintSink.h"
#include "raster/RunList.h"

namespace vantor {

class LinkAccess;

namespace raster {
struct NozzleStep;
struct AlignmentLines;
}  // namespace raster

// Every command, and every raster line, is built in a small local buffer and queued at once;
// nothing is remembered between calls, since the printer holds the state. Operations return
// the first result other than success and send nothing after it.
class Raster {
 public:
  explicit Raster(PrintSink& sink) : sink_(sink) {}
  // Over the link: the print procedures also reach the access for their reads and steps.
  explicit Raster(LinkAccess& access);

  // Primitives, one per printer command.
  Result InitPrinter();
  Result SetGraphicsMode();
  Result SetUnit(std::uint8_t unit);
  Result SetPrintDirection(std::uint8_t direction);
  Result SetDotSize(std::uint8_t dotType);
  Result SetColorMode(std::uint8_t mode);
  Result SetRasterMode(std::uint8_t unit, std::uint8_t direction, std::uint8_t dotType,
                       std::uint8_t colorMode);
  Result CarriageReturn();
  Result SetVerticalPosition(std::int16_t amount);
  Result SetHorizontalPosition(int position);
  Result SetRasterResolution(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);
  Result SendRasterHeader(std::uint8_t colour, std::uint8_t compression, std::uint8_t bitsPerDot,
                          std::uint8_t bytesLow, std::uint8_t bytesHigh, std::uint8_t linesLow,
                          std::uint8_t linesHigh);
  Result SetPaperSize(std::span<const std::uint8_t, 8> widthThenLength);
  Result SetPageFormat(std::span<const std::uint8_t, 8> topThenBottom);
  Result RepeatSend(int count, std::uint8_t value);
  Result LineFeed(int n);
  Result FormFeed();
  Result PrintValuePair(int black, int colour);
  Result PrintValueLabel(int value);

  // Adjustment patterns. Only the PF and top-margin patterns eject their page.
  Result PrintBetaPattern();
  Result PrintNozzleCheckPattern();
  Result PrintNozzleCheckVsd2();
  Result PrintNozzleCheckVsd3();
  Result PrintHeadAngularPattern(JobSteps& steps);
  // The PF candidates -4..4 with their labels, each set by setCandidate before its block; the
  // caller puts the stored value back and ejects the page.
  Result PrintPfCandidates(const std::function<Result(std::int8_t candidate)>& setCandidate);
  // One PF block labelled with the stored value (a signed byte).
  Result PrintCurrentPfPattern(std::uint8_t stored);
  Result PrintAlignmentPattern();
  Result PrintNozzleColumnShift();
  // The top-margin line with the stored margin (in 1/360 inch), from the raster set-up to the
  // page eject; the caller has initialised the printer and read the margin.
  Result PrintTopMarginPattern(std::uint8_t margin, JobSteps& steps);

  // Bi-D candidates of one dot type (4..7) around the stored black and colour values, which
  // go back into the printer afterwards, also after a failure.
  Result Bid(int dotType, int black, int colour, JobSteps& steps);
  // The two-page Bi-D job without its final page eject; the caller has waited for the
  // printer and read the stored values.
  Result PrintBidPattern(const StoredBid& stored, JobSteps& steps);

  // The four-page A4 check pattern, including its last page eject; the caller has waited for
  // the printer and taken the readouts.
  Result PrintCheckPattern(const CheckReadouts& readouts, JobSteps& steps);

  PrintSink& Sink() { return sink_; }
  // Null when built on a bare sink.
  LinkAccess* Access() { return access_; }

 private:
  Result Send(std::span<const std::uint8_t> bytes) { return sink_.QueuePrintData(bytes); }
  // A fixed text with its terminating zero byte.
  template <std::size_t N>
  Result SendText(const char (&text)[N]) {
    return Send({reinterpret_cast<const std::uint8_t*>(text), N});
  }
  Result Flush() { return sink_.FlushPrintData(); }
  Result SendNumberField(int value);

  Result Band(std::uint8_t ink, std::uint16_t width, std::uint16_t lines,
              const raster::BandLines& content, bool flushPerLine);
  Result SendLine(raster::RunList runs);
  Result ColourTriple(std::uint16_t width, const raster::BandLines& content);
  Result NozzleSet(std::span<const raster::NozzleStep> steps, std::uint8_t dotType);
  Result AlignmentBands(std::uint8_t dotType, std::uint16_t width,
                        const raster::AlignmentLines& blackLines,
                        const raster::AlignmentLines& colourLines);
  Result PfBlock();
  Result PfBlockSetup();
  Result BidCandidates(std::uint8_t dotType);

  PrintSink& sink_;
  LinkAccess* access_ = nullptr;
};

}  // namespace vantor
