// Bi-D values: their EEPROM places, the technician's range, reading and writing one value.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/Fields.h"
#include "link/Result.h"
#include "raster/PrintSink.h"

namespace vantor {

// Ink group ("which"): 0 the black value, anything else (128 by convention) the colour value.
inline constexpr std::uint8_t kBidBlack = 0;
inline constexpr std::uint8_t kBidColour = 128;

inline constexpr int kBidMin = fields::kBidRange.min;
inline constexpr int kBidMax = fields::kBidRange.max;

// EEPROM address of a value; 0 for a dot type outside 4..7.
std::uint8_t BidAddress(std::uint8_t which, std::uint8_t dotType);
// Detail code of an out-of-range value: 0x1001..0x1004 black, 0x1005..0x1008 colour.
std::uint16_t BidRangeCode(std::uint8_t which, std::uint8_t dotType);

// Whole text as a decimal integer (optional sign, blanks around it allowed); `otherwise` for
// anything else, including numbers too large for an int.
int TextToInt(std::string_view text, int otherwise);

// The printer's factory read of one EEPROM byte, and its Bi-D write (-128 leaves a field).
using FactoryRead = std::function<Result(std::uint8_t address, std::uint8_t& value)>;
using BidWrite = std::function<Result(std::uint8_t dotType, int black, int colour)>;

// value receives the stored signed value (0 for a dot type outside 4..7, with nothing read).
Result ReadBidValue(const FactoryRead& read, std::uint8_t which, std::uint8_t dotType, int& value);

// A typed value; anything that is no number is out of range, so that it is refused as such.
int BidEntryValue(std::string_view text);

// 0x7000 with errorCode set when the value is outside -60..60; nothing is sent.
Result WriteBidValue(const BidWrite& write, std::uint16_t& errorCode, std::uint8_t which,
                     std::uint8_t dotType, int value);

}  // namespace vantor
