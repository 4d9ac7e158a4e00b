#include "sheet/SheetReader.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <numeric>

namespace vantor::sheet {

namespace {

using Complex = std::complex<double>;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The sheets' geometry in printer dots (1/360 inch), as the patterns print them.
constexpr double kA4WidthDots = 2976;
constexpr double kBarPitch = 40;           // Bi-D bars stand 10 bytes apart
constexpr int kBarsPerBlock = 34;          // in each of the black and the colour block
constexpr double kHalfHeight = 60;         // each pass of a Bi-D block
constexpr double kColourFromBlack = 1520;  // colour bars start 380 bytes right of the black ones
constexpr double kBidDotsPerStep = 1;      // a Bi-D value step moves the return pass one dot

double Wrap(double d, double period) {
  return d - period * std::round(d / period);
}

double Median(std::vector<double> v) {
  if (v.empty()) return kNaN;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A frame on the page: u along the rows of the pattern, v down the sheet, both in dots.
struct Frame {
  double cx = 0, cy = 0;  // origin in pixels
  double angle = 0;       // of the u axis against the image rows
  double scale = 1;       // pixels per dot

  double X(double u, double v) const {
    return cx + scale * (u * std::cos(angle) - v * std::sin(angle));
  }
  double Y(double u, double v) const {
    return cy + scale * (u * std::sin(angle) + v * std::cos(angle));
  }
};

// Walks a frame without a sine per sample: the unit steps along u and v in pixels.
struct Steps {
  double ux, uy, vx, vy;
  explicit Steps(const Frame& f)
      : ux(f.scale * std::cos(f.angle)),
        uy(f.scale * std::sin(f.angle)),
        vx(-f.scale * std::sin(f.angle)),
        vy(f.scale * std::cos(f.angle)) {}
};

// Mean darkness along u over the v range, sampled every `step` dots from u0 to u1.
std::vector<double> Profile(const SheetImage& image, const Frame& f, double u0, double u1,
                            double v0, double v1, double step) {
  const int n = std::max(1, static_cast<int>((u1 - u0) / step));
  // About two pixels apart across: the bars run along v, so more rows only average noise.
  const double vStep = std::max(1.0, 2.0 / f.scale);
  const int rows = std::max(1, static_cast<int>((v1 - v0) / vStep));
  const Steps d(f);
  const double dv = (v1 - v0) / rows;
  std::vector<double> profile(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double u = u0 + i * step;
    const double v = v0 + 0.5 * dv;
    double x = f.cx + u * d.ux + v * d.vx;
    double y = f.cy + u * d.uy + v * d.vy;
    double sum = 0;
    for (int r = 0; r < rows; ++r) {
      sum += image.Sample(x, y);
      x += dv * d.vx;
      y += dv * d.vy;
    }
    profile[static_cast<std::size_t>(i)] = sum / rows;
  }
  return profile;
}

// Mean darkness along v over the u range (a column profile).
std::vector<double> ColumnProfile(const SheetImage& image, const Frame& f, double u0, double u1,
                                  double v0, double v1, double step) {
  Frame turned = f;
  turned.angle = f.angle + std::numbers::pi / 2;
  // In the turned frame u runs down the sheet and v runs to the left.
  return Profile(image, turned, v0, v1, -u1, -u0, step);
}

// Fourier coefficient of a profile at the given period, positions from u0 in `step`s.
Complex Coefficient(const std::vector<double>& p, double u0, double step, double period,
                    std::size_t from = 0, std::size_t to = SIZE_MAX) {
  Complex sum = 0;
  to = std::min(to, p.size());
  if (from >= to) return sum;
  // The phasor turns by a fixed angle per sample; renormalised now and then against drift.
  const Complex turn = std::polar(1.0, -2 * std::numbers::pi * step / period);
  Complex z =
      std::polar(1.0, -2 * std::numbers::pi * (u0 + static_cast<double>(from) * step) / period);
  for (std::size_t i = from; i < to; ++i) {
    sum += p[i] * z;
    z *= turn;
    if ((i & 255) == 255) z /= std::abs(z);
  }
  return sum;
}

// Where bars of the period stand, modulo the period.
double Phase(Complex c, double period) {
  return -std::arg(c) * period / (2 * std::numbers::pi);
}

// ---------------------------------------------------------------------------------------------
// Finding the printed marks.

struct Blob {
  double cx = 0, cy = 0;  // pixels
  double angle = 0;
  double length = 0, height = 0;  // pixels, along and across
  double fill = 0;                // share of the box that is inked
  bool edge = false;              // touches the image border: a crop or the scanner lid
};

std::vector<Blob> FindBlobs(const SheetImage& image, double guessScale) {
  // Wide enough to hold a bar of every row of bars, low enough to keep the rows of a sheet apart.
  const int cellW = std::max(2, static_cast<int>(std::lround(guessScale * 45)));
  const int cellH = std::max(2, static_cast<int>(std::lround(guessScale * 22)));
  const int cw = (image.width + cellW - 1) / cellW;
  const int ch = (image.height + cellH - 1) / cellH;
  std::vector<double> mean(static_cast<std::size_t>(cw) * ch, 0.0);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      mean[static_cast<std::size_t>(y / cellH) * cw + x / cellW] += image.At(x, y);
    }
  }
  std::vector<double> square(mean.size(), 0.0);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      square[static_cast<std::size_t>(y / cellH) * cw + x / cellW] +=
          double{image.At(x, y)} * image.At(x, y);
    }
  }
  // A flat grey (a scanner lid, a shadow) is no ink: marks are either sharp or solid.
  std::vector<char> flat(mean.size(), 0), even(mean.size(), 0);
  for (int cy = 0; cy < ch; ++cy) {
    for (int cx = 0; cx < cw; ++cx) {
      const int w = std::min(cellW, image.width - cx * cellW);
      const int h = std::min(cellH, image.height - cy * cellH);
      const std::size_t i = static_cast<std::size_t>(cy) * cw + cx;
      mean[i] /= w * h;
      const double spread = std::sqrt(std::max(0.0, square[i] / (w * h) - mean[i] * mean[i]));
      flat[i] = spread < 0.02 && mean[i] < 0.5;
      even[i] = spread < 0.05 && mean[i] > 0.04;
    }
  }
  // Whatever lies around the sheet (lid, table, shadow) reaches the image border without a
  // break; the sheet's edge against it is a sharp line, but no mark of the sheet.
  std::vector<char> around(mean.size(), 0);
  std::vector<int> todo;
  for (int c = 0; c < cw * ch; ++c) {
    const int x = c % cw, y = c / cw;
    if ((x == 0 || y == 0 || x == cw - 1 || y == ch - 1) && even[static_cast<std::size_t>(c)]) {
      around[static_cast<std::size_t>(c)] = 1;
      todo.push_back(c);
    }
  }
  while (!todo.empty()) {
    const int c = todo.back();
    todo.pop_back();
    const int x = c % cw, y = c / cw;
    for (const auto& [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
      const int nx = x + dx, ny = y + dy;
      if (nx < 0 || ny < 0 || nx >= cw || ny >= ch) continue;
      const auto n = static_cast<std::size_t>(ny * cw + nx);
      if (!around[n] && even[n]) {
        around[n] = 1;
        todo.push_back(ny * cw + nx);
      }
    }
  }
  std::vector<char> nearAround(mean.size(), 0);
  for (int c = 0; c < cw * ch; ++c) {
    const int x = c % cw, y = c / cw;
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        const int nx = x + dx, ny = y + dy;
        if (nx < 0 || ny < 0 || nx >= cw || ny >= ch) continue;
        if (around[static_cast<std::size_t>(ny * cw + nx)])
          nearAround[static_cast<std::size_t>(c)] = 1;
      }
    }
  }
  // Ink against the paper nearby: sparse bars cover a fortieth of a cell, so the reference is
  // the median of the neighbourhood, not an absolute level.
  const int r = 8;
  std::vector<char> inked(mean.size(), 0);
  std::vector<double> window;
  for (int cy = 0; cy < ch; ++cy) {
    for (int cx = 0; cx < cw; ++cx) {
      window.clear();
      for (int y = std::max(0, cy - r); y <= std::min(ch - 1, cy + r); y += 2) {
        for (int x = std::max(0, cx - r); x <= std::min(cw - 1, cx + r); x += 2) {
          window.push_back(mean[static_cast<std::size_t>(y) * cw + x]);
        }
      }
      std::nth_element(window.begin(), window.begin() + static_cast<long>(window.size() / 2),
                       window.end());
      const double paper = window[window.size() / 2];
      const std::size_t i = static_cast<std::size_t>(cy) * cw + cx;
      inked[i] = !flat[i] && !nearAround[i] && mean[i] - paper > 0.012;
    }
  }

  std::vector<Blob> blobs;
  std::vector<int> stack;
  for (int start = 0; start < cw * ch; ++start) {
    if (!inked[static_cast<std::size_t>(start)]) continue;
    std::vector<int> cells;
    stack.push_back(start);
    inked[static_cast<std::size_t>(start)] = 0;
    while (!stack.empty()) {
      const int c = stack.back();
      stack.pop_back();
      cells.push_back(c);
      const int x = c % cw, y = c / cw;
      for (int dy = -1; dy <= 1; ++dy) {
        for (int dx = -1; dx <= 1; ++dx) {
          const int nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= cw || ny >= ch) continue;
          const int n = ny * cw + nx;
          if (inked[static_cast<std::size_t>(n)]) {
            inked[static_cast<std::size_t>(n)] = 0;
            stack.push_back(n);
          }
        }
      }
    }
    if (cells.size() < 4) continue;
    bool edge = false;
    for (const int c : cells) {
      edge = edge || c % cw == 0 || c / cw == 0 || c % cw == cw - 1 || c / cw == ch - 1;
    }
    // Moments of the ink in the blob's cells. What counts as ink is relative to the blob's
    // darkest pixels: blur spreads a one-dot bar into a faint band.
    std::array<int, 101> histogram{};
    int pixels = 0;
    for (const int c : cells) {
      const int x0 = (c % cw) * cellW, y0 = (c / cw) * cellH;
      for (int y = y0; y < std::min(image.height, y0 + cellH); ++y) {
        for (int x = x0; x < std::min(image.width, x0 + cellW); ++x) {
          ++histogram[static_cast<std::size_t>(std::lround(image.At(x, y) * 100))];
          ++pixels;
        }
      }
    }
    int level = 100;
    for (int seen = 0; level > 0; --level) {
      seen += histogram[static_cast<std::size_t>(level)];
      if (seen > pixels / 100) break;
    }
    const float threshold = std::max(0.03f, 0.3f * static_cast<float>(level) / 100);
    double sw = 0, sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    for (const int c : cells) {
      const int x0 = (c % cw) * cellW, y0 = (c / cw) * cellH;
      for (int y = y0; y < std::min(image.height, y0 + cellH); ++y) {
        for (int x = x0; x < std::min(image.width, x0 + cellW); ++x) {
          const double w = image.At(x, y) > threshold ? image.At(x, y) : 0.0;
          sw += w;
          sx += w * x;
          sy += w * y;
          sxx += w * x * x;
          syy += w * y * y;
          sxy += w * x * y;
        }
      }
    }
    if (sw <= 0) continue;
    Blob b;
    b.edge = edge;
    b.cx = sx / sw;
    b.cy = sy / sw;
    const double vxx = sxx / sw - b.cx * b.cx;
    const double vyy = syy / sw - b.cy * b.cy;
    const double vxy = sxy / sw - b.cx * b.cy;
    b.angle = 0.5 * std::atan2(2 * vxy, vxx - vyy);
    // A uniform box has variance extent^2 / 12 along each axis.
    const double c2 = std::cos(b.angle), s2 = std::sin(b.angle);
    const double along = vxx * c2 * c2 + 2 * vxy * c2 * s2 + vyy * s2 * s2;
    const double across = vxx * s2 * s2 - 2 * vxy * c2 * s2 + vyy * c2 * c2;
    b.length = std::sqrt(12 * std::max(0.0, along));
    b.height = std::sqrt(12 * std::max(0.0, across));
    double inkSum = 0;
    for (const int c : cells) {
      const int x0 = (c % cw) * cellW, y0 = (c / cw) * cellH;
      for (int y = y0; y < std::min(image.height, y0 + cellH); ++y) {
        for (int x = x0; x < std::min(image.width, x0 + cellW); ++x) inkSum += image.At(x, y);
      }
    }
    b.fill = inkSum / std::max(1.0, b.length * b.height);
    blobs.push_back(b);
  }
  return blobs;
}

