// Sheets the virtual printer prints, degraded the way technicians' scans and phone photos come:
// each is read right and trusted, or refused with the right kind and words; never a trusted
// wrong value.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sheet/SheetReader.h"
#include "tests/sheet/PrintingTwin.h"
#include "tests/support/TempPath.h"

#if VANTOR_TEST_JPEG
#include <jpeglib.h>
#endif
#if VANTOR_TEST_TIFF
#include <tiffio.h>
#endif

namespace vantor::test {
namespace {

using sheet::RefusalKind;

using Matrix = std::array<double, 9>;  // row-major 3 x 3

Matrix Times(const Matrix& a, const Matrix& b) {
  Matrix m{};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) m[r * 3 + c] += a[r * 3 + k] * b[k * 3 + c];
  return m;
}

Matrix Inverse(const Matrix& m) {
  const double a = m[0], b = m[1], c = m[2], d = m[3], e = m[4], f = m[5], g = m[6], h = m[7],
               i = m[8];
  const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
  return {(e * i - f * h) / det, (c * h - b * i) / det, (b * f - c * e) / det,
          (f * g - d * i) / det, (a * i - c * g) / det, (c * d - a * f) / det,
          (d * h - e * g) / det, (b * g - a * h) / det, (a * e - b * d) / det};
}

// How a camera or scanner sees the printed page (360 dpi) at `dpi`: turned by `degrees`, the
// sheet's columns leaning by `shear` degrees, narrower at the top by `keystone` (a share), in a
// frame `margin` (share of the page) wider each side, which shows `around`.
struct View {
  double dpi = 200;
  double degrees = 0;
  double shear = 0;
  double keystone = 0;
  double margin = 0.03;
  std::function<std::uint8_t(int x, int y)> around = [](int, int) { return std::uint8_t{200}; };
};

Rgb Photograph(const Rgb& page, const View& view) {
  const double s = view.dpi / sim::kPageDpi;
  const double w = page.width * s, h = page.height * s;
  Rgb out{
      static_cast<int>(w * (1 + 2 * view.margin)), static_cast<int>(h * (1 + 2 * view.margin)), {}};
  out.px.resize(std::size_t(out.width) * out.height * 3);
  // Page pixels to image pixels, about the page's centre.
  const double a = view.degrees * M_PI / 180, t = std::tan(view.shear * M_PI / 180);
  const double g = view.keystone / (page.height);
  const Matrix centre = {1, 0, -page.width / 2.0, 0, 1, -page.height / 2.0, 0, 0, 1};
  const Matrix perspective = {1, 0, 0, 0, 1, 0, 0, -g, 1};
  const Matrix lean = {1, t, 0, 0, 1, 0, 0, 0, 1};
  const Matrix turn = {std::cos(a), -std::sin(a), 0, std::sin(a), std::cos(a), 0, 0, 0, 1};
  const Matrix place = {s, 0, out.width / 2.0, 0, s, out.height / 2.0, 0, 0, 1};
  const Matrix back = Inverse(Times(place, Times(turn, Times(lean, Times(perspective, centre)))));
  const int n = std::max(1, static_cast<int>(std::ceil(1 / s)));
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      int sum[3] = {0, 0, 0}, count = 0;
      for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
          const double ox = x + (i + 0.5) / n, oy = y + (j + 0.5) / n;
          const double z = back[6] * ox + back[7] * oy + back[8];
          const double sx = (back[0] * ox + back[1] * oy + back[2]) / z;
          const double sy = (back[3] * ox + back[4] * oy + back[5]) / z;
          if (sx < 0 || sy < 0 || sx >= page.width || sy >= page.height) continue;
          const std::uint8_t* p = page.At(static_cast<int>(sx), static_cast<int>(sy));
          for (int c = 0; c < 3; ++c) sum[c] += p[c];
          ++count;
        }
      }
      std::uint8_t* o = out.At(x, y);
      const int outside = n * n - count;
      const int bg = outside ? view.around(x, y) : 0;
      for (int c = 0; c < 3; ++c)
        o[c] = static_cast<std::uint8_t>((sum[c] + bg * outside) / (n * n));
    }
  }
  return out;
}

