// The keyboard in the work area: Esc with a list open, Enter in an edit, Tab through a panel.
#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QWindow>
#include <algorithm>
#include <functional>

#include "tests/gui/WorkflowSteps.h"

namespace vantor::test {
namespace {

class PanelKeys : public WorkflowTest {
 protected:
  void SetUp() override {
    WorkflowTest::SetUp();
    Adjust().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Adjust()));
  }

  // The focusable widgets of a shown panel, top to bottom and left to right: widgets whose
  // heights overlap read as one line.
  std::vector<QWidget*> ReadingOrder(QWidget* panel) {
    struct Place {
      QWidget* w;
      QRect r;
    };
    std::vector<Place> places;
    for (QWidget* w : panel->findChildren<QWidget*>()) {
      if ((w->focusPolicy() & Qt::TabFocus) && w->focusProxy() == nullptr && w->isVisible() &&
          w->isEnabled()) {
        places.push_back({w, QRect(w->mapTo(panel, QPoint(0, 0)), w->size())});
      }
    }
    std::sort(places.begin(), places.end(),
              [](const Place& a, const Place& b) { return a.r.top() < b.r.top(); });
    std::vector<std::vector<Place>> lines;
    int bottom = -1;
    for (const Place& p : places) {
      if (lines.empty() || p.r.top() > bottom) lines.emplace_back();
      lines.back().push_back(p);
      bottom = std::max(bottom, p.r.bottom());
    }
    std::vector<QWidget*> order;
    for (auto& line : lines) {
      std::stable_sort(line.begin(), line.end(),
                       [](const Place& a, const Place& b) { return a.r.left() < b.r.left(); });
      for (const Place& p : line) order.push_back(p.w);
    }
    return order;
  }

  static QStringList Names(const std::vector<QWidget*>& widgets) {
    QStringList names;
    for (QWidget* w : widgets) names.append(w->objectName());
    return names;
  }
};

// --- Esc ---

TEST_F(PanelKeys, EscapeWithAListOpenClosesTheListOnly) {
  Printer().SetEeprom(0x5D, 28);
  Item("AdjustRdoGrp", 7);
  Choose("TopMarginRdoGrp", 1);
  Press("TopMarginMainBtn");
  ASSERT_TRUE(Shown("TopMarginPnl"));
  Settle();
  auto* combo = Find<QComboBox>(&Adjust(), "TopMarginInputCombo");
  ASSERT_GT(combo->count(), 0);
  combo->setFocus();
  combo->showPopup();
  ASSERT_NE(QApplication::activePopupWidget(), nullptr);

  // As the platform delivers it: to the window that has the focus.
  QTest::keyClick(Adjust().windowHandle(), Qt::Key_Escape);
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_TRUE(Adjust().isVisible());
  EXPECT_FALSE(Quit().isVisible());
  EXPECT_TRUE(GetLink().port.IsOpen());
  EXPECT_TRUE(Printer().State().packetMode);
  EXPECT_TRUE(Shown("TopMarginPnl"));

  // With the list closed, Esc is "Quit" again. The offscreen platform leaves the keyboard with
  // the closed list's window; a desktop gives it back to the window at once.
  Adjust().windowHandle()->requestActivate();
  ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == &Adjust(); }));
  QTest::keyClick(Adjust().windowHandle(), Qt::Key_Escape);
  EXPECT_FALSE(Adjust().isVisible());
  EXPECT_TRUE(Quit().isVisible());
}

// --- Enter and Tab in the input panels ---

struct InputPanel {
  const char* panel;
  std::function<void()> open;
  const char* menu;
  int menuIndex;
  const char* ok;
  std::vector<const char*> edits;
};

