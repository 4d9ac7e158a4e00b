// Scans of printed adjustment sheets turned into entries, the same way for the window's input
// panels and for vantorctl's suggest commands.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "adjust/procedures/BidProcedure.h"
#include "adjust/procedures/ServiceRecord.h"
#include "sheet/SheetReader.h"

namespace vantor::procedures {

// Loads the images and reads the pages of one Bi-D print; nullopt with the words when an image
// cannot be loaded or the pages cannot be read.
std::optional<sheet::BidReading> ReadBidScans(const std::vector<std::string>& files,
                                              std::string& error);
// The same for the page of a PF print.
std::optional<sheet::PfReading> ReadPfScan(const std::string& file, std::string& error);
// The file name patterns of the image formats those read ("*.png *.jpg ...").
std::string ScanFilePatterns();

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

// The printed sheets carry nothing of their own print, so the service record ties them: each
// print of a pattern is a line, and so is every later change of a value it was printed around.
inline constexpr std::string_view kBidPrintOperation = "Bi-D pattern print";
inline constexpr std::string_view kPfPrintOperation = "PF pattern print";

struct SheetTie {
  enum class State {
    Unknown,       // no record is kept: nothing can be said
    NoPrint,       // no finished print of the pattern on record
    Latest,        // no value of the pattern changed since the latest print
    ChangedSince,  // a value was changed after the latest print: its sheets show older values
  };
  State state = State::Unknown;
  // The value each address held at the latest print, where a change after it recorded its
  // "before".
  std::map<std::uint8_t, std::uint8_t> printedWith;
};

// The tie of the latest print named `print` to the values at `addresses`, from a record
// oldest first.
SheetTie TieOfLatestPrint(const std::vector<RecordEntry>& entries, std::string_view print,
                          std::span<const std::uint8_t> addresses);
// The same from the reporter's record of this printer (reads its serial number once).
SheetTie TieOfLatestPrint(Reporter& reporter, std::string_view print,
                          std::span<const std::uint8_t> addresses);

// In the window: its own memory of the values at its last print and those stored since, where
// it printed in this session; else the service record.
template <class Values>
SheetTie TieOfWindowPrint(const std::optional<Values>& printedWith,
                          const std::optional<Values>& stored, Reporter& reporter,
                          std::string_view print, std::span<const std::uint8_t> addresses) {
  if (!printedWith || !stored) return TieOfLatestPrint(reporter, print, addresses);
  SheetTie tie;
  tie.state = *printedWith == *stored ? SheetTie::State::Latest : SheetTie::State::ChangedSince;
  return tie;
}

// Why sheets of that tie are not taken as they are; empty for Latest and Unknown.
std::string StaleReason(SheetTie::State state, std::string_view pattern);

// The Bi-D values to add a reading's changes to: those the sheets were printed with where the
// record knows them, else the present ones.
std::array<std::optional<int>, kBidRowCount> BidPrintedWith(
    const SheetTie& tie, const std::array<std::optional<int>, kBidRowCount>& present);

}  // namespace vantor::procedures
