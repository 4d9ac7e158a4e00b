// The reader on sheets of a virtual printer whose true mechanism is known: as printed, and
// degraded the way scanners and cameras degrade them.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <vector>

#include "sheet/SheetReader.h"
#include "tests/sheet/PrintingTwin.h"
#include "tests/support/TempPath.h"

namespace vantor::test {
namespace {

using sheet::SheetImage;

Rgb FromPage(const sim::Page& page) {
  return {page.width, page.height, page.rgb};
}

SheetImage Scan(const Rgb& img) {
  return sheet::FromPixels(img.width, img.height, 3, img.px.data());
}

// Rotates by `degrees` about the centre and rescales to `dpi`, sampling bilinearly as a scanner
// does; the paper outside the sheet is a grey scanner lid.
Rgb Transform(const Rgb& in, double degrees, double dpi, double shearX = 0) {
  const double s = dpi / sim::kPageDpi;
  Rgb out{static_cast<int>(in.width * s), static_cast<int>(in.height * s), {}};
  out.px.assign(std::size_t(out.width) * out.height * 3, 200);
  const double a = degrees * M_PI / 180;
  const double cx = out.width / 2.0, cy = out.height / 2.0;
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
      double sx = (std::cos(a) * dx + std::sin(a) * dy) / s + in.width / 2.0 + shearX * dy / s;
      double sy = (-std::sin(a) * dx + std::cos(a) * dy) / s + in.height / 2.0;
      // Average the source over the output pixel's footprint.
      const int n = std::max(1, static_cast<int>(std::ceil(1 / s)));
      int sum[3] = {0, 0, 0}, count = 0;
      for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
          const int px = static_cast<int>(sx - 0.5 / s + (i + 0.5) / (n * s));
          const int py = static_cast<int>(sy - 0.5 / s + (j + 0.5) / (n * s));
          if (px < 0 || py < 0 || px >= in.width || py >= in.height) continue;
          const std::uint8_t* p = &in.px[(std::size_t(py) * in.width + px) * 3];
          for (int c = 0; c < 3; ++c) sum[c] += p[c];
          ++count;
        }
      }
      if (count == 0) continue;
      for (int c = 0; c < 3; ++c) out.At(x, y)[c] = static_cast<std::uint8_t>(sum[c] / count);
    }
  }
  return out;
}

// A box blur over (2r+1) pixels square, as an out-of-focus camera or a soft scanner gives.
Rgb Blur(const Rgb& in, int r) {
  Rgb out = in;
  for (int y = r; y < in.height - r; ++y) {
    for (int x = r; x < in.width - r; ++x) {
      for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int j = -r; j <= r; ++j) {
          for (int i = -r; i <= r; ++i)
            sum += in.px[(std::size_t(y + j) * in.width + x + i) * 3 + c];
        }
        out.At(x, y)[c] = static_cast<std::uint8_t>(sum / ((2 * r + 1) * (2 * r + 1)));
      }
    }
  }
  return out;
}

// Sensor noise and a lamp that lights one side of the sheet less than the other.
Rgb NoiseAndShade(Rgb img, double sigma, double shade) {
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0, sigma);
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      const double light = 1 - shade * x / img.width;
      for (int c = 0; c < 3; ++c) {
        std::uint8_t& v = img.At(x, y)[c];
        v = static_cast<std::uint8_t>(std::clamp(v * light + noise(random), 0.0, 255.0));
      }
    }
  }
  return img;
}

// Dust and dead sensor pixels: a share of the pixels turned fully black or white.
Rgb SaltAndPepper(Rgb img, double share) {
  std::mt19937 random(11);
  std::uniform_real_distribution<double> pick(0, 1);
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      const double r = pick(random);
      if (r < share) std::fill_n(img.At(x, y), 3, r < share / 2 ? 0 : 255);
    }
  }
  return img;
}

Rgb Crop(const Rgb& in, int left, int top, int right, int bottom) {
  Rgb out{in.width - left - right, in.height - top - bottom, {}};
  for (int y = 0; y < out.height; ++y) {
    const auto* row = &in.px[(std::size_t(y + top) * in.width + left) * 3];
    out.px.insert(out.px.end(), row, row + out.width * 3);
  }
  return out;
}

