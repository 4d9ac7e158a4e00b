#include "link/backends/UsbPortRegistry_win.h"

#include <cstdint>

#include "link/WinText.h"
#include "link/backends/UsbPrintClass_win.h"

namespace vantor {

WindowsUsbPortRegistry::~WindowsUsbPortRegistry() {
  if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
}

bool WindowsUsbPortRegistry::ListPortInterfaces() {
  if (set_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(set_);
  members_.clear();
  set_ = SetupDiGetClassDevsA(&kUsbPortDriverClass, nullptr, nullptr,
                              DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  return set_ != INVALID_HANDLE_VALUE;
}

UsbPortRegistry::Member WindowsUsbPortRegistry::PortInterface(std::size_t index,
                                                              std::string& path) {
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  if (!SetupDiEnumDeviceInterfaces(set_, nullptr, &kUsbPortDriverClass, static_cast<DWORD>(index),
                                   &data)) {
    return Member::End;
  }
  // First ask for the size, then fetch the path with the member's device record.
  DWORD size = 0;
  SetupDiGetDeviceInterfaceDetailA(set_, &data, nullptr, 0, &size, nullptr);
  if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return Member::DetailFailed;
  std::vector<std::uint8_t> storage(size);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  if (!SetupDiGetDeviceInterfaceDetailA(set_, &data, detail, size, nullptr, &info))
    return Member::DetailFailed;
  if (members_.size() <= index) members_.resize(index + 1);
  members_[index] = info;
  path = detail->DevicePath;
  return Member::Listed;
}

bool WindowsUsbPortRegistry::ReadPortName(std::size_t index, std::optional<std::string>& value,
                                          std::string& why) {
  value.reset();
  if (index >= members_.size()) return false;
  HKEY key =
      SetupDiOpenDevRegKey(set_, &members_[index], DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_ALL_ACCESS);
  if (key == INVALID_HANDLE_VALUE) {
    why = win::ErrorText(GetLastError());
    return false;
  }
  char text[64] = {};
  DWORD size = sizeof text;
  // A value that does not fit is as good as none.
  if (RegQueryValueExA(key, "PortName", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) ==
      ERROR_SUCCESS) {
    value = std::string(text, strnlen(text, sizeof text));
  }
  RegCloseKey(key);
  return true;
}

bool WindowsUsbPortRegistry::DirectNameExists(std::size_t index) {
  char target[512] = {};
  return QueryDosDeviceA(UsbPortName(index).c_str(), target, sizeof target) != 0;
}

std::vector<std::string> WindowsUsbPortRegistry::PrintClassPaths() {
  std::vector<std::string> paths;
  for (const auto& found : FindUsbPrintInterfaces()) paths.push_back(found.path);
  return paths;
}

}  // namespace vantor
