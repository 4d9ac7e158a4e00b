// Port rules: opening, the parallel header read, the USB read attempts, the 10-second rule.
#include "LinkFixture.h"

namespace vantor::test {
namespace {

TEST_F(LinkTest, NameWithoutDeviceCannotBeOpened) {
  PortTable empty;
  PrinterPort port(empty, clock);
  EXPECT_EQ(port.OpenPort(0x402), kPortFailure);
  EXPECT_EQ(port.PortError(), kPortCannotOpen);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.OpenPort(0x999), kPortFailure);
}

TEST_F(LinkTest, InterfaceKindFollowsPortCode) {
  Open(0x403);
  EXPECT_EQ(link.port.Kind(), InterfaceKind::Parallel);
  EXPECT_EQ(link.port.PortName(), "LPT3");
  Open(0x502);
  EXPECT_EQ(link.port.Kind(), InterfaceKind::Usb);
  EXPECT_EQ(link.port.PortName(), "TVUSB2");
}

TEST_F(LinkTest, WriteOnClosedPortIsAPortFailureTheTechnicianSees) {
  const std::uint8_t b[1] = {0};
  EXPECT_EQ(link.port.WritePort(b, 1), kPortFailure);
  EXPECT_EQ(link.port.PortError(), kPortCannotOpen);
  std::uint8_t buf[kPortBufferSize];
  std::size_t n = 0;
  EXPECT_EQ(link.port.ReadPort(buf, n), kPortFailure);
  EXPECT_EQ(link.port.PortError(), kPortCannotOpen);
}

TEST_F(LinkTest, ShortWriteIsATransmissionFailure) {
  Open();
  printer.shortBy = 1;
  const std::uint8_t b[3] = {1, 2, 3};
  EXPECT_EQ(link.port.WritePort(b, 3), kPortFailure);
  EXPECT_EQ(link.port.PortError(), kPortWriteFailed);
  EXPECT_EQ(link.port.WritePort(b, 3), kOk);
  EXPECT_EQ(link.port.PortError(), kPortNoError);
}

TEST_F(LinkTest, TransferOfTenSecondsIsATimeoutEvenWhenAllBytesMoved) {
  Open();
  const std::uint8_t b[1] = {0};
  printer.writeTakesMs = 10'000;
  EXPECT_EQ(link.port.WritePort(b, 1), kPortFailure);
  EXPECT_EQ(link.port.PortError(), kPortSendTimeout);
  printer.writeTakesMs = 9'000;  // may cross 9 whole seconds, never 10
  EXPECT_EQ(link.port.WritePort(b, 1), kOk);
}

TEST_F(LinkTest, ParallelReadTakesHeaderThenTheRestEvenInPieces) {
  Open(0x401);
  printer.readChunk = 3;
  printer.nextReplies.push_back(Packet(0x00, {0x88, 0x00}));
  printer.nextReplies.push_back({0x00, 0x00, 0x00, 0x06, 0x01, 0x00});
  const std::uint8_t probe[7] = {0, 0, 0, 7, 1, 0, 0x08};
  ASSERT_EQ(link.port.WritePort(probe, 7), kOk);
  std::uint8_t buf[kPortBufferSize];
  std::size_t n = 0;
  ASSERT_EQ(link.port.ReadPort(buf, n), kOk);
  EXPECT_EQ(n, 8u);
  EXPECT_EQ(buf[6], 0x88);
  ASSERT_EQ(link.port.WritePort(probe, 7), kOk);
  ASSERT_EQ(link.port.ReadPort(buf, n), kOk);
  EXPECT_EQ(n, 6u);  // a header of length 6 has nothing after it
}

TEST_F(LinkTest, ParallelHeaderLengthOutsideTheBufferIsAReceiveFailure) {
  Open(0x401);
  const std::uint8_t probe[7] = {0, 0, 0, 7, 1, 0, 0x08};
  for (const Bytes& header : {Bytes{0, 0, 0x04, 0x01, 1, 0}, Bytes{0, 0, 0x00, 0x05, 1, 0},
                              Bytes{0, 0, 0xFF, 0xFF, 1, 0}}) {
    printer.nextReplies.push_back(header);
    ASSERT_EQ(link.port.WritePort(probe, 7), kOk);
    std::uint8_t buf[kPortBufferSize + 16];
    std::fill(std::begin(buf), std::end(buf), 0xEE);
    std::size_t n = 99;
    EXPECT_EQ(link.port.ReadPort(buf, n), kPortFailure);
    EXPECT_EQ(link.port.PortError(), kPortReadFailed);
    EXPECT_EQ(buf[kPortBufferSize], 0xEE);
  }
}

TEST_F(LinkTest, ParallelReplyThatStopsHalfwayTimesOutAfterTenSeconds) {
  Open(0x401);
  printer.nextReplies.push_back({0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x88});  // 7 of 10 bytes
  const std::uint8_t probe[7] = {0, 0, 0, 7, 1, 0, 0x08};
  ASSERT_EQ(link.port.WritePort(probe, 7), kOk);
  std::uint8_t buf[kPortBufferSize];
  std::size_t n = 0;
  const std::int64_t start = clock.NowMs();
  EXPECT_EQ(link.port.ReadPort(buf, n), kPortFailure);
  EXPECT_EQ(link.port.PortError(), kPortReceiveTimeout);
  EXPECT_GE(clock.NowMs() - start, 10'000);
  EXPECT_LT(clock.NowMs() - start, 11'000);
}

TEST_F(LinkTest, UsbReadGivesUpAfterTenEmptyAttemptsAboutNineSeconds) {
  Open(0x501);
  std::uint8_t buf[kPortBufferSize];
  std::size_t n = 0;
  const std::int64_t start = clock.NowMs();
  EXPECT_EQ(link.port.ReadPort(buf, n), kPortFailure);
  EXPECT_EQ(link.port.PortError(), kPortReceiveTimeout);
  const std::int64_t took = clock.NowMs() - start;
  EXPECT_GE(took, 9'000);
  EXPECT_LT(took, 10'000);
}

TEST_F(LinkTest, FailedReadIsAReceiveError) {
  Open(0x501);
  printer.failReads = true;
  std::uint8_t buf[kPortBufferSize];
  std::size_t n = 0;
  EXPECT_EQ(link.port.ReadPort(buf, n), kPortFailure);
  EXPECT_EQ(link.port.PortError(), kPortReadFailed);
}

TEST_F(LinkTest, DeviceIdOfZeroBytesFailsTheLinkStart) {
  Open();
  printer.deviceId.clear();
  EXPECT_EQ(link.port.QueryDeviceId(), kPortFailure);
  EXPECT_EQ(link.port.PortError(), kPortNoDeviceId);
  EXPECT_EQ(link.channel.StartLink(), kPortFailure);
  EXPECT_TRUE(printer.written.empty());
}

TEST_F(LinkTest, ReopeningClosesTheOldDeviceFirst) {
  int opened = 0, alive = 0;
  struct Counted final : PortDevice {
    int& alive;
    explicit Counted(int& a) : alive(a) { ++alive; }
    ~Counted() override { --alive; }
    IoResult Write(std::span<const std::uint8_t> b, std::int64_t) override {
      return {true, b.size()};
    }
    IoResult Read(std::span<std::uint8_t>, std::int64_t) override { return {true, 0}; }
    IoResult ReadReply(std::span<std::uint8_t>, std::int64_t) override { return {true, 0}; }
    std::size_t DeviceId(std::span<std::uint8_t>) override { return 0; }
  };
  PortTable t;
  t.Set("LPT1", "counted", [&](InterfaceKind, OpenFailure&) {
    ++opened;
    return std::make_unique<Counted>(alive);
  });
  PrinterPort port(t, clock);
  ASSERT_EQ(port.OpenPort(0x401), kOk);
  ASSERT_EQ(port.OpenPort(0x401), kOk);
  EXPECT_EQ(opened, 2);
  EXPECT_EQ(alive, 1);
  port.ClosePort();
  EXPECT_EQ(alive, 0);
}

}  // namespace
}  // namespace vantor::test
