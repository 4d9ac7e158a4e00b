// The printing workflows' procedures against the virtual printer, read from the memo.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "adjust/procedures/BidProcedure.h"
#include "adjust/procedures/CheckPatternProcedure.h"
#include "adjust/procedures/HeadAngleProcedure.h"
#include "adjust/procedures/PfProcedure.h"
#include "adjust/procedures/TopMarginProcedure.h"
#include "tests/support/VirtualBench.h"
#include "tests/support/WindowMemo.h"
#include "words/Words.h"

namespace vantor::test {
namespace {

using namespace procedures;
using Bytes = std::vector<std::uint8_t>;

using Memo = WindowMemo;

class ProcedureTest : public ::testing::Test, protected VirtualBench {
 protected:
  void SetUp() override {
    printer.SetCapture(&capture);
    ASSERT_TRUE(Start());
  }
  std::uint32_t Pages() { return printer.State().pagesPrinted; }
  // How often a byte sequence occurs in the data-channel stream.
  std::size_t Occurrences(const Bytes& frame) {
    const std::string s = capture.str();
    const std::string f(frame.begin(), frame.end());
    std::size_t n = 0;
    for (auto at = s.find(f); at != std::string::npos; at = s.find(f, at + 1)) ++n;
    return n;
  }

  std::ostringstream capture;
  Memo memo;
  ProcedureContext& bench = Procedures(memo);
  Reporter& reporter = bench.reporter;
};

// FinishAdjustWrite: ESC | 00, body length 5, model bytes, 50 AF 28.
const Bytes kFinishFrame = {0x1B, 0x7C, 0x00, 0x05, 0x00, 0x07, 0x4C, 0x50, 0xAF, 0x28};
// SetBidValues(kind, first, second): body length 10, code 00 FF 00.
Bytes BidFrame(std::uint8_t kind, Bytes values) {
  Bytes f = {0x1B, 0x7C, 0x00, 0x0A, 0x00, 0x07, 0x4C, 0x00, 0xFF, 0x00, kind};
  f.insert(f.end(), values.begin(), values.end());
  return f;
}

TEST(TopMarginLadder, EveryKnownValueAndNoOther) {
  struct Row {
    int value;
    std::uint16_t group;
    std::array<std::string_view, 5> entries;
  };
  const Row rows[] = {
      {14, 0x702, {"0", "+1", "+2", "+3", "+4"}},  {28, 0x702, {"-1", "0", "+1", "+2", "+3"}},
      {42, 0x702, {"-2", "-1", "0", "+1", "+2"}},  {56, 0x702, {"-3", "-2", "-1", "0", "+1"}},
      {70, 0x702, {"-4", "-3", "-2", "-1", "0"}},  {85, 0x702, {"-5", "-4", "-3", "-2", "-1"}},
      {92, 0x701, {"0", "+1", "+2", "+3", "+4"}},  {106, 0x701, {"-1", "0", "+1", "+2", "+3"}},
      {120, 0x701, {"-2", "-1", "0", "+1", "+2"}}, {134, 0x701, {"-3", "-2", "-1", "0", "+1"}},
      {148, 0x701, {"-4", "-3", "-2", "-1", "0"}}, {162, 0x701, {"-5", "-4", "-3", "-2", "-1"}},
  };
  int known = 0;
  for (int v = 0; v < 256; ++v) {
    const auto ladder = TopMarginLadderFor(static_cast<std::uint8_t>(v));
    const auto row =
        std::find_if(std::begin(rows), std::end(rows), [&](const Row& r) { return r.value == v; });
    if (row == std::end(rows)) {
      EXPECT_FALSE(ladder) << v;
      continue;
    }
    ++known;
    ASSERT_TRUE(ladder) << v;
    EXPECT_EQ(ladder->group, row->group) << v;
    EXPECT_EQ(ladder->entries, row->entries) << v;
  }
  EXPECT_EQ(known, 12);
  EXPECT_EQ(TopMarginValue(0x701, 0), 92);
  EXPECT_EQ(TopMarginValue(0x701, 4), 148);
  EXPECT_EQ(TopMarginValue(0x702, 4), 70);
  EXPECT_FALSE(TopMarginValue(0x702, 5));
  EXPECT_FALSE(TopMarginValue(0, 0));
}

TEST_F(ProcedureTest, TopMarginWritesTheChosenLadderPosition) {
  TopMarginList list;
  std::uint8_t stored = 0;
  printer.SetEeprom(0x5D, 28);
  ASSERT_EQ(ReadTopMarginList(bench, list, stored), kOk);
  ASSERT_TRUE(list.filled);
  EXPECT_EQ(list.entries[4], "+3");
  EXPECT_EQ(WriteTopMargin(bench, list, 4), kOk);
  EXPECT_EQ(printer.Eeprom(0x5D), 70);
  EXPECT_EQ(memo.lines, (std::vector<std::string>{"As top margin value, +3 has been registered."}));
  EXPECT_EQ(Occurrences(kFinishFrame), 1u);

  printer.SetEeprom(0x5D, 85);
  ASSERT_EQ(ReadTopMarginList(bench, list, stored), kOk);
  EXPECT_EQ(WriteTopMargin(bench, list, 0), kOk);
  EXPECT_EQ(printer.Eeprom(0x5D), 14);
}

TEST_F(ProcedureTest, TopMarginWritesNothingWithoutAKnownLadderAndEntry) {
  TopMarginList list;
  std::uint8_t stored = 0;
  printer.SetEeprom(0x5D, 28);
  ASSERT_EQ(ReadTopMarginList(bench, list, stored), kOk);
  EXPECT_EQ(WriteTopMargin(bench, list, -1), kInputRejected);
  EXPECT_EQ(WriteTopMargin(bench, list, 5), kInputRejected);
  // A value of neither ladder empties the list although the group of the last read stays.
  printer.SetEeprom(0x5D, 30);
  ASSERT_EQ(ReadTopMarginList(bench, list, stored), kOk);
  EXPECT_EQ(list.group, kTopMarginLadderLow);
  EXPECT_FALSE(list.filled);
  EXPECT_EQ(WriteTopMargin(bench, list, 0), kInputRejected);
  EXPECT_EQ(printer.Eeprom(0x5D), 30);
  EXPECT_EQ(memo.lines, (std::vector<std::string>{"Input data is wrong."}));
  EXPECT_EQ(memo.kinds.back(), MessageKind::Error);
  EXPECT_EQ(Occurrences(kFinishFrame), 0u);
}

TEST_F(ProcedureTest, PfWriteChecksTheEntry) {
  printer.SetEeprom(0x7D, 1);
  for (const char* text : {"252", "-5", "5", "abc", ""}) {
    EXPECT_EQ(WritePfValue(bench, text), kInputRejected) << text;
    EXPECT_EQ(memo.lines, (std::vector<std::string>{"Input data is wrong."}));
  }
  EXPECT_EQ(printer.Eeprom(0x7D), 1);
  EXPECT_EQ(WritePfValue(bench, "-2"), kOk);
  EXPECT_EQ(printer.Eeprom(0x7D), 0xFE);
  EXPECT_EQ(memo.lines,
            (std::vector<std::string>{"As PF adjustment data, -2 has been registered in EEPROM."}));
  EXPECT_EQ(ShowPresentPfValue(bench), kOk);
  EXPECT_EQ(memo.lines, (std::vector<std::string>{"PF adjustment value = -2"}));
}

TEST_F(ProcedureTest, PfPrintLeavesTheStoredValue) {
  printer.SetEeprom(0x7D, 3);
  const auto pages = Pages();
  ASSERT_EQ(PrintPfAdjustment(bench), kOk);
  EXPECT_EQ(printer.Eeprom(0x7D), 3);
  EXPECT_EQ(Pages() - pages, 1u);
  EXPECT_EQ(Occurrences(kFinishFrame), 9u);
  EXPECT_EQ(memo.lines, (std::vector<std::string>{"Completion the printing."}));
}

// Refuses the first write after the first one carrying `needle`, so a job fails once a
// candidate is set.
class FailAfterFirstFrame final : public PortDevice {
 public:
  FailAfterFirstFrame(std::unique_ptr<PortDevice> inner, std::string needle)
      : inner_(std::move(inner)), needle_(std::move(needle)) {}
  IoResult Write(std::span<const std::uint8_t> b, std::int64_t l) override {
    if (frameSeen_ && !failed_) {
      failed_ = true;
      return {false, 0};
    }
    const std::string_view text(reinterpret_cast<const char*>(b.data()), b.size());
    frameSeen_ = frameSeen_ || text.find(needle_) != std::string_view::npos;
    return inner_->Write(b, l);
  }
  IoResult Read(std::span<std::uint8_t> b, std::int64_t l) override { return inner_->Read(b, l); }
  IoResult ReadReply(std::span<std::uint8_t> b, std::int64_t l) override {
    return inner_->ReadReply(b, l);
  }
  std::size_t DeviceId(std::span<std::uint8_t> b) override { return inner_->DeviceId(b); }

