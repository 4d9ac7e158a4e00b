#include "raster/PrintPace.h"

#include <algorithm>

#include "link/PacketChannel.h"
#include "link/PrinterPace.h"

namespace vantor {

void PrintPace::Printing(PrintWork work) {
  switch (work) {
    case PrintWork::Band:
      return Queue(pace::kBandMs);
    case PrintWork::LineFeed:
      return Queue(pace::kTextLineMs);
    case PrintWork::FormFeed:
      return Queue(pace::kEjectMs);
  }
}

void PrintPace::Queue(std::int64_t ms) {
  printerMs_ = std::max(printerMs_, programMs_) + ms;
}

Result PrintPace::WaitUntilReady() {
  // The program sees the end at its next status poll.
  constexpr std::int64_t poll = PacketChannel::kPollMs;
  if (printerMs_ > programMs_) programMs_ += (printerMs_ - programMs_ + poll - 1) / poll * poll;
  return kOk;
}

Result PrintPace::FactoryCommandD1(std::uint8_t) {
  Queue(pace::kShortCommandMs);
  return kOk;
}

Result PrintPace::FactoryCommandCB() {
  Queue(pace::kShortCommandMs);
  return kOk;
}

Result PrintPace::ReadPfValue(std::uint8_t& value) {
  value = 0;
  return kOk;
}

std::int64_t PrintPace::ElapsedMs() {
  (void)WaitUntilReady();
  return programMs_;
}

}  // namespace vantor
