#include "adjust/procedures/InputFaults.h"

#include <cstdint>
#include <limits>

#include "adjust/procedures/PfProcedure.h"
#include "adjust/procedures/TopMarginProcedure.h"
#include "link/Hex.h"
#include "raster/Malbid.h"

namespace vantor::procedures {

namespace {

// Appended, not prefixed: GCC 12 at -O3 takes a prefix for an overlapping copy.
std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted += text;
  quoted += '"';
  return quoted;
}

}  // namespace

std::string HexPairFault(std::string_view field, std::string_view text) {
  const std::string name(field);
  if (text.empty()) return name + ": empty; two hexadecimal digits are needed.";
  if (text.size() == 1) return name + ": one character; two hexadecimal digits are needed.";
  if (text.size() > 2) return name + ": " + Quoted(text) + " is more than two digits.";
  if (!ParseHexByte(text)) return name + ": " + Quoted(text) + " is not hexadecimal.";
  return {};
}

std::string EepromRangeFault(std::string_view start, std::string_view end) {
  if (std::string fault = HexPairFault("Start address", start); !fault.empty()) return fault;
  if (std::string fault = HexPairFault("End address", end); !fault.empty()) return fault;
  if (*ParseHexByte(end) < *ParseHexByte(start)) {
    return "End address: " + std::string(end) + " is below the start address " +
           std::string(start) + ".";
  }
  return {};
}

std::string EepromChangeFault(std::string_view address, std::string_view data) {
  if (std::string fault = HexPairFault("Address", address); !fault.empty()) return fault;
  return HexPairFault("Data", data);
}

std::string PfValueFault(std::string_view text) {
  constexpr int kNotANumber = std::numeric_limits<int>::min();
  const int value = TextToInt(text, kNotANumber);
  if (value == kNotANumber) {
    return text.empty() ? "PF value: empty; a whole number is needed."
                        : "PF value: " + Quoted(text) + " is not a whole number.";
  }
  if (value < kPfMin || value > kPfMax) {
    return "PF value: " + std::to_string(value) + " is outside " +
           fields::RangeWords(*fields::kPf.range) + ".";
  }
  return {};
}

std::string TopMarginFault(const TopMarginList& list, int index) {
  if (!list.filled) return "Top margin: no list of entries was read.";
  if (!TopMarginValue(list.group, index)) return "Top margin: no entry chosen.";
  return {};
}

}  // namespace vantor::procedures
