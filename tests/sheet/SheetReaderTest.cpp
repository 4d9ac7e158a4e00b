// The reader on sheets of a virtual printer whose true mechanism is known: as printed, and
// degraded the way scanners and cameras degrade them.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vantor::test
