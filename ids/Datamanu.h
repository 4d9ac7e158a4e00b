// Hexadecimal conversions of single bytes, as the EEPROM panels type and show them.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "link/Hex.h"

namespace vantor {

// '0'-'9' and 'A'-'F' only (lower case is refused); byte is left untouched on failure.
bool HexPairToByte(char first, char second, std::uint8_t& byte);

// The same conversion of the first two characters of text. Returns 1 on success, 0 when the
// text is shorter than two characters or either character is no upper-case hexadecimal digit.
int TextHexToByte(std::string_view text, std::uint8_t& byte);

}  // namespace vantor
