// The virtual printer's console as a technician uses it: it keeps its width, comes back after
// being closed, and its page viewer fits, zooms and carries a millimetre ruler.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSpinBox>
#include <QWheelEvent>

#include "app/PageViewer.h"
#include "app/VirtualConsole.h"
#include "tests/gui/WorkflowSteps.h"
#include "tests/support/TempPath.h"

namespace vantor::test {
namespace {

class Console : public WorkflowTest {
 protected:
  VirtualConsole& Window() { return *program_->Console(); }
};

TEST_F(Console, KeepsItsWidthAndComesBackAfterBeingClosed) {
  Window().show();
  const int width = Window().width();
  // The longest link line wraps instead of widening the window.
  Window().Refresh();
  QApplication::processEvents();
  EXPECT_EQ(Window().width(), width);
  EXPECT_EQ(Window().minimumWidth(), Window().maximumWidth());

  Window().close();
  ASSERT_FALSE(Window().isVisible());
  auto* popup = Boot().findChild<QMenu*>("PopupMenu1");
  ASSERT_NE(popup, nullptr);
  QAction* open = popup->findChild<QAction*>("ConsoleMenuItem");
  ASSERT_NE(open, nullptr);
  // Beside "Version" in the start window's menu.
  EXPECT_EQ(popup->actions().indexOf(open), 1);
  open->trigger();
  EXPECT_TRUE(Window().isVisible());

  Window().close();
  QApplication::setActiveWindow(&Adjust());
  QTest::keyClick(&Adjust(), Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_TRUE(Window().isVisible());
}

TEST_F(Console, NewestPageIsInViewAndOpensFittedThenZooms) {
  QImage sheet(sim::kA4Width, sim::kA4Length, QImage::Format_RGB888);
  sheet.fill(Qt::white);
  Window().AddPage(sheet);
  Window().AddPage(sheet);
  auto* list = Find<QListWidget>(&Window(), "PagesList");
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->currentRow(), 1);

  emit list->itemActivated(list->item(1));
  auto* dialog = Window().findChild<QDialog*>("PageViewDlg");
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), "Page 2");
  QApplication::processEvents();
  auto* viewer = Find<PageViewer>(dialog, "PageViewer");
  EXPECT_TRUE(viewer->Fitted());
  // The whole sheet fits: well under one screen pixel per page dot.
  const double fitted = viewer->Scale();
  EXPECT_LT(fitted, 0.3);

  auto* zoom = Find<QLabel>(dialog, "ZoomLbl");
  const QString fittedZoom = zoom->text();
  EXPECT_FALSE(fittedZoom.isEmpty());
  // The keys stay with the viewer: nothing else in the window takes the focus.
  for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
    EXPECT_EQ(b->focusPolicy(), Qt::NoFocus) << b->objectName().toStdString();
  QTest::keyClick(viewer, Qt::Key_Plus);
  EXPECT_NEAR(viewer->Scale(), fitted * 1.25, 1e-9);
  EXPECT_NE(zoom->text(), fittedZoom);
  EXPECT_FALSE(viewer->Fitted());
  QTest::keyClick(viewer, Qt::Key_1);
  EXPECT_EQ(viewer->Scale(), 1.0);
  QWheelEvent down(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, -120), Qt::NoButton,
                   Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(viewer->viewport(), &down);
  EXPECT_NEAR(viewer->Scale(), 0.8, 1e-9);
  QTest::keyClick(viewer, Qt::Key_0);
  EXPECT_TRUE(viewer->Fitted());
  EXPECT_NEAR(viewer->Scale(), fitted, 1e-9);
  dialog->close();
}

