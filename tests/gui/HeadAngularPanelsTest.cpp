#include <QLabel>

#include "app/VirtualConsole.h"
#include "tests/gui/WorkflowSteps.h"

namespace vantor::test {
namespace {

constexpr int kHeadAngularItem = 3;

// Head angle check print frames on the Q40: D1 (complement 2E, sub-code E8) with 00 before the
// pattern, CB (34, E5) and D1 with FF after it.
const Bytes kD1Before = {0x07, 0x4C, 0xD1, 0x2E, 0xE8, 0x00};
const Bytes kCb = {0x07, 0x4C, 0xCB, 0x34, 0xE5};
const Bytes kD1After = {0x07, 0x4C, 0xD1, 0x2E, 0xE8, 0xFF};

class HeadAngularWorkflow : public WorkflowTest {
 protected:
  WindowTimer& Watch() { return Adjust().Timer(WindowTimerId::HeadAngGetStatus); }

  // True when exactly one check print went out since the last Clear.
  void ExpectOneCheckPrint() {
    const std::vector<Bytes> commands = stream_.Commands();
    ASSERT_GE(commands.size(), 3u);
    EXPECT_EQ(commands.front(), kD1Before);
    EXPECT_EQ(commands[commands.size() - 2], kCb);
    EXPECT_EQ(commands.back(), kD1After);
    EXPECT_EQ(std::count(commands.begin(), commands.end(), kD1Before), 1);
  }

  // Items panel -> first print -> decision panel.
  void FirstPrint() {
    Item("AdjustRdoGrp", kHeadAngularItem);
    ASSERT_TRUE(Shown("HdAngItemsPnl"));
    Press("HdAngItemsOKBtn");
    ASSERT_TRUE(Shown("HdAngStep1Pnl"));
    ExpectOneCheckPrint();
    stream_.Clear();
  }

  // The technician has finished at the mechanism and presses the ink switch.
  void InkSwitchAndWatch() {
    Printer().PressInkSwitch();
    Watch().Tick();
  }

