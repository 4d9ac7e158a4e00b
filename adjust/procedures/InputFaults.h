// Why a typed entry is refused, in a line the windows show under "Input data is wrong.": the
// field by its caption, then the reason. Empty when the entry would be taken. The rules are
// those of the procedures that refuse the entry.
#pragma once

#include <string>
#include <string_view>

namespace vantor::procedures {

// Two hexadecimal digits, as EEPROM addresses and data are typed.
std::string HexPairFault(std::string_view field, std::string_view text);
// The reading range of the EEPROM table: both pairs, and the end not below the start.
std::string EepromRangeFault(std::string_view start, std::string_view end);
// An EEPROM byte change: address, then data.
std::string EepromChangeFault(std::string_view address, std::string_view data);
// A PF value: a whole number within the PF range.
std::string PfValueFault(std::string_view text);
struct TopMarginList;
// A top-margin entry: one chosen from a list that was read.
std::string TopMarginFault(const TopMarginList& list, int index);

}  // namespace vantor::procedures
