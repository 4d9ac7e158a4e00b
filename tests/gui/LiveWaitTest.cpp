// The program on the system clock: waits run the event loop, so the windows repaint and the
// console follows the printer, while no click starts other printer work.
#include <QApplication>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "app/EventLoopClock.h"
#include "app/VirtualConsole.h"
#include "tests/gui/WorkflowSteps.h"

namespace vantor::test {
namespace {

class LiveWaits : public WorkflowTest {
 protected:
  Clock& ProgramClock() override { return live_; }
  void SetUp() override {
    WorkflowTest::SetUp();
    // A cleaning of about a minute lasts about a second.
    Printer().SetTimeScale(0.02);
    live_.LetThrough(program_->Console());
    program_->Console()->show();
    Find<QTabWidget>(&Adjust(), "AdjustmentTab")->setCurrentIndex(1);
  }

  EventLoopClock live_;
};

// Counts paint events of a window and everything in it.
class PaintCounter final : public QObject {
 public:
  explicit PaintCounter(QWidget& window) : window_(window) { qApp->installEventFilter(this); }
  ~PaintCounter() override { qApp->removeEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && watched->isWidgetType()) {
      auto* w = static_cast<QWidget*>(watched);
      if (w->window() == &window_) ++paints;
    }
    return false;
  }

 private:
  QWidget& window_;
};

TEST_F(LiveWaits, CleaningRepaintsFollowsThePrinterAndTakesNoSecondWork) {
  Item("MaintRdoGrp", 0);
  ASSERT_TRUE(Shown("CleaningPnl"));
  // The printer is already cleaning, so the program first waits with its window still enabled.
  Printer().PressInkSwitch();

  auto* consoleStatus = Find<QLabel>(program_->Console(), "ConsoleStatusLbl");
  auto* waitLbl = Find<QLabel>(&Adjust(), "WaitLbl");
  QStringList states;
  QStringList waitTexts;
  int clicksWhileEnabled = 0;
  PaintCounter counter(Adjust());
  QTimer technician;
  technician.setInterval(100);
  QObject::connect(&technician, &QTimer::timeout, [&] {
    if (!live_.Waiting()) return;
    if (states.isEmpty() || states.last() != consoleStatus->text()) {
      states.append(consoleStatus->text());
    }
    if (waitLbl->isVisible()) waitTexts.append(waitLbl->text());
    if (Adjust().isEnabled()) ++clicksWhileEnabled;
    // Another workflow, the Status button, Esc (Quit) and the close box.
    QTest::mouseClick(Find<RadioGroup>(&Adjust(), "MaintRdoGrp")->Button(1), Qt::LeftButton);
    QTest::mouseClick(Find<QPushButton>(&Adjust(), "GetStatusBtn"), Qt::LeftButton);
    QTest::keyClick(&Adjust(), Qt::Key_Escape);
    Adjust().close();
  });
  technician.start();
  Press("CleaningOKBtn");
  technician.stop();

  EXPECT_EQ(Memo(), "Head cleaning is completed.");
  EXPECT_TRUE(Adjust().isVisible());
  EXPECT_TRUE(Shown("CleaningPnl"));
  EXPECT_GT(clicksWhileEnabled, 0) << "the clicks never met an enabled window";
  EXPECT_GT(counter.paints, 0);
  // Cleaning while the program waits; ready once the printer is (the console refreshes on its
  // own timer, so on a busy machine its last change may land just after the program's poll).
  ASSERT_GE(states.size(), 1);
  EXPECT_EQ(states.first(), "07  cleaning");
  QTRY_COMPARE_WITH_TIMEOUT(consoleStatus->text(), QString("04  ready"), 3000);
  EXPECT_FALSE(waitTexts.isEmpty());
  for (const QString& t : waitTexts) {
    EXPECT_TRUE(t.startsWith("Waiting for the printer: ") && t.endsWith(" s")) << t.toStdString();
  }
  EXPECT_FALSE(waitLbl->isVisible());
}

}  // namespace
}  // namespace vantor::test