double GuessScale(const SheetImage& image) {
  return image.width / kA4WidthDots;
}

// ---------------------------------------------------------------------------------------------
// Bi-D blocks.

struct BarBlock {
  Frame frame;           // origin at the left end of the meeting line
  double u0 = 0;         // first bar, dots from the blob's centre
  double step = kNaN;    // lower pass minus upper pass, dots
  double agreement = 0;  // share of the bars that agree with the step
  double v = 0, u = 0;   // position of the meeting line's centre in the page frame, dots
};

// Measures one block of bars around a blob: the period fixes the scale, the phase the bars,
// and the phase difference between the two passes the step.
std::optional<BarBlock> MeasureBarBlock(const SheetImage& image, const Blob& blob, double angle,
                                        double scale) {
  Frame f{blob.cx, blob.cy, angle, scale};
  const double half = (kBarsPerBlock * kBarPitch) / 2;
  const double sample = 0.5;
  // Meeting line: the middle of the block's inked height.
  const auto column =
      ColumnProfile(image, f, -half * 0.8, half * 0.8, -2 * kHalfHeight, 2 * kHalfHeight, 1.0);
  const double peak = *std::max_element(column.begin(), column.end());
  if (peak <= 0) return std::nullopt;
  int top = -1, bottom = -1;
  for (std::size_t i = 0; i < column.size(); ++i) {
    if (column[i] > peak / 2) {
      if (top < 0) top = static_cast<int>(i);
      bottom = static_cast<int>(i);
    }
  }
  const double height = bottom - top + 1;
  if (height < 1.6 * kHalfHeight || height > 2.4 * kHalfHeight) return std::nullopt;
  const double mid = -2 * kHalfHeight + (top + bottom + 1) / 2.0;
  f.cx = f.X(0, mid);
  f.cy = f.Y(0, mid);

  const double span = half + 3 * kBarPitch;
  const auto both = Profile(image, f, -span, span, -kHalfHeight + 6, kHalfHeight - 6, sample);
  // The bars' pitch fixes the scale to within a fraction of a percent.
  double bestPeriod = kBarPitch, bestPower = 0;
  for (double p = kBarPitch * 0.85; p <= kBarPitch * 1.15; p += 0.25) {
    const double power = std::abs(Coefficient(both, -span, sample, p));
    if (power > bestPower) {
      bestPower = power;
      bestPeriod = p;
    }
  }
  const double coarse = bestPeriod;
  for (double p = coarse - 0.25; p <= coarse + 0.25; p += 0.02) {
    const double power = std::abs(Coefficient(both, -span, sample, p));
    if (power > bestPower) {
      bestPower = power;
      bestPeriod = p;
    }
  }
  f.scale = scale * bestPeriod / kBarPitch;
  const auto upper = Profile(image, f, -span, span, -kHalfHeight + 6, -6, sample);
  const auto lower = Profile(image, f, -span, span, 6, kHalfHeight - 6, sample);
  const double phase = Phase(Coefficient(upper, -span, sample, kBarPitch), kBarPitch);
  // Which 34 bar positions hold bars: the strongest run of them.
  std::vector<double> strength;
  const double first = phase - kBarPitch * std::ceil((phase + span) / kBarPitch);
  for (double b = first; b < span; b += kBarPitch) {
    auto at = [&](double u) {
      const long i = std::lround((u + span) / sample);
      if (i < 0 || i >= static_cast<long>(upper.size())) return 0.0;
      return upper[static_cast<std::size_t>(i)];
    };
    strength.push_back(at(b) - (at(b - kBarPitch / 2) + at(b + kBarPitch / 2)) / 2);
  }
  if (strength.size() < kBarsPerBlock) return std::nullopt;
  double best = -1e9;
  std::size_t firstBar = 0;
  for (std::size_t s = 0; s + kBarsPerBlock <= strength.size(); ++s) {
    const double total =
        std::accumulate(strength.begin() + static_cast<long>(s),
                        strength.begin() + static_cast<long>(s) + kBarsPerBlock, 0.0);
    if (total > best) {
      best = total;
      firstBar = s;
    }
  }
  BarBlock block;
  block.u0 = first + static_cast<double>(firstBar) * kBarPitch;
  // Each bar on its own: the step is the median, the share that agrees tells how sure it is.
  std::vector<double> steps;
  for (int i = 0; i < kBarsPerBlock; ++i) {
    const double c = block.u0 + i * kBarPitch;
    const auto from = static_cast<std::size_t>(std::max(0.0, (c - kBarPitch / 2 + span) / sample));
    const auto to = static_cast<std::size_t>(std::max(0.0, (c + kBarPitch / 2 + span) / sample));
    const Complex cu = Coefficient(upper, -span, sample, kBarPitch, from, to);
    const Complex cl = Coefficient(lower, -span, sample, kBarPitch, from, to);
    steps.push_back(Wrap(Phase(cl, kBarPitch) - Phase(cu, kBarPitch), kBarPitch));
  }
  block.step = Median(steps);
  int agree = 0;
  // A bar narrower than a pixel lands on the pixel grid: single bars scatter by a pixel.
  const double tolerance = std::max(1.0, 0.8 / f.scale);
  for (const double s : steps) agree += std::abs(s - block.step) < tolerance;
  block.agreement = static_cast<double>(agree) / kBarsPerBlock;
  block.frame = f;
  return block;
}

