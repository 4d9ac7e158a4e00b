#include "sim/PagePng.h"

#include <png.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace vantor::sim {

bool WritePng(const Page& page, std::FILE* file, std::string& error) {
  if (page.width <= 0 || page.height <= 0 ||
      page.rgb.size() != std::size_t(page.width) * page.height * 3) {
    error = "empty page";
    return false;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (!png) {
    error = "out of memory";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    error = "PNG encoding failed";
    return false;
  }
  png_init_io(png, file);
  // Sheets are mostly white; the fastest level already packs them well.
  png_set_compression_level(png, 1);
  png_set_filter(png, 0, PNG_FILTER_SUB);
  png_set_IHDR(png, info, static_cast<png_uint_32>(page.width),
               static_cast<png_uint_32>(page.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  const png_uint_32 ppm = static_cast<png_uint_32>(kPageDpi / 0.0254 + 0.5);
  png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (int y = 0; y < page.height; ++y) {
    png_write_row(png, page.Pixel(0, y));
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool WritePng(const Page& page, const std::string& path, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  bool ok = WritePng(page, file, error);
  if (std::fclose(file) != 0 && ok) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    ok = false;
  }
  if (!ok) std::remove(path.c_str());
  return ok;
}

bool PageDirectory::Prepare(std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(dir_, ec);
  if (ec || !std::filesystem::is_directory(dir_, ec)) {
    error = "cannot use " + dir_ + " for pages" + (ec ? ": " + ec.message() : "");
    return false;
  }
  return true;
}

std::string PageDirectory::PathOf(int number) const {
  char name[32];
  std::snprintf(name, sizeof name, "page-%03d.png", number);
  return (std::filesystem::path(dir_) / name).string();
}

void PageDirectory::Write(const Page& page) {
  std::string why;
  if (WritePng(page, PathOf(next_++), why)) {
    ++written_;
  } else if (error_.empty()) {
    error_ = why;
  }
}

}  // namespace vantor::sim
