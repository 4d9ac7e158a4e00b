// The USB port lookup's questions answered by SetupAPI and the registry.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <setupapi.h>

#include <vector>

#include "link/backends/UsbPortLookup.h"

namespace vantor {

// The device-interface class the printer's USB port driver registers its ports under.
inline constexpr GUID kUsbPortDriverClass = {
    0x762bb1b4, 0x5164, 0x11d1, {0xb0, 0x0b, 0x00, 0xc0, 0xd1, 0x57, 0x0f, 0x9e}};

class WindowsUsbPortRegistry final : public UsbPortRegistry {
 public:
  WindowsUsbPortRegistry() = default;
  ~WindowsUsbPortRegistry() override;
  WindowsUsbPortRegistry(const WindowsUsbPortRegistry&) = delete;
  WindowsUsbPortRegistry& operator=(const WindowsUsbPortRegistry&) = delete;

  bool ListPortInterfaces() override;
  Member PortInterface(std::size_t index, std::string& path) override;
  bool ReadPortName(std::size_t index, std::optional<std::string>& value,
                    std::string& why) override;
  bool DirectNameExists(std::size_t index) override;
  std::vector<std::string> PrintClassPaths() override;

 private:
  HDEVINFO set_ = INVALID_HANDLE_VALUE;
  std::vector<SP_DEVINFO_DATA> members_;  // by index, as their details filled them in
};

}  // namespace vantor
