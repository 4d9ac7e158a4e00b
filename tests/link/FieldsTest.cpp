#include <gtest/gtest.h>

#include <array>
#include <map>

#include "link/EepromAddresses.h"
#include "link/Fields.h"

namespace vantor {
namespace {

TEST(Fields, BidRowsTakeTheirOwnBytesInThePrintersReadOrder) {
  // From the map: VSD1..VSD3 at 0x72..0x77, ECO below them at 0x70/0x71, black before colour.
  constexpr std::array<std::uint8_t, 8> kReadOrder = {0x72, 0x73, 0x74, 0x75,
                                                      0x76, 0x77, 0x70, 0x71};
  EXPECT_EQ(eeprom::kBidReadOrder, kReadOrder);
  for (int kind = 1; kind <= 4; ++kind) {
    for (const bool colour : {false, true}) {
      ASSERT_NE(fields::BidField(kind, colour), nullptr);
      EXPECT_EQ(fields::BidField(kind, colour)->address, kReadOrder[2 * (kind - 1) + colour]);
    }
  }
  EXPECT_EQ(fields::BidField(0, false), nullptr);
  EXPECT_EQ(fields::BidField(5, true), nullptr);
  EXPECT_EQ(eeprom::kBidFirst, 0x70);
  EXPECT_EQ(eeprom::kBidKeys[0], "eco-black");
  EXPECT_EQ(eeprom::kBidKeys[7], "vsd3-color");
}

TEST(Fields, NoTwoFieldsShareAByte) {
  std::vector<const fields::Field*> all = {&fields::kPf,
                                           &fields::kTopMargin,
                                           &fields::kCrDispersion,
                                           &fields::kCrReading,
                                           &fields::kProtectionCounter,
                                           &fields::kPageCounter,
                                           &fields::kPassCounter,
                                           &fields::kHeadId,
                                           &fields::kUsbId};
  for (const fields::Field& f : fields::kBid) all.push_back(&f);
  std::map<std::uint8_t, std::string_view> owner;
  for (const fields::Field* f : all) {
    for (std::size_t i = 0; i < f->size; ++i) {
      const auto [at, fresh] = owner.emplace(fields::AddressOf(*f, i), f->key);
      EXPECT_TRUE(fresh) << f->key << " byte " << i << " is " << at->second << "'s";
    }
  }
  // The serial number is the USB ID's beginning, not a field of its own bytes.
  EXPECT_EQ(fields::kSerial.address, fields::kUsbId.address);
  EXPECT_LT(fields::kSerial.size, fields::kUsbId.size);
}

}  // namespace
}  // namespace vantor
