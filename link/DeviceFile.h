// A port device reached through a device file: the kernel's USB printer or parallel driver,
// or a pseudo-terminal served by the virtual printer.
#pragma once

#include <memory>
#include <string>

#include "PortDevice.h"

namespace vantor {

struct DeviceFileOptions {
  std::string path;
  // Read when neither the printer ioctl nor sysfs give a device ID; empty for "<path>.device-id".
  std::string deviceIdFile;
};

// nullptr with the reason when the file cannot be opened (missing, busy, no permission).
std::unique_ptr<PortDevice> OpenDeviceFile(const DeviceFileOptions& options, InterfaceKind kind,
                                           OpenFailure& why);

// The default device-ID file beside a device path.
std::string DeviceIdFileFor(const std::string& path);
// The lock a serving virtual printer holds beside its link while it runs.
std::string LockFileFor(const std::string& path);
// A link a server made that no live server holds any more.
bool IsStaleServerLink(const std::string& path);

}  // namespace vantor
