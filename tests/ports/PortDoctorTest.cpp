#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "link/backends/PortDefaults.h"
#include "link/backends/PortDoctor.h"

namespace vantor {
namespace {

namespace fs = std::filesystem;

bool Mentions(const std::vector<std::string>& advice, const std::string& words) {
  for (const auto& step : advice)
    if (step.find(words) != std::string::npos) return true;
  return false;
}

PortCheck Found(std::string name, std::string node) {
  PortCheck check;
  check.name = std::move(name);
  check.device = node;
  check.node = std::move(node);
  check.exists = true;
  check.accessible = true;
  check.group = "lp";
  return check;
}

TEST(DoctorAdvice, MissingDevicesNameTheDriverToLoad) {
  PortCheck lpt = Found("LPT1", "/dev/parport0");
  lpt.exists = false;
  EXPECT_TRUE(Mentions(AdviceFor(lpt), "sudo modprobe -a parport_pc ppdev"));

  PortCheck usb;
  usb.name = "TVUSB2";
  EXPECT_TRUE(Mentions(AdviceFor(usb), "lsusb"));
}

TEST(DoctorAdvice, PermissionDeniedNamesTheGroupOrTheUdevRule) {
  PortCheck check = Found("TVUSB1", "/dev/usb/lp0");
  check.accessible = false;
  EXPECT_TRUE(Mentions(AdviceFor(check), "sudo usermod -aG lp \"$USER\", then log out"));

  check.group = "root";  // no group to join until the udev rule is in place
  const auto advice = AdviceFor(check);
  EXPECT_TRUE(Mentions(advice, "60-vantor-adjust.rules"));
  EXPECT_TRUE(Mentions(advice, "udevadm trigger"));

  // libusb reports it on open even when the node looked accessible.
  PortCheck claimed = Found("TVUSB1", "/dev/bus/usb/001/005");
  claimed.failure = "permission denied (/dev/bus/usb/001/005)";
  EXPECT_TRUE(Mentions(AdviceFor(claimed), "sudo usermod -aG lp"));
}

TEST(DoctorAdvice, BusyPortNamesTheHolder) {
  PortCheck check = Found("TVUSB1", "/dev/usb/lp0");
  check.failure = "busy: another program holds it";
  EXPECT_TRUE(Mentions(AdviceFor(check), "sudo fuser -v /dev/usb/lp0"));
  check.holders = {"spoold (pid 812)"};
  EXPECT_TRUE(Mentions(AdviceFor(check), "spoold (pid 812)"));
}

TEST(DoctorAdvice, WorkingPortNeedsNothingButASilentOneDoes) {
  PortCheck check = Found("TVUSB1", "/dev/usb/lp0");
  check.opened = true;
  check.deviceId = "MFG:Vantor;MDL:Q40;";
  EXPECT_TRUE(AdviceFor(check).empty());
  check.deviceId.clear();
  EXPECT_TRUE(Mentions(AdviceFor(check), "Communication error."));
}

class FakeIdDevice final : public PortDevice {
 public:
  explicit FakeIdDevice(std::vector<std::uint8_t> id) : id_(std::move(id)) {}
  IoResult Write(std::span<const std::uint8_t>, std::int64_t) override { return {}; }
  IoResult Read(std::span<std::uint8_t>, std::int64_t) override { return {}; }
  IoResult ReadReply(std::span<std::uint8_t>, std::int64_t) override { return {}; }
  std::size_t DeviceId(std::span<std::uint8_t> buffer) override {
    const std::size_t n = std::min(buffer.size(), id_.size());
    std::copy_n(id_.begin(), n, buffer.begin());
    return n;
  }

