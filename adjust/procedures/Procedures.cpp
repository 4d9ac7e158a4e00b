#include "adjust/procedures/Procedures.h"

#include <string>

#include "adjust/procedures/Durations.h"
#include "adjust/procedures/PrintJob.h"
#include "adjust/procedures/ReadBack.h"
#include "adjust/procedures/ServiceRecord.h"
#include "link/Hex.h"
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
constexpr std::string_view kDispersionName = "CR motor drive dispersion value";
constexpr std::string_view kDispersionDone =
    "A value for the CR motor drive dispersion has successfully registered.";
}  // namespace text

constexpr std::uint8_t kCleaningKind = 4;
constexpr std::uint8_t kInkChargeKind = 6;
constexpr std::uint8_t kFixedDispersion = 25;

Result BusyOperationDone(ProcedureContext& context, std::string_view busy, std::uint8_t kind,
                         std::string_view done) {
  Reporter& reporter = context.reporter;
  const AnnouncedWork work(reporter,
                           kind == kCleaningKind ? durations::Cleaning() : durations::InkCharge());
  VANTOR_TRY(reporter.ShowMessage(MessageKind::Busy, busy));
  const Result r = ReportedJob(reporter, [&] { return context.link.factory.CleanOrCharge(kind); });
  // The done message waits for the end of the operation and reports its own failure; only
  // that end makes the operation done.
  const Result end = r == kOk ? Result(reporter.ShowMessage(MessageKind::Done, done)) : r;
  RecordOperation(reporter, kind == kCleaningKind ? "head cleaning" : "ink charge", {},
                  FinalResult(context, end, r == kOk));
  return end;
}

Result ShowCounter(ProcedureContext& context, std::string_view label,
                   Result (MaintenanceCommands::*read)(std::string&),
                   std::string* shown = nullptr) {
  Reporter& reporter = context.reporter;
  std::string local;
  std::string& value = shown ? *shown : local;
  return ReportedJob(reporter, [&]() -> Result {
    VANTOR_TRY((context.link.maintenance.*read)(value));
    reporter.ShowMessage(MessageKind::Replace, label);
    reporter.ShowMessage(MessageKind::Append, value);
    return kOk;
  });
}

bool IsHexPair(std::string_view text, std::uint8_t& value) {
  const auto parsed = ParseHexByte(text);
  if (parsed) value = *parsed;
  return parsed.has_value();
}
}  // namespace

Result HeadCleaning(ProcedureContext& context) {
  return BusyOperationDone(context, text::kCleaningBusy, kCleaningKind, text::kCleaningDone);
}

Result InkCharge(ProcedureContext& context) {
  return BusyOperationDone(context, text::kChargeBusy, kInkChargeKind, text::kChargeDone);
}

Result CheckProtectionCounter(ProcedureContext& context) {
  Reporter& reporter = context.reporter;
  std::string points;
  const Result r = ShowCounter(context, text::kProtectionCounter,
                               &MaintenanceCommands::ReadProtectionCounter, &points);
  if (r != kOk) return r;
  reporter.ShowMessage(MessageKind::Append, text::kPoints);
  // The count before a clear in the same session, for the record.
  const auto count = static_cast<std::uint16_t>(std::stoul(points));
  RecordKnown(reporter, eeprom::kProtectionCounterHi, static_cast<std::uint8_t>(count >> 8));
  RecordKnown(reporter, eeprom::kProtectionCounterLo, static_cast<std::uint8_t>(count));
  return r;
}

Result ClearProtectionCounter(ProcedureContext& context, bool newType) {
  Reporter& reporter = context.reporter;
  reporter.ShowMessage(MessageKind::Replace, "");
  MaintenanceCommands& m = context.link.maintenance;
  CheckedWrites writes(context);
  const Result r = writes.Confirm(newType ? m.SetNewInkPadCounter(writes.Path())
                                          : m.ClearProtectionCounter(writes.Path()));
  writes.Record("protection counter clear", r);
  VANTOR_TRY(r);
  reporter.ShowMessage(MessageKind::Replace, text::kCounterCleared);
  return kOk;
}

Result ShowPageCounter(ProcedureContext& context) {
  return ShowCounter(context, text::kPageCounter, &MaintenanceCommands::ReadPageCount);
}

