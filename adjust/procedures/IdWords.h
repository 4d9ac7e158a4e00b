// The words of the head ID and USB ID workflows, and of the format faults ReportResult shows.
#pragma once

#include <string_view>

#include "adjust/procedures/Messages.h"
#include "ids/Malheadid.h"
#include "ids/Malusbid.h"

namespace vantor {

// What the head ID and USB ID workflows show around the IDs.
namespace idwords {
inline constexpr std::string_view kHeadIdIs = "Head ID = ";
inline constexpr std::string_view kHeadIdTyped = "13 digits that you typed  \"";
inline constexpr std::string_view kHeadIdRegistered = "\"  were correctly registered.";
inline constexpr std::string_view kUsbIdIs = "USB ID = ";
inline constexpr std::string_view kUsbIdAs = "As USB ID, \"";
inline constexpr std::string_view kUsbIdRegistered = "\" has been registered in EEPROM.";
inline constexpr std::string_view kUsbIdWrittenBefore =
    "Written to EEPROM as USB ID before this failure: \"";
inline constexpr std::string_view kUsbIdWrittenEnd = "\"";
}  // namespace idwords

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

// A range failure goes below whatever the memo holds, even the lines of an earlier OK; on an
// empty memo it is the whole text, in red.
class BidRangeWords final : public FormatWords {
 public:
  void Set(std::string_view words) { words_ = words; }
  void ShowWords(Reporter& reporter) const override;

 private:
  std::string_view words_;
};

}  // namespace vantor
