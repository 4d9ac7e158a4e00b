#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include "adjust/panels/RadioGroup.h"
#include "adjust/panels/WindowTimer.h"
#include "app/VirtualConsole.h"
#include "tests/gui/GuiHarness.h"

namespace vantor::test {
namespace {

const QColor kBlack(Qt::black), kBlue(Qt::blue), kRed(Qt::red);

// Stands for the workflow modules: one panel per item, one input emptied on every reset.
class PanelsModule final : public WorkflowModule {
 public:
  void Build(WorkArea& area) override {
    for (auto [item, name] : {std::pair{MenuItem::UsbId, "StandInUsbIdPnl"},
                              std::pair{MenuItem::HeadId, "StandInHeadIdPnl"},
                              std::pair{MenuItem::HeadCleaning, "StandInCleaningPnl"}}) {
      auto* panel = new QWidget(area.PanelParent());
      panel->setObjectName(name);
      area.AddPanel(panel);
      area.SetMenuHandler(item, [&area, panel] { area.ShowPanel(panel); });
    }
    input = new QLineEdit(area.PanelParent());
    input->setObjectName("StandInInputEdit");
  }
  void ResetInputs() override { input->clear(); }
  void WindowClosing() override { ++closings; }
  QLineEdit* input = nullptr;
  int closings = 0;
};

class AdjustWindow : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    auto panels = std::make_unique<PanelsModule>();
    module_ = panels.get();
    Adjust().AddModule(std::move(panels));
  }
  void ClickItem(const char* menu, int index) {
    auto* group = Find<RadioGroup>(&Adjust(), menu);
    QRadioButton* button = group->Button(index);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible());
    button->click();  // does nothing while the menu is disabled, as a mouse click
  }
  bool PanelShown(const char* name) { return Find<QWidget>(&Adjust(), name)->isVisible(); }
  void StatusReply(const std::string& text) { Printer().GetFaults().controlReply = text; }

  PanelsModule* module_ = nullptr;
};

const QStringList kNormalItems = {"EEPROM initialization",
                                  "Head ID",
                                  "CR Motor Drive Dispersion",
                                  "Head angular",
                                  "Bi-D adjust",
                                  "PF adjust",
                                  "USB ID",
                                  "Top margin"};
const QStringList kErrorItems = {"EEPROM initialization", "Head ID", "USB ID", "Protection counter",
                                 "EEPROM data"};

TEST_F(AdjustWindow, OpensWithTheStatusAndTheFullMenus) {
  OpenAdjustment();
  EXPECT_EQ(Adjust().windowTitle(), " Individual Adjustment Program");
  EXPECT_EQ(Memo(), "Ready to print.");
  EXPECT_EQ(MemoColor(), kBlack);
  EXPECT_EQ(AdjustItems(), kNormalItems);
  auto* tab = Find<QTabWidget>(&Adjust(), "AdjustmentTab");
  EXPECT_EQ(tab->tabText(0), "Adjustment");
  EXPECT_EQ(tab->tabText(3), "Appendix");
  EXPECT_EQ(Find<RadioGroup>(&Adjust(), "MaintRdoGrp")->Items().size(), 6);
  EXPECT_TRUE(Find<QWidget>(&Adjust(), "CanvasPanel")->isVisible());
  EXPECT_FALSE(HourglassShown());
  Screenshot(Adjust(), "adjustment-window");
}

TEST_F(AdjustWindow, StatusWordsFollowThePrinterState) {
  OpenAdjustment();
  StatusReply("ST:02;IQ:52484748;");
  PressStatus();
  EXPECT_EQ(Memo(), "Printer is busy.");
  EXPECT_EQ(MemoColor(), kBlack);

  StatusReply("ST:04;ER:05;IQ:00484748;");
  PressStatus();
  EXPECT_EQ(Memo(), "Ink out error");
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_EQ(AdjustItems(), kErrorItems);

  StatusReply("ST:00;ER:02;IQ:52484748;");
  PressStatus();
  EXPECT_EQ(Memo(), "Unknown error\nError Code:2");
  EXPECT_EQ(MemoColor(), kRed);

  // No words for an unlisted state: the memo keeps its text, the menus come back in full.
  StatusReply("ST:05;IQ:52484748;");
  PressStatus();
  EXPECT_EQ(Memo(), "Unknown error\nError Code:2");
  EXPECT_EQ(AdjustItems(), kNormalItems);
  EXPECT_TRUE(MenuEnabled("MaintRdoGrp"));
}

