#include "sheet/SheetImage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace vantor::sheet {

namespace {

// Share of a tile that is paper at least; the brightness at this rank is the paper's.
constexpr double kPaperRank = 0.85;
// Below this the "paper" is a dark surround or a solid print; levelling stops there.
constexpr float kDarkestPaper = 40.0f;

// Each exchange step drops a value that has at least three of the others above it (or below
// it), which cannot be the median: six comparisons instead of a sort.
std::uint8_t MedianOf5(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d,
                       std::uint8_t e) {
  if (a > b) std::swap(a, b);
  if (c > d) std::swap(c, d);
  if (a < c) {
    a = e;
    if (a > b) std::swap(a, b);
  } else {
    c = e;
    if (c > d) std::swap(c, d);
  }
  return a < c ? std::min(b, c) : std::min(a, d);
}

// Scanner noise and dust, taken out along the image's columns: the bars run down the sheet,
// so a short vertical window keeps their one-dot width and their place across. A median of
// five drops isolated specks, a following mean of three evens the grain.
void SmoothDown(int width, int height, std::vector<std::uint8_t>& light) {
  if (height < 5) return;
  const auto w = static_cast<std::size_t>(width);
  std::vector<std::uint8_t> median(light.size());
  for (int y = 0; y < height; ++y) {
    const std::size_t y0 = static_cast<std::size_t>(std::clamp(y - 2, 0, height - 1)) * w;
    const std::size_t y1 = static_cast<std::size_t>(std::clamp(y - 1, 0, height - 1)) * w;
    const std::size_t y2 = static_cast<std::size_t>(y) * w;
    const std::size_t y3 = static_cast<std::size_t>(std::clamp(y + 1, 0, height - 1)) * w;
    const std::size_t y4 = static_cast<std::size_t>(std::clamp(y + 2, 0, height - 1)) * w;
    for (std::size_t x = 0; x < w; ++x) {
      median[y2 + x] =
          MedianOf5(light[y0 + x], light[y1 + x], light[y2 + x], light[y3 + x], light[y4 + x]);
    }
  }
  for (int y = 0; y < height; ++y) {
    const std::size_t above = static_cast<std::size_t>(std::max(y - 1, 0)) * w;
    const std::size_t at = static_cast<std::size_t>(y) * w;
    const std::size_t below = static_cast<std::size_t>(std::min(y + 1, height - 1)) * w;
    for (std::size_t x = 0; x < w; ++x) {
      light[at + x] = static_cast<std::uint8_t>(
          (median[above + x] + 2 * median[at + x] + median[below + x] + 2) / 4);
    }
  }
}

// The grain, as the standard deviation of one pixel, from the differences between neighbours
// along the rows: the bars are few and the paper is most of the page, so the median difference
// is the paper's.
double Grain(int width, int height, const std::vector<std::uint8_t>& light) {
  std::array<long, 256> histogram{};
  long n = 0;
  for (int y = 0; y < height; y += 4) {
    const std::uint8_t* row = &light[static_cast<std::size_t>(y) * static_cast<std::size_t>(width)];
    for (int x = 0; x + 1 < width; ++x) {
      ++histogram[static_cast<std::size_t>(std::abs(row[x + 1] - row[x]))];
      ++n;
    }
  }
  long seen = 0;
  std::size_t median = 0;
  while (median < 255 && (seen += histogram[median]) * 2 < n) ++median;
  // The median of |a - b| for two normal samples is 0.954 of one's deviation.
  return static_cast<double>(median) / 0.954;
}

// Whether one-pixel lines across the image outnumber those down it by far: a pixel darker
// than both neighbours two away along one axis and not along the other.
bool LinesRunAcross(int width, int height, const std::vector<std::uint8_t>& light) {
  constexpr int kContrast = 15;
  long down = 0, across = 0;
  const auto w = static_cast<std::size_t>(width);
  // Every sixth row and every other pixel: the sheet's bars give thousands either way.
  for (int y = 2; y + 2 < height; y += 6) {
    for (int x = 2; x + 2 < width; x += 2) {
      const std::size_t i = static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x);
      const int v = light[i];
      const bool inRow = v + kContrast < std::min(light[i - 2], light[i + 2]);
      const bool inColumn = v + kContrast < std::min(light[i - 2 * w], light[i + 2 * w]);
      down += inRow && !inColumn;
      across += inColumn && !inRow;
    }
  }
  const long enough = static_cast<long>(w) * height / 12 / 2000;
  return across > enough && across > 3 * down;
}

