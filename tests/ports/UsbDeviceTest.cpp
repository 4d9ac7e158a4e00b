#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <vector>

#include "link/PrinterPort.h"
#include "link/backends/PortDefaults.h"
#include "link/backends/UsbBackend.h"

namespace vantor {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A printer on the far side of the bulk pipe: transfers arrive at set times on the virtual
// clock, and a transfer that waits for nothing spends its whole time-out.
struct FakePrinter {
  struct Transfer {
    std::int64_t atMs;  // relative to the test's start
    Bytes bytes;
  };
  std::deque<Transfer> incoming;
  Bytes received;
  std::size_t acceptPerCall = 1 << 20;
  bool outStalls = false;
  bool inFails = false;
  Bytes deviceId;
};

class FakePipe final : public UsbPipe {
 public:
  FakePipe(FakePrinter& printer, VirtualClock& clock)
      : printer_(printer), clock_(clock), startMs_(clock.NowMs()) {}

  Status BulkOut(std::span<const std::uint8_t> bytes, std::size_t& done,
                 unsigned timeoutMs) override {
    if (printer_.outStalls) {
      clock_.Advance(timeoutMs);
      done = 0;
      return Status::Timeout;
    }
    done = std::min(bytes.size(), printer_.acceptPerCall);
    printer_.received.insert(printer_.received.end(), bytes.begin(), bytes.begin() + done);
    clock_.Advance(1);
    return Status::Ok;
  }

  Status BulkIn(std::span<std::uint8_t> buffer, std::size_t& done, unsigned timeoutMs) override {
    done = 0;
    if (printer_.inFails) return Status::Failed;
    const std::int64_t now = clock_.NowMs() - startMs_;
    if (printer_.incoming.empty() || printer_.incoming.front().atMs > now + timeoutMs) {
      clock_.Advance(timeoutMs);
      return Status::Timeout;
    }
    auto transfer = std::move(printer_.incoming.front());
    printer_.incoming.pop_front();
    if (transfer.atMs > now) clock_.Advance(transfer.atMs - now);
    done = std::min(buffer.size(), transfer.bytes.size());
    std::copy_n(transfer.bytes.begin(), done, buffer.begin());
    return Status::Ok;
  }

  std::size_t GetDeviceId(std::span<std::uint8_t> buffer) override {
    const std::size_t n = std::min(buffer.size(), printer_.deviceId.size());
    std::copy_n(printer_.deviceId.begin(), n, buffer.begin());
    return n;
  }

  std::size_t MaxPacketIn() const override { return 512; }

 private:
  FakePrinter& printer_;
  VirtualClock& clock_;
  std::int64_t startMs_;
};

class UsbDevice : public ::testing::Test {
 protected:
  std::unique_ptr<UsbPrinterDevice> Device() {
    return std::make_unique<UsbPrinterDevice>(std::make_unique<FakePipe>(printer, clock), clock);
  }
  // The port table the start window would use, with TVUSB1 on the fake printer.
  void OpenThroughPort(PrinterPort& port) {
    table.Set("TVUSB1", "fake", [this](InterfaceKind, OpenFailure&) {
      return std::unique_ptr<PortDevice>(Device());
    });
    ASSERT_EQ(port.OpenPort(0x501), kOk);
  }
  FakePrinter printer;
  VirtualClock clock;
  PortTable table;
};

// Init reply: transaction socket, length 8, credit 1, command 0x00 + 0x80, result 0.
const Bytes kInitReply = {0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x80, 0x00};

TEST_F(UsbDevice, ReplySplitOverTransfersComesAsOne) {
  printer.incoming = {{5, {0x00, 0x00, 0x00}}, {12, {0x08, 0x01, 0x00, 0x80}}, {20, {0x00}}};
  auto device = Device();
  Bytes buffer(256);
  const IoResult io = device->ReadReply(buffer, 50);
  ASSERT_TRUE(io.ok);
  ASSERT_EQ(io.count, 8u);
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 8), kInitReply);
}

