#include "link/backends/UsbBackend.h"

#include <libusb.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <tuple>

#include "link/PrinterPort.h"
#include "link/backends/PortTexts.h"

namespace vantor {

namespace {

constexpr std::uint8_t kPrinterClass = 7;
constexpr std::uint8_t kPrinterSubclass = 1;
constexpr std::uint8_t kProtocolBidirectional = 2;
constexpr std::uint8_t kProtocol1284_4 = 3;
constexpr std::size_t kHeaderSize = 6;
// A header announcing more than the port takes is no reply; the bytes go up as they came.
constexpr std::size_t kLargestFrame = kPortBufferSize;
constexpr unsigned kDeviceIdTimeoutMs = 5000;
// Class request, device to host, to the interface.
constexpr std::uint8_t kGetDeviceIdRequestType = 0xA1;

// libusb treats 0 as "wait for ever"; our deadlines must never ask for that.
unsigned TimeoutFor(std::int64_t remainingMs) {
  return static_cast<unsigned>(std::clamp<std::int64_t>(remainingMs, 1, 0x7FFFFFFF));
}

class LibusbPipe final : public UsbPipe {
 public:
  LibusbPipe(libusb_context* context, libusb_device_handle* handle, UsbPrinterInfo info)
      : context_(context), handle_(handle), info_(std::move(info)) {}
  ~LibusbPipe() override {
    // Releasing re-attaches the kernel driver that the claim detached.
    libusb_release_interface(handle_, info_.interfaceNumber);
    libusb_close(handle_);
    libusb_exit(context_);
  }
  LibusbPipe(const LibusbPipe&) = delete;
  LibusbPipe& operator=(const LibusbPipe&) = delete;

  Status BulkOut(std::span<const std::uint8_t> bytes, std::size_t& done,
                 unsigned timeoutMs) override {
    const int length = static_cast<int>(std::min<std::size_t>(bytes.size(), 0x100000));
    int transferred = 0;
    const int rc =
        libusb_bulk_transfer(handle_, info_.endpointOut, const_cast<std::uint8_t*>(bytes.data()),
                             length, &transferred, timeoutMs);
    done = static_cast<std::size_t>(std::max(transferred, 0));
    return StatusOf(rc);
  }

  Status BulkIn(std::span<std::uint8_t> buffer, std::size_t& done, unsigned timeoutMs) override {
    int transferred = 0;
    const int rc = libusb_bulk_transfer(handle_, info_.endpointIn, buffer.data(),
                                        static_cast<int>(buffer.size()), &transferred, timeoutMs);
    done = std::min(static_cast<std::size_t>(std::max(transferred, 0)), buffer.size());
    return StatusOf(rc);
  }

  std::size_t GetDeviceId(std::span<std::uint8_t> buffer) override {
    const auto length = static_cast<std::uint16_t>(std::min<std::size_t>(buffer.size(), 0xFFFF));
    const int rc = libusb_control_transfer(
        handle_, kGetDeviceIdRequestType, 0, info_.configIndex,
        static_cast<std::uint16_t>((info_.interfaceNumber << 8) | info_.altSetting), buffer.data(),
        length, kDeviceIdTimeoutMs);
    return rc > 0 ? std::min(static_cast<std::size_t>(rc), buffer.size()) : 0;
  }

  std::size_t MaxPacketIn() const override { return std::max<std::size_t>(info_.maxPacketIn, 8); }

