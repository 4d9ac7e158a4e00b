// A scanned or photographed sheet as ink darkness, with the paper's own brightness taken out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantor::sheet {

// Darkness 0 (paper) to 1 (full ink) per pixel, row after row. Any ink counts, coloured or
// black: a pixel is as dark as its darkest channel.
struct SheetImage {
  int width = 0;
  int height = 0;
  std::vector<float> dark;
  // The scanner's grain left on plain paper, as a standard deviation of the darkness.
  float noise = 0;

  float At(int x, int y) const { return dark.data()[static_cast<std::size_t>(y) * width + x]; }
  // Bilinear; 0 outside the image.
  float Sample(double x, double y) const;
};

// Builds the darkness map from 8-bit pixels with `channels` samples each (1 grey, 3 RGB,
// 4 RGBA). Uneven lighting is levelled against the brightest paper nearby. Fine lines that run
// across the image instead of down it are a sheet turned a quarter: it is turned back first.
SheetImage FromPixels(int width, int height, int channels, const std::uint8_t* pixels);

// Reads a scan or photo: PNG of any bit depth and colour type, JPEG (baseline, progressive,
// grey, colour or CMYK) or TIFF (strips or tiles, any common sample layout), told apart by
// their first bytes. A sheet turned a quarter is turned back upright or upside down. False
// with words on failure.
bool LoadImage(const std::string& path, SheetImage& image, std::string& error);
// The file name patterns of the formats this build's LoadImage reads ("*.png *.jpg ...").
std::string ImagePatterns();
// The cells of a cw x ch grid that are set and joined to the grid's border through set cells:
// what lies around a sheet (lid, table) rather than on it.
std::vector<char> ReachFromBorder(const std::vector<char>& cells, int cw, int ch);

}  // namespace vantor::sheet
