#include "link/backends/UsbPrintClass_win.h"

#include <windows.h>
// After windows.h, which it needs.
#include <setupapi.h>

#include <algorithm>
#include <tuple>

#include "link/WinText.h"

namespace vantor {

namespace {

// The device-interface class the USB printing driver registers each printer interface under.
constexpr GUID kUsbPrintInterface = {
    0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};

// The first location path ("PCIROOT(0)#PCI(1400)#USBROOT(0)#USB(2)"), else the location text.
std::string LocationOf(HDEVINFO set, SP_DEVINFO_DATA& info) {
  for (const DWORD property : {DWORD{SPDRP_LOCATION_PATHS}, DWORD{SPDRP_LOCATION_INFORMATION}}) {
    wchar_t text[1024] = {};
    if (SetupDiGetDeviceRegistryPropertyW(set, &info, property, nullptr,
                                          reinterpret_cast<BYTE*>(text), sizeof text - 4, nullptr))
      return win::Narrow(text);
  }
  return {};
}

}  // namespace

std::vector<UsbPrintInterface> FindUsbPrintInterfaces() {
  std::vector<UsbPrintInterface> found;
  HDEVINFO set = SetupDiGetClassDevsW(&kUsbPrintInterface, nullptr, nullptr,
                                      DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) return found;
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  for (DWORD i = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &kUsbPrintInterface, i, &data); ++i) {
    DWORD size = 0;
    SetupDiGetDeviceInterfaceDetailW(set, &data, nullptr, 0, &size, nullptr);
    if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) continue;
    std::vector<std::uint8_t> storage(size);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    if (!SetupDiGetDeviceInterfaceDetailW(set, &data, detail, size, nullptr, &info)) continue;
    found.push_back({win::Narrow(detail->DevicePath), LocationOf(set, info)});
  }
  SetupDiDestroyDeviceInfoList(set);
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
    return std::tie(a.location, a.path) < std::tie(b.location, b.path);
  });
  return found;
}

}  // namespace vantor
