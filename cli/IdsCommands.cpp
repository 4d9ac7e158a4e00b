// head-id and usb-id: read, register and check the identity data as the adjustment window does.
#include <memory>
#include <string>

#include "adjust/procedures/IdWords.h"
#include "cli/Cli.h"
#include "ids/Malheadid.h"
#include "ids/Malusbid.h"

namespace vantor::cli {

namespace {

// The window's edit boxes force upper case; so does the terminal.
std::string UpperCase(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// The words live only for one command, so they must not stay registered after it.
class WordsRegistration {
 public:
  WordsRegistration(Reporter& reporter, Result failureClass, const FormatWords& words)
      : reporter_(reporter), failureClass_(failureClass) {
    reporter_.SetFormatWords(failureClass_, &words);
  }
  ~WordsRegistration() { reporter_.SetFormatWords(failureClass_, nullptr); }
  WordsRegistration(const WordsRegistration&) = delete;
  WordsRegistration& operator=(const WordsRegistration&) = delete;

 private:
  Reporter& reporter_;
  Result failureClass_;
};

int Failed(Session& session, Result result) {
  session.reporter.ReportResult(result);
  return kExitFailure;
}

// A typed ID that fails its format check is a usage fault.
int FailedInput(Session& session, Result result) {
  session.reporter.ReportResult(result);
  return ExitForResult(result);
}

int ReadHeadId(Session& session, Malheadid& headId) {
  std::string id;
  if (const Result r = headId.ReadHeadID(session.link.channel, id); r != kOk)
    return Failed(session, r);
  session.reporter.ShowMessage(MessageKind::Replace, idwords::kHeadIdIs);
  session.reporter.ShowMessage(MessageKind::Append, id);
  return kExitOk;
}

int WriteHeadId(Session& session, Malheadid& headId, const std::string& typed) {
  const std::string text = UpperCase(typed);
  if (const Result r = headId.WriteHeadID(session.link.channel, text); r != kOk)
    return FailedInput(session, r);
  session.reporter.ShowMessage(MessageKind::Replace, idwords::kHeadIdTyped);
  session.reporter.ShowMessage(MessageKind::Append, text);
  session.reporter.ShowMessage(MessageKind::Append, idwords::kHeadIdRegistered);
  return kExitOk;
}

int ReadUsbId(Session& session, Malusbid& usbId, MessageKind first) {
  std::string id;
  if (const Result r = usbId.ReadUSBID(session.link.channel, id); r != kOk)
    return Failed(session, r);
  session.reporter.ShowMessage(first, idwords::kUsbIdIs);
  session.reporter.ShowMessage(MessageKind::Append, id);
  return kExitOk;
}

// The registration line waits until the printer is ready, as the window's done message does.
bool ShowRegistered(Session& session, std::string_view id, std::string_view dateCode = {}) {
  if (session.reporter.ShowMessage(MessageKind::Done, idwords::kUsbIdAs) != kOk) return false;
  session.reporter.ShowMessage(MessageKind::Append, id);
  if (!dateCode.empty()) session.reporter.ShowMessage(MessageKind::Append, dateCode);
  session.reporter.ShowMessage(MessageKind::Append, idwords::kUsbIdRegistered);
  return true;
}

int WriteUsbId(Session& session, Malusbid& usbId, const std::string& typed) {
  const std::string text = UpperCase(typed);
  if (const Result r = usbId.WriteUSBID(session.link.channel, text); r != kOk)
    return FailedInput(session, r);
  if (!ShowRegistered(session, text)) return kExitFailure;
  // Read back what the printer now holds, so a wrong store shows at once.
  return ReadUsbId(session, usbId, MessageKind::NewLine);
}

int WriteSerial(Session& session, Malusbid& usbId, const std::string& typed) {
  const std::string text = UpperCase(typed);
  ChannelEeprom eeprom(session.link.channel);
  std::string dateCode;
  if (const Result r = usbId.WriteSerialNumber(eeprom, session.clock, text, dateCode); r != kOk)
    return FailedInput(session, r);
  return ShowRegistered(session, text, dateCode) ? kExitOk : kExitFailure;
}

}  // namespace

void AddIdsCommands(Cli& cli) {
  CLI::App& app = cli.App();

  auto* headId = app.add_subcommand("head-id", "Show the print head's ID, or register a new one");
  auto* headIdSet = headId->add_subcommand("set", "Register the 13-character head ID");
  auto headIdText = std::make_shared<std::string>();
  headIdSet->add_option("TEXT", *headIdText, "The head ID as printed on the head")->required();
  cli.AddCommand(headId, [headIdSet, headIdText](Session& session) {
    Malheadid module;
    const HeadIdWords words(module);
    const WordsRegistration registered(session.reporter, kHeadIdFailure, words);
    if (headIdSet->parsed()) return WriteHeadId(session, module, *headIdText);
    return ReadHeadId(session, module);
  });

  auto* usbId = app.add_subcommand("usb-id", "Show the printer's USB ID, or register one");
  auto* usbIdSet = usbId->add_subcommand("set", "Register the original 18-character USB ID");
  auto usbIdText = std::make_shared<std::string>();
  usbIdSet->add_option("TEXT", *usbIdText, "The original USB ID")->required();
  auto* usbIdSerial = usbId->add_subcommand(
      "serial", "Register the 10-character serial number with a date code of this PC's clock");
  auto serialText = std::make_shared<std::string>();
  usbIdSerial->add_option("TEXT", *serialText, "The serial number")->required();
  usbId->require_subcommand(0, 1);
  cli.AddCommand(usbId, [usbIdSet, usbIdText, usbIdSerial, serialText](Session& session) {
    Malusbid module;
    const UsbIdWords words(module);
    const WordsRegistration registered(session.reporter, kUsbIdFailure, words);
    if (usbIdSet->parsed()) return WriteUsbId(session, module, *usbIdText);
    if (usbIdSerial->parsed()) return WriteSerial(session, module, *serialText);
    return ReadUsbId(session, module, MessageKind::Replace);
  });
}

}  // namespace vantor::cli
