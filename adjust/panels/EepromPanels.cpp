#include "adjust/panels/EepromPanels.h"

#include <QAction>
#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "adjust/panels/DialogService.h"
#include "adjust/panels/PanelParts.h"
#include "adjust/panels/RadioGroup.h"
#include "adjust/panels/UpperCaseEdit.h"
#include "adjust/procedures/BackupFile.h"
#include "adjust/procedures/CheckPatternProcedure.h"
#include "adjust/procedures/EepromImage.h"
#include "adjust/procedures/InputFaults.h"
#include "adjust/procedures/Procedures.h"
#include "link/Hex.h"

namespace vantor {

namespace {
namespace text {
constexpr const char* kEepromTitle = "EEPROM data ";
constexpr const char* kItems = "Items";
constexpr const char* kCheckData = "Check the EEPROM data";
constexpr const char* kChangeData = "Change the EEPROM data";
constexpr const char* kCheckTitle = "Check the EEPROM data ";
constexpr const char* kEnterRange = "Enter the reading start address and the end address.";
constexpr const char* kStart = "(Start)";
constexpr const char* kTilde = "~";
constexpr const char* kEnd = "(End)";
constexpr const char* kLow = "Low";
constexpr const char* kHigh = "High";
constexpr const char* kChangeTitle = "Change the EEPROM data ";
constexpr const char* kEnterDataAndAddress = "Enter a data and address.";
constexpr const char* kAddress = "Address";
constexpr const char* kData = "Data";
constexpr const char* kByteRange = "(00~FF)";
constexpr const char* kA4Title = "A4 normal paper printing ";
constexpr const char* kA4Contents[] = {"1. Beta pattern(BK-Y-M-C)",
                                       "2. Nozzle check pattern(BK-Y-M-C)",
                                       "3. Alignment pattern(BK-Y-M-C)",
                                       "4. Nozzle column shift(BK-M)",
                                       "5. Bi-D pattern",
                                       "6. Head angle pattern",
                                       "7. PF pattern",
                                       "8. Head ID",
                                       "9. USB ID",
                                       "10. Protection counter"};
constexpr const char* kOk = "OK";
constexpr const char* kPrevious = "Previous";
constexpr const char* kCopyAsText = "Copy as text";
constexpr const char* kSaveImage = "Save as backup image...";
constexpr const char* kSaveImageTitle = "Save the EEPROM as a backup image";
constexpr const char* kSaved = "Backup image saved: ";
}  // namespace text

constexpr int kCheckIndex = 0;
constexpr int kChangeIndex = 1;
constexpr int kPairLength = 2;
constexpr int kGridSize = 17;

}  // namespace

EepromPanels::~EepromPanels() = default;

void EepromPanels::Build(WorkArea& area) {
  area_ = &area;
  BuildItems();
  BuildCheck();
  BuildGrid();
  BuildChange();
  BuildCheckPattern();
}

void EepromPanels::BuildItems() {
  TitledPanel* items = AddTitledPanel(*area_, "EEPROMItemsPnl", text::kEepromTitle);
  eepromItemsPnl_ = items;
  eepromCheckRdoGrp_ = new RadioGroup("EepromCheckRdoGrp", text::kItems, items);
  eepromCheckRdoGrp_->SetItems({text::kCheckData, text::kChangeData});
  eepromCheckRdoGrp_->SetItemIndex(kCheckIndex);
  items->Body()->addWidget(eepromCheckRdoGrp_);
  items->Finish();
  QObject::connect(items->AddButton("EepromItemsOKBtn", text::kOk), &QPushButton::clicked, items,
                   [this] { EepromItemsOKBtnClick(); });
  area_->SetMenuHandler(MenuItem::EepromData, [this] { area_->ShowPanel(eepromItemsPnl_); });
}

void EepromPanels::BuildCheck() {
  TitledPanel* check = AddTitledPanel(*area_, "EEPROMCheckPnl", text::kCheckTitle);
  eepromCheckPnl_ = check;
  check->AddText(text::kEnterRange);
  auto* row = new QHBoxLayout;
  eepReadBegEdit_ = MakeUpperCaseEdit("EepReadBegEdit", kPairLength, check);
  eepReadEndEdit_ = MakeUpperCaseEdit("EepReadEndEdit", kPairLength, check);
  for (QLineEdit* e : {eepReadBegEdit_, eepReadEndEdit_}) e->setFixedWidth(48);
  row->addWidget(new QLabel(text::kStart, check));
  row->addWidget(eepReadBegEdit_);
  row->addWidget(new QLabel(text::kTilde, check));
  row->addWidget(new QLabel(text::kEnd, check));
  row->addWidget(eepReadEndEdit_);
  row->addStretch(1);
  check->Body()->addLayout(row);
  check->Finish();
  QObject::connect(check->AddDefaultButton("EepromReadOkBtn", text::kOk), &QPushButton::clicked,
                   check, [this] { EepromReadOkBtnClick(); });
  QObject::connect(check->AddButton("EepromReadRtnBtn", text::kPrevious), &QPushButton::clicked,
                   check, [this] { EepromReadRtnBtnClick(); });
}

void EepromPanels::BuildGrid() {
  TitledPanel* panel = AddTitledPanel(*area_, "EEPROMGridPnl", text::kCheckTitle);
  eepromGridPnl_ = panel;
  auto* grid = new QGridLayout;
  auto* low = new QLabel(text::kLow, panel);
  low->setAlignment(Qt::AlignCenter);
  grid->addWidget(low, 0, 1);
  grid->addWidget(new QLabel(text::kHigh, panel), 1, 0, Qt::AlignTop);

  eepromStrGrid_ = new QTableWidget(kGridSize, kGridSize, panel);
  eepromStrGrid_->setObjectName("EepromStrGrid");
  eepromStrGrid_->horizontalHeader()->hide();
  eepromStrGrid_->verticalHeader()->hide();
  eepromStrGrid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  eepromStrGrid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  eepromStrGrid_->setSelectionMode(QAbstractItemView::NoSelection);
  eepromStrGrid_->horizontalHeader()->setDefaultSectionSize(26);
  eepromStrGrid_->verticalHeader()->setDefaultSectionSize(20);
  eepromStrGrid_->setMinimumHeight(20 * kGridSize + 4);
  eepromStrGrid_->setMinimumWidth(26 * kGridSize + 24);
  const QBrush headingBrush(QColor(225, 225, 225));
  for (int r = 0; r < kGridSize; ++r) {
    for (int c = 0; c < kGridSize; ++c) {
      auto* item = new QTableWidgetItem;
      item->setTextAlignment(Qt::AlignCenter);
      if (r == 0 && c > 0) item->setText(QString(QChar(HexDigit(unsigned(c - 1)))));
      if (c == 0 && r > 0) item->setText(QString(QChar(HexDigit(unsigned(r - 1)))));
      if (r == 0 || c == 0) item->setBackground(headingBrush);
      eepromStrGrid_->setItem(r, c, item);
    }
  }
  // Right click: the table to the clipboard, or the whole EEPROM as a backup image.
  eepromStrGrid_->setContextMenuPolicy(Qt::ActionsContextMenu);
  auto* copy = new QAction(text::kCopyAsText, eepromStrGrid_);
  copy->setObjectName("EepromCopyAct");
  QObject::connect(copy, &QAction::triggered, eepromStrGrid_,
                   [this] { QGuiApplication::clipboard()->setText(TableText()); });
  saveAct_ = new QAction(text::kSaveImage, eepromStrGrid_);
  saveAct_->setObjectName("EepromSaveAct");
  QObject::connect(saveAct_, &QAction::triggered, eepromStrGrid_, [this] { SaveBackupImage(); });
  eepromStrGrid_->addAction(copy);
  eepromStrGrid_->addAction(saveAct_);
  grid->addWidget(eepromStrGrid_, 1, 1);
  grid->setColumnStretch(2, 1);
  panel->Body()->addLayout(grid);
  panel->Finish();
  QObject::connect(panel->AddButton("EepromGridRtnBtn", text::kPrevious), &QPushButton::clicked,
                   panel, [this] { EepromGridRtnBtnClick(); });
}

void EepromPanels::BuildChange() {
  TitledPanel* change = AddTitledPanel(*area_, "EEPROMChangePnl", text::kChangeTitle);
  eepromChangePnl_ = change;
  change->AddText(text::kEnterDataAndAddress);
  auto* grid = new QGridLayout;
  eepWriteAddEdit_ = MakeUpperCaseEdit("EepWriteAddEdit", kPairLength, change);
  eepWriteDataEdit_ = MakeUpperCaseEdit("EepWriteDataEdit", kPairLength, change);
  int row = 0;
  for (auto [caption, edit] :
       {std::pair{text::kAddress, eepWriteAddEdit_}, std::pair{text::kData, eepWriteDataEdit_}}) {
    edit->setFixedWidth(48);
    grid->addWidget(new QLabel(caption, change), row, 0);
    grid->addWidget(edit, row, 1);
    grid->addWidget(new QLabel(text::kByteRange, change), row, 2);
    ++row;
  }
  grid->setColumnStretch(3, 1);
  change->Body()->addLayout(grid);
  change->Finish();
  QObject::connect(change->AddDefaultButton("EepromWriteOkBtn", text::kOk), &QPushButton::clicked,
                   change, [this] { EepromWriteOkBtnClick(); });
  QObject::connect(change->AddButton("EepromWriteRtnBtn", text::kPrevious), &QPushButton::clicked,
                   change, [this] { EepromWriteRtnBtnClick(); });
}

void EepromPanels::BuildCheckPattern() {
  TitledPanel* panel = AddTitledPanel(*area_, "A3PPrintPnl", text::kA4Title);
  a3pPrintPnl_ = panel;
  for (const char* line : text::kA4Contents) panel->AddText(line);
  panel->Finish();
  QObject::connect(panel->AddButton("A3PPrintOKBtn", text::kOk), &QPushButton::clicked, panel,
                   [this] { A3PPrintOKBtnClick(); });
  area_->SetMenuHandler(MenuItem::A4Pattern, [this] { area_->ShowPanel(a3pPrintPnl_); });
}

// The range edits are emptied where a new range begins (ShowCheckPanel).
void EepromPanels::ResetInputs() {
  for (QLineEdit* e : {eepWriteAddEdit_, eepWriteDataEdit_}) e->clear();
}

void EepromPanels::ShowOnly(QWidget* panel) {
  area_->ResetWorkArea(false);
  area_->ShowPanel(panel);
}

// Chosen from the items or returned to from the table: a new range. A failed read instead
// returns with the range as typed.
void EepromPanels::ShowCheckPanel() {
  ShowOnly(eepromCheckPnl_);
  eepReadBegEdit_->clear();
  eepReadEndEdit_->clear();
  eepReadBegEdit_->setFocus();
}

void EepromPanels::EmptyCells() {
  for (int r = 1; r < kGridSize; ++r)
    for (int c = 1; c < kGridSize; ++c) eepromStrGrid_->item(r, c)->setText(QString());
  read_.fill(std::nullopt);
  saveAct_->setEnabled(false);
}

QString EepromPanels::TableText() const {
  QString out = "   ";
  for (int low = 0; low < 16; ++low) out += QString(" +%1").arg(HexDigit(unsigned(low)));
  out += '\n';
  for (int high = 0; high < 16; ++high) {
    QString row = QString("%1:").arg(QString(QChar(HexDigit(unsigned(high)))) + '0');
    bool any = false;
    for (int low = 0; low < 16; ++low) {
      const auto& value = read_[std::size_t(high * 16 + low)];
      any = any || value.has_value();
      row += ' ';
      if (value) {
        const auto pair = ByteToHexPair(*value);
        row += QString::fromLatin1(pair.data(), 2);
      } else {
        row += "--";
      }
    }
    if (any) out += row + '\n';
  }
  return out;
}

// A backup image holds all 256 bytes, so it is offered once the whole EEPROM is in the table.
void EepromPanels::SaveBackupImage() {
  procedures::EepromImage image;
  for (std::size_t a = 0; a < read_.size(); ++a) {
    if (!read_[a]) return;
    image.bytes[a] = *read_[a];
  }
  image.model = area_->SelectedModel();
  image.savedAt = procedures::LocalTimeStamp();
  image.program = "vantor-adjust " + std::string(procedures::ProgramVersion());
  const QString path =
      area_->Dialogs().SaveFile(eepromStrGrid_, text::kSaveImageTitle, "eeprom.json");
  if (path.isEmpty()) return;
  std::string why;
  if (!WriteBackupFile(path.toStdString(), image, why)) {
    area_->Dialogs().Error(eepromStrGrid_, QString::fromStdString(why));
    return;
  }
  area_->Messages().ShowMessage(MessageKind::Replace, text::kSaved + path.toStdString());
}

void EepromPanels::EepromItemsOKBtnClick() {
  switch (eepromCheckRdoGrp_->ItemIndex()) {
    case kCheckIndex:
      ShowCheckPanel();
      break;
    case kChangeIndex:
      ShowOnly(eepromChangePnl_);
      eepWriteAddEdit_->setFocus();
      break;
    default:
      break;
  }
}

void EepromPanels::EepromReadOkBtnClick() {
  Reporter& reporter = area_->Messages();
  procedures::InputField focus = procedures::InputField::Start;
  procedures::EepromRange range;
  if (procedures::CheckEepromRange(area_->GetContext(), eepReadBegEdit_->text().toStdString(),
                                   eepReadEndEdit_->text().toStdString(), range, focus) != kOk) {
    reporter.ShowMessage(MessageKind::NewLine,
                         procedures::EepromRangeFault(eepReadBegEdit_->text().toStdString(),
                                                      eepReadEndEdit_->text().toStdString()));
    (focus == procedures::InputField::Start ? eepReadBegEdit_ : eepReadEndEdit_)->setFocus();
    return;
  }
  area_->ResetWorkArea(false);
  area_->HideMessageArea();
  area_->ShowPanel(eepromGridPnl_);
  EmptyCells();
  ShowHourglass();
  const Result r = procedures::ReadEepromRange(
      area_->GetContext(), range, [this](std::uint8_t address, std::uint8_t value) {
        const auto pair = ByteToHexPair(value);
        read_[address] = value;
        eepromStrGrid_->item(address / 16 + 1, address % 16 + 1)
            ->setText(QString::fromLatin1(pair.data(), 2));
        area_->RepaintNow();
      });
  saveAct_->setEnabled(
      std::all_of(read_.begin(), read_.end(), [](const auto& v) { return v.has_value(); }));
  if (r != kOk) {
    // The cells read so far go with the table.
    ShowOnly(eepromCheckPnl_);
    reporter.ReportResult(r);
  }
  ShowNormalCursor();
}

void EepromPanels::EepromReadRtnBtnClick() {
  ShowOnly(eepromItemsPnl_);
}

void EepromPanels::EepromGridRtnBtnClick() {
  ShowCheckPanel();
}

void EepromPanels::EepromWriteOkBtnClick() {
  const std::string address = eepWriteAddEdit_->text().toStdString();
  const std::string data = eepWriteDataEdit_->text().toStdString();
  if (procedures::ChangeEepromByte(area_->GetContext(), address, data) == kInputRejected) {
    area_->Messages().ShowMessage(MessageKind::NewLine,
                                  procedures::EepromChangeFault(address, data));
    eepWriteAddEdit_->setFocus();
  }
}

void EepromPanels::EepromWriteRtnBtnClick() {
  ShowOnly(eepromItemsPnl_);
}

void EepromPanels::A3PPrintOKBtnClick() {
  (void)procedures::PrintA4CheckPattern(area_->GetContext());
}

}  // namespace vantor
