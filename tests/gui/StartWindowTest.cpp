#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <vector>

#include "app/VirtualConsole.h"
#include "shell/TAboutBox.h"
#include "tests/gui/GuiHarness.h"
#include "words/Words.h"

namespace vantor::test {
namespace {

using StartWindow = GuiTest;

TEST_F(StartWindow, OffersTheModelsAndInterfacesWithNothingChosen) {
  EXPECT_EQ(Boot().windowTitle(), " TAVRO Printer Adjustment Program");
  auto* models = Find<QComboBox>(&Boot(), "ModelNameCombo");
  auto* ports = Find<QComboBox>(&Boot(), "UsePortCombo");
  ASSERT_EQ(models->count(), 2);
  EXPECT_EQ(models->itemText(1), "Vantor Q30");
  ASSERT_EQ(ports->count(), 6);
  EXPECT_EQ(ports->itemText(0), "LPT1");
  EXPECT_EQ(ports->itemText(5), "TVUSB3");
  EXPECT_EQ(models->currentIndex(), -1);
  EXPECT_EQ(ports->currentIndex(), -1);
  EXPECT_TRUE(Find<QPushButton>(&Boot(), "PortSelectOKBtn")->isDefault());
  Screenshot(Boot(), "start-window");
}

TEST_F(StartWindow, OkWithOnlyAModelDoesNothing) {
  Choose(0, -1);
  Click(&Boot(), "PortSelectOKBtn");
  EXPECT_TRUE(Boot().isVisible());
  EXPECT_FALSE(Adjust().isVisible());
  EXPECT_FALSE(GetLink().port.IsOpen());
  EXPECT_TRUE(dialogs_.boxes.empty());
  EXPECT_FALSE(HourglassShown());
}

TEST_F(StartWindow, PortThatCannotOpenLeavesTheWindowForAnotherChoice) {
  program_->Ports().Set("LPT2", "nothing here", [](InterfaceKind, OpenFailure& why) {
    why.reason = "no such device";
    return std::unique_ptr<PortDevice>();
  });
  Choose(0, 1);
  Click(&Boot(), "PortSelectOKBtn");
  EXPECT_EQ(dialogs_.Texts(), QStringList{"Cannot open port."});
  EXPECT_TRUE(Boot().isVisible());
  EXPECT_FALSE(Adjust().isVisible());
  EXPECT_FALSE(HourglassShown());
  // The choices stay, and another interface works without a restart.
  EXPECT_EQ(Find<QComboBox>(&Boot(), "UsePortCombo")->currentIndex(), 1);
  Choose(0, 0);
  Click(&Boot(), "PortSelectOKBtn");
  EXPECT_TRUE(Adjust().isVisible());
  EXPECT_FALSE(Boot().isVisible());
}

TEST_F(StartWindow, SilentPrinterGivesCommunicationErrorAndASecondOkWorks) {
  Printer().GetFaults().emptyDeviceId = true;
  Choose(0, 3);
  Click(&Boot(), "PortSelectOKBtn");
  EXPECT_EQ(dialogs_.Texts(), QStringList{"Communication error."});
  EXPECT_TRUE(Boot().isVisible());
  EXPECT_FALSE(HourglassShown());

  Printer().GetFaults().emptyDeviceId = false;
  Click(&Boot(), "PortSelectOKBtn");
  ASSERT_TRUE(Adjust().isVisible());
  EXPECT_EQ(Memo(), "Ready to print.");
  EXPECT_EQ(dialogs_.boxes.size(), 1u);
}

TEST_F(StartWindow, SecondModelSetsItsFrameBytesAndLabel) {
  dialogs_.answers.push_back(true);  // the virtual printer is a Q40
  OpenAdjustment(1, 3);
  EXPECT_EQ(GetLink().channel.GetModelBytes(), (ModelBytes{0x08, 0x18}));
  EXPECT_EQ(Find<QLabel>(&Adjust(), "SelectPrinterNameLbl")->text(), "Vantor Q30");
  EXPECT_EQ(Boot().SelectedPortCode(), 0x501);
  EXPECT_EQ(Boot().SelectedInterfaceKind(), InterfaceKind::Usb);
}

TEST_F(StartWindow, AModelOtherThanTheReportedOneIsAskedAboutAndCancelLetsGo) {
  Choose(1, 3);
  Click(&Boot(), "PortSelectOKBtn");
  ASSERT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_TRUE(dialogs_.boxes[0].question);
  EXPECT_EQ(dialogs_.boxes[0].text,
            "The printer reports itself as Vantor Q40; continue as Vantor Q30?");
  EXPECT_EQ(dialogs_.boxes[0].enter, DialogService::Enter::Cancel);
  // Cancel: the printer is let go, the port closed and the choice can be made again.
  EXPECT_FALSE(GetLink().port.IsOpen());
  EXPECT_FALSE(GetLink().channel.ControlChannelOpen());
  EXPECT_TRUE(Boot().isVisible());
  EXPECT_FALSE(Adjust().isVisible());
  EXPECT_FALSE(HourglassShown());
  OpenAdjustment(0, 3);
  EXPECT_EQ(dialogs_.boxes.size(), 1u);
  EXPECT_EQ(Memo(), "Ready to print.");
}

TEST_F(StartWindow, HasTheFocusAtStartAndTheConsoleNeverTakesIt) {
  program_->ShowWindows();
  VirtualConsole* console = program_->Console();
  ASSERT_NE(console, nullptr);
  EXPECT_TRUE(console->isVisible());
  EXPECT_TRUE(QTest::qWaitForWindowActive(&Boot()));
  QTest::qWait(50);
  EXPECT_EQ(QApplication::activeWindow(), &Boot());
  // The console following its printer does not take the focus either.
  program_->Printer()->RaiseError(sim::kErPaperOut);
  QTest::qWait(1100);
  EXPECT_EQ(QApplication::activeWindow(), &Boot());
}

TEST_F(StartWindow, RightClickOffersVersionWhichOpensModally) {
  Boot().move(100, 80);
  QTest::mouseRelease(&Boot(), Qt::RightButton, {}, QPoint(40, 30));
  auto* popup = Boot().findChild<QMenu*>("PopupMenu1");
  ASSERT_NE(popup, nullptr);
  EXPECT_TRUE(popup->isVisible());
  const QRect frame = Boot().frameGeometry();
  EXPECT_EQ(Boot().PopupPoint({40, 30}), QPoint(40 + frame.left() + 3, 30 + frame.top() + 20));
  popup->hide();

  auto& about = program_->About();
  const QPoint centre = QGuiApplication::primaryScreen()->availableGeometry().center();
  std::vector<QPoint> openedAt;
  auto answer = [&] {
    openedAt.push_back(about.frameGeometry().center());
    EXPECT_TRUE(about.isVisible() && about.isModal());
    about.move(0, 0);  // the technician drags it aside
    QTest::mouseClick(about.findChild<QPushButton*>("OKButton"), Qt::LeftButton);
  };
  QTimer::singleShot(0, [&] {
    Screenshot(about, "version-window");
    answer();
  });
  Boot().findChild<QAction*>("Version1")->trigger();
  EXPECT_FALSE(about.isVisible());
  QTimer::singleShot(0, answer);
  Boot().findChild<QAction*>("Version1")->trigger();
  ASSERT_EQ(openedAt.size(), 2u);
  // Closing puts it back in the middle of the screen.
  EXPECT_NEAR(openedAt[1].x(), centre.x(), 4);
  EXPECT_NEAR(openedAt[1].y(), centre.y(), 4);
}

TEST_F(StartWindow, QuitEndsTheProgram) {
  QSignalSpy end(&Boot(), &TFormBoot::ProgramEnd);
  Click(&Boot(), "ProEndBtn");
  EXPECT_EQ(end.count(), 1);
  EXPECT_FALSE(Boot().isVisible());
}

}  // namespace
}  // namespace vantor::test
