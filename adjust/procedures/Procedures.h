// The printer procedures of the maintenance, EEPROM and CR dispersion workflows, shared by the
// window and vantorctl. Each reports its failures through the Reporter unless said otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "adjust/procedures/ProcedureContext.h"

namespace vantor::procedures {

Result HeadCleaning(ProcedureContext& context);
Result InkCharge(ProcedureContext& context);
Result CheckProtectionCounter(ProcedureContext& context);
// Old type clears to 0; new type sets 3937. The memo is cleared first.
Result ClearProtectionCounter(ProcedureContext& context, bool newType);
Result ShowPageCounter(ProcedureContext& context);
Result ShowPassCounter(ProcedureContext& context);

// A link failure shows the modal "Communication error." box, not the memo.
Result InitializeEeprom(ProcedureContext& context);

struct EepromRange {
  std::uint8_t start = 0;
  std::uint8_t end = 0;
};
enum class InputField { Start, End };
// Checks two typed addresses as the window does; on a fault shows "Input data is wrong.",
// names the edit that gets the focus and returns kInputRejected.
Result CheckEepromRange(ProcedureContext& context, std::string_view start, std::string_view end,
                        EepromRange& range, InputField& focus);
// Reads the range byte by byte in table order, handing each to cell. A failure is returned
// without being reported, so the window can change its panel first.
Result ReadEepromRange(ProcedureContext& context, EepromRange range,
                       const std::function<void(std::uint8_t address, std::uint8_t value)>& cell);
// Checks and writes one byte, then shows the two lines "Address = .." and "Data = ..".
// An input fault is shown and returned as kInputRejected.
Result ChangeEepromByte(ProcedureContext& context, std::string_view address, std::string_view data);

struct ReplacedParts {
  bool mainBoard = false;
  bool psBoard = false;
  bool crMotor = false;
  bool crGuideShaft = false;
};
// Measures when the guide shaft was replaced with one of the others, else registers the fixed
// value; asks the technician through the display's question box first.
// stored, when given, receives the value written to the EEPROM.
Result CrMotorDriveDispersion(ProcedureContext& context, ReplacedParts parts,
                              const FactoryCommands::Progress& progress = {},
                              std::optional<std::int8_t>* stored = nullptr);

}  // namespace vantor::procedures