 private:
  static Status StatusOf(int rc) {
    if (rc == 0) return Status::Ok;
    if (rc == LIBUSB_ERROR_TIMEOUT) return Status::Timeout;
    return Status::Failed;
  }
  libusb_context* context_;
  libusb_device_handle* handle_;
  UsbPrinterInfo info_;
};

// The printer-class setting of one interface, preferring the plain bidirectional protocol:
// the link runs 1284.4 itself over the byte stream.
const libusb_interface_descriptor* PrinterSetting(const libusb_interface& interface) {
  const libusb_interface_descriptor* best = nullptr;
  for (int a = 0; a < interface.num_altsetting; ++a) {
    const auto& alt = interface.altsetting[a];
    if (alt.bInterfaceClass != kPrinterClass || alt.bInterfaceSubClass != kPrinterSubclass)
      continue;
    if (alt.bInterfaceProtocol != kProtocolBidirectional &&
        alt.bInterfaceProtocol != kProtocol1284_4)
      continue;
    if (!best || (alt.bInterfaceProtocol == kProtocolBidirectional &&
                  best->bInterfaceProtocol != kProtocolBidirectional))
      best = &alt;
  }
  return best;
}

bool FillEndpoints(const libusb_interface_descriptor& alt, UsbPrinterInfo& info) {
  for (int e = 0; e < alt.bNumEndpoints; ++e) {
    const auto& ep = alt.endpoint[e];
    if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
    if (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) {
      if (!info.endpointIn) {
        info.endpointIn = ep.bEndpointAddress;
        info.maxPacketIn = ep.wMaxPacketSize;
      }
    } else if (!info.endpointOut) {
      info.endpointOut = ep.bEndpointAddress;
    }
  }
  return info.endpointIn && info.endpointOut;
}

void AddPrintersOf(libusb_device* device, std::vector<UsbPrinterInfo>& out) {
  libusb_device_descriptor descriptor{};
  if (libusb_get_device_descriptor(device, &descriptor) != 0) return;
  libusb_config_descriptor* active = nullptr;
  if (libusb_get_active_config_descriptor(device, &active) != 0 || !active) return;
  UsbPrinterInfo base;
  base.bus = libusb_get_bus_number(device);
  base.address = libusb_get_device_address(device);
  base.vendorId = descriptor.idVendor;
  base.productId = descriptor.idProduct;
  base.configValue = active->bConfigurationValue;
  std::array<std::uint8_t, 8> ports{};
  const int depth = libusb_get_port_numbers(device, ports.data(), static_cast<int>(ports.size()));
  if (depth > 0) base.portPath.assign(ports.begin(), ports.begin() + depth);
  // GET_DEVICE_ID wants the index of the configuration, not its value.
  for (std::uint8_t i = 0; i < descriptor.bNumConfigurations; ++i) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_config_descriptor(device, i, &config) != 0 || !config) continue;
    const bool same = config->bConfigurationValue == active->bConfigurationValue;
    libusb_free_config_descriptor(config);
    if (same) {
      base.configIndex = i;
      break;
    }
  }
  for (int i = 0; i < active->bNumInterfaces; ++i) {
    const auto* alt = PrinterSetting(active->interface[i]);
    if (!alt) continue;
    UsbPrinterInfo info = base;
    info.interfaceNumber = alt->bInterfaceNumber;
    info.altSetting = alt->bAlternateSetting;
    info.protocol = alt->bInterfaceProtocol;
    if (FillEndpoints(*alt, info)) out.push_back(std::move(info));
  }
  libusb_free_config_descriptor(active);
}

std::vector<UsbPrinterInfo> ListPrinters(libusb_context* context) {
  std::vector<UsbPrinterInfo> printers;
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context, &list);
  for (ssize_t i = 0; i < count; ++i) AddPrintersOf(list[i], printers);
  if (list) libusb_free_device_list(list, 1);
  SortUsbPrinters(printers);
  return printers;
}

std::string DeviceNode(const UsbPrinterInfo& info) {
  char path[32];
  std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", info.bus, info.address);
  return path;
}

