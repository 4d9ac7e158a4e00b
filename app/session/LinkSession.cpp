#include "app/session/LinkSession.h"

#include "link/Fatal.h"
#include "sim/VirtualPrinter.h"

namespace vantor {

std::string SessionLosses::Words() const {
  std::string words = eeprom;
  for (const std::string& lost : files) words += (words.empty() ? "" : "\n") + lost;
  return words;
}

LinkSession::LinkSession(Clock& printerClock, Clock& linkClock)
    : setup_(printerClock), link_(setup_.Ports(), linkClock) {}

LinkSession::~LinkSession() = default;

bool LinkSession::Configure(const SessionOptions& options, SetupFailure& failure) {
  if (!setup_.Build(options, failure)) return false;
  link_.port.SetTrace(setup_.Trace());
  traceFile_ = options.traceFile;
  captureFile_ = options.capture;
  virtualPrinter_ = options.virtualPrinter;
  stateFile_ = options.stateFile;
  return true;
}

SessionStart LinkSession::Start(PortCode port, Model model) {
  link_.channel.SetModel(model);
  if (const Result r = link_.port.OpenPort(port); r != kOk) return {r, StartStep::Open, {}};
  if (const Result r = link_.channel.StartLink(); r != kOk) return {r, StartStep::Link, {}};
  // No frame has carried the model bytes yet: the device ID came first.
  return {kOk, StartStep::Done, link_.port.ReportedModel()};
}

Bench& LinkSession::BenchFor(MessageDisplay& display) {
  if (bench_) {
    // One context per session: a second display would split the failure words.
    if (benchDisplay_ != &display) FatalProgramError("Program miss!!!");
    return *bench_;
  }
  bench_ = std::make_unique<Bench>(link_, display);
  benchDisplay_ = &display;
  // A write the virtual printer cannot keep is told with its reason, not as a lost link.
  bench_->reporter.SetChannelFailureCause([this] {
    std::string cause = setup_.RefusedWriteCause(link_.channel.ChannelError());
    saveFailureShown_ = saveFailureShown_ || !cause.empty();
    return cause;
  });
  return *bench_;
}

SessionLosses LinkSession::Finish(bool shutdown) {
  if (shutdown) link_.channel.ShutdownLink();
  link_.port.ClosePort();
  SessionLosses losses;
  // A change the virtual printer cannot keep is lost, even when the printer took it.
  if (std::string words; !setup_.SaveVirtualEeprom(words)) losses.eeprom = words;
  Collect(losses);
  return losses;
}

SessionLosses LinkSession::OutputLosses() {
  SessionLosses losses;
  Collect(losses);
  return losses;
}

void LinkSession::Collect(SessionLosses& losses) {
  if (!traceLossTold_ && setup_.Trace() != nullptr && !setup_.Trace()->Flush()) {
    traceLossTold_ = true;
    losses.files.push_back("cannot write " + traceFile_);
  }
  if (!captureLossTold_ && !setup_.FlushCapture()) {
    captureLossTold_ = true;
    losses.files.push_back("cannot write " + captureFile_);
  }
  if (!pagesLossTold_ && !setup_.PagesError().empty()) {
    pagesLossTold_ = true;
    losses.files.push_back(setup_.PagesError());
  }
  if (!recordLossTold_ && record_ && !record_->Error().empty()) {
    recordLossTold_ = true;
    losses.files.push_back(record_->Error());
  }
}

ServiceRecorder* LinkSession::OpenRecord(const std::string& program, std::string_view port,
                                         Model model) {
  record_.reset();
  recordLossTold_ = false;
  if (virtualPrinter_ && stateFile_.empty()) return nullptr;
  const std::string folder =
      virtualPrinter_ ? procedures::VirtualRecordsFolder(stateFile_) : procedures::RecordsFolder();
  record_ = std::make_unique<procedures::FileServiceRecord>(folder, program, port, model, &link_);
  return record_.get();
}

}  // namespace vantor
