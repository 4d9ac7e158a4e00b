// The port doctor on Windows: what each name leads to, whether it opens, who may hold it and
// what to do. A print queue or a printer status monitor holding the port is the usual cause
// of "Cannot open port.".
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <array>
#include <cctype>
#include <sstream>

#include "link/backends/DeviceIdReply.h"
#include "link/backends/PortDoctor.h"
#include "link/backends/PortTexts.h"

namespace vantor {

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Windows does not say who holds a device; these are the programs that usually do.
std::vector<std::string> LikelyHolders() {
  std::vector<std::string> holders;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return holders;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    const std::string name = entry.szExeFile;
    const std::string lower = Lower(name);
    if (lower == "spoolsv.exe") {
      holders.push_back(name + " (the print spooler, for a print queue on this port)");
    } else if (lower.find("status") != std::string::npos ||
               lower.find("monitor") != std::string::npos) {
      holders.push_back(name + " (a status monitor)");
    }
  }
  CloseHandle(snapshot);
  return holders;
}

void SplitDescription(const std::string& description, PortCheck& check) {
  const auto open = description.rfind(" (");
  if (open != std::string::npos && description.ends_with(")")) {
    check.device = description.substr(0, open);
    check.backend = description.substr(open + 2, description.size() - open - 3);
  } else {
    check.device = description;
    check.backend = description.empty() ? "" : "device file";
  }
}

void Inspect(const PortTable& table, const DoctorOptions& options, PortCheck& check) {
  SplitDescription(table.Describe(check.name), check);
  if (check.device.empty()) return;
  check.node = check.device;
  check.accessible = true;  // Windows grants printer ports to every user; opening tells more
  if (!options.tryOpen) {
    check.exists = true;
    return;
  }
  OpenFailure why;
  const auto kind = check.name.starts_with("LPT") ? InterfaceKind::Parallel : InterfaceKind::Usb;
  auto device = table.Open(check.name, kind, why);
  if (!device) {
    check.failure = why.reason.empty() ? std::string(texts::kOpenFails) : why.reason;
    check.exists = check.failure.find("does not exist") == std::string::npos &&
                   check.failure.find("no device") == std::string::npos;
    if (check.failure.find("busy") != std::string::npos) check.holders = LikelyHolders();
    return;
  }
  check.exists = true;
  check.opened = true;
  std::array<std::uint8_t, 1024> reply{};
  const std::size_t n = std::min(device->DeviceId(reply), reply.size());
  const DeviceIdText id = ParseDeviceId(std::span(reply).first(n));
  if (id.Usable()) {
    check.deviceId = id.text;
    if (id.shape != DeviceIdShape::Exact) check.deviceIdNote = std::string(DescribeShape(id.shape));
  }
}

}  // namespace

std::vector<std::string> AdviceFor(const PortCheck& check) {
  std::vector<std::string> advice;
  const bool usb = check.name.starts_with("TVUSB");
  if (check.device.empty()) {
    advice.push_back(usb ? "Connect the printer by USB and switch it on; Device Manager should "
                           "then list it under Printers or USB devices, and this port shows the "
                           "device it maps to."
                         : "Point the name at a port: vantorctl --device " + check.name +
                               "=\\\\.\\LPT1 ...");
    return advice;
  }
  if (!check.exists) {
    advice.push_back(usb ? "The printer was unplugged or switched off; connect it and run "
                           "`vantorctl ports` again."
                         : "This machine has no " + check.name +
                               "; a machine without a parallel port reaches the printer by "
                               "USB (TVUSB1).");
    return advice;
  }
  if (!check.failure.empty()) {
    if (check.failure.find("busy") != std::string::npos) {
      std::string who;
      for (const auto& holder : check.holders) who += (who.empty() ? "" : ", ") + holder;
      advice.push_back(
          "Another program holds " + check.node +
          (who.empty() ? std::string() : " (running now: " + who + ")") +
          ". Pause the print queue of this printer (Settings, Printers, Open print queue, "
          "Pause) and quit its status monitor, then run `vantorctl ports` again.");
    } else {
      advice.push_back(
          "Switch the printer off and on, reconnect the cable and run "
          "`vantorctl ports` again (" +
          check.failure + ").");
    }
    return advice;
  }
  if (check.opened && check.deviceId.empty()) {
    advice.push_back(
        "The port opens but the printer gives no device ID; the start window would "
        "report \"Communication error.\". Check that the printer is on, out of any "
        "error state and that the cable is firmly in; a parallel port must be set to ECP or "
        "bidirectional mode in the machine's firmware setup to read the printer back.");
  }
  return advice;
}

std::vector<PortCheck> ExaminePorts(const PortTable& table, const DoctorOptions& options) {
  std::vector<PortCheck> checks;
  for (const auto name : kPortNames) {
    PortCheck check;
    check.name = std::string(name);
    Inspect(table, options, check);
    check.advice = AdviceFor(check);
    checks.push_back(std::move(check));
  }
  return checks;
}

bool AnyPortWorks(const std::vector<PortCheck>& checks) {
  for (const auto& check : checks)
    if (check.opened && !check.deviceId.empty()) return true;
  return false;
}

std::string FormatDoctorReport(const std::vector<PortCheck>& checks) {
  std::ostringstream out;
  out << texts::kDoctorTitle << "\n";
  for (const auto& check : checks) {
    out << "\n" << check.name << "  ";
    if (check.device.empty()) {
      out << texts::kNoDevice << "\n";
    } else {
      out << check.device << " (" << check.backend << ")\n    "
          << (check.exists ? texts::kPresent : texts::kMissing);
      if (check.opened) out << "; " << texts::kOpenOk;
      if (!check.failure.empty()) out << "; " << texts::kOpenFails << ": " << check.failure;
      out << "\n";
      if (check.opened) {
        out << "    " << texts::kDeviceIdLabel << ": "
            << (check.deviceId.empty() ? std::string("none") : check.deviceId);
        if (!check.deviceIdNote.empty()) out << " [" << check.deviceIdNote << "]";
        out << "\n";
      }
    }
    for (const auto& step : check.advice) out << "    " << texts::kAdvice << ": " << step << "\n";
  }
  if (!AnyPortWorks(checks)) out << "\n" << texts::kNoPorts << "\n";
  return out.str();
}

}  // namespace vantor