Rgb QuarterTurns(const Rgb& in, int quarters) {
  Rgb out = in;
  for (int q = 0; q < quarters; ++q) {
    Rgb turned{out.height, out.width, std::vector<std::uint8_t>(out.px.size())};
    for (int y = 0; y < turned.height; ++y)
      for (int x = 0; x < turned.width; ++x)
        std::copy_n(out.At(y, out.height - 1 - x), 3, turned.At(x, y));
    out = std::move(turned);
  }
  return out;
}

// Corners darker than the middle, as a phone's lens gives.
Rgb Vignette(Rgb img, double depth) {
  const double cx = img.width / 2.0, cy = img.height / 2.0;
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      const double r2 = ((x - cx) * (x - cx) + (y - cy) * (y - cy)) / (cx * cx + cy * cy);
      for (int c = 0; c < 3; ++c)
        img.At(x, y)[c] = static_cast<std::uint8_t>(img.At(x, y)[c] * (1 - depth * r2));
    }
  }
  return img;
}

Rgb Grain(Rgb img, double sigma) {
  std::mt19937 random(5);
  std::normal_distribution<double> noise(0, sigma);
  for (auto& v : img.px) v = static_cast<std::uint8_t>(std::clamp(v + noise(random), 0.0, 255.0));
  return img;
}

// A fold pressed flat across the sheet, a little off square: a dark line and a shadow below it.
Rgb Crease(Rgb img, double atShare) {
  const double y0 = img.height * atShare;
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      const double d = y - (y0 + 0.02 * x);
      const double f = std::abs(d) < 1.5 ? 0.55 : d > 0 && d < 40 ? 0.9 + 0.1 * d / 40 : 1.0;
      for (int c = 0; c < 3; ++c) img.At(x, y)[c] = static_cast<std::uint8_t>(img.At(x, y)[c] * f);
    }
  }
  return img;
}

// Seen through the paper, or by a front camera.
Rgb Mirrored(Rgb img) {
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width / 2; ++x)
      std::swap_ranges(img.At(x, y), img.At(x, y) + 3, img.At(img.width - 1 - x, y));
  return img;
}

// A hand's shadow: a band across the page, darker by `depth`, its edges soft.
Rgb Shadow(Rgb img, double depth) {
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      const double d = (x + 0.6 * y) / img.width - 0.9;
      const double f = 1 - depth * std::clamp(2 - std::abs(d) * 10, 0.0, 1.0);
      for (int c = 0; c < 3; ++c) img.At(x, y)[c] = static_cast<std::uint8_t>(img.At(x, y)[c] * f);
    }
  }
  return img;
}

// A copier's toner: each dot spread to its neighbours, on grey paper.
Rgb Photocopy(const Rgb& in) {
  Rgb out = in;
  for (int y = 1; y + 1 < in.height; ++y) {
    for (int x = 1; x + 1 < in.width; ++x) {
      for (int c = 0; c < 3; ++c) {
        int v = 255;
        for (int j = -1; j <= 1; ++j)
          for (int i = -1; i <= 1; ++i)
            v = std::min<int>(v, in.At(x + i, y + j)[c] + (i && j ? 60 : 0));
        out.At(x, y)[c] = static_cast<std::uint8_t>(v * 215 / 255);
      }
    }
  }
  return out;
}

// The share of the width from the left kept, as a crop or a scanner bed too narrow leaves it.
Rgb LeftPart(const Rgb& in, double share) {
  Rgb out{static_cast<int>(in.width * share), in.height, {}};
  for (int y = 0; y < in.height; ++y) out.px.insert(out.px.end(), in.At(0, y), in.At(out.width, y));
  return out;
}

Rgb LowerPart(const Rgb& in, double share) {
  const int top = static_cast<int>(in.height * (1 - share));
  Rgb out{in.width, in.height - top, {}};
  out.px.assign(in.px.begin() + std::ptrdiff_t(top) * in.width * 3, in.px.end());
  return out;
}

std::uint8_t Dark(int, int) {
  return 35;
}
// A wooden table: bands of brown with a grain.
std::uint8_t Table(int x, int y) {
  return static_cast<std::uint8_t>(90 + 40 * std::sin(x * 0.05 + 3 * std::sin(y * 0.01)));
}