 private:
  std::vector<std::uint8_t> id_;
};

// A machine in a directory: device nodes, sysfs links and a process holding a port.
class DoctorOnATree : public ::testing::Test {
 protected:
  void SetUp() override {
    root = fs::temp_directory_path() /
           ("vantor-doctor-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root);
    Touch("dev/usb/lp0");
    Touch("dev/usb/lp1");
    fs::create_directories(root / "sys/bus/usb/drivers/usblp");
    fs::create_directories(root / "sys/class/usbmisc/lp0/device");
    fs::create_directory_symlink(root / "sys/bus/usb/drivers/usblp",
                                 root / "sys/class/usbmisc/lp0/device/driver");
    fs::create_directories(root / "proc/812/fd");
    std::ofstream(root / "proc/812/comm") << "spoold\n";
    fs::create_symlink(root / "dev/usb/lp1", root / "proc/812/fd/4");
  }
  void TearDown() override { fs::remove_all(root); }
  void Touch(const std::string& path) {
    fs::create_directories((root / path).parent_path());
    std::ofstream(root / path) << "";
  }
  fs::path root;
};

TEST_F(DoctorOnATree, ReportsEachNameWithWhatItFound) {
  PortTable table;
  table.Set("TVUSB1", "/dev/usb/lp0 (device file)", [](InterfaceKind, OpenFailure&) {
    const std::string id = "MFG:Vantor;MDL:Q40;";
    std::vector<std::uint8_t> reply = {0x00, static_cast<std::uint8_t>(id.size() + 2)};
    reply.insert(reply.end(), id.begin(), id.end());
    return std::unique_ptr<PortDevice>(std::make_unique<FakeIdDevice>(reply));
  });
  table.Set("TVUSB2", "/dev/usb/lp1 (device file)",
            [](InterfaceKind, OpenFailure& why) -> std::unique_ptr<PortDevice> {
              why.reason = "busy: another program holds it";
              return nullptr;
            });
  table.Set("LPT1", "/dev/parport0 (ppdev)", [](InterfaceKind, OpenFailure&) {
    ADD_FAILURE() << "a missing port is not opened";
    return std::unique_ptr<PortDevice>();
  });

  const auto checks = ExaminePorts(table, DoctorOptions{root.string(), true});
  ASSERT_EQ(checks.size(), 6u);
  const PortCheck& lpt1 = checks[0];
  EXPECT_EQ(lpt1.name, "LPT1");
  EXPECT_FALSE(lpt1.exists);
  EXPECT_TRUE(Mentions(lpt1.advice, "modprobe"));
  EXPECT_TRUE(checks[1].device.empty());  // LPT2 maps to nothing in this table

  const PortCheck& usb1 = checks[3];
  EXPECT_TRUE(usb1.opened);
  EXPECT_EQ(usb1.backend, "device file");
  EXPECT_EQ(usb1.driver, "usblp");
  EXPECT_EQ(usb1.deviceId, "MFG:Vantor;MDL:Q40;");
  EXPECT_TRUE(usb1.advice.empty());

  const PortCheck& usb2 = checks[4];
  EXPECT_FALSE(usb2.opened);
  ASSERT_EQ(usb2.holders.size(), 1u);
  EXPECT_EQ(usb2.holders[0], "spoold (pid 812)");

  const std::string report = FormatDoctorReport(checks);
  EXPECT_NE(report.find("TVUSB1  /dev/usb/lp0 (device file)"), std::string::npos);
  EXPECT_NE(report.find("device ID: MFG:Vantor;MDL:Q40;"), std::string::npos);
  EXPECT_TRUE(AnyPortWorks(checks));
}

TEST_F(DoctorOnATree, UsbNamesFollowTheKernelDriverOrFallBackToLibusb) {
  UsbPrinterInfo first;
  first.bus = 1;
  first.portPath = {2};
  first.address = 4;
  UsbPrinterInfo second = first;
  second.portPath = {3};
  second.address = 9;
  fs::create_directories(root / "sys/bus/usb/devices/1-2:1.0/usbmisc/lp1");
  const std::vector<UsbPrinterInfo> printers = {first, second};

  const PortRoute one = RouteUsbPort(0, printers, root.string());
  EXPECT_EQ(one.backend, Backend::DeviceFile);
  EXPECT_EQ(one.device, "/dev/usb/lp1");
  const PortRoute two = RouteUsbPort(1, printers, root.string());
  EXPECT_EQ(two.backend, Backend::Libusb);
  EXPECT_EQ(two.device, "usb:1:9");
  EXPECT_EQ(DescribeRoute(two), "usb:1:9 (libusb)");
  // No third printer; the lp1 file already belongs to the first.
  EXPECT_EQ(RouteUsbPort(2, printers, root.string()).backend, Backend::None);
  Touch("dev/usb/lp2");
  EXPECT_EQ(RouteUsbPort(2, printers, root.string()).backend, Backend::None);
  // With no printer visible to libusb the usblp files still serve, in their own order.
  EXPECT_EQ(RouteUsbPort(1, {}, root.string()).device, "/dev/usb/lp1");
}

}  // namespace
}  // namespace vantor
