#include "adjust/procedures/ReadBack.h"

#include <vector>

#include "adjust/procedures/ServiceRecord.h"

namespace vantor::procedures {

namespace {
namespace text {
constexpr std::string_view kNotConfirmed = " is not confirmed: ";
constexpr std::string_view kHolds = "the EEPROM holds ";
constexpr std::string_view kNotReadBack = "it could not be read back";
constexpr std::string_view kNotConfirmedRecord = "not confirmed: ";
}  // namespace text

std::string HeldText(const WrittenValue& v) {
  return v.isSigned ? std::to_string(static_cast<std::int8_t>(*v.held)) : std::to_string(*v.held);
}
}  // namespace

Result ReadBack(Link& link, std::span<WrittenValue> values) {
  for (WrittenValue& v : values) {
    std::uint8_t held = 0;
    VANTOR_TRY(link.channel.ReadEepromByte(v.address, held));
    v.held = held;
  }
  return kOk;
}

Result ReportUnconfirmed(Reporter& reporter, std::span<const WrittenValue> values, Result failure) {
  if (failure != kOk) reporter.ReportResult(failure);
  // One red block, beneath the failure's words where the display still shows them (a window's
  // memo); a terminal puts it on standard error.
  bool first = true;
  for (const WrittenValue& v : values) {
    if (v.Confirmed()) continue;
    std::string line = v.name + " " + v.text + std::string(text::kNotConfirmed);
    line += v.held ? std::string(text::kHolds) + HeldText(v) : std::string(text::kNotReadBack);
    const bool opens = first && (failure == kOk || reporter.Display().MessageAreaEmpty());
    reporter.ShowMessage(opens ? MessageKind::Error : MessageKind::NewLine, line + ".");
    first = false;
  }
  if (failure != kOk || first) return failure;
  reporter.ReportResult(kNotConfirmed);
  return kNotConfirmed;
}

Result ConfirmWrites(Bench& bench, std::span<WrittenValue> values, Result written) {
  const Result r = written == kOk ? ReadBack(bench.link, values) : written;
  return ReportUnconfirmed(bench.reporter, values, r);
}

void RecordConfirmed(Bench& bench, std::string_view operation, std::span<const WrittenValue> values,
                     Result result) {
  Reporter& reporter = bench.reporter;
  std::vector<RecordedChange> changes;
  std::string unconfirmed;
  for (const WrittenValue& v : values) {
    if (v.held) changes.push_back({v.address, std::nullopt, *v.held});
    if (v.Confirmed()) continue;
    unconfirmed += (unconfirmed.empty() ? "" : ", ") + v.name;
  }
  if (unconfirmed.empty())
    return RecordOperation(reporter, operation, std::move(changes), FinalResult(bench, result));
  std::string words = result == kNotConfirmed ? "" : FinalResult(bench, result) + "; ";
  RecordOperation(reporter, operation, std::move(changes),
                  words + std::string(text::kNotConfirmedRecord) + unconfirmed);
}

}  // namespace vantor::procedures
