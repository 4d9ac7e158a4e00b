#include "adjust/procedures/EepromMap.h"

#include <cctype>
#include <cstdio>

#include "adjust/procedures/BidProcedure.h"
#include "ids/Malheadid.h"
#include "ids/Malusbid.h"
#include "link/EepromAddresses.h"
#include "link/Hex.h"

namespace vantor::procedures {

namespace {

struct Group {
  std::string_view name;
  std::uint8_t first, last;
};

// Head ID bytes are not contiguous; head-id is handled apart.
constexpr std::array<Group, 11> kGroups = {{
    {"bid", eeprom::kBidFirst, eeprom::kBidLast},
    {"pf", eeprom::kPfValue, eeprom::kPfValue},
    {"top-margin", eeprom::kTopMargin, eeprom::kTopMargin},
    {"cr-dispersion", eeprom::kCrDispersion, eeprom::kCrDispersion},
    {"usb-id", usbid::kFirstAddress, usbid::kFirstAddress + usbid::kLength - 1},
    {"serial", usbid::kFirstAddress, usbid::kFirstAddress + usbid::kSerialLength - 1},
    {"protection-counter", eeprom::kProtectionCounterHi, eeprom::kProtectionCounterLo},
    {"page-counter", eeprom::kPageCounter, eeprom::kPageCounter + 3},
    {"pass-counter", eeprom::kPassCounter, eeprom::kPassCounter + 3},
    {"ink-counters", eeprom::kInkCountersA, eeprom::kInkCountersA + 3},
    {"ink-counters", eeprom::kInkCountersB, eeprom::kInkCountersB + 15},
}};

// The bytes the EEPROM initialization writes, in address order.
constexpr std::array<std::uint8_t, 5> kDefaults = {
    eeprom::kDefaults[0].address, eeprom::kDefaults[1].address, eeprom::kDefaults[2].address,
    eeprom::kModelDefault, eeprom::kDefaults[3].address};

// Head ID bytes in the order of the typed text: 1, 2-3, 4-5, 6-7, 8-9, 10-11, 12.
constexpr std::array<std::string_view, 7> kHeadIdDigits = {
    "head ID digit 1",    "head ID digits 2-3",   "head ID digits 4-5", "head ID digits 6-7",
    "head ID digits 8-9", "head ID digits 10-11", "head ID digit 12"};

// One or two digits, as typed on the command line.
std::optional<std::uint8_t> HexByte(std::string_view text) {
  if (text.size() > 2) return std::nullopt;
  const auto value = ParseHex(text, HexLetters::Either);
  if (!value) return std::nullopt;
  return static_cast<std::uint8_t>(*value);
}

}  // namespace

EepromByteMeaning MeaningOf(std::uint8_t a) {
  using E = ByteEncoding;
  if (const auto row = BidRowAt(a))
    return {"Bi-D " + std::string(kBidRows[*row].caption), E::Signed};
  if (a == eeprom::kPfValue) return {"PF value", E::Signed};
  if (a == eeprom::kTopMargin) return {"top margin", E::Unsigned};
  if (a == eeprom::kCrDispersion) return {"CR motor drive dispersion", E::Signed};
  if (a == eeprom::kCrReadingHi) return {"CR motor reading (high byte)", E::Unsigned};
  if (a == eeprom::kCrReadingLo) return {"CR motor reading (low byte)", E::Unsigned};
  if (a == eeprom::kProtectionCounterHi) return {"protection counter (high byte)", E::Unsigned};
  if (a == eeprom::kProtectionCounterLo) return {"protection counter (low byte)", E::Unsigned};
  if (a >= eeprom::kPageCounter && a < eeprom::kPageCounter + 4)
    return {"page counter byte " + std::to_string(a - eeprom::kPageCounter + 1) + " of 4",
            E::Unsigned};
  if (a >= eeprom::kPassCounter && a < eeprom::kPassCounter + 4)
    return {"print pass counter byte " + std::to_string(a - eeprom::kPassCounter + 1) + " of 4",
            E::Unsigned};
  for (std::size_t i = 0; i < headid::kAddresses.size(); ++i) {
    if (headid::kAddresses[i] == a) return {std::string(kHeadIdDigits[i]), E::Unsigned};
  }
  if (a >= usbid::kFirstAddress && a < usbid::kFirstAddress + usbid::kLength) {
    const int n = a - usbid::kFirstAddress + 1;
    const bool serial = n <= static_cast<int>(usbid::kSerialLength);
    return {
        "USB ID character " + std::to_string(n) + (serial ? " (serial number)" : " (date code)"),
        E::Character};
  }
  if (a == eeprom::kExchangeState) return {"ink flag of the exchange", E::Unsigned};
  if (a == 0x31) return {"cleared by the exchange", E::Unsigned};
  if ((a >= 0x08 && a <= 0x0B) || (a >= 0x10 && a <= 0x1F))
    return {"ink consumption counter", E::Unsigned};
  if (a == eeprom::kModelDefault) return {"model (0x94 Q40, 0x95 Q30)", E::Unsigned};
  for (const std::uint8_t d : kDefaults) {
    if (d == a) return {"factory setting", E::Unsigned};
  }
  return {};
}

bool AddSelection(std::string_view selector, AddressSet& set) {
  bool known = false;
  for (const Group& g : kGroups) {
    if (g.name != selector) continue;
    for (int a = g.first; a <= g.last; ++a) set[static_cast<std::size_t>(a)] = true;
    known = true;
  }
  if (selector == "head-id") {
    for (const std::uint8_t a : headid::kAddresses) set[a] = true;
    known = true;
  }
  if (selector == "defaults") {
    for (const std::uint8_t a : kDefaults) set[a] = true;
    known = true;
  }
  if (known) return true;
  const std::size_t dash = selector.find('-');
  const auto first = HexByte(selector.substr(0, dash));
  const auto last = dash == std::string_view::npos ? first : HexByte(selector.substr(dash + 1));
  if (!first || !last || *last < *first) return false;
  for (int a = *first; a <= *last; ++a) set[static_cast<std::size_t>(a)] = true;
  return true;
}

std::string_view SelectionGroups() {
  return "bid, pf, top-margin, cr-dispersion, head-id, usb-id, serial, protection-counter, "
         "page-counter, pass-counter, ink-counters, defaults";
}

std::string DescribeValue(std::uint8_t address, std::uint8_t value) {
  const std::string hex = " (" + ByteHex(value) + ")";
  switch (MeaningOf(address).encoding) {
    case ByteEncoding::Signed:
      return std::to_string(static_cast<std::int8_t>(value)) + hex;
    case ByteEncoding::Character:
      if (std::isprint(value)) return std::string("'") + static_cast<char>(value) + "'" + hex;
      break;
    case ByteEncoding::Unsigned:
      break;
  }
  return std::to_string(value) + hex;
}

}  // namespace vantor::procedures