// What lies around the sheet (an open lid, a table) is dark and reaches the image border; it
// is no ink, and its edge against the sheet is no mark either. Cells of a few pixels darker
// than the paper by far are followed in from the border and cleared, with the dark pixels of
// the cells beside them (the sheet's edge).
void ClearSurround(SheetImage& image, const std::vector<std::uint8_t>& light, float paper) {
  constexpr int kCell = 4;
  const int w = image.width, h = image.height;
  const int cw = (w + kCell - 1) / kCell, ch = (h + kCell - 1) / kCell;
  std::vector<char> dark(static_cast<std::size_t>(cw) * ch, 0), around;
  std::vector<float> mean(dark.size());
  for (int cy = 0; cy < ch; ++cy) {
    for (int cx = 0; cx < cw; ++cx) {
      long sum = 0, n = 0;
      for (int y = cy * kCell; y < std::min(h, (cy + 1) * kCell); ++y) {
        for (int x = cx * kCell; x < std::min(w, (cx + 1) * kCell); ++x, ++n)
          sum += light[static_cast<std::size_t>(y) * w + x];
      }
      const std::size_t i = static_cast<std::size_t>(cy) * cw + cx;
      mean[i] = static_cast<float>(sum) / static_cast<float>(n);
      dark[i] = mean[i] < 0.6f * paper;
    }
  }
  around = ReachFromBorder(dark, cw, ch);
  if (std::find(around.begin(), around.end(), 1) == around.end()) return;
  // The sheet's edge against a surround is sharp: the light jumps from one cell to the next. A
  // shadow on the sheet (a hand, the phone) fades in over many cells and is levelled as paper.
  std::vector<float> steps;
  for (int c = 0; c + 1 < cw * ch; ++c) {
    for (const int n : {c + 1, c + cw}) {
      if (n >= cw * ch || (n == c + 1 && n % cw == 0)) continue;
      const auto a = static_cast<std::size_t>(c), b = static_cast<std::size_t>(n);
      if (around[a] != around[b]) steps.push_back(std::abs(mean[a] - mean[b]));
    }
  }
  std::nth_element(steps.begin(), steps.begin() + static_cast<long>(steps.size() / 2), steps.end());
  if (!steps.empty() && steps[steps.size() / 2] < 0.15f * paper) return;
  for (int cy = 0; cy < ch; ++cy) {
    for (int cx = 0; cx < cw; ++cx) {
      bool near = false;
      for (int dy = -1; dy <= 1 && !near; ++dy) {
        for (int dx = -1; dx <= 1 && !near; ++dx) {
          const int nx = cx + dx, ny = cy + dy;
          near = nx >= 0 && ny >= 0 && nx < cw && ny < ch &&
                 around[static_cast<std::size_t>(ny * cw + nx)];
        }
      }
      if (!near) continue;
      const bool inside = around[static_cast<std::size_t>(cy) * cw + cx];
      for (int y = cy * kCell; y < std::min(h, (cy + 1) * kCell); ++y) {
        for (int x = cx * kCell; x < std::min(w, (cx + 1) * kCell); ++x) {
          const std::size_t i = static_cast<std::size_t>(y) * w + x;
          if (inside || light[i] < 0.8 * paper) image.dark[i] = 0;
        }
      }
    }
  }
}

