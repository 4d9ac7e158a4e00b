// The message kinds on a terminal: information on standard output, errors in red on standard error.
#pragma once

#include <iosfwd>
#include <string>

#include "adjust/procedures/Messages.h"
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

 private:
  void Write(std::string_view text);
  std::ostream& out_;
  std::ostream& err_;
  std::ostream* line_ = nullptr;  // the stream of the open line
  bool colour_;
  bool assumeYes_;
  bool canAsk_;
  bool showedError_ = false;
  bool declined_ = false;
  bool paperOutShown_ = false;  // since the last message
};

}  // namespace vantor::cli
