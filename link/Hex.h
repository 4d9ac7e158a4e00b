// Bytes as the printer, its EEPROM tables and the technician write them: two upper-case
// hexadecimal digits, high nibble first. The one formatter of the program.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vantor {

// One hexadecimal digit of a nibble (0-15).
constexpr char HexDigit(unsigned nibble) {
  return "0123456789ABCDEF"[nibble & 0x0F];
}

// The two characters and a terminating zero.
constexpr std::array<char, 3> ByteToHexPair(std::uint8_t byte) {
  return {HexDigit(byte >> 4u), HexDigit(byte), '\0'};
}
// The two characters without the terminator; the pair must outlive the view.
inline std::string_view HexPairView(const std::array<char, 3>& pair) {
  return {pair.data(), 2};
}
// "5D".
inline std::string ByteHex(std::uint8_t byte) {
  return std::string(HexPairView(ByteToHexPair(byte)));
}

}  // namespace vantor
