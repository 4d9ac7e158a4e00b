// The message kinds on a terminal: information on standard output, errors in red on standard error.
#pragma once

#include <iosfwd>
#include <string>

#include "adjust/procedures/Messages.h"
#include "link/Clock.h"
#include "link/PacketChannel.h"

namespace vantor::cli {

class TerminalDisplay final : public MessageDisplay, public PaperOutNotifier {
 public:
  TerminalDisplay(std::ostream& out, std::ostream& err, bool colourErrors, bool assumeYes,
                  bool canAsk);
  ~TerminalDisplay() override { EndLine(); }

  void Show(MessageKind kind, std::string_view text) override;
  void ErrorBox(std::string_view text) override;
  bool Question(std::string_view title, std::string_view text) override;
  void PaperOut() override;
  // Lines added after a failure's words are the program's ordinary output again.
  void EndOfReport() override { EndLine(); }
  bool MessageAreaEmpty() const override { return line_ == nullptr; }
  void SetAssumeYes(bool yes) { assumeYes_ = yes; }
  // Ends the line being written, if any.
  void EndLine();
  bool ShowedError() const { return showedError_; }
  // A confirmation was declined or went unanswered.
  bool Declined() const { return declined_; }
  // Shows "Waiting for the printer: N s" on standard error once a wait has lasted a second,
  // with "of about M s" and the step's context while announced work runs;
  // a wait runs from the first pause after a message, a counter or a transfer to the next one.
  // The link's own pacing between transfers (pauses under kPacingMs) is no wait.
  void ShowWaits(bool show) { showWaits_ = show; }
  void ExpectWork(const ExpectedWork& work) override { expected_ = work; }
  void Slept(std::int64_t nowMs, std::int64_t sleptMs);
  static constexpr std::int64_t kPacingMs = 100;
  // A counter of work under way ("Reading EEPROM 18/256") on standard error, drawn over the
  // last one on a cleared line; work that moves is no wait.
  void Progress(std::string_view text);
  void EndProgress();

 private:
  void Write(std::string_view text);
  void EndWait();
  void CloseLine();
  std::ostream& out_;
  std::ostream& err_;
  std::ostream* line_ = nullptr;  // the stream of the open line
  bool colour_;
  bool assumeYes_;
  bool canAsk_;
  bool showedError_ = false;
  bool declined_ = false;
  bool paperOutShown_ = false;  // since the last message
  bool showWaits_ = false;
  bool progressShown_ = false;
  std::int64_t waitStartMs_ = -1;
  std::int64_t shownSeconds_ = -1;
  ExpectedWork expected_;
};

// The session's clock, telling the display of every pause so long waits show their time.
class WaitShowingClock final : public Clock {
 public:
  WaitShowingClock(Clock& clock, TerminalDisplay& display) : clock_(clock), display_(display) {}
  void SleepMs(std::int64_t ms) override;
  std::int64_t NowMs() override { return clock_.NowMs(); }
  LocalDateTime LocalNow() override { return clock_.LocalNow(); }

 private:
  Clock& clock_;
  TerminalDisplay& display_;
};

// Sums the sleeps a session asks for, so a benchmark can set its wall time against the waits
// the protocol requires (VANTOR_SLEEP_TOTAL).
class CountingClock final : public Clock {
 public:
  explicit CountingClock(Clock& clock) : clock_(clock) {}
  void SleepMs(std::int64_t ms) override {
    if (ms > 0) requestedMs_ += ms;
    clock_.SleepMs(ms);
  }
  std::int64_t NowMs() override { return clock_.NowMs(); }
  LocalDateTime LocalNow() override { return clock_.LocalNow(); }
  std::int64_t RequestedMs() const { return requestedMs_; }

 private:
  Clock& clock_;
  std::int64_t requestedMs_ = 0;
};

}  // namespace vantor::cli
