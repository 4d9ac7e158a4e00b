#include "adjust/procedures/IdentityProcedure.h"

#include "adjust/procedures/IdWords.h"
#include "adjust/procedures/ReadBack.h"
#include "adjust/procedures/ServiceRecord.h"

namespace vantor::procedures {

namespace {

Result Reported(Reporter& reporter, Result r) {
  if (r != kOk) reporter.ReportResult(r);
  return r;
}

// The registration line waits until the printer is ready, as every done message does. When that
// wait fails the ID is in the EEPROM already, so the words say what was written.
Result ShowUsbIdRegistered(Reporter& reporter, std::string_view id, std::string_view dateCode) {
  if (const Result r = reporter.ShowMessage(MessageKind::Done, idwords::kUsbIdAs); r != kOk) {
    reporter.ShowMessage(MessageKind::NewLine, idwords::kUsbIdWrittenBefore);
    reporter.ShowMessage(MessageKind::Append, id);
    if (!dateCode.empty()) reporter.ShowMessage(MessageKind::Append, dateCode);
    reporter.ShowMessage(MessageKind::Append, idwords::kUsbIdWrittenEnd);
    return r;
  }
  reporter.ShowMessage(MessageKind::Append, id);
  if (!dateCode.empty()) reporter.ShowMessage(MessageKind::Append, dateCode);
  reporter.ShowMessage(MessageKind::Append, idwords::kUsbIdRegistered);
  return kOk;
}

}  // namespace

std::string UpperCaseId(std::string_view typed) {
  std::string text(typed);
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

Result ReadHeadId(ProcedureContext& context, std::string& id) {
  Reporter& reporter = context.reporter;
  VANTOR_TRY(Reported(reporter, context.headId.ReadHeadID(context.link.channel, id)));
  reporter.ShowMessage(MessageKind::Replace, idwords::kHeadIdIs);
  reporter.ShowMessage(MessageKind::Append, id);
  return kOk;
}

Result RegisterHeadId(ProcedureContext& context, std::string_view typed, std::string& registered) {
  Reporter& reporter = context.reporter;
  const std::string text = UpperCaseId(typed);
  CheckedWrites writes(context);
  const Result written = writes.Confirm(context.headId.WriteHeadID(writes.Path(), text));
  writes.Record("Head ID registration: " + text, written);
  VANTOR_TRY(written);
  reporter.ShowMessage(MessageKind::Replace, idwords::kHeadIdTyped);
  reporter.ShowMessage(MessageKind::Append, text);
  reporter.ShowMessage(MessageKind::Append, idwords::kHeadIdRegistered);
  registered = text;
  return kOk;
}

Result ReadUsbId(ProcedureContext& context, std::string& id, MessageKind first) {
  Reporter& reporter = context.reporter;
  VANTOR_TRY(Reported(reporter, context.usbId.ReadUSBID(context.link.channel, id)));
  reporter.ShowMessage(first, idwords::kUsbIdIs);
  reporter.ShowMessage(MessageKind::Append, id);
  return kOk;
}

Result RegisterUsbId(ProcedureContext& context, std::string_view typed, std::string& stored) {
  Reporter& reporter = context.reporter;
  const std::string text = UpperCaseId(typed);
  CheckedWrites writes(context);
  const Result written = writes.Confirm(context.usbId.WriteUSBID(writes.Path(), text));
  writes.Record("USB ID registration: " + text, written);
  VANTOR_TRY(written);
  VANTOR_TRY(ShowUsbIdRegistered(reporter, text, {}));
  return ReadUsbId(context, stored, MessageKind::NewLine);
}

Result RegisterSerialNumber(ProcedureContext& context, std::string_view typed,
                            SerialRegistration& registered) {
  Reporter& reporter = context.reporter;
  const std::string text = UpperCaseId(typed);
  std::string dateCode;
  CheckedWrites writes(context);
  const Result written =
      writes.Confirm(context.usbId.WriteSerialNumber(writes.Path(), text, dateCode));
  writes.Record("Serial number registration: " + text + " " + dateCode, written);
  VANTOR_TRY(written);
  VANTOR_TRY(ShowUsbIdRegistered(reporter, text, dateCode));
  registered = {text, dateCode};
  return kOk;
}

}  // namespace vantor::procedures
