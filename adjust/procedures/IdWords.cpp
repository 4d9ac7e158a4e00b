#include "adjust/procedures/IdWords.h"

namespace vantor {

namespace {

// A detail code without words leaves the message area as it was.
void ShowIfAny(Reporter& reporter, std::string_view message) {
  if (!message.empty()) reporter.ShowMessage(MessageKind::Error, message);
}

}  // namespace

void HeadIdWords::ShowWords(Reporter& reporter) const {
  ShowIfAny(reporter, headId_.Message());
}

void UsbIdWords::ShowWords(Reporter& reporter) const {
  ShowIfAny(reporter, usbId_.Message());
}

void BidRangeWords::ShowWords(Reporter& reporter) const {
  reporter.ShowMessage(
      reporter.Display().MessageAreaEmpty() ? MessageKind::Error : MessageKind::NewLine, words_);
}

}  // namespace vantor