// Centres of the colour blocks down a page as printed (page rows): runs of inked rows right of
// the black blocks that are taller than the value labels.
std::vector<int> ColourBlockRows(const sim::Page& page) {
  std::vector<int> centres;
  int first = -1;
  for (int y = 0; y <= page.height; ++y) {
    bool ink = false;
    for (int x = 48 + 1520; y < page.height && x < 48 + 2880 && !ink; ++x) {
      ink = page.Pixel(x, y)[0] < 200 || page.Pixel(x, y)[1] < 200;
    }
    if (ink && first < 0) first = y;
    if (!ink && first >= 0) {
      if (y - first >= 80) centres.push_back((first + y) / 2);
      first = -1;
    }
  }
  return centres;
}

// An ink smudge: a dark disc over (x, y).
Rgb Smudge(Rgb img, int x0, int y0, int radius) {
  for (int y = std::max(0, y0 - radius); y < std::min(img.height, y0 + radius); ++y) {
    for (int x = std::max(0, x0 - radius); x < std::min(img.width, x0 + radius); ++x) {
      if ((x - x0) * (x - x0) + (y - y0) * (y - y0) > radius * radius) continue;
      for (int c = 0; c < 3; ++c) img.At(x, y)[c] = 60;
    }
  }
  return img;
}

class SheetReading : public PrintingTwin {
 protected:
  std::int8_t Stored(std::uint8_t address) {
    return static_cast<std::int8_t>(printer.Eeprom(address));
  }

  // True values off the stored ones by these steps, in EEPROM order 0x70..0x77.
  void Offsets(const std::array<int, 8>& bid, int pf = 0) {
    sim::TrueMechanism m;
    for (std::size_t i = 0; i < 8; ++i) {
      m.bid[i] = static_cast<std::int8_t>(Stored(static_cast<std::uint8_t>(0x70 + i)) + bid[i]);
    }
    m.pf = Stored(eeprom::kPfValue) + pf;
    m.squareLever = printer.HeadAngleLever();
    printer.SetMechanism(m);
  }
};

// Panel order VSD1 black, VSD1 colour, ... from EEPROM order ECO black, ECO colour, VSD1 ...
std::array<int, 8> PanelOrder(const std::array<int, 8>& eeprom) {
  return {eeprom[2], eeprom[3], eeprom[4], eeprom[5], eeprom[6], eeprom[7], eeprom[0], eeprom[1]};
}

TEST_F(SheetReading, BidSheetsAsPrinted) {
  const std::array<int, 8> off = {3, -2, 0, 1, -3, 2, -1, 4};
  Offsets(off);
  const auto pages = PrintBid();
  ASSERT_EQ(pages.size(), 2u);
  std::string why;
  const auto reading = sheet::ReadBidSheets({Scan(pages[0]), Scan(pages[1])}, why);
  ASSERT_TRUE(reading) << why;
  const auto want = PanelOrder(off);
  for (std::size_t i = 0; i < 8; ++i) {
    const auto& r = reading->rows[i];
    EXPECT_TRUE(r.read) << i;
    EXPECT_EQ(r.suggested, want[i]) << i << " offset " << r.offset << " steps " << r.steps[0] << " "
                                    << r.steps[1] << " " << r.steps[2];
    EXPECT_GE(r.confidence, sheet::kTrustedConfidence) << i;
  }
}

