#include "adjust/procedures/EepromMap.h"

#include <cctype>

#include "link/EepromAddresses.h"
#include "link/Hex.h"

namespace vantor::procedures {

namespace {

struct Group {
  std::string_view name;
  std::uint8_t first, last;
};

constexpr Group GroupOf(const fields::Field& f) {
  return {f.key, f.address, static_cast<std::uint8_t>(f.address + f.size - 1)};
}

// Head ID bytes are not contiguous; head-id is handled apart.
constexpr std::array<Group, 11> kGroups = {{
    {"bid", eeprom::kBidFirst, eeprom::kBidLast},
    GroupOf(fields::kPf),
    GroupOf(fields::kTopMargin),
    GroupOf(fields::kCrDispersion),
    GroupOf(fields::kUsbId),
    GroupOf(fields::kSerial),
    GroupOf(fields::kProtectionCounter),
    GroupOf(fields::kPageCounter),
    GroupOf(fields::kPassCounter),
    {"ink-counters", eeprom::kInkCountersA, eeprom::kInkCountersA + 3},
    {"ink-counters", eeprom::kInkCountersB, eeprom::kInkCountersB + 15},
}};

// The fields whose bytes are named after their caption alone.
constexpr std::array<const fields::Field*, 7> kNamedFields = {
    &fields::kPf,         &fields::kTopMargin,         &fields::kCrDispersion,
    &fields::kCrReading,  &fields::kProtectionCounter, &fields::kPageCounter,
    &fields::kPassCounter};

std::string FieldByteName(const fields::Field& f, std::size_t i) {
  const std::string caption(f.caption);
  if (f.size == 1) return caption;
  if (f.size == 2) return caption + (i == 0 ? " (high byte)" : " (low byte)");
  return caption + " byte " + std::to_string(i + 1) + " of " + std::to_string(f.size);
}

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
  for (const fields::Field& f : fields::kBid) {
    if (f.address == a) return {"Bi-D " + std::string(f.caption), f.encoding};
  }
  for (const fields::Field* f : kNamedFields) {
    if (a >= f->address && a < f->address + f->size)
      return {FieldByteName(*f, a - f->address), f->encoding};
  }
  for (std::size_t i = 0; i < fields::kHeadId.size; ++i) {
    if (AddressOf(fields::kHeadId, i) == a) return {std::string(kHeadIdDigits[i]), E::Unsigned};
  }
  const fields::Field& usb = fields::kUsbId;
  if (a >= usb.address && a < usb.address + usb.size) {
    const int n = a - usb.address + 1;
    const bool serial = n <= fields::kSerial.size;
    return {
        "USB ID character " + std::to_string(n) + (serial ? " (serial number)" : " (date code)"),
        usb.encoding};
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
  if (selector == fields::kHeadId.key) {
    for (std::size_t i = 0; i < fields::kHeadId.size; ++i)
      set[AddressOf(fields::kHeadId, i)] = true;
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
