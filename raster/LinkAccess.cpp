#include "raster/LinkAccess.h"

#include <algorithm>
#include <string>

#include "raster/Malbid.h"

namespace vantor {

namespace {

// Copies at most N - 1 characters and always ends the text.
template <std::size_t N>
void CopyText(const std::string& from, std::array<char, N>& to) {
  const std::size_t n = std::min(from.size(), N - 1);
  std::copy_n(from.begin(), n, to.begin());
  to[n] = '\0';
}

int ModelIndex(Model model) {
  switch (model) {
    case Model::Q40:
      return 0;
    case Model::Q30:
      return 1;
    default:
      return -1;
  }
}

}  // namespace

Result LinkAccess::QueuePrintData(std::span<const std::uint8_t> bytes) {
  return link_.channel.QueuePrintData(bytes);
}

Result LinkAccess::QueueRuns(std::span<const std::uint8_t> runs) {
  // The channel checks its credits when data is queued. Split the line only after the run that
  // fills a packet, so the checks fall where they would if every run were queued alone.
  while (!runs.empty()) {
    const std::size_t room = link_.channel.PrintDataRoom();
    const std::size_t n = std::min(runs.size(), room + room % 2);
    VANTOR_TRY(link_.channel.QueuePrintData(runs.first(n)));
    runs = runs.subspan(n);
  }
  return kOk;
}

Result LinkAccess::FlushPrintData() {
  return link_.channel.FlushPrintData();
}

Result LinkAccess::WaitUntilReady() {
  return link_.channel.WaitUntilReady();
}

Result LinkAccess::AfterFailure(const std::function<Result()>& step) {
  return KeepingFailureCause(link_, step);
}

Result LinkAccess::SetBidValues(std::uint8_t dotType, int black, int colour) {
  return link_.factory.SetBidValues(dotType, black, colour);
}

Result LinkAccess::FactoryCommandD1(std::uint8_t value) {
  return link_.factory.FactoryCommandD1(value);
}

Result LinkAccess::FactoryCommandCB() {
  return link_.factory.FactoryCommandCB();
}

Result LinkAccess::ReadPfValue(std::uint8_t& value) {
  return link_.channel.ReadEepromByte(eeprom::kPfValue, value);
}

void LinkAccess::SleepMs(std::int64_t ms) {
  link_.channel.GetClock().SleepMs(ms);
}

Result LinkAccess::ReadStoredBid(StoredBid& stored) {
  for (std::size_t i = 0; i < eeprom::kBidReadOrder.size(); ++i)
    VANTOR_TRY(link_.channel.ReadEepromByte(eeprom::kBidReadOrder[i], stored[i]));
  return kOk;
}

Result LinkAccess::ReadCheckReadouts(CheckReadouts& readouts) {
  std::string text;
  VANTOR_TRY(link_.maintenance.ReadProtectionCounter(text));
  CopyText(text, readouts.counter);
  VANTOR_TRY(headId_.ReadHeadID(link_.channel, text));
  CopyText(text, readouts.headId);
  VANTOR_TRY(usbId_.ReadUSBID(link_.channel, text));
  CopyText(text, readouts.usbId);
  VANTOR_TRY(ReadStoredBid(readouts.bid));
  readouts.model = ModelIndex(link_.channel.SelectedModel());
  return kOk;
}

}  // namespace vantor
