// The port doctor on Windows: what each name leads to, whether it opens, who may hold it and
// what to do. A print queue or a printer status monitor holding the port is the usual cause
// of "Cannot open port.".
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cctype>

#include "link/backends/PortDoctorSteps.h"
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

}  // namespace

void InspectPort(const PortTable& table, const DoctorOptions& options, PortCheck& check) {
  SplitDescription(table.Describe(check.name), check);
  if (check.device.empty()) return;
  check.node = check.device;
  check.accessible = true;  // Windows grants printer ports to every user; opening tells more
  if (!options.tryOpen) {
    check.exists = true;
    return;
  }
  if (!OpenAndAskForId(table, check)) {
    check.exists = check.failure.find("does not exist") == std::string::npos &&
                   check.failure.find("no device") == std::string::npos;
    if (check.failure.find("busy") != std::string::npos) check.holders = LikelyHolders();
    return;
  }
  check.exists = true;
}

std::vector<std::string> AdviceFor(const PortCheck& check) {
  std::vector<std::string> advice;
  const bool usb = check.name.starts_with("TVUSB");
  if (check.device.empty()) {
    advice.push_back(usb ? "Connect the printer by USB and switch it on. " + check.name +
                               " is looked for in this order: the port of the printer's USB port "
                               "driver named " +
                               check.name + ": (by PortName, then as \\\\.\\" + check.name +
                               ":), then printer " + check.name.substr(5) +
                               " of Windows' USB printing class (Device Manager, Printers)."
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
    if (check.failure.find(texts::kPortKeyRefused) != std::string::npos) {
      // The lookup asks for the key with full access, which Windows gives administrators only.
      advice.push_back(
          "Windows refused the settings of the printer's USB port driver. Run vantorctl from a "
          "command prompt opened with \"Run as administrator\", then `vantorctl ports` again.");
    } else if (check.failure.find("busy") != std::string::npos) {
      const std::string who = JoinedHolders(check);
      advice.push_back(
          "Another program holds " + check.node +
          (who.empty() ? std::string() : " (running now: " + who + ")") +
          ". Pause the print queue of this printer (Settings, Printers, Open print queue, "
          "Pause) and quit its status monitor, then run `vantorctl ports` again.");
    } else {
      advice.push_back(RetryAdvice(check));
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

// Windows tells nothing of permissions or drivers that opening the port does not.
std::string PortStateDetails(const PortCheck&) {
  return {};
}

}  // namespace vantor
