// What the EEPROM's addresses mean, for listing differences and choosing bytes by name.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/Fields.h"

namespace vantor::procedures {

using EepromBytes = std::array<std::uint8_t, 256>;

// How a byte's value reads: signed bytes (Bi-D, PF, CR dispersion) show their sign.
using ByteEncoding = fields::Encoding;

struct EepromByteMeaning {
  std::string name;  // empty for an address the map says nothing about
  ByteEncoding encoding = ByteEncoding::Unsigned;
};
EepromByteMeaning MeaningOf(std::uint8_t address);

// A set of addresses chosen on the command line.
using AddressSet = std::array<bool, 256>;

// Adds the addresses a selector names to set: a group name (bid, pf, top-margin,
// cr-dispersion, head-id, usb-id, serial, protection-counter, page-counter, pass-counter,
// ink-counters, defaults), one hexadecimal address ("5D") or a range ("70-77").
// False for a selector that is none of these.
bool AddSelection(std::string_view selector, AddressSet& set);
// The group names, for help and error texts.
std::string_view SelectionGroups();

// The value as the map's encoding reads it, e.g. "-3 (FD)" or "'A' (41)".
std::string DescribeValue(std::uint8_t address, std::uint8_t value);

}  // namespace vantor::procedures
