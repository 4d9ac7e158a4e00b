#include <QPlainTextEdit>
#include <QTabWidget>

#include "tests/gui/WorkflowSteps.h"

namespace vantor::test {
namespace {

class MaintenancePanels : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    Find<QTabWidget>(&Adjust(), "AdjustmentTab")->setCurrentIndex(1);
  }
  QString Label(const char* name) { return Find<QLabel>(&Adjust(), name)->text(); }
  bool LabelShown(const char* name) { return Find<QLabel>(&Adjust(), name)->isVisible(); }
  QString Countdown() {
    return Find<QPlainTextEdit>(&Adjust(), "DischargeCountDownMemo")->toPlainText();
  }
  void StartExchange() {
    Item("MaintRdoGrp", 2);
    ASSERT_TRUE(Shown("TraStep0Pnl"));
    Press("MessageOKBtn");
    ASSERT_TRUE(Shown("TraStep1Pnl"));
  }
  // The printer does what the step's next command asks but does not answer it.
  void FailNextTransfer() { Printer().GetFaults().dropReplies = 1; }
};

// Body of a factory frame as the Q40 receives it: model bytes, code, complement, sub-code, data.
Bytes Frame(std::uint8_t code, std::uint8_t sub, Bytes params) {
  Bytes f = {0x07, 0x4C, code, std::uint8_t(~code), sub};
  f.insert(f.end(), params.begin(), params.end());
  return f;
}

TEST_F(MaintenancePanels, CleaningAndInkChargeReportTheirEnd) {
  Item("MaintRdoGrp", 0);
  ASSERT_TRUE(Shown("CleaningPnl"));
  Screenshot(Adjust(), "head-cleaning");
  Press("CleaningOKBtn");
  EXPECT_EQ(Memo(), "Head cleaning is completed.");
  EXPECT_EQ(MemoColor(), kBlack);

  Item("MaintRdoGrp", 1);
  ASSERT_TRUE(Shown("InkChargePnl"));
  Screenshot(Adjust(), "ink-charge");
  Press("ChargeOKBtn");
  EXPECT_EQ(Memo(), "Ink Charge is completed.");
}

TEST_F(MaintenancePanels, NewTypePadSetsTheCounterThatACheckThenShows) {
  Item("MaintRdoGrp", 3);
  ASSERT_TRUE(Shown("ProCounterItemsPnl"));
  Choose("CounterRdoBtn", 1);
  Press("ProCounterOKBtn");
  ASSERT_TRUE(Shown("NewProCounterClearPnl"));
  Screenshot(Adjust(), "protection-counter-clear");
  Press("NewInkPadClearBtn");
  EXPECT_EQ(Memo(), "The protection counter has been cleared.");
  EXPECT_EQ(Printer().Eeprom(0x02), 0x0F);
  EXPECT_EQ(Printer().Eeprom(0x03), 0x61);
  EXPECT_EQ(Field("ShowProCounterPnl"), "Cleared");

  Press("CounterClearRtnBtn");
  ASSERT_TRUE(Shown("ProCounterItemsPnl"));
  Choose("CounterRdoBtn", 0);
  Press("ProCounterOKBtn");
  EXPECT_TRUE(Shown("ProCounterCheckPnl"));
  EXPECT_EQ(Memo(), "Protection Counter = 3937 points");
  Screenshot(Adjust(), "protection-counter-check");

  Press("CounterCheckRtnBtn");
  Choose("CounterRdoBtn", 1);
  Press("ProCounterOKBtn");
  Press("OldInkPadClearBtn");
  EXPECT_EQ(Printer().Eeprom(0x02), 0x00);
  EXPECT_EQ(Printer().Eeprom(0x03), 0x00);
}

TEST_F(MaintenancePanels, CountersAreShownInDecimal) {
  // 0x0001E240 = 123456 pages, 0x01000000 = 16777216 passes.
  for (auto [a, v] : {std::pair{0x20, 0x00},
                      {0x21, 0x01},
                      {0x22, 0xE2},
                      {0x23, 0x40},
                      {0x24, 0x01},
                      {0x25, 0x00},
                      {0x26, 0x00},
                      {0x27, 0x00}}) {
    Printer().SetEeprom(std::uint8_t(a), std::uint8_t(v));
  }
  Item("MaintRdoGrp", 4);
  Press("PageCountOKBtn");
  EXPECT_EQ(Memo(), "Page counter = 123456");
  Item("MaintRdoGrp", 5);
  Press("PrintPassCountOKBtn");
  EXPECT_EQ(Memo(), "Print pass counter = 16777216");
}

