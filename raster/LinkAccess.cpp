#include "raster/LinkAccess.h"

#include <algorithm>
#include <string>

namespace vantor {

namespace {

// Copies at most N - 1 characters and always ends the text.
template <std::size_t N>
void CopyText(const std::string& from, std::array<char, N>& to) {
  const std::size_t n = std::min(from.size(), N - 1);
  std::copy_n(from.begin(), n, to.begin());
  to[n] = '\0';
}

}  // namespace

Result LinkAccess::QueuePrintData(std::span<const std::uint8_t> bytes) {
  return link_.channel.QueuePrintData(bytes);
}

Result LinkAccess::FlushPrintData() {
  return link_.channel.FlushPrintData();
}

Result LinkAccess::WaitUntilReady() {
  return link_.channel.WaitUntilReady();
}

Result LinkAccess::ReadEepromByte(std::uint8_t address, std::uint8_t& value) {
  return link_.channel.ReadEepromByte(address, value);
}

Result LinkAccess::FactoryReadEepromByte(std::uint8_t address, std::uint8_t& value) {
  return link_.factory.FactoryReadEepromByte(address, value);
}

Result LinkAccess::SetBidValues(std::uint8_t dotType, int black, int colour) {
  return link_.factory.SetBidValues(dotType, black, colour);
}

Result LinkAccess::AfterFailure(const std::function<Result()>& step) {
  const std::int16_t portError = link_.port.PortError();
  const std::int16_t channelError = link_.channel.ChannelError();
  const Result r = step();
  link_.port.RestoreError(portError);
  link_.channel.RestoreError(channelError);
  return r;
}

Result LinkAccess::SetPfValue(std::int8_t value) {
  return link_.factory.SetPfValue(static_cast<std::uint8_t>(value));
}

Result LinkAccess::FinishAdjustWrite() {
  return link_.factory.FinishAdjustWrite();
}

Result LinkAccess::FactoryCommandD1(std::uint8_t value) {
  return link_.factory.FactoryCommandD1(value);
}

Result LinkAccess::FactoryCommandCB() {
  return link_.factory.FactoryCommandCB();
}

Result LinkAccess::ReadProtectionCounter(CounterText& text) {
  std::string value;
  VANTOR_TRY(link_.maintenance.ReadProtectionCounter(value));
  CopyText(value, text);
  return kOk;
}

Result LinkAccess::ReadHeadId(HeadIdText& text) {
  std::string id;
  VANTOR_TRY(headId_.ReadHeadID(link_.channel, id));
  CopyText(id, text);
  return kOk;
}

Result LinkAccess::ReadUsbId(UsbIdText& text) {
  std::string id;
  VANTOR_TRY(usbId_.ReadUSBID(link_.channel, id));
  CopyText(id, text);
  return kOk;
}

void LinkAccess::SleepMs(std::int64_t ms) {
  link_.channel.GetClock().SleepMs(ms);
}

int LinkAccess::ModelIndex() const {
  switch (link_.channel.SelectedModel()) {
    case Model::Q40:
      return 0;
    case Model::Q30:
      return 1;
    default:
      return -1;
  }
}

}  // namespace vantor
