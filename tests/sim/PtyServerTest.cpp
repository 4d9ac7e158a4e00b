// The virtual printer served on a pseudo-terminal or an existing device, driven through the
// link like a device file; and what every carrier shares.
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
#include "sim/ServeLoop.h"
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

TEST(ServedPrinter, AHostThatGoesAwayLeavesNothingBehindForTheNext) {
  VirtualClock clock;
  VirtualPrinter printer(clock, Model::Q40);
  ServedPrinter served(printer);
  const Bytes entryReply{0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0xDA, 0x00};
  served.FromHost(kEntryPacket);
  served.CollectReplies();
  EXPECT_EQ(served.Outgoing(), entryReply);
  // Gone halfway through a packet, and before hearing the reply to the first.
  served.FromHost({kInitPacket.data(), 3});
  served.HostGone();
  EXPECT_TRUE(served.Outgoing().empty());
  served.FromHost(kEntryPacket);
  served.CollectReplies();
  EXPECT_EQ(served.Outgoing(), entryReply);
  served.Sent(3);
  EXPECT_EQ(served.Outgoing(), Bytes(entryReply.begin() + 3, entryReply.end()));
}

TEST(ConsoleLines, RunsWholeLinesFromPiecesAndStopsAtQuit) {
  struct Case {
    std::vector<std::string> pieces;
    bool goesOn;
    bool paperOut;
  };
  const Case cases[] = {
      {{"paper out\n"}, true, true},
      {{"pap", "er o", "ut\n"}, true, true},
      {{"paper out"}, true, false},  // not a line yet
      {{"quit\npaper out\n"}, false, false},
  };
  for (const Case& c : cases) {
    VirtualClock clock;
    VirtualPrinter printer(clock, Model::Q40);
    ConsoleLines lines;
    std::ostringstream log;
    bool goesOn = true;
    for (const std::string& piece : c.pieces) {
      goesOn = lines.Feed(printer, piece.data(), piece.size(), log);
      if (!goesOn) break;
    }
    EXPECT_EQ(goesOn, c.goesOn) << c.pieces[0];
    EXPECT_EQ(printer.State().paperOut, c.paperOut) << c.pieces[0];
  }
}

// A pseudo-terminal's far end stands in for a gadget's printer file: a character device whose
// host can go away.
TEST(DeviceServer, ServesAnExistingDeviceAndOutlivesItsHost) {
  const int host = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(host, 0);
  ASSERT_EQ(::grantpt(host), 0);
  ASSERT_EQ(::unlockpt(host), 0);
  const std::string device = ::ptsname(host);
  // Raw, so that the terminal passes the bytes as they are; kept open so that it stays raw.
  const int keep = ::open(device.c_str(), O_RDWR | O_NOCTTY);
  termios t{};
  ::tcgetattr(keep, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(keep, TCSANOW, &t);

  VirtualClock clock;
  VirtualPrinter printer(clock, Model::Q40);
  std::istringstream console;
  std::ostringstream log;
  std::atomic<bool> stop{false};
  int status = -1;
  std::thread server([&] {
    status = ServeVirtualOnDevice(printer, device, console, log, ServeOptions{&stop, 10});
  });
  ASSERT_EQ(::write(host, kEntryPacket.data(), kEntryPacket.size()),
            static_cast<ssize_t>(kEntryPacket.size()));
  EXPECT_EQ(ReadFor(host, 8), (Bytes{0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0xDA, 0x00}));
  ::close(host);  // the device's far end hangs up for good
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  stop = true;
  server.join();
  ::close(keep);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(log.str(), "serving on " + device + "\n");
}

TEST(DeviceServer, RefusesWhatIsNoDevice) {
  const std::string file =
      (fs::temp_directory_path() / ("vantor-dev-" + std::to_string(::getpid()))).string();
  std::ofstream(file) << "not a device";
  const struct {
    std::string path;
    std::string words;
  } cases[] = {
      {file, file + " is not a character device\n"},
      {file + ".missing", "cannot open " + file + ".missing: No such file or directory\n"},
  };
  for (const auto& c : cases) {
    VirtualClock clock;
    VirtualPrinter printer(clock, Model::Q40);
    std::istringstream console;
    std::ostringstream log, errors;
    std::atomic<bool> stop{true};
    EXPECT_EQ(ServeVirtualOnDevice(printer, c.path, console, log, ServeOptions{&stop, 10, &errors}),
              1);
    EXPECT_EQ(errors.str(), c.words);
    EXPECT_EQ(log.str(), "");
  }
  fs::remove(file);
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