TEST_F(AdjustWindow, ErrorStateLeavesFiveItemsUntilThePrinterRecovers) {
  OpenAdjustment();
  ClickItem("AdjustRdoGrp", 1);
  EXPECT_TRUE(PanelShown("StandInHeadIdPnl"));

  Printer().RaiseError(0x05);
  PressStatus();
  EXPECT_EQ(Memo(), "Ink out error");
  EXPECT_FALSE(PanelShown("StandInHeadIdPnl"));
  EXPECT_TRUE(Find<QWidget>(&Adjust(), "CanvasPanel")->isVisible());
  EXPECT_EQ(AdjustItems(), kErrorItems);
  EXPECT_EQ(Find<QTabWidget>(&Adjust(), "AdjustmentTab")->tabText(0), "");
  EXPECT_EQ(Find<RadioGroup>(&Adjust(), "AdjustRdoGrp")->title(), "");
  EXPECT_FALSE(MenuEnabled("MaintRdoGrp"));
  EXPECT_FALSE(MenuEnabled("PatternPrnItemsRdoGrp"));
  EXPECT_FALSE(MenuEnabled("AppendixRdoGrp"));
  Screenshot(Adjust(), "adjustment-window-error-state");

  ClickItem("AdjustRdoGrp", 2);
  EXPECT_TRUE(PanelShown("StandInUsbIdPnl"));
  EXPECT_EQ(Memo(), "");

  Printer().ClearError();
  PressStatus();
  EXPECT_EQ(Memo(), "Ready to print.");
  EXPECT_EQ(AdjustItems(), kNormalItems);
  EXPECT_EQ(Find<RadioGroup>(&Adjust(), "AdjustRdoGrp")->ItemIndex(), -1);
  EXPECT_EQ(Find<RadioGroup>(&Adjust(), "AdjustRdoGrp")->title(), "Adjustment items");
  EXPECT_TRUE(MenuEnabled("MaintRdoGrp"));
  EXPECT_TRUE(MenuEnabled("AppendixRdoGrp"));
}

TEST_F(AdjustWindow, MenuClickAndTabChangeClearThePreviousWork) {
  OpenAdjustment();
  ClickItem("AdjustRdoGrp", 6);
  ASSERT_TRUE(PanelShown("StandInUsbIdPnl"));
  module_->input->setText("ABC");

  auto* tab = Find<QTabWidget>(&Adjust(), "AdjustmentTab");
  tab->setCurrentIndex(1);
  ClickItem("MaintRdoGrp", 0);
  EXPECT_TRUE(PanelShown("StandInCleaningPnl"));
  EXPECT_FALSE(PanelShown("StandInUsbIdPnl"));
  EXPECT_EQ(module_->input->text(), "");
  EXPECT_EQ(Memo(), "");
  EXPECT_EQ(Find<RadioGroup>(&Adjust(), "AdjustRdoGrp")->ItemIndex(), -1);

  // Another item of the same menu replaces the panel.
  ClickItem("MaintRdoGrp", 4);
  EXPECT_FALSE(PanelShown("StandInCleaningPnl"));

  Adjust().Show(MessageKind::Replace, "left over");
  tab->setCurrentIndex(2);
  EXPECT_EQ(Memo(), "");
  EXPECT_EQ(Find<RadioGroup>(&Adjust(), "MaintRdoGrp")->ItemIndex(), -1);
  EXPECT_TRUE(Find<QWidget>(&Adjust(), "CanvasPanel")->isVisible());
}