// The scanner lid shows in the corners; its edge runs close by the black blocks.
TEST_F(SheetReading, BidSheetsRotatedAndRescaled) {
  const std::array<int, 8> off = {1, 0, -1, 2, 0, -2, 3, 1};
  Offsets(off);
  const auto pages = PrintBid();
  ASSERT_EQ(pages.size(), 2u);
  const auto want = PanelOrder(off);
  for (const auto& [degrees, dpi] : std::vector<std::pair<double, double>>{{2.5, 300}, {-3, 150}}) {
    std::string why;
    // Given in the wrong order, as a file listing may.
    const auto reading = sheet::ReadBidSheets(
        {Scan(Transform(pages[1], degrees, dpi)), Scan(Transform(pages[0], degrees, dpi))}, why);
    ASSERT_TRUE(reading) << degrees << " " << dpi << ": " << why;
    int trusted = 0;
    for (std::size_t i = 0; i < 8; ++i) {
      const auto& r = reading->rows[i];
      if (r.confidence < sheet::kTrustedConfidence) continue;  // honest, not wrong
      ++trusted;
      EXPECT_EQ(r.suggested, want[i])
          << degrees << " " << dpi << " row " << i << " offset " << r.offset;
    }
    EXPECT_GE(trusted, 6) << degrees << " " << dpi;
  }
}

// The first sheet alone at 300 dpi, degraded one way at a time: every row read
// with trust is right, and only the smudged row may lose its trust.
TEST_F(SheetReading, DegradedFirstSheetGivesTheSameValuesOrSaysItIsUnsure) {
  const std::array<int, 8> off = {0, 0, 2, -1, -2, 3, 0, 0};
  Offsets(off);
  const auto pages = PrintBid();
  ASSERT_EQ(pages.size(), 2u);
  const auto want = PanelOrder(off);
  const Rgb page = Transform(pages[0], 0, 300);
  const std::vector<int> colourRows = ColourBlockRows(sheets[0]);
  ASSERT_EQ(colourRows.size(), 6u);
  const double px = 300.0 / sim::kPageDpi;  // pixels per dot
  struct Case {
    const char* name;
    Rgb image;
    int mayFail;  // the row whose trust may go
  };
  const std::vector<Case> cases = {
      {"blur", Blur(page, 1), -1},
      {"shade", NoiseAndShade(page, 0, 0.3), -1},
      {"uneven crop",
       Crop(page, static_cast<int>(20 * px), static_cast<int>(150 * px), static_cast<int>(40 * px),
            static_cast<int>(600 * px)),
       -1},
      // Over the middle candidate of VSD1 colour, the first dot type's colour row.
      {"smudge",
       Smudge(page, static_cast<int>((48 + 1520 + 680) * px), static_cast<int>(colourRows[1] * px),
              static_cast<int>(90 * px)),
       1},
  };
  for (const Case& c : cases) {
    std::string why;
    const auto reading = sheet::ReadBidSheets({Scan(c.image)}, why);
    ASSERT_TRUE(reading) << c.name << ": " << why;
    for (std::size_t i = 0; i < 4; ++i) {
      const auto& r = reading->rows[i];
      ASSERT_TRUE(r.read) << c.name << " row " << i;
      if (static_cast<int>(i) != c.mayFail) {
        EXPECT_GE(r.confidence, sheet::kTrustedConfidence) << c.name << " row " << i;
      }
      if (r.confidence >= sheet::kTrustedConfidence) {
        EXPECT_EQ(r.suggested, want[i]) << c.name << " row " << i << " offset " << r.offset;
      }
    }
    for (std::size_t i = 4; i < 8; ++i) EXPECT_FALSE(reading->rows[i].read) << c.name;
  }
}

