#include "link/backends/PortDefaults.h"

namespace vantor {

std::string_view BackendName(Backend backend) {
  switch (backend) {
    case Backend::None:
      return "none";
    case Backend::DeviceFile:
      return "device file";
    case Backend::Libusb:
      return "libusb";
    case Backend::Ppdev:
      return "ppdev";
  }
  return "";
}

}  // namespace vantor
