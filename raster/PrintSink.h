// What the encoder and the pattern generators need of the printer: a sink for print data, and
// the few printer commands a job interleaves with it. Everything a job reads from the printer
// is read by its procedure beforehand and passed in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "link/Result.h"

namespace vantor {

// What takes the printer time, told by the encoder as it queues it.
enum class PrintWork { Band, LineFeed, FormFeed };

class PrintSink {
 public:
  virtual ~PrintSink() = default;

  virtual Result QueuePrintData(std::span<const std::uint8_t> bytes) = 0;
  // One raster line of two-byte repeat runs, in one call.
  virtual Result QueueRuns(std::span<const std::uint8_t> runs) { return QueuePrintData(runs); }
  virtual Result FlushPrintData() = 0;
  virtual void Printing(PrintWork /*work*/) {}
};

// Printer commands inside a job, at fixed places in its print data. Every operation returns
// the link's result unchanged.
class JobSteps {
 public:
  virtual ~JobSteps() = default;

  virtual Result WaitUntilReady() = 0;
  // Dot type 4..7; -128 in a field leaves that value in the printer unchanged.
  virtual Result SetBidValues(std::uint8_t dotType, int black, int colour) = 0;
  virtual Result FactoryCommandD1(std::uint8_t value) = 0;
  virtual Result FactoryCommandCB() = 0;
  // The stored PF value, which the check pattern reads only when it prints it.
  virtual Result ReadPfValue(std::uint8_t& value) = 0;
  virtual void SleepMs(std::int64_t ms) = 0;
  // A clean-up step after a failed job: whatever it does, the job's failure keeps its cause.
  virtual Result AfterFailure(const std::function<Result()>& step) { return step(); }
};

// Readout texts of the check pattern, each with room for its terminating zero byte.
using CounterText = std::array<char, 6>;
using HeadIdText = std::array<char, 14>;
using UsbIdText = std::array<char, 19>;

// Stored Bi-D values in the order the jobs read them (see eeprom::kBidReadOrder), as stored bytes.
using StoredBid = std::array<std::uint8_t, 8>;

// What the check pattern prints from the printer, read before anything prints.
struct CheckReadouts {
  CounterText counter{};
  HeadIdText headId{};
  UsbIdText usbId{};
  StoredBid bid{};
  // Index in the start window's model list: 0 "Vantor Q40", 1 "Vantor Q30", -1 none.
  int model = -1;
};

}  // namespace vantor
