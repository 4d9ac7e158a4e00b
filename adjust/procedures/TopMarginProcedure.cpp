#include "adjust/procedures/TopMarginProcedure.h"

#include "adjust/procedures/Durations.h"
#include "adjust/procedures/ReadBack.h"
#include "adjust/procedures/ServiceRecord.h"
#include "words/Words.h"

namespace vantor::procedures {

namespace {
namespace text {
constexpr std::string_view kPrinting = "Now top margin line is printing.";
constexpr std::string_view kRegisteredAs = "As top margin value, ";
constexpr std::string_view kRegistered = " has been registered.";
constexpr std::string_view kName = "Top margin";
}  // namespace text

constexpr int kStep = 14;
constexpr int kHighBase = 92;
constexpr int kLowBase = 14;
// Beyond the last step; the low ladder's is 85, not 84.
constexpr int kHighBeyond = 162;
constexpr int kLowBeyond = 85;

// Offsets -5..+4 as the list shows them.
constexpr std::array<std::string_view, 10> kOffsetTexts = {"-5", "-4", "-3", "-2", "-1",
                                                           "0",  "+1", "+2", "+3", "+4"};

// Ladder position (0..5) of a stored value, or -1.
int PositionOn(int base, int beyond, int stored) {
  if (stored == beyond) return 5;
  const int offset = stored - base;
  if (offset >= 0 && offset % kStep == 0 && offset / kStep < 5) return offset / kStep;
  return -1;
}
}  // namespace

std::optional<TopMarginLadder> TopMarginLadderFor(std::uint8_t stored) {
  TopMarginLadder ladder;
  int position = PositionOn(kHighBase, kHighBeyond, stored);
  ladder.group = kTopMarginLadderHigh;
  if (position < 0) {
    position = PositionOn(kLowBase, kLowBeyond, stored);
    ladder.group = kTopMarginLadderLow;
  }
  if (position < 0) return std::nullopt;
  for (std::size_t i = 0; i < kTopMarginEntries; ++i)
    ladder.entries[i] = kOffsetTexts[static_cast<std::size_t>(static_cast<int>(i) - position + 5)];
  return ladder;
}

std::optional<std::uint8_t> TopMarginValue(std::uint16_t group, int index) {
  if (index < 0 || index >= static_cast<int>(kTopMarginEntries)) return std::nullopt;
  if (group == kTopMarginLadderHigh) return static_cast<std::uint8_t>(kHighBase + kStep * index);
  if (group == kTopMarginLadderLow) return static_cast<std::uint8_t>(kLowBase + kStep * index);
  return std::nullopt;
}

Result PrintTopMarginCheck(ProcedureContext& context) {
  Reporter& reporter = context.reporter;
  const AnnouncedWork work(reporter, durations::TopMarginPrint());
  VANTOR_TRY(reporter.ShowMessage(MessageKind::Busy, text::kPrinting));
  Link& link = context.link;
  VANTOR_TRY(ReportedJob(reporter, [&]() -> Result {
    VANTOR_TRY(link.channel.WaitUntilReady());
    VANTOR_TRY(context.raster.InitPrinter());
    VANTOR_TRY(link.remote.EnterRemoteMode());
    VANTOR_TRY(link.remote.SendSnCommand(0, 3));
    VANTOR_TRY(link.remote.ExitRemoteMode());
    VANTOR_TRY(context.raster.InitPrinter());
    LinkAccess& access = context.access;
    access.SleepMs(10);
    std::uint8_t margin = 0;
    VANTOR_TRY(link.channel.ReadEepromByte(eeprom::kTopMargin, margin));
    RecordKnown(reporter, eeprom::kTopMargin, margin);
    return context.raster.PrintTopMarginPattern(margin, access);
  }));
  return reporter.ShowMessage(MessageKind::Done, kCompletionOfPrinting);
}

Result ReadTopMarginList(ProcedureContext& context, TopMarginList& list, std::uint8_t& stored) {
  Reporter& reporter = context.reporter;
  list.filled = false;
  list.entries = {};
  VANTOR_TRY(ReportedJob(
      reporter, [&] { return context.link.channel.ReadEepromByte(eeprom::kTopMargin, stored); }));
  RecordKnown(reporter, eeprom::kTopMargin, stored);
  if (const auto ladder = TopMarginLadderFor(stored)) {
    list.group = ladder->group;
    list.entries = ladder->entries;
    list.filled = true;
  }
  return kOk;
}

Result WriteTopMargin(ProcedureContext& context, const TopMarginList& list, int index) {
  Reporter& reporter = context.reporter;
  const std::optional<std::uint8_t> value =
      list.filled ? TopMarginValue(list.group, index) : std::nullopt;
  if (!value) {
    reporter.ShowMessage(MessageKind::Error, words::kInputDataWrong);
    return kInputRejected;
  }
  const std::string_view entry = list.entries[static_cast<std::size_t>(index)];
  CheckedWrites writes(context);
  writes.Name(eeprom::kTopMargin, {std::string(text::kName), std::string(entry), Shown::Unsigned});
  const Result written = [&]() -> Result {
    VANTOR_TRY(writes.Path().Write(eeprom::kTopMargin, *value));
    return context.link.factory.FinishAdjustWrite();
  }();
  const Result r = writes.Confirm(written);
  writes.Record("top margin adjustment", r);
  if (r != kOk) return r;
  reporter.ShowMessage(MessageKind::Replace, text::kRegisteredAs);
  reporter.ShowMessage(MessageKind::Append, entry);
  reporter.ShowMessage(MessageKind::Append, text::kRegistered);
  return kOk;
}

}  // namespace vantor::procedures
