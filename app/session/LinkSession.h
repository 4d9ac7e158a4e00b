// One printer session, owned the same way by vantorctl and vantor-adjust: its set-up (ports,
// virtual printer, files), the link, the start on a port and model, the procedure context, and
// the finish that says what was lost.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adjust/procedures/Bench.h"
#include "adjust/procedures/ServiceRecord.h"
#include "app/session/SessionSetup.h"
#include "link/Link.h"

namespace vantor {

enum class StartStep { Open, Link, Done };

struct SessionStart {
  Result result = kOk;
  StartStep failedAt = StartStep::Done;
  // The model the printer's device ID names, when it names one.
  std::optional<Model> reported;
};

// What the end of a session could not keep, in words; empty when nothing was lost.
struct SessionLosses {
  std::string eeprom;              // the virtual printer's EEPROM could not be saved
  std::vector<std::string> files;  // trace, capture, pages, record: "cannot write FILE", ...
  bool Any() const { return !eeprom.empty() || !files.empty(); }
  // One line each.
  std::string Words() const;
};

class LinkSession {
 public:
  // The printer runs on printerClock; the link waits on linkClock (a clock that shows waits).
  LinkSession(Clock& printerClock, Clock& linkClock);
  explicit LinkSession(Clock& clock) : LinkSession(clock, clock) {}
  ~LinkSession();
  LinkSession(const LinkSession&) = delete;
  LinkSession& operator=(const LinkSession&) = delete;

  // Ports, virtual printer, files and trace; stops at the first failure.
  bool Configure(const SessionOptions& options, SetupFailure& failure);

  // Opens the port and starts the link for model. A failed link start leaves the port open
  // (the next start closes and re-opens it); a failed open leaves it closed.
  SessionStart Start(PortCode port, Model model);
  // The procedure context for one message display; built on first use, then the same.
  Bench& BenchFor(MessageDisplay& display);

  // Shuts the link down (unless the printer was switched off), closes the port, then saves
  // the virtual printer's EEPROM and flushes trace, capture and pages. Each loss is told once
  // over the life of the session.
  SessionLosses Finish(bool shutdown = true);
  // Losses so far without ending the session (a trace or capture that could not be written).
  SessionLosses OutputLosses();

  Link& GetLink() { return link_; }
  SessionSetup& Setup() { return setup_; }
  sim::VirtualPrinter* Printer() { return setup_.Printer(); }
  // Whether the words of a refused write were shown already (they are not told twice).
  bool SaveFailureShown() const { return saveFailureShown_; }

  // --- The service record ---
  // This session's record, opened after Start: a real printer's in the technician's records,
  // a virtual printer's beside its state file; null for a virtual printer kept in memory. A
  // record that cannot be written is a loss the finish tells. Lives until the next one.
  ServiceRecorder* OpenRecord(const std::string& program, std::string_view port, Model model);

 private:
  void Collect(SessionLosses& losses);

  SessionSetup setup_;
  Link link_;
  std::unique_ptr<Bench> bench_;
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
