// The port doctor: for each interface name, where it leads, what is missing and what to do.
#pragma once

#include <string>
#include <vector>

#include "link/PortDevice.h"

namespace vantor {

struct PortCheck {
  std::string name;
  std::string device;   // as the port table describes it; empty when the name maps to nothing
  std::string backend;  // "device file", "libusb", "ppdev"
  std::string node;     // the file under /dev that must exist and open
  bool exists = false;
  bool accessible = false;  // this user may read and write the node
  std::string group;        // the group owning the node
  bool inGroup = false;     // this user is a member of that group
  bool opened = false;
  std::string failure;               // why the open failed
  std::vector<std::string> holders;  // programs that have the node open
  std::string driver;                // the kernel driver bound to it
  std::string deviceId;              // empty when the printer gave none
  std::string deviceIdNote;          // how the reply was shaped, when not as it should be
  std::vector<std::string> advice;
};

struct DoctorOptions {
  std::string root;  // prefix for /dev, /sys and /proc; tests build a tree there
  bool tryOpen = true;
};

std::vector<PortCheck> ExaminePorts(const PortTable& table, const DoctorOptions& options = {});
// Concrete steps for what the check found; empty when the port works.
std::vector<std::string> AdviceFor(const PortCheck& check);
std::string FormatDoctorReport(const std::vector<PortCheck>& checks);
// A port works when it opened and its printer answered the device-ID request.
bool AnyPortWorks(const std::vector<PortCheck>& checks);

}  // namespace vantor