// Scanner noise at both resolutions: the values stay right and trusted, except that heavy
// grain on a coarse unrotated scan moves the one-dot bars by parts of a pixel, and then the
// reader says it is unsure rather than guess.
TEST_F(SheetReading, NoisyScansAreReadOrHonestlyUnsure) {
  const std::array<int, 8> off = {2, -1, 1, 0, -2, 3, -3, 1};
  Offsets(off);
  const auto pages = PrintBid();
  ASSERT_EQ(pages.size(), 2u);
  const auto want = PanelOrder(off);
  for (const double dpi : {300.0, 150.0}) {
    const Rgb first = Transform(pages[0], 0, dpi), second = Transform(pages[1], 0, dpi);
    struct Case {
      const char* name;
      Rgb a, b;
      bool trusted;  // every row must be trusted
    };
    const std::vector<Case> cases = {
        {"clean", first, second, true},
        {"gaussian 12", NoiseAndShade(first, 12, 0), NoiseAndShade(second, 12, 0), true},
        {"gaussian 20", NoiseAndShade(first, 20, 0.2), NoiseAndShade(second, 20, 0.2), dpi > 200},
        {"salt and pepper", SaltAndPepper(first, 0.02), SaltAndPepper(second, 0.02), true},
    };
    for (const Case& c : cases) {
      std::string why;
      const auto reading = sheet::ReadBidSheets({Scan(c.a), Scan(c.b)}, why);
      EXPECT_TRUE(reading) << dpi << " " << c.name << ": " << why;
      if (!reading) continue;
      for (std::size_t i = 0; i < 8; ++i) {
        const auto& r = reading->rows[i];
        EXPECT_TRUE(r.read) << dpi << " " << c.name << " row " << i;
        if (c.trusted) {
          EXPECT_GE(r.confidence, sheet::kTrustedConfidence)
              << dpi << " " << c.name << " row " << i << " offset " << r.offset;
        }
        if (r.confidence >= sheet::kTrustedConfidence) {
          EXPECT_EQ(r.suggested, want[i]) << dpi << " " << c.name << " row " << i << " offset "
                                          << r.offset << " confidence " << r.confidence;
        }
      }
    }
  }
}

TEST_F(SheetReading, PagesThatAreNoBidSheetAreRefused) {
  std::string why;
  Rgb blank{1240, 1754, std::vector<std::uint8_t>(1240u * 1754u * 3u, 250)};
  EXPECT_FALSE(sheet::ReadBidSheets({Scan(blank)}, why));
  EXPECT_NE(why.find("not a Bi-D adjustment sheet"), std::string::npos) << why;
  // Noise alone never adds up to bars.
  for (const Rgb& noisy : {NoiseAndShade(blank, 20, 0.2), SaltAndPepper(blank, 0.03)}) {
    why.clear();
    EXPECT_FALSE(sheet::ReadBidSheets({Scan(noisy)}, why));
    EXPECT_NE(why.find("not a Bi-D adjustment sheet"), std::string::npos) << why;
  }

  // Squares of a chessboard, and a sheet of the A4 check pattern, which holds Bi-D bars too.
  Rgb board = blank;
  for (int y = 0; y < board.height; ++y) {
    for (int x = 0; x < board.width; ++x) {
      if ((x / 60 + y / 60) % 2) std::fill_n(board.At(x, y), 3, std::uint8_t{20});
    }
  }
  why.clear();
  EXPECT_FALSE(sheet::ReadBidSheets({Scan(board)}, why));
  EXPECT_FALSE(why.empty());

  CheckReadouts readouts;
  ASSERT_EQ(access.ReadCheckReadouts(readouts), kOk);
  ASSERT_EQ(raster.PrintCheckPattern(readouts, access), kOk);
  ASSERT_FALSE(sheets.empty());
  // The check pattern holds one PF joint too, of the stored value alone.
  for (const sim::Page& p : sheets) {
    const SheetImage page = Scan(Transform(FromPage(p), 0, 150));
    why.clear();
    EXPECT_FALSE(sheet::ReadBidSheets({page}, why));
    EXPECT_FALSE(why.empty());
    why.clear();
    EXPECT_FALSE(sheet::ReadPfSheet(page, why));
    EXPECT_NE(why.find("not a PF adjustment sheet"), std::string::npos) << why;
  }
  for (const Rgb& other : {blank, board}) {
    why.clear();
    EXPECT_FALSE(sheet::ReadPfSheet(Scan(other), why));
    EXPECT_NE(why.find("not a PF adjustment sheet"), std::string::npos) << why;
  }
}

// ---------------------------------------------------------------------------------------------
// The same sheets in every form a PNG file takes: scanners and image tools save grey, grey with
// alpha, 16 bits, or a palette, as often as colour.

enum class PngKind { Grey8, Grey16, Grey16Linear, GreyAlpha, Rgb, Rgba, Palette };

