// What a session runs on, set up the same way for vantorctl and vantor-adjust: the port table
// (this machine's ports or the in-process virtual printer), the printer's state file, capture
// and pages, the wire trace, and the --device overrides.
#pragma once

#include <atomic>
#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/Clock.h"
#include "link/Model.h"
#include "link/PortDevice.h"
#include "link/WireTrace.h"
#include "session/PageOutput.h"

namespace vantor {

namespace sim {
class VirtualPrinter;
}

struct SessionOptions {
  bool virtualPrinter = false;
  // The virtual printer's model when its state file is new or there is none (unset: Q40); an
  // existing state file keeps the model it holds.
  std::optional<Model> model;
  std::string stateFile;              // the virtual printer's EEPROM; empty: kept in memory
  std::string capture;                // the data-channel byte stream is written here
  std::string pagesDir;               // each printed sheet is written here as PNG
  PageOutput::Observer pageObserver;  // each printed sheet is also shown here
  std::vector<std::string> faults;    // KIND[,after=N]...: injected into the virtual printer
  std::string misalign;               // the virtual printer's mechanical errors
  std::vector<std::string> devices;   // NAME=PATH
  std::string traceFile;
  // How the link waits. One command ends at a silent printer, where a window keeps waiting.
  bool waitForSilenceOnce = false;
  std::int64_t waitLimitMs = -1;  // negative: no limit of its own
  const std::atomic<bool>* cancel = nullptr;
};

// The option both programs accept for the in-process virtual printer, and its other name.
inline constexpr std::string_view kVirtualOption = "--virtual";
inline constexpr std::string_view kVirtualOptionAlias = "--virtual-printer";

// The first option given that only the virtual printer takes, as typed ("--pages"); empty when
// none. realTime: its clock is the system's (each program chooses the clocks itself).
std::string_view OptionNeedingVirtualPrinter(const SessionOptions& options, bool realTime);

// The step that failed, so each program can word it and choose its exit status. Settings: a
// fault or misalignment the virtual printer does not take.
enum class SetupStep { StateFile, Capture, Pages, Device, Trace, Settings };

struct SetupFailure {
  SetupStep step = SetupStep::StateFile;
  std::string message;  // "cannot write FILE", "--device NAME=PATH: reason", ...
};

// The model a virtual printer's state file holds (the Q30 value in its model byte); else the Q40.
Model ModelFromStateFile(const std::string& path);

class SessionSetup {
 public:
  explicit SessionSetup(Clock& clock);
  ~SessionSetup();
  SessionSetup(const SessionSetup&) = delete;
  SessionSetup& operator=(const SessionSetup&) = delete;

  // Fills the port table, in the order the steps are named; stops at the first failure.
  bool Build(const SessionOptions& options, SetupFailure& failure);

  // Exists from construction, so a link can be built on it before Build.
  PortTable& Ports() { return table_; }
  sim::VirtualPrinter* Printer() { return printer_.get(); }
  WireTrace* Trace() { return trace_.get(); }
  // False when the capture file could not take all its bytes.
  bool FlushCapture();
  // The first failed page write, if any.
  std::string PagesError() const { return pages_.Error(); }
  const PageOutput& Pages() const { return pages_; }
  // The words of a failed EEPROM save when it is why the virtual printer refused a write (the
  // channel error a refusal leaves); empty for any other failure.
  std::string RefusedWriteCause(std::int16_t channelError) const;
  // At the session's end: false with the words when the virtual printer cannot keep its EEPROM.
  bool SaveVirtualEeprom(std::string& words);

 private:
  bool BuildVirtualPrinter(const SessionOptions& options, SetupFailure& failure);
  bool ApplySettings(const SessionOptions& options, SetupFailure& failure);

  Clock& clock_;
  PortTable table_;
  std::ofstream capture_;  // outlives the printer that writes to it
  std::unique_ptr<sim::VirtualPrinter> printer_;
  PageOutput pages_;  // after the printer: it detaches from it first
  std::unique_ptr<WireTrace> trace_;
};

}  // namespace vantor
