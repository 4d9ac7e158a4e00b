// A print job run against the printer's usual pace instead of a printer: how long it keeps the
// program waiting, from its first byte until the printer is ready again.
#pragma once

#include <cstdint>

#include "raster/PrintSink.h"

namespace vantor {

class PrintPace final : public PrintSink, public JobSteps {
 public:
  Result QueuePrintData(std::span<const std::uint8_t>) override { return kOk; }
  Result FlushPrintData() override { return kOk; }
  void Printing(PrintWork work) override;

  Result WaitUntilReady() override;
  Result SetBidValues(std::uint8_t, int, int) override { return kOk; }
  Result FactoryCommandD1(std::uint8_t) override;
  Result FactoryCommandCB() override;
  Result ReadPfValue(std::uint8_t& value) override;
  void SleepMs(std::int64_t ms) override { programMs_ += ms; }

  // Work the printer queues behind what it has (it starts once the program sends it).
  void Queue(std::int64_t ms);
  // Until the printer is ready after all of it: the done message waits for that.
  std::int64_t ElapsedMs();

 private:
  std::int64_t programMs_ = 0;
  std::int64_t printerMs_ = 0;  // when the printer's queued work ends
};

}  // namespace vantor
