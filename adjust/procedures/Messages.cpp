#include "adjust/procedures/Messages.h"

#include <string>

#include "words/Words.h"

namespace vantor {

ReportedResult Reporter::ShowMessage(MessageKind kind, std::string_view text) {
  if (kind == MessageKind::Done || kind == MessageKind::Busy) {
    const Result r = link_.channel.WaitUntilReady();
    if (r != kOk) {
      ReportResult(r);
      return r;
    }
  }
  display_.Show(kind, text);
  return kOk;
}

void Reporter::ShowPrinterError() {
  const words::PrinterErrorSaid said =
      words::SayPrinterError(link_.channel.PrinterErrorCode(), link_.channel.RawErrorCode());
  if (said.words.empty()) return;
  display_.Show(MessageKind::Error, said.words);
  if (said.code) {
    display_.Show(MessageKind::NewLine, words::kErrorCodeLine);
    display_.Show(MessageKind::Append, std::to_string(*said.code));
  }
}

void Reporter::ReportResult(Result result) {
  lastReported_ = result;
  ShowResultWords(result);
  display_.EndOfReport();
}

void Reporter::ShowResultWords(Result result) {
  display_.EnableWindow();
  const FormatWords* format = nullptr;
  switch (result) {
    case kPortFailure:
      if (const auto w = words::PortErrorWords(link_.port.PortError()); !w.empty()) {
        display_.Show(MessageKind::Error, w);
      }
      return;
    case kChannelFailure:
      if (const std::string cause = cause_ ? cause_() : std::string(); !cause.empty()) {
        display_.Show(MessageKind::Error, cause);
        return;
      }
      display_.Show(MessageKind::Error, words::kCommunicationError);
      return;
    case kFactoryReplyFailure:
      if (link_.factory.ResultField() == kFactoryResultBadReply) {
        display_.Show(MessageKind::Error, words::kReceiveError);
      }
      return;
    case kNotReady:
      // A wait also ends in a state that is neither ready nor an error ("Before initial fill
      // up."); its status words say why.
      if (link_.channel.PrinterErrorCode() == 0) {
        if (const auto w = words::StatusWords(link_.channel.PrinterStatus()); !w.empty()) {
          display_.Show(MessageKind::Error, w);
        }
      } else {
        ShowPrinterError();
      }
      display_.ApplyMenuMode(link_.channel.PrinterStatus());
      return;
    case kHeadIdFailure:
      format = words_.headId;
      break;
    case kBidRangeFailure:
      format = words_.bidRange;
      break;
    case kUsbIdFailure:
      format = words_.usbId;
      break;
    default:
      return;
  }
  if (format) format->ShowWords(*this);
}

ReportedResult Reporter::ShowStatus() {
  if (const Result r = link_.channel.ReadStatus(); r != kOk) {
    ReportResult(r);
    return r;
  }
  const std::uint16_t status = link_.channel.PrinterStatus();
  if (status == kStatusError) {
    ShowPrinterError();
  } else if (const auto w = words::StatusWords(status); !w.empty()) {
    display_.Show(MessageKind::Replace, w);
  }
  display_.ApplyMenuMode(status);
  return kOk;
}

}  // namespace vantor