// A sheet is kept compressed, not as its pixels, and opens again as printed.
TEST_F(Console, PagesAreKeptSmallLabelledAndOpenAsPrinted) {
  QImage sheet(sim::kA4Width, sim::kA4Length, QImage::Format_RGB888);
  sheet.fill(Qt::white);
  sheet.setPixelColor(100, 200, Qt::black);
  Window().AddPage(sheet);
  EXPECT_LT(Window().KeptBytes(), 1'000'000);
  const QImage back = Window().PageImage(0).convertToFormat(QImage::Format_RGB888);
  EXPECT_EQ(back, sheet);
  auto* item = Find<QListWidget>(&Window(), "PagesList")->item(0);
  EXPECT_TRUE(item->text().startsWith("Page 1\n")) << item->text().toStdString();

  // A page the session wrote to a file is read back from there.
  const TempPath file("page.png");
  ASSERT_TRUE(sheet.save(QString::fromStdString(file.string())));
  Window().AddPage(sheet, QString::fromStdString(file.string()));
  EXPECT_EQ(Window().PageImage(1).convertToFormat(QImage::Format_RGB888), sheet);
}

TEST_F(Console, LeverFaultsAndCableReachThePrinter) {
  auto* lever = Find<QLabel>(&Window(), "LeverLbl");
  const QString before = lever->text();
  Find<QSpinBox>(&Window(), "LeverSpin")->setValue(2);
  Click(&Window(), "LeverBtn");
  EXPECT_EQ(Printer().State().headAngleLever, 2);
  EXPECT_NE(lever->text(), before);

  auto* faults = Find<QComboBox>(&Window(), "FaultCombo");
  faults->setCurrentIndex(faults->findData(QString("busy,count=3")));
  Click(&Window(), "SetFaultBtn");
  EXPECT_EQ(Printer().GetFaults().busyAnswers, 3);
  Click(&Window(), "ClearFaultsBtn");
  EXPECT_EQ(Printer().GetFaults().busyAnswers, 0);

  // Unplugged, the Status button finds no printer; plugged in, it does again.
  Click(&Window(), "CableBtn");
  PressStatus();
  EXPECT_EQ(MemoColor(), kRed);
  Click(&Window(), "CableBtn");
  Settle();
  PressStatus();
  EXPECT_EQ(Memo(), "Ready to print.");
}

// 360 dots per inch: a millimetre is 14.17 dots, so the ticks stand at 14, 28, ... 142 (10 mm)
// from the sheet's edge; 1 mm ticks are 1.5 mm (21 dots) long, 10 mm ticks 4 mm (56 dots). They
// stand in a band of 113 dots above and to the left of the sheet, which stays as printed.
TEST(MillimetreRuler, ScalesRunTheWholeEdgesOutsideTheSheet) {
  QImage sheet(sim::kA4Width, sim::kA4Length, QImage::Format_RGB888);
  sheet.fill(Qt::white);
  sheet.setPixelColor(0, 0, Qt::black);
  const QImage ruled = WithMillimetreRuler(sheet);
  const int m = kRulerMargin;
  ASSERT_EQ(ruled.size(), sheet.size() + QSize(m, m));
  EXPECT_EQ(ruled.copy(m, m, sheet.width(), sheet.height()).convertToFormat(QImage::Format_RGB888),
            sheet);
  const QColor band = ruled.pixelColor(m / 2, m / 2);
  auto inked = [&](int x, int y) { return ruled.pixelColor(x, y) != band; };
  const struct {
    int x, y;
    bool ink;
  } top[] = {
      {m + 14, m - 5, true},                                  // 1 mm tick
      {m + 14, m - 30, false},                                // 1.5 mm long only
      {m + 21, m - 5, false},                                 // between ticks
      {m + 142, m - 50, true},                                // 10 mm: 4 mm long
      {m + 71, m - 30, true},                                 // 5 mm: 2.5 mm long
      {m + 71, m - 40, false}, {m + 2976 - 14, m - 5, true},  // 209 mm, at the far edge
  };
  for (const auto& t : top) EXPECT_EQ(inked(t.x, t.y), t.ink) << t.x << "," << t.y;
  // Down the left edge, as far as the sheet goes (296 mm at 4195 dots).
  EXPECT_TRUE(inked(m - 5, m + 14));
  EXPECT_TRUE(inked(m - 5, m + 4195));
  EXPECT_FALSE(inked(m - 5, m + 21));
}

}  // namespace
}  // namespace vantor::test
