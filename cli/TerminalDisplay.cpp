#include "cli/TerminalDisplay.h"

#include <iostream>
#include <string>

#include "words/Words.h"

namespace vantor::cli {

namespace {
constexpr std::string_view kRed = "\033[31m";
constexpr std::string_view kReset = "\033[0m";
constexpr std::string_view kClearLine = "\r\033[K";
constexpr std::string_view kWaiting = "Waiting for the printer: ";
}  // namespace

TerminalDisplay::TerminalDisplay(std::ostream& out, std::ostream& err, bool colourErrors,
                                 bool assumeYes, bool canAsk)
    : out_(out), err_(err), colour_(colourErrors), assumeYes_(assumeYes), canAsk_(canAsk) {}

void TerminalDisplay::Slept(std::int64_t nowMs, std::int64_t sleptMs) {
  if (!showWaits_ || sleptMs < kPacingMs) return;
  if (waitStartMs_ < 0) waitStartMs_ = nowMs - sleptMs;
  const std::int64_t seconds = (nowMs - waitStartMs_) / 1000;
  if (seconds < 1 || seconds == shownSeconds_) return;
  // The message being waited on keeps its own line; the time goes on the line below.
  if (line_ == &out_) CloseLine();
  err_ << kClearLine << kWaiting << seconds << " s";
  if (expected_.seconds > 0) err_ << " of about " << expected_.seconds << " s";
  if (!expected_.context.empty()) err_ << "  -  " << expected_.context;
  err_ << std::flush;
  shownSeconds_ = seconds;
}

void TerminalDisplay::Progress(std::string_view text) {
  if (line_ == &out_) CloseLine();
  err_ << kClearLine << text << std::flush;
  progressShown_ = true;
  waitStartMs_ = -1;
  shownSeconds_ = -1;
}

void TerminalDisplay::EndProgress() {
  if (progressShown_) err_ << kClearLine << std::flush;
  progressShown_ = false;
}

void TerminalDisplay::EndWait() {
  if (shownSeconds_ >= 0) err_ << kClearLine << std::flush;
  waitStartMs_ = -1;
  shownSeconds_ = -1;
}

void WaitShowingClock::SleepMs(std::int64_t ms) {
  // In steps of at most a second, so a long pause shows its time as it passes.
  while (ms > 0) {
    const std::int64_t step = ms < 1000 ? ms : 1000;
    clock_.SleepMs(step);
    ms -= step;
    display_.Slept(clock_.NowMs(), step);
  }
}

void TerminalDisplay::EndLine() {
  EndProgress();
  EndWait();
  CloseLine();
}

void TerminalDisplay::CloseLine() {
  if (!line_) return;
  *line_ << '\n';
  line_->flush();
  line_ = nullptr;
}

void TerminalDisplay::Write(std::string_view text) {
  if (line_ == &err_ && colour_) {
    err_ << kRed << text << kReset;
  } else {
    *line_ << text;
  }
  line_->flush();
}

void TerminalDisplay::Show(MessageKind kind, std::string_view text) {
  paperOutShown_ = false;
  switch (kind) {
    case MessageKind::Replace:
    case MessageKind::Done:
    case MessageKind::Busy:
    case MessageKind::Error:
      EndLine();
      // An empty completion text only clears the memo; a terminal has nothing to clear.
      if (text.empty()) return;
      line_ = kind == MessageKind::Error ? &err_ : &out_;
      if (kind == MessageKind::Error) showedError_ = true;
      Write(text);
      return;
    case MessageKind::Append:
      EndWait();
      if (!line_) line_ = &out_;
      Write(text);
      return;
    case MessageKind::NewLine: {
      EndWait();
      std::ostream* stream = line_ ? line_ : &out_;
      EndLine();
      line_ = stream;
      Write(text);
      return;
    }
  }
}

void TerminalDisplay::ErrorBox(std::string_view text) {
  Show(MessageKind::Error, text);
}

// The question and its answer go to standard error, so that standard output (a log, a pipe)
// holds the results only.
bool TerminalDisplay::Question(std::string_view title, std::string_view text) {
  EndLine();
  err_ << title << ": " << text << '\n';
  if (assumeYes_) {
    err_ << "OK (--yes)\n";
    return true;
  }
  if (!canAsk_) {
    err_ << "Cancelled: no answer on a terminal; run again with --yes (-y) to confirm.\n";
    declined_ = true;
    return false;
  }
  err_ << "Continue? [y/N] " << std::flush;
  std::string answer;
  const bool yes = std::getline(std::cin, answer) && !answer.empty() &&
                   (answer[0] == 'o' || answer[0] == 'O' || answer[0] == 'y' || answer[0] == 'Y');
  if (!yes) err_ << "Cancelled.\n";
  declined_ = !yes;
  return yes;
}

void TerminalDisplay::PaperOut() {
  // Told once per wait, as the window's box stays up; not once per poll.
  if (paperOutShown_) return;
  paperOutShown_ = true;
  EndLine();
  line_ = &err_;
  showedError_ = true;
  Write(words::kPaperOutError);
  EndLine();
  // The printer waits for the paper; the command goes on by itself once it is loaded.
  err_ << "load paper, or Ctrl-C to stop\n";
}

}  // namespace vantor::cli
