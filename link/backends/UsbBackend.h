// USB printer-class interfaces reached through libusb, for machines where the kernel's printer
// driver gives no usable device file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/Clock.h"
#include "link/PortDevice.h"

namespace vantor {

// One bidirectional printer-class interface found on the bus.
struct UsbPrinterInfo {
  std::uint8_t bus = 0;
  std::vector<std::uint8_t> portPath;  // hub ports from the root, stable while the wiring stays
  std::uint8_t address = 0;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::uint8_t configIndex = 0;
  std::uint8_t configValue = 1;
  std::uint8_t interfaceNumber = 0;
  std::uint8_t altSetting = 0;
  std::uint8_t protocol = 0;  // 2 bidirectional, 3 IEEE 1284.4
  std::uint8_t endpointOut = 0;
  std::uint8_t endpointIn = 0;
  std::uint16_t maxPacketIn = 64;

  // "usb:BUS:ADDR", the form --device accepts.
  std::string Selector() const;
  // The kernel's name of the interface, "1-4.2:1.0".
  std::string SysfsName() const;
};

// TVUSB1 is always the first of these while the wiring stays: by bus, then hub port path.
void SortUsbPrinters(std::vector<UsbPrinterInfo>& printers);

// Printer-class interfaces present now, sorted. An empty list when libusb cannot start.
std::vector<UsbPrinterInfo> FindUsbPrinters();

// "usb:BUS:ADDR" (decimal, as lsusb shows them); nullopt for any other text.
struct UsbAddress {
  int bus = 0;
  int address = 0;
};
std::optional<UsbAddress> ParseUsbSelector(std::string_view text);

// The transfers the backend needs from a claimed interface; tests put a fake printer here.
class UsbPipe {
 public:
  enum class Status { Ok, Timeout, Failed };
  virtual ~UsbPipe() = default;
  virtual Status BulkOut(std::span<const std::uint8_t> bytes, std::size_t& done,
                         unsigned timeoutMs) = 0;
  virtual Status BulkIn(std::span<std::uint8_t> buffer, std::size_t& done, unsigned timeoutMs) = 0;
  // GET_DEVICE_ID class request; the bytes received, 0 on failure.
  virtual std::size_t GetDeviceId(std::span<std::uint8_t> buffer) = 0;
  virtual std::size_t MaxPacketIn() const = 0;
};

// The port device over a pipe. Replies are framed by their 1284.4 header, so a reply the
// printer sends in several transfers still reaches the port as one.
class UsbPrinterDevice final : public PortDevice {
 public:
  UsbPrinterDevice(std::unique_ptr<UsbPipe> pipe, Clock& clock);
  // Owns its clock: the port table's openers have none to lend.
  UsbPrinterDevice(std::unique_ptr<UsbPipe> pipe, std::unique_ptr<Clock> clock);
  ~UsbPrinterDevice() override;

  IoResult Write(std::span<const std::uint8_t> bytes, std::int64_t limitMs) override;
  IoResult Read(std::span<std::uint8_t> buffer, std::int64_t limitMs) override;
  IoResult ReadReply(std::span<std::uint8_t> buffer, std::int64_t limitMs) override;
  std::size_t DeviceId(std::span<std::uint8_t> buffer) override;

 private:
  // One bulk IN transfer appended to pending_; false on a transfer failure.
  bool Fill(std::int64_t deadlineMs, bool& gotSome);
  std::size_t TakePending(std::span<std::uint8_t> buffer, std::size_t most);

  std::unique_ptr<UsbPipe> pipe_;
  std::unique_ptr<Clock> ownedClock_;
  Clock& clock_;
  std::vector<std::uint8_t> pending_;  // bytes received but not yet handed out
  std::size_t replyLeft_ = 0;          // rest of a reply larger than the caller's buffer
};

// Opens the printer at `index` (0 = TVUSB1) of FindUsbPrinters(), or the one at a bus address.
std::unique_ptr<PortDevice> OpenUsbPrinterAt(std::size_t index, OpenFailure& why);
std::unique_ptr<PortDevice> OpenUsbPrinter(UsbAddress address, OpenFailure& why);

}  // namespace vantor
