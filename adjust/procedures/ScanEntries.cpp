#include "adjust/procedures/ScanEntries.h"

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

}  // namespace vantor::procedures
