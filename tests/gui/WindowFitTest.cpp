// The adjustment window on the screens technicians have: 1366x768 at 100 %, 1600x1000 at
// 125 % and 150 %. Run once per screen by CTest (VANTOR_FIT_SCREEN names the case); the
// screenshot shows the whole screen with the windows where they opened.
#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>

#include "app/VirtualConsole.h"
#include "tests/gui/WorkflowSteps.h"

namespace vantor::test {
namespace {

class WindowFit : public WorkflowTest {
 protected:
  void SetUp() override {
    name_ = qEnvironmentVariable("VANTOR_FIT_SCREEN");
    if (name_.isEmpty()) GTEST_SKIP() << "run by CTest on a screen of its own";
    WorkflowTest::SetUp();
    program_->ShowWindows();
  }
  void TearDown() override {
    if (program_) WorkflowTest::TearDown();
  }
  QRect Screen() const { return QGuiApplication::primaryScreen()->availableGeometry(); }
  void ExpectOnScreen(QWidget& window, const char* when) {
    EXPECT_TRUE(Screen().contains(window.frameGeometry()))
        << when << ": " << window.objectName().toStdString() << " at " << window.frameGeometry().x()
        << "," << window.frameGeometry().y() << " " << window.frameGeometry().width() << "x"
        << window.frameGeometry().height() << " on a screen of " << Screen().width() << "x"
        << Screen().height();
  }
  QPoint ButtonPlace(const char* name) {
    return Find<QPushButton>(&Adjust(), name)->mapTo(&Adjust(), QPoint(0, 0));
  }
  // The screen as the technician sees it, in device pixels.
  void ScreenShot() {
    const qreal ratio = Adjust().devicePixelRatioF();
    QImage screen((QSizeF(Screen().size()) * ratio).toSize(), QImage::Format_RGB32);
    screen.setDevicePixelRatio(ratio);
    screen.fill(QColor(40, 60, 90));
    QPainter painter(&screen);
    for (QWidget* window :
         {static_cast<QWidget*>(program_->Console()), static_cast<QWidget*>(&Adjust())}) {
      if (window == nullptr || !window->isVisible()) continue;
      painter.drawPixmap(window->pos() - Screen().topLeft(), window->grab());
    }
    painter.end();
    const QDir dir(VANTOR_SCREENSHOT_DIR);
    ASSERT_TRUE(dir.mkpath("."));
    ASSERT_TRUE(screen.save(dir.filePath("screen-" + name_ + ".png")));
  }

  QString name_;
};

TEST_F(WindowFit, EveryPanelFitsTheScreenAndTheWindowKeepsItsSize) {
  const QSize size = Adjust().size();
  ExpectOnScreen(Adjust(), "opened");
  const struct {
    int tab;
    const char* menu;
    int items;
  } menus[] = {{0, "AdjustRdoGrp", 8},
               {1, "MaintRdoGrp", 6},
               {2, "PatternPrnItemsRdoGrp", 1},
               {3, "AppendixRdoGrp", 1}};
  for (const auto& m : menus) {
    Find<QTabWidget>(&Adjust(), "AdjustmentTab")->setCurrentIndex(m.tab);
    for (int i = 0; i < m.items; ++i) {
      Item(m.menu, i);
      QApplication::processEvents();
      EXPECT_EQ(Adjust().size(), size) << m.menu << " " << i;
    }
  }
  // The widest panel: the EEPROM table.
  Find<QTabWidget>(&Adjust(), "AdjustmentTab")->setCurrentIndex(3);
  Item("AppendixRdoGrp", 0);
  Choose("EepromCheckRdoGrp", 0);
  Press("EepromItemsOKBtn");
  Type("EepReadBegEdit", "00");
  Type("EepReadEndEdit", "FF");
  Press("EepromReadOkBtn");
  QApplication::processEvents();
  EXPECT_EQ(Adjust().size(), size);
  ExpectOnScreen(Adjust(), "EEPROM table");
  ScreenShot();
}

TEST_F(WindowFit, TheWaitingLineMovesNoButton) {
  const QPoint status = ButtonPlace("GetStatusBtn");
  const QPoint quit = ButtonPlace("AdjustRtnBtn");
  const QSize size = Adjust().size();
  Adjust().Show(MessageKind::Busy, "Cleaning");
  QApplication::processEvents();
  ASSERT_TRUE(Find<QLabel>(&Adjust(), "WaitLbl")->isVisible());
  EXPECT_EQ(ButtonPlace("GetStatusBtn"), status);
  EXPECT_EQ(ButtonPlace("AdjustRtnBtn"), quit);
  EXPECT_EQ(Adjust().size(), size);
  Adjust().Show(MessageKind::Done, "Done");
}

TEST_F(WindowFit, TheConsoleStandsBesideTheAdjustmentWindowWhereThereIsRoom) {
  VirtualConsole* console = program_->Console();
  ASSERT_NE(console, nullptr);
  ExpectOnScreen(*console, "opened");
  if (Screen().width() >= Adjust().frameGeometry().width() + console->frameGeometry().width()) {
    EXPECT_FALSE(console->frameGeometry().intersects(Adjust().frameGeometry()));
  }
}

}  // namespace
}  // namespace vantor::test
