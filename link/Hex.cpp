#include "Hex.h"

#include <algorithm>
#include <utility>

namespace vantor {

std::optional<unsigned> HexDigitValue(char c, HexLetters letters) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  if (letters == HexLetters::Either && c >= 'a' && c <= 'f')
    return static_cast<unsigned>(c - 'a' + 10);
  return std::nullopt;
}

std::optional<std::uint32_t> ParseHex(std::string_view digits, HexLetters letters) {
  if (digits.empty() || digits.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : digits) {
    const auto digit = HexDigitValue(c, letters);
    if (!digit) return std::nullopt;
    value = value * 16 + *digit;
  }
  return value;
}

std::optional<std::uint8_t> ParseHexByte(std::string_view pair, HexLetters letters) {
  if (pair.size() != 2) return std::nullopt;
  const auto value = ParseHex(pair, letters);
  if (!value) return std::nullopt;
  return static_cast<std::uint8_t>(*value);
}

std::vector<std::string> HexRows(std::span<const std::uint8_t, kHexRows * kHexRowBytes> bytes) {
  std::vector<std::string> rows;
  for (std::size_t r = 0; r < kHexRows; ++r) {
    std::string row;
    for (std::size_t c = 0; c < kHexRowBytes; ++c) row += ByteHex(bytes[r * kHexRowBytes + c]);
    rows.push_back(std::move(row));
  }
  return rows;
}

bool ParseHexRow(std::string_view row, std::span<std::uint8_t, kHexRowBytes> bytes) {
  if (row.size() != 2 * kHexRowBytes) return false;
  std::array<std::uint8_t, kHexRowBytes> parsed{};
  for (std::size_t c = 0; c < kHexRowBytes; ++c) {
    const auto value = ParseHexByte(row.substr(2 * c, 2), HexLetters::Either);
    if (!value) return false;
    parsed[c] = *value;
  }
  std::copy(parsed.begin(), parsed.end(), bytes.begin());
  return true;
}

}  // namespace vantor
