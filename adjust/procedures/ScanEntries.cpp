#include "adjust/procedures/ScanEntries.h"

#include <algorithm>

#include "raster/Malbid.h"

namespace vantor::procedures {

std::optional<sheet::BidReading> ReadBidScans(const std::vector<std::string>& files,
                                              std::string& error) {
  std::vector<sheet::SheetImage> pages;
  for (const std::string& file : files) {
    sheet::SheetImage image;
    if (!sheet::LoadImage(file, image, error)) return std::nullopt;
    pages.push_back(std::move(image));
  }
  std::string why;
  auto reading = sheet::ReadBidSheets(pages, why);
  if (!reading) error = "Cannot read the sheets: " + why;
  return reading;
}

std::optional<sheet::PfReading> ReadPfScan(const std::string& file, std::string& error) {
  sheet::SheetImage image;
  if (!sheet::LoadImage(file, image, error)) return std::nullopt;
  std::string why;
  auto reading = sheet::ReadPfSheet(image, why);
  if (!reading) error = "Cannot read the sheet: " + why;
  return reading;
}

std::string ScanFilePatterns() {
  return sheet::ImagePatterns();
}

bool Trusted(const sheet::BidRowReading& row) {
  return row.read && row.confidence >= sheet::kTrustedConfidence;
}

bool Trusted(const sheet::PfReading& reading) {
  return reading.confidence >= sheet::kTrustedConfidence;
}

std::array<BidScanEntry, kBidRowCount> BidEntriesFromScan(
    const sheet::BidReading& reading, const std::array<std::optional<int>, kBidRowCount>& present) {
  std::array<BidScanEntry, kBidRowCount> entries{};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const sheet::BidRowReading& r = reading.rows[i];
    BidScanEntry& e = entries[i];
    if (!r.read) {
      e.state = ScanRow::Missing;
    } else if (!Trusted(r) || !present[i]) {
      e.state = ScanRow::Unsure;
    } else {
      e.state = ScanRow::Trusted;
      e.change = r.suggested;
      e.value = *present[i] + r.suggested;
    }
  }
  return entries;
}

namespace {
// Puts every address back to its factory value without naming the changes.
constexpr std::string_view kInitialization = "EEPROM initialization";
}  // namespace

SheetTie TieOfLatestPrint(const std::vector<RecordEntry>& entries, std::string_view print,
                          std::span<const std::uint8_t> addresses) {
  SheetTie tie;
  tie.state = SheetTie::State::NoPrint;
  const auto latest = std::find_if(entries.rbegin(), entries.rend(), [&](const RecordEntry& e) {
    return e.operation == print && e.result == "done";
  });
  if (latest == entries.rend()) return tie;
  tie.state = SheetTie::State::Latest;
  const auto concerned = [&](std::uint8_t a) {
    return std::find(addresses.begin(), addresses.end(), a) != addresses.end();
  };
  for (auto e = latest.base(); e != entries.end(); ++e) {
    if (e->operation == kInitialization) tie.state = SheetTie::State::ChangedSince;
    // A failed write may still have changed the byte: counted as well.
    for (const RecordedChange& c : e->changes) {
      if (!concerned(c.address)) continue;
      tie.state = SheetTie::State::ChangedSince;
      if (c.before && !tie.printedWith.contains(c.address)) tie.printedWith[c.address] = *c.before;
    }
    // What an initialization wiped, later "before"s no longer tell.
    if (e->operation == kInitialization) break;
  }
  return tie;
}

SheetTie TieOfLatestPrint(Reporter& reporter, std::string_view print,
                          std::span<const std::uint8_t> addresses) {
  std::vector<RecordEntry> entries;
  ServiceRecorder* record = reporter.Recorder();
  if (record == nullptr || !record->History(entries)) return {};
  return TieOfLatestPrint(entries, print, addresses);
}

std::string StaleReason(SheetTie::State state, std::string_view pattern) {
  const std::string p(pattern);
  switch (state) {
    case SheetTie::State::NoPrint:
      return "No " + p +
             " print of this printer is on record, so the sheets cannot be tied to "
             "the values they were printed with.";
    case SheetTie::State::ChangedSince:
      return "These sheets are of an earlier print: " + p +
             " values were registered after the last " + p + " print.";
    default:
      return {};
  }
}

std::array<std::optional<int>, kBidRowCount> BidPrintedWith(
    const SheetTie& tie, const std::array<std::optional<int>, kBidRowCount>& present) {
  auto base = present;
  for (std::size_t i = 0; i < kBidRows.size(); ++i) {
    const auto at = tie.printedWith.find(BidAddress(kBidRows[i].which, kBidRows[i].dotType));
    if (at != tie.printedWith.end()) base[i] = static_cast<std::int8_t>(at->second);
  }
  return base;
}

}  // namespace vantor::procedures