sheet::SheetImage Scan(const Rgb& img) {
  return sheet::FromPixels(img.width, img.height, 3, img.px.data());
}

#if VANTOR_TEST_JPEG
sheet::SheetImage ThroughJpeg(const Rgb& img, const std::filesystem::path& path) {
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  jpeg_compress_struct info{};
  jpeg_error_mgr error{};
  info.err = jpeg_std_error(&error);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = static_cast<JDIMENSION>(img.width);
  info.image_height = static_cast<JDIMENSION>(img.height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, 85, TRUE);
  jpeg_start_compress(&info, TRUE);
  for (int y = 0; y < img.height; ++y) {
    JSAMPROW row = const_cast<std::uint8_t*>(img.At(0, y));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fclose(file);
  sheet::SheetImage image;
  std::string why;
  EXPECT_TRUE(sheet::LoadImage(path.string(), image, why)) << why;
  return image;
}
#endif

#if VANTOR_TEST_TIFF
// Grey, in strips, as office scanners save.
sheet::SheetImage ThroughTiff(const Rgb& img, const std::filesystem::path& path) {
  TIFF* tiff = TIFFOpen(path.string().c_str(), "w");
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<std::uint32_t>(img.width));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<std::uint32_t>(img.height));
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, 64);
  std::vector<std::uint8_t> row(static_cast<std::size_t>(img.width));
  for (int y = 0; y < img.height; ++y) {
    for (int x = 0; x < img.width; ++x) {
      const std::uint8_t* p = img.At(x, y);
      row[static_cast<std::size_t>(x)] =
          static_cast<std::uint8_t>((p[0] * 3 + p[1] * 6 + p[2]) / 10);
    }
    TIFFWriteScanline(tiff, row.data(), static_cast<std::uint32_t>(y), 0);
  }
  TIFFClose(tiff);
  sheet::SheetImage image;
  std::string why;
  EXPECT_TRUE(sheet::LoadImage(path.string(), image, why)) << why;
  return image;
}
#endif

class DegradedSheets : public PrintingTwin {
 protected:
  // The twin set as the settings text says, the head square unless it says otherwise.
  void Misalign(const std::string& text) {
    std::string why;
    ASSERT_TRUE(printer.SetMisalignment("tilt=0;" + text, why)) << why;
  }
};

// What a case must give: every row read right and trusted (kNone), or this refusal. `unsure`:
// rows may instead be read but marked unsure (a crease through them, a coarse photo).
struct Outcome {
  RefusalKind kind = RefusalKind::kNone;
  const char* words = "";
  bool unsure = false;
};

constexpr Outcome kRight{};
constexpr Outcome kRightOrUnsure{.unsure = true};
constexpr unsigned kAllRows = 0xFF, kBlackRows = 0x55;

// `held`: the rows (bit i for panel row i) whose blocks are whole on the pages; the others must
// be named as not read.
void Check(const char* name, const std::optional<sheet::BidReading>& reading,
           const sheet::Refusal& refusal, const std::array<int, 8>& want, unsigned held,
           const Outcome& outcome) {
  SCOPED_TRACE(name);
  if (reading) {
    for (std::size_t i = 0; i < 8; ++i) {
      const auto& r = reading->rows[i];
      const bool trusted = r.read && r.confidence >= sheet::kTrustedConfidence;
      // The one result that must never happen.
      if (trusted) {
        EXPECT_EQ(r.suggested, want[i]) << "row " << i << " offset " << r.offset << " steps "
                                        << r.steps[0] << " " << r.steps[1] << " " << r.steps[2];
      }
      if (outcome.kind != RefusalKind::kNone) continue;
      if (held >> i & 1) {
        EXPECT_TRUE(outcome.unsure ? r.read : trusted)
            << "row " << i << " offset " << r.offset << " confidence " << r.confidence;
      } else {
        EXPECT_FALSE(r.read) << "row " << i;
      }
    }
  }
  EXPECT_EQ(reading.has_value(), outcome.kind == RefusalKind::kNone) << refusal.words;
  if (!reading) {
    EXPECT_EQ(static_cast<int>(refusal.kind), static_cast<int>(outcome.kind)) << refusal.words;
    EXPECT_NE(refusal.words.find(outcome.words), std::string::npos) << refusal.words;
  }
}

