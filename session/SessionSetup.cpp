#include "session/SessionSetup.h"

#include <filesystem>
#include <iterator>

#include "link/EepromAddresses.h"
#include "link/backends/PortDefaults.h"
#include "sim/Faults.h"
#include "sim/VirtualPrinter.h"

namespace vantor {

Model ModelFromStateFile(const std::string& path) {
  // A folder opens as a stream but throws at the first read.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return Model::Q40;
  std::ifstream in(path, std::ios::binary);
  if (!in) return Model::Q40;
  const std::vector<char> image{std::istreambuf_iterator<char>(in), {}};
  if (image.size() != 256) return Model::Q40;
  return std::uint8_t(image[eeprom::kModelDefault]) == eeprom::kModelQ30 ? Model::Q30 : Model::Q40;
}

std::string_view OptionNeedingVirtualPrinter(const SessionOptions& o, bool realTime) {
  if (o.virtualPrinter) return {};
  if (!o.pagesDir.empty()) return "--pages";
  if (!o.capture.empty()) return "--capture";
  if (realTime) return "--real-time";
  if (!o.faults.empty()) return "--virtual-fault";
  if (!o.misalign.empty()) return "--virtual-misalign";
  return {};
}

SessionSetup::SessionSetup(Clock& clock) : clock_(clock) {}

std::string SessionSetup::RefusedWriteCause(std::int16_t channelError) const {
  if (!printer_ || channelError != kChannelWriteRefused) return {};
  return printer_->SaveError();
}

bool SessionSetup::SaveVirtualEeprom(std::string& words) {
  if (!printer_ || printer_->SaveState()) return true;
  words = printer_->SaveError();
  return false;
}

SessionSetup::~SessionSetup() {
  pages_.Detach();
}

bool SessionSetup::Build(const SessionOptions& options, SetupFailure& failure) {
  if (options.virtualPrinter) {
    if (!BuildVirtualPrinter(options, failure)) return false;
  } else {
    AddDefaultPorts(table_);
  }
  for (const std::string& device : options.devices) {
    const auto eq = device.find('=');
    std::string why;
    if (eq == std::string::npos ||
        !OverridePort(table_, device.substr(0, eq), device.substr(eq + 1), why)) {
      failure = {SetupStep::Device,
                 "--device " + device + ": " + (why.empty() ? "expected NAME=PATH" : why)};
      return false;
    }
  }
  if (!options.traceFile.empty()) {
    trace_ = WireTrace::ToFile(options.traceFile);
    if (!trace_) {
      failure = {SetupStep::Trace, "cannot write " + options.traceFile};
      return false;
    }
  }
  return !printer_ || ApplySettings(options, failure);
}

bool SessionSetup::ApplySettings(const SessionOptions& options, SetupFailure& failure) {
  std::string why;
  if (!options.misalign.empty() && !printer_->SetMisalignment(options.misalign, why)) {
    failure = {SetupStep::Settings, "--virtual-misalign: " + why};
    return false;
  }
  for (const std::string& setting : options.faults) {
    if (!printer_->GetFaults().Apply(setting, why)) {
      failure = {SetupStep::Settings, why};
      return false;
    }
  }
  return true;
}

bool SessionSetup::BuildVirtualPrinter(const SessionOptions& options, SetupFailure& failure) {
  std::error_code ec;
  const bool existing =
      !options.stateFile.empty() && std::filesystem::exists(options.stateFile, ec);
  const Model model =
      existing ? ModelFromStateFile(options.stateFile) : options.model.value_or(Model::Q40);
  printer_ = std::make_unique<sim::VirtualPrinter>(clock_, model);
  std::string why;
  if (!options.stateFile.empty() && !printer_->UseStateFile(options.stateFile, why)) {
    failure = {SetupStep::StateFile, why};
    return false;
  }
  if (!options.capture.empty()) {
    capture_.open(options.capture, std::ios::binary | std::ios::trunc);
    if (!capture_) {
      failure = {SetupStep::Capture, "cannot write " + options.capture};
      return false;
    }
    printer_->SetCapture(&capture_);
  }
  // Sheets are only rendered when someone takes them.
  if ((!options.pagesDir.empty() || options.pageObserver) &&
      !pages_.Attach(*printer_, options.pagesDir, options.pageObserver, why)) {
    failure = {SetupStep::Pages, why};
    return false;
  }
  printer_->AttachTo(table_);
  return true;
}

bool SessionSetup::FlushCapture() {
  if (!capture_.is_open()) return true;
  return static_cast<bool>(capture_.flush());
}

}  // namespace vantor