Result ShowPassCounter(ProcedureContext& context) {
  return ShowCounter(context, text::kPassCounter, &MaintenanceCommands::ReadPassCount);
}

Result InitializeEeprom(ProcedureContext& context) {
  Reporter& reporter = context.reporter;
  CheckedWrites writes(context);
  const Result read = writes.Verify(context.link.factory.WriteEepromDefaults(writes.Path()));
  // A link failure has its box; a byte that does not hold is named like any other.
  const Result r = read == kOk ? writes.ReportUnconfirmed(kOk) : read;
  writes.Record("EEPROM initialization", r);
  if (read != kOk) reporter.Display().ErrorBox(words::kCommunicationError);
  VANTOR_TRY(r);
  reporter.ShowMessage(MessageKind::Replace, text::kEepromInitialized);
  return kOk;
}

Result CheckEepromRange(ProcedureContext& context, std::string_view start, std::string_view end,
                        EepromRange& range, InputField& focus) {
  const auto wrong = [&](InputField field) -> Result {
    focus = field;
    context.reporter.ShowMessage(MessageKind::Error, words::kInputDataWrong);
    return kInputRejected;
  };
  if (start.size() != 2) return wrong(InputField::Start);
  if (end.size() != 2) return wrong(InputField::End);
  if (!IsHexPair(start, range.start)) return wrong(InputField::Start);
  if (!IsHexPair(end, range.end) || range.end < range.start) return wrong(InputField::End);
  return kOk;
}

Result ReadEepromRange(ProcedureContext& context, EepromRange range,
                       const std::function<void(std::uint8_t, std::uint8_t)>& cell) {
  Reporter& reporter = context.reporter;
  for (int a = range.start; a <= range.end; ++a) {
    std::uint8_t value = 0;
    VANTOR_TRY(context.link.channel.ReadEepromByte(static_cast<std::uint8_t>(a), value));
    RecordKnown(reporter, static_cast<std::uint8_t>(a), value);
    if (cell) cell(static_cast<std::uint8_t>(a), value);
  }
  return kOk;
}

Result ChangeEepromByte(ProcedureContext& context, std::string_view address,
                        std::string_view data) {
  Reporter& reporter = context.reporter;
  std::uint8_t a = 0, d = 0;
  if (address.size() != 2 || data.size() != 2 || !IsHexPair(address, a) || !IsHexPair(data, d)) {
    reporter.ShowMessage(MessageKind::Error, words::kInputDataWrong);
    return kInputRejected;
  }
  CheckedWrites writes(context);
  const Result w = writes.Confirm(writes.Path().Write(a, d));
  writes.Record("EEPROM byte change", w);
  VANTOR_TRY(w);
  reporter.ShowMessage(MessageKind::Replace, text::kAddress);
  reporter.ShowMessage(MessageKind::Append, HexPairView(ByteToHexPair(a)));
  reporter.ShowMessage(MessageKind::NewLine, text::kData);
  reporter.ShowMessage(MessageKind::Append, HexPairView(ByteToHexPair(d)));
  return kOk;
}

Result CrMotorDriveDispersion(ProcedureContext& context, ReplacedParts parts,
                              const FactoryCommands::Progress& progress,
                              std::optional<std::int8_t>* stored) {
  Reporter& reporter = context.reporter;
  Link& link = context.link;
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
  const AnnouncedWork work(reporter, measure ? durations::CrMeasurement() : ExpectedWork{});
  VANTOR_TRY(
      reporter.ShowMessage(MessageKind::Busy, measure ? text::kMeasuring : text::kWritingFixed));
  std::int8_t value = static_cast<std::int8_t>(kFixedDispersion);
  CheckedWrites writes(context);
  const Result written = measure ? link.factory.MeasureCrDispersion(writes.Path(), value, progress)
                                 : writes.Path().Write(eeprom::kCrDispersion, kFixedDispersion);
  writes.Name(eeprom::kCrDispersion, {std::string(text::kDispersionName), std::to_string(value)});
  const Result r = writes.Confirm(written);
  writes.Record(measure ? "CR motor drive dispersion measurement" : "CR motor drive dispersion", r);
  VANTOR_TRY(r);
  if (stored != nullptr) *stored = value;
  return reporter.ShowMessage(MessageKind::Done, text::kDispersionDone);
}

}  // namespace vantor::procedures