TEST_F(DegradedSheets, BidPhotosAndScansAreReadRightOrRefused) {
  // Panel order VSD1 black, VSD1 colour, ..., ECO colour.
  const std::array<int, 8> want = {2, -1, 0, 3, -2, 1, -3, 0};
  Misalign(
      "bid=vsd1-black:+2,vsd1-color:-1,vsd2-black:0,vsd2-color:+3,vsd3-black:-2,"
      "vsd3-color:+1,eco-black:-3,eco-color:0");
  const std::vector<Rgb> pages = PrintBid();
  ASSERT_EQ(pages.size(), 2u);
  const auto photo = [&](View v) {
    return std::vector<Rgb>{Photograph(pages[0], v), Photograph(pages[1], v)};
  };
  TempPath dir("degraded-bid");
  std::filesystem::create_directories(dir.path());
  struct Case {
    const char* name;
    std::vector<Rgb> images;
    Outcome outcome;
    unsigned held = kAllRows;
  };
  const auto each = [&](const std::function<Rgb(const Rgb&)>& degrade, View v = {}) {
    return std::vector<Rgb>{degrade(Photograph(pages[0], v)), degrade(Photograph(pages[1], v))};
  };
  std::vector<Case> cases = {
      {"keystone 1%", photo({.keystone = 0.01}), kRight},
      {"keystone 3%", photo({.keystone = 0.03}), kRight},
      {"keystone 5%", photo({.keystone = 0.05}), kRight},
      {"shear 0.3 degree", photo({.shear = 0.3}), kRight},
      {"shear 1 degree", photo({.shear = 1}), kRight},
      {"lid open, turned 1.5 degrees", photo({.degrees = 1.5, .margin = 0.06, .around = Dark}),
       kRight},
      {"on a table", photo({.degrees = -1, .margin = 0.05, .around = Table}), kRight},
      {"vignette",
       {Vignette(Photograph(pages[0], {}), 0.5), Vignette(Photograph(pages[1], {}), 0.5)},
       kRight},
      {"phone photo",
       {Grain(Vignette(Photograph(pages[0], {.dpi = 250,
                                             .degrees = 0.8,
                                             .keystone = 0.025,
                                             .margin = 0.02,
                                             .around = Dark}),
                       0.35),
              6),
        Grain(Vignette(
                  Photograph(
                      pages[1],
                      {.dpi = 250, .degrees = -0.6, .shear = 0.4, .margin = 0.02, .around = Table}),
                  0.35),
              6)},
       kRight},
      {"phone photo filling the frame",
       {Grain(Vignette(Photograph(pages[0], {.dpi = 250, .degrees = 0.8, .keystone = 0.025}), 0.35),
              6),
        Grain(Vignette(Photograph(pages[1], {.dpi = 250, .degrees = -0.6, .shear = 0.4}), 0.35),
              6)},
       kRight},
      {"turned 7 degrees on the glass", photo({.dpi = 300, .degrees = 7, .margin = 0.1}), kRight},
      {"turned -10 degrees on the glass", photo({.degrees = -10, .margin = 0.1}), kRight},
      {"keystone 8%", photo({.keystone = 0.08}), kRight},
      {"keystone -8%", photo({.keystone = -0.08}), kRight},
      {"keystone 10%, lean 3 degrees", photo({.shear = 3, .keystone = 0.1}), kRight},
      {"mirrored", each(Mirrored), {RefusalKind::kMirrored, "the image is mirrored"}},
      {"photocopy", each(Photocopy, {.dpi = 300}), kRight},
      {"phone photo at 130 dpi",
       each([](const Rgb& i) { return Grain(i, 4); }, {.dpi = 130, .degrees = 1, .keystone = 0.02}),
       kRightOrUnsure},
      {"crease down the page",
       each([](const Rgb& i) { return QuarterTurns(Crease(QuarterTurns(i, 1), 0.4), 3); }),
       kRightOrUnsure},
      {"cropped through the colour blocks", each([](const Rgb& i) { return LeftPart(i, 0.7); }),
       kRight, kBlackRows},
      {"lower half of the first page",
       {LowerPart(Photograph(pages[0], {}), 0.5)},
       {RefusalKind::kPartial, "only part of the page: scan the whole sheet"}},
  };
  for (int q = 1; q < 4; ++q) {
    const auto upright = photo({});
    cases.push_back({q == 1   ? "turned 90"
                     : q == 2 ? "turned 180"
                              : "turned 270",
                     {QuarterTurns(upright[0], q), QuarterTurns(upright[1], q)},
                     kRight});
  }
  for (const Case& c : cases) {
    std::vector<sheet::SheetImage> images;
    for (const Rgb& image : c.images) images.push_back(Scan(image));
    sheet::Refusal refusal;
    const auto reading = sheet::ReadBidSheets(images, refusal);
    Check(c.name, reading, refusal, want, c.images.size() == 1 ? 0 : c.held, c.outcome);
  }
#if VANTOR_TEST_JPEG || VANTOR_TEST_TIFF
  const auto upright = photo({.dpi = 300});
#endif
#if VANTOR_TEST_JPEG
  {
    sheet::Refusal refusal;
    const auto reading = sheet::ReadBidSheets(
        {ThroughJpeg(upright[0], dir / "a.jpg"), ThroughJpeg(upright[1], dir / "b.jpg")}, refusal);
    Check("JPEG", reading, refusal, want, kAllRows, kRight);
  }
#endif
#if VANTOR_TEST_TIFF
  {
    sheet::Refusal refusal;
    const auto reading = sheet::ReadBidSheets(
        {ThroughTiff(upright[0], dir / "a.tif"), ThroughTiff(upright[1], dir / "b.tif")}, refusal);
    Check("TIFF", reading, refusal, want, kAllRows, kRight);
  }
#endif
}