TEST_F(UsbDevice, TwoRepliesInOneTransferComeOneByOne) {
  // Credit reply on the control channel (socket 2, length 7, payload 'O') after the Init reply.
  Bytes both = kInitReply;
  both.insert(both.end(), {0x02, 0x02, 0x00, 0x07, 0x00, 0x00, 'O'});
  printer.incoming = {{0, both}};
  auto device = Device();
  Bytes buffer(256);
  EXPECT_EQ(device->ReadReply(buffer, 50).count, 8u);
  const IoResult second = device->ReadReply(buffer, 50);
  ASSERT_EQ(second.count, 7u);
  EXPECT_EQ(buffer[6], 'O');
}

TEST_F(UsbDevice, ReplyLongerThanTheBufferComesInPieces) {
  Bytes packet(300, 'x');
  packet[0] = packet[1] = 0x40;
  packet[2] = 0x01;  // 0x012C = 300
  packet[3] = 0x2C;
  packet[4] = packet[5] = 0x00;
  printer.incoming = {{0, Bytes(packet.begin(), packet.begin() + 200)},
                      {3, Bytes(packet.begin() + 200, packet.end())}};
  auto device = Device();
  Bytes buffer(256);
  EXPECT_EQ(device->ReadReply(buffer, 50).count, 256u);
  EXPECT_EQ(device->ReadReply(buffer, 50).count, 44u);
  EXPECT_EQ(device->ReadReply(buffer, 50).count, 0u);
}

