#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTableWidget>

#include "adjust/procedures/EepromImage.h"
#include "adjust/procedures/InputFaults.h"
#include "tests/gui/WorkflowSteps.h"
#include "tests/support/TempPath.h"

namespace vantor::test {
namespace {

class EepromPanels : public WorkflowTest {
 protected:
  void OpenEepromData(int item) {
    Find<QTabWidget>(&Adjust(), "AdjustmentTab")->setCurrentIndex(3);
    Item("AppendixRdoGrp", 0);
    ASSERT_TRUE(Shown("EEPROMItemsPnl"));
    Choose("EepromCheckRdoGrp", item);
    Press("EepromItemsOKBtn");
  }
  QTableWidget* Grid() { return Find<QTableWidget>(&Adjust(), "EepromStrGrid"); }
  QString Cell(int row, int column) { return Grid()->item(row, column)->text(); }
  bool MemoShown() { return Find<QWidget>(&Adjust(), "StatusMemo")->isVisible(); }
  QWidget* Focused() { return Adjust().focusWidget(); }
};

TEST_F(EepromPanels, RangeFillsItsCellsAndNoOthers) {
  Printer().SetEeprom(0x7E, 0xAB);
  Printer().SetEeprom(0x7F, 0x0C);
  Printer().SetEeprom(0x80, 0x5D);
  Printer().SetEeprom(0x81, 0xFF);
  OpenEepromData(0);
  ASSERT_TRUE(Shown("EEPROMCheckPnl"));
  EXPECT_EQ(Focused(), Find<QLineEdit>(&Adjust(), "EepReadBegEdit"));
  Type("EepReadBegEdit", "7e");
  Type("EepReadEndEdit", "81");
  EXPECT_EQ(EditText("EepReadBegEdit"), "7E");
  Screenshot(Adjust(), "eeprom-check");
  Press("EepromReadOkBtn");
  ASSERT_TRUE(Shown("EEPROMGridPnl"));
  EXPECT_FALSE(MemoShown());
  Screenshot(Adjust(), "eeprom-grid");

  // Headings: the low digit across row 0, the high digit down column 0.
  EXPECT_EQ(Cell(0, 1), "0");
  EXPECT_EQ(Cell(0, 16), "F");
  EXPECT_EQ(Cell(8, 0), "7");
  EXPECT_EQ(Cell(16, 0), "F");
  EXPECT_EQ(Cell(8, 15), "AB");
  EXPECT_EQ(Cell(8, 16), "0C");
  EXPECT_EQ(Cell(9, 1), "5D");
  EXPECT_EQ(Cell(9, 2), "FF");
  int filled = 0;
  for (int r = 1; r <= 16; ++r)
    for (int c = 1; c <= 16; ++c) filled += Cell(r, c).isEmpty() ? 0 : 1;
  EXPECT_EQ(filled, 4);

  Press("EepromGridRtnBtn");
  ASSERT_TRUE(Shown("EEPROMCheckPnl"));
  EXPECT_TRUE(MemoShown());
  EXPECT_EQ(EditText("EepReadBegEdit"), "");
  EXPECT_EQ(EditText("EepReadEndEdit"), "");

  // A second, smaller range leaves nothing of the first.
  Type("EepReadBegEdit", "00");
  Type("EepReadEndEdit", "00");
  Press("EepromReadOkBtn");
  EXPECT_EQ(Cell(8, 15), "");
  EXPECT_FALSE(Cell(1, 1).isEmpty());
}

TEST_F(EepromPanels, FaultyRangesAreRefusedWithTheFocusOnTheFaultyEdit) {
  OpenEepromData(0);
  const struct {
    const char* start;
    const char* end;
    const char* focus;
  } faults[] = {
      {"F0", "0F", "EepReadEndEdit"},  // end below start
      {"5", "10", "EepReadBegEdit"},   // one character
      {"10", "5", "EepReadEndEdit"},  {"G0", "10", "EepReadBegEdit"},
      {"10", "1G", "EepReadEndEdit"},
  };
  for (const auto& f : faults) {
    Type("EepReadBegEdit", f.start);
    Type("EepReadEndEdit", f.end);
    Press("EepromReadOkBtn");
    EXPECT_EQ(Memo(), Refused(procedures::EepromRangeFault(f.start, f.end)))
        << f.start << "-" << f.end;
    EXPECT_EQ(MemoColor(), kRed);
    EXPECT_TRUE(Shown("EEPROMCheckPnl"));
    EXPECT_EQ(Focused(), Find<QLineEdit>(&Adjust(), f.focus)) << f.start << "-" << f.end;
  }
}

// Right click on the table: the rows read as text, and all 256 bytes as a backup image.
TEST_F(EepromPanels, TableIsCopiedAsTextAndSavedAsABackupImage) {
  Printer().SetEeprom(0x7F, 0x0C);
  OpenEepromData(0);
  Type("EepReadBegEdit", "7E");
  Type("EepReadEndEdit", "7F");
  Press("EepromReadOkBtn");
  auto* copy = Find<QAction>(Grid(), "EepromCopyAct");
  auto* save = Find<QAction>(Grid(), "EepromSaveAct");
  EXPECT_EQ(Grid()->contextMenuPolicy(), Qt::ActionsContextMenu);
  // Part of the EEPROM cannot make a backup image.
  EXPECT_FALSE(save->isEnabled());
  copy->trigger();
  const QStringList lines = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 2);  // the heading, and the one row read
  EXPECT_TRUE(lines[1].startsWith("70:")) << lines[1].toStdString();
  EXPECT_TRUE(lines[1].endsWith(" " + Cell(8, 15) + " 0C")) << lines[1].toStdString();