double AngleNear0(double a) {
  while (a > std::numbers::pi / 2) a -= std::numbers::pi;
  while (a <= -std::numbers::pi / 2) a += std::numbers::pi;
  return a;
}

constexpr double kMaxTilt = 6 * std::numbers::pi / 180;
constexpr double kMaxForeign = 800;  // dots: anything longer that is not a block is foreign

// Meeting lines of the black blocks down one Bi-D sheet, from the first: three candidates of
// one dot type, then three of the next. A candidate takes 424 rows, a dot type 664 more.
constexpr std::array<double, 6> kBidSlots = {0, 424, 848, 1512, 1936, 2360};
constexpr double kColourBelowBlack = 62;
// The dot type's title line, above the first black meeting line of its three candidates.
constexpr double kTitleFrom = -300, kTitleTo = -265;
constexpr double kShortTitle = 360;  // "ECO DOT" is about 250 dots long, the others 470

struct PageBlocks {
  std::array<std::optional<BarBlock>, 6> black, colour;
  bool second = false;  // VSD3 and ECO
};

const char* const kNotBid =
    "this image is not a Bi-D adjustment sheet printed by this tool (no rows of Bi-D bars found)";

std::optional<PageBlocks> ReadBidPage(const SheetImage& image, std::string& why) {
  const double guess = GuessScale(image);
  const std::vector<Blob> blobs = FindBlobs(image, guess);
  std::vector<const Blob*> bars;
  for (const Blob& b : blobs) {
    const double aspect = b.length / std::max(1.0, b.height);
    const double length = b.length / guess;
    if (aspect > 6 && aspect < 18 && length > 900 && length < 1900 && b.fill < 0.3 &&
        std::abs(AngleNear0(b.angle)) < kMaxTilt) {
      bars.push_back(&b);
    }
  }
  if (bars.size() < 3) {
    why = kNotBid;
    return std::nullopt;
  }
  std::vector<double> angles, lengths;
  for (const Blob* b : bars) {
    angles.push_back(AngleNear0(b->angle));
    lengths.push_back(b->length);
  }
  const double angle = Median(angles);
  const double scale = Median(lengths) / (kBarsPerBlock * kBarPitch);
  for (const Blob& b : blobs) {
    const bool isBar = std::find(bars.begin(), bars.end(), &b) != bars.end();
    if (!isBar && !b.edge && std::max(b.length, b.height) / scale > kMaxForeign) {
      why =
          "this image holds more than a Bi-D adjustment sheet (a check pattern or another "
          "print?); scan the Bi-D sheets alone";
      return std::nullopt;
    }
  }

  struct Placed {
    BarBlock block;
    double u, v;  // page frame, dots
  };
  std::vector<Placed> placed;
  for (const Blob* b : bars) {
    auto block = MeasureBarBlock(image, *b, angle, scale);
    if (!block) continue;
    const Frame& f = block->frame;
    const double u = (f.cx * std::cos(angle) + f.cy * std::sin(angle)) / scale;
    const double v = (-f.cx * std::sin(angle) + f.cy * std::cos(angle)) / scale;
    placed.push_back({*block, u + block->u0, v});
  }
  // The black column is the one with the colour column 1520 dots to its right.
  std::optional<double> blackU;
  for (const Placed& a : placed) {
    for (const Placed& b : placed) {
      if (std::abs(b.u - a.u - kColourFromBlack) < 60 &&
          std::abs(b.v - a.v - kColourBelowBlack) < 40) {
        if (!blackU || a.u < *blackU) blackU = a.u;
      }
    }
  }
  if (!blackU) {
    why = kNotBid;
    return std::nullopt;
  }
  // The slots: the first black meeting line that puts the most blocks on a slot.
  std::vector<double> blackV;
  for (const Placed& p : placed) {
    if (std::abs(p.u - *blackU) < 60) blackV.push_back(p.v);
    if (std::abs(p.u - *blackU - kColourFromBlack) < 60) blackV.push_back(p.v - kColourBelowBlack);
  }
  double origin = 0;
  int bestHits = -1;
  for (const double v : blackV) {
    for (const double slot : kBidSlots) {
      int hits = 0;
      for (const double w : blackV) {
        for (const double s : kBidSlots) hits += std::abs(w - (v - slot) - s) < 40;
      }
      if (hits > bestHits) {
        bestHits = hits;
        origin = v - slot;
      }
    }
  }
  PageBlocks page;
  for (const Placed& p : placed) {
    const bool black = std::abs(p.u - *blackU) < 60;
    const bool colour = std::abs(p.u - *blackU - kColourFromBlack) < 60;
    const double v = p.v - (colour ? kColourBelowBlack : 0) - origin;
    for (std::size_t s = 0; s < kBidSlots.size(); ++s) {
      if (std::abs(v - kBidSlots[s]) >= 40) continue;
      if (black) page.black[s] = p.block;
      if (colour) page.colour[s] = p.block;
    }
  }
  // The second sheet's lower dot type is ECO, the only short title.
  Frame pageFrame{0, 0, angle, scale};
  const double titleV = origin + kBidSlots[3];
  const auto title = Profile(image, pageFrame, *blackU - 40, *blackU + 700, titleV + kTitleFrom,
                             titleV + kTitleTo, 2.0);
  const double peak = title.empty() ? 0 : *std::max_element(title.begin(), title.end());
  int last = -1, first = -1;
  for (std::size_t i = 0; i < title.size(); ++i) {
    if (title[i] > peak / 3) {
      if (first < 0) first = static_cast<int>(i);
      last = static_cast<int>(i);
    }
  }
  page.second = peak > 0.05 && (last - first) * 2.0 < kShortTitle;
  return page;
}