// The mean of each factor x factor square; what is left over at the right and bottom goes.
std::vector<std::uint8_t> Shrunk(int width, int height, int factor,
                                 const std::vector<std::uint8_t>& light) {
  const int w = width / factor, h = height / factor;
  std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * h);
  std::vector<int> row(static_cast<std::size_t>(w));
  for (int y = 0; y < h; ++y) {
    std::fill(row.begin(), row.end(), 0);
    for (int j = 0; j < factor; ++j) {
      const std::uint8_t* in = &light[static_cast<std::size_t>(y * factor + j) * width];
      for (int x = 0; x < w; ++x) {
        for (int i = 0; i < factor; ++i) row[static_cast<std::size_t>(x)] += in[x * factor + i];
      }
    }
    for (int x = 0; x < w; ++x) {
      out[static_cast<std::size_t>(y) * w + x] =
          static_cast<std::uint8_t>(row[static_cast<std::size_t>(x)] / (factor * factor));
    }
  }
  return out;
}

}  // namespace

std::vector<char> ReachFromBorder(const std::vector<char>& cells, int cw, int ch) {
  std::vector<char> reached(cells.size(), 0);
  std::vector<int> todo;
  for (int c = 0; c < cw * ch; ++c) {
    const int x = c % cw, y = c / cw;
    if ((x == 0 || y == 0 || x == cw - 1 || y == ch - 1) && cells[static_cast<std::size_t>(c)]) {
      reached[static_cast<std::size_t>(c)] = 1;
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
      if (!reached[n] && cells[n]) {
        reached[n] = 1;
        todo.push_back(ny * cw + nx);
      }
    }
  }
  return reached;
}

float SheetImage::Sample(double x, double y) const {
  if (!(x >= 0 && y >= 0 && x <= width - 1 && y <= height - 1)) return 0.0f;
  const int x0 = std::min(static_cast<int>(x), width - 2 < 0 ? 0 : width - 2);
  const int y0 = std::min(static_cast<int>(y), height - 2 < 0 ? 0 : height - 2);
  const int x1 = std::min(x0 + 1, width - 1);
  const int y1 = std::min(y0 + 1, height - 1);
  const float fx = static_cast<float>(x - x0);
  const float fy = static_cast<float>(y - y0);
  const float top = At(x0, y0) + (At(x1, y0) - At(x0, y0)) * fx;
  const float bottom = At(x0, y1) + (At(x1, y1) - At(x0, y1)) * fx;
  return top + (bottom - top) * fy;
}

