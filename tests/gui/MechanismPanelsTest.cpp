#include <QListWidget>

#include "adjust/procedures/InputFaults.h"
#include "adjust/procedures/TopMarginProcedure.h"
#include "app/VirtualConsole.h"
#include "tests/gui/WorkflowSteps.h"

namespace vantor::test {
namespace {

constexpr int kCrDispersionItem = 2;
constexpr int kPfItem = 5;
constexpr int kTopMarginItem = 7;

// SetPfValue(v) on the Q40: code 0x04, complement 0xFB, sub-code 0x02, the signed byte.
Bytes SetPf(std::uint8_t v) {
  return {0x07, 0x4C, 0x04, 0xFB, 0x02, v};
}

class MechanismWorkflow : public WorkflowTest {
 protected:
  QStringList ComboItems() {
    auto* combo = Find<QComboBox>(&Adjust(), "TopMarginInputCombo");
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items.append(combo->itemText(i));
    return items;
  }
  void OpenTopMarginList(std::uint8_t stored) {
    Printer().SetEeprom(0x5D, stored);
    Item("AdjustRdoGrp", kTopMarginItem);
    Choose("TopMarginRdoGrp", 1);
    Press("TopMarginMainBtn");
    ASSERT_TRUE(Shown("TopMarginPnl"));
    stream_.Clear();
  }
  void Select(int index) {
    Find<QComboBox>(&Adjust(), "TopMarginInputCombo")->setCurrentIndex(index);
  }
  void OpenPfInput(std::uint8_t stored) {
    Printer().SetEeprom(0x7D, stored);
    Item("AdjustRdoGrp", kPfItem);
    Choose("PFRdoGrp", 1);
    Press("PFOKBtn");
    ASSERT_TRUE(Shown("PFAdjustPnl"));
    stream_.Clear();
  }
  void ChooseParts(std::initializer_list<const char*> boxes) {
    Item("AdjustRdoGrp", kCrDispersionItem);
    ASSERT_TRUE(Shown("CRHeatProtectOffsetPnl"));
    for (const char* box : boxes) Find<QCheckBox>(&Adjust(), box)->setChecked(true);
  }
};

// --- PF ---

TEST_F(MechanismWorkflow, PfPatternPrintsAndEjectsItsPage) {
  Item("AdjustRdoGrp", kPfItem);
  ASSERT_TRUE(Shown("PFItemsPnl"));
  EXPECT_EQ(Find<RadioGroup>(&Adjust(), "PFRdoGrp")->ItemIndex(), 0);
  Screenshot(Adjust(), "pf-items");
  Press("PFOKBtn");
  EXPECT_EQ(Memo(), "Completion the printing.");
  EXPECT_EQ(stream_.formFeeds, 1);
  EXPECT_TRUE(Shown("PFItemsPnl"));
}

TEST_F(MechanismWorkflow, PfStoredByteIsShownSigned) {
  OpenPfInput(0xFE);
  EXPECT_EQ(EditText("PFEdit"), "-2");
  EXPECT_EQ(Find<QLineEdit>(&Adjust(), "PFEdit")->maxLength(), 3);
  Screenshot(Adjust(), "pf-adjust");

  Press("PFRtnBtn");
  EXPECT_TRUE(Shown("PFItemsPnl"));
  EXPECT_EQ(EditText("PFEdit"), "");
  Choose("PFRdoGrp", 2);
  Press("PFOKBtn");
  EXPECT_EQ(Memo(), "PF adjustment value = -2");
}

TEST_F(MechanismWorkflow, PfReadFailureLeavesTheEditEmpty) {
  Item("AdjustRdoGrp", kPfItem);
  Choose("PFRdoGrp", 1);
  Printer().GetFaults().errorReply = sim::Faults::ErrorReply{0x02, sim::kErrChannelClosed};
  Press("PFOKBtn");
  EXPECT_TRUE(Shown("PFAdjustPnl"));
  EXPECT_EQ(EditText("PFEdit"), "");
  EXPECT_EQ(Memo(), "Communication error.");
}

TEST_F(MechanismWorkflow, PfEntriesOutsideTheRangeAreRejected) {
  OpenPfInput(0x01);
  for (const char* entry : {"252", "-5", "x", ""}) {
    Type("PFEdit", entry);
    Press("PFWriteOKBtn");
    EXPECT_EQ(Memo(), Refused(procedures::PfValueFault(entry))) << entry;
    EXPECT_EQ(MemoColor(), kRed);
    EXPECT_TRUE(Shown("PFAdjustPnl"));
  }
  EXPECT_TRUE(stream_.Commands().empty());
  EXPECT_EQ(Printer().Eeprom(0x7D), 0x01);
  EXPECT_EQ(Field("ShowPFPnl"), "");
}

TEST_F(MechanismWorkflow, PfValueIsRegistered) {
  OpenPfInput(0xFE);
  Spin("PFUpDown", +1);
  EXPECT_EQ(EditText("PFEdit"), "-1");
  Press("PFWriteOKBtn");
  EXPECT_EQ(stream_.Commands(), (std::vector<Bytes>{SetPf(0xFF), kFinishAdjustWrite}));
  EXPECT_EQ(Memo(), "As PF adjustment data, -1 has been registered in EEPROM.");
  EXPECT_EQ(MemoColor(), kBlack);
  EXPECT_EQ(Printer().Eeprom(0x7D), 0xFF);
  EXPECT_EQ(Field("ShowPFPnl"), "-1");

  // The spin control stops at 4.
  Type("PFEdit", "3");
  Spin("PFUpDown", +1);
  Spin("PFUpDown", +1);
  EXPECT_EQ(EditText("PFEdit"), "4");
}

// --- Top margin ---

TEST_F(MechanismWorkflow, TopMarginCheckPrintsWithItsSetUp) {
  Item("AdjustRdoGrp", kTopMarginItem);
  ASSERT_TRUE(Shown("TopMarginMainPnl"));
  Press("TopMarginMainBtn");
  EXPECT_EQ(Memo(), "Completion the printing.");
  EXPECT_EQ(stream_.remote, std::vector<std::string>{"SN 0 0 3"});
  EXPECT_EQ(stream_.formFeeds, 1);
}

TEST_F(MechanismWorkflow, TopMarginLowLadderFrom28) {
  OpenTopMarginList(28);
  EXPECT_EQ(ComboItems(), (QStringList{"-1", "0", "+1", "+2", "+3"}));
  Screenshot(Adjust(), "top-margin-list");
  // Nothing chosen yet: nothing may be written.
  Press("TopMarginWriteOKBtn");
  EXPECT_EQ(Memo(),
            Refused(procedures::TopMarginFault({procedures::kTopMarginLadderLow, true, {}}, -1)));
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_TRUE(stream_.Commands().empty());
  EXPECT_EQ(Printer().Eeprom(0x5D), 28);

  Select(4);
  Press("TopMarginWriteOKBtn");
  EXPECT_EQ(Printer().Eeprom(0x5D), 70);
  EXPECT_EQ(stream_.Commands(), std::vector<Bytes>{kFinishAdjustWrite});
  EXPECT_EQ(Memo(), "As top margin value, +3 has been registered.");
  EXPECT_EQ(MemoColor(), kBlack);
  EXPECT_EQ(Field("ShowTopMarginPnl"), "+3");
}

TEST_F(MechanismWorkflow, TopMarginBeyondTheLowLadderFrom85) {
  OpenTopMarginList(85);
  EXPECT_EQ(ComboItems(), (QStringList{"-5", "-4", "-3", "-2", "-1"}));
  Select(4);
  Press("TopMarginWriteOKBtn");
  EXPECT_EQ(Printer().Eeprom(0x5D), 70);
  EXPECT_EQ(Memo(), "As top margin value, -1 has been registered.");

  Press("TopMarginRtnBtn");
  EXPECT_TRUE(Shown("TopMarginMainPnl"));
  OpenTopMarginList(85);
  Select(0);
  Press("TopMarginWriteOKBtn");
  EXPECT_EQ(Printer().Eeprom(0x5D), 14);
  EXPECT_EQ(Field("ShowTopMarginPnl"), "-5");
}

TEST_F(MechanismWorkflow, TopMarginHighLadderAndUnknownValues) {
  OpenTopMarginList(162);
  EXPECT_EQ(ComboItems(), (QStringList{"-5", "-4", "-3", "-2", "-1"}));
  Select(0);
  Press("TopMarginWriteOKBtn");
  EXPECT_EQ(Printer().Eeprom(0x5D), 92);

  // 84 is on neither ladder (the low ladder's end is 85): the list stays empty.
  Press("TopMarginRtnBtn");
  OpenTopMarginList(84);
  EXPECT_TRUE(ComboItems().isEmpty());
  Press("TopMarginWriteOKBtn");
  EXPECT_EQ(Memo(), Refused(procedures::TopMarginFault({}, -1)));
  EXPECT_TRUE(stream_.Commands().empty());
  EXPECT_EQ(Printer().Eeprom(0x5D), 84);
}

// --- CR motor drive dispersion ---

TEST_F(MechanismWorkflow, CrGuideShaftAloneNeedsNothing) {
  Printer().SetEeprom(0x79, 0x11);
  ChooseParts({"ReplaceCRMainShaftCheckBox"});
  Screenshot(Adjust(), "cr-dispersion");
  Press("CRHeatProtectOffsetOKBtn");
  EXPECT_EQ(Memo(),
            "It's not necessary to execute this function in case when you've not replaced "
            "1.main board, 2.PS board, and 3.CR motor with new one.");
  EXPECT_TRUE(dialogs_.boxes.empty());
  EXPECT_EQ(Printer().Eeprom(0x79), 0x11);
}

TEST_F(MechanismWorkflow, CrPsBoardRegistersTheFixedValue) {
  Printer().SetEeprom(0x79, 0x11);
  ChooseParts({"ReplacePSBoardCheckBox"});
  Press("CRHeatProtectOffsetOKBtn");  // no answer queued: Cancel
  EXPECT_EQ(Printer().Eeprom(0x79), 0x11);

  dialogs_.answers.push_back(true);
  Press("CRHeatProtectOffsetOKBtn");
  ASSERT_EQ(dialogs_.boxes.size(), 2u);
  EXPECT_TRUE(dialogs_.boxes[1].question);
  EXPECT_EQ(dialogs_.boxes[1].text,
            "Once you select OK button, a value for the CR motor drive dispersion will "
            "automatically be registered.");
  EXPECT_EQ(Printer().Eeprom(0x79), 25);
  EXPECT_EQ(Memo(),
            "A value for the CR motor drive dispersion has successfully registered.\n"
            "Value stored at 0x79: 25");
}

TEST_F(MechanismWorkflow, CrMotorWithGuideShaftMeasures) {
  Printer().SetEeprom(0x79, 0x11);
  ChooseParts({"ReplaceCRMotorCheckBox", "ReplaceCRMainShaftCheckBox"});
  dialogs_.answers.push_back(true);
  Press("CRHeatProtectOffsetOKBtn");
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(dialogs_.boxes[0].text,
            "Once you select OK button, the CR motor drive dispersion measurement sequence will "
            "be run.");
  // The second line names the value the measurement stored.
  EXPECT_EQ(Memo(), QString("A value for the CR motor drive dispersion has successfully "
                            "registered.\nValue stored at 0x79: %1")
                        .arg(std::int8_t(Printer().Eeprom(0x79))));
  EXPECT_NE(Printer().Eeprom(0x79), 0x11);
  EXPECT_NE(Printer().Eeprom(0x79), 25);

  // Choosing the item again starts with no part marked.
  Item("AdjustRdoGrp", 0);
  Item("AdjustRdoGrp", kCrDispersionItem);
  for (const char* box : {"ReplaceMainBoardCheckBox", "ReplacePSBoardCheckBox",
                          "ReplaceCRMotorCheckBox", "ReplaceCRMainShaftCheckBox"}) {
    EXPECT_FALSE(Checked(box)) << box;
  }
}

}  // namespace
}  // namespace vantor::test

namespace vantor::test {
namespace {

// The program's own page renderer stays attached: the sheets reach the printer's console.
class PrintedSheets : public GuiTest {};

TEST_F(PrintedSheets, PatternsAppearOnTheConsoleOfTheVirtualPrinter) {
  OpenAdjustment();
  ASSERT_NE(program_->Console(), nullptr);
  const int before = program_->Console()->PageCount();
  auto* pf = Find<RadioGroup>(&Adjust(), "AdjustRdoGrp")->Button(kPfItem);
  ASSERT_NE(pf, nullptr);
  pf->click();
  Click(&Adjust(), "PFOKBtn");
  EXPECT_EQ(Memo(), "Completion the printing.");
  EXPECT_EQ(program_->Console()->PageCount(), before + 1);
  // The thumbnail names the pattern the sheet carries.
  auto* list = Find<QListWidget>(program_->Console(), "PagesList");
  EXPECT_TRUE(list->item(list->count() - 1)->text().contains("PF pattern"))
      << list->item(list->count() - 1)->text().toStdString();
  Screenshot(*program_->Console(), "console-pf-page");
}

}  // namespace
}  // namespace vantor::test
