#include <unistd.h>

#include <filesystem>

#include "adjust/procedures/ServiceRecord.h"
#include "tests/gui/WorkflowSteps.h"

namespace vantor::test {
namespace {

constexpr int kBidItem = 4;

// SetBidValues(kind, first, second) on the Q40: code 0x00, complement 0xFF, sub-code 0x00,
// then the kind byte and two 16-bit values, low byte then 0xFF for a negative value.
Bytes SetBid(std::uint8_t kind, std::uint8_t firstLo, std::uint8_t firstHi, std::uint8_t secondLo,
             std::uint8_t secondHi) {
  return {0x07, 0x4C, 0x00, 0xFF, 0x00, kind, firstLo, firstHi, secondLo, secondHi};
}

class BidWorkflow : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    // Stored values, one distinct value per row; ECO sits below VSD1.
    const std::pair<std::uint8_t, std::uint8_t> stored[] = {
        {0x70, 0x07}, {0x71, 0xF8}, {0x72, 0xFD}, {0x73, 0x0C},
        {0x74, 0x01}, {0x75, 0x02}, {0x76, 0xFB}, {0x77, 0x05}};
    for (auto [address, value] : stored) Printer().SetEeprom(address, value);
  }
  void OpenInputPanel() {
    Item("AdjustRdoGrp", kBidItem);
    Choose("BidRdoBtn", 1);
    Press("BidOKBtn");
    ASSERT_TRUE(Shown("BidInputPnl"));
    stream_.Clear();
  }
};

const char* const kChecks[] = {"BidVSD1BkCheckBox",  "BidVSD1YMCCheckBox", "BidVSD2BkCheckBox",
                               "BidVSD2YMCCheckBox", "BidVSD3BkCheckBox",  "BidVSD3YMCCheckBox",
                               "BidECOBkCheckBox",   "BidECOYMCCheckBox"};

TEST_F(BidWorkflow, PrintsThePatternAfterTheRemoteBlockAndEjectsTheSheet) {
  Item("AdjustRdoGrp", kBidItem);
  ASSERT_TRUE(Shown("BidItemsPnl"));
  EXPECT_EQ(Find<RadioGroup>(&Adjust(), "BidRdoBtn")->ItemIndex(), 0);
  Screenshot(Adjust(), "bid-items");
  Press("BidOKBtn");
  EXPECT_EQ(Memo(), "Completion the printing.");
  EXPECT_EQ(MemoColor(), kBlack);
  EXPECT_EQ(stream_.remote, std::vector<std::string>{"SN 0 0 0"});
  // Two pages: the pattern's own page break and the eject at the end.
  EXPECT_EQ(stream_.formFeeds, 2);
  EXPECT_TRUE(Shown("BidItemsPnl"));
  // The stored values are back in the printer after the candidates.
  EXPECT_EQ(Printer().Eeprom(0x72), 0xFD);
  EXPECT_EQ(Printer().Eeprom(0x71), 0xF8);
}

TEST_F(BidWorkflow, AFailedPrintIsReportedAndLeavesTheSheetIn) {
  Item("AdjustRdoGrp", kBidItem);
  // The remote-mode block is refused on the data channel.
  Printer().GetFaults().errorReply = sim::Faults::ErrorReply{0x40, sim::kErrChannelClosed};
  Press("BidOKBtn");
  EXPECT_EQ(Memo(), "Communication error.");
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_TRUE(Adjust().isEnabled());
  EXPECT_EQ(stream_.formFeeds, 0);
  EXPECT_TRUE(Shown("BidItemsPnl"));
}

