// The printer's EEPROM map: where each value the tool reads or writes lives, and the bytes that
// name the model. One home for every program layer and for the virtual printer.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vantor::eeprom {

inline constexpr std::uint8_t kProtectionCounterHi = 0x02;
inline constexpr std::uint8_t kProtectionCounterLo = 0x03;
// Ink counters, reset by the transportation-liquid exchange.
inline constexpr std::uint8_t kInkCountersA = 0x08;  // ..0x0B
inline constexpr std::uint8_t kInkCountersB = 0x10;  // ..0x1F
inline constexpr std::uint8_t kPageCounter = 0x20;   // four bytes, high first
inline constexpr std::uint8_t kPassCounter = 0x24;   // four bytes, high first
inline constexpr std::uint8_t kExchangeState = 0x30;
inline constexpr std::uint8_t kTopMargin = 0x5D;

// Bi-D values: ECO black and colour at 0x70/0x71, then VSD1, VSD2, VSD3, black first.
inline constexpr std::uint8_t kBidFirst = 0x70;
inline constexpr std::uint8_t kBidLast = 0x77;
inline constexpr std::uint8_t kBidEcoBlack = 0x70;
inline constexpr std::uint8_t kBidVsd1Black = 0x72;
// Their names as vantorctl, its JSON and the virtual printer take them, in EEPROM order.
inline constexpr std::array<std::string_view, 8> kBidKeys = {
    "eco-black",  "eco-color",  "vsd1-black", "vsd1-color",
    "vsd2-black", "vsd2-color", "vsd3-black", "vsd3-color"};
// The order in which the Bi-D jobs read the stored values: VSD1, VSD2, VSD3, ECO; black first.
inline constexpr std::array<std::uint8_t, 8> kBidReadOrder = {0x72, 0x73, 0x74, 0x75,
                                                              0x76, 0x77, 0x70, 0x71};

inline constexpr std::uint8_t kCrDispersion = 0x79;
inline constexpr std::uint8_t kPfValue = 0x7D;
inline constexpr std::uint8_t kCrReadingHi = 0x7E;
inline constexpr std::uint8_t kCrReadingLo = 0x7F;

// Head ID: A, B..F, G in the order of the text (A at 0xAF, B..F at 0xA0-0xA4, G at 0xAE).
inline constexpr std::array<std::uint8_t, 7> kHeadId = {0xAF, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xAE};

// The model byte and what it holds for each model.
inline constexpr std::uint8_t kModelDefault = 0xB0;
inline constexpr std::uint8_t kModelQ40 = 0x94;
inline constexpr std::uint8_t kModelQ30 = 0x95;

// USB ID: 18 characters from here, the serial number's 10 first.
inline constexpr std::uint8_t kUsbIdFirst = 0xC2;

// What the EEPROM initialization writes besides the model byte, in its order: the first three
// before the model byte, the last after it.
struct DefaultByte {
  std::uint8_t address;
  std::uint8_t value;
};
inline constexpr std::array<DefaultByte, 4> kDefaults = {
    {{0x51, 8}, {0x52, 2}, {0x65, 1}, {0xE1, 0}}};

}  // namespace vantor::eeprom
