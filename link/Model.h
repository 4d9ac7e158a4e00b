// Printer model and interface choices made in the start window.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vantor {

enum class Model : std::uint8_t { Q40 = 1, Q30 = 2, None = 255 };

using ModelBytes = std::array<std::uint8_t, 2>;

constexpr ModelBytes ModelBytesOf(Model m) {
  switch (m) {
    case Model::Q40:
      return {0x07, 0x4C};
    case Model::Q30:
      return {0x08, 0x18};
    default:
      return {0x00, 0x00};
  }
}

constexpr std::string_view ModelName(Model m) {
  switch (m) {
    case Model::Q40:
      return "Vantor Q40";
    case Model::Q30:
      return "Vantor Q30";
    default:
      return "";
  }
}

using PortCode = std::uint16_t;
enum class InterfaceKind : std::uint16_t { Parallel = 0x400, Usb = 0x500 };

constexpr InterfaceKind KindOf(PortCode code) {
  return (code & 0xFF00) == 0x500 ? InterfaceKind::Usb : InterfaceKind::Parallel;
}

// "LPT1".."LPT3" -> 0x401..0x403, "TVUSB1".."TVUSB3" -> 0x501..0x503.
std::optional<PortCode> PortCodeFromName(std::string_view name);
// The interface list's name for a port code ("LPT1" ... "TVUSB3"); empty for other codes.
std::string_view PortListName(PortCode code);

inline constexpr std::array<std::string_view, 6> kPortNames = {"LPT1",   "LPT2",   "LPT3",
                                                               "TVUSB1", "TVUSB2", "TVUSB3"};

}  // namespace vantor
