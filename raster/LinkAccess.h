// The print sink and job steps over the program's link, and the reads the print procedures
// make before a job.
#pragma once

#include "ids/Malheadid.h"
#include "ids/Malusbid.h"
#include "link/Link.h"
#include "raster/PrintSink.h"

namespace vantor {

class LinkAccess final : public PrintSink, public JobSteps {
 public:
  // The head ID and USB ID modules keep the detail code of their last failure, which the
  // caller's ReportResult shows; pass the ones whose words are registered.
  LinkAccess(Link& link, Malheadid& headId, Malusbid& usbId)
      : link_(link), headId_(headId), usbId_(usbId) {}

  Result QueuePrintData(std::span<const std::uint8_t> bytes) override;
  Result QueueRuns(std::span<const std::uint8_t> runs) override;
  Result FlushPrintData() override;

  Result WaitUntilReady() override;
  Result SetBidValues(std::uint8_t dotType, int black, int colour) override;
  Result AfterFailure(const std::function<Result()>& step) override;
  Result FactoryCommandD1(std::uint8_t value) override;
  Result FactoryCommandCB() override;
  Result ReadPfValue(std::uint8_t& value) override;
  void SleepMs(std::int64_t ms) override;

  // The eight stored Bi-D values in eeprom::kBidReadOrder, over the data channel.
  Result ReadStoredBid(StoredBid& stored);
  // Counter, head ID, USB ID and the Bi-D values, in that order, and the selected model.
  Result ReadCheckReadouts(CheckReadouts& readouts);

  Link& GetLink() { return link_; }

 private:
  Link& link_;
  Malheadid& headId_;
  Malusbid& usbId_;
};

}  // namespace vantor
