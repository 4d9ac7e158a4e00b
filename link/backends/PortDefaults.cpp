#include "link/backends/PortDefaults.h"

#include <string>

#include "link/DeviceFile.h"

namespace vantor {

namespace {
PortTable::Opener FileOpener(std::string path) {
  return [path](InterfaceKind kind, OpenFailure& why) {
    return OpenDeviceFile(DeviceFileOptions{path, {}}, kind, why);
  };
}
}  // namespace

void AddDefaultPorts(PortTable& table) {
  for (int i = 0; i < 3; ++i) {
    const std::string lpt = "/dev/parport" + std::to_string(i);
    table.Set("LPT" + std::to_string(i + 1), lpt, FileOpener(lpt));
    const std::string usb = "/dev/usb/lp" + std::to_string(i);
    table.Set("TVUSB" + std::to_string(i + 1), usb, FileOpener(usb));
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
  table.Set(name, std::string(target), FileOpener(std::string(target)));
  return true;
}

}  // namespace vantor
