#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "link/backends/PortDoctor.h"
#include "link/backends/PortDoctorSteps.h"
#include "link/backends/PortTexts.h"
#include "link/backends/UsbBackend.h"

namespace vantor {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kUdevRule = "60-vantor-adjust.rules";

std::string ReadLine(const fs::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
  return line;
}

std::string LinkName(const fs::path& path) {
  std::error_code ec;
  const fs::path target = fs::read_symlink(path, ec);
  return ec ? std::string() : target.filename().string();
}

std::string NodeOf(const std::string& device) {
  if (const auto address = ParseUsbSelector(device)) {
    char path[32];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03d/%03d", address->bus, address->address);
    return path;
  }
  return device;
}

bool UserInGroup(gid_t gid) {
  if (getegid() == gid) return true;
  const int count = getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = getgroups(count, groups.data());
  for (int i = 0; i < got; ++i)
    if (groups[static_cast<std::size_t>(i)] == gid) return true;
  return false;
}

std::string GroupName(gid_t gid) {
  if (const group* g = getgrgid(gid)) return g->gr_name;
  return std::to_string(gid);
}

std::vector<std::string> HoldersOf(const std::string& root, const std::string& node) {
  std::vector<std::string> holders;
  std::error_code ec;
  const std::string self = std::to_string(getpid());
  for (const auto& process : fs::directory_iterator(root + "/proc", ec)) {
    const std::string pid = process.path().filename().string();
    if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid == self)
      continue;
    std::error_code fdError;
    for (const auto& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
      std::error_code linkError;
      const fs::path target = fs::read_symlink(fd.path(), linkError);
      if (!linkError && target == root + node) {
        holders.push_back(ReadLine(process.path() / "comm") + " (pid " + pid + ")");
        break;
      }
    }
  }
  return holders;
}

std::string DriverOf(const std::string& root, const std::string& node) {
  const fs::path path(node);
  const std::string base = path.filename().string();
  if (node.starts_with("/dev/usb/lp"))
    return LinkName(root + "/sys/class/usbmisc/" + base + "/device/driver");
  if (node.starts_with("/dev/parport")) {
    std::error_code ec;
    return fs::exists(root + "/sys/class/ppdev/" + base, ec) ? "ppdev" : "";
  }
  if (node.starts_with("/dev/bus/usb/")) {
    // The printer-class interface of the device with this bus number and address.
    const std::string wanted = path.parent_path().filename().string() + "/" + base;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root + "/sys/bus/usb/devices", ec)) {
      const std::string name = entry.path().filename().string();
      if (name.find(':') == std::string::npos) continue;
      if (ReadLine(entry.path() / "bInterfaceClass") != "07") continue;
      const fs::path parent = entry.path().parent_path() / name.substr(0, name.find(':'));
      char expected[16];
      std::snprintf(expected, sizeof expected, "%03d/%03d",
                    std::atoi(ReadLine(parent / "busnum").c_str()),
                    std::atoi(ReadLine(parent / "devnum").c_str()));
      if (wanted == expected) return LinkName(entry.path() / "driver");
    }
  }
  return {};
}

}  // namespace

void InspectPort(const PortTable& table, const DoctorOptions& options, PortCheck& check) {
  SplitDescription(table.Describe(check.name), check);
  if (check.device.empty()) return;
  check.node = NodeOf(check.device);
  const std::string path = options.root + check.node;
  struct stat info {};
  check.exists = ::stat(path.c_str(), &info) == 0;
  if (!check.exists) return;
  check.accessible = ::access(path.c_str(), R_OK | W_OK) == 0;
  check.group = GroupName(info.st_gid);
  check.inGroup = UserInGroup(info.st_gid);
  check.driver = DriverOf(options.root, check.node);
  if (!options.tryOpen) return;

  if (!OpenAndAskForId(table, check) && check.failure.find("busy") != std::string::npos)
    check.holders = HoldersOf(options.root, check.node);
}

std::vector<std::string> AdviceFor(const PortCheck& check) {
  std::vector<std::string> advice;
  const bool usb = check.name.starts_with("TVUSB");
  if (check.device.empty()) {
    advice.push_back(usb ? "Connect the printer by USB and switch it on; `lsusb` should then list "
                           "it, and this port shows the device it maps to."
                         : "Point the name at a port: vantorctl --device " + check.name +
                               "=/dev/parport0 ...");
    return advice;
  }
  if (!check.exists) {
    if (check.node.starts_with("/dev/parport")) {
      advice.push_back("Load the parallel port drivers: sudo modprobe -a parport_pc ppdev");
      if (check.name == "LPT1")
        advice.push_back("A machine without a parallel port reaches the printer by USB (TVUSB1).");
    } else if (check.node.starts_with("/dev/usb/lp")) {
      advice.push_back(
          "Connect the printer by USB and switch it on; if `lsusb` lists it, load "
          "the printer driver: sudo modprobe usblp");
    } else if (check.node.starts_with("/dev/bus/usb/")) {
      advice.push_back(
          "The printer was unplugged or switched off; connect it and run "
          "`vantorctl ports` again.");
    } else {
      advice.push_back("Check the path given with --device: " + check.node + " does not exist.");
    }
    return advice;
  }
  const bool denied = !check.accessible || check.failure.find("permission") != std::string::npos;
  if (denied) {
    if (!check.group.empty() && check.group != "root" && !check.inGroup) {
      advice.push_back("Join the group that owns " + check.node + ": sudo usermod -aG " +
                       check.group + " \"$USER\", then log out and in again.");
    } else {
      advice.push_back(
          "Install the udev rule that gives the lp group the printer ports: sudo "
          "cmake --install <build dir> (or copy packaging/udev/" +
          std::string(kUdevRule) +
          " to /etc/udev/rules.d/), then sudo udevadm control --reload-rules && "
          "sudo udevadm trigger, and join the group: sudo usermod -aG lp \"$USER\".");
    }
    return advice;
  }
  if (!check.failure.empty()) {
    if (check.failure.find("busy") != std::string::npos) {
      const std::string who = JoinedHolders(check);
      advice.push_back(who.empty() ? "Another program holds " + check.node + "; `sudo fuser -v " +
                                         check.node +
                                         "` names it. Stop "
                                         "it (a print queue for this printer, for example)."
                                   : "Stop the program holding " + check.node + ": " + who + ".");
    } else {
      advice.push_back(RetryAdvice(check));
    }
    return advice;
  }
  if (check.opened && check.deviceId.empty()) {
    advice.push_back(
        "The port opens but the printer gives no device ID; the start window would "
        "report \"Communication error.\". Check that the printer is on, out of any "
        "error state and that the cable is firmly in.");
  }
  return advice;
}

std::string PortStateDetails(const PortCheck& check) {
  if (!check.exists) return {};
  return std::string("; ") +
         (check.accessible ? "read/write allowed" : "no read/write permission") + " (group " +
         check.group + "); " + std::string(texts::kDriver) + " " +
         (check.driver.empty() ? std::string(texts::kNoDriver) : check.driver);
}

}  // namespace vantor
