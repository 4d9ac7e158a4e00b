// One row per value the tool reads or writes in the printer's EEPROM: its key, the caption the
// technician reads, where it lives, how it is encoded and what may be entered. Addresses, read
// orders, names and range checks elsewhere are derived from these rows.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vantor::fields {

// How a value's bytes read: signed bytes show their sign, characters are text.
enum class Encoding { Unsigned, Signed, Character };

struct Range {
  int min, max;
};
// "-60 to 60", as every word of a range says it.
inline std::string RangeWords(const Range& r) {
  return std::to_string(r.min) + " to " + std::to_string(r.max);
}

struct Field {
  std::string_view key;      // "vsd1-black": the name vantorctl, its JSON and selectors use
  std::string_view caption;  // "VSD1 Black": the name the technician reads
  std::uint8_t address;      // the first byte; a value of several bytes is high byte first
  std::uint8_t size;         // bytes
  Encoding encoding;
  std::optional<Range> range = std::nullopt;  // what a technician may enter
  std::string_view unit = {};
  // The addresses in the value's order where they do not follow each other.
  std::span<const std::uint8_t> scattered = {};
};

// The address of a field's byte i.
constexpr std::uint8_t AddressOf(const Field& f, std::size_t i) {
  return f.scattered.empty() ? static_cast<std::uint8_t>(f.address + i) : f.scattered[i];
}

// Bi-D: black and colour for each dot type in the order the jobs visit them and the Bi-D frame
// numbers them from 1: VSD1, VSD2, VSD3, ECO. ECO sits below the others in the EEPROM.
inline constexpr Range kBidRange{-60, 60};
inline constexpr std::size_t kBidKinds = 4;
inline constexpr std::array<Field, 2 * kBidKinds> kBid = {{
    {"vsd1-black", "VSD1 Black", 0x72, 1, Encoding::Signed, kBidRange, "step"},
    {"vsd1-color", "VSD1 Color", 0x73, 1, Encoding::Signed, kBidRange, "step"},
    {"vsd2-black", "VSD2 Black", 0x74, 1, Encoding::Signed, kBidRange, "step"},
    {"vsd2-color", "VSD2 Color", 0x75, 1, Encoding::Signed, kBidRange, "step"},
    {"vsd3-black", "VSD3 Black", 0x76, 1, Encoding::Signed, kBidRange, "step"},
    {"vsd3-color", "VSD3 Color", 0x77, 1, Encoding::Signed, kBidRange, "step"},
    {"eco-black", "ECO Black", 0x70, 1, Encoding::Signed, kBidRange, "step"},
    {"eco-color", "ECO Color", 0x71, 1, Encoding::Signed, kBidRange, "step"},
}};
// The field of a Bi-D frame's kind (1..4) and ink; nullptr for a kind outside them.
constexpr const Field* BidField(int kind, bool colour) {
  if (kind < 1 || kind > static_cast<int>(kBidKinds)) return nullptr;
  return &kBid[static_cast<std::size_t>(2 * (kind - 1) + (colour ? 1 : 0))];
}

inline constexpr Field kPf{"pf", "PF value", 0x7D, 1, Encoding::Signed, Range{-4, 4}, "step"};
inline constexpr Field kTopMargin{"top-margin", "top margin", 0x5D, 1, Encoding::Unsigned};
inline constexpr Field kCrDispersion{"cr-dispersion", "CR motor drive dispersion", 0x79, 1,
                                     Encoding::Signed};
// What the carriage measurement reads back, between its steps.
inline constexpr Field kCrReading{"cr-reading", "CR motor reading", 0x7E, 2, Encoding::Unsigned};

inline constexpr Field kProtectionCounter{"protection-counter", "protection counter", 0x02,    2,
                                          Encoding::Unsigned,   std::nullopt,         "points"};
inline constexpr Field kPageCounter{"page-counter",     "page counter", 0x20,   4,
                                    Encoding::Unsigned, std::nullopt,   "pages"};
inline constexpr Field kPassCounter{"pass-counter",     "print pass counter", 0x24,    4,
                                    Encoding::Unsigned, std::nullopt,         "passes"};

// Head ID: A, B..F, G in the order of the text (A at 0xAF, B..F at 0xA0-0xA4, G at 0xAE).
inline constexpr std::array<std::uint8_t, 7> kHeadIdPlaces = {0xAF, 0xA0, 0xA1, 0xA2,
                                                              0xA3, 0xA4, 0xAE};
inline constexpr Field kHeadId{"head-id", "head ID", kHeadIdPlaces[0], 7, Encoding::Unsigned,
                               {},        {},        kHeadIdPlaces};
// USB ID: 18 characters, the serial number's 10 first, then the date code.
inline constexpr Field kUsbId{"usb-id", "USB ID", 0xC2, 18, Encoding::Character};
inline constexpr Field kSerial{"serial", "serial number", 0xC2, 10, Encoding::Character};

}  // namespace vantor::fields