// The steps that lead to each panel with something to type in.
class InputPanels : public PanelKeys {
 protected:
  std::vector<InputPanel> Panels() {
    auto through = [this](int tab, const char* menu, int index, const char* items, int choice,
                          const char* ok) {
      return [=, this] {
        Find<QTabWidget>(&Adjust(), "AdjustmentTab")->setCurrentIndex(tab);
        Item(menu, index);
        Choose(items, choice);
        Press(ok);
        Settle();
      };
    };
    return {
        {"HeadIDInputPnl",
         through(0, "AdjustRdoGrp", 1, "HdVolRdoBtn", 0, "HdVolOKBtn"),
         "AdjustRdoGrp",
         1,
         "HeadIDInputOKBtn",
         {"LeftHeadIDInputEdit"}},
        {"USBIDInputPnl",
         through(0, "AdjustRdoGrp", 6, "USBIDRdoGrp", 0, "UsbIdOKBtn"),
         "AdjustRdoGrp",
         6,
         "UsbIdInputOKBtn",
         {"OriginalUsbIdInputEdit", "UsbIdInputEdit"}},
        {"PFAdjustPnl",
         through(0, "AdjustRdoGrp", 5, "PFRdoGrp", 1, "PFOKBtn"),
         "AdjustRdoGrp",
         5,
         "PFWriteOKBtn",
         {"PFEdit"}},
        {"BidInputPnl",
         through(0, "AdjustRdoGrp", 4, "BidRdoBtn", 1, "BidOKBtn"),
         "AdjustRdoGrp",
         4,
         "BidWrtOKBtn",
         {"BidVSD1BkWrtEdit", "BidECOYMCWrtEdit"}},
        {"EEPROMCheckPnl",
         through(3, "AppendixRdoGrp", 0, "EepromCheckRdoGrp", 0, "EepromItemsOKBtn"),
         "AppendixRdoGrp",
         0,
         "EepromReadOkBtn",
         {"EepReadBegEdit", "EepReadEndEdit"}},
        {"EEPROMChangePnl",
         through(3, "AppendixRdoGrp", 0, "EepromCheckRdoGrp", 1, "EepromItemsOKBtn"),
         "AppendixRdoGrp",
         0,
         "EepromWriteOkBtn",
         {"EepWriteAddEdit", "EepWriteDataEdit"}},
    };
  }
};

// Each edit's Enter is the OK: a value out of range, so the OK answers with its words in red.
// Return and the keypad's Enter alike.
TEST_F(InputPanels, EnterInAnEditPressesThePanelsOk) {
  int n = 0;
  for (const InputPanel& p : Panels()) {
    for (const char* edit : p.edits) {
      SCOPED_TRACE(edit);
      p.open();
      ASSERT_TRUE(Shown(p.panel));
      auto* ok = Find<QPushButton>(&Adjust(), p.ok);
      QSignalSpy pressed(ok, &QPushButton::clicked);
      Type(edit, "ZZ9");
      auto* e = Find<QLineEdit>(&Adjust(), edit);
      e->setFocus();
      QTest::keyClick(e, n++ % 2 == 0 ? Qt::Key_Return : Qt::Key_Enter);
      EXPECT_EQ(pressed.count(), 1);
      EXPECT_EQ(MemoColor(), kRed) << Memo().toStdString();
    }
  }
}

// From the chosen menu item, Tab enters the panel at its first widget and walks it as it reads.
TEST_F(InputPanels, TabRunsFromTheMenuThroughThePanelInReadingOrder) {
  for (const InputPanel& p : Panels()) {
    SCOPED_TRACE(p.panel);
    p.open();
    auto* panel = Find<QWidget>(&Adjust(), p.panel);
    ASSERT_TRUE(panel->isVisible());
    const std::vector<QWidget*> expected = ReadingOrder(panel);
    ASSERT_FALSE(expected.empty());

    QRadioButton* item = Find<RadioGroup>(&Adjust(), p.menu)->Button(p.menuIndex);
    item->setFocus();
    ASSERT_TRUE(item->hasFocus());
    std::vector<QWidget*> visited;
    for (std::size_t i = 0; i <= expected.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QWidget* now = QApplication::focusWidget();
      if (now == nullptr || !panel->isAncestorOf(now)) break;
      visited.push_back(now);
    }
    EXPECT_EQ(Names(visited).join(" ").toStdString(), Names(expected).join(" ").toStdString());
  }
}

}  // namespace
}  // namespace vantor::test
