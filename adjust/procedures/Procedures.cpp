#include "adjust/procedures/Procedures.h"

#include <string>

#include "adjust/procedures/ServiceRecord.h"
#include "ids/Datamanu.h"
#include "words/Words.h"

namespace vantor::procedures {

namespace {
namespace text {
constexpr std::string_view kCleaningBusy = "Now, printer is operating CL3 cleaning.";
constexpr std::string_view kCleaningDone = "Head cleaning is completed.";
constexpr std::string_view kChargeBusy = "Performing Ink Charge now.";
constexpr std::string_view kChargeDone = "Ink Charge is completed.";
constexpr std::string_view kProtectionCounter = "Protection Counter = ";
constexpr std::string_view kPoints = " points";
constexpr std::string_view kCounterCleared = "The protection counter has been cleared.";
constexpr std::string_view kPageCounter = "Page counter = ";
constexpr std::string_view kPassCounter = "Print pass counter = ";
constexpr std::string_view kEepromInitialized = "EEPROM Initialization has completely done.";
constexpr std::string_view kAddress = "Address = ";
constexpr std::string_view kData = "Data = ";
constexpr std::string_view kConfirmation = "Confirmation";
constexpr std::string_view kNotNecessary =
    "It's not necessary to execute this function in case when you've not replaced 1.main "
    "board, 2.PS board, and 3.CR motor with new one.";
constexpr std::string_view kAskMeasure =
    "Once you select OK button, the CR motor drive dispersion measurement sequence will be run.";
constexpr std::string_view kAskFixed =
    "Once you select OK button, a value for the CR motor drive dispersion will automatically be "
    "registered.";
constexpr std::string_view kMeasuring =
    "Now, CR motor drive dispersion measurement sequence is running.";
constexpr std::string_view kWritingFixed =
    "Now, a value for the CR motor drive dispersion is writing.";
constexpr std::string_view kDispersionDone =
    "A value for the CR motor drive dispersion has successfully registered.";
}  // namespace text

constexpr std::uint8_t kCleaningKind = 4;
constexpr std::uint8_t kInkChargeKind = 6;
constexpr std::uint8_t kFixedDispersion = 25;
constexpr std::uint16_t kNewPadCounter = 3937;

// Runs body and reports its failure; the common shape of the single-step workflows.
template <typename Body>
Result Reported(Reporter& reporter, Body body) {
  const Result r = body();
  if (r != kOk) reporter.ReportResult(r);
  return r;
}

Result BusyOperationDone(Reporter& reporter, std::string_view busy, std::uint8_t kind,
                         std::string_view done) {
  VANTOR_TRY(reporter.ShowMessage(MessageKind::Busy, busy));
  const Result r =
      Reported(reporter, [&] { return reporter.GetLink().factory.CleanOrCharge(kind); });
  RecordOperation(reporter, kind == kCleaningKind ? "head cleaning" : "ink charge", {}, r);
  VANTOR_TRY(r);
  // The done message waits for the end of the operation and reports its own failure.
  return reporter.ShowMessage(MessageKind::Done, done);
}

Result ShowCounter(Reporter& reporter, std::string_view label,
                   Result (MaintenanceCommands::*read)(std::string&)) {
  std::string value;
  return Reported(reporter, [&]() -> Result {
    VANTOR_TRY((reporter.GetLink().maintenance.*read)(value));
    reporter.ShowMessage(MessageKind::Replace, label);
    reporter.ShowMessage(MessageKind::Append, value);
    return kOk;
  });
}

bool IsHexPair(std::string_view text, std::uint8_t& value) {
  return text.size() == 2 && TextHexToByte(text, value) == 1;
}
}  // namespace

ReportedResult HeadCleaning(Reporter& reporter) {
  return BusyOperationDone(reporter, text::kCleaningBusy, kCleaningKind, text::kCleaningDone);
}

ReportedResult InkCharge(Reporter& reporter) {
  return BusyOperationDone(reporter, text::kChargeBusy, kInkChargeKind, text::kChargeDone);
}

ReportedResult CheckProtectionCounter(Reporter& reporter) {
  const Result r =
      ShowCounter(reporter, text::kProtectionCounter, &MaintenanceCommands::ReadProtectionCounter);
  if (r == kOk) reporter.ShowMessage(MessageKind::Append, text::kPoints);
  return r;
}

ReportedResult ClearProtectionCounter(Reporter& reporter, bool newType) {
  reporter.ShowMessage(MessageKind::Replace, "");
  const Result r = Reported(reporter, [&]() -> Result {
    MaintenanceCommands& m = reporter.GetLink().maintenance;
    VANTOR_TRY(newType ? m.SetNewInkPadCounter() : m.ClearProtectionCounter());
    reporter.ShowMessage(MessageKind::Replace, text::kCounterCleared);
    return kOk;
  });
  const std::uint16_t value = newType ? kNewPadCounter : 0;
  RecordOperation(
      reporter, "protection counter clear",
      {{eeprom::kProtectionCounterHi, std::nullopt, static_cast<std::uint8_t>(value >> 8)},
       {eeprom::kProtectionCounterLo, std::nullopt, static_cast<std::uint8_t>(value)}},
      r);
  return r;
}

ReportedResult ShowPageCounter(Reporter& reporter) {
  return ShowCounter(reporter, text::kPageCounter, &MaintenanceCommands::ReadPageCount);
}

ReportedResult ShowPassCounter(Reporter& reporter) {
  return ShowCounter(reporter, text::kPassCounter, &MaintenanceCommands::ReadPassCount);
}

ReportedResult InitializeEeprom(Reporter& reporter) {
  const Result r = reporter.GetLink().factory.WriteEepromDefaults();
  RecordOperation(reporter, "EEPROM initialization", {}, r);
  if (r != kOk) {
    reporter.Display().ErrorBox(words::kCommunicationError);
    return r;
  }
  reporter.ShowMessage(MessageKind::Replace, text::kEepromInitialized);
  return kOk;
}

std::optional<EepromRange> CheckEepromRange(Reporter& reporter, std::string_view start,
                                            std::string_view end, InputField& focus) {
  EepromRange range;
  const auto wrong = [&](InputField field) -> std::optional<EepromRange> {
    focus = field;
    reporter.ShowMessage(MessageKind::Error, words::kInputDataWrong);
    return std::nullopt;
  };
  if (start.size() != 2) return wrong(InputField::Start);
  if (end.size() != 2) return wrong(InputField::End);
  if (!IsHexPair(start, range.start)) return wrong(InputField::Start);
  if (!IsHexPair(end, range.end) || range.end < range.start) return wrong(InputField::End);
  return range;
}

Result ReadEepromRange(Reporter& reporter, EepromRange range,
                       const std::function<void(std::uint8_t, std::uint8_t)>& cell) {
  for (int a = range.start; a <= range.end; ++a) {
    std::uint8_t value = 0;
    VANTOR_TRY(reporter.GetLink().channel.ReadEepromByte(static_cast<std::uint8_t>(a), value));
    RecordKnown(reporter, static_cast<std::uint8_t>(a), value);
    if (cell) cell(static_cast<std::uint8_t>(a), value);
  }
  return kOk;
}

std::optional<Result> ChangeEepromByte(Reporter& reporter, std::string_view address,
                                       std::string_view data) {
  std::uint8_t a = 0, d = 0;
  if (address.size() != 2 || data.size() != 2 || !IsHexPair(address, a) || !IsHexPair(data, d)) {
    reporter.ShowMessage(MessageKind::Error, words::kInputDataWrong);
    return std::nullopt;
  }
  return Reported(reporter, [&]() -> Result {
    const Result w = reporter.GetLink().channel.WriteEepromByte(a, d);
    RecordOperation(reporter, "EEPROM byte change", {{a, std::nullopt, d}}, w);
    VANTOR_TRY(w);
    reporter.ShowMessage(MessageKind::Replace, text::kAddress);
    reporter.ShowMessage(MessageKind::Append, HexPairView(ByteToHexPair(a)));
    reporter.ShowMessage(MessageKind::NewLine, text::kData);
    reporter.ShowMessage(MessageKind::Append, HexPairView(ByteToHexPair(d)));
    return kOk;
  });
}

ReportedResult CrMotorDriveDispersion(Reporter& reporter, ReplacedParts parts,
                                      const FactoryCommands::Progress& progress,
                                      std::optional<std::int8_t>* stored) {
  Link& link = reporter.GetLink();
  reporter.ShowMessage(MessageKind::Replace, "");
  if (!parts.mainBoard && !parts.crMotor && !parts.psBoard) {
    link.channel.GetClock().SleepMs(100);
    reporter.ShowMessage(MessageKind::Replace, text::kNotNecessary);
    return kOk;
  }
  const bool measure = parts.crGuideShaft;
  if (!reporter.Display().Question(text::kConfirmation,
                                   measure ? text::kAskMeasure : text::kAskFixed)) {
    return kOk;
  }
  VANTOR_TRY(
      reporter.ShowMessage(MessageKind::Busy, measure ? text::kMeasuring : text::kWritingFixed));
  std::int8_t value = static_cast<std::int8_t>(kFixedDispersion);
  const Result r = Reported(reporter, [&]() -> Result {
    if (!measure) return link.channel.WriteEepromByte(eeprom::kCrDispersion, kFixedDispersion);
    return link.factory.MeasureCrDispersion(value, progress);
  });
  RecordOperation(reporter,
                  measure ? "CR motor drive dispersion measurement" : "CR motor drive dispersion",
                  {{eeprom::kCrDispersion, std::nullopt, static_cast<std::uint8_t>(value)}}, r);
  VANTOR_TRY(r);
  if (stored != nullptr) *stored = value;
  return reporter.ShowMessage(MessageKind::Done, text::kDispersionDone);
}

}  // namespace vantor::procedures
