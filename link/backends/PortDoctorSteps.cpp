#include "link/backends/PortDoctorSteps.h"

#include <array>
#include <sstream>

#include "link/backends/DeviceIdReply.h"
#include "link/backends/PortTexts.h"

namespace vantor {

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

bool OpenAndAskForId(const PortTable& table, PortCheck& check) {
  OpenFailure why;
  const auto kind = check.name.starts_with("LPT") ? InterfaceKind::Parallel : InterfaceKind::Usb;
  auto device = table.Open(check.name, kind, why);
  if (!device) {
    check.failure = why.reason.empty() ? std::string(texts::kOpenFails) : why.reason;
    return false;
  }
  check.opened = true;
  std::array<std::uint8_t, 1024> reply{};
  const std::size_t n = std::min(device->DeviceId(reply), reply.size());
  const DeviceIdText id = ParseDeviceId(std::span(reply).first(n));
  if (id.Usable()) {
    check.deviceId = id.text;
    if (id.shape != DeviceIdShape::Exact) check.deviceIdNote = std::string(DescribeShape(id.shape));
  }
  return true;
}

std::string JoinedHolders(const PortCheck& check) {
  std::string who;
  for (const auto& holder : check.holders) who += (who.empty() ? "" : ", ") + holder;
  return who;
}

std::string RetryAdvice(const PortCheck& check) {
  return "Switch the printer off and on, reconnect the cable and run `vantorctl ports` again (" +
         check.failure + ").";
}

std::vector<PortCheck> ExaminePorts(const PortTable& table, const DoctorOptions& options) {
  std::vector<PortCheck> checks;
  for (const auto name : kPortNames) {
    PortCheck check;
    check.name = std::string(name);
    InspectPort(table, options, check);
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
      out << check.device << " (" << check.backend << ")";
      if (check.node != check.device) out << ", " << check.node;
      out << "\n    " << (check.exists ? texts::kPresent : texts::kMissing)
          << PortStateDetails(check);
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
