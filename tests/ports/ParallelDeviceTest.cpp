#include <gtest/gtest.h>
#include <ieee1284.h>

#include <cerrno>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "link/PrinterPort.h"
#include "link/backends/ParallelBackend.h"

namespace vantor {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The port beneath libieee1284: what was called, in order, and a printer that answers (or not).
struct FakePort {
  int openResult = E1284_OK;
  int openErrno = 0;
  int capabilities = CAP1284_COMPAT | CAP1284_NIBBLE;
  std::int64_t timeoutMs = 0;
  std::vector<std::string> calls;
  Bytes written;
  std::deque<Bytes> replies;  // each handed out by the next read that finds data
  Bytes deviceId;
  bool closed = false;
};

class FakeLibrary final : public ParallelLibrary {
 public:
  FakeLibrary(FakePort& port, VirtualClock& clock) : port_(port), clock_(clock) {}
  int OpenExclusive(int& capabilities) override {
    port_.calls.push_back("open");
    capabilities = port_.capabilities;
    errno = port_.openErrno;
    return port_.openResult;
  }
  void Close() override {
    port_.calls.push_back("close");
    port_.closed = true;
  }
  void SetTimeout(std::int64_t ms) override { port_.timeoutMs = ms; }
  int Negotiate(int mode) override {
    port_.calls.push_back(mode == M1284_ECP ? "negotiate ecp" : "negotiate nibble");
    return E1284_OK;
  }
  void Terminate() override { port_.calls.push_back("terminate"); }
  std::ptrdiff_t CompatWrite(std::span<const std::uint8_t> bytes) override {
    port_.calls.push_back("compat write");
    return Take(bytes);
  }
  std::ptrdiff_t NibbleRead(std::span<std::uint8_t> buffer) override {
    port_.calls.push_back("nibble read");
    return Give(buffer);
  }
  std::ptrdiff_t EcpWrite(std::span<const std::uint8_t> bytes) override {
    port_.calls.push_back("ecp write");
    return Take(bytes);
  }
  std::ptrdiff_t EcpRead(std::span<std::uint8_t> buffer) override {
    port_.calls.push_back("ecp read");
    return Give(buffer);
  }
  int EcpForwardToReverse() override {
    port_.calls.push_back("reverse");
    return E1284_OK;
  }
  int EcpReverseToForward() override {
    port_.calls.push_back("forward");
    return E1284_OK;
  }
  std::ptrdiff_t DeviceId(std::span<std::uint8_t> buffer) override {
    port_.calls.push_back("device id");
    if (port_.deviceId.empty()) return E1284_NOID;
    const std::size_t n = std::min(buffer.size(), port_.deviceId.size());
    std::copy_n(port_.deviceId.begin(), n, buffer.begin());
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  std::ptrdiff_t Take(std::span<const std::uint8_t> bytes) {
    port_.written.insert(port_.written.end(), bytes.begin(), bytes.end());
    return static_cast<std::ptrdiff_t>(bytes.size());
  }
  // Nothing to send: the inactivity timer runs out, as the library's would.
  std::ptrdiff_t Give(std::span<std::uint8_t> buffer) {
    if (port_.replies.empty()) {
      clock_.Advance(port_.timeoutMs);
      return E1284_TIMEDOUT;
    }
    Bytes& next = port_.replies.front();
    const std::size_t n = std::min(buffer.size(), next.size());
    std::copy_n(next.begin(), n, buffer.begin());
    next.erase(next.begin(), next.begin() + static_cast<std::ptrdiff_t>(n));
    if (next.empty()) port_.replies.pop_front();
    return static_cast<std::ptrdiff_t>(n);
  }
  FakePort& port_;
  VirtualClock& clock_;
};

class ParallelPort : public ::testing::Test {
 protected:
  void SetUp() override {
    table.Set("LPT1", "fake",
              [this](InterfaceKind, OpenFailure& why) -> std::unique_ptr<PortDevice> {
                auto device = std::make_unique<ParallelDevice>(
                    std::make_unique<FakeLibrary>(fake, clock), clock, why);
                if (!device->Ready()) return nullptr;
                return device;
              });
  }
  FakePort fake;
  VirtualClock clock;
  PortTable table;
};

TEST_F(ParallelPort, BusyOrForbiddenPortCannotBeOpened) {
  PrinterPort port(table, clock);
  fake.openResult = E1284_INIT;
  fake.openErrno = EBUSY;
  EXPECT_EQ(port.OpenPort(0x401), kPortFailure);
  EXPECT_EQ(port.PortError(), kPortCannotOpen);
  EXPECT_NE(port.OpenFailureReason().find("busy"), std::string::npos);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_TRUE(fake.closed);

  fake.openErrno = EACCES;
  EXPECT_EQ(port.OpenPort(0x401), kPortFailure);
  EXPECT_NE(port.OpenFailureReason().find("permission"), std::string::npos);
}

TEST_F(ParallelPort, CompatibilityForwardNibbleBackAndReleaseOnClose) {
  PrinterPort port(table, clock);
  ASSERT_EQ(port.OpenPort(0x401), kOk);
  // Packet-mode entry reply split by the nibble reads: header first, then the rest.
  fake.replies = {{0x00, 0x00, 0x00, 0x08, 0x01, 0x00}, {0xDA, 0x00}};
  const Bytes packet = {0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00, 0x10};
  ASSERT_EQ(port.WritePort(packet.data(), packet.size()), kOk);
  std::array<std::uint8_t, kPortBufferSize> buffer{};
  std::size_t count = 0;
  ASSERT_EQ(port.ReadPort(buffer.data(), count), kOk);
  EXPECT_EQ(count, 8u);
  EXPECT_EQ(buffer[6], 0xDA);
  ASSERT_EQ(port.WritePort(packet.data(), packet.size()), kOk);
  EXPECT_EQ(fake.written.size(), 16u);
  port.ClosePort();

  const std::vector<std::string> expected = {
      "open",        "terminate", "compat write", "negotiate nibble", "nibble read",
      "nibble read", "terminate", "compat write", "terminate",        "close"};
  EXPECT_EQ(fake.calls, expected);
}

TEST_F(ParallelPort, EcpWhenThePortOffersIt) {
  fake.capabilities |= CAP1284_ECP;
  fake.replies = {{0x00, 0x00, 0x00, 0x06, 0x01, 0x00}};
  OpenFailure why;
  ParallelDevice device(std::make_unique<FakeLibrary>(fake, clock), clock, why);
  ASSERT_TRUE(device.UsesEcp());
  const Bytes data = {1, 2, 3};
  EXPECT_EQ(device.Write(data, 1000).count, 3u);
  Bytes buffer(6);
  EXPECT_EQ(device.Read(buffer, 1000).count, 6u);
  EXPECT_EQ(device.Write(data, 1000).count, 3u);
  const std::vector<std::string> expected = {"open",     "negotiate ecp", "ecp write", "reverse",
                                             "ecp read", "forward",       "ecp write"};
  EXPECT_EQ(fake.calls, expected);
}

TEST_F(ParallelPort, SilentPrinterTimesOutWithinTenSeconds) {
  PrinterPort port(table, clock);
  ASSERT_EQ(port.OpenPort(0x401), kOk);
  std::array<std::uint8_t, kPortBufferSize> buffer{};
  std::size_t count = 0;
  const std::int64_t start = clock.NowMs();
  EXPECT_EQ(port.ReadPort(buffer.data(), count), kPortFailure);
  EXPECT_EQ(port.PortError(), kPortReceiveTimeout);
  EXPECT_LE(clock.NowMs() - start, 10'000 + 100);
  // No single library call may wait longer than a slice, or the deadline could not be kept.
  EXPECT_LE(fake.timeoutMs, kParallelSliceMs);
}

TEST_F(ParallelPort, FreshDeviceIdGetsABigEndianPrefix) {
  PrinterPort port(table, clock);
  ASSERT_EQ(port.OpenPort(0x401), kOk);
  // Little-endian length: 13 bytes including the prefix.
  fake.deviceId = {0x0D, 0x00, 'M', 'F', 'G', ':', 'V', 'a', 'n', 't', 'o', 'r', ';'};
  ASSERT_EQ(port.QueryDeviceId(), kOk);
  const auto reply = port.DeviceIdReply();
  ASSERT_EQ(reply.size(), 13u);
  EXPECT_EQ(reply[0], 0x00);
  EXPECT_EQ(reply[1], 0x0D);
  EXPECT_EQ(reply[2], 'M');

  fake.deviceId.clear();
  EXPECT_EQ(port.QueryDeviceId(), kPortFailure);
  EXPECT_EQ(port.PortError(), kPortNoDeviceId);
}

}  // namespace
}  // namespace vantor