SheetImage FromPixels(int width, int height, int channels, const std::uint8_t* pixels) {
  SheetImage image;
  if (width <= 0 || height <= 0) return image;
  image.width = width;
  image.height = height;
  std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::vector<std::uint8_t> light(count);
  const int colours = channels == 4 ? 3 : channels == 2 ? 1 : channels;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = pixels + i * static_cast<std::size_t>(channels);
    std::uint8_t v = p[0];
    for (int c = 1; c < colours; ++c) v = std::min(v, p[c]);
    light[i] = v;
  }
  // A fine scan is read at a working resolution of 300 dpi or a little more, as an A4 sheet
  // fills it: the reading's time grows with the pixels, and its precision comes from the many
  // bars, not from fine pixels.
  const double dpi = std::max(width / 8.27, height / 11.69);
  const int factor = static_cast<int>(dpi / 300 + 0.25);
  if (factor > 1) {
    light = Shrunk(width, height, factor, light);
    width /= factor;
    height /= factor;
    count = light.size();
    image.width = width;
    image.height = height;
  }
  // Bars run down a sheet; fine lines across the image are a sheet turned a quarter, which is
  // turned back before the smoothing down the columns would wipe them out.
  if (LinesRunAcross(width, height, light)) {
    std::vector<std::uint8_t> turned(count);
    for (int y = 0; y < width; ++y) {
      for (int x = 0; x < height; ++x) {
        turned[static_cast<std::size_t>(y) * height + x] =
            light[static_cast<std::size_t>(height - 1 - x) * width + y];
      }
    }
    light.swap(turned);
    std::swap(width, height);
    image.width = width;
    image.height = height;
  }
  SmoothDown(width, height, light);
  const double grain = Grain(width, height, light);

  // Paper brightness per tile of about an inch of an A4 sheet's width, so that a solid print
  // never fills a tile.
  const int tile = std::max(8, width / 8);
  const int tilesX = (width + tile - 1) / tile;
  const int tilesY = (height + tile - 1) / tile;
  std::vector<float> paper(static_cast<std::size_t>(tilesX) * static_cast<std::size_t>(tilesY));
  for (int ty = 0; ty < tilesY; ++ty) {
    for (int tx = 0; tx < tilesX; ++tx) {
      std::array<int, 256> histogram{};
      int n = 0;
      for (int y = ty * tile; y < std::min(height, (ty + 1) * tile); ++y) {
        for (int x = tx * tile; x < std::min(width, (tx + 1) * tile); ++x) {
          ++histogram[light[static_cast<std::size_t>(y) * width + x]];
          ++n;
        }
      }
      const int rank = static_cast<int>(n * (1.0 - kPaperRank));
      int v = 255;
      for (int seen = 0; v > 0; --v) {
        seen += histogram[static_cast<std::size_t>(v)];
        if (seen > rank) break;
      }
      // The grain lifts the rank above the paper's middle by about one deviation.
      paper[static_cast<std::size_t>(ty) * tilesX + tx] =
          std::max(kDarkestPaper, static_cast<float>(v - 1.04 * grain));
    }
  }

  std::vector<float> levels = paper;
  std::nth_element(levels.begin(), levels.begin() + static_cast<long>(levels.size() / 2),
                   levels.end());
  image.noise = static_cast<float>(grain / levels[levels.size() / 2]);
  image.dark.resize(count);
  // Bilinear between tile centres: down the tiles once per row, then along the row.
  std::vector<float> column(static_cast<std::size_t>(tilesX));
  for (int y = 0; y < height; ++y) {
    const double gy = std::clamp((y + 0.5) / tile - 0.5, 0.0, tilesY - 1.0);
    const int ty0 = std::min(static_cast<int>(gy), std::max(0, tilesY - 2));
    const int ty1 = std::min(ty0 + 1, tilesY - 1);
    const float fy = static_cast<float>(gy - ty0);
    const float* top = &paper[static_cast<std::size_t>(ty0) * tilesX];
    const float* bottom = &paper[static_cast<std::size_t>(ty1) * tilesX];
    for (int tx = 0; tx < tilesX; ++tx) {
      column[static_cast<std::size_t>(tx)] = top[tx] + (bottom[tx] - top[tx]) * fy;
    }
    const std::uint8_t* in = &light[static_cast<std::size_t>(y) * width];
    float* out = &image.dark[static_cast<std::size_t>(y) * width];
    for (int x = 0; x < width; ++x) {
      const double gx = std::clamp((x + 0.5) / tile - 0.5, 0.0, tilesX - 1.0);
      const int tx0 = std::min(static_cast<int>(gx), std::max(0, tilesX - 2));
      const int tx1 = std::min(tx0 + 1, tilesX - 1);
      const float fx = static_cast<float>(gx - tx0);
      const float bright =
          column[static_cast<std::size_t>(tx0)] +
          (column[static_cast<std::size_t>(tx1)] - column[static_cast<std::size_t>(tx0)]) * fx;
      out[x] = std::clamp(1.0f - static_cast<float>(in[x]) / bright, 0.0f, 1.0f);
    }
  }
  ClearSurround(image, light, levels[levels.size() / 2]);
  return image;
}

}  // namespace vantor::sheet
