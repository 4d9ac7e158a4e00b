// "Read from scan..." in the Bi-D and PF input panels: the sheets the virtual printer wrote to
// its page folder, read back into the edit boxes; the technician still presses OK.
#include <QFile>
#include <QImage>
#include <QPainter>
#include <array>
#include <filesystem>

#include "tests/gui/WorkflowSteps.h"
#include "tests/support/TempPath.h"

namespace vantor::test {
namespace {

namespace fs = std::filesystem;

constexpr int kBidItem = 4;
constexpr int kPfItem = 5;

// Panel order: VSD1 black, VSD1 colour, VSD2 ..., ECO colour; EEPROM 0x72.., then 0x70, 0x71.
constexpr std::array<std::uint8_t, 8> kBidAddress = {0x72, 0x73, 0x74, 0x75,
                                                     0x76, 0x77, 0x70, 0x71};
const char* const kEdits[] = {"BidVSD1BkWrtEdit",  "BidVSD1YMCWrtEdit", "BidVSD2BkWrtEdit",
                              "BidVSD2YMCWrtEdit", "BidVSD3BkWrtEdit",  "BidVSD3YMCWrtEdit",
                              "BidECOBkWrtEdit",   "BidECOYMCWrtEdit"};
const char* const kChecks[] = {"BidVSD1BkCheckBox",  "BidVSD1YMCCheckBox", "BidVSD2BkCheckBox",
                               "BidVSD2YMCCheckBox", "BidVSD3BkCheckBox",  "BidVSD3YMCCheckBox",
                               "BidECOBkCheckBox",   "BidECOYMCCheckBox"};

// Stored values in panel order, and how far the printer's true values lie from them.
constexpr std::array<int, 8> kStored = {-3, 12, 1, 2, -5, 5, 7, -8};
constexpr std::array<int, 8> kOff = {3, 0, -2, 1, 0, -3, -1, 2};

// The program as started with --pages: every sheet the virtual printer ejects is written
// there, by the program itself.
class ScanReading : public WorkflowTest {
 protected:
  void Configure(ProgramOptions& options) override { options.pagesDir = pages_.string(); }
  // The page listener stays the program's own, which writes the sheets.
  void SetUp() override {
    GuiTest::SetUp();
    OpenAdjustment();
  }

  QString Page(int number) {
    return QString::fromStdString(
        (pages_ / ("page-00" + std::to_string(number) + ".png")).string());
  }

  // The printer's true Bi-D values off the stored ones by kOff; the stored ones are kStored.
  // The head stands square, so that its tilt adds nothing to the passes' step.
  void MisalignBid() {
    sim::TrueMechanism m = Printer().Mechanism();
    m.squareLever = Printer().HeadAngleLever();
    for (std::size_t i = 0; i < 8; ++i) {
      Printer().SetEeprom(kBidAddress[i], static_cast<std::uint8_t>(kStored[i]));
      m.bid[kBidAddress[i] - 0x70] = static_cast<std::int8_t>(kStored[i] + kOff[i]);
    }
    Printer().SetMechanism(m);
  }

  void PrintBidAndOpenInput() {
    Item("AdjustRdoGrp", kBidItem);
    Press("BidOKBtn");
    ASSERT_EQ(Memo(), "Completion the printing.");
    Choose("BidRdoBtn", 1);
    Press("BidOKBtn");
    ASSERT_TRUE(Shown("BidInputPnl"));
  }

  std::array<QString, 8> BidEdits() {
    std::array<QString, 8> texts;
    for (std::size_t i = 0; i < 8; ++i) texts[i] = EditText(kEdits[i]);
    return texts;
  }

  TempPath pages_{"scan-pages"};
  TempPath other_{"not-a-sheet"};
};

TEST_F(ScanReading, BidScanFillsTheChangedRowsAndOkMakesThePrinterTrue) {
  MisalignBid();
  PrintBidAndOpenInput();
  // In the wrong order, as a file listing may give them.
  dialogs_.images.push_back({Page(2), Page(1)});
  Press("BidReadScanBtn");
  EXPECT_EQ(dialogs_.openedIn.toStdString(), pages_.string());
  const std::array<const char*, 8> want = {"0", "12", "-1", "3", "-5", "2", "6", "-6"};
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(EditText(kEdits[i]).toStdString(), want[i]) << kEdits[i];
    EXPECT_EQ(Checked(kChecks[i]), kOff[i] != 0) << kChecks[i];
  }
  EXPECT_EQ(Memo().toStdString(),
            "The changes read from the scan are in the boxes: VSD1 Black +3, VSD2 Black -2, "
            "VSD2 Color +1, VSD3 Color -3, ECO Black -1, ECO Color +2.\nPress OK to register.");
  EXPECT_EQ(MemoColor(), kBlack);
  // Reading wrote nothing: the technician still decides.
  EXPECT_EQ(Printer().Eeprom(0x72), static_cast<std::uint8_t>(kStored[0]));
  Settle();
  Screenshot(Adjust(), "bid-read-from-scan");

