// The reader on sheets of a virtual printer whose true mechanism is known: as printed, and
// degraded the way scanners and cameras degrade them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "link/FactoryCommands.h"
#include "raster/LinkAccess.h"
#include "raster/Malbid.h"
#include "raster/Malraster.h"
#include "sheet/SheetReader.h"
#include "sim/VirtualPrinter.h"

namespace vantor::test {
namespace {

using sheet::SheetImage;

struct Rgb {
  int width = 0, height = 0;
  std::vector<std::uint8_t> px;
  std::uint8_t* At(int x, int y) { return &px[(std::size_t(y) * width + x) * 3]; }
};

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

class SheetReading : public ::testing::Test {
 protected:
  void SetUp() override {
    printer.SetPageListener(&renderer);
    printer.AttachTo(table);
    link.channel.SetModel(Model::Q40);
    ASSERT_EQ(link.port.OpenPort(0x501), kOk);
    ASSERT_EQ(link.channel.StartLink(), kOk);
  }

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

  std::vector<Rgb> PrintBid() {
    sheets.clear();
    StoredBid stored{};
    EXPECT_EQ(access.ReadStoredBid(stored), kOk);
    EXPECT_EQ(raster.PrintBidPattern(stored, access), kOk);
    EXPECT_EQ(raster.FormFeed(), kOk);
    std::vector<Rgb> pages;
    for (const sim::Page& p : sheets) pages.push_back(FromPage(p));
    return pages;
  }

  VirtualClock clock;
  sim::VirtualPrinter printer{clock, Model::Q40};
  std::vector<sim::Page> sheets;
  sim::PageRenderer renderer{printer.Mechanics(),
                             [this](sim::Page&& page) { sheets.push_back(std::move(page)); }};
  PortTable table;
  Link link{table, clock};
  Malheadid headId;
  Malusbid usbId;
  LinkAccess access{link, headId, usbId};
  Raster raster{access};
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

TEST_F(SheetReading, PagesThatAreNoBidSheetAreRefused) {
  std::string why;
  Rgb blank{1240, 1754, std::vector<std::uint8_t>(1240u * 1754u * 3u, 250)};
  EXPECT_FALSE(sheet::ReadBidSheets({Scan(blank)}, why));
  EXPECT_NE(why.find("not a Bi-D adjustment sheet"), std::string::npos) << why;

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
  for (const sim::Page& p : sheets) {
    why.clear();
    EXPECT_FALSE(sheet::ReadBidSheets({Scan(Transform(FromPage(p), 0, 150))}, why));
    EXPECT_FALSE(why.empty());
  }
}

}  // namespace
}  // namespace vantor::test
