// Paper for the virtual printer: puts every band and character of the print stream where the
// head and the paper feed would put them, and hands each ejected sheet on as pixels.
//
// Head: a black column of 180 nozzles at 1/180 inch pitch; beneath the same head height the
// yellow, magenta and cyan rows of 60 nozzles each, top to bottom. Dots are 1/360 inch across,
// and the page grid is 360 x 360 per inch, so a band repeated one unit lower fills the rows
// between its nozzles.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sim/PrintStream.h"

namespace vantor::sim {

inline constexpr int kPageDpi = 360;
inline constexpr int kBlackNozzles = 180;
inline constexpr int kColorNozzles = 60;
// A4 in units of 1/360 inch.
inline constexpr int kA4Width = 2976;
inline constexpr int kA4Length = 4208;

// One sheet as 8-bit RGB, row after row.
struct Page {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgb;
  // The first line of text printed on the sheet: the pattern's title, where it has one.
  std::string title{};

  const std::uint8_t* Pixel(int x, int y) const { return &rgb[(std::size_t(y) * width + x) * 3]; }
};

// What the mechanism does to the dots at the moment they are printed. The defaults describe a
// printer that prints true.
class PrintMechanics {
 public:
  virtual ~PrintMechanics() = default;
  // Dots a right-to-left pass lands to the right of where it was aimed.
  virtual int ReturnPassShift(std::uint8_t /*dotSize*/, bool /*colour*/) const { return 0; }
  // Units the paper moves too far per 360 units asked for (negative: too short).
  virtual int FeedError() const { return 0; }
  // Dots the lowest nozzle of the head stands to the right of the highest one.
  virtual int HeadTilt() const { return 0; }
  // Units from the sheet's top edge to the first print line for a top margin of `margin`.
  virtual int TopMarginLanding(int margin) const { return margin; }
  // The top margin a job uses until it sets its own.
  virtual int StoredTopMargin() const { return 120; }
};

class PageRenderer final : public PrintStreamListener {
 public:
  // A sink that keeps the page moves it away; a page it leaves in place lends its buffer to the
  // next sheet, so it must not be changed.
  using PageSink = std::function<void(Page&&)>;

  PageRenderer(const PrintMechanics& mechanics, PageSink sink);

  void InitPrinter() override;
  void Unit(std::uint8_t unit) override;
  void PrintDirection(std::uint8_t direction) override;
  void DotSize(std::uint8_t dotSize) override;
  void VerticalMove(std::int32_t units) override;
  void HorizontalPosition(std::uint16_t units) override;
  void RasterResolution(std::uint16_t base, std::uint8_t vertical,
                        std::uint8_t horizontal) override;
  void PaperSize(std::uint32_t width, std::uint32_t length) override;
  void PageFormat(std::uint32_t top, std::uint32_t bottom) override;
  void Band(const RasterBand& band) override;
  void CarriageReturn() override;
  void LineFeed() override;
  void FormFeed() override;
  void Text(char c) override;
  void SheetEjected() override { FormFeed(); }

  int PagesDone() const { return pagesDone_; }
  // True when something is on the sheet in the printer.
  bool PageStarted() const { return started_; }
  // The sheet in the printer as printed so far; null while nothing is on it.
  const Page* SheetInPrinter() const { return started_ ? &page_ : nullptr; }

 private:
  void StartSheet();
  void EnsureSheet();
  void BeginInk();
  void Feed(std::int64_t units);
  int Row() const;
  void Blend(int x, int y, const std::uint8_t* ink, int level);
  void Inked(int top, int bottom);
  void DrawGlyph(char c, int x, int y);

  const PrintMechanics& mechanics_;
  PageSink sink_;
  Page page_;
  bool sheet_ = false;       // a sheet is in the printer
  bool started_ = false;     // ink is on it
  bool titleEnded_ = false;  // the sheet's first line of text is complete
  int pagesDone_ = 0;
  // Rows of page_ that may hold ink, to whiten when its buffer is used for the next sheet.
  int inkedTop_ = 0;
  int inkedBottom_ = 0;

  // Printer settings, reset by ESC @.
  int unitsPerInch_ = kPageDpi;
  bool bidirectional_ = false;
  std::uint8_t dotSize_ = 0;
  int dotPitch_ = 1;   // page dots per raster dot
  int linePitch_ = 2;  // page rows per raster line

  // Sheet and carriage.
  int sheetWidth_ = kA4Width;
  int sheetLength_ = kA4Length;
  std::int64_t paper_ = 0;      // rows from the sheet's top edge to the print line
  int column_ = 0;              // page dots right of the left margin
  bool carriageRight_ = false;  // the last pass ended at the right-hand side
};

}  // namespace vantor::sim