TEST_F(MaintenancePanels, ExchangeRunsFourCyclesResetsTheCountersAndCountsDown) {
  for (int a = 0x00; a <= 0x3F; ++a) Printer().SetEeprom(std::uint8_t(a), 0x77);
  Item("MaintRdoGrp", 2);
  Screenshot(Adjust(), "exchange-start");
  stream_.Clear();
  Press("MessageOKBtn");
  ASSERT_TRUE(Shown("TraStep1Pnl"));
  EXPECT_EQ(Printer().Eeprom(0x30), 0x80);
  // FinishAdjustWrite, then the move to the cartridge position: 2480 = 0x09B0, 91 = 0x5B,
  // 385 = 0x0181, low byte first.
  EXPECT_EQ(stream_.Commands(),
            (std::vector<Bytes>{kFinishAdjustWrite, Frame(0xC5, 0xE2, {0x43, 0x01, 0xB0, 0x09}),
                                Frame(0xCD, 0xE6, {0x06, 0x00, 0x5B, 0x00}),
                                Frame(0xCD, 0xE6, {0x05, 0x00, 0x81, 0x01})}));
  EXPECT_TRUE(Locked());
  EXPECT_FALSE(Find<QWidget>(&Adjust(), "AdjustRtnBtn")->isEnabled());
  EXPECT_EQ(Label("DischargeStatusLbl"), "This is the 1st cycle.");
  EXPECT_TRUE(LabelShown("DischargeProcedure0Lbl"));
  EXPECT_FALSE(LabelShown("DischareProcedure1Lbl"));
  Screenshot(Adjust(), "exchange-cycle-1");

  const QStringList next = {"This is the 2nd cycle.", "This is the 3rd cycle.",
                            "This is the 4th cycle."};
  for (int cycle = 0; cycle < 4; ++cycle) {
    Press("CRmoveBtn");
    ASSERT_TRUE(Shown("TraStep2Pnl")) << cycle;
    if (cycle == 0) Screenshot(Adjust(), "exchange-liquid");
    EXPECT_TRUE(Locked());
    if (cycle < 3) {
      EXPECT_EQ(Printer().Eeprom(0x31), 0x77) << "reset before the fourth cycle";
    }
    Press("CRreturnBtn");
    if (cycle == 3) break;
    ASSERT_TRUE(Shown("TraStep1Pnl")) << cycle;
    EXPECT_EQ(Label("DischargeStatusLbl"), next[cycle]);
    EXPECT_FALSE(LabelShown("DischargeProcedure0Lbl"));
    EXPECT_TRUE(LabelShown("DischareProcedure1Lbl"));
  }
  ASSERT_TRUE(Shown("TraStep3Pnl"));
  EXPECT_TRUE(Locked());
  Screenshot(Adjust(), "exchange-final");
  for (int a : {0x02, 0x03, 0x08, 0x09, 0x0A, 0x0B, 0x31})
    EXPECT_EQ(Printer().Eeprom(std::uint8_t(a)), 0x00) << a;
  for (int a = 0x10; a <= 0x1F; ++a) EXPECT_EQ(Printer().Eeprom(std::uint8_t(a)), 0x00) << a;
  EXPECT_EQ(Printer().Eeprom(0x30), 0x10);
  EXPECT_EQ(Printer().Eeprom(0x04), 0x77);  // between the ranges: untouched
  EXPECT_EQ(Printer().Eeprom(0x20), 0x77);
  EXPECT_EQ(Label("DischargeStatusLbl"), "This is the 1st cycle.");

  Press("TransCompleteBtn");
  ASSERT_TRUE(Shown("TraStep4Pnl"));
  Settle();
  EXPECT_FALSE(Locked());
  EXPECT_EQ(Memo(), "Now, CR is in the home position.");
  EXPECT_TRUE(Adjust().SkipLinkShutdown());
  EXPECT_FALSE(LabelShown("DischargeWaitLbl"));
  EXPECT_FALSE(Find<QWidget>(&Adjust(), "DischargeCountDownMemo")->isVisible());
  EXPECT_FALSE(LabelShown("DischargeCompleteLbl"));

  Press("PowerSwOffOKBtn");
  EXPECT_TRUE(LabelShown("DischargeWaitLbl"));
  EXPECT_EQ(Countdown(), "");
  WindowTimer& first = Adjust().Timer(WindowTimerId::CountDown);
  WindowTimer& second = Adjust().Timer(WindowTimerId::CountDown2);
  QStringList shown;
  for (int tick = 0; tick < 11; ++tick) {
    EXPECT_FALSE(LabelShown("DischargeCompleteLbl")) << tick;
    // The two timers take turns, one running at a time.
    WindowTimer& running = first.IsActive() ? first : second;
    ASSERT_TRUE(running.IsActive() != (&running == &first ? second : first).IsActive());
    running.Tick();
    shown.append(Countdown());
  }
  EXPECT_EQ(shown, (QStringList{"10", "9", "8", "7", "6", "5", "4", "3", "2", "1", "0"}));
  EXPECT_TRUE(LabelShown("DischargeCompleteLbl"));
  EXPECT_FALSE(first.IsActive());
  EXPECT_FALSE(second.IsActive());
  Screenshot(Adjust(), "exchange-power-off");

  // The printer is off: the close only closes the port.
  Click(&Adjust(), "AdjustRtnBtn");
  EXPECT_FALSE(GetLink().port.IsOpen());
  EXPECT_TRUE(Printer().State().packetMode);
}