const char* NameOf(PngKind kind) {
  switch (kind) {
    case PngKind::Grey8:
      return "grey 8-bit";
    case PngKind::Grey16:
      return "grey 16-bit";
    case PngKind::Grey16Linear:
      return "grey 16-bit linear";
    case PngKind::GreyAlpha:
      return "grey+alpha";
    case PngKind::Rgb:
      return "RGB";
    case PngKind::Rgba:
      return "RGBA";
    case PngKind::Palette:
      return "palette";
  }
  return "";
}

// libpng's own grey conversion, as an image tool that saves a colour scan as grey uses.
std::vector<std::uint8_t> GreyOf(const Rgb& img, png_uint_32 format = PNG_FORMAT_GRAY) {
  png_image rgb{};
  rgb.version = PNG_IMAGE_VERSION;
  rgb.width = static_cast<png_uint_32>(img.width);
  rgb.height = static_cast<png_uint_32>(img.height);
  rgb.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  EXPECT_TRUE(png_image_write_to_memory(&rgb, nullptr, &size, 0, img.px.data(), 0, nullptr));
  std::vector<std::uint8_t> file(size);
  EXPECT_TRUE(png_image_write_to_memory(&rgb, file.data(), &size, 0, img.px.data(), 0, nullptr))
      << rgb.message;
  png_image grey{};
  grey.version = PNG_IMAGE_VERSION;
  EXPECT_TRUE(png_image_begin_read_from_memory(&grey, file.data(), size)) << grey.message;
  grey.format = format;
  std::vector<std::uint8_t> out(PNG_IMAGE_SIZE(grey));
  EXPECT_TRUE(png_image_finish_read(&grey, nullptr, out.data(), 0, nullptr)) << grey.message;
  return out;
}

// 16-bit grey as most scanners write it: the 8-bit codes widened, and no gamma chunk.
bool WriteGrey16(const std::vector<std::uint8_t>& grey, int width, int height,
                 const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 2);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    return false;
  }
  png_init_io(png, file);
  png_set_compression_level(png, 1);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 16,
               PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint8_t v = grey[static_cast<std::size_t>(y) * width + x];
      row[2 * static_cast<std::size_t>(x)] = v;  // big-endian, v * 257
      row[2 * static_cast<std::size_t>(x) + 1] = v;
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fclose(file) == 0;
}

