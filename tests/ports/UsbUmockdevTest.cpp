// A USB printer made of sysfs entries and usbfs ioctls (umockdev), reached through the real
// libusb code path. Runs under umockdev-wrapper, which preloads the interposer.
#include <gtest/gtest.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <umockdev.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "link/PrinterPort.h"
#include "link/backends/PortDefaults.h"
#include "link/backends/PortDoctor.h"
#include "link/backends/UsbBackend.h"

namespace vantor {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Device descriptor (vendor 0x5A5A, product 0x0040) and one configuration with a printer-class
// interface 7/1/2, bulk OUT 0x01 and bulk IN 0x82 of 512 bytes.
constexpr const char* kPrinterDescriptors =
    "12010002000000405A5A4000000101020301"
    "09022000010100C001"
    "090400000207010200"
    "07050102000200"
    "07058202000200";
constexpr const char* kHubDescriptors =
    "12010002090001406B1D0200000103020101"
    "0902190001010000E000"
    "090400000109000000"
    "0705810304000C";

const std::string kId = "MFG:Vantor;MDL:Q40;CLS:PRINTER;";

// The printer side: answers each 1284.4 packet it receives, in two transfers to exercise
// the framing, and the GET_DEVICE_ID class request.
struct Printer {
  std::mutex mutex;
  bool claimed = false;
  bool silent = false;
  std::deque<Bytes> outgoing;
  std::vector<Bytes> received;
  Bytes lastSetup;
  std::vector<UMockdevIoctlData*> inFlightIn;  // IN transfers waiting for data
  std::deque<UMockdevIoctlData*> done;         // transfers ready to reap
};

void Answer(Printer& printer, const Bytes& packet) {
  if (printer.silent || packet.size() < 7) return;
  // Reply: same sockets, length 8, credit 1, command + 0x80, result 0.
  Bytes reply = {
      packet[0], packet[1], 0x00, 0x08, 0x01, 0x00, static_cast<std::uint8_t>(packet[6] + 0x80),
      0x00};
  printer.outgoing.emplace_back(reply.begin(), reply.begin() + 3);
  printer.outgoing.emplace_back(reply.begin() + 3, reply.end());
}

void Deliver(Printer& printer) {
  while (!printer.inFlightIn.empty() && !printer.outgoing.empty()) {
    UMockdevIoctlData* data = printer.inFlightIn.front();
    printer.inFlightIn.erase(printer.inFlightIn.begin());
    auto* urb = reinterpret_cast<usbdevfs_urb*>(data->data);
    const Bytes next = std::move(printer.outgoing.front());
    printer.outgoing.pop_front();
    const std::size_t n = std::min<std::size_t>(next.size(), urb->buffer_length);
    std::memcpy(urb->buffer, next.data(), n);
    urb->actual_length = static_cast<int>(n);
    urb->status = 0;
    printer.done.push_back(data);
  }
}

gboolean HandleIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer user) {
  auto& printer = *static_cast<Printer*>(user);
  std::lock_guard lock(printer.mutex);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  switch (umockdev_ioctl_client_get_request(client)) {
    case USBDEVFS_GET_CAPABILITIES: {
      g_autoptr(UMockdevIoctlData) d =
          umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
      *reinterpret_cast<guint32*>(d->data) = USBDEVFS_CAP_BULK_CONTINUATION |
                                             USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                             USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    }
    case USBDEVFS_DISCONNECT_CLAIM:
    case USBDEVFS_CLAIMINTERFACE:
      if (printer.claimed) {
        umockdev_ioctl_client_complete(client, -1, EBUSY);
      } else {
        printer.claimed = true;
        umockdev_ioctl_client_complete(client, 0, 0);
      }
      return TRUE;
    case USBDEVFS_RELEASEINTERFACE:
      printer.claimed = false;
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    case USBDEVFS_IOCTL:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESET:
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    case USBDEVFS_SUBMITURB: {
      UMockdevIoctlData* urbData =
          umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
      auto* urb = reinterpret_cast<usbdevfs_urb*>(urbData->data);
      g_autoptr(UMockdevIoctlData) buffer = umockdev_ioctl_data_resolve(
          urbData, G_STRUCT_OFFSET(usbdevfs_urb, buffer), urb->buffer_length, nullptr);
      auto* bytes = static_cast<std::uint8_t*>(urb->buffer);
      if (urb->type == USBDEVFS_URB_TYPE_CONTROL) {
        printer.lastSetup.assign(bytes, bytes + 8);
        // GET_DEVICE_ID: class, interface, device to host.
        if (bytes[0] == 0xA1 && bytes[1] == 0) {
          Bytes reply = {0x00, static_cast<std::uint8_t>(kId.size() + 2)};
          reply.insert(reply.end(), kId.begin(), kId.end());
          const std::size_t room = static_cast<std::size_t>(urb->buffer_length) - 8;
          const std::size_t n = std::min(reply.size(), room);
          std::memcpy(bytes + 8, reply.data(), n);
          urb->actual_length = static_cast<int>(n);
          urb->status = 0;
        } else {
          urb->status = -EPIPE;
        }
        printer.done.push_back(urbData);
      } else if (urb->endpoint == 0x01) {
        printer.received.emplace_back(bytes, bytes + urb->buffer_length);
        Answer(printer, printer.received.back());
        urb->actual_length = urb->buffer_length;
        urb->status = 0;
        printer.done.push_back(urbData);
      } else {
        printer.inFlightIn.push_back(urbData);
      }
      Deliver(printer);
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    }
    case USBDEVFS_DISCARDURB: {
      const auto address = reinterpret_cast<gulong>(*reinterpret_cast<void**>(arg->data));
      for (auto it = printer.inFlightIn.begin(); it != printer.inFlightIn.end(); ++it) {
        if ((*it)->client_addr == address) {
          reinterpret_cast<usbdevfs_urb*>((*it)->data)->status = -ENOENT;
          reinterpret_cast<usbdevfs_urb*>((*it)->data)->actual_length = 0;
          printer.done.push_back(*it);
          printer.inFlightIn.erase(it);
          umockdev_ioctl_client_complete(client, 0, 0);
          return TRUE;
        }
      }
      umockdev_ioctl_client_complete(client, -1, EINVAL);
      return TRUE;
    }
    case USBDEVFS_REAPURB:
    case USBDEVFS_REAPURBNDELAY: {
      if (printer.done.empty()) {
        umockdev_ioctl_client_complete(client, -1, EAGAIN);
        return TRUE;
      }
      UMockdevIoctlData* urbData = printer.done.front();
      printer.done.pop_front();
      g_autoptr(UMockdevIoctlData) pointer =
          umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
      umockdev_ioctl_data_set_ptr(pointer, 0, urbData);
      umockdev_ioctl_data_unref(urbData);
      umockdev_ioctl_client_complete(client, 0, 0);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

class UmockdevPrinter : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* preload = std::getenv("LD_PRELOAD");
    if (!preload || !std::strstr(preload, "umockdev-preload")) {
      GTEST_SKIP() << "needs umockdev-wrapper";
    }
    testbed = umockdev_testbed_new();
    handler = umockdev_ioctl_base_new();
    g_signal_connect(handler, "handle-ioctl", G_CALLBACK(HandleIoctl), &printer);
    AddDevice("/devices/usb1", "001", "001", kHubDescriptors, false);
    // Plugged in on hub port 3 first (address 2), then on port 1 (address 7): port 1 is TVUSB1.
    AddDevice("/devices/usb1/1-3", "001", "002", kPrinterDescriptors, false);
    AddDevice("/devices/usb1/1-1", "001", "007", kPrinterDescriptors, true);
  }
  void TearDown() override {
    if (handler) g_object_unref(handler);
    if (testbed) g_object_unref(testbed);
  }
  void AddDevice(const std::string& path, const std::string& bus, const std::string& dev,
                 const char* descriptors, bool attach) {
    const std::string node = "/dev/bus/usb/" + bus + "/" + dev;
    if (attach) {
      ASSERT_TRUE(umockdev_testbed_attach_ioctl(testbed, node.c_str(), handler, nullptr));
    }
    const std::string text =
        "P: " + path + "\nN: bus/usb/" + bus + "/" + dev +
        "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: BUSNUM=" + bus + "\nE: DEVNUM=" + dev +
        "\nE: DEVNAME=" + node + "\nA: busnum=" + std::to_string(std::stoi(bus)) +
        "\\n\nA: devnum=" + std::to_string(std::stoi(dev)) +
        "\\n\nA: bConfigurationValue=1\\n\nA: speed=480\\n\nH: descriptors=" + descriptors + "\n";
    ASSERT_TRUE(umockdev_testbed_add_from_string(testbed, text.c_str(), nullptr));
  }

  Printer printer;
  UMockdevTestbed* testbed = nullptr;
  UMockdevIoctlBase* handler = nullptr;
  VirtualClock clock;
};

TEST_F(UmockdevPrinter, PrintersAreFoundAndNumberedByPortPath) {
  const auto printers = FindUsbPrinters();
  ASSERT_EQ(printers.size(), 2u);
  EXPECT_EQ(printers[0].Selector(), "usb:1:7");
  EXPECT_EQ(printers[0].portPath, std::vector<std::uint8_t>{1});
  EXPECT_EQ(printers[0].endpointOut, 0x01);
  EXPECT_EQ(printers[0].endpointIn, 0x82);
  EXPECT_EQ(printers[0].protocol, 2);
  EXPECT_EQ(printers[1].Selector(), "usb:1:2");

  PortTable table;
  AddDefaultPorts(table);
  EXPECT_EQ(table.Describe("TVUSB1"), "usb:1:7 (libusb)");
  EXPECT_EQ(table.Describe("TVUSB2"), "usb:1:2 (libusb)");
  EXPECT_EQ(table.Describe("TVUSB3"), "");
}

TEST_F(UmockdevPrinter, LinkStartsAgainstTvusb1) {
  PortTable table;
  AddDefaultPorts(table);
  PrinterPort port(table, clock);
  ASSERT_EQ(port.OpenPort(0x501), kOk) << port.OpenFailureReason();
  ASSERT_EQ(port.QueryDeviceId(), kOk);
  const auto id = port.DeviceIdReply();
  ASSERT_EQ(id.size(), kId.size() + 2);
  EXPECT_EQ(std::string(id.begin() + 2, id.end()), kId);
  // wValue = configuration index 0, wIndex = interface 0 << 8 | alternate setting 0.
  EXPECT_EQ(printer.lastSetup, (Bytes{0xA1, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04}));

  // Packet-mode entry: 0x00 0x00 0x00 0x1B 0x01 then "@ZJL 1284.4\n@ZJL\n@ZJL\n" (22 bytes).
  const std::string text = "@ZJL 1284.4\n@ZJL\n@ZJL\n";
  Bytes entry = {0x00, 0x00, 0x00, 0x1B, 0x01};
  entry.insert(entry.end(), text.begin(), text.end());
  ASSERT_EQ(entry.size(), 27u);
  ASSERT_EQ(port.WritePort(entry.data(), entry.size()), kOk);
  std::array<std::uint8_t, kPortBufferSize> buffer{};
  std::size_t count = 0;
  ASSERT_EQ(port.ReadPort(buffer.data(), count), kOk);
  ASSERT_EQ(count, 8u);
  EXPECT_EQ(buffer[6], 'Z' + 0x80);

  const Bytes init = {0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00, 0x10};
  ASSERT_EQ(port.WritePort(init.data(), init.size()), kOk);
  ASSERT_EQ(port.ReadPort(buffer.data(), count), kOk);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 8),
            (Bytes{0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x80, 0x00}));
  ASSERT_EQ(printer.received.size(), 2u);
  EXPECT_EQ(printer.received[0], entry);
}

