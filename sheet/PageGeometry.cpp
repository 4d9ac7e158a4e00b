#include "sheet/PageGeometry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

namespace vantor::sheet::detail {

std::nullopt_t Refuse(Refusal& refusal, RefusalKind kind, std::string words) {
  refusal = {kind, std::move(words)};
  return std::nullopt;
}

double Wrap(double d, double period) {
  return d - period * std::round(d / period);
}

double Median(std::vector<double> v) {
  if (v.empty()) return kNaN;
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

double AngleNear0(double a) {
  while (a > std::numbers::pi / 2) a -= std::numbers::pi;
  while (a <= -std::numbers::pi / 2) a += std::numbers::pi;
  return a;
}

double NormalCdf(double x) {
  return 0.5 * std::erfc(-x / std::numbers::sqrt2);
}

double RoundingConfidence(double value, double sigma) {
  const double off = std::abs(value - std::round(value));
  return std::clamp(NormalCdf((0.5 - off) / sigma) + NormalCdf((0.5 + off) / sigma) - 1, 0.0, 1.0);
}

double Frame::X(double u, double v) const {
  return cx + scale * ((u + lean * v) * std::cos(angle) - v * std::sin(angle));
}

double Frame::Y(double u, double v) const {
  return cy + scale * ((u + lean * v) * std::sin(angle) + v * std::cos(angle));
}

namespace {

// The unit steps along two axes in pixels: a frame walked without a sine per sample.
struct Axes {
  double ux, uy, vx, vy;
};

Axes AxesOf(const Frame& f) {
  const double c = f.scale * std::cos(f.angle), s = f.scale * std::sin(f.angle);
  return {c, s, -s + f.lean * c, c + f.lean * s};
}

std::vector<double> ProfileAlong(const SheetImage& image, double cx, double cy, const Axes& d,
                                 double u0, double u1, double v0, double v1, double step) {
  const int n = std::max(1, static_cast<int>((u1 - u0) / step));
  // About two pixels apart across: the bars run along v, so more rows only average noise.
  const double vStep = std::max(1.0, 2.0 / std::hypot(d.vx, d.vy));
  const int rows = std::max(1, static_cast<int>((v1 - v0) / vStep));
  const double dv = (v1 - v0) / rows;
  std::vector<double> profile(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const double u = u0 + i * step;
    const double v = v0 + 0.5 * dv;
    double x = cx + u * d.ux + v * d.vx;
    double y = cy + u * d.uy + v * d.vy;
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

}  // namespace

std::vector<double> Profile(const SheetImage& image, const Frame& f, double u0, double u1,
                            double v0, double v1, double step) {
  return ProfileAlong(image, f.cx, f.cy, AxesOf(f), u0, u1, v0, v1, step);
}

std::vector<double> ColumnProfile(const SheetImage& image, const Frame& f, double u0, double u1,
                                  double v0, double v1, double step) {
  // Along the v axis, the u axis turned back across it.
  const Axes a = AxesOf(f);
  return ProfileAlong(image, f.cx, f.cy, {a.vx, a.vy, -a.ux, -a.uy}, v0, v1, -u1, -u0, step);
}

Complex Coefficient(const std::vector<double>& p, double u0, double step, double period,
                    std::size_t from, std::size_t to) {
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

double Phase(Complex c, double period) {
  return -std::arg(c) * period / (2 * std::numbers::pi);
}

namespace {

// The image in cells about a bar's pitch wide and a sixth of a pass high.
struct Cells {
  int w = 0, h = 0;    // pixels per cell
  int cw = 0, ch = 0;  // cells across and down
  std::vector<double> mean;
  std::vector<char> flat, even;  // no marks: a flat grey, an even tone
  std::vector<char> inked;
};

// Each cell's mean darkness, and whether it is flat or even.
void MeasureCells(const SheetImage& image, Cells& cells) {
  const int cellW = cells.w, cellH = cells.h, cw = cells.cw, ch = cells.ch;
  std::vector<double>& mean = cells.mean;
  mean.assign(static_cast<std::size_t>(cw) * ch, 0.0);
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
  std::vector<char>& flat = cells.flat;
  std::vector<char>& even = cells.even;
  flat.assign(mean.size(), 0);
  even.assign(mean.size(), 0);
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
}

// Cells that stand out of the paper around them, and are not what lies around the sheet.
void FindInkedCells(const SheetImage& image, Cells& cells) {
  const int cellW = cells.w, cellH = cells.h, cw = cells.cw, ch = cells.ch;
  const std::vector<double>& mean = cells.mean;
  const std::vector<char>& flat = cells.flat;
  // Whatever lies around the sheet (lid, table, shadow) reaches the image border without a
  // break; the sheet's edge against it is a sharp line, but no mark of the sheet.
  const std::vector<char> around = ReachFromBorder(cells.even, cw, ch);
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
  std::vector<char>& inked = cells.inked;
  inked.assign(mean.size(), 0);
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
}

// A crease or a fold down the page is a line of inked cells longer than any mark of the
// sheets: where nothing inked stands beside it, it is no mark and would join those it runs
// through.
void ClearLinesDown(Cells& cells, double guessScale) {
  const int cw = cells.cw, ch = cells.ch;
  std::vector<char>& inked = cells.inked;
  const int lineCells = std::max(8, static_cast<int>(std::lround(guessScale * 400 / cells.h)));
  std::vector<int> run(inked.size(), 0);  // inked cells above, within a column either way
  for (int cy = 0; cy < ch; ++cy) {
    for (int cx = 0; cx < cw; ++cx) {
      const std::size_t i = static_cast<std::size_t>(cy) * cw + cx;
      if (!inked[i]) continue;
      int above = 0;
      for (int dx = -1; dx <= 1 && cy > 0; ++dx) {
        if (cx + dx >= 0 && cx + dx < cw) above = std::max(above, run[i - cw + dx]);
      }
      run[i] = above + 1;
    }
  }
  for (int cy = ch - 1; cy >= 0; --cy) {
    for (int cx = 0; cx < cw; ++cx) {
      const std::size_t i = static_cast<std::size_t>(cy) * cw + cx;
      if (run[i] < lineCells) continue;
      // The whole line down from its bottom end is cleared where it stands alone.
      for (int y = cy, x = cx; y >= 0; --y) {
        const std::size_t j = static_cast<std::size_t>(y) * cw + x;
        const bool beside = (x >= 2 && inked[j - 2] == 1) || (x + 2 < cw && inked[j + 2] == 1);
        if (!beside) inked[j] = 2;
        run[j] = 0;
        if (y == 0) break;
        int next = -1;
        for (int dx = -1; dx <= 1; ++dx) {
          if (x + dx < 0 || x + dx >= cw) continue;
          const std::size_t k = static_cast<std::size_t>(y - 1) * cw + x + dx;
          if (inked[k] == 1 && (next < 0 || run[k] > run[j - cw + next])) next = dx;
        }
        if (next < 0) break;
        x += next;
      }
    }
  }
  for (char& c : inked) c = c == 1;
}

// The blob the cells hold: moments of their ink.
std::optional<Blob> BlobOf(const SheetImage& image, const Cells& grid,
                           const std::vector<int>& cells) {
  const int cellW = grid.w, cellH = grid.h, cw = grid.cw, ch = grid.ch;
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
  if (sw <= 0) return std::nullopt;
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
  return b;
}

}  // namespace

std::vector<Blob> FindBlobs(const SheetImage& image, double guessScale) {
  Cells grid;
  // Wide enough to hold a bar of every row of bars, low enough to keep the rows of a sheet apart.
  grid.w = std::max(2, static_cast<int>(std::lround(guessScale * 45)));
  grid.h = std::max(2, static_cast<int>(std::lround(guessScale * 22)));
  grid.cw = (image.width + grid.w - 1) / grid.w;
  grid.ch = (image.height + grid.h - 1) / grid.h;
  MeasureCells(image, grid);
  FindInkedCells(image, grid);
  ClearLinesDown(grid, guessScale);
  const int cw = grid.cw, ch = grid.ch;
  std::vector<char>& inked = grid.inked;
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
    if (auto blob = BlobOf(image, grid, cells)) blobs.push_back(*blob);
  }
  return blobs;
}

double GuessScale(const SheetImage& image) {
  // A crop leaves one side of the sheet whole, most often.
  return std::max(image.width / kA4WidthDots, image.height / kA4LengthDots);
}

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

SheetImage Turned(const SheetImage& image, int quarters) {
  quarters = ((quarters % 4) + 4) % 4;
  if (quarters == 0) return image;
  SheetImage out;
  out.noise = image.noise;
  const int w = image.width, h = image.height;
  out.width = quarters == 2 ? w : h;
  out.height = quarters == 2 ? h : w;
  out.dark.resize(image.dark.size());
  for (int y = 0; y < out.height; ++y) {
    float* row = &out.dark[static_cast<std::size_t>(y) * out.width];
    for (int x = 0; x < out.width; ++x) {
      // The source pixel that lands at (x, y) after the turn.
      const int sx = quarters == 1 ? y : quarters == 2 ? w - 1 - x : w - 1 - y;
      const int sy = quarters == 1 ? h - 1 - x : quarters == 2 ? h - 1 - y : x;
      row[x] = image.At(sx, sy);
    }
  }
  return out;
}

}  // namespace vantor::sheet::detail