// Large errors through the twin, and a tilted head, which no Bi-D value can correct.
TEST_F(DegradedSheets, LargeBidErrorsReadAsLargeAndATiltedHeadIsNamed) {
  const std::array<int, 8> want = {18, -19, 19, -18, 17, 0, -17, 5};
  Misalign(
      "bid=vsd1-black:+18,vsd1-color:-19,vsd2-black:+19,vsd2-color:-18,vsd3-black:+17,"
      "vsd3-color:0,eco-black:-17,eco-color:+5");
  const std::vector<Rgb> pages = PrintBid();
  ASSERT_EQ(pages.size(), 2u);
  sheet::Refusal refusal;
  auto reading = sheet::ReadBidSheets(
      {Scan(Photograph(pages[0], {})), Scan(Photograph(pages[1], {.keystone = 0.02}))}, refusal);
  Check("large", reading, refusal, want, kAllRows, kRight);

  Misalign("tilt=2");
  const std::vector<Rgb> tilted = PrintBid();
  ASSERT_EQ(tilted.size(), 2u);
  reading = sheet::ReadBidSheets({Scan(Photograph(tilted[0], {})), Scan(Photograph(tilted[1], {}))},
                                 refusal);
  Check("tilted head", reading, refusal, want, kAllRows,
        {RefusalKind::kHeadTilted, "the head looks tilted: adjust the head angle first"});
}

void CheckPf(const char* name, const std::optional<sheet::PfReading>& reading,
             const sheet::Refusal& refusal, int want, const Outcome& outcome) {
  SCOPED_TRACE(name);
  if (reading && reading->confidence >= sheet::kTrustedConfidence) {
    EXPECT_EQ(reading->suggested, want) << reading->value;
  }
  EXPECT_EQ(reading.has_value(), outcome.kind == RefusalKind::kNone) << refusal.words;
  if (reading && outcome.kind == RefusalKind::kNone && !outcome.unsure) {
    EXPECT_GE(reading->confidence, sheet::kTrustedConfidence) << reading->value;
  }
  if (!reading) {
    EXPECT_EQ(static_cast<int>(refusal.kind), static_cast<int>(outcome.kind)) << refusal.words;
    EXPECT_NE(refusal.words.find(outcome.words), std::string::npos) << refusal.words;
  }
}