TEST_F(AdjustWindow, ListLeftByTheStartWindowOpensTheItemsItNames) {
  OpenAdjustment();
  // As when the status read after the link start fails: the start window's list stays.
  Adjust().PrepareForModel(Model::Q40, nullptr);
  EXPECT_EQ(AdjustItems().first(), "Head ID");
  EXPECT_EQ(AdjustItems().last(), "First dot position");
  ClickItem("AdjustRdoGrp", 0);
  EXPECT_TRUE(PanelShown("StandInHeadIdPnl"));
  ClickItem("AdjustRdoGrp", 5);
  EXPECT_TRUE(PanelShown("StandInUsbIdPnl"));
}

TEST_F(AdjustWindow, ShowingWithoutAModelIsReportedAsAProgramFault) {
  Adjust().show();
  EXPECT_EQ(dialogs_.Texts(), QStringList{"program miss!!"});
}

TEST_F(AdjustWindow, EscapeAnswersAsQuit) {
  OpenAdjustment();
  Adjust().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Adjust()));
  QTest::keyClick(&Adjust(), Qt::Key_Escape);
  EXPECT_FALSE(Adjust().isVisible());
  EXPECT_TRUE(Quit().isVisible());
}

TEST_F(AdjustWindow, LinkFailuresShowTheirWordsInRedAndEnableTheWindow) {
  OpenAdjustment();
  Printer().GetFaults().writeDelayMs = 10'000;
  Printer().GetFaults().slowWrites = 1;
  Adjust().setEnabled(false);
  PressStatus();  // a disabled window takes no clicks
  EXPECT_EQ(Memo(), "Ready to print.");
  Adjust().GetStatusBtnClick();
  EXPECT_EQ(Memo(), "Transmission error");
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_TRUE(Adjust().isEnabled());

  Printer().GetFaults().errorReply = sim::Faults::ErrorReply{0x02, 0x84};
  PressStatus();
  EXPECT_EQ(Memo(), "Communication error.");
  EXPECT_EQ(MemoColor(), kRed);
}

TEST_F(AdjustWindow, BusyAndDoneMessagesHoldTheWindowUntilTheTimerTicks) {
  OpenAdjustment();
  Reporter& reporter = Adjust().Messages();
  // Paper out: the box comes on each poll, the busy text only once paper is loaded.
  Printer().SetPaperOut(true);
  QStringList memoDuringBox;
  dialogs_.onError = [&](const QString&) {
    memoDuringBox.append(Memo());
    if (memoDuringBox.size() == 2) Printer().SetPaperOut(false);
  };
  EXPECT_EQ(reporter.ShowMessage(3, "Now Bi-D pattern is printing."), kOk);
  EXPECT_EQ(dialogs_.Texts(), (QStringList{"Paper out error", "Paper out error"}));
  EXPECT_EQ(memoDuringBox, (QStringList{"Ready to print.", "Ready to print."}));
  EXPECT_EQ(Memo(), "Now Bi-D pattern is printing.");
  EXPECT_EQ(MemoColor(), kBlue);
  EXPECT_FALSE(Adjust().isEnabled());
  EXPECT_TRUE(HourglassShown());

  WindowTimer& disable = Adjust().Timer(WindowTimerId::Disable);
  EXPECT_EQ(reporter.ShowMessage(2, "Completion the printing."), kOk);
  EXPECT_EQ(MemoColor(), kBlack);
  EXPECT_FALSE(HourglassShown());
  EXPECT_FALSE(Adjust().isEnabled());
  EXPECT_TRUE(disable.IsActive());
  disable.Tick();
  EXPECT_TRUE(Adjust().isEnabled());
  EXPECT_FALSE(disable.IsActive());

  reporter.ShowMessage(1, "Head ID = ");
  reporter.ShowMessage(5, "ABC");
  reporter.ShowMessage(6, "Data = ");
  reporter.ShowMessage(5, "0E");
  EXPECT_EQ(Memo(), "Head ID = ABC\nData = 0E");
}

