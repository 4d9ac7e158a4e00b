// Scans of printed adjustment sheets turned into entries, the same way for the window's input
// panels and for vantorctl's suggest commands.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "adjust/procedures/BidProcedure.h"
#include "sheet/SheetReader.h"

namespace vantor::procedures {

// Loads the images and reads the pages of one Bi-D print; nullopt with the words when an image
// cannot be loaded or the pages cannot be read.
std::optional<sheet::BidReading> ReadBidScans(const std::vector<std::string>& files,
                                              std::string& error);
// The same for the page of a PF print.
std::optional<sheet::PfReading> ReadPfScan(const std::string& file, std::string& error);

bool Trusted(const sheet::BidRowReading& row);
bool Trusted(const sheet::PfReading& reading);

enum class ScanRow {
  Trusted,  // read with trust: value is what to register (the present value when unchanged)
  Unsure,   // read below the trusted confidence, or no present value to add the change to
  Missing,  // the row's blocks are not on the pages given
};

struct BidScanEntry {
  ScanRow state = ScanRow::Missing;
  int change = 0;  // steps from the value stored at print time, for a trusted row
  int value = 0;   // present + change, for a trusted row
};

// The sheets carry their candidates around the values stored when they were printed, so a row
// read is a change, added to the row's present value (unknown: nullopt).
std::array<BidScanEntry, kBidRowCount> BidEntriesFromScan(
    const sheet::BidReading& reading, const std::array<std::optional<int>, kBidRowCount>& present);

}  // namespace vantor::procedures