TEST_F(BidWorkflow, AdjustFillsTheRowsUncheckedAndOkThenWritesNothing) {
  OpenInputPanel();
  const std::pair<const char*, const char*> expected[] = {
      {"BidVSD1BkWrtEdit", "-3"}, {"BidVSD1YMCWrtEdit", "12"}, {"BidVSD2BkWrtEdit", "1"},
      {"BidVSD2YMCWrtEdit", "2"}, {"BidVSD3BkWrtEdit", "-5"},  {"BidVSD3YMCWrtEdit", "5"},
      {"BidECOBkWrtEdit", "7"},   {"BidECOYMCWrtEdit", "-8"}};
  for (auto [edit, text] : expected) EXPECT_EQ(EditText(edit), text) << edit;
  for (const char* box : kChecks) EXPECT_FALSE(Checked(box)) << box;
  EXPECT_EQ(Find<QLineEdit>(&Adjust(), "BidVSD1BkWrtEdit")->maxLength(), 3);
  Screenshot(Adjust(), "bid-input");

  Press("BidWrtOKBtn");
  EXPECT_EQ(stream_.Commands(), std::vector<Bytes>{kFinishAdjustWrite});
  EXPECT_EQ(Memo(), "");
}

TEST_F(BidWorkflow, OneSpinChangeWritesOnlyItsRow) {
  OpenInputPanel();
  Spin("BidVSD2YMCUpDown", +1);
  EXPECT_EQ(EditText("BidVSD2YMCWrtEdit"), "3");
  EXPECT_TRUE(Checked("BidVSD2YMCCheckBox"));
  EXPECT_FALSE(Checked("BidVSD2BkCheckBox"));

  Press("BidWrtOKBtn");
  // Kind 2 (VSD2); black -128 (0x80 0xFF) leaves it as it is, colour 3.
  EXPECT_EQ(stream_.Commands(),
            (std::vector<Bytes>{SetBid(2, 0x80, 0xFF, 0x03, 0x00), kFinishAdjustWrite}));
  EXPECT_EQ(Memo(), "As VSD2 Color data, \"3 has registered in EEPROM.");
  EXPECT_EQ(MemoColor(), kBlack);
  EXPECT_EQ(Field("ShowVSD2ClPnl"), "3");
  EXPECT_EQ(Field("ShowVSD2BkPnl"), "");
  EXPECT_EQ(Printer().Eeprom(0x75), 3);
  EXPECT_EQ(Printer().Eeprom(0x74), 0x01);
  // The box stays checked: a second OK writes the row again.
  EXPECT_TRUE(Checked("BidVSD2YMCCheckBox"));
}

// The window keeps the same service record as vantorctl (a virtual printer's beside its state
// file) on the port it chose: the row read when the panel opened is the old value, the
// registered one the new.
class BidRecordWorkflow : public BidWorkflow {
 protected:
  void Configure(ProgramOptions& options) override {
    options.stateFile = (std::filesystem::path(::testing::TempDir()) /
                         ("bid-record-" + std::to_string(::getpid()) + ".bin"))
                            .string();
    std::filesystem::remove_all(procedures::VirtualRecordsFolder(options.stateFile));
    stateFile_ = options.stateFile;
  }
  void TearDown() override {
    BidWorkflow::TearDown();
    std::filesystem::remove(stateFile_);
    std::filesystem::remove_all(procedures::VirtualRecordsFolder(stateFile_));
  }
  std::string stateFile_;
};

TEST_F(BidRecordWorkflow, AWriteIsKeptInTheServiceRecordWithItsOldValue) {
  OpenInputPanel();
  Spin("BidVSD2YMCUpDown", +1);
  Press("BidWrtOKBtn");
  std::vector<procedures::RecordEntry> entries;
  std::string why;
  int damaged = 0;
  ASSERT_TRUE(procedures::ReadRecord(procedures::VirtualRecordsFolder(stateFile_), "Q4A0071234",
                                     entries, damaged, why))
      << why;
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].program.rfind("vantor-adjust", 0), 0u);
  EXPECT_EQ(entries[0].port, "TVUSB1");
  ASSERT_EQ(entries[0].changes.size(), 1u);
  const RecordedChange& c = entries[0].changes[0];
  EXPECT_EQ(c.address, 0x75);
  EXPECT_EQ(c.before, std::optional<std::uint8_t>(0x02));
  EXPECT_EQ(c.intended, 0x03);
  EXPECT_EQ(c.outcome, WriteOutcome::Confirmed);
}

TEST_F(BidWorkflow, SpinStopsAtTheEndsOfTheRange) {
  OpenInputPanel();
  Type("BidECOBkWrtEdit", "59");
  Spin("BidECOBkUpDown", +1);
  Spin("BidECOBkUpDown", +1);
  EXPECT_EQ(EditText("BidECOBkWrtEdit"), "60");
  Type("BidECOBkWrtEdit", "-60");
  Spin("BidECOBkUpDown", -1);
  EXPECT_EQ(EditText("BidECOBkWrtEdit"), "-60");
}

