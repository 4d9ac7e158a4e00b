// Which print scanned sheets belong to, from the service record alone.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "adjust/procedures/ScanEntries.h"

namespace vantor::procedures {
namespace {

using State = SheetTie::State;

RecordEntry Line(std::string operation, std::vector<RecordedChange> changes = {},
                 std::string result = "done") {
  RecordEntry e;
  e.operation = std::move(operation);
  e.changes = std::move(changes);
  e.result = std::move(result);
  return e;
}

constexpr std::array<std::uint8_t, 2> kWatched = {0x72, 0x73};

TEST(SheetTie, LatestPrintAgainstLaterChanges) {
  const RecordEntry print = Line(std::string(kBidPrintOperation));
  const struct {
    const char* name;
    std::vector<RecordEntry> record;
    State state;
    std::map<std::uint8_t, std::uint8_t> printedWith;
  } cases[] = {
      {"nothing on record", {}, State::NoPrint, {}},
      {"only a failed print",
       {Line(std::string(kBidPrintOperation), {}, "failed: x")},
       State::NoPrint,
       {}},
      {"another pattern's print", {Line(std::string(kPfPrintOperation))}, State::NoPrint, {}},
      {"print last", {Line("Bi-D adjustment", {{0x72, 1, 3}}), print}, State::Latest, {}},
      {"change of another address after",
       {print, Line("Bi-D adjustment", {{0x7D, 0, 2}})},
       State::Latest,
       {}},
      // The first "before" after the print is the value printed with; later ones are not.
      {"two changes after",
       {print, Line("Bi-D adjustment", {{0x72, 0xFE, 1}}),
        Line("EEPROM byte change", {{0x72, 1, 5}})},
       State::ChangedSince,
       {{0x72, 0xFE}}},
      {"a change whose before is unknown",
       {print, Line("EEPROM byte change", {{0x73, {}, 5}})},
       State::ChangedSince,
       {}},
      {"a failed write may have changed it",
       {print, Line("Bi-D adjustment", {{0x73, 4, 5}}, "failed: no reply")},
       State::ChangedSince,
       {{0x73, 4}}},
      {"initialization after", {print, Line("EEPROM initialization")}, State::ChangedSince, {}},
      {"a newer print is the one",
       {print, Line("Bi-D adjustment", {{0x72, 0, 3}}), print},
       State::Latest,
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const SheetTie tie = TieOfLatestPrint(c.record, kBidPrintOperation, kWatched);
    EXPECT_EQ(tie.state, c.state);
    EXPECT_EQ(tie.printedWith, c.printedWith);
  }
}

// A forced reading adds the changes to the values printed with where known, else to the
// present ones; the byte is signed.
TEST(SheetTie, ChangesGoOntoTheValuesPrintedWith) {
  SheetTie tie;
  tie.state = State::ChangedSince;
  tie.printedWith = {{0x72, 0xFE}, {0x71, 7}};  // VSD1 Black -2, ECO Color 7
  std::array<std::optional<int>, kBidRowCount> present{};
  present.fill(10);
  present[2] = std::nullopt;
  const auto base = BidPrintedWith(tie, present);
  const std::array<std::optional<int>, kBidRowCount> want = {-2, 10, std::nullopt, 10,
                                                             10, 10, 10,           7};
  EXPECT_EQ(base, want);
  EXPECT_NE(StaleReason(State::ChangedSince, "Bi-D").find("earlier print"), std::string::npos);
  EXPECT_EQ(StaleReason(State::Latest, "Bi-D"), "");
  EXPECT_EQ(StaleReason(State::Unknown, "Bi-D"), "");
}

}  // namespace
}  // namespace vantor::procedures
