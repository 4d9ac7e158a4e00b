#include "adjust/procedures/PfProcedure.h"

#include "adjust/procedures/Durations.h"
#include "adjust/procedures/ReadBack.h"
#include "adjust/procedures/ScanEntries.h"
#include "adjust/procedures/ServiceRecord.h"
#include "raster/Malbid.h"
#include "words/Words.h"

namespace vantor::procedures {

namespace {
namespace text {
constexpr std::string_view kPrinting = "Now PF pattern is printing.";
constexpr std::string_view kValueIs = "PF adjustment value = ";
constexpr std::string_view kRegisteredAs = "As PF adjustment data, ";
constexpr std::string_view kRegistered = " has been registered in EEPROM.";
constexpr std::string_view kName = "PF adjustment value";
}  // namespace text

constexpr int kNotANumber = 100;
}  // namespace

Result PrintPfAdjustment(ProcedureContext& context, int* printedWith) {
  Reporter& reporter = context.reporter;
  const AnnouncedWork work(reporter, durations::PfPrint());
  VANTOR_TRY(reporter.ShowMessage(MessageKind::Busy, text::kPrinting));
  Link& link = context.link;
  const Result printed = ReportedJob(reporter, [&]() -> Result {
    VANTOR_TRY(link.channel.WaitUntilReady());
    std::uint8_t stored = 0;
    VANTOR_TRY(link.channel.ReadEepromByte(eeprom::kPfValue, stored));
    RecordKnown(reporter, eeprom::kPfValue, stored);
    if (printedWith != nullptr) *printedWith = static_cast<std::int8_t>(stored);
    bool candidateSent = false;
    const Result r = context.raster.PrintPfCandidates([&](std::int8_t candidate) -> Result {
      candidateSent = true;
      VANTOR_TRY(link.factory.SetPfValue(static_cast<std::uint8_t>(candidate)));
      return link.factory.FinishAdjustWrite();
    });
    if (r != kOk) {
      // Do not leave a candidate in place of the technician's stored value.
      if (candidateSent) {
        (void)KeepingFailureCause(link, [&] { return link.factory.SetPfValue(stored); });
      }
      return r;
    }
    VANTOR_TRY(link.factory.SetPfValue(stored));
    return context.raster.FormFeed();
  });
  // The record ties the sheet to this print; the scan is read against it.
  if (printed == kOk) RecordOperation(reporter, kPfPrintOperation, {}, "done");
  VANTOR_TRY(printed);
  return reporter.ShowMessage(MessageKind::Done, kCompletionOfPrinting);
}

Result ReadPfValue(ProcedureContext& context, std::string& text) {
  Reporter& reporter = context.reporter;
  return ReportedJob(reporter, [&]() -> Result {
    std::uint8_t stored = 0;
    VANTOR_TRY(context.link.channel.ReadEepromByte(eeprom::kPfValue, stored));
    text = std::to_string(static_cast<std::int8_t>(stored));
    RecordKnown(reporter, eeprom::kPfValue, stored);
    return kOk;
  });
}

Result ShowPresentPfValue(ProcedureContext& context) {
  Reporter& reporter = context.reporter;
  std::string value;
  VANTOR_TRY(ReadPfValue(context, value));
  reporter.ShowMessage(MessageKind::Replace, text::kValueIs);
  reporter.ShowMessage(MessageKind::Append, value);
  return kOk;
}

Result WritePfValue(ProcedureContext& context, std::string_view text) {
  Reporter& reporter = context.reporter;
  const int value = TextToInt(text, kNotANumber);
  if (value < kPfMin || value > kPfMax) {
    reporter.ShowMessage(MessageKind::Error, words::kInputDataWrong);
    return kInputRejected;
  }
  FactoryCommands& factory = context.link.factory;
  const auto stored = static_cast<std::uint8_t>(static_cast<std::int8_t>(value));
  CheckedWrites writes(context);
  writes.Name(eeprom::kPfValue, {std::string(text::kName), std::string(text)});
  const Result written = [&]() -> Result {
    writes.Path().Sent(eeprom::kPfValue, stored);
    VANTOR_TRY(factory.SetPfValue(stored));
    return factory.FinishAdjustWrite();
  }();
  const Result r = writes.Confirm(written);
  writes.Record("PF adjustment", r);
  if (r != kOk) return r;
  reporter.ShowMessage(MessageKind::Replace, text::kRegisteredAs);
  reporter.ShowMessage(MessageKind::Append, text);
  reporter.ShowMessage(MessageKind::Append, text::kRegistered);
  return kOk;
}

}  // namespace vantor::procedures