  Press("BidWrtOKBtn");
  const sim::TrueMechanism& truth = Printer().Mechanism();
  for (std::size_t i = 0; i < 8; ++i) {
    if (kOff[i] == 0) continue;
    EXPECT_EQ(static_cast<std::int8_t>(Printer().Eeprom(kBidAddress[i])),
              truth.bid[kBidAddress[i] - 0x70])
        << kEdits[i];
  }
}

// Wiring: each row's note beside its box, and the question before sheets of an earlier print
// are read (Enter and no answer keep the boxes; yes reads them against the printed values).
TEST_F(ScanReading, RowNotesAndTheQuestionForSheetsOfAnEarlierPrint) {
  const char* const notes[] = {"BidVSD1BkScanLbl", "BidVSD1YMCScanLbl"};
  MisalignBid();
  PrintBidAndOpenInput();
  dialogs_.images.push_back({Page(1), Page(2)});
  Press("BidReadScanBtn");
  EXPECT_FALSE(Field(notes[0]).isEmpty());
  EXPECT_TRUE(Field(notes[1]).startsWith("no change")) << Field(notes[1]).toStdString();
  Press("BidWrtOKBtn");
  const auto registered = BidEdits();

  const std::size_t boxes = dialogs_.boxes.size();
  dialogs_.images.push_back({Page(1), Page(2)});
  // The wait line names the reading, not the printer, and is quiet while the question stands.
  QString waitLine;
  bool waitShown = true;
  dialogs_.onQuestion = [&](const QString&) {
    const auto* line = Find<QLabel>(&Adjust(), "WaitLbl");
    waitLine = line->text();
    waitShown = line->isVisible();
  };
  Press("BidReadScanBtn");
  dialogs_.onQuestion = nullptr;
  EXPECT_TRUE(waitLine.startsWith("Reading the sheets: ")) << waitLine.toStdString();
  EXPECT_FALSE(waitShown);
  ASSERT_EQ(dialogs_.boxes.size(), boxes + 1);
  EXPECT_TRUE(dialogs_.boxes.back().question);
  EXPECT_EQ(dialogs_.boxes.back().enter, DialogService::Enter::Cancel);
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_EQ(BidEdits(), registered);

  dialogs_.answers.push_back(true);
  dialogs_.images.push_back({Page(1), Page(2)});
  Press("BidReadScanBtn");
  EXPECT_EQ(BidEdits(), registered);
}

TEST_F(ScanReading, BidRowsNotOnTheGivenPageAreLeftAndNamedInRed) {
  MisalignBid();
  PrintBidAndOpenInput();
  // The change is added to what the box shows, here a value typed before reading.
  Type("BidVSD2YMCWrtEdit", "6");
  dialogs_.images.push_back({Page(1)});
  Press("BidReadScanBtn");
  const std::array<const char*, 8> want = {"0", "12", "-1", "7", "-5", "5", "7", "-8"};
  for (std::size_t i = 0; i < 8; ++i)
    EXPECT_EQ(EditText(kEdits[i]).toStdString(), want[i]) << kEdits[i];
  EXPECT_EQ(Memo().toStdString(),
            "The changes read from the scan are in the boxes: VSD1 Black +3, VSD2 Black -2, "
            "VSD2 Color +1.\nNot found on these pages, left as they were: VSD3 Black, VSD3 Color, "
            "ECO Black, ECO Color.\nPress OK to register.");
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_TRUE(Adjust().isEnabled());
}

// A cancelled dialog, a file that is no image and an image that is no sheet: the boxes stay.
TEST_F(ScanReading, WhatIsNoBidSheetLeavesTheBoxesAndSaysWhyInRed) {
  Item("AdjustRdoGrp", kBidItem);
  Choose("BidRdoBtn", 1);
  Press("BidOKBtn");
  const auto before = BidEdits();

  Press("BidReadScanBtn");
  EXPECT_EQ(dialogs_.imageRequests, 1);
  EXPECT_EQ(Memo(), "");

  fs::create_directories(other_.path());
  const QString text = QString::fromStdString((other_ / "notes.png").string());
  QFile file(text);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("not an image");
  file.close();
  dialogs_.images.push_back({text});
  Press("BidReadScanBtn");
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_FALSE(Memo().isEmpty());
  EXPECT_EQ(BidEdits(), before);

  // Squares of a chessboard at 150 dpi.
  QImage board(1240, 1754, QImage::Format_RGB888);
  board.fill(Qt::white);
  QPainter painter(&board);
  for (int y = 0; y < board.height(); y += 60) {
    for (int x = (y / 60) % 2 * 60; x < board.width(); x += 120)
      painter.fillRect(x, y, 60, 60, Qt::black);
  }
  painter.end();
  const QString boardFile = QString::fromStdString((other_ / "board.png").string());
  ASSERT_TRUE(board.save(boardFile));
  dialogs_.images.push_back({boardFile});
  Press("BidReadScanBtn");
  EXPECT_TRUE(Memo().startsWith("Cannot read the sheets: ")) << Memo().toStdString();
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_EQ(BidEdits(), before);
  for (const char* box : kChecks) EXPECT_FALSE(Checked(box)) << box;
  EXPECT_TRUE(Adjust().isEnabled());
}

TEST_F(ScanReading, PfScanFillsTheValueWhereTheBarsMeet) {
  Printer().SetEeprom(0x7D, 0xFF);  // -1 stored
  sim::TrueMechanism m = Printer().Mechanism();
  m.pf = 2;
  Printer().SetMechanism(m);
  Item("AdjustRdoGrp", kPfItem);
  Press("PFOKBtn");
  ASSERT_EQ(Memo(), "Completion the printing.");
  Choose("PFRdoGrp", 1);
  Press("PFOKBtn");
  ASSERT_TRUE(Shown("PFAdjustPnl"));
  ASSERT_EQ(EditText("PFEdit"), "-1");

  // A chessboard first: refused, the box stays.
  QImage board(1240, 1754, QImage::Format_Grayscale8);
  board.fill(250);
  QPainter painter(&board);
  for (int y = 0; y < board.height(); y += 60) {
    for (int x = (y / 60) % 2 * 60; x < board.width(); x += 120)
      painter.fillRect(x, y, 60, 60, Qt::black);
  }
  painter.end();
  fs::create_directories(other_.path());
  const QString boardFile = QString::fromStdString((other_ / "board.png").string());
  ASSERT_TRUE(board.save(boardFile));
  dialogs_.images.push_back({boardFile});
  Press("PFReadScanBtn");
  EXPECT_TRUE(Memo().startsWith("Cannot read the sheet: ")) << Memo().toStdString();
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_EQ(EditText("PFEdit"), "-1");

  dialogs_.images.push_back({Page(1)});
  Press("PFReadScanBtn");
  EXPECT_EQ(dialogs_.openedIn.toStdString(), pages_.string());
  EXPECT_EQ(EditText("PFEdit"), "2");
  EXPECT_EQ(Memo(), "The value read from the scan is in the box: 2. Press OK to register.");
  EXPECT_EQ(MemoColor(), kBlack);
  EXPECT_EQ(Printer().Eeprom(0x7D), 0xFF);
  Settle();
  Screenshot(Adjust(), "pf-read-from-scan");

  EXPECT_FALSE(Field("PFScanLbl").isEmpty());
  Press("PFWriteOKBtn");
  EXPECT_EQ(Printer().Eeprom(0x7D), 2);

  // Registered since the print: the same sheet is asked about, and Cancel keeps the box.
  const QString before = EditText("PFEdit");
  dialogs_.images.push_back({Page(1)});
  const std::size_t boxes = dialogs_.boxes.size();
  Press("PFReadScanBtn");
  ASSERT_EQ(dialogs_.boxes.size(), boxes + 1);
  EXPECT_TRUE(dialogs_.boxes.back().question);
  EXPECT_EQ(EditText("PFEdit"), before);
}

}  // namespace
}  // namespace vantor::test