std::unique_ptr<PortDevice> OpenFound(libusb_context* context, const UsbPrinterInfo& info,
                                      OpenFailure& why) {
  libusb_device** list = nullptr;
  const ssize_t count = libusb_get_device_list(context, &list);
  libusb_device* device = nullptr;
  for (ssize_t i = 0; i < count; ++i) {
    if (libusb_get_bus_number(list[i]) == info.bus &&
        libusb_get_device_address(list[i]) == info.address)
      device = list[i];
  }
  libusb_device_handle* handle = nullptr;
  const int opened = device ? libusb_open(device, &handle) : LIBUSB_ERROR_NO_DEVICE;
  if (list) libusb_free_device_list(list, 1);
  const std::string node = DeviceNode(info);
  if (opened != 0) {
    why.reason =
        std::string(opened == LIBUSB_ERROR_ACCESS ? texts::kPermissionDenied : texts::kDeviceGone) +
        " (" + node + ")";
    libusb_exit(context);
    return nullptr;
  }
  libusb_set_auto_detach_kernel_driver(handle, 1);
  int claimed = libusb_claim_interface(handle, info.interfaceNumber);
  if (claimed == 0 && info.altSetting != 0)
    claimed = libusb_set_interface_alt_setting(handle, info.interfaceNumber, info.altSetting);
  if (claimed != 0) {
    why.reason = std::string(claimed == LIBUSB_ERROR_BUSY     ? texts::kBusy
                             : claimed == LIBUSB_ERROR_ACCESS ? texts::kPermissionDenied
                                                              : texts::kClaimFailed) +
                 " (" + node + ")";
    if (claimed != LIBUSB_ERROR_BUSY) libusb_release_interface(handle, info.interfaceNumber);
    libusb_close(handle);
    libusb_exit(context);
    return nullptr;
  }
  return std::make_unique<UsbPrinterDevice>(std::make_unique<LibusbPipe>(context, handle, info),
                                            std::make_unique<SystemClock>());
}

}  // namespace

std::string UsbPrinterInfo::Selector() const {
  return "usb:" + std::to_string(bus) + ":" + std::to_string(address);
}

std::string UsbPrinterInfo::SysfsName() const {
  std::string name = std::to_string(bus) + "-";
  for (std::size_t i = 0; i < portPath.size(); ++i) {
    if (i) name += '.';
    name += std::to_string(portPath[i]);
  }
  return name + ":" + std::to_string(configValue) + "." + std::to_string(interfaceNumber);
}

void SortUsbPrinters(std::vector<UsbPrinterInfo>& printers) {
  std::stable_sort(printers.begin(), printers.end(), [](const auto& a, const auto& b) {
    return std::tie(a.bus, a.portPath, a.interfaceNumber) <
           std::tie(b.bus, b.portPath, b.interfaceNumber);
  });
}

std::vector<UsbPrinterInfo> FindUsbPrinters() {
  libusb_context* context = nullptr;
  if (libusb_init(&context) != 0) return {};
  auto printers = ListPrinters(context);
  libusb_exit(context);
  return printers;
}

std::optional<UsbAddress> ParseUsbSelector(std::string_view text) {
  constexpr std::string_view prefix = "usb:";
  if (!text.starts_with(prefix)) return std::nullopt;
  text.remove_prefix(prefix.size());
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  UsbAddress address;
  const auto parse = [](std::string_view part, int& value) {
    if (part.empty()) return false;
    const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), value);
    return ec == std::errc() && end == part.data() + part.size() && value >= 1 && value <= 255;
  };
  if (!parse(text.substr(0, colon), address.bus) || !parse(text.substr(colon + 1), address.address))
    return std::nullopt;
  return address;
}

std::unique_ptr<PortDevice> OpenUsbPrinterAt(std::size_t index, OpenFailure& why) {
  libusb_context* context = nullptr;
  if (libusb_init(&context) != 0) {
    why.reason = std::string(texts::kUsbUnavailable);
    return nullptr;
  }
  const auto printers = ListPrinters(context);
  if (index >= printers.size()) {
    why.reason = std::string(texts::kNoUsbPrinter);
    libusb_exit(context);
    return nullptr;
  }
  return OpenFound(context, printers[index], why);
}

std::unique_ptr<PortDevice> OpenUsbPrinter(UsbAddress address, OpenFailure& why) {
  libusb_context* context = nullptr;
  if (libusb_init(&context) != 0) {
    why.reason = std::string(texts::kUsbUnavailable);
    return nullptr;
  }
  for (const auto& info : ListPrinters(context)) {
    if (info.bus == address.bus && info.address == address.address)
      return OpenFound(context, info, why);
  }
  why.reason = std::string(texts::kNotAPrinter);
  libusb_exit(context);
  return nullptr;
}

UsbPrinterDevice::UsbPrinterDevice(std::unique_ptr<UsbPipe> pipe, Clock& clock)
    : pipe_(std::move(pipe)), clock_(clock) {}

UsbPrinterDevice::UsbPrinterDevice(std::unique_ptr<UsbPipe> pipe, std::unique_ptr<Clock> clock)
    : pipe_(std::move(pipe)), ownedClock_(std::move(clock)), clock_(*ownedClock_) {}

