// Bytes as the printer, its EEPROM tables and the technician write them: two hexadecimal
// digits, high nibble first, upper case when written. The one hexadecimal codec of the program.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// The printer and the technician's boxes write upper case only; files and typed commands may
// have been written by hand in either.
enum class HexLetters { Upper, Either };

// The value of one digit; nullopt for a character that is none.
std::optional<unsigned> HexDigitValue(char c, HexLetters letters = HexLetters::Upper);
// One to eight digits and nothing else.
std::optional<std::uint32_t> ParseHex(std::string_view digits,
                                      HexLetters letters = HexLetters::Upper);
// Exactly two digits.
std::optional<std::uint8_t> ParseHexByte(std::string_view pair,
                                         HexLetters letters = HexLetters::Upper);

// The 256 EEPROM bytes as image files and service records keep them: 16 rows of 32 digits.
inline constexpr std::size_t kHexRows = 16;
inline constexpr std::size_t kHexRowBytes = 16;
std::vector<std::string> HexRows(std::span<const std::uint8_t, kHexRows * kHexRowBytes> bytes);
// One such row, in either case; false, with bytes untouched, for anything but 32 digits.
bool ParseHexRow(std::string_view row, std::span<std::uint8_t, kHexRowBytes> bytes);

}  // namespace vantor