TEST_F(MaintenancePanels, FailedExchangeStepStaysOnItsPanelToBeRepeated) {
  // The very first step: nothing has moved, so the window stays usable.
  Item("MaintRdoGrp", 2);
  FailNextTransfer();
  Press("MessageOKBtn");
  EXPECT_EQ(Memo(), "Receive error");
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_TRUE(Shown("TraStep0Pnl"));
  EXPECT_FALSE(Locked());

  Press("MessageOKBtn");
  ASSERT_TRUE(Shown("TraStep1Pnl")) << Memo().toStdString();
  Press("CRmoveBtn");
  Press("CRreturnBtn");
  ASSERT_EQ(Label("DischargeStatusLbl"), "This is the 2nd cycle.");

  FailNextTransfer();
  Press("CRmoveBtn");
  EXPECT_EQ(Memo(), "Receive error");
  EXPECT_TRUE(Shown("TraStep1Pnl"));
  EXPECT_TRUE(Locked());
  EXPECT_TRUE(Adjust().isEnabled());
  Press("CRmoveBtn");
  ASSERT_TRUE(Shown("TraStep2Pnl"));

  FailNextTransfer();
  Press("CRreturnBtn");
  EXPECT_EQ(Memo(), "Receive error");
  EXPECT_TRUE(Shown("TraStep2Pnl"));
  EXPECT_TRUE(Locked());
  // Repeated, the cycle counts once.
  Press("CRreturnBtn");
  ASSERT_TRUE(Shown("TraStep1Pnl"));
  EXPECT_EQ(Label("DischargeStatusLbl"), "This is the 3rd cycle.");
}

TEST_F(MaintenancePanels, ExchangeStepKeepsItsPanelWhenThePrinterFallsIntoError) {
  StartExchange();
  Printer().RaiseError(sim::kErPaperJam);
  Press("CRmoveBtn");
  EXPECT_EQ(Memo(), "Paper jam error");
  // The error state clears the work area, but the locked exchange must stay reachable.
  EXPECT_TRUE(Shown("TraStep1Pnl"));
  EXPECT_FALSE(Find<QWidget>(&Adjust(), "CanvasPanel")->isVisible());
  EXPECT_TRUE(Locked());
  Printer().ClearError();
  Press("CRmoveBtn");
  EXPECT_TRUE(Shown("TraStep2Pnl"));
}

}  // namespace
}  // namespace vantor::test
