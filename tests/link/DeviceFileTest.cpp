// The device-file backend over a pseudo-terminal: framing a byte stream into replies.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "gtest/gtest.h"
#include "link/DeviceFile.h"
#include "link/PrinterPort.h"
#include "tests/support/ScriptedPrinter.h"
#include "tests/support/TempPath.h"

namespace vantor::test {
namespace {

class DeviceFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    termios t{};
    tcgetattr(master_, &t);
    cfmakeraw(&t);
    tcsetattr(master_, TCSANOW, &t);
    path_ = ptsname(master_);
    OpenFailure why;
    device_ = OpenDeviceFile({path_, idFile_}, InterfaceKind::Usb, why);
    ASSERT_TRUE(device_) << why.reason;
  }
  void TearDown() override {
    device_.reset();
    close(master_);
  }
  void FromPrinter(const Bytes& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  int master_ = -1;
  std::string path_;
  TempPath idPath_{"device.id"};
  std::string idFile_ = idPath_.string();
  std::unique_ptr<PortDevice> device_;
};

TEST_F(DeviceFileTest, ReplySplitOverSeveralTransfersArrivesWhole) {
  const Bytes reply = Packet(0x02, TextPayload("@BDC PS\r\nEE:5D0E;"));
  std::thread printer([&] {
    for (std::size_t i = 0; i < reply.size(); i += 5) {
      FromPrinter(Bytes(reply.begin() + i, reply.begin() + std::min(i + 5, reply.size())));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  std::uint8_t buffer[256];
  const IoResult io = device_->ReadReply(buffer, 2000);
  printer.join();
  ASSERT_TRUE(io.ok);
  EXPECT_EQ(Bytes(buffer, buffer + io.count), reply);
}

TEST_F(DeviceFileTest, TwoRepliesJoinedInOneTransferAreTakenOneByOne) {
  const Bytes first = Packet(0x00, {0x80, 0x00, 0x10});
  const Bytes second = Packet(0x00, {0x81, 0x00});
  Bytes both = first;
  both.insert(both.end(), second.begin(), second.end());
  FromPrinter(both);
  std::uint8_t buffer[256];
  IoResult io = device_->ReadReply(buffer, 1000);
  EXPECT_EQ(Bytes(buffer, buffer + io.count), first);
  io = device_->ReadReply(buffer, 1000);
  EXPECT_EQ(Bytes(buffer, buffer + io.count), second);
}

TEST_F(DeviceFileTest, ReplyLongerThanTheBufferComesInPieces) {
  const Bytes reply = Packet(0x40, Bytes(300, 0x41));
  FromPrinter(reply);
  std::uint8_t buffer[256];
  IoResult io = device_->ReadReply(buffer, 1000);
  ASSERT_EQ(io.count, 256u);
  io = device_->ReadReply(buffer, 1000);
  EXPECT_EQ(io.count, reply.size() - 256);
}

TEST_F(DeviceFileTest, ALengthNoReplyCanHaveIsNotWaitedFor) {
  FromPrinter({0x02, 0x02, 0xFF, 0xFF, 0x00, 0x00, '@', 'B'});
  std::uint8_t buffer[256];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(device_->ReadReply(buffer, 1000).count, 8u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(DeviceFileTest, NothingArrivingReturnsEmptyWithinTheLimit) {
  std::uint8_t buffer[16];
  const auto start = std::chrono::steady_clock::now();
  const IoResult io = device_->ReadReply(buffer, 100);
  EXPECT_TRUE(io.ok);
  EXPECT_EQ(io.count, 0u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(DeviceFileTest, WritesReachThePrinterUntouched) {
  const Bytes bytes = {0x00, 0x0A, 0x0D, 0x1B, 0x7F, 0x03, 0x11, 0x13};  // raw: no translation
  const IoResult io = device_->Write(bytes, 1000);
  ASSERT_EQ(io.count, bytes.size());
  Bytes got(bytes.size());
  ASSERT_EQ(read(master_, got.data(), got.size()), static_cast<ssize_t>(got.size()));
  EXPECT_EQ(got, bytes);
}

TEST_F(DeviceFileTest, DeviceIdComesFromTheFileBesideTheDevice) {
  std::uint8_t buffer[200];
  EXPECT_EQ(device_->DeviceId(buffer), 0u);
  std::ofstream(idFile_, std::ios::binary) << std::string(
      "\x00\x07"
      "MFG:V;",
      8);
  ASSERT_EQ(device_->DeviceId(buffer), 8u);
  EXPECT_EQ(buffer[1], 0x07);
  EXPECT_EQ(buffer[2], 'M');
}

TEST(DeviceFileOpen, MissingDeviceSaysWhy) {
  OpenFailure why;
  EXPECT_FALSE(OpenDeviceFile({"/nonexistent/lp9", ""}, InterfaceKind::Usb, why));
  EXPECT_NE(why.reason.find("does not exist"), std::string::npos);
}

// Somebody's terminal in its ordinary (cooked) mode, not a printer.
struct Terminal {
  Terminal() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    path = ptsname(master);
  }
  ~Terminal() { close(master); }
  bool Cooked() const {
    termios t{};
    tcgetattr(master, &t);
    return (t.c_lflag & ICANON) != 0;
  }
  int master = -1;
  std::string path;
};

TEST(DeviceFileOpen, LinkOfAServerThatIsGoneIsStaleAndTouchesNothing) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(::testing::TempDir()) / ("stale-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string link = (dir / "TVUSB1").string();
  Terminal other;  // the terminal that took the dead server's number
  ASSERT_TRUE(other.Cooked());
  fs::create_symlink(other.path, link);
  std::ofstream(DeviceIdFileFor(link), std::ios::binary) << std::string("\x00\x08MFG:V;", 8);
  std::ofstream(link + ".lock") << "999999\n";

  OpenFailure why;
  EXPECT_FALSE(OpenDeviceFile({link, ""}, InterfaceKind::Usb, why));
  EXPECT_NE(why.reason.find("stale"), std::string::npos) << why.reason;
  EXPECT_TRUE(other.Cooked());

  // A live server holds the lock: the link is good.
  const int lock = ::open((link + ".lock").c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
  EXPECT_TRUE(OpenDeviceFile({link, ""}, InterfaceKind::Usb, why)) << why.reason;
  ::close(lock);
  fs::remove_all(dir);
}

// A second user would write into the first one's session: the device is held until it is
// closed, and the port names the holder.
TEST(DeviceFileOpen, ASecondUserIsToldWhoHoldsTheDevice) {
  Terminal terminal;
  PortTable table;
  table.Set("TVUSB1", terminal.path, [&](InterfaceKind kind, OpenFailure& why) {
    return OpenDeviceFile({terminal.path, ""}, kind, why);
  });
  VirtualClock clock;
  PrinterPort first(table, clock), second(table, clock);
  ASSERT_EQ(first.OpenPort(*PortCodeFromName("TVUSB1")), kOk) << first.OpenFailureReason();
  EXPECT_NE(second.OpenPort(*PortCodeFromName("TVUSB1")), kOk);
  EXPECT_EQ(second.OpenFailureReason(),
            "TVUSB1 is in use by process " + std::to_string(::getpid()));
  first.ClosePort();
  EXPECT_EQ(second.OpenPort(*PortCodeFromName("TVUSB1")), kOk) << second.OpenFailureReason();
}

TEST(DeviceFileOpen, ATerminalTurnsRawOnlyOnceItAnswersAsThePrinter) {
  Terminal terminal;
  const std::string idFile = ::testing::TempDir() + "raw-test-" + std::to_string(::getpid());
  std::remove(idFile.c_str());
  OpenFailure why;
  auto device = OpenDeviceFile({terminal.path, idFile}, InterfaceKind::Usb, why);
  ASSERT_TRUE(device) << why.reason;
  std::uint8_t buffer[200];
  EXPECT_EQ(device->DeviceId(buffer), 0u);
  EXPECT_TRUE(terminal.Cooked());
  std::ofstream(idFile, std::ios::binary) << std::string("\x00\x08MFG:V;", 8);
  EXPECT_EQ(device->DeviceId(buffer), 8u);
  EXPECT_FALSE(terminal.Cooked());
  std::remove(idFile.c_str());
}

}  // namespace
}  // namespace vantor::test