UsbPrinterDevice::~UsbPrinterDevice() = default;

IoResult UsbPrinterDevice::Write(std::span<const std::uint8_t> bytes, std::int64_t limitMs) {
  const std::int64_t deadline = clock_.NowMs() + std::max<std::int64_t>(limitMs, 1);
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const std::int64_t remaining = deadline - clock_.NowMs();
    if (remaining <= 0) break;
    std::size_t done = 0;
    const auto status = pipe_->BulkOut(bytes.subspan(sent), done, TimeoutFor(remaining));
    sent += std::min(done, bytes.size() - sent);
    if (status == UsbPipe::Status::Failed) return {false, sent};
    // The transfer was given all the time left; a time-out means the deadline has passed.
    if (status == UsbPipe::Status::Timeout) break;
  }
  return {true, sent};
}

bool UsbPrinterDevice::Fill(std::int64_t deadlineMs, bool& gotSome) {
  gotSome = false;
  // Whole packets, so a printer sending more than asked cannot overflow the transfer.
  const std::size_t packet = pipe_->MaxPacketIn();
  const std::size_t size = (4096 + packet - 1) / packet * packet;
  std::vector<std::uint8_t> chunk(size);
  std::size_t done = 0;
  const auto status = pipe_->BulkIn(chunk, done, TimeoutFor(deadlineMs - clock_.NowMs()));
  done = std::min(done, chunk.size());
  if (status == UsbPipe::Status::Failed) return false;
  pending_.insert(pending_.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(done));
  gotSome = done > 0;
  return true;
}

std::size_t UsbPrinterDevice::TakePending(std::span<std::uint8_t> buffer, std::size_t most) {
  const std::size_t n = std::min({buffer.size(), most, pending_.size()});
  std::copy_n(pending_.begin(), n, buffer.begin());
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
  return n;
}

IoResult UsbPrinterDevice::Read(std::span<std::uint8_t> buffer, std::int64_t limitMs) {
  if (pending_.empty()) {
    const std::int64_t deadline = clock_.NowMs() + std::max<std::int64_t>(limitMs, 1);
    bool got = false;
    while (!got && clock_.NowMs() < deadline) {
      if (!Fill(deadline, got)) return {false, 0};
    }
  }
  const std::size_t n = TakePending(buffer, pending_.size());
  replyLeft_ -= std::min(replyLeft_, n);
  return {true, n};
}

IoResult UsbPrinterDevice::ReadReply(std::span<std::uint8_t> buffer, std::int64_t limitMs) {
  if (replyLeft_ > 0) {
    const std::size_t n = TakePending(buffer, replyLeft_);
    replyLeft_ -= n;
    return {true, n};
  }
  const std::int64_t deadline = clock_.NowMs() + std::max<std::int64_t>(limitMs, 1);
  while (pending_.empty()) {
    if (clock_.NowMs() >= deadline) return {true, 0};
    bool got = false;
    if (!Fill(deadline, got)) return {false, 0};
  }
  // A reply has begun: it has the 10-second rule to come complete.
  const std::int64_t completion = clock_.NowMs() + kTransferLimitMs;
  std::size_t whole = 0;
  for (;;) {
    if (pending_.size() >= kHeaderSize) {
      const std::size_t length = pending_[2] * 256u + pending_[3];
      whole = (length < kHeaderSize || length > kLargestFrame) ? pending_.size() : length;
      if (pending_.size() >= whole) break;
    }
    if (clock_.NowMs() >= completion) {
      pending_.clear();  // a torn reply would shift every later one
      return {false, 0};
    }
    bool got = false;
    if (!Fill(completion, got)) {
      pending_.clear();
      return {false, 0};
    }
  }
  const std::size_t n = TakePending(buffer, whole);
  replyLeft_ = whole - n;
  return {true, n};
}

std::size_t UsbPrinterDevice::DeviceId(std::span<std::uint8_t> buffer) {
  std::array<std::uint8_t, 1024> reply{};
  const std::size_t got = std::min(pipe_->GetDeviceId(reply), reply.size());
  const std::size_t n = std::min(got, buffer.size());
  std::copy_n(reply.begin(), n, buffer.begin());
  return n;
}

}  // namespace vantor
