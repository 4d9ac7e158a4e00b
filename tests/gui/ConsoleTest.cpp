// The virtual printer's console as a technician uses it: it keeps its width, comes back after
// being closed, and its page viewer fits, zooms and carries a millimetre ruler.
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QMenu>
#include <QWheelEvent>

#include "app/PageViewer.h"
#include "app/VirtualConsole.h"
#include "tests/gui/WorkflowSteps.h"

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

  QTest::keyClick(viewer, Qt::Key_Plus);
  EXPECT_NEAR(viewer->Scale(), fitted * 1.25, 1e-9);
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

// 360 dots per inch: a millimetre is 14.17 dots, so the ticks stand at 14, 28, ... 142 (10 mm);
// 1 mm ticks are 1.5 mm (21 dots) long, 10 mm ticks 4 mm (56 dots).
TEST(MillimetreRuler, TicksStandAtMillimetresAlongTheTopEdge) {
  QImage sheet(sim::kA4Width, 400, QImage::Format_RGB888);
  sheet.fill(Qt::white);
  const QImage ruled = WithMillimetreRuler(sheet);
  auto inked = [&](int x, int y) { return ruled.pixelColor(x, y) != QColor(Qt::white); };
  EXPECT_TRUE(inked(14, 5));
  EXPECT_FALSE(inked(14, 30));
  EXPECT_FALSE(inked(21, 5));
  EXPECT_TRUE(inked(142, 50));
  EXPECT_TRUE(inked(71, 30));  // 5 mm: 2.5 mm long
  EXPECT_FALSE(inked(71, 40));
  EXPECT_EQ(ruled.size(), sheet.size());
}

}  // namespace
}  // namespace vantor::test
