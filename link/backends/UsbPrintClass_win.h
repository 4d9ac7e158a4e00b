// The USB printer-class interfaces Windows' own printer driver offers, in a stable order.
#pragma once

#include <string>
#include <vector>

namespace vantor {

struct UsbPrintInterface {
  std::string path;      // what CreateFile opens
  std::string location;  // the hub ports from the root, as Windows names them; the sort key
};

// Present now, sorted by location, so TVUSB1 stays the same printer while the wiring stays.
std::vector<UsbPrintInterface> FindUsbPrintInterfaces();

}  // namespace vantor
