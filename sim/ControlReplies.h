// The printer's answers on the control channel: status, "rs" and the EEPROM frames.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "link/Model.h"
#include "sim/EepromStore.h"
#include "sim/Faults.h"

namespace vantor::sim {

class PrinterMechanism;

class ControlReplies {
 public:
  ControlReplies(Model model, EepromStore& store, PrinterMechanism& mechanism, Faults& faults)
      : model_(model), store_(store), mechanism_(mechanism), faults_(faults) {}

  // The reply text to one control command's payload.
  std::string Reply(std::span<const std::uint8_t> payload);

 private:
  std::string EepromFrameReply(std::span<const std::uint8_t> payload);

  Model model_;
  EepromStore& store_;
  PrinterMechanism& mechanism_;
  Faults& faults_;
};

// The text an EEPROM read answers with, on either channel.
std::string EepromReadText(std::uint8_t address, std::uint8_t value);

}  // namespace vantor::sim
