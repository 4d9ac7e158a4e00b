// The built-in port table of this machine, and the --device overrides.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/PortDevice.h"
#include "link/backends/UsbBackend.h"

namespace vantor {

// LPT1-LPT3 and TVUSB1-TVUSB3 mapped to this machine's ports.
void AddDefaultPorts(PortTable& table);

// Points NAME at a device given as "PATH" (a device file) or another form a backend knows.
// Returns false with a reason when the name or the form is not known.
bool OverridePort(PortTable& table, std::string_view name, std::string_view target,
                  std::string& why);

enum class Backend { None, DeviceFile, Libusb, Ppdev };
std::string_view BackendName(Backend backend);

// Where a name leads on this machine: the device (a path, or "usb:BUS:ADDR") and the backend
// that reaches it.
struct PortRoute {
  Backend backend = Backend::None;
  std::string device;
  std::optional<UsbPrinterInfo> usb;
};

// TVUSB<index+1>: the index-th printer of `printers`, through its usblp device file when the
// kernel driver gives one and through libusb otherwise. `root` prefixes /sys and /dev.
PortRoute RouteUsbPort(std::size_t index, const std::vector<UsbPrinterInfo>& printers,
                       const std::string& root = "");
PortRoute RouteParallelPort(std::size_t index);
// The route a --device target asks for.
PortRoute RouteTarget(std::string_view target, const std::string& root = "");

// The table's description of a route: the device first, then the backend in brackets.
std::string DescribeRoute(const PortRoute& route);

}  // namespace vantor
