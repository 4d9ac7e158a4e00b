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
  const double noise2 = double{image.noise} * image.noise;
  // A flat grey (a scanner lid, a shadow) is no ink: marks are either sharp or solid.
  std::vector<char> flat(mean.size(), 0), even(mean.size(), 0);
  for (int cy = 0; cy < ch; ++cy) {
    for (int cx = 0; cx < cw; ++cx) {
      const int w = std::min(cellW, image.width - cx * cellW);
      const int h = std::min(cellH, image.height - cy * cellH);
      const std::size_t i = static_cast<std::size_t>(cy) * cw + cx;
      mean[i] /= w * h;
      // Only what stands out of the scanner's grain is structure.
      const double spread =
          std::sqrt(std::max(0.0, square[i] / (w * h) - mean[i] * mean[i] - noise2));
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
  // On a grainy scan three cells along the rows together: the rows of bars are thirty cells
  // long, and the grain would otherwise break them into pieces.
  std::vector<double> rowMean(mean.size());
  for (int cy = 0; cy < ch; ++cy) {
    for (int cx = 0; cx < cw; ++cx) {
      const std::size_t row = static_cast<std::size_t>(cy) * cw;
      rowMean[row + cx] = (mean[row + std::max(0, cx - 1)] + mean[row + cx] +
                           mean[row + std::min(cw - 1, cx + 1)]) /
                          3;
    }
  }
  const bool grainy = image.noise > 0.01f;
  const std::vector<double>& judged = grainy ? rowMean : mean;
  // Coloured bars on a grey scan are half as dark as black ones, and the sparse bars of a cell
  // then lift its mean by about a hundredth: the bar is set by the grain left in a cell's mean
  // (the smoothing down the columns binds about four pixels together), not at a fixed level.
  const double cellPixels = static_cast<double>(cellW) * cellH * (grainy ? 3 : 1);
  const double cellGrain = image.noise * 2 / std::sqrt(cellPixels);
  const double inkLevel = std::max(0.005, 4 * cellGrain);
  const int r = 8;
  std::vector<char> inked(mean.size(), 0);
  std::vector<double> window;
  for (int cy = 0; cy < ch; ++cy) {
    for (int cx = 0; cx < cw; ++cx) {
      window.clear();
      for (int y = std::max(0, cy - r); y <= std::min(ch - 1, cy + r); y += 2) {
        for (int x = std::max(0, cx - r); x <= std::min(cw - 1, cx + r); x += 2) {
          window.push_back(judged[static_cast<std::size_t>(y) * cw + x]);
        }
      }
      std::nth_element(window.begin(), window.begin() + static_cast<long>(window.size() / 2),
                       window.end());
      const double paper = window[window.size() / 2];
      const std::size_t i = static_cast<std::size_t>(cy) * cw + cx;
      inked[i] = !flat[i] && !nearAround[i] && judged[i] - paper > inkLevel;
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
  double error = kNaN;   // standard error of the step, dots
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
  // Meeting line: the middle of the block's height, where bars of the pitch stand. Only the
  // bars count: the value labels close above and noise on the paper have no pitch. Short
  // stretches, as the scale is known only roughly yet.
  constexpr double kRowStep = 2;
  std::vector<double> column;
  for (double v = -2 * kHalfHeight; v < 2 * kHalfHeight; v += kRowStep) {
    const auto row = Profile(image, f, -half * 0.8, half * 0.8, v, v + kRowStep, 1.0);
    double strength = 0;
    constexpr std::size_t kStretch = 4 * static_cast<std::size_t>(kBarPitch);
    for (std::size_t from = 0; from + kStretch <= row.size(); from += kStretch) {
      strength += std::abs(Coefficient(row, -half * 0.8, 1.0, kBarPitch, from, from + kStretch));
    }
    column.push_back(strength);
  }
  std::vector<double> sorted = column;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 10),
                   sorted.end());
  const double floor = sorted[sorted.size() / 10];
  const double peak = *std::max_element(column.begin(), column.end());
  if (peak <= floor) return std::nullopt;
  // The run of rows around the strongest; a colour block's passes are of two inks, one of
  // them lighter, so the run goes down to a quarter.
  const double threshold = floor + (peak - floor) / 4;
  const auto strongest = std::max_element(column.begin(), column.end()) - column.begin();
  std::ptrdiff_t top = strongest, bottom = strongest;
  while (top > 0 && column[static_cast<std::size_t>(top - 1)] > threshold) --top;
  while (bottom + 1 < static_cast<std::ptrdiff_t>(column.size()) &&
         column[static_cast<std::size_t>(bottom + 1)] > threshold)
    ++bottom;
  const double height = static_cast<double>(bottom - top + 1) * kRowStep;
  if (height < 1.6 * kHalfHeight || height > 2.4 * kHalfHeight) return std::nullopt;
  const double mid = -2 * kHalfHeight + static_cast<double>(top + bottom + 1) * kRowStep / 2;
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
  // Each bar on its own first: the share that agrees with the others tells how sure the block
  // is, and a bar far off (a smudge, a speck) is left out.
  std::vector<double> steps;
  std::vector<Complex> pairs;
  for (int i = 0; i < kBarsPerBlock; ++i) {
    const double c = block.u0 + i * kBarPitch;
    const auto from = static_cast<std::size_t>(std::max(0.0, (c - kBarPitch / 2 + span) / sample));
    const auto to = static_cast<std::size_t>(std::max(0.0, (c + kBarPitch / 2 + span) / sample));
    const Complex cu = Coefficient(upper, -span, sample, kBarPitch, from, to);
    const Complex cl = Coefficient(lower, -span, sample, kBarPitch, from, to);
    pairs.push_back(cl * std::conj(cu));
    steps.push_back(Phase(pairs.back(), kBarPitch));
  }
  // A bar narrower than a pixel lands on the pixel grid, so single bars scatter by up to a
  // pixel either way, in whole pixels: the median would pick one of the grid's values, while
  // the bars together, each as strong as it printed, average the grid out.
  const double median = Median(steps);
  const double window = 1.5 / f.scale + 1.5;
  Complex together = 0;
  std::vector<double> kept;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (std::abs(Wrap(steps[i] - median, kBarPitch)) > window) continue;
    together += pairs[i];
    kept.push_back(steps[i]);
  }
  const int agree = static_cast<int>(kept.size());
  block.step = Phase(together, kBarPitch);
  double square = 0;
  for (const double k : kept)
    square += Wrap(k - block.step, kBarPitch) * Wrap(k - block.step, kBarPitch);
  block.error = std::sqrt(square / std::max(1, agree - 1) / std::max(1, agree));
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
  double noise = 0;     // the scan's grain
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
    // A row of bars that the grain broke in two is no foreign mark; it is only not measured.
    const bool brokenRow = b.length / scale < 1.1 * kBarsPerBlock * kBarPitch &&
                           std::abs(b.height / scale / (2 * kHalfHeight) - 1) < 0.4 &&
                           b.length > 4 * b.height && b.fill < 0.3 &&
                           std::abs(AngleNear0(b.angle)) < kMaxTilt;
    if (!isBar && !brokenRow && !b.edge && std::max(b.length, b.height) / scale > kMaxForeign) {
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
  page.noise = image.noise;
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

double NormalCdf(double x) {
  return 0.5 * std::erfc(-x / std::numbers::sqrt2);
}

// One Bi-D row from its three candidates' steps: each candidate says where the true value is,
// as sure as its bars agree; where the candidates agree too the value between them is trusted.
// The confidence is the chance that the whole value to register is the right one.
BidRowReading ReadBidRow(const std::array<std::optional<BarBlock>, 3>& blocks, double sign,
                         double noise) {
  BidRowReading row;
  row.read = true;
  std::vector<double> estimates, variances;
  double bestStep = 1e9;
  double agreement = 1;
  double pixel = 0;  // dots
  for (int k = 0; k < 3; ++k) {
    const auto& b = blocks[static_cast<std::size_t>(k)];
    row.steps[static_cast<std::size_t>(k)] = b ? b->step * sign : kNaN;
    if (!b || b->agreement < 0.5) continue;
    const double s = b->step * sign;
    if (std::abs(s) < bestStep) {
      bestStep = std::abs(s);
      row.best = k;
    }
    // Steps close to half the bar pitch are ambiguous.
    if (std::abs(s) > kBarPitch / 2 - 4) continue;
    estimates.push_back(2.0 * (k - 1) - s / kBidDotsPerStep);
    // Far from meeting a print's step may not be linear in the value: the meeting candidate
    // counts most.
    const double model = 0.03 * (1 + std::abs(s));
    variances.push_back(b->error * b->error + model * model);
    agreement = std::min(agreement, b->agreement);
    pixel = std::max(pixel, 1 / b->frame.scale);
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
    sum += estimates[i] / variances[i];
    wsum += 1 / variances[i];
  }
  row.offset = sum / wsum;
  double spread = 0, chi2 = 0;
  for (std::size_t i = 0; i < estimates.size(); ++i) {
    const double d = estimates[i] - row.offset;
    spread = std::max(spread, std::abs(d));
    chi2 += d * d / variances[i];
  }
  // Candidates that disagree beyond their own errors widen the error by as much; a floor for
  // what no scan shows (paper stretch, a pass that wanders).
  double sigma2 = 1 / wsum;
  if (estimates.size() > 1)
    sigma2 *= std::max(1.0, chi2 / static_cast<double>(estimates.size() - 1));
  // Grain on a coarse scan moves the bars by parts of a pixel the same way in every candidate,
  // which no spread shows.
  const double grain = 7 * noise * pixel;
  const double sigma = std::sqrt(sigma2 + 0.08 * 0.08 + grain * grain);
  row.suggested = static_cast<int>(std::lround(row.offset));
  const double off = std::abs(row.offset - row.suggested);
  double confidence = NormalCdf((0.5 - off) / sigma) + NormalCdf((0.5 + off) / sigma) - 1;
  // Bars lost to a smudge or a speck, and a single candidate without a second opinion.
  confidence *= std::min(1.0, agreement / 0.8);
  if (estimates.size() < 2) confidence *= 0.8;
  row.confidence = std::clamp(confidence, 0.0, 1.0);
  if (spread > 1.0) {
    // The candidates disagree by more than a value: say only which one meets best.
    row.suggested = 2 * (row.best - 1);
    row.offset = row.suggested;
    row.confidence = std::min(row.confidence, 0.3);
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
                     colour ? kColourSign : kBlackSign, sheet->noise);
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

namespace {

// The PF sheet in printer dots: each candidate prints a bar 122 bytes wide with the last 60
// nozzles, then, after the feed, one 36 bytes further right with the first 60.
constexpr double kPfBarWidth = 488;
constexpr double kPfShift = 144;
constexpr int kPfCandidates = 9;

const char* const kNotPf =
    "this image is not a PF adjustment sheet printed by this tool (the nine candidates were not "
    "found)";

// Where a profile crosses halfway between its ink and its paper, from index from towards to;
// -1 when it does not.
double Crossing(const std::vector<double>& p, long from, long to) {
  if (p.empty()) return -1;
  const auto [low, high] = std::minmax_element(p.begin(), p.end());
  const double half = (*low + *high) / 2;
  const long step = to > from ? 1 : -1;
  for (long i = from; i != to; i += step) {
    const double a = p[static_cast<std::size_t>(i)], b = p[static_cast<std::size_t>(i + step)];
    if ((a - half) * (b - half) <= 0 && a != b) {
      return static_cast<double>(i) + static_cast<double>(step) * (a - half) / (a - b);
    }
  }
  return -1;
}

struct Joint {
  double gap = 0;               // dots
  double leftX = 0, leftY = 0;  // the upper bar's left end, pixels
};

// The gap of one candidate's joint, with the frame in pixels (scale 1) at the blob.
std::optional<Joint> MeasureJoint(const SheetImage& image, const Blob& blob, double angle) {
  Frame f{blob.cx, blob.cy, angle, 1};
  const double reach = std::sqrt(blob.length * blob.length + blob.height * blob.height);
  // Through the middle both bars stand: the joint's whole height, from the outside in, as a
  // gap may part the middle. Not as far as the next candidate's joint.
  const double down = 0.75 * blob.height;
  const auto middle = ColumnProfile(image, f, -reach / 20, reach / 20, -down, down, 0.5);
  const long last = static_cast<long>(middle.size()) - 1;
  const double top = Crossing(middle, 0, last), bottom = Crossing(middle, last, 0);
  if (top < 0 || bottom < 0) return std::nullopt;
  const double vTop = -down + top * 0.5, vBottom = -down + bottom * 0.5;
  const double h = vBottom - vTop;
  const auto upper = Profile(image, f, -reach, reach, vTop + 0.15 * h, vTop + 0.35 * h, 0.5);
  const auto lower = Profile(image, f, -reach, reach, vBottom - 0.35 * h, vBottom - 0.15 * h, 0.5);
  const long mid = static_cast<long>(upper.size() / 2);
  const double l1 = Crossing(upper, mid, 0), r1 = Crossing(upper, mid, 2 * mid - 1);
  const double l2 = Crossing(lower, mid, 0), r2 = Crossing(lower, mid, 2 * mid - 1);
  if (l1 < 0 || r1 < 0 || l2 < 0 || r2 < 0) return std::nullopt;
  const double scale = (r1 - l1) * 0.5 / kPfBarWidth;  // pixels per dot
  const double shift = (l2 - l1) * 0.5 / scale;
  if (std::abs(shift / kPfShift - 1) > 0.25 || std::abs((r2 - l2) / (r1 - l1) - 1) > 0.1) {
    return std::nullopt;
  }
  // Left of the lower bar only the upper one ends; right of the upper bar only the lower one
  // starts.
  const double uL1 = -reach + l1 * 0.5, uL2 = -reach + l2 * 0.5;
  const double uR1 = -reach + r1 * 0.5, uR2 = -reach + r2 * 0.5;
  const double inset = 0.2 * (uL2 - uL1);
  const auto aOnly = ColumnProfile(image, f, uL1 + inset, uL2 - inset, vTop - h / 4, vBottom, 0.5);
  const auto bOnly = ColumnProfile(image, f, uR1 + inset, uR2 - inset, vTop, vBottom + h / 4, 0.5);
  // From inside each bar outwards to its edge at the joint.
  const double upperEnd =
      Crossing(aOnly, static_cast<long>(h / 2 / 0.5), static_cast<long>(aOnly.size()) - 1);
  const double lowerStart = Crossing(bOnly, static_cast<long>(0.75 * h / 0.5), 0);
  if (upperEnd < 0 || lowerStart < 0) return std::nullopt;
  const double vUpperEnd = vTop - h / 4 + upperEnd * 0.5;
  const double vLowerStart = vTop + lowerStart * 0.5;
  return Joint{(vLowerStart - vUpperEnd) / scale, f.X(uL1, vTop + 0.25 * h),
               f.Y(uL1, vTop + 0.25 * h)};
}

}  // namespace

std::optional<PfReading> ReadPfSheet(const SheetImage& image, std::string& why) {
  const std::vector<Blob> blobs = FindBlobs(image, GuessScale(image));
  // Solid joints, two bars offset: wider than tall, about alike.
  std::vector<const Blob*> joints;
  for (const Blob& b : blobs) {
    if (!b.edge && b.fill > 0.5 && b.length > 1.5 * b.height && b.length < 5 * b.height) {
      joints.push_back(&b);
    }
  }
  std::vector<double> sizes;
  for (const Blob* b : joints) sizes.push_back(b->length);
  const double size = Median(sizes);
  std::erase_if(joints, [size](const Blob* b) { return std::abs(b->length / size - 1) > 0.2; });
  if (joints.size() != kPfCandidates) {
    why = kNotPf;
    return std::nullopt;
  }
  std::sort(joints.begin(), joints.end(),
            [](const Blob* a, const Blob* b) { return a->cy < b->cy; });
  // The candidates stand one under the other, and the upper bars' left ends in a line: first
  // roughly from the joints' middles (which a growing gap moves), then from those ends.
  std::vector<std::pair<double, double>> points;
  for (const Blob* b : joints) points.emplace_back(b->cx, b->cy);
  double angle = 0;
  std::array<Joint, kPfCandidates> measured{};
  for (int pass = 0; pass < 2; ++pass) {
    double mx = 0, my = 0, sxy = 0, syy = 0;
    for (const auto& [x, y] : points) {
      mx += x / kPfCandidates;
      my += y / kPfCandidates;
    }
    for (const auto& [x, y] : points) {
      sxy += (x - mx) * (y - my);
      syy += (y - my) * (y - my);
    }
    angle = std::atan2(-sxy, syy);
    if (std::abs(angle) > kMaxTilt) {
      why = kNotPf;
      return std::nullopt;
    }
    for (std::size_t k = 0; k < kPfCandidates; ++k) {
      const auto joint = MeasureJoint(image, *joints[k], angle);
      if (!joint) {
        why = "the PF sheet is too degraded to read: a candidate's joint could not be measured";
        return std::nullopt;
      }
      measured[k] = *joint;
      points[k] = {joint->leftX, joint->leftY};
    }
  }
  PfReading reading;
  double sc = 0, sg = 0, scc = 0, scg = 0;
  for (int k = 0; k < kPfCandidates; ++k) {
    const double gap = measured[static_cast<std::size_t>(k)].gap;
    reading.gaps[static_cast<std::size_t>(k)] = gap;
    const double c = k - 4;
    sc += c;
    sg += gap;
    scc += c * c;
    scg += c * gap;
  }
  // The gap grows with the candidate by the feed's step; where it is nought the feed is true.
  const double n = kPfCandidates;
  const double slope = (n * scg - sc * sg) / (n * scc - sc * sc);
  const double intercept = (sg - slope * sc) / n;
  if (std::abs(slope) < 0.5) {
    why =
        "the PF sheet is too degraded to read: the joints do not change from one candidate to "
        "the next";
    return std::nullopt;
  }
  double residual = 0;
  for (int k = 0; k < kPfCandidates; ++k) {
    const double r = reading.gaps[static_cast<std::size_t>(k)] - (slope * (k - 4) + intercept);
    residual += r * r;
  }
  const double spread = std::sqrt(residual / (n - 2)) / std::abs(slope);
  reading.value = -intercept / slope;
  reading.suggested = static_cast<int>(std::lround(reading.value));
  const double sigma = std::sqrt(spread * spread / n + 0.08 * 0.08);
  const double off = std::abs(reading.value - reading.suggested);
  reading.confidence =
      std::clamp(NormalCdf((0.5 - off) / sigma) + NormalCdf((0.5 + off) / sigma) - 1, 0.0, 1.0);
  return reading;
}

}  // namespace vantor::sheet
