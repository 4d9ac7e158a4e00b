#include "session/LinkSession.h"

#include "link/Fatal.h"
#include "sim/VirtualPrinter.h"

namespace vantor {

std::string SessionLosses::Words() const {
  std::string words = eepromTold ? "" : eeprom;
  for (const std::string& lost : files) words += (words.empty() ? "" : "\n") + lost;
  return words;
}

LinkSession::LinkSession(Clock& printerClock, Clock& linkClock)
    : setup_(printerClock), link_(setup_.Ports(), linkClock) {}

LinkSession::~LinkSession() = default;

bool LinkSession::Configure(const SessionOptions& options, SetupFailure& failure) {
  if (!setup_.Build(options, failure)) return false;
  link_.port.SetTrace(setup_.Trace());
  link_.channel.SetWaitForSilenceOnce(options.waitForSilenceOnce);
  if (options.waitLimitMs >= 0) link_.channel.SetWaitLimitMs(options.waitLimitMs);
  link_.channel.SetCancel(options.cancel);
  traceFile_ = options.traceFile;
  captureFile_ = options.capture;
  virtualPrinter_ = options.virtualPrinter;
  stateFile_ = options.stateFile;
  return true;
}

SessionStart LinkSession::Open(const SessionOpening& opening) {
  SessionStart start = Start(opening.port, opening.model.value_or(Model::Q40));
  if (start.failedAt == StartStep::Link) link_.port.ClosePort();
  if (start.failedAt != StartStep::Done) return start;
  start.model = opening.model.value_or(start.reported.value_or(Model::Q40));
  if (!opening.model) {
    link_.channel.SetModel(start.model);
  } else if (start.reported && *start.reported != start.model && opening.goOnAsChosen &&
             !opening.goOnAsChosen(*start.reported, start.model)) {
    start.failedAt = StartStep::Model;
    start.losses = Finish();
    return start;
  }
  start.record = OpenRecord(opening.program, start.model);
  return start;
}

SessionStart LinkSession::Start(PortCode port, Model model) {
  SessionStart start;
  start.model = model;
  link_.channel.SetModel(model);
  if (start.result = link_.port.OpenPort(port); start.result != kOk) {
    start.failedAt = StartStep::Open;
  } else if (start.result = link_.channel.StartLink(); start.result != kOk) {
    start.failedAt = StartStep::Link;
  } else {
    // No frame has carried the model bytes yet: the device ID came first.
    start.reported = link_.port.ReportedModel();
  }
  return start;
}

ProcedureContext& LinkSession::ContextFor(MessageDisplay& display, PaperOutNotifier* paperOut) {
  if (context_) {
    // One context per session: a second display would split the failure words.
    if (benchDisplay_ != &display) FatalProgramError("Program miss!!!");
    return *context_;
  }
  context_ = std::make_unique<ProcedureContext>(link_, display);
  benchDisplay_ = &display;
  if (paperOut != nullptr) link_.channel.SetPaperOutNotifier(paperOut);
  // A write the virtual printer cannot keep is told with its reason, not as a lost link.
  context_->reporter.SetChannelFailureCause([this] {
    std::string cause = setup_.RefusedWriteCause(link_.channel.ChannelError());
    saveFailureShown_ = saveFailureShown_ || !cause.empty();
    return cause;
  });
  return *context_;
}

SessionLosses LinkSession::Finish(bool shutdown) {
  if (shutdown) link_.channel.ShutdownLink();
  link_.port.ClosePort();
  SessionLosses losses;
  // A change the virtual printer cannot keep is lost, even when the printer took it.
  if (std::string words; !setup_.SaveVirtualEeprom(words)) losses.eeprom = words;
  losses.eepromTold = saveFailureShown_;
  Collect(losses);
  if (context_) context_->reporter.SetRecorder(nullptr);
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

ServiceRecorder* LinkSession::OpenRecord(const std::string& program, Model model) {
  record_.reset();
  recordLossTold_ = false;
  if (virtualPrinter_ && stateFile_.empty()) return nullptr;
  const std::string folder =
      virtualPrinter_ ? procedures::VirtualRecordsFolder(stateFile_) : procedures::RecordsFolder();
  record_ = std::make_unique<procedures::FileServiceRecord>(folder, program, link_.port.PortName(),
                                                            model, &link_);
  return record_.get();
}

}  // namespace vantor
