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

  float At(int x, int y) const { return dark.data()[static_cast<std::size_t>(y) * width + x]; }
  // Bilinear; 0 outside the image.
  float Sample(double x, double y) const;
};

// Builds the darkness map from 8-bit pixels with `channels` samples each (1 grey, 3 RGB,
// 4 RGBA). Uneven lighting is levelled against the brightest paper nearby.
SheetImage FromPixels(int width, int height, int channels, const std::uint8_t* pixels);

// Reads a PNG file of any bit depth and colour type; false with words on failure.
bool LoadPng(const std::string& path, SheetImage& image, std::string& error);

}  // namespace vantor::sheet