TEST_F(DegradedSheets, PfPhotosAndScansAreReadRightOrRefused) {
  Misalign("pf=-3");
  const int want = static_cast<std::int8_t>(printer.Eeprom(eeprom::kPfValue)) - 3;
  const std::vector<Rgb> pages = PrintPf();
  ASSERT_EQ(pages.size(), 1u);
  const Rgb& page = pages[0];
  const Rgb upright = Photograph(page, {});
  TempPath dir("degraded-pf");
  std::filesystem::create_directories(dir.path());
  const struct {
    const char* name;
    Rgb image;
    Outcome outcome;
  } cases[] = {
      {"keystone 1%", Photograph(page, {.keystone = 0.01}), kRight},
      {"keystone 3%", Photograph(page, {.keystone = 0.03}), kRight},
      {"keystone 5%", Photograph(page, {.keystone = 0.05}), kRight},
      {"shear 0.3 degree", Photograph(page, {.shear = 0.3}), kRight},
      {"shear 1 degree", Photograph(page, {.shear = 1}), kRight},
      {"turned 7 degrees on the glass", Photograph(page, {.degrees = 7, .margin = 0.1}), kRight},
      {"keystone 8%", Photograph(page, {.keystone = 0.08}), kRight},
      {"keystone 10%, lean 3 degrees", Photograph(page, {.shear = 3, .keystone = 0.1}), kRight},
      {"mirrored", Mirrored(upright), {RefusalKind::kMirrored, "the image is mirrored"}},
      {"hand's shadow", Shadow(upright, 0.5), kRight},
      {"photocopy", Photocopy(Photograph(page, {.dpi = 300})), kRight},
      {"phone photo at 130 dpi", Grain(Photograph(page, {.dpi = 130, .degrees = 1}), 4),
       kRightOrUnsure},
      {"crease down the page", QuarterTurns(Crease(QuarterTurns(upright, 1), 0.4), 3), kRight},
      {"shear 4 degrees",
       Photograph(page, {.shear = 4}),
       {RefusalKind::kAngle, "photographed at an angle: hold the phone square"}},
      {"upside down", QuarterTurns(upright, 2), kRight},
      {"turned 90", QuarterTurns(upright, 1), kRight},
      {"turned 270", QuarterTurns(upright, 3), kRight},
      {"crease", Crease(upright, 0.45), kRight},
      {"on a table", Photograph(page, {.degrees = 1, .margin = 0.06, .around = Table}), kRight},
      {"lid open", Photograph(page, {.degrees = -1.5, .margin = 0.05, .around = Dark}), kRight},
      {"vignette", Vignette(upright, 0.5), kRight},
      {"75 dpi", Photograph(page, {.dpi = 75}), kRight},
      {"600 dpi", Photograph(page, {.dpi = 600, .margin = 0}), kRight},
  };
  for (const auto& c : cases) {
    sheet::Refusal refusal;
    const auto reading = sheet::ReadPfSheet(Scan(c.image), refusal);
    CheckPf(c.name, reading, refusal, want, c.outcome);
  }
#if VANTOR_TEST_JPEG
  {
    sheet::Refusal refusal;
    const auto reading = sheet::ReadPfSheet(ThroughJpeg(upright, dir / "pf.jpg"), refusal);
    CheckPf("JPEG", reading, refusal, want, kRight);
  }
#endif
#if VANTOR_TEST_TIFF
  {
    sheet::Refusal refusal;
    const auto reading = sheet::ReadPfSheet(ThroughTiff(upright, dir / "pf.tif"), refusal);
    CheckPf("TIFF", reading, refusal, want, kRight);
  }
#endif
}

// Beyond the candidates the bars never meet: the value is no interpolation but a guess.
TEST_F(DegradedSheets, PfErrorBeyondTheCandidatesIsRefused) {
  Misalign("pf=+7");
  const std::vector<Rgb> pages = PrintPf();
  ASSERT_EQ(pages.size(), 1u);
  sheet::Refusal refusal;
  const auto reading = sheet::ReadPfSheet(Scan(Photograph(pages[0], {})), refusal);
  CheckPf("+7", reading, refusal, 0, {RefusalKind::kOutOfReach, "beyond the printed candidates"});
}

}  // namespace
}  // namespace vantor::test
