// The words of the head ID and USB ID format faults, shown by ReportResult.
#pragma once

#include "adjust/Messages.h"
#include "ids/Malheadid.h"
#include "ids/Malusbid.h"

namespace vantor {

class HeadIdWords final : public FormatWords {
 public:
  explicit HeadIdWords(const Malheadid& headId) : headId_(headId) {}
  void ShowWords(Reporter& reporter) const override;

 private:
  const Malheadid& headId_;
};

class UsbIdWords final : public FormatWords {
 public:
  explicit UsbIdWords(const Malusbid& usbId) : usbId_(usbId) {}
  void ShowWords(Reporter& reporter) const override;

 private:
  const Malusbid& usbId_;
};

}  // namespace vantor
