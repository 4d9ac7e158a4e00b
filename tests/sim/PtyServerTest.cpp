// The virtual printer served on a pseudo-terminal, driven through the link like a device file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "link/DeviceFile.h"
#include "sim/PtyServer.h"
#include "tests/sim/SimWire.h"

namespace vantor::sim::test {
namespace {

namespace fs = std::filesystem;

// Reads exactly n bytes or gives up after a few seconds of real time.
Bytes ReadFor(int fd, std::size_t n) {
  Bytes got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    std::uint8_t buffer[256];
    const ssize_t r = ::read(fd, buffer, std::min(sizeof buffer, n - got.size()));
    if (r > 0) got.insert(got.end(), buffer, buffer + r);
  }
  return got;
}

TEST(PtyServer, ServesTheDeviceSideAndCleansUp) {
  const std::string link =
      (fs::temp_directory_path() / ("vantor-pty-" + std::to_string(::getpid()))).string();
  VirtualClock clock;
  VirtualPrinter printer(clock, Model::Q40);
  std::istringstream console("paper out\n");
  std::ostringstream log;
  std::atomic<bool> stop{false};
  int status = -1;
  std::thread server([&] {
    status = ServeVirtual(printer, clock, link, console, log, ServeOptions{&stop, 10});
  });
  for (int i = 0; i < 500 && !fs::exists(DeviceIdFileFor(link)); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(fs::is_symlink(link));

  // The device-ID file beside the link: 2-byte length counting itself, then the text.
  std::ifstream idFile(DeviceIdFileFor(link), std::ios::binary);
  const Bytes id{std::istreambuf_iterator<char>(idFile), {}};
  ASSERT_GT(id.size(), 2u);
  EXPECT_EQ(id[0] * 256u + id[1], id.size());

  const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  // Written in two pieces: the server frames by the header, not by the write.
  ASSERT_EQ(::write(fd, kEntryPacket.data(), 10), 10);
  ASSERT_EQ(::write(fd, kEntryPacket.data() + 10, kEntryPacket.size() - 10),
            static_cast<ssize_t>(kEntryPacket.size() - 10));
  EXPECT_EQ(ReadFor(fd, 8), (Bytes{0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0xDA, 0x00}));
  ASSERT_EQ(::write(fd, kInitPacket.data(), kInitPacket.size()), 8);
  EXPECT_EQ(ReadFor(fd, 9), (Bytes{0x00, 0x00, 0x00, 0x09, 0x01, 0x00, 0x80, 0x00, 0x10}));
  ::close(fd);

  stop = true;
  server.join();
  EXPECT_EQ(status, 0);
  EXPECT_NE(log.str().find("serving on " + link), std::string::npos);
  EXPECT_TRUE(printer.State().paperOut);  // the console line was obeyed
  EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
  EXPECT_FALSE(fs::exists(DeviceIdFileFor(link)));
}

TEST(PtyServer, RefusesToReplaceSomethingThatIsNotALink) {
  const std::string path =
      (fs::temp_directory_path() / ("vantor-pty-file-" + std::to_string(::getpid()))).string();
  std::ofstream(path) << "keep me";
  VirtualClock clock;
  VirtualPrinter printer(clock, Model::Q40);
  std::istringstream console;
  std::ostringstream log;
  std::ostringstream errors;
  std::atomic<bool> stop{true};
  EXPECT_NE(ServeVirtual(printer, clock, path, console, log, ServeOptions{&stop, 10, &errors}), 0);
  EXPECT_EQ(errors.str(), path + " exists and is not a symbolic link\n");
  EXPECT_EQ(log.str(), "");
  std::ifstream in(path);
  std::string kept;
  std::getline(in, kept);
  EXPECT_EQ(kept, "keep me");
  fs::remove(path);
}

TEST(PtyServer, OneServerPerLinkAndItsFilesAreNotWrittenThroughPlantedLinks) {
  const fs::path dir = fs::temp_directory_path() / ("vantor-pty-two-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string link = (dir / "TVUSB1").string();
  const fs::path victim = dir / "victim";
  std::ofstream(victim) << "keep me";
  fs::create_symlink(victim, DeviceIdFileFor(link) + ".tmp." + std::to_string(::getpid()));
  VirtualClock clock;
  VirtualPrinter first(clock, Model::Q40), second(clock, Model::Q40);
  std::istringstream console1, console2;
  std::ostringstream log1, log2;
  std::atomic<bool> stop{false};
  int status = -1;
  std::thread server([&] {
    status = ServeVirtual(first, clock, link, console1, log1, ServeOptions{&stop, 10});
  });
  for (int i = 0; i < 500 && !fs::exists(DeviceIdFileFor(link)); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(fs::is_symlink(link));
  EXPECT_FALSE(IsStaleServerLink(link));
  const std::string served = fs::read_symlink(link).string();

  std::atomic<bool> stopNow{true};
  EXPECT_NE(ServeVirtual(second, clock, link, console2, log2, ServeOptions{&stopNow, 10, &log2}),
            0);
  EXPECT_NE(log2.str().find(link + " is served by process " + std::to_string(::getpid())),
            std::string::npos)
      << log2.str();
  EXPECT_EQ(fs::read_symlink(link).string(), served);  // the running server's link stays

  stop = true;
  server.join();
  EXPECT_EQ(status, 0);
  std::ifstream in(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");
  fs::remove_all(dir);
}

TEST(PtyServer, ConsoleSwitchesFaultsOnAndOff) {
  VirtualClock clock;
  VirtualPrinter printer(clock, Model::Q40);
  std::ostringstream log;
  EXPECT_TRUE(RunConsoleLine(printer, "fault no-reply,count=all,after=3", log));
  EXPECT_EQ(printer.GetFaults().dropReplies, -1);
  EXPECT_EQ(log.str(), "ok\n");
  EXPECT_TRUE(RunConsoleLine(printer, "fault off", log));
  EXPECT_EQ(printer.GetFaults().dropReplies, 0);
  log.str("");
  EXPECT_TRUE(RunConsoleLine(printer, "fault smoke", log));
  EXPECT_EQ(log.str().rfind("unknown fault smoke", 0), 0u) << log.str();
}

}  // namespace
}  // namespace vantor::sim::test