TEST_F(UsbDevice, TornReplyFailsWithinTheTenSecondRule) {
  printer.incoming = {{0, {0x02, 0x02, 0x00, 0x20, 0x00}}};
  auto device = Device();
  Bytes buffer(256);
  const std::int64_t start = clock.NowMs();
  EXPECT_FALSE(device->ReadReply(buffer, 50).ok);
  EXPECT_LE(clock.NowMs() - start, 10'100);
}

TEST_F(UsbDevice, SilentPrinterGivesReceiveErrorAfterTenAttempts) {
  PrinterPort port(table, clock);
  OpenThroughPort(port);
  std::array<std::uint8_t, kPortBufferSize> buffer{};
  std::size_t count = 99;
  const std::int64_t start = clock.NowMs();
  EXPECT_EQ(port.ReadPort(buffer.data(), count), kPortFailure);
  EXPECT_EQ(port.PortError(), kPortReceiveTimeout);
  // Nine pauses of a second between ten short attempts: about nine seconds, never more than ten.
  EXPECT_GE(clock.NowMs() - start, 9'000);
  EXPECT_LT(clock.NowMs() - start, 10'000);
}

// What the port makes of a reply as the printer sends it, and how soon: a reply cut short by a
// printer that falls silent is a receive time-out (the link stops waiting for it), a length no
// reply can have is refused at once.
TEST_F(UsbDevice, PortJudgesEachReplyWithinTheTenSecondRule) {
  struct Row {
    const char* what;
    Bytes reply;
    Result result;
    std::int16_t error;
    std::int64_t mostMs;
  };
  const Row rows[] = {
      {"whole", kInitReply, kOk, kPortNoError, 100},
      {"half, then silence",
       {0x02, 0x02, 0x00, 0x19, 0x00, 0x00, '@', 'B', 'D', 'C'},
       kPortFailure,
       kPortReceiveTimeout,
       10'100},
      {"length beyond the buffer",
       {0x02, 0x02, 0xFF, 0xFF, 0x00, 0x00, '@', 'B', 'D', 'C'},
       kPortFailure,
       kPortReadFailed,
       100},
      {"length inside the header",
       {0x02, 0x02, 0x00, 0x03, 0x00, 0x00},
       kPortFailure,
       kPortReadFailed,
       100},
  };
  for (const Row& row : rows) {
    PrinterPort port(table, clock);
    OpenThroughPort(port);
    printer.incoming = {{0, row.reply}};
    std::array<std::uint8_t, kPortBufferSize> buffer{};
    std::size_t count = 0;
    const std::int64_t start = clock.NowMs();
    EXPECT_EQ(port.ReadPort(buffer.data(), count), row.result) << row.what;
    EXPECT_EQ(port.PortError(), row.error) << row.what;
    EXPECT_LE(clock.NowMs() - start, row.mostMs) << row.what;
  }
}

TEST_F(UsbDevice, FailedTransferIsAReadFailure) {
  printer.inFails = true;
  PrinterPort port(table, clock);
  OpenThroughPort(port);
  std::array<std::uint8_t, kPortBufferSize> buffer{};
  std::size_t count = 0;
  EXPECT_EQ(port.ReadPort(buffer.data(), count), kPortFailure);
  EXPECT_EQ(port.PortError(), kPortReadFailed);
}

TEST_F(UsbDevice, WritesContinueAfterShortTransfersAndStopAtTheDeadline) {
  printer.acceptPerCall = 64;
  auto device = Device();
  const Bytes data(200, 0x5A);
  const IoResult io = device->Write(data, 10'000);
  EXPECT_TRUE(io.ok);
  EXPECT_EQ(io.count, 200u);
  EXPECT_EQ(printer.received, data);

  printer.outStalls = true;
  PrinterPort port(table, clock);
  OpenThroughPort(port);
  EXPECT_EQ(port.WritePort(data.data(), data.size()), kPortFailure);
  EXPECT_EQ(port.PortError(), kPortSendTimeout);
}

TEST_F(UsbDevice, DeviceIdIsPassedOnWithItsPrefixAndAnEmptyOneFails) {
  printer.deviceId = {0x00, 0x0D, 'M', 'F', 'G', ':', 'V', 'a', 'n', 't', 'o', 'r', ';'};
  PrinterPort port(table, clock);
  OpenThroughPort(port);
  ASSERT_EQ(port.QueryDeviceId(), kOk);
  ASSERT_EQ(port.DeviceIdReply().size(), 13u);
  EXPECT_EQ(port.DeviceIdReply()[1], 0x0D);

  printer.deviceId.clear();
  EXPECT_EQ(port.QueryDeviceId(), kPortFailure);
  EXPECT_EQ(port.PortError(), kPortNoDeviceId);
}

TEST(UsbPrinters, NumberedByBusThenPortPath) {
  auto at = [](std::uint8_t bus, std::vector<std::uint8_t> path, std::uint8_t address) {
    UsbPrinterInfo info;
    info.bus = bus;
    info.portPath = std::move(path);
    info.address = address;
    return info;
  };
  // Addresses change on every re-plug; the order must not follow them.
  std::vector<UsbPrinterInfo> printers = {at(2, {1}, 3), at(1, {4, 2}, 9), at(1, {4}, 12),
                                          at(1, {3, 1}, 2)};
  SortUsbPrinters(printers);
  EXPECT_EQ(printers[0].Selector(), "usb:1:2");
  EXPECT_EQ(printers[1].Selector(), "usb:1:12");
  EXPECT_EQ(printers[2].Selector(), "usb:1:9");
  EXPECT_EQ(printers[3].Selector(), "usb:2:3");
  EXPECT_EQ(printers[2].SysfsName(), "1-4.2:1.0");
}

TEST(UsbPrinters, SelectorForm) {
  const auto address = ParseUsbSelector("usb:3:17");
  ASSERT_TRUE(address);
  EXPECT_EQ(address->bus, 3);
  EXPECT_EQ(address->address, 17);
  for (const char* bad : {"usb:", "usb:1", "usb:1:", "usb:0:5", "usb:1:256", "usb:1:5x", "usb:-1:2",
                          "USB:1:2", "/dev/usb/lp0"})
    EXPECT_FALSE(ParseUsbSelector(bad)) << bad;

  PortTable table;
  std::string why;
  EXPECT_FALSE(OverridePort(table, "TVUSB1", "usb:1", why));
  EXPECT_NE(why.find("usb:BUS:ADDR"), std::string::npos);
  EXPECT_TRUE(OverridePort(table, "TVUSB1", "usb:1:5", why));
  EXPECT_EQ(table.Describe("TVUSB1"), "usb:1:5 (libusb)");
  EXPECT_TRUE(OverridePort(table, "TVUSB2", "/dev/bus/usb/002/007", why));
  EXPECT_EQ(table.Describe("TVUSB2"), "usb:2:7 (libusb)");
  EXPECT_TRUE(OverridePort(table, "LPT1", "/tmp/vantor-pty", why));
  EXPECT_EQ(table.Describe("LPT1"), "/tmp/vantor-pty (device file)");
  EXPECT_FALSE(OverridePort(table, "COM1", "/dev/ttyS0", why));
}

}  // namespace
}  // namespace vantor