TEST_F(AdjustWindow, BusyMessageOnAPrinterInErrorShowsTheErrorInstead) {
  OpenAdjustment();
  Printer().RaiseError(0x04);
  EXPECT_EQ(Adjust().Messages().ShowMessage(3, "Now PF pattern is printing."), kNotReady);
  EXPECT_EQ(Memo(), "Paper jam error");
  EXPECT_TRUE(Adjust().isEnabled());
  EXPECT_FALSE(HourglassShown());
  EXPECT_EQ(AdjustItems(), kErrorItems);
}

TEST_F(AdjustWindow, TimerTickIsNotReenteredFromInsideAWait) {
  OpenAdjustment();
  WindowTimer& watch = Adjust().Timer(WindowTimerId::HeadAngGetStatus);
  int ticks = 0;
  watch.SetHandler([&] {
    ++ticks;
    Adjust().Messages().ShowMessage(3, "Now head angle pattern is printing.");
  });
  Printer().SetPaperOut(true);
  // The modal box's event loop would deliver the next tick while the first still waits.
  dialogs_.onError = [&](const QString&) {
    watch.Tick();
    Printer().SetPaperOut(false);
  };
  watch.Tick();
  EXPECT_EQ(ticks, 1);
  watch.Tick();
  EXPECT_EQ(ticks, 2);
}

TEST_F(AdjustWindow, LockWorkflowDisablesNavigationOnly) {
  OpenAdjustment();
  Adjust().LockWorkflow();
  EXPECT_FALSE(Find<QWidget>(&Adjust(), "AdjustmentTab")->isEnabled());
  EXPECT_FALSE(Find<QWidget>(&Adjust(), "AdjustRtnBtn")->isEnabled());
  EXPECT_FALSE(Find<QWidget>(&Adjust(), "GetStatusBtn")->isEnabled());
  EXPECT_TRUE(Find<QWidget>(&Adjust(), "WorkArea")->isEnabled());
  Adjust().UnlockWorkflow();
  EXPECT_TRUE(Find<QWidget>(&Adjust(), "AdjustmentTab")->isEnabled());
  EXPECT_TRUE(Find<QWidget>(&Adjust(), "GetStatusBtn")->isEnabled());
}

TEST_F(AdjustWindow, CloseShutsTheLinkDownAndOffersTheQuitWindow) {
  OpenAdjustment();
  Adjust().SetAdjustedItem(AdjustedItem::HeadId, "ABCDEFGHJKLMN");
  Adjust().SetAdjustedItem(AdjustedItem::Pf, "-2");
  Find<QTabWidget>(&Adjust(), "AdjustmentTab")->setCurrentIndex(3);
  Adjust().LockWorkflow();
  Adjust().Timer(WindowTimerId::CountDown).Start();

  Click(&Adjust(), "AdjustRtnBtn");  // locked: Quit is disabled
  EXPECT_TRUE(Adjust().isVisible());
  Adjust().close();
  EXPECT_FALSE(Adjust().isVisible());
  EXPECT_TRUE(Quit().isVisible());
  EXPECT_FALSE(GetLink().port.IsOpen());
  EXPECT_FALSE(Printer().State().packetMode);
  EXPECT_EQ(module_->closings, 1);
  EXPECT_FALSE(Adjust().Timer(WindowTimerId::CountDown).IsActive());
  EXPECT_FALSE(HourglassShown());
  Screenshot(Quit(), "quit-window");

  // "Next": a fresh choice, and the window starts clean.
  Click(&Quit(), "NextBtn");
  EXPECT_FALSE(Quit().isVisible());
  EXPECT_TRUE(Boot().isVisible());
  EXPECT_EQ(Find<QComboBox>(&Boot(), "ModelNameCombo")->currentIndex(), -1);
  EXPECT_EQ(Find<QComboBox>(&Boot(), "UsePortCombo")->currentIndex(), -1);
  EXPECT_EQ(Boot().focusWidget(), Find<QComboBox>(&Boot(), "ModelNameCombo"));
  OpenAdjustment();
  EXPECT_EQ(Adjust().AdjustedItemText(AdjustedItem::HeadId), "");
  EXPECT_EQ(Adjust().AdjustedItemText(AdjustedItem::Pf), "");
  EXPECT_EQ(Find<QTabWidget>(&Adjust(), "AdjustmentTab")->currentIndex(), 0);
  EXPECT_TRUE(Find<QWidget>(&Adjust(), "AdjustmentTab")->isEnabled());
  EXPECT_TRUE(Find<QWidget>(&Adjust(), "GetStatusBtn")->isEnabled());
  EXPECT_EQ(Memo(), "Ready to print.");
}

