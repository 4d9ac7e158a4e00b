// Values an adjustment wrote, read back from the EEPROM once the printer has taken the writes:
// only what it holds afterwards is reported as registered.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "adjust/procedures/Bench.h"

namespace vantor::procedures {

struct WrittenValue {
  WrittenValue(std::string what, std::string entry, std::uint8_t at, std::uint8_t byte,
               bool signedByte = true)
      : name(std::move(what)),
        text(std::move(entry)),
        address(at),
        value(byte),
        isSigned(signedByte) {}
  bool Confirmed() const { return held == value; }

  std::string name;  // as the window names the value: "VSD3 Color"
  std::string text;  // as the technician gave it: "9", "+3"
  std::uint8_t address;
  std::uint8_t value;
  bool isSigned;                     // how the value read back is shown
  std::optional<std::uint8_t> held;  // what the EEPROM holds, once read back
};

// Reads each value back in order; a link failure ends the reading and is returned unreported.
Result ReadBack(Link& link, std::span<WrittenValue> values);

// Reports `failure` (the writes' or the reading's), then names in red every value that is not
// confirmed. Returns the failure, kNotConfirmed (reported) when the reading went well but a
// value does not hold, or kOk.
Result ReportUnconfirmed(Reporter& reporter, std::span<const WrittenValue> values, Result failure);

// Both, for writes that ended with `written`: read back only when the writes went.
Result ConfirmWrites(Bench& bench, std::span<WrittenValue> values, Result written);

// The service record's entry: the values confirmed, what the EEPROM holds in place of those read
// back otherwise, and the result with the names of those not confirmed.
void RecordConfirmed(Bench& bench, std::string_view operation, std::span<const WrittenValue> values,
                     Result result);

}  // namespace vantor::procedures