// One Bi-D row from its three candidates' steps: each candidate says where the true value is;
// where they agree the value between candidates is trusted.
BidRowReading ReadBidRow(const std::array<std::optional<BarBlock>, 3>& blocks, double sign) {
  BidRowReading row;
  row.read = true;
  std::vector<double> estimates, weights;
  double bestStep = 1e9;
  double agreement = 1;
  for (int k = 0; k < 3; ++k) {
    const auto& b = blocks[static_cast<std::size_t>(k)];
    row.steps[static_cast<std::size_t>(k)] = b ? b->step * sign : kNaN;
    if (!b || b->agreement < 0.5) continue;
    const double s = b->step * sign;
    if (std::abs(s) < bestStep) {
      bestStep = std::abs(s);
      row.best = k;
    }
    // Steps close to half the bar pitch are ambiguous; the meeting candidate counts most.
    if (std::abs(s) > kBarPitch / 2 - 4) continue;
    estimates.push_back(2.0 * (k - 1) - s / kBidDotsPerStep);
    weights.push_back(b->agreement / (1 + std::abs(s)));
    agreement = std::min(agreement, b->agreement);
  }
  if (row.best < 0) {
    row.read = false;
    return row;
  }
  if (estimates.empty()) {
    row.offset = 2.0 * (row.best - 1);
    row.suggested = 2 * (row.best - 1);
    row.confidence = 0.2;
    return row;
  }
  double sum = 0, wsum = 0;
  for (std::size_t i = 0; i < estimates.size(); ++i) {
    sum += estimates[i] * weights[i];
    wsum += weights[i];
  }
  row.offset = sum / wsum;
  double spread = 0;
  for (const double e : estimates) spread = std::max(spread, std::abs(e - row.offset));
  row.suggested = static_cast<int>(std::lround(row.offset));
  double confidence = agreement;
  if (spread > 0.5) confidence *= spread > 1.0 ? 0.3 : 0.7;
  if (estimates.size() < 2) confidence *= 0.7;
  // Halfway between two whole values the reading cannot choose.
  confidence *= 1.0 - 0.6 * std::max(0.0, std::abs(row.offset - row.suggested) - 0.3) / 0.2;
  row.confidence = std::clamp(confidence, 0.0, 1.0);
  if (spread > 1.0) {
    // The candidates disagree: say only which one meets best.
    row.suggested = 2 * (row.best - 1);
    row.offset = row.suggested;
  }
  return row;
}

}  // namespace

