// ShowMessage and ReportResult: how every workflow talks to the technician, in a window or a
// terminal.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "link/Link.h"

namespace vantor {

enum class MessageKind : int {
  Replace = 1,  // black, replaces the text
  Done = 2,     // waits until ready, black, re-enables the window a second later
  Busy = 3,     // waits until ready, blue, disables the window
  Error = 4,    // red, enables the window
  Append = 5,   // appended to the current text
  NewLine = 6,  // added as a new line
};

// Printer work about to start: how long it takes at the printer's usual pace (0: no figure),
// and where it stands in a longer sequence ("cycle 2 of 4, about 9 min left in all").
struct ExpectedWork {
  int seconds = 0;
  std::string context;
};

// What a window's memo or the terminal does for each kind; Reporter does the waits first.
class MessageDisplay {
 public:
  virtual ~MessageDisplay() = default;
  virtual void Show(MessageKind kind, std::string_view text) = 0;
  virtual void EnableWindow() {}
  // After a status display or a 0x4000 result the menus follow the printer's state.
  virtual void ApplyMenuMode(std::uint16_t /*printerStatus*/) {}
  // Whether the message area holds no text (a line added to it then is the whole text).
  virtual bool MessageAreaEmpty() const { return true; }
  // A modal error box with an OK button (used where the memo is not the place).
  virtual void ErrorBox(std::string_view text) { Show(MessageKind::Error, text); }
  // A modal question with OK and Cancel; true for OK.
  virtual bool Question(std::string_view /*title*/, std::string_view /*text*/) { return false; }
  // A failure's words are complete; what follows is no longer part of them.
  virtual void EndOfReport() {}
  // The wait line says "N s of about M s" while the announced work runs; an empty one ends it.
  virtual void ExpectWork(const ExpectedWork& /*work*/) {}
  // A wait with no busy message of its own (the printer works by itself) starts now; it ends
  // with its announcement.
  virtual void StartWait() {}
  // What the next busy spell waits for when it is not the printer ("Reading the sheets"); it
  // ends with that spell.
  virtual void NameWait(std::string_view /*activity*/) {}
};

// A display nobody reads: a bench that drives procedures for their wire traffic alone.
class SilentDisplay final : public MessageDisplay {
 public:
  void Show(MessageKind, std::string_view) override {}
};

class Reporter;

// A result whose failure has been shown to the technician already (ShowMessage's waits, and
// the procedures that report their own failures): a caller may drop it, unlike a plain Result.
struct ReportedResult {
  constexpr ReportedResult(Result r) : result(r) {}  // NOLINT: a Result it is
  Result result;
  constexpr operator Result() const { return result; }  // NOLINT: used as a Result
  constexpr operator std::uint16_t() const { return result; }
};
class ServiceRecorder;

// A module with a format check shows the words of its last failure.
class FormatWords {
 public:
  virtual ~FormatWords() = default;
  virtual void ShowWords(Reporter& reporter) const = 0;
};

// The words of the three format checks, each shown when its class of failure is reported.
struct FormatWordsSet {
  const FormatWords* headId = nullptr;    // 0x5000
  const FormatWords* bidRange = nullptr;  // 0x7000
  const FormatWords* usbId = nullptr;     // 0x8000
};

class Reporter {
 public:
  Reporter(Link& link, MessageDisplay& display, FormatWordsSet words = {})
      : link_(link), display_(display), words_(words) {}

  // Kinds 2 and 3 first wait until the printer is ready; that wait's failure is reported and
  // returned.
  ReportedResult ShowMessage(MessageKind kind, std::string_view text);
  ReportedResult ShowMessage(int kind, std::string_view text) {
    return ShowMessage(static_cast<MessageKind>(kind), text);
  }
  void ReportResult(Result result);
  // The last result handed to ReportResult, kOk before any; tells a script the failure's class.
  Result LastReported() const { return lastReported_; }
  // Reads the status and shows its words; the "Status" button and every show of the window.
  ReportedResult ShowStatus();
  // The words of the printer error from the last status read; nothing when there is none.
  void ShowPrinterError();

  // Words that say more than "Communication error." about a channel failure when the session
  // knows its cause (a virtual printer that cannot keep its EEPROM); empty: the usual words.
  void SetChannelFailureCause(std::function<std::string()> cause) { cause_ = std::move(cause); }

  MessageDisplay& Display() { return display_; }
  void ExpectWork(const ExpectedWork& work) { display_.ExpectWork(work); }
  void StartWait() { display_.StartWait(); }
  // Where the procedures record what they change; none by default.
  void SetRecorder(ServiceRecorder* recorder) { recorder_ = recorder; }
  ServiceRecorder* Recorder() { return recorder_; }

 private:
  void ShowResultWords(Result result);

  Link& link_;
  MessageDisplay& display_;
  FormatWordsSet words_;
  ServiceRecorder* recorder_ = nullptr;
  std::function<std::string()> cause_;
  Result lastReported_ = kOk;
};

// Announces work for as long as it lives, so that no figure outlasts its work.
class AnnouncedWork {
 public:
  AnnouncedWork(Reporter& reporter, const ExpectedWork& work) : reporter_(reporter) {
    reporter_.ExpectWork(work);
  }
  ~AnnouncedWork() { reporter_.ExpectWork({}); }
  AnnouncedWork(const AnnouncedWork&) = delete;
  AnnouncedWork& operator=(const AnnouncedWork&) = delete;

 private:
  Reporter& reporter_;
};

}  // namespace vantor
