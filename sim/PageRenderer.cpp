#include "sim/PageRenderer.h"

#include <algorithm>

#include "sim/PrinterFont.h"

namespace vantor::sim {

namespace {

// The 8 inches of raster stand in the middle of an A4 sheet.
constexpr int kLeftMargin = 48;
constexpr int kLineSpacing = kPageDpi / 6;
constexpr int kCharPitch = kPageDpi / 10;
constexpr int kGlyphDot = 5;  // page pixels per font dot
// The largest sheet the paper path takes: 8.5 x 14 inches.
constexpr int kMaxSheetWidth = 3060;
constexpr int kMaxSheetLength = 5040;

struct Ink {
  std::uint8_t colour;  // colour byte of the raster header
  std::uint8_t rgb[3];
  int firstNozzle;  // head position of its first nozzle, in nozzle pitches
  int nozzles;
};

constexpr Ink kInks[] = {
    {0x00, {28, 28, 32}, 0, kBlackNozzles},
    {0x04, {250, 215, 0}, 0, kColorNozzles},
    {0x24, {190, 150, 0}, 0, kColorNozzles},
    {0x01, {225, 0, 120}, kColorNozzles, kColorNozzles},
    {0x11, {240, 140, 190}, kColorNozzles, kColorNozzles},
    {0x02, {0, 155, 225}, 2 * kColorNozzles, kColorNozzles},
    {0x12, {120, 200, 240}, 2 * kColorNozzles, kColorNozzles},
};

// Share of the pixel a dot of value 1, 2, 3 covers with ink.
constexpr int kCoverage[] = {0, 90, 165, 255};

const Ink& InkOf(std::uint8_t colour) {
  for (const Ink& ink : kInks) {
    if (ink.colour == colour) return ink;
  }
  return kInks[0];
}

int RoundDiv(int num, int den) {
  return num >= 0 ? (2 * num + den) / (2 * den) : -((-2 * num + den) / (2 * den));
}

}  // namespace

PageRenderer::PageRenderer(const PrintMechanics& mechanics, PageSink sink)
    : mechanics_(mechanics), sink_(std::move(sink)) {}

void PageRenderer::InitPrinter() {
  unitsPerInch_ = kPageDpi;
  bidirectional_ = false;
  dotSize_ = 0;
  dotPitch_ = 1;
  linePitch_ = 2;
}

void PageRenderer::Unit(std::uint8_t unit) {
  if (unit > 0) unitsPerInch_ = 3600 / unit;
}

void PageRenderer::PrintDirection(std::uint8_t direction) {
  bidirectional_ = direction == 0;
}

void PageRenderer::DotSize(std::uint8_t dotSize) {
  dotSize_ = dotSize;
}

void PageRenderer::RasterResolution(std::uint16_t base, std::uint8_t vertical,
                                    std::uint8_t horizontal) {
  if (base == 0 || vertical == 0 || horizontal == 0) return;
  dotPitch_ = std::clamp(horizontal * kPageDpi / base, 1, 16);
  linePitch_ = std::clamp(vertical * kPageDpi / base, 1, 16);
}

void PageRenderer::PaperSize(std::uint32_t width, std::uint32_t length) {
  const auto w = static_cast<std::int64_t>(width) * kPageDpi / unitsPerInch_;
  const auto l = static_cast<std::int64_t>(length) * kPageDpi / unitsPerInch_;
  if (w < kPageDpi || l < kPageDpi || w > kMaxSheetWidth || l > kMaxSheetLength) return;
  sheetWidth_ = static_cast<int>(w);
  sheetLength_ = static_cast<int>(l);
}

void PageRenderer::PageFormat(std::uint32_t top, std::uint32_t /*bottom*/) {
  if (started_) return;  // the sheet is already under way
  const auto rows = std::min<std::int64_t>(
      static_cast<std::int64_t>(top) * kPageDpi / unitsPerInch_, kMaxSheetLength);
  paper_ = mechanics_.TopMarginLanding(static_cast<int>(rows));
  sheet_ = true;
}

void PageRenderer::EnsureSheet() {
  if (!sheet_) {
    paper_ = mechanics_.TopMarginLanding(mechanics_.StoredTopMargin());
    sheet_ = true;
  }
}

void PageRenderer::BeginInk() {
  EnsureSheet();
  // Printing past the sheet's foot: the printer ejects it and goes on at the next one's top.
  if (started_ && Row() >= page_.height) {
    FormFeed();
    EnsureSheet();
  }
  if (!started_) {
    page_.title.clear();
    titleEnded_ = false;
  }
  StartSheet();
  started_ = true;
}

void PageRenderer::StartSheet() {
  const std::size_t size = std::size_t(sheetWidth_) * sheetLength_ * 3;
  if (page_.width == sheetWidth_ && page_.height == sheetLength_ && page_.rgb.size() == size) {
    // The last sheet's buffer, kept: whiten only where it was inked.
    if (!started_ && inkedTop_ < inkedBottom_) {
      const auto row = std::size_t(page_.width) * 3;
      std::fill(page_.rgb.begin() + static_cast<std::ptrdiff_t>(row * inkedTop_),
                page_.rgb.begin() + static_cast<std::ptrdiff_t>(row * inkedBottom_), 0xFF);
      inkedTop_ = inkedBottom_ = 0;
    }
    return;
  }
  page_.width = sheetWidth_;
  page_.height = sheetLength_;
  page_.rgb.assign(size, 0xFF);
  inkedTop_ = inkedBottom_ = 0;
}

void PageRenderer::Inked(int top, int bottom) {
  top = std::max(top, 0);
  bottom = std::min(bottom, page_.height);
  if (top >= bottom) return;
  if (inkedTop_ >= inkedBottom_) {
    inkedTop_ = top;
    inkedBottom_ = bottom;
  } else {
    inkedTop_ = std::min(inkedTop_, top);
    inkedBottom_ = std::max(inkedBottom_, bottom);
  }
}

void PageRenderer::Feed(std::int64_t rows) {
  EnsureSheet();
  // The error of each move is whole rows: micro-steps of a pass stay exact, long moves miss.
  const std::int64_t error = rows * mechanics_.FeedError();
  const std::int64_t missed =
      error >= 0 ? (error + kPageDpi / 2) / kPageDpi : -((-error + kPageDpi / 2) / kPageDpi);
  paper_ += rows + missed;
}

int PageRenderer::Row() const {
  return static_cast<int>(std::clamp<std::int64_t>(paper_, -kMaxSheetLength, 2 * kMaxSheetLength));
}

void PageRenderer::VerticalMove(std::int32_t units) {
  if (!page_.title.empty()) titleEnded_ = true;
  Feed(std::int64_t{units} * kPageDpi / unitsPerInch_);
}

void PageRenderer::HorizontalPosition(std::uint16_t units) {
  column_ = static_cast<int>(std::int64_t{units} * kPageDpi / unitsPerInch_);
}

void PageRenderer::CarriageReturn() {
  if (!page_.title.empty()) titleEnded_ = true;
  column_ = 0;
}

void PageRenderer::LineFeed() {
  if (!page_.title.empty()) titleEnded_ = true;
  Feed(kLineSpacing);
}

void PageRenderer::FormFeed() {
  if (started_) {
    ++pagesDone_;
    if (sink_) sink_(std::move(page_));
    // A sink that kept the page took its buffer; otherwise the next sheet reuses it.
    if (page_.rgb.size() != std::size_t(page_.width) * page_.height * 3) page_ = Page{};
  }
  sheet_ = started_ = false;
  column_ = 0;
}

void PageRenderer::Blend(int x, int y, const std::uint8_t* ink, int level) {
  if (x < 0 || x >= page_.width || y < 0 || y >= page_.height) return;
  std::uint8_t* p = &page_.rgb[(std::size_t(y) * page_.width + x) * 3];
  const int a = kCoverage[level];
  for (int c = 0; c < 3; ++c) {
    // Inks filter the light: overprinting darkens, as on paper.
    const int filter = 255 - a * (255 - ink[c]) / 255;
    p[c] = static_cast<std::uint8_t>(p[c] * filter / 255);
  }
}

void PageRenderer::Band(const RasterBand& band) {
  if (band.bitsPerDot != 2 || band.data.empty()) return;
  BeginInk();
  if (!page_.title.empty()) titleEnded_ = true;
  const Ink& ink = InkOf(band.color);
  const bool rightToLeft = bidirectional_ && carriageRight_;
  carriageRight_ = !rightToLeft;
  const int shift = rightToLeft ? mechanics_.ReturnPassShift(dotSize_, band.color != 0) : 0;
  const int tilt = mechanics_.HeadTilt();
  const int top = Row();
  const int lines = std::min<int>(band.lines, ink.nozzles);
  for (int line = 0; line < lines; ++line) {
    const int nozzle = ink.firstNozzle + line;
    const int y = top + nozzle * linePitch_;
    if (y < 0 || y >= page_.height) continue;
    Inked(y, y + 1);
    const int x0 = kLeftMargin + column_ + shift + RoundDiv(tilt * nozzle, kBlackNozzles - 1);
    const auto bytes = band.Line(static_cast<std::size_t>(line));
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const std::uint8_t b = bytes[i];
      if (b == 0) continue;
      for (int d = 0; d < 4; ++d) {
        const int level = (b >> (6 - 2 * d)) & 3;
        if (level == 0) continue;
        const int x = x0 + (static_cast<int>(i) * 4 + d) * dotPitch_;
        for (int k = 0; k < dotPitch_; ++k) Blend(x + k, y, ink.rgb, level);
      }
    }
  }
}

void PageRenderer::Text(char c) {
  BeginInk();
  if (!titleEnded_ && c >= ' ' && c <= '~' && page_.title.size() < 60) page_.title += c;
  DrawGlyph(c, kLeftMargin + column_, Row());
  if (column_ < kMaxSheetWidth) column_ += kCharPitch;
}

void PageRenderer::DrawGlyph(char c, int x, int y) {
  if (x >= page_.width) return;
  const Glyph& glyph = GlyphOf(c);
  Inked(y, y + kGlyphHeight * kGlyphDot);
  static constexpr std::uint8_t kBlack[3] = {28, 28, 32};
  for (int col = 0; col < kGlyphWidth; ++col) {
    for (int row = 0; row < kGlyphHeight; ++row) {
      if (!((glyph[col] >> row) & 1)) continue;
      for (int dy = 0; dy < kGlyphDot; ++dy) {
        for (int dx = 0; dx < kGlyphDot; ++dx) {
          Blend(x + 2 + col * kGlyphDot + dx, y + row * kGlyphDot + dy, kBlack, 3);
        }
      }
    }
  }
}

}  // namespace vantor::sim
