// The USB port lookup against interfaces registered through SetupAPI and the registry: the
// printer's port driver class with "PortName" values, and Windows' own printing class.
#include <windows.h>
// After windows.h, which it needs.
#include <gtest/gtest.h>
#include <setupapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "link/backends/PortDefaults.h"
#include "link/backends/PortTexts.h"
#include "link/backends/UsbPortRegistry_win.h"

namespace vantor {
namespace {

constexpr GUID kPrintClass = {
    0x28d78fad, 0x5a12, 0x11d1, {0xae, 0x5b, 0x00, 0x00, 0xf8, 0x03, 0xa8, 0xc2}};
constexpr const char* kEnumerator = "ROOT\\VANTORLOOKUPTEST\\";

std::string InstanceId(HDEVINFO set, SP_DEVINFO_DATA& info) {
  char id[200] = {};  // a device instance ID is at most 200 characters
  return SetupDiGetDeviceInstanceIdA(set, &info, id, sizeof id, nullptr) ? id : "";
}

// Leaves no device of an earlier, interrupted run behind.
void RemoveTestDevices() {
  HDEVINFO set = SetupDiGetClassDevsA(nullptr, "ROOT", nullptr, DIGCF_ALLCLASSES);
  if (set == INVALID_HANDLE_VALUE) return;
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i)
    if (InstanceId(set, info).starts_with(kEnumerator)) SetupDiRemoveDevice(set, &info);
  SetupDiDestroyDeviceInfoList(set);
}

// Registers device `number` with one interface of `cls`, present (linked) as a running driver
// leaves it; a port name is written to its device key unless none is given. Returns the path.
std::string Register(int number, const GUID& cls, const char* portName) {
  HDEVINFO set = SetupDiCreateDeviceInfoList(&cls, nullptr);
  char id[64];
  std::snprintf(id, sizeof id, "%s%04d", kEnumerator, number);
  SP_DEVINFO_DATA info{};
  info.cbSize = sizeof info;
  SP_DEVICE_INTERFACE_DATA iface{};
  iface.cbSize = sizeof iface;
  std::string path;
  if (SetupDiCreateDeviceInfoA(set, id, &cls, nullptr, nullptr, 0, &info) &&
      SetupDiRegisterDeviceInfo(set, &info, 0, nullptr, nullptr, nullptr) &&
      SetupDiCreateDeviceInterfaceA(set, &info, &cls, nullptr, 0, &iface)) {
    DWORD size = 0;
    SetupDiGetDeviceInterfaceDetailA(set, &iface, nullptr, 0, &size, nullptr);
    std::vector<char> storage(size);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
    detail->cbSize = sizeof *detail;
    if (SetupDiGetDeviceInterfaceDetailA(set, &iface, detail, size, nullptr, nullptr))
      path = detail->DevicePath;
  }
  if (portName) {
    HKEY key =
        SetupDiCreateDevRegKeyA(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr, nullptr);
    if (key != INVALID_HANDLE_VALUE) {
      RegSetValueExA(key, "PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(portName),
                     static_cast<DWORD>(std::strlen(portName) + 1));
      RegCloseKey(key);
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  // "Linked" under the interface's Control key is what marks it present; volatile as a
  // driver's is, so it goes with the Wine session.
  char guid[40];
  std::snprintf(guid, sizeof guid, "{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", cls.Data1,
                cls.Data2, cls.Data3, cls.Data4[0], cls.Data4[1], cls.Data4[2], cls.Data4[3],
                cls.Data4[4], cls.Data4[5], cls.Data4[6], cls.Data4[7]);
  const std::string control = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\" +
                              std::string(guid) + "\\##?#" + path.substr(4) + "\\#\\Control";
  HKEY key;
  if (path.size() > 4 &&
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, control.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
    const DWORD linked = 1;
    RegSetValueExA(key, "Linked", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&linked),
                   sizeof linked);
    RegCloseKey(key);
  }
  return path;
}

std::string Render(const UsbLookup& lookup) {
  if (lookup.failure) return "fails at " + lookup.failedPath;
  std::string text;
  for (const auto& c : lookup.candidates) text += (text.empty() ? "" : " ") + c.path;
  return text;
}

UsbLookup LookUp(std::size_t index) {
  WindowsUsbPortRegistry registry;
  return LookUpUsbPort(index, registry);
}

class UsbPortLookupWin : public ::testing::Test {
 protected:
  void SetUp() override { RemoveTestDevices(); }
  void TearDown() override { RemoveTestDevices(); }
};

TEST_F(UsbPortLookupWin, RegisteredPortNamesLeadToTheirInterfaces) {
  Register(0, kUsbPortDriverClass, "LPT1:");
  const std::string lower = Register(1, kUsbPortDriverClass, "tvusb3:");
  const std::string second = Register(2, kUsbPortDriverClass, "TVUSB2:");
  Register(3, kUsbPortDriverClass, "TVUSB2:");
  const std::string printer = Register(4, kPrintClass, nullptr);
  ASSERT_FALSE(second.empty()) << "Wine refused the registration";

  EXPECT_EQ(Render(LookUp(1)), second + " \\\\.\\TVUSB2:");
  EXPECT_EQ(Render(LookUp(2)), lower + " \\\\.\\TVUSB3:");
  EXPECT_EQ(Render(LookUp(0)), "\\\\.\\TVUSB1: " + printer);

  PortTable table;
  AddDefaultPorts(table);
  EXPECT_EQ(table.Describe("TVUSB2"), second + " (USB port driver, by PortName)");
  // Wine has neither the direct name nor a device behind the paths: the failure lists each.
  OpenFailure why;
  EXPECT_EQ(table.Open("TVUSB1", InterfaceKind::Usb, why), nullptr);
  EXPECT_EQ(why.reason, "\\\\.\\TVUSB1: does not exist; " + printer + " does not exist");
}

TEST_F(UsbPortLookupWin, AMemberWithoutDeviceKeyEndsTheLookup) {
  const std::string second = Register(0, kUsbPortDriverClass, "TVUSB2:");
  const std::string keyless = Register(1, kUsbPortDriverClass, nullptr);
  ASSERT_FALSE(keyless.empty()) << "Wine refused the registration";

  EXPECT_EQ(Render(LookUp(1)), second + " \\\\.\\TVUSB2:");
  EXPECT_EQ(Render(LookUp(0)), "fails at " + keyless);

  PortTable table;
  AddDefaultPorts(table);
  OpenFailure why;
  EXPECT_EQ(table.Open("TVUSB1", InterfaceKind::Usb, why), nullptr);
  EXPECT_TRUE(why.reason.starts_with(texts::kPortKeyRefused)) << why.reason;
}

}  // namespace
}  // namespace vantor
