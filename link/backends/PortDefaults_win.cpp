// The port table on Windows: every port is a device file opened through a driver Windows
// already has (the printer's USB port driver, USB printing, parallel class), so normal printing
// keeps working beside this program.
#include <string>

#include "link/DeviceFile.h"
#include "link/backends/PortDefaults.h"
#include "link/backends/PortTexts.h"
#include "link/backends/UsbPortLookup.h"
#include "link/backends/UsbPortRegistry_win.h"

namespace vantor {

namespace {

std::unique_ptr<PortDevice> OpenRoute(const PortRoute& route, InterfaceKind kind,
                                      OpenFailure& why) {
  if (route.backend != Backend::DeviceFile) {
    why.reason = std::string(texts::kNoDevice);
    return nullptr;
  }
  return OpenDeviceFile(DeviceFileOptions{route.device, {}}, kind, why);
}

UsbLookup LookUpUsbPortNow(std::size_t index) {
  WindowsUsbPortRegistry registry;
  return LookUpUsbPort(index, registry);
}

std::unique_ptr<PortDevice> OpenUsbPort(std::size_t index, InterfaceKind kind, OpenFailure& why) {
  return OpenUsbLookup(
      LookUpUsbPortNow(index),
      [kind](const UsbCandidate& candidate, OpenFailure& failure) {
        return OpenDeviceFile(DeviceFileOptions{candidate.path, {}}, kind, failure);
      },
      why);
}

}  // namespace

PortRoute RouteParallelPort(std::size_t index) {
  return PortRoute{Backend::DeviceFile, "\\\\.\\LPT" + std::to_string(index + 1), std::nullopt};
}

PortRoute RouteTarget(std::string_view target, const std::string&) {
  return PortRoute{Backend::DeviceFile, std::string(target), std::nullopt};
}

std::string DescribeRoute(const PortRoute& route) {
  if (route.backend == Backend::None) return {};
  return route.device + " (" + std::string(BackendName(route.backend)) + ")";
}

void AddDefaultPorts(PortTable& table) {
  for (std::size_t i = 0; i < 3; ++i) {
    const PortRoute lpt = RouteParallelPort(i);
    table.Set("LPT" + std::to_string(i + 1), DescribeRoute(lpt),
              [lpt](InterfaceKind kind, OpenFailure& why) { return OpenRoute(lpt, kind, why); });
    // Looked up again on open: the printer may have been plugged in since the table was made.
    table.Set("TVUSB" + std::to_string(i + 1), DescribeUsbLookup(LookUpUsbPortNow(i)),
              [i](InterfaceKind kind, OpenFailure& why) { return OpenUsbPort(i, kind, why); });
  }
}

bool OverridePort(PortTable& table, std::string_view name, std::string_view target,
                  std::string& why) {
  if (!PortCodeFromName(name)) {
    why = "unknown interface name " + std::string(name);
    return false;
  }
  if (target.empty()) {
    why = "no device given for " + std::string(name);
    return false;
  }
  if (target.starts_with("usb:")) {
    why =
        "usb:BUS:ADDR needs libusb, which is not used on Windows; give the device path "
        "`vantorctl ports` shows";
    return false;
  }
  const PortRoute route = RouteTarget(target, {});
  table.Set(name, DescribeRoute(route), [route](InterfaceKind kind, OpenFailure& failure) {
    return OpenRoute(route, kind, failure);
  });
  return true;
}

}  // namespace vantor