// Writes the image as a PNG of the kind and reads it back as the programs do. With alpha, a
// margin is left transparent (and black underneath), as an image tool's canvas may be.
SheetImage AsPng(const Rgb& img, PngKind kind, const std::filesystem::path& path) {
  const int w = img.width, h = img.height;
  const std::size_t n = static_cast<std::size_t>(w) * h;
  const int margin = w / 50;
  const auto transparent = [&](std::size_t i) {
    const int x = static_cast<int>(i % w), y = static_cast<int>(i / w);
    return x < margin || y < margin || x >= w - margin || y >= h - margin;
  };
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(w);
  png.height = static_cast<png_uint_32>(h);
  std::vector<std::uint8_t> data, colourMap;
  switch (kind) {
    case PngKind::Grey8:
      png.format = PNG_FORMAT_GRAY;
      data = GreyOf(img);
      break;
    case PngKind::Grey16:
      EXPECT_TRUE(WriteGrey16(GreyOf(img), w, h, path.string()));
      break;
    case PngKind::Grey16Linear:
      png.format = PNG_FORMAT_LINEAR_Y;
      data = GreyOf(img, PNG_FORMAT_LINEAR_Y);
      break;
    case PngKind::GreyAlpha: {
      png.format = PNG_FORMAT_GA;
      const auto grey = GreyOf(img);
      data.resize(2 * n);
      for (std::size_t i = 0; i < n; ++i) {
        data[2 * i] = transparent(i) ? 0 : grey[i];
        data[2 * i + 1] = transparent(i) ? 0 : 255;
      }
      break;
    }
    case PngKind::Rgb:
      png.format = PNG_FORMAT_RGB;
      data = img.px;
      break;
    case PngKind::Rgba:
      png.format = PNG_FORMAT_RGBA;
      data.resize(4 * n);
      for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t c = 0; c < 3; ++c)
          data[4 * i + c] = transparent(i) ? 0 : img.px[3 * i + c];
        data[4 * i + 3] = transparent(i) ? 0 : 255;
      }
      break;
    case PngKind::Palette: {
      // A rescaled scan holds more colours than a palette: each channel to six or seven levels.
      png.format = PNG_FORMAT_RGB_COLORMAP;
      constexpr int kLevels[3] = {6, 7, 6};
      for (int r = 0; r < kLevels[0]; ++r) {
        for (int g = 0; g < kLevels[1]; ++g) {
          for (int b = 0; b < kLevels[2]; ++b) {
            for (const int v : {r * 255 / (kLevels[0] - 1), g * 255 / (kLevels[1] - 1),
                                b * 255 / (kLevels[2] - 1)})
              colourMap.push_back(static_cast<std::uint8_t>(v));
          }
        }
      }
      png.colormap_entries = static_cast<png_uint_32>(colourMap.size() / 3);
      data.resize(n);
      for (std::size_t i = 0; i < n; ++i) {
        int index = 0;
        for (std::size_t c = 0; c < 3; ++c) {
          const int levels = kLevels[c];
          index = index * levels + (img.px[3 * i + c] * (levels - 1) + 127) / 255;
        }
        data[i] = static_cast<std::uint8_t>(index);
      }
      break;
    }
  }
  if (kind != PngKind::Grey16) {
    EXPECT_TRUE(png_image_write_to_file(&png, path.string().c_str(), 0, data.data(), 0,
                                        colourMap.empty() ? nullptr : colourMap.data()))
        << NameOf(kind) << ": " << png.message;
  }
  SheetImage image;
  std::string why;
  EXPECT_TRUE(sheet::LoadImage(path.string(), image, why)) << NameOf(kind) << ": " << why;
  if (kind == PngKind::GreyAlpha || kind == PngKind::Rgba) {
    EXPECT_LT(image.At(margin / 2, h / 2), 0.05) << NameOf(kind) << ": transparent is paper";
  }
  return image;
}

constexpr PngKind kAllKinds[] = {PngKind::Rgb,          PngKind::Grey8,     PngKind::Grey16,
                                 PngKind::Grey16Linear, PngKind::GreyAlpha, PngKind::Rgba,
                                 PngKind::Palette};

TEST_F(SheetReading, BidSheetsReadAlikeInEveryPngForm) {
  const std::array<int, 8> off = {2, -1, 0, 3, -2, 1, -3, 0};
  Offsets(off);
  const auto pages = PrintBid();
  ASSERT_EQ(pages.size(), 2u);
  const auto want = PanelOrder(off);
  TempPath dir("grey");
  std::filesystem::create_directories(dir.path());
  for (const double dpi : {300.0, 150.0}) {
    const Rgb first = Transform(pages[0], 0, dpi), second = Transform(pages[1], 0, dpi);
    std::optional<sheet::BidReading> colour;
    for (const PngKind kind : kAllKinds) {
      SCOPED_TRACE(std::string(NameOf(kind)) + " at " + std::to_string(static_cast<int>(dpi)));
      std::string why;
      const auto reading = sheet::ReadBidSheets(
          {AsPng(first, kind, dir / "a.png"), AsPng(second, kind, dir / "b.png")}, why);
      ASSERT_TRUE(reading) << why;
      if (kind == PngKind::Rgb) colour = reading;
      for (std::size_t i = 0; i < 8; ++i) {
        const auto& r = reading->rows[i];
        EXPECT_TRUE(r.read) << "row " << i;
        EXPECT_EQ(r.suggested, colour->rows[i].suggested) << "row " << i << " offset " << r.offset;
        EXPECT_EQ(r.suggested, want[i]) << "row " << i;
        EXPECT_GE(r.confidence, sheet::kTrustedConfidence) << "row " << i;
        EXPECT_NEAR(r.offset, colour->rows[i].offset, 0.25) << "row " << i;
      }
    }
  }
}

