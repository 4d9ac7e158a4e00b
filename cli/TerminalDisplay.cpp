#include "cli/TerminalDisplay.h"

#include <iostream>
#include <string>

#include "words/Words.h"

namespace vantor::cli {

namespace {
constexpr std::string_view kRed = "\033[31m";
constexpr std::string_view kReset = "\033[0m";
}  // namespace

TerminalDisplay::TerminalDisplay(std::ostream& out, std::ostream& err, bool colourErrors,
                                 bool assumeYes, bool canAsk)
    : out_(out), err_(err), colour_(colourErrors), assumeYes_(assumeYes), canAsk_(canAsk) {}

void TerminalDisplay::EndLine() {
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
      if (!line_) line_ = &out_;
      Write(text);
      return;
    case MessageKind::NewLine: {
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

bool TerminalDisplay::Question(std::string_view title, std::string_view text) {
  EndLine();
  out_ << title << ": " << text << '\n';
  if (assumeYes_) {
    out_ << "OK (--yes)\n";
    return true;
  }
  if (!canAsk_) {
    out_ << "Cancelled: no answer on a terminal; run again with --yes to confirm.\n";
    declined_ = true;
    return false;
  }
  out_ << "Continue? [y/N] " << std::flush;
  std::string answer;
  const bool yes = std::getline(std::cin, answer) && !answer.empty() &&
                   (answer[0] == 'o' || answer[0] == 'O' || answer[0] == 'y' || answer[0] == 'Y');
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
}

}  // namespace vantor::cli
