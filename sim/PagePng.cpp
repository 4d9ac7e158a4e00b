#include "sim/PagePng.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace vantor::sim {

namespace {

// Runs of one colour are compared eight pixels at a time.
constexpr int kBlock = 8;
constexpr std::size_t kBlockBytes = kBlock * 3;
constexpr std::size_t kMaxPalette = 256;

std::uint32_t ColourAt(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2];
}

// Eight pixels of one colour, to compare a block with in one go.
struct Run {
  std::uint32_t colour = 0;
  std::array<std::uint8_t, kBlockBytes> block{};

  explicit Run(std::uint32_t c) { Set(c); }
  void Set(std::uint32_t c) {
    colour = c;
    for (std::size_t i = 0; i < kBlockBytes; i += 3) {
      block[i] = static_cast<std::uint8_t>(c >> 16);
      block[i + 1] = static_cast<std::uint8_t>(c >> 8);
      block[i + 2] = static_cast<std::uint8_t>(c);
    }
  }
  bool Continues(const std::uint8_t* p) const {
    return std::memcmp(p, block.data(), kBlockBytes) == 0;
  }
};

// The page's colours in the order they first appear; empty when there are more than a palette
// holds.
std::vector<std::uint32_t> ColoursOf(const Page& page) {
  std::vector<std::uint32_t> colours;
  const std::uint8_t* p = page.rgb.data();
  const std::uint8_t* const end = p + page.rgb.size();
  Run run(ColourAt(p));
  colours.push_back(run.colour);
  while (p != end) {
    if (std::size_t(end - p) >= kBlockBytes && run.Continues(p)) {
      p += kBlockBytes;
      continue;
    }
    if (const std::uint32_t c = ColourAt(p); c != run.colour) {
      run.Set(c);
      if (std::find(colours.begin(), colours.end(), run.colour) == colours.end()) {
        if (colours.size() == kMaxPalette) return {};
        colours.push_back(run.colour);
      }
    }
    p += 3;
  }
  return colours;
}

int BitsFor(std::size_t colours) {
  if (colours <= 2) return 1;
  if (colours <= 4) return 2;
  if (colours <= 16) return 4;
  return 8;
}

// One page row as palette indices packed `bits` to the byte, leftmost pixel in the high bits.
class RowPacker {
 public:
  RowPacker(const std::vector<std::uint32_t>& colours, int bits, int width)
      : colours_(colours), bits_(bits), width_(width), row_((std::size_t(width) * bits + 7) / 8) {
    for (std::size_t i = 0; i < colours.size(); ++i) {
      std::uint8_t fill = 0;
      for (int shift = 0; shift < 8; shift += bits) fill |= static_cast<std::uint8_t>(i << shift);
      fills_[i] = fill;
    }
  }

  const std::uint8_t* Pack(const std::uint8_t* p) {
    std::fill(row_.begin(), row_.end(), std::uint8_t{0});
    std::uint8_t* out = row_.data();
    const auto blockBytes = static_cast<std::size_t>(bits_);  // eight pixels fill `bits` bytes
    int x = 0;
    while (x < width_) {
      // Whole blocks of the current colour start on a byte boundary: write them as bytes.
      if (x % kBlock == 0 && width_ - x >= kBlock && run_.Continues(p)) {
        std::memset(out + x / kBlock * bits_, fills_[index_], blockBytes);
        x += kBlock;
        p += kBlockBytes;
        continue;
      }
      if (const std::uint32_t c = ColourAt(p); c != run_.colour) {
        run_.Set(c);
        index_ = static_cast<std::size_t>(std::find(colours_.begin(), colours_.end(), run_.colour) -
                                          colours_.begin());
      }
      const int bit = x * bits_;
      out[bit / 8] |= static_cast<std::uint8_t>(index_ << (8 - bits_ - bit % 8));
      ++x;
      p += 3;
    }
    return row_.data();
  }

 private:
  const std::vector<std::uint32_t>& colours_;
  int bits_;
  int width_;
  std::vector<std::uint8_t> row_;
  std::array<std::uint8_t, kMaxPalette> fills_{};
  Run run_{colours_[0]};
  std::size_t index_ = 0;
};

}  // namespace

bool WritePng(const Page& page, std::FILE* file, std::string& error) {
  if (page.width <= 0 || page.height <= 0 ||
      page.rgb.size() != std::size_t(page.width) * page.height * 3) {
    error = "empty page";
    return false;
  }
  // A sheet holds a handful of inks and their overprints: as palette indices it is a fraction
  // of the size to compress. Pages with more colours than a palette holds stay RGB.
  const std::vector<std::uint32_t> colours = ColoursOf(page);
  const int bits = colours.empty() ? 8 : BitsFor(colours.size());
  std::vector<png_color> palette;
  for (const std::uint32_t c : colours) {
    palette.push_back(
        {static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8), static_cast<png_byte>(c)});
  }
  std::optional<RowPacker> packer;
  if (!colours.empty()) packer.emplace(colours, bits, page.width);

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
  png_set_filter(png, 0, colours.empty() ? PNG_FILTER_SUB : PNG_FILTER_NONE);
  png_set_IHDR(png, info, static_cast<png_uint_32>(page.width),
               static_cast<png_uint_32>(page.height), bits,
               colours.empty() ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!colours.empty()) png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
  const png_uint_32 ppm = static_cast<png_uint_32>(kPageDpi / 0.0254 + 0.5);
  png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
  png_write_info(png, info);
  for (int y = 0; y < page.height; ++y) {
    png_write_row(png, packer ? packer->Pack(page.Pixel(0, y)) : page.Pixel(0, y));
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