TEST_F(SheetReading, PfSheetReadsAlikeInEveryPngForm) {
  Offsets({0, 0, 0, 0, 0, 0, 0, 0}, 2);
  const auto setPf = [&](std::int8_t value) -> Result {
    VANTOR_TRY(link.factory.SetPfValue(static_cast<std::uint8_t>(value)));
    return link.factory.FinishAdjustWrite();
  };
  const int truth = Stored(eeprom::kPfValue) + 2;
  sheets.clear();
  ASSERT_EQ(raster.PrintPfCandidates(setPf), kOk);
  ASSERT_EQ(raster.FormFeed(), kOk);
  ASSERT_EQ(sheets.size(), 1u);
  TempPath dir("grey-pf");
  std::filesystem::create_directories(dir.path());
  for (const double dpi : {300.0, 150.0}) {
    const Rgb page = Transform(FromPage(sheets[0]), 0, dpi);
    std::optional<sheet::PfReading> colour;
    for (const PngKind kind : kAllKinds) {
      SCOPED_TRACE(std::string(NameOf(kind)) + " at " + std::to_string(static_cast<int>(dpi)));
      std::string why;
      const auto reading = sheet::ReadPfSheet(AsPng(page, kind, dir / "pf.png"), why);
      ASSERT_TRUE(reading) << why;
      if (kind == PngKind::Rgb) colour = reading;
      EXPECT_EQ(reading->suggested, truth) << reading->value;
      EXPECT_GE(reading->confidence, sheet::kTrustedConfidence);
      // The rows' own slope is measured from the bars' edges, which a coarse palette moves by
      // a part of a pixel: the gaps all shift alike, the value far less.
      EXPECT_NEAR(reading->value, colour->value, 0.15);
      for (std::size_t k = 0; k < 9; ++k)
        EXPECT_NEAR(reading->gaps[k], colour->gaps[k], 1.0) << "candidate " << k;
    }
  }
}

// The PF page as a camera or a worn scanner gives it: grain, dust, blur, a skew and a crop. The
// line through the nine joints keeps the value right and trusted at both resolutions.
TEST_F(SheetReading, DegradedPfScansStayRightAndTrusted) {
  Offsets({0, 0, 0, 0, 0, 0, 0, 0}, -3);
  const auto setPf = [&](std::int8_t value) -> Result {
    VANTOR_TRY(link.factory.SetPfValue(static_cast<std::uint8_t>(value)));
    return link.factory.FinishAdjustWrite();
  };
  const int truth = Stored(eeprom::kPfValue) - 3;
  sheets.clear();
  ASSERT_EQ(raster.PrintPfCandidates(setPf), kOk);
  ASSERT_EQ(raster.FormFeed(), kOk);
  ASSERT_EQ(sheets.size(), 1u);
  for (const double dpi : {300.0, 150.0}) {
    const Rgb page = Transform(FromPage(sheets[0]), 0, dpi);
    const double px = dpi / sim::kPageDpi;
    const std::vector<std::pair<const char*, Rgb>> cases = {
        {"gaussian 12", NoiseAndShade(page, 12, 0)},
        {"gaussian 20 and shade", NoiseAndShade(page, 20, 0.2)},
        {"salt and pepper", SaltAndPepper(page, 0.02)},
        {"blur", Blur(page, 1)},
        {"skewed half a degree", Transform(FromPage(sheets[0]), 0.5, dpi)},
        {"uneven crop", Crop(page, static_cast<int>(20 * px), static_cast<int>(150 * px),
                             static_cast<int>(40 * px), static_cast<int>(300 * px))},
    };
    for (const auto& [name, image] : cases) {
      SCOPED_TRACE(std::string(name) + " at " + std::to_string(static_cast<int>(dpi)));
      std::string why;
      const auto reading = sheet::ReadPfSheet(Scan(image), why);
      ASSERT_TRUE(reading) << why;
      EXPECT_EQ(reading->suggested, truth) << reading->value;
      EXPECT_GE(reading->confidence, sheet::kTrustedConfidence) << reading->value;
    }
  }
}

