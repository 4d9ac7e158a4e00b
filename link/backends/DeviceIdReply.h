// Reading the IEEE 1284 device-ID reply that a port hands back: a 2-byte big-endian length
// (counting itself) and then "KEY:value;" text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vantor {

enum class DeviceIdShape {
  Empty,          // no bytes, or only a zero length: the port's -110 case
  Exact,          // the prefix matches the bytes that came
  SwappedPrefix,  // little-endian prefix, seen from some printers and drivers
  Truncated,      // fewer bytes than the prefix announces; text holds what came
  NoPrefix,       // plain text without a usable prefix
};

struct DeviceIdText {
  DeviceIdShape shape = DeviceIdShape::Empty;
  std::string text;  // the ID text without prefix, NULs and trailing blanks
  bool Usable() const { return shape != DeviceIdShape::Empty && !text.empty(); }
};

DeviceIdText ParseDeviceId(std::span<const std::uint8_t> reply);

// One field of the ID ("MFG", "MDL", "CMD", ...), found under its long or short key
// ("MANUFACTURER" for "MFG", "MODEL" for "MDL", "COMMAND SET" for "CMD"); empty when absent.
std::string DeviceIdField(std::string_view text, std::string_view key);

// A reply with a correct big-endian prefix for text that came without one (or with a
// wrong one), as PortDevice::DeviceId promises it; copies at most out.size() bytes.
std::size_t WriteDeviceIdReply(std::string_view text, std::span<std::uint8_t> out);

// The shape in a few words, for the port doctor.
std::string_view DescribeShape(DeviceIdShape shape);

}  // namespace vantor