TEST_F(UmockdevPrinter, SecondOpenFindsThePrinterBusyAndSilenceTimesOut) {
  PortTable table;
  AddDefaultPorts(table);
  PrinterPort first(table, clock);
  ASSERT_EQ(first.OpenPort(0x501), kOk);
  PrinterPort second(table, clock);
  EXPECT_EQ(second.OpenPort(0x501), kPortFailure);
  EXPECT_EQ(second.PortError(), kPortCannotOpen);
  EXPECT_NE(second.OpenFailureReason().find("busy"), std::string::npos);

  printer.silent = true;
  std::array<std::uint8_t, kPortBufferSize> buffer{};
  std::size_t count = 0;
  EXPECT_EQ(first.ReadPort(buffer.data(), count), kPortFailure);
  EXPECT_EQ(first.PortError(), kPortReceiveTimeout);

  first.ClosePort();
  EXPECT_EQ(second.OpenPort(0x501), kOk);
}

TEST_F(UmockdevPrinter, DoctorShowsThePrinterBehindTvusb1) {
  PortTable table;
  AddDefaultPorts(table);
  const auto checks = ExaminePorts(table);
  const PortCheck& usb1 = checks[3];
  EXPECT_EQ(usb1.device, "usb:1:7");
  EXPECT_EQ(usb1.node, "/dev/bus/usb/001/007");
  EXPECT_TRUE(usb1.exists);
  EXPECT_TRUE(usb1.opened) << usb1.failure;
  EXPECT_EQ(usb1.deviceId, kId);
  EXPECT_TRUE(checks[5].device.empty());
  EXPECT_TRUE(AnyPortWorks(checks));
}

}  // namespace
}  // namespace vantor
