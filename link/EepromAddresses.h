// The printer's EEPROM map: the places of the fields by name, the bytes that name the model and
// what the initialization writes. One home for every program layer and for the virtual printer.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "Fields.h"

namespace vantor::eeprom {

// The fields' places by the names the code has long used; the rows themselves are in Fields.h.
inline constexpr std::uint8_t kProtectionCounterHi = fields::kProtectionCounter.address;
inline constexpr std::uint8_t kProtectionCounterLo = kProtectionCounterHi + 1;
// Ink counters, reset by the transportation-liquid exchange.
inline constexpr std::uint8_t kInkCountersA = 0x08;  // ..0x0B
inline constexpr std::uint8_t kInkCountersB = 0x10;  // ..0x1F
inline constexpr std::uint8_t kPageCounter = fields::kPageCounter.address;
inline constexpr std::uint8_t kPassCounter = fields::kPassCounter.address;
inline constexpr std::uint8_t kExchangeState = 0x30;
inline constexpr std::uint8_t kTopMargin = fields::kTopMargin.address;

namespace detail {
constexpr std::uint8_t BidBound(bool last) {
  std::uint8_t bound = fields::kBid[0].address;
  for (const fields::Field& f : fields::kBid) {
    if (last ? f.address > bound : f.address < bound) bound = f.address;
  }
  return bound;
}
constexpr std::array<std::uint8_t, fields::kBid.size()> BidReadOrder() {
  std::array<std::uint8_t, fields::kBid.size()> order{};
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = fields::kBid[i].address;
  return order;
}
constexpr std::array<std::string_view, fields::kBid.size()> BidKeysByAddress() {
  std::array<std::string_view, fields::kBid.size()> keys{};
  for (const fields::Field& f : fields::kBid) keys[f.address - BidBound(false)] = f.key;
  return keys;
}
}  // namespace detail

// The eight Bi-D bytes, one block.
inline constexpr std::uint8_t kBidFirst = detail::BidBound(false);
inline constexpr std::uint8_t kBidLast = detail::BidBound(true);
static_assert(kBidLast - kBidFirst + 1 == fields::kBid.size());
// Their keys in EEPROM order, as the virtual printer lists them.
inline constexpr auto kBidKeys = detail::BidKeysByAddress();
// The order in which the Bi-D jobs read the stored values: the rows' order.
inline constexpr auto kBidReadOrder = detail::BidReadOrder();

inline constexpr std::uint8_t kCrDispersion = fields::kCrDispersion.address;
inline constexpr std::uint8_t kPfValue = fields::kPf.address;
inline constexpr std::uint8_t kCrReadingHi = fields::kCrReading.address;
inline constexpr std::uint8_t kCrReadingLo = kCrReadingHi + 1;

inline constexpr std::array<std::uint8_t, 7> kHeadId = fields::kHeadIdPlaces;

// The model byte and what it holds for each model.
inline constexpr std::uint8_t kModelDefault = 0xB0;
inline constexpr std::uint8_t kModelQ40 = 0x94;
inline constexpr std::uint8_t kModelQ30 = 0x95;

inline constexpr std::uint8_t kUsbIdFirst = fields::kUsbId.address;

// What the EEPROM initialization writes besides the model byte, in its order: the first three
// before the model byte, the last after it.
struct DefaultByte {
  std::uint8_t address;
  std::uint8_t value;
};
inline constexpr std::array<DefaultByte, 4> kDefaults = {
    {{0x51, 8}, {0x52, 2}, {0x65, 1}, {0xE1, 0}}};

}  // namespace vantor::eeprom