// A visit that ended in the error state, and a next visit whose status read fails: the window
// comes back with its full menus, not a mix of both forms.
TEST_F(AdjustWindow, CloseLeavesTheMenusInOneFormWhenTheNextStatusReadFails) {
  OpenAdjustment();
  Printer().RaiseError(0x05);
  PressStatus();
  ASSERT_EQ(AdjustItems(), kErrorItems);
  Adjust().close();
  // Shown again with its port closed: the status read fails.
  Adjust().show();
  EXPECT_NE(Memo(), "Ready to print.");
  EXPECT_EQ(AdjustItems(), kNormalItems);
  EXPECT_EQ(Find<QTabWidget>(&Adjust(), "AdjustmentTab")->tabText(0), "Adjustment");
  EXPECT_NE(Find<RadioGroup>(&Adjust(), "AdjustRdoGrp")->title(), "");
  EXPECT_TRUE(MenuEnabled("MaintRdoGrp"));
  EXPECT_TRUE(MenuEnabled("PatternPrnItemsRdoGrp"));
  EXPECT_TRUE(MenuEnabled("AppendixRdoGrp"));
}

TEST_F(AdjustWindow, CloseAfterPowerOffParkingOnlyClosesThePort) {
  OpenAdjustment();
  Adjust().SetSkipLinkShutdown(true);
  Click(&Adjust(), "AdjustRtnBtn");
  EXPECT_FALSE(GetLink().port.IsOpen());
  EXPECT_TRUE(Printer().State().packetMode);  // no Exit was sent
  EXPECT_FALSE(Adjust().SkipLinkShutdown());
  QSignalSpy end(&Boot(), &TFormBoot::ProgramEnd);
  Click(&Quit(), "QuitBtn");
  EXPECT_EQ(end.count(), 1);
}

TEST_F(AdjustWindow, ConsoleDrivesThePrinterTheWindowReports) {
  OpenAdjustment();
  VirtualConsole* console = program_->Console();
  ASSERT_NE(console, nullptr);
  console->show();
  Click(console, "PaperOutBtn");
  EXPECT_EQ(Find<QLabel>(console, "ConsolePaperLbl")->text(), "out");
  Screenshot(*console, "virtual-printer-console");
  PressStatus();
  EXPECT_EQ(Memo(), "Paper out error");
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_EQ(AdjustItems(), kErrorItems);
  Click(console, "PaperInBtn");
  PressStatus();
  EXPECT_EQ(Memo(), "Ready to print.");
}

class LostTrace : public GuiTest {
 protected:
  void Configure(ProgramOptions& options) override { options.traceFile = "/dev/full"; }
};

// The trace cannot be written: the window says so in red as soon as it shows, and only once.
TEST_F(LostTrace, IsToldInRedOnceAndNotAgainAtTheClose) {
  OpenAdjustment();
  EXPECT_TRUE(Memo().contains("/dev/full")) << Memo().toStdString();
  EXPECT_EQ(MemoColor(), kRed);
  PressStatus();
  EXPECT_EQ(Memo(), "Ready to print.");
  Click(&Adjust(), "AdjustRtnBtn");
  EXPECT_TRUE(dialogs_.boxes.empty());
}

}  // namespace
}  // namespace vantor::test