  Press("EepromGridRtnBtn");
  Type("EepReadBegEdit", "00");
  Type("EepReadEndEdit", "FF");
  Press("EepromReadOkBtn");
  ASSERT_TRUE(save->isEnabled());
  const TempPath file("backup.json");
  dialogs_.saveFiles.push_back(QString::fromStdString(file.string()));
  save->trigger();
  procedures::EepromImage image;
  std::string why;
  ASSERT_TRUE(procedures::LoadImage(file.string(), image, why)) << why;
  EXPECT_EQ(image.bytes, Printer().EepromImage());
  EXPECT_EQ(image.model, Model::Q40);
}

TEST_F(EepromPanels, FailedReadReturnsToTheRangePanel) {
  OpenEepromData(0);
  Type("EepReadBegEdit", "00");
  Type("EepReadEndEdit", "FF");
  Printer().GetFaults().errorReply = sim::Faults::ErrorReply{0x02, sim::kErrChannelClosed};
  Press("EepromReadOkBtn");
  EXPECT_TRUE(Shown("EEPROMCheckPnl"));
  EXPECT_FALSE(Shown("EEPROMGridPnl"));
  EXPECT_TRUE(MemoShown());
  EXPECT_EQ(Memo(), "Communication error.");
  EXPECT_FALSE(HourglassShown());
  // The technician's range stays for the next try.
  EXPECT_EQ(EditText("EepReadBegEdit"), "00");
  EXPECT_EQ(EditText("EepReadEndEdit"), "FF");
}

TEST_F(EepromPanels, ChangesOneByte) {
  OpenEepromData(1);
  ASSERT_TRUE(Shown("EEPROMChangePnl"));
  EXPECT_EQ(Focused(), Find<QLineEdit>(&Adjust(), "EepWriteAddEdit"));
  const auto before = Printer().EepromImage();
  Type("EepWriteAddEdit", "5d");
  Type("EepWriteDataEdit", "0e");
  Screenshot(Adjust(), "eeprom-change");
  Press("EepromWriteOkBtn");
  EXPECT_EQ(Memo(), "Address = 5D\nData = 0E");
  EXPECT_EQ(MemoColor(), kBlack);
  auto expected = before;
  expected[0x5D] = 0x0E;
  EXPECT_EQ(Printer().EepromImage(), expected);

  for (auto [address, data] : {std::pair{"5", "0E"}, {"5D", "E"}, {"X1", "00"}, {"10", "0Z"}}) {
    Type("EepWriteAddEdit", address);
    Type("EepWriteDataEdit", data);
    Press("EepromWriteOkBtn");
    EXPECT_EQ(Memo(), Refused(procedures::EepromChangeFault(address, data)))
        << address << " " << data;
    EXPECT_EQ(Focused(), Find<QLineEdit>(&Adjust(), "EepWriteAddEdit"));
  }
  EXPECT_EQ(Printer().EepromImage(), expected);

  Press("EepromWriteRtnBtn");
  EXPECT_TRUE(Shown("EEPROMItemsPnl"));
}

TEST_F(EepromPanels, CheckPatternPrintsFourPages) {
  Find<QTabWidget>(&Adjust(), "AdjustmentTab")->setCurrentIndex(2);
  Item("PatternPrnItemsRdoGrp", 0);
  ASSERT_TRUE(Shown("A3PPrintPnl"));
  Screenshot(Adjust(), "a4-check-pattern");
  const auto pagesBefore = Printer().State().pagesPrinted;
  Press("A3PPrintOKBtn");
  EXPECT_EQ(Memo(), "Completion the printing.");
  EXPECT_EQ(Printer().State().pagesPrinted - pagesBefore, 4u);
}

}  // namespace
}  // namespace vantor::test