std::uint32_t Crc(const std::string& bytes) {
  std::uint32_t crc = 0xffffffffu;
  for (const char ch : bytes) {
    crc ^= static_cast<std::uint8_t>(ch);
    for (int k = 0; k < 8; ++k) crc = crc & 1 ? 0xedb88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

std::string BigEndian(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

// A PNG signature, a well-formed header chunk claiming the size, and the start of pixel data
// that ends at once.
std::string PngHeader(std::uint32_t width, std::uint32_t height) {
  const std::string ihdr = "IHDR" + BigEndian(width) + BigEndian(height) +
                           std::string{8, 2, 0, 0, 0};  // 8-bit RGB, no interlace
  const std::string idat = std::string("IDAT\x78\x9c", 6);
  return std::string("\x89PNG\r\n\x1a\n", 8) + BigEndian(13) + ihdr + BigEndian(Crc(ihdr)) +
         BigEndian(2) + idat + BigEndian(Crc(idat)) + BigEndian(0) + "IEND" +
         BigEndian(Crc("IEND"));
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
  std::fclose(file);
}

// Files that are no usable image are refused with words, and a header's claimed size is
// checked before any pixel memory is taken.
TEST(SheetPng, BrokenAndOversizedFilesAreRefusedWithWords) {
  TempPath dir("broken");
  std::filesystem::create_directories(dir.path());
  Rgb page{400, 300, std::vector<std::uint8_t>(400u * 300u * 3u, 250)};
  for (int x = 100; x < 300; x += 10) {
    for (int y = 50; y < 250; ++y) std::fill_n(page.At(x, y), 3, std::uint8_t{30});
  }
  AsPng(page, PngKind::Rgb, dir / "good.png");
  const std::string good = FileContents(dir / "good.png");
  ASSERT_GT(good.size(), 100u);
  std::string badCrc = good;
  badCrc[20] = static_cast<char>(badCrc[20] ^ 0x40);  // inside the header chunk
  std::string badData = good;
  for (std::size_t i = good.size() / 2; i < good.size() / 2 + 16; ++i) badData[i] = '\x5a';
  const std::uint32_t kSide = 100000;
  const struct {
    const char* name;
    std::string bytes;
    const char* words;
  } cases[] = {
      {"empty", "", "not a readable PNG image"},
      {"text", "page-001.png\n", "not a readable PNG image"},
      {"header chunk damaged", badCrc, "not a readable PNG image"},
      {"signature only", good.substr(0, 8), "not a readable PNG image"},
      {"cut in the header", good.substr(0, 20), "not a readable PNG image"},
      {"cut in the pixels", good.substr(0, good.size() / 2), "the PNG image is damaged"},
      {"pixels damaged", badData, "the PNG image is damaged"},
      {"zero width", PngHeader(0, 300), "not a readable PNG image"},
      {"enormous", PngHeader(kSide, kSide), "too large"},
      {"enormous in one side", PngHeader(kSide, 10), "too large"},
      {"just over the pixels", PngHeader(13500, 13500), "too large"},
  };
  for (const auto& c : cases) {
    const auto path = dir / "broken.png";
    WriteFile(path, c.bytes);
    SheetImage image;
    std::string why;
    EXPECT_FALSE(sheet::LoadImage(path.string(), image, why)) << c.name;
    EXPECT_NE(why.find(c.words), std::string::npos) << c.name << ": " << why;
    EXPECT_EQ(why.rfind(path.string(), 0), 0u) << c.name << ": " << why;
  }
  // A large scan within the bound gets as far as its pixels: 1200 dpi of a legal sheet.
  WriteFile(dir / "tall.png", PngHeader(10200, 16800));
  SheetImage image;
  std::string why;
  EXPECT_FALSE(sheet::LoadImage((dir / "tall.png").string(), image, why));
  EXPECT_NE(why.find("damaged"), std::string::npos) << why;
}

}  // namespace
}  // namespace vantor::test