  QStringList PanelLines(const char* panel) {
    QStringList lines;
    for (QLabel* label : Find<QWidget>(&Adjust(), panel)->findChildren<QLabel*>()) {
      if (label->objectName().isEmpty()) lines.append(label->text());
    }
    return lines;
  }
};

TEST_F(HeadAngularWorkflow, NoNeedAfterTheFirstPrintEjectsAndUnlocks) {
  FirstPrint();
  EXPECT_EQ(Memo(), "Completion the printing.");
  EXPECT_EQ(stream_.formFeeds, 0);
  EXPECT_TRUE(Locked());
  EXPECT_FALSE(Find<QWidget>(&Adjust(), "AdjustRtnBtn")->isEnabled());
  Screenshot(Adjust(), "head-angular-decision");

  Choose("HdAngAdjustRdoGrp", 1);
  Press("HdAngStep1OKBtn");
  EXPECT_TRUE(Shown("HdAngItemsPnl"));
  EXPECT_EQ(stream_.formFeeds, 1);
  EXPECT_FALSE(Locked());
  EXPECT_TRUE(Find<QWidget>(&Adjust(), "GetStatusBtn")->isEnabled());
  // The decision is back at its default for the next time.
  EXPECT_EQ(Find<RadioGroup>(&Adjust(), "HdAngAdjustRdoGrp")->ItemIndex(), 0);
}

TEST_F(HeadAngularWorkflow, OldFastenerPrintsOnlyAfterTheCleaningAndEndsAtOnce) {
  FirstPrint();
  Press("HdAngStep1OKBtn");
  ASSERT_TRUE(Shown("HeadAngSusPlateSelectPnl"));
  EXPECT_EQ(Find<RadioGroup>(&Adjust(), "SusPlateSelectRdoGrp")->ItemIndex(), 0);
  EXPECT_TRUE(PanelLines("HeadAngSusPlateSelectPnl")
                  .contains("1. If previous \"FASTENER, HEAD\" is mounted,     select \"Old\"."));
  Screenshot(Adjust(), "head-angular-fastener");
  Choose("SusPlateSelectRdoGrp", 1);
  Press("SusPlateSelectOKBtn");
  ASSERT_TRUE(Shown("HeadAngOldPnl"));
  EXPECT_TRUE(Watch().IsActive());
  const QStringList steps = PanelLines("HeadAngOldPnl");
  EXPECT_EQ(steps.size(), 11);
  EXPECT_TRUE(steps.contains("3. Loosen a left screw.(Do not remove it completely.)"));
  EXPECT_TRUE(steps.contains("11. After completing CL, next check print will start."));
  Screenshot(Adjust(), "head-angular-old");

  // An idle printer: the technician is still working, nothing is printed.
  Watch().Tick();
  Watch().Tick();
  EXPECT_TRUE(Shown("HeadAngOldPnl"));
  EXPECT_TRUE(stream_.Commands().empty());
  EXPECT_TRUE(Locked());

  InkSwitchAndWatch();
  EXPECT_TRUE(Shown("HdAngStep1Pnl"));
  ExpectOneCheckPrint();
  EXPECT_FALSE(Watch().IsActive());
  EXPECT_EQ(stream_.formFeeds, 0);
  stream_.Clear();

  // The second pass goes straight to the old fastener's steps.
  Press("HdAngStep1OKBtn");
  EXPECT_TRUE(Shown("HeadAngOldPnl"));
  EXPECT_TRUE(Watch().IsActive());
  InkSwitchAndWatch();
  ASSERT_TRUE(Shown("HdAngStep1Pnl"));

  Choose("HdAngAdjustRdoGrp", 1);
  Press("HdAngStep1OKBtn");
  EXPECT_TRUE(Shown("HdAngItemsPnl"));
  EXPECT_EQ(stream_.formFeeds, 1);
  EXPECT_FALSE(Locked());
}

// The steps press the ink switch twice: the first press only moves the carriage out, so
// nothing is printed until the second brings it back and the cleaning has run.
TEST_F(HeadAngularWorkflow, TheConsolesFirstPressMovesTheCarriageAndTheSecondReprints) {
  FirstPrint();
  Press("HdAngStep1OKBtn");
  Choose("SusPlateSelectRdoGrp", 1);
  Press("SusPlateSelectOKBtn");
  ASSERT_TRUE(Shown("HeadAngOldPnl"));
  Click(program_->Console(), "InkSwitchBtn");
  Watch().Tick();
  Watch().Tick();
  EXPECT_TRUE(Shown("HeadAngOldPnl"));
  EXPECT_TRUE(stream_.Commands().empty());
  Click(program_->Console(), "InkSwitchBtn");
  Watch().Tick();
  EXPECT_TRUE(Shown("HdAngStep1Pnl"));
  ExpectOneCheckPrint();
}

TEST_F(HeadAngularWorkflow, NewFastenerEndsThroughTheCompletionSteps) {
  FirstPrint();
  Press("HdAngStep1OKBtn");
  Press("SusPlateSelectOKBtn");  // "New" is the default
  ASSERT_TRUE(Shown("HeadAngNewPnl"));
  const QStringList steps = PanelLines("HeadAngNewPnl");
  EXPECT_EQ(steps.size(), 12);
  EXPECT_TRUE(steps.contains(
      "3. Remove \"SPRING, CARTRIDGE\" from bottom of carriage.(1st operation only.)"));
  Screenshot(Adjust(), "head-angular-new");

  InkSwitchAndWatch();
  ASSERT_TRUE(Shown("HdAngStep1Pnl"));
  Choose("HdAngAdjustRdoGrp", 1);
  Press("HdAngStep1OKBtn");
  ASSERT_TRUE(Shown("HeadAngCompletePnl"));
  EXPECT_EQ(stream_.formFeeds, 0);
  EXPECT_TRUE(Locked());
  EXPECT_TRUE(PanelLines("HeadAngCompletePnl").contains("6. Press OK bellow to return."));
  Screenshot(Adjust(), "head-angular-complete");

  Press("HeadAngCompleteBtn");
  EXPECT_TRUE(Shown("HdAngItemsPnl"));
  EXPECT_EQ(stream_.formFeeds, 1);
  EXPECT_FALSE(Locked());

  // A new pass asks for the fastener again.
  Press("HdAngItemsOKBtn");
  Press("HdAngStep1OKBtn");
  EXPECT_TRUE(Shown("HeadAngSusPlateSelectPnl"));
}

TEST_F(HeadAngularWorkflow, EscapeOnTheCompletionStepsPressesItsOk) {
  FirstPrint();
  Press("HdAngStep1OKBtn");
  Press("SusPlateSelectOKBtn");
  InkSwitchAndWatch();
  Choose("HdAngAdjustRdoGrp", 1);
  Press("HdAngStep1OKBtn");
  ASSERT_TRUE(Shown("HeadAngCompletePnl"));
  Adjust().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Adjust()));
  QTest::keyClick(&Adjust(), Qt::Key_Escape);
  EXPECT_TRUE(Adjust().isVisible());
  EXPECT_TRUE(Shown("HdAngItemsPnl"));
  EXPECT_EQ(stream_.formFeeds, 1);
}

TEST_F(HeadAngularWorkflow, PrinterErrorDuringTheWatchReturnsToTheItems) {
  FirstPrint();
  Press("HdAngStep1OKBtn");
  Press("SusPlateSelectOKBtn");
  Printer().RaiseError(sim::kErPaperJam);
  Watch().Tick();
  EXPECT_TRUE(Shown("HdAngItemsPnl"));
  EXPECT_EQ(Memo(), "Paper jam error");
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_FALSE(Watch().IsActive());
  EXPECT_FALSE(Locked());

  // The fastener chosen before is kept for the next adjustment.
  Printer().ClearError();
  Press("HdAngItemsOKBtn");
  Press("HdAngStep1OKBtn");
  EXPECT_TRUE(Shown("HeadAngNewPnl"));
}

TEST_F(HeadAngularWorkflow, FailedStatusReadsAreReportedAndTheWatchGoesOn) {
  FirstPrint();
  Press("HdAngStep1OKBtn");
  Press("SusPlateSelectOKBtn");
  Printer().GetFaults().errorReply = sim::Faults::ErrorReply{0x02, sim::kErrChannelClosed};
  Watch().Tick();
  EXPECT_EQ(Memo(), "Communication error.");
  EXPECT_TRUE(Watch().IsActive());
  EXPECT_TRUE(Shown("HeadAngNewPnl"));
  InkSwitchAndWatch();
  EXPECT_TRUE(Shown("HdAngStep1Pnl"));
}

}  // namespace
}  // namespace vantor::test
