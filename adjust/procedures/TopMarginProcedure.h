// The top-margin workflow's printer procedures and its two ladders of positions.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "adjust/procedures/PrintJob.h"
#include "adjust/procedures/ProcedureContext.h"
#include "raster/Malraster.h"

namespace vantor::procedures {

// topMarginGroup: the ladder of the value last read; 0 until a ladder value has been read.
inline constexpr std::uint16_t kTopMarginLadderHigh = 0x701;  // 92, 106, 120, 134, 148
inline constexpr std::uint16_t kTopMarginLadderLow = 0x702;   // 14, 28, 42, 56, 70
inline constexpr std::size_t kTopMarginEntries = 5;

// The list offered for a stored value: each entry is a ladder position's offset, in steps,
// from the stored value.
struct TopMarginLadder {
  std::uint16_t group = 0;
  std::array<std::string_view, kTopMarginEntries> entries{};
};

// nullopt for a value of neither ladder (the list then stays empty).
std::optional<TopMarginLadder> TopMarginLadderFor(std::uint8_t stored);
// The absolute position of entry `index` on a ladder; nullopt for an unknown ladder or index.
std::optional<std::uint8_t> TopMarginValue(std::uint16_t group, int index);

// What the window holds between reading and writing.
struct TopMarginList {
  std::uint16_t group = 0;  // topMarginGroup
  bool filled = false;      // the list has entries
  std::array<std::string_view, kTopMarginEntries> entries{};
};

// "Checking the Top margin": remote-mode block with "SN" 0, 3, then the line, which ejects
// its own page.
Result PrintTopMarginCheck(ProcedureContext& context);

// "Adjust": reads the stored value and fills the list (emptied, group kept, for an unknown
// value). A failure is reported and leaves the list empty.
Result ReadTopMarginList(ProcedureContext& context, TopMarginList& list, std::uint8_t& stored);

// Writes the chosen entry's position; without a filled list and a valid entry nothing is
// written and "Input data is wrong." is shown.
Result WriteTopMargin(ProcedureContext& context, const TopMarginList& list, int index);

}  // namespace vantor::procedures
