// Which device TVUSB1-TVUSB3 open on Windows: the printer's own USB port driver, found by the
// "PortName" its interfaces carry, else the driver's direct device name, else a printer of
// Windows' own USB printing class for PCs without that driver. The system is reached through
// UsbPortRegistry so the steps can run against a fake.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/PortDevice.h"

namespace vantor {

class UsbPortRegistry {
 public:
  enum class Member { Listed, DetailFailed, End };

  virtual ~UsbPortRegistry() = default;
  // Takes the list of present interfaces of the port driver's class; false when it cannot.
  virtual bool ListPortInterfaces() = 0;
  // Member `index` of that list and its device path; DetailFailed when Windows gave no detail.
  virtual Member PortInterface(std::size_t index, std::string& path) = 0;
  // The "PortName" of a listed member: false (with why) when its device key cannot be
  // opened; value stays empty when the key holds no readable text.
  virtual bool ReadPortName(std::size_t index, std::optional<std::string>& value,
                            std::string& why) = 0;
  // Whether the driver's direct device name for port `index` exists now.
  virtual bool DirectNameExists(std::size_t index) = 0;
  // The interfaces of Windows' own USB printing class, in a stable order.
  virtual std::vector<std::string> PrintClassPaths() = 0;
};

enum class UsbWay { PortDriver, DirectName, PrintClass };
std::string_view UsbWayName(UsbWay way);

struct UsbCandidate {
  UsbWay way;
  std::string path;
};

struct UsbLookup {
  std::size_t index = 0;  // TVUSB<index+1>
  // Opened in this order; the first that opens is the port.
  std::vector<UsbCandidate> candidates;
  // Set when the driver's list or a member's device key could not be had: nothing is tried.
  std::optional<std::string> failure;
  std::string failedPath;  // the member whose key failed, if one did
  bool directNameExists = false;
};

// "TVUSB2:" for index 1: the value a port driver interface carries.
std::string UsbPortName(std::size_t index);
// "\\.\TVUSB2:" for index 1.
std::string UsbDirectName(std::size_t index);

UsbLookup LookUpUsbPort(std::size_t index, UsbPortRegistry& registry);

// "DEVICE (WAY)" as the port table describes a name: the first candidate that is there now
// (a direct name Windows does not know is passed over); empty when none is.
std::string DescribeUsbLookup(const UsbLookup& lookup);

using CandidateOpener =
    std::function<std::unique_ptr<PortDevice>(const UsbCandidate&, OpenFailure&)>;
// Opens the candidates in turn; on failure `why` lists what each one answered.
std::unique_ptr<PortDevice> OpenUsbLookup(const UsbLookup& lookup, const CandidateOpener& open,
                                          OpenFailure& why);

}  // namespace vantor
