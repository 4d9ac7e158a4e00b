#include "adjust/procedures/BidProcedure.h"

#include <cctype>

#include "adjust/procedures/Durations.h"
#include "adjust/procedures/PrintJob.h"
#include "adjust/procedures/ReadBack.h"
#include "adjust/procedures/ScanEntries.h"
#include "adjust/procedures/ServiceRecord.h"
#include "raster/Malbid.h"
#include "raster/PatternTables.h"

namespace vantor::procedures {

namespace {
namespace text {
constexpr std::string_view kPrinting = "Now Bi-D pattern is printing.";
constexpr std::string_view kRegistered = " has registered in EEPROM.";
}  // namespace text

BidRow RowOf(std::size_t i) {
  const fields::Field& f = fields::kBid[i];
  const std::string caption(f.caption);
  const bool colour = i % 2 == 1;
  // Colour labels stand two blanks after the black value on the same line.
  return {f.caption,
          f.key,
          f.address,
          static_cast<std::uint8_t>(raster::kVsd1 + i / 2),
          colour ? kBidColour : kBidBlack,
          "As " + caption + " data, \"",
          (colour ? "  " : "") + caption + " value = ",
          "The " + caption + " value is out of the range " + fields::RangeWords(*f.range) + "."};
}

}  // namespace

const std::array<BidRow, kBidRowCount> kBidRows = {RowOf(0), RowOf(1), RowOf(2), RowOf(3),
                                                   RowOf(4), RowOf(5), RowOf(6), RowOf(7)};

std::optional<std::size_t> BidRowByKey(std::string_view typed) {
  for (std::size_t i = 0; i < kBidRows.size(); ++i) {
    const std::string_view key = kBidRows[i].key;
    if (typed.size() != key.size()) continue;
    bool same = true;
    for (std::size_t c = 0; c < key.size() && same; ++c) {
      const char t = typed[c] == ' '
                         ? '-'
                         : static_cast<char>(std::tolower(static_cast<unsigned char>(typed[c])));
      same = t == key[c];
    }
    if (same) return i;
  }
  return std::nullopt;
}

std::optional<std::size_t> BidRowAt(std::uint8_t address) {
  for (std::size_t i = 0; i < kBidRows.size(); ++i) {
    if (kBidRows[i].address == address) return i;
  }
  return std::nullopt;
}

Result PrintBidAdjustment(ProcedureContext& context, std::array<int, kBidRowCount>* printedWith) {
  Reporter& reporter = context.reporter;
  const AnnouncedWork work(reporter, durations::BidPrint());
  VANTOR_TRY(reporter.ShowMessage(MessageKind::Busy, text::kPrinting));
  const Result printed = ReportedJob(reporter, [&]() -> Result {
    VANTOR_TRY(RemoteModeBlock(context.link.remote));
    LinkAccess& access = context.access;
    VANTOR_TRY(access.WaitUntilReady());
    StoredBid stored{};
    VANTOR_TRY(access.ReadStoredBid(stored));
    // The values printed with are the "before" of the values the technician registers next.
    for (std::size_t i = 0; i < stored.size(); ++i) {
      RecordKnown(reporter, eeprom::kBidReadOrder[i], stored[i]);
      const auto row = BidRowAt(eeprom::kBidReadOrder[i]);
      if (printedWith != nullptr && row) (*printedWith)[*row] = static_cast<std::int8_t>(stored[i]);
    }
    VANTOR_TRY(context.raster.PrintBidPattern(stored, access));
    return context.raster.FormFeed();
  });
  // The record ties the sheets to this print; the scans are read against it.
  if (printed == kOk) RecordOperation(reporter, kBidPrintOperation, {}, "done");
  VANTOR_TRY(printed);
  return reporter.ShowMessage(MessageKind::Done, kCompletionOfPrinting);
}

Result ReadBidRows(ProcedureContext& context,
                   const std::function<void(std::size_t row, int value)>& fill) {
  Reporter& reporter = context.reporter;
  FactoryCommands& factory = context.link.factory;
  const FactoryRead read = [&](std::uint8_t address, std::uint8_t& value) {
    return factory.FactoryReadEepromByte(address, value);
  };
  return ReportedJob(reporter, [&]() -> Result {
    for (std::size_t i = 0; i < kBidRows.size(); ++i) {
      int value = 0;
      VANTOR_TRY(ReadBidValue(read, kBidRows[i].which, kBidRows[i].dotType, value));
      RecordKnown(reporter, kBidRows[i].address, static_cast<std::uint8_t>(value));
      if (fill) fill(i, value);
    }
    return kOk;
  });
}

Result ShowPresentBidValues(ProcedureContext& context) {
  Reporter& reporter = context.reporter;
  std::array<std::string, kBidRowCount> values;
  VANTOR_TRY(ReadBidRows(context,
                         [&](std::size_t row, int value) { values[row] = std::to_string(value); }));
  for (std::size_t i = 0; i < kBidRows.size(); ++i) {
    // Two rows to a line: black, then colour after two blanks.
    MessageKind kind = MessageKind::Append;
    if (i == 0)
      kind = MessageKind::Replace;
    else if (i % 2 == 0)
      kind = MessageKind::NewLine;
    reporter.ShowMessage(kind, kBidRows[i].valueLabel);
    reporter.ShowMessage(MessageKind::Append, values[i]);
  }
  return kOk;
}

BidValues WriteBidRows(ProcedureContext& context,
                       const std::array<std::optional<std::string>, kBidRowCount>& entries) {
  Reporter& reporter = context.reporter;
  FactoryCommands& factory = context.link.factory;
  const BidWrite write = [&](std::uint8_t dotType, int black, int colour) {
    return factory.SetBidValues(dotType, black, colour);
  };
  // Every row in range is sent; which of them the printer holds is known only afterwards.
  std::array<bool, kBidRowCount> outOfRange{};
  CheckedWrites writes(context);
  std::array<int, kBidRowCount> typed{};
  Result failure = kOk;
  for (std::size_t i = 0; i < kBidRows.size(); ++i) {
    if (!entries[i]) continue;
    const BidRow& row = kBidRows[i];
    std::uint16_t detail = 0;
    const int value = typed[i] = BidEntryValue(*entries[i]);
    const Result r = WriteBidValue(write, detail, row.which, row.dotType, value);
    if (r == kBidRangeFailure) {
      outOfRange[i] = true;
      continue;
    }
    if (r != kOk && failure == kOk) failure = r;
    writes.Path().Sent(row.address, static_cast<std::uint8_t>(value));
    writes.Name(row.address, {std::string(row.caption), *entries[i]});
  }
  const Result finish = factory.FinishAdjustWrite();
  if (failure == kOk) failure = finish;
  failure = writes.Verify(failure);

  BidValues registered{};
  Result rangeFailure = kOk;
  bool firstLine = true;
  for (std::size_t i = 0; i < kBidRows.size(); ++i) {
    if (!entries[i]) continue;
    const BidRow& row = kBidRows[i];
    if (outOfRange[i]) {
      rangeFailure = kBidRangeFailure;
      context.bidRangeWords.Set(row.rangeWords);
      reporter.ReportResult(kBidRangeFailure);
    } else if (writes.Confirmed(row.address)) {
      reporter.ShowMessage(firstLine ? MessageKind::Replace : MessageKind::NewLine,
                           row.registeredAs);
      reporter.ShowMessage(MessageKind::Append, *entries[i]);
      reporter.ShowMessage(MessageKind::Append, text::kRegistered);
      registered[i] = typed[i];
    } else {
      continue;  // named with the others below
    }
    firstLine = false;
  }
  const Result confirmed = writes.ReportUnconfirmed(failure);
  writes.Record("Bi-D adjustment", confirmed != kOk ? confirmed : rangeFailure);
  return registered;
}

}  // namespace vantor::procedures