std::optional<BidReading> ReadBidSheets(const std::vector<SheetImage>& pages, std::string& why) {
  if (pages.empty() || pages.size() > 2) {
    why = "give the one or two pages of one Bi-D print";
    return std::nullopt;
  }
  std::array<std::optional<PageBlocks>, 2> sheets;
  for (const SheetImage& image : pages) {
    auto page = ReadBidPage(image, why);
    if (!page) return std::nullopt;
    auto& slot = sheets[page->second ? 1 : 0];
    if (slot) {
      why = page->second ? "both pages are the second sheet (VSD3 and ECO) of a Bi-D print"
                         : "both pages are the first sheet (VSD1 and VSD2) of a Bi-D print";
      return std::nullopt;
    }
    slot = *page;
  }
  BidReading reading;
  // The colour blocks' passes are printed the other way round.
  constexpr double kBlackSign = 1, kColourSign = 1;
  for (std::size_t row = 0; row < 8; ++row) {
    const std::size_t type = row / 2;  // VSD1, VSD2, VSD3, ECO
    const bool colour = row % 2 == 1;
    BidRowReading r;
    const auto& sheet = sheets[type / 2];
    if (sheet) {
      const auto& column = colour ? sheet->colour : sheet->black;
      const std::size_t from = (type % 2) * 3;
      r = ReadBidRow({column[from], column[from + 1], column[from + 2]},
                     colour ? kColourSign : kBlackSign);
    }
    r.dotType = static_cast<int>(4 + type);
    r.colour = colour;
    reading.rows[row] = r;
  }
  bool any = false;
  for (const auto& r : reading.rows) any = any || (r.read && r.confidence > 0);
  if (!any) {
    why = "the sheet is too degraded to read: no row of bars could be measured";
    return std::nullopt;
  }
  return reading;
}

}  // namespace vantor::sheet
