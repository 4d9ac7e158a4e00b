#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <string>

#include "link/DeviceFile.h"
#include "link/backends/ParallelBackend.h"
#include "link/backends/PortDefaults.h"
#include "link/backends/PortTexts.h"

namespace vantor {

namespace {

namespace fs = std::filesystem;

constexpr unsigned kPpdevMajor = 99;
constexpr std::string_view kUsbfsPrefix = "/dev/bus/usb/";

// The usblp device file of an interface, if the kernel driver has made one.
std::string UsblpFileOf(const UsbPrinterInfo& info, const std::string& root) {
  std::error_code ec;
  const fs::path dir = fs::path(root + "/sys/bus/usb/devices") / info.SysfsName() / "usbmisc";
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("lp")) return "/dev/usb/" + name;
  }
  return {};
}

std::unique_ptr<PortDevice> OpenRoute(const PortRoute& route, std::size_t usbIndex,
                                      InterfaceKind kind, OpenFailure& why) {
  switch (route.backend) {
    case Backend::DeviceFile:
      return OpenDeviceFile(DeviceFileOptions{route.device, {}}, kind, why);
    case Backend::Ppdev:
      return OpenParallelPort(route.device, why);
    case Backend::Libusb:
      if (route.usb) return OpenUsbPrinter({route.usb->bus, route.usb->address}, why);
      if (const auto address = ParseUsbSelector(route.device)) return OpenUsbPrinter(*address, why);
      return OpenUsbPrinterAt(usbIndex, why);
    case Backend::None:
      break;
  }
  why.reason = std::string(texts::kNoDevice);
  return nullptr;
}

}  // namespace

PortRoute RouteUsbPort(std::size_t index, const std::vector<UsbPrinterInfo>& printers,
                       const std::string& root) {
  PortRoute route;
  if (index < printers.size()) {
    route.usb = printers[index];
    if (std::string file = UsblpFileOf(printers[index], root); !file.empty()) {
      route.backend = Backend::DeviceFile;
      route.device = std::move(file);
    } else {
      route.backend = Backend::Libusb;
      route.device = printers[index].Selector();
    }
    return route;
  }
  // Without libusb's view (it could not start, or sees no printer) the usblp files are taken
  // in their own order; with it, a file beyond the list would repeat one already mapped.
  if (!printers.empty()) return route;
  const std::string file = "/dev/usb/lp" + std::to_string(index);
  std::error_code ec;
  if (fs::exists(root + file, ec)) {
    route.backend = Backend::DeviceFile;
    route.device = file;
  }
  return route;
}

PortRoute RouteParallelPort(std::size_t index) {
  return PortRoute{Backend::Ppdev, "/dev/parport" + std::to_string(index), std::nullopt};
}

PortRoute RouteTarget(std::string_view target, const std::string& root) {
  PortRoute route;
  route.device = std::string(target);
  if (ParseUsbSelector(target)) {
    route.backend = Backend::Libusb;
    return route;
  }
  if (target.starts_with(kUsbfsPrefix)) {
    // /dev/bus/usb/BBB/DDD names a USB device by bus and address, as lsusb shows them.
    const std::string rest(target.substr(kUsbfsPrefix.size()));
    const auto slash = rest.find('/');
    if (slash != std::string::npos) {
      try {
        const std::string selector = "usb:" + std::to_string(std::stoi(rest.substr(0, slash))) +
                                     ":" + std::to_string(std::stoi(rest.substr(slash + 1)));
        if (ParseUsbSelector(selector)) {
          route.backend = Backend::Libusb;
          route.device = selector;
          return route;
        }
      } catch (const std::exception&) {
      }
    }
  }
  struct stat info {};
  const std::string path = root + route.device;
  if (::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode) &&
      major(info.st_rdev) == kPpdevMajor) {
    route.backend = Backend::Ppdev;
    return route;
  }
  route.backend = Backend::DeviceFile;
  return route;
}

std::string DescribeRoute(const PortRoute& route) {
  if (route.backend == Backend::None) return {};
  return route.device + " (" + std::string(BackendName(route.backend)) + ")";
}

void AddDefaultPorts(PortTable& table) {
  const auto printers = FindUsbPrinters();
  for (std::size_t i = 0; i < 3; ++i) {
    const PortRoute lpt = RouteParallelPort(i);
    table.Set("LPT" + std::to_string(i + 1), DescribeRoute(lpt),
              [lpt](InterfaceKind kind, OpenFailure& why) { return OpenRoute(lpt, 0, kind, why); });
    // Resolved again on open: the printer may have been plugged in since the table was made.
    table.Set("TVUSB" + std::to_string(i + 1), DescribeRoute(RouteUsbPort(i, printers)),
              [i](InterfaceKind kind, OpenFailure& why) {
                const PortRoute route = RouteUsbPort(i, FindUsbPrinters());
                if (route.backend == Backend::None) {
                  why.reason = std::string(texts::kNoUsbPrinter);
                  return std::unique_ptr<PortDevice>();
                }
                return OpenRoute(route, i, kind, why);
              });
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
  if (target.starts_with("usb:") && !ParseUsbSelector(target)) {
    why = "a USB device is given as usb:BUS:ADDR, not " + std::string(target);
    return false;
  }
  const PortRoute route = RouteTarget(target);
  table.Set(name, DescribeRoute(route), [route](InterfaceKind kind, OpenFailure& failure) {
    return OpenRoute(route, 0, kind, failure);
  });
  return true;
}

}  // namespace vantor
