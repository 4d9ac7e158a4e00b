// The device-file backend over a named pipe, Windows' stand-in for the pseudo-terminal:
// overlapped transfers bounded by their deadlines, framing a byte stream into replies.
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "gtest/gtest.h"
#include "link/DeviceFile.h"
#include "tests/support/ScriptedPrinter.h"

namespace vantor::test {
namespace {

std::string PipeName(const char* what) {
  return "\\\\.\\pipe\\vantor-test-" + std::to_string(GetCurrentProcessId()) + "-" + what;
}

class DeviceFilePipeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name(
        PipeName(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    path_ = name;
    server_ = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                               4096, 4096, 0, nullptr);
    ASSERT_NE(server_, INVALID_HANDLE_VALUE);
    OpenFailure why;
    device_ = OpenDeviceFile({path_, ""}, InterfaceKind::Usb, why);
    ASSERT_TRUE(device_) << why.reason;
    ASSERT_FALSE(ConnectNamedPipe(server_, nullptr));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_CONNECTED));
  }
  void TearDown() override {
    device_.reset();
    if (server_ != INVALID_HANDLE_VALUE) CloseHandle(server_);
  }
  void FromPrinter(const Bytes& bytes) {
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(server_, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr));
    ASSERT_EQ(n, bytes.size());
  }

  std::string path_;
  HANDLE server_ = INVALID_HANDLE_VALUE;
  std::unique_ptr<PortDevice> device_;
};

TEST_F(DeviceFilePipeTest, ReplySplitOverSeveralTransfersArrivesWhole) {
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

TEST_F(DeviceFilePipeTest, TwoRepliesJoinedInOneTransferAreTakenOneByOne) {
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

TEST_F(DeviceFilePipeTest, NothingArrivingEndsAtTheDeadlineWithNothing) {
  std::uint8_t buffer[16];
  const auto start = std::chrono::steady_clock::now();
  const IoResult io = device_->ReadReply(buffer, 100);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(io.ok);
  EXPECT_EQ(io.count, 0u);
  EXPECT_GE(took,
            std::chrono::milliseconds(90));  // the pending read was waited for, then cancelled
  EXPECT_LT(took, std::chrono::seconds(2));
  // The cancelled read took nothing with it: the next reply arrives whole.
  const Bytes reply = Packet(0x00, {0x80, 0x00, 0x10});
  FromPrinter(reply);
  const IoResult next = device_->ReadReply(buffer, 1000);
  EXPECT_EQ(Bytes(buffer, buffer + next.count), reply);
}

TEST_F(DeviceFilePipeTest, WritesReachThePrinterUntouched) {
  const Bytes bytes = {0x00, 0x0A, 0x0D, 0x1A, 0x1B, 0x7F, 0x03, 0x11};  // binary: no translation
  const IoResult io = device_->Write(bytes, 1000);
  ASSERT_TRUE(io.ok);
  ASSERT_EQ(io.count, bytes.size());
  Bytes got(bytes.size());
  DWORD n = 0;
  ASSERT_TRUE(ReadFile(server_, got.data(), static_cast<DWORD>(got.size()), &n, nullptr));
  EXPECT_EQ(Bytes(got.begin(), got.begin() + n), bytes);
}

TEST_F(DeviceFilePipeTest, DeviceIdComesFromTheFileInTheTemporaryFolder) {
  const std::string idFile = DeviceIdFileFor(path_);
  EXPECT_EQ(std::filesystem::path(idFile).parent_path(),
            std::filesystem::path(::testing::TempDir()).parent_path());
  std::uint8_t buffer[200];
  EXPECT_EQ(device_->DeviceId(buffer), 0u);
  std::ofstream(idFile, std::ios::binary) << std::string("\x00\x07MFG:V;", 8);
  EXPECT_EQ(device_->DeviceId(buffer), 8u);
  EXPECT_EQ(buffer[1], 0x07);
  EXPECT_EQ(buffer[2], 'M');
  std::filesystem::remove(idFile);
}

TEST_F(DeviceFilePipeTest, AServerThatWentAwayIsAFailureNotAHang) {
  CloseHandle(server_);
  server_ = INVALID_HANDLE_VALUE;
  std::uint8_t buffer[16];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(device_->ReadReply(buffer, 5000).ok);
  EXPECT_FALSE(device_->Write(Bytes{0x00}, 5000).ok);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(DeviceFilePipeOpen, MissingPipeSaysWhyAndIsNeverStale) {
  const std::string path = PipeName("none");
  OpenFailure why;
  EXPECT_FALSE(OpenDeviceFile({path, ""}, InterfaceKind::Usb, why));
  EXPECT_NE(why.reason.find("does not exist"), std::string::npos) << why.reason;
  EXPECT_FALSE(IsStaleServerLink(path));
}

}  // namespace
}  // namespace vantor::test
