// Every item of both menu modes opens its own first panel.
#include <QTabWidget>

#include "tests/gui/WorkflowSteps.h"

namespace vantor::test {
namespace {

struct Entry {
  int tab;
  const char* menu;
  int index;
  const char* panel;
};

class MenuSweep : public WorkflowTest {
 protected:
  void Open(const Entry& e) {
    Find<QTabWidget>(&Adjust(), "AdjustmentTab")->setCurrentIndex(e.tab);
    Item(e.menu, e.index);
  }
  // Each panel of the list is shown alone when its item is chosen.
  void Sweep(const std::vector<Entry>& entries) {
    for (const Entry& e : entries) {
      Open(e);
      EXPECT_TRUE(Shown(e.panel)) << e.menu << " " << e.index;
      for (const Entry& other : entries) {
        if (std::string(other.panel) != e.panel) {
          EXPECT_FALSE(Shown(other.panel)) << other.panel;
        }
      }
    }
  }
};

TEST_F(MenuSweep, EveryItemOfTheFullMenusOpensItsPanel) {
  Sweep({{0, "AdjustRdoGrp", 0, "DefaultSetPnl"},
         {0, "AdjustRdoGrp", 1, "HeadIDItemsPnl"},
         {0, "AdjustRdoGrp", 2, "CRHeatProtectOffsetPnl"},
         {0, "AdjustRdoGrp", 3, "HdAngItemsPnl"},
         {0, "AdjustRdoGrp", 4, "BidItemsPnl"},
         {0, "AdjustRdoGrp", 5, "PFItemsPnl"},
         {0, "AdjustRdoGrp", 6, "USBIDItemsPnl"},
         {0, "AdjustRdoGrp", 7, "TopMarginMainPnl"},
         {1, "MaintRdoGrp", 0, "CleaningPnl"},
         {1, "MaintRdoGrp", 1, "InkChargePnl"},
         {1, "MaintRdoGrp", 2, "TraStep0Pnl"},
         {1, "MaintRdoGrp", 3, "ProCounterItemsPnl"},
         {1, "MaintRdoGrp", 4, "PageCounterPnl"},
         {1, "MaintRdoGrp", 5, "PrintPassCountPnl"},
         {2, "PatternPrnItemsRdoGrp", 0, "A3PPrintPnl"},
         {3, "AppendixRdoGrp", 0, "EEPROMItemsPnl"}});
}

TEST_F(MenuSweep, EveryItemOfTheErrorStateMenuOpensItsPanel) {
  Printer().RaiseError(sim::kErInkOut);
  Press("GetStatusBtn");
  ASSERT_EQ(Memo(), "Ink out error");
  Sweep({{0, "AdjustRdoGrp", 0, "DefaultSetPnl"},
         {0, "AdjustRdoGrp", 1, "HeadIDItemsPnl"},
         {0, "AdjustRdoGrp", 2, "USBIDItemsPnl"},
         {0, "AdjustRdoGrp", 3, "ProCounterItemsPnl"},
         {0, "AdjustRdoGrp", 4, "EEPROMItemsPnl"}});

  // The EEPROM and identity workflows still work while the printer is in error.
  Open({0, "AdjustRdoGrp", 1, "HeadIDItemsPnl"});
  Choose("HdVolRdoBtn", 1);
  Press("HdVolOKBtn");
  EXPECT_TRUE(Memo().startsWith("Head ID = ")) << Memo().toStdString();
}

}  // namespace
}  // namespace vantor::test
