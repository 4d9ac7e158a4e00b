// The Bi-D adjustment workflow's printer procedures: print, read, check and write the values.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "adjust/procedures/ProcedureContext.h"
#include "raster/Malraster.h"

namespace vantor::procedures {

// The eight values in the order every operation visits them, made from their fields.
struct BidRow {
  std::string_view caption;  // "VSD1 Black"
  std::string_view key;      // "vsd1-black", as vantorctl and its JSON name the row
  std::uint8_t address;
  std::uint8_t dotType;
  std::uint8_t which;        // kBidBlack or kBidColour
  std::string registeredAs;  // with its opening quotation mark
  std::string valueLabel;    // the "Checking present Bi-D parameter" label
  std::string rangeWords;    // shown when the row's entry is out of range
};
inline constexpr std::size_t kBidRowCount = 8;
extern const std::array<BidRow, kBidRowCount> kBidRows;
// The row a typed key names, in any case, a blank for the hyphen ("VSD1 Black"); nullopt for
// none.
std::optional<std::size_t> BidRowByKey(std::string_view typed);
// The row whose value lives at an EEPROM address; nullopt for none.
std::optional<std::size_t> BidRowAt(std::uint8_t address);

// "Printing the Bi-D adjustment pattern": remote-mode block, the pattern, the page eject.
// printedWith receives the values the sheets are printed around, in row order.
Result PrintBidAdjustment(ProcedureContext& context,
                          std::array<int, kBidRowCount>* printedWith = nullptr);

// "Adjust": reads the rows in order, handing each value to fill; stops at the first failure,
// which is reported.
Result ReadBidRows(ProcedureContext& context,
                   const std::function<void(std::size_t row, int value)>& fill);

// "Checking present Bi-D parameter": the four memo lines.
Result ShowPresentBidValues(ProcedureContext& context);

// Writes every row given an entry (the checked rows, as typed), in table order, one report
// line each; a failing row is reported and the others are still written; FinishAdjustWrite once
// at the end. Returns the values registered, by row.
using BidValues = std::array<std::optional<int>, kBidRowCount>;
BidValues WriteBidRows(ProcedureContext& context,
                       const std::array<std::optional<std::string>, kBidRowCount>& entries);

}  // namespace vantor::procedures
