#include "adjust/procedures/PfProcedure.h"

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
}  // namespace text

constexpr int kNotANumber = 100;
}  // namespace

ReportedResult PrintPfAdjustment(Reporter& reporter, Raster& raster) {
  VANTOR_TRY(reporter.ShowMessage(MessageKind::Busy, text::kPrinting));
  Link& link = AccessOf(raster).GetLink();
  VANTOR_TRY(ReportedJob(reporter, [&]() -> Result {
    VANTOR_TRY(link.channel.WaitUntilReady());
    std::uint8_t stored = 0;
    VANTOR_TRY(link.channel.ReadEepromByte(eeprom::kPfValue, stored));
    bool candidateSent = false;
    const Result r = raster.PrintPfCandidates([&](std::int8_t candidate) -> Result {
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
    return raster.FormFeed();
  }));
  return reporter.ShowMessage(MessageKind::Done, kCompletionOfPrinting);
}

Result ReadPfValue(Reporter& reporter, std::string& text) {
  return ReportedJob(reporter, [&]() -> Result {
    std::uint8_t stored = 0;
    VANTOR_TRY(reporter.GetLink().channel.ReadEepromByte(eeprom::kPfValue, stored));
    text = std::to_string(static_cast<std::int8_t>(stored));
    RecordKnown(reporter, eeprom::kPfValue, stored);
    return kOk;
  });
}

ReportedResult ShowPresentPfValue(Reporter& reporter) {
  std::string value;
  VANTOR_TRY(ReadPfValue(reporter, value));
  reporter.ShowMessage(MessageKind::Replace, text::kValueIs);
  reporter.ShowMessage(MessageKind::Append, value);
  return kOk;
}

WriteOutcome WritePfValue(Reporter& reporter, std::string_view text) {
  const int value = TextToInt(text, kNotANumber);
  if (value < kPfMin || value > kPfMax) {
    reporter.ShowMessage(MessageKind::Error, words::kInputDataWrong);
    return WriteOutcome::InputRejected;
  }
  FactoryCommands& factory = reporter.GetLink().factory;
  const Result r = ReportedJob(reporter, [&]() -> Result {
    VANTOR_TRY(factory.SetPfValue(static_cast<std::uint8_t>(static_cast<std::int8_t>(value))));
    return factory.FinishAdjustWrite();
  });
  RecordOperation(reporter, "PF adjustment",
                  {{eeprom::kPfValue, std::nullopt, static_cast<std::uint8_t>(value)}}, r);
  if (r != kOk) return WriteOutcome::Failed;
  reporter.ShowMessage(MessageKind::Replace, text::kRegisteredAs);
  reporter.ShowMessage(MessageKind::Append, text);
  reporter.ShowMessage(MessageKind::Append, text::kRegistered);
  return WriteOutcome::Registered;
}

}  // namespace vantor::procedures
