// One printer session, owned the same way by vantorctl and vantor-adjust: its set-up (ports,
// virtual printer, files), the link, the start on a port and model, the procedure context, and
// the finish that says what was lost.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adjust/procedures/ProcedureContext.h"
#include "adjust/procedures/ServiceRecord.h"
#include "adjust/procedures/SessionHandle.h"
#include "link/Link.h"
#include "session/SessionSetup.h"

namespace vantor {

// Model: the technician would not go on with the chosen model on the one the printer reports.
enum class StartStep { Open, Link, Model, Done };

// What the end of a session could not keep, in words; empty when nothing was lost.
struct SessionLosses {
  std::string eeprom;              // the virtual printer's EEPROM could not be saved
  bool eepromTold = false;         // its words were shown when the write was refused
  std::vector<std::string> files;  // trace, capture, pages, record: "cannot write FILE", ...
  bool Any() const { return !eeprom.empty() || !files.empty(); }
  // One line each, leaving out what was told already.
  std::string Words() const;
};

struct SessionStart {
  Result result = kOk;
  StartStep failedAt = StartStep::Done;
  // The model the printer's device ID names, when it names one.
  std::optional<Model> reported;
  // The model the session goes on with, and the record it keeps (null: none).
  Model model = Model::None;
  ServiceRecorder* record = nullptr;
  // A session ended at the model question: what its close lost.
  SessionLosses losses;
};

struct SessionOpening {
  PortCode port = 0;
  // Unset: the model the printer reports, else the Q40.
  std::optional<Model> model;
  std::string program;  // "vantorctl 1.4", as the record names it
  // Asked when the printer reports another model than the chosen one: false ends the session
  // (the other model's frames would be ignored). Unset: goes on with the chosen one.
  std::function<bool(Model reported, Model chosen)> goOnAsChosen;
};

class LinkSession final : public SessionHandle {
 public:
  // The printer runs on printerClock; the link waits on linkClock (a clock that shows waits).
  LinkSession(Clock& printerClock, Clock& linkClock);
  explicit LinkSession(Clock& clock) : LinkSession(clock, clock) {}
  ~LinkSession() override;
  LinkSession(const LinkSession&) = delete;
  LinkSession& operator=(const LinkSession&) = delete;

  // Ports, virtual printer, files and trace; stops at the first failure.
  bool Configure(const SessionOptions& options, SetupFailure& failure);

  // Start, then the model to go on with, then the record (after the port, so it names it).
  // A refused start leaves the port closed.
  SessionStart Open(const SessionOpening& opening);
  // Opens the port and starts the link for model, no more. A failed link start leaves the port
  // open (the next start closes and re-opens it); a failed open leaves it closed.
  SessionStart Start(PortCode port, Model model);
  // The procedure context for one message display (told of paper out too, when it listens);
  // built on first use, then the same.
  ProcedureContext& ContextFor(MessageDisplay& display,
                               PaperOutNotifier* paperOut = nullptr) override;

  // Shuts the link down (unless the printer was switched off), closes the port, then saves
  // the virtual printer's EEPROM and flushes trace, capture and pages; the procedures report
  // to no record after it. Each loss is told once over the life of the session.
  SessionLosses Finish(bool shutdown = true);
  // Losses so far without ending the session (a trace or capture that could not be written).
  SessionLosses OutputLosses();
  // The two above in words, for a window.
  std::string Close(bool shutdown) override { return Finish(shutdown).Words(); }
  std::string LossWords() override { return OutputLosses().Words(); }

  Link& GetLink() { return link_; }
  SessionSetup& Setup() { return setup_; }
  sim::VirtualPrinter* Printer() { return setup_.Printer(); }

 private:
  // A real printer's record in the technician's records, a virtual printer's beside its state
  // file; null for a virtual printer kept in memory. Lives until the next one.
  ServiceRecorder* OpenRecord(const std::string& program, Model model);
  void Collect(SessionLosses& losses);

  SessionSetup setup_;
  Link link_;
  std::unique_ptr<ProcedureContext> context_;
  const MessageDisplay* benchDisplay_ = nullptr;
  std::string traceFile_, captureFile_;
  bool virtualPrinter_ = false;
  std::string stateFile_;
  std::unique_ptr<procedures::FileServiceRecord> record_;
  bool recordLossTold_ = false;
  bool saveFailureShown_ = false;
  bool traceLossTold_ = false, captureLossTold_ = false, pagesLossTold_ = false;
};

}  // namespace vantor
