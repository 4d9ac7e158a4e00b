// The generators' printer access over the program's link.
#pragma once

#include "ids/Malheadid.h"
#include "ids/Malusbid.h"
#include "link/Link.h"
#include "raster/PrinterAccess.h"

namespace vantor {

class LinkAccess final : public PrinterAccess {
 public:
  // The head ID and USB ID modules keep the detail code of their last failure, which the
  // caller's ReportResult shows; pass the ones whose words are registered.
  LinkAccess(Link& link, Malheadid& headId, Malusbid& usbId)
      : link_(link), headId_(headId), usbId_(usbId) {}

  Result QueuePrintData(std::span<const std::uint8_t> bytes) override;
  Result FlushPrintData() override;
  Result WaitUntilReady() override;
  Result ReadEepromByte(std::uint8_t address, std::uint8_t& value) override;
  Result FactoryReadEepromByte(std::uint8_t address, std::uint8_t& value) override;
  Result SetBidValues(std::uint8_t dotType, int black, int colour) override;
  Result SetPfValue(std::int8_t value) override;
  Result FinishAdjustWrite() override;
  Result FactoryCommandD1(std::uint8_t value) override;
  Result FactoryCommandCB() override;
  Result ReadProtectionCounter(CounterText& text) override;
  Result ReadHeadId(HeadIdText& text) override;
  Result ReadUsbId(UsbIdText& text) override;
  Result AfterFailure(const std::function<Result()>& step) override;
  void SleepMs(std::int64_t ms) override;
  int ModelIndex() const override;

  Link& GetLink() { return link_; }

 private:
  Link& link_;
  Malheadid& headId_;
  Malusbid& usbId_;
};

}  // namespace vantor
