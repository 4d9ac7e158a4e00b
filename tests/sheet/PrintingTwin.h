// A virtual printer whose pages are rendered as a scanner would see them, for the reader tests
// to print real Bi-D and PF sheets and degrade them.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "link/FactoryCommands.h"
#include "raster/LinkAccess.h"
#include "raster/Malbid.h"
#include "raster/Malraster.h"
#include "sim/VirtualPrinter.h"

namespace vantor::test {

struct Rgb {
  int width = 0, height = 0;
  std::vector<std::uint8_t> px;
  std::uint8_t* At(int x, int y) { return &px[(std::size_t(y) * width + x) * 3]; }
  const std::uint8_t* At(int x, int y) const { return &px[(std::size_t(y) * width + x) * 3]; }
};

class PrintingTwin : public ::testing::Test {
 protected:
  void SetUp() override {
    printer.SetPageListener(&renderer);
    printer.AttachTo(table);
    link.channel.SetModel(Model::Q40);
    ASSERT_EQ(link.port.OpenPort(0x501), kOk);
    ASSERT_EQ(link.channel.StartLink(), kOk);
  }

  // The Bi-D sheets (two pages) printed from the stored values.
  std::vector<Rgb> PrintBid() {
    return Print([this] {
      StoredBid stored{};
      EXPECT_EQ(access.ReadStoredBid(stored), kOk);
      EXPECT_EQ(raster.PrintBidPattern(stored, access), kOk);
    });
  }

  // The PF candidates' page.
  std::vector<Rgb> PrintPf() {
    return Print([this] {
      const auto setPf = [&](std::int8_t value) -> Result {
        VANTOR_TRY(link.factory.SetPfValue(static_cast<std::uint8_t>(value)));
        return link.factory.FinishAdjustWrite();
      };
      EXPECT_EQ(raster.PrintPfCandidates(setPf), kOk);
    });
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

 private:
  template <typename PrintPattern>
  std::vector<Rgb> Print(PrintPattern print) {
    sheets.clear();
    print();
    EXPECT_EQ(raster.FormFeed(), kOk);
    std::vector<Rgb> pages;
    for (const sim::Page& p : sheets) pages.push_back({p.width, p.height, p.rgb});
    return pages;
  }
};

}  // namespace vantor::test
