// What the adjustment writes report once the values are read back from the EEPROM, against a
// printer whose answers the test writes.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "adjust/procedures/BidProcedure.h"
#include "adjust/procedures/PfProcedure.h"
#include "adjust/procedures/Procedures.h"
#include "adjust/procedures/TopMarginProcedure.h"
#include "tests/link/LinkFixture.h"
#include "tests/support/WindowMemo.h"

namespace vantor::test {
namespace {

using namespace procedures;

using Memo = WindowMemo;

// An EEPROM read reply carrying `value` at text positions 14-15.
std::string Holds(const std::string& hex) {
  return "@BDC PS\r\nEE:00" + hex + ";";
}
const std::string kReady = "@BDC ST2\r\nST:04;IQ:50505050;";
const std::string kAck = "@BDC  OK;";
// The control-channel EEPROM read frame for an address.
Bytes ReadFrame(std::uint8_t address) {
  return Packet(0x02, {0x7C, 0x7C, 0x06, 0x00, 0x07, 0x4C, 0x41, 0xBE, 0xA0, address});
}

struct Case {
  const char* name;
  std::function<Result(ProcedureContext&)> run;
  std::vector<std::string> answers;  // control-channel replies in turn
  bool silent;                       // the printer answers nothing from the start
  Result result;                     // returned, and the last one reported
  std::vector<std::uint8_t> readBack;
  std::vector<std::string> lines;
};

Result Bid(ProcedureContext& bench, std::vector<std::pair<std::size_t, std::string>> rows) {
  std::array<std::optional<std::string>, kBidRowCount> entries;
  for (auto& [row, value] : rows) entries[row] = value;
  (void)WriteBidRows(bench, entries);
  return bench.reporter.LastReported();
}

TopMarginList LowLadder() {
  TopMarginList list;  // as read for a stored 14
  list.group = kTopMarginLadderLow;
  list.filled = true;
  list.entries = {"0", "+1", "+2", "+3", "+4"};
  return list;
}

class ReadBackTest : public LinkTest, public ::testing::WithParamInterface<Case> {};

TEST_P(ReadBackTest, OnlyWhatTheEepromHoldsIsRegistered) {
  const Case& c = GetParam();
  StartLink();
  link.channel.SetWaitForSilenceOnce(true);
  Memo memo;
  memo.answer = true;
  ProcedureContext bench(link, memo);
  printer.controlTexts.assign(c.answers.begin(), c.answers.end());
  printer.silent = c.silent;
  const Result r = c.run(bench);
  EXPECT_EQ(r, c.result);
  EXPECT_EQ(bench.reporter.LastReported(), c.result);
  EXPECT_EQ(memo.lines, c.lines);
  // The failure's words are red.
  EXPECT_EQ(memo.opening, MessageKind::Error);
  std::vector<Bytes> reads;
  for (const Bytes& p : printer.On(0x02)) {
    if (p.size() == 16 && p == ReadFrame(p[15])) reads.push_back(p);
  }
  std::vector<Bytes> wanted;
  for (std::uint8_t a : c.readBack) wanted.push_back(ReadFrame(a));
  EXPECT_EQ(reads, wanted);
}

const Case kCases[] = {
    {"BiDRowNotHeldIsNamedAndNotRegistered",
     [](ProcedureContext& b) {
       return Bid(b, {{0, "9"}, {5, "9"}});
     },
     {Holds("09"), Holds("00")},
     false,
     kNotConfirmed,
     {0x72, 0x77},
     {"VSD3 Color 9 is not confirmed: the EEPROM holds 0."}},
    {"BiDOnASilentPrinterNamesEveryRow",
     [](ProcedureContext& b) {
       return Bid(b, {{0, "9"}, {7, "9"}});
     },
     {},
     true,
     kPortFailure,
     {},
     {"Receive error", "VSD1 Black 9 is not confirmed: it could not be read back.",
      "ECO Color 9 is not confirmed: it could not be read back."}},
    {"PfNotHeld",
     [](ProcedureContext& b) { return WritePfValue(b, "3"); },
     {Holds("FF")},
     false,
     kNotConfirmed,
     {0x7D},
     {"PF adjustment value 3 is not confirmed: the EEPROM holds -1."}},
    {"TopMarginNotHeldShowsThePositionHeld",
     [](ProcedureContext& b) { return WriteTopMargin(b, LowLadder(), 3); },
     {kAck, Holds("0E")},
     false,
     kNotConfirmed,
     {0x5D},
     {"Top margin +3 is not confirmed: the EEPROM holds 14."}},
    {"CrDispersionNotHeld",
     [](ProcedureContext& b) { return CrMotorDriveDispersion(b, {.mainBoard = true}); },
     {kReady, kAck, Holds("00")},
     false,
     kNotConfirmed,
     {0x79},
     {"CR motor drive dispersion value 25 is not confirmed: the EEPROM holds 0."}},
};

INSTANTIATE_TEST_SUITE_P(Writes, ReadBackTest, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vantor::test