 private:
  std::unique_ptr<PortDevice> inner_;
  std::string needle_;
  bool frameSeen_ = false;
  bool failed_ = false;
};

class RestoreTest : public ProcedureTest {
 protected:
  void FailAfter(std::string needle) {
    OpenFailure why;
    auto inner = table.Open("TVUSB1", InterfaceKind::Usb, why);
    ASSERT_TRUE(inner);
    auto shared = std::make_shared<std::unique_ptr<PortDevice>>(std::move(inner));
    table.Set("TVUSB1", "failing", [shared, needle](InterfaceKind, OpenFailure&) {
      return std::make_unique<FailAfterFirstFrame>(std::move(*shared), needle);
    });
    ASSERT_EQ(link.port.OpenPort(0x501), kOk);
    ASSERT_EQ(link.channel.StartLink(), kOk);
  }
};

// The stored value goes back after the failure, and the failure's words still reach the memo.
TEST_F(RestoreTest, FailedPrintKeepsItsCauseThroughTheRestore) {
  const std::string words(words::PortErrorWords(kPortWriteFailed));
  ASSERT_FALSE(words.empty());
  printer.SetEeprom(0x7D, 3);
  FailAfter("\x1B\x7C");  // the first candidate's factory frame
  EXPECT_EQ(PrintPfAdjustment(bench), kPortFailure);
  EXPECT_EQ(printer.Eeprom(0x7D), 3);
  EXPECT_EQ(memo.lines, (std::vector<std::string>{words}));
  EXPECT_EQ(memo.kinds.back(), MessageKind::Error);
}

TEST_F(RestoreTest, FailedBidPrintKeepsItsCauseThroughTheRestore) {
  FailAfter(std::string("\x07\x4C\x00\xFF\x00", 5));  // SetBidValues after the model bytes
  EXPECT_EQ(PrintBidAdjustment(bench), kPortFailure);
  EXPECT_EQ(memo.lines,
            (std::vector<std::string>{std::string(words::PortErrorWords(kPortWriteFailed))}));
  EXPECT_EQ(memo.kinds.back(), MessageKind::Error);
}

TEST_F(ProcedureTest, BidWriteReportsEachCheckedRow) {
  std::array<std::optional<std::string>, kBidRowCount> entries;
  entries[3] = "12";  // VSD2 Color
  auto registered = WriteBidRows(bench, entries);
  EXPECT_EQ(registered[3], 12);
  EXPECT_EQ(memo.lines,
            (std::vector<std::string>{"As VSD2 Color data, \"12 has registered in EEPROM."}));
  // Kind 2, colour field 12, black field -128 (80 FF): leave black as it is.
  EXPECT_EQ(Occurrences(BidFrame(2, {0x80, 0xFF, 0x0C, 0x00})), 1u);

  entries = {};
  entries[0] = "-5";
  entries[2] = "61";
  entries[7] = "60";
  registered = WriteBidRows(bench, entries);
  EXPECT_EQ(registered, (BidValues{-5, {}, {}, {}, {}, {}, {}, 60}));
  EXPECT_EQ(memo.lines,
            (std::vector<std::string>{"As VSD1 Black data, \"-5 has registered in EEPROM.",
                                      "The VSD2 Black value is out of the range -60 to 60.",
                                      "As ECO Color data, \"60 has registered in EEPROM."}));
  EXPECT_EQ(Occurrences(BidFrame(1, {0xFB, 0xFF, 0x80, 0xFF})), 1u);
  EXPECT_EQ(Occurrences(BidFrame(4, {0x80, 0xFF, 0x3C, 0x00})), 1u);
  EXPECT_EQ(Occurrences(kFinishFrame), 2u);

  // Nothing checked: only the closing FinishAdjustWrite.
  const std::string before = capture.str();
  entries = {};
  WriteBidRows(bench, entries);
  EXPECT_EQ(capture.str().substr(before.size()),
            std::string(kFinishFrame.begin(), kFinishFrame.end()));
}

TEST_F(ProcedureTest, BidRangeFailureIsAddedBelowTheMemoText) {
  // The report of an earlier OK is still in the memo.
  memo.lines = {"As VSD1 Color data, \"5 has registered in EEPROM."};
  std::array<std::optional<std::string>, kBidRowCount> entries;
  entries[1] = "abc";
  entries[2] = "7";
  WriteBidRows(bench, entries);
  EXPECT_EQ(memo.lines,
            (std::vector<std::string>{"As VSD1 Color data, \"5 has registered in EEPROM.",
                                      "The VSD1 Color value is out of the range -60 to 60.",
                                      "As VSD2 Black data, \"7 has registered in EEPROM."}));
  // Nothing of the refused row reaches the printer: kind 1, colour field, black left alone.
  EXPECT_EQ(Occurrences(BidFrame(1, {0x80, 0xFF})), 0u);

  EXPECT_EQ(memo.kinds[memo.kinds.size() - 4], MessageKind::NewLine);

  // On an empty memo the failure is the whole text, shown as an error.
  memo.lines.clear();
  entries = {};
  entries[1] = "61";
  WriteBidRows(bench, entries);
  EXPECT_EQ(memo.lines,
            (std::vector<std::string>{"The VSD1 Color value is out of the range -60 to 60."}));
  EXPECT_EQ(memo.kinds.back(), MessageKind::Error);
}

TEST_F(ProcedureTest, PresentBidValuesInFourLines) {
  const Bytes values = {0xFC, 0x02, 0x05, 0x06, 0xFD, 0x0C, 0x00, 0xC4};  // 0x70..0x77
  for (std::size_t i = 0; i < values.size(); ++i)
    printer.SetEeprom(static_cast<std::uint8_t>(0x70 + i), values[i]);
  ASSERT_EQ(ShowPresentBidValues(bench), kOk);
  EXPECT_EQ(memo.lines, (std::vector<std::string>{"VSD1 Black value = 5  VSD1 Color value = 6",
                                                  "VSD2 Black value = -3  VSD2 Color value = 12",
                                                  "VSD3 Black value = 0  VSD3 Color value = -60",
                                                  "ECO Black value = -4  ECO Color value = 2"}));
}

TEST_F(ProcedureTest, PrintJobsEjectTheirPages) {
  auto pages = Pages();
  ASSERT_EQ(PrintBidAdjustment(bench), kOk);
  EXPECT_EQ(Pages() - pages, 2u);

  pages = Pages();
  ASSERT_EQ(PrintHeadAngleCheck(bench), kOk);
  ASSERT_EQ(PrintHeadAngleCheck(bench), kOk);
  EXPECT_EQ(Pages() - pages, 0u);  // both checks on the one sheet
  ASSERT_EQ(EjectHeadAngleSheet(bench), kOk);
  EXPECT_EQ(Pages() - pages, 1u);

  pages = Pages();
  ASSERT_EQ(PrintTopMarginCheck(bench), kOk);
  EXPECT_EQ(Pages() - pages, 1u);

  pages = Pages();
  ASSERT_EQ(PrintA4CheckPattern(bench), kOk);
  EXPECT_EQ(Pages() - pages, 4u);
  EXPECT_EQ(memo.lines, (std::vector<std::string>{"Completion the printing."}));
}

}  // namespace
}  // namespace vantor::test
