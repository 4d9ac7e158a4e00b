// What the encoder and the pattern generators need of the printer link.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "link/Result.h"

namespace vantor {

// Readout texts of the check pattern, each with room for its terminating zero byte.
using CounterText = std::array<char, 6>;
using HeadIdText = std::array<char, 14>;
using UsbIdText = std::array<char, 19>;

// The generators reach the printer only through this, so a job can also be generated into a
// recorder or a counting sink. Every operation returns the link's result unchanged.
class PrinterAccess {
 public:
  virtual ~PrinterAccess() = default;

  virtual Result QueuePrintData(std::span<const std::uint8_t> bytes) = 0;
  virtual Result FlushPrintData() = 0;
  virtual Result WaitUntilReady() = 0;
  virtual Result ReadEepromByte(std::uint8_t address, std::uint8_t& value) = 0;
  virtual Result FactoryReadEepromByte(std::uint8_t address, std::uint8_t& value) = 0;

  // Dot type 4..7; -128 in a field leaves that value in the printer unchanged.
  virtual Result SetBidValues(std::uint8_t dotType, int black, int colour) = 0;
  virtual Result SetPfValue(std::int8_t value) = 0;
  virtual Result FinishAdjustWrite() = 0;
  virtual Result FactoryCommandD1(std::uint8_t value) = 0;
  virtual Result FactoryCommandCB() = 0;

  // Each fills a zero-terminated text.
  virtual Result ReadProtectionCounter(CounterText& text) = 0;
  virtual Result ReadHeadId(HeadIdText& text) = 0;
  virtual Result ReadUsbId(UsbIdText& text) = 0;

  // A clean-up step after a failed job: whatever it does, the job's failure keeps its cause.
  virtual Result AfterFailure(const std::function<Result()>& step) { return step(); }

  virtual void SleepMs(std::int64_t ms) = 0;
  // Index in the start window's model list: 0 "Vantor Q40", 1 "Vantor Q30", -1 none.
  virtual int ModelIndex() const = 0;
};

}  // namespace vantor
