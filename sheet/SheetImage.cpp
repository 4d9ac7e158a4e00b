#include "sheet/SheetImage.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <memory>

namespace vantor::sheet {

namespace {

// Share of a tile that is paper at least; the brightness at this rank is the paper's.
constexpr double kPaperRank = 0.85;
// Below this the "paper" is a dark surround or a solid print; levelling stops there.
constexpr float kDarkestPaper = 40.0f;

}  // namespace

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
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  std::vector<std::uint8_t> light(count);
  const int colours = channels == 4 ? 3 : channels == 2 ? 1 : channels;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = pixels + i * static_cast<std::size_t>(channels);
    std::uint8_t v = p[0];
    for (int c = 1; c < colours; ++c) v = std::min(v, p[c]);
    light[i] = v;
  }

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
      paper[static_cast<std::size_t>(ty) * tilesX + tx] =
          std::max(kDarkestPaper, static_cast<float>(v));
    }
  }

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
  return image;
}

bool LoadPng(const std::string& path, SheetImage& image, std::string& error) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    error = path + ": not a readable PNG image (" + png.message + ")";
    return false;
  }
  png.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr)) {
    error = path + ": the PNG image is damaged (" + png.message + ")";
    png_image_free(&png);
    return false;
  }
  image = FromPixels(static_cast<int>(png.width), static_cast<int>(png.height), 3, rgb.data());
  return true;
}

}  // namespace vantor::sheet