TEST_F(BidWorkflow, CheckedRowsReportALineEachAndARangeFaultDoesNotStopTheRest) {
  OpenInputPanel();
  Type("BidVSD1BkWrtEdit", "-5");
  Type("BidVSD3BkWrtEdit", "61");
  Type("BidECOYMCWrtEdit", "7");
  Press("BidWrtOKBtn");
  EXPECT_EQ(stream_.Commands(),
            (std::vector<Bytes>{SetBid(1, 0xFB, 0xFF, 0x80, 0xFF),
                                SetBid(4, 0x80, 0xFF, 0x07, 0x00), kFinishAdjustWrite}));
  const QStringList lines = Memo().split('\n');
  ASSERT_EQ(lines.size(), 3) << Memo().toStdString();
  EXPECT_EQ(lines[0], "As VSD1 Black data, \"-5 has registered in EEPROM.");
  EXPECT_TRUE(lines[1].contains("VSD3 Black")) << lines[1].toStdString();
  EXPECT_TRUE(lines[1].contains("-60 to 60")) << lines[1].toStdString();
  EXPECT_EQ(lines[2], "As ECO Color data, \"7 has registered in EEPROM.");
  EXPECT_EQ(Printer().Eeprom(0x72), 0xFB);
  EXPECT_EQ(Printer().Eeprom(0x76), 0xFB);  // unchanged: the stored -5
  EXPECT_EQ(Printer().Eeprom(0x71), 0x07);
  EXPECT_EQ(Field("ShowVSD1BkPnl"), "-5");
  EXPECT_EQ(Field("ShowVSD3BkPnl"), "");
  EXPECT_EQ(Field("ShowEcoClPnl"), "7");
  Screenshot(Adjust(), "bid-written");

  // Three good rows: the next OK's first line replaces the memo, the others follow.
  Type("BidVSD3BkWrtEdit", "x");
  Type("BidVSD3BkWrtEdit", "0");
  Press("BidWrtOKBtn");
  EXPECT_EQ(Memo().split('\n').size(), 3);
  EXPECT_TRUE(Memo().startsWith("As VSD1 Black data, "));
  EXPECT_EQ(Printer().Eeprom(0x76), 0x00);
}

TEST_F(BidWorkflow, PresentValuesAreFourLinesOfTwo) {
  Item("AdjustRdoGrp", kBidItem);
  Choose("BidRdoBtn", 2);
  Press("BidOKBtn");
  EXPECT_EQ(Memo(),
            "VSD1 Black value = -3  VSD1 Color value = 12\n"
            "VSD2 Black value = 1  VSD2 Color value = 2\n"
            "VSD3 Black value = -5  VSD3 Color value = 5\n"
            "ECO Black value = 7  ECO Color value = -8");
}

TEST_F(BidWorkflow, PreviousReturnsToTheItemsAndEmptiesTheRows) {
  OpenInputPanel();
  Type("BidVSD1BkWrtEdit", "4");
  Press("BidWrtRtnBtn");
  EXPECT_TRUE(Shown("BidItemsPnl"));
  EXPECT_FALSE(Shown("BidInputPnl"));
  EXPECT_EQ(EditText("BidVSD1BkWrtEdit"), "");
  EXPECT_FALSE(Checked("BidVSD1BkCheckBox"));
}

TEST_F(BidWorkflow, ALinkFailureWhileReadingLeavesTheRowsReadSoFar) {
  Item("AdjustRdoGrp", kBidItem);
  Choose("BidRdoBtn", 1);
  Printer().GetFaults().errorReply = sim::Faults::ErrorReply{0x40, sim::kErrChannelClosed};
  Press("BidOKBtn");
  EXPECT_EQ(Memo(), "Communication error.");
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_TRUE(Shown("BidInputPnl"));
  EXPECT_EQ(EditText("BidVSD1BkWrtEdit"), "");
}

}  // namespace
}  // namespace vantor::test
