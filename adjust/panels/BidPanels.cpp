#include "adjust/panels/BidPanels.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>
#include <string>
#include <vector>

#include "adjust/panels/PanelParts.h"
#include "adjust/panels/RadioGroup.h"
#include "adjust/panels/ScanFiles.h"
#include "adjust/procedures/ScanEntries.h"
#include "link/EepromAddresses.h"
#include "raster/Malbid.h"

namespace vantor {

namespace {
namespace text {
constexpr const char* kItemsTitle = "Bi-Directional adjustment ";
constexpr const char* kItems = "Items";
constexpr const char* kPrintItem = "Printing the Bi-D adjustment pattern";
constexpr const char* kAdjustItem = "Adjust";
constexpr const char* kCheckItem = "Checking present Bi-D parameter";
constexpr const char* kInputTitle = "Input Bi-directional adjustment value ";
const std::string kRange = "Adjustable range is " + fields::RangeWords(fields::kBidRange) + ".";
constexpr const char* kOk = "OK";
constexpr const char* kPrevious = "Previous";
constexpr const char* kOpenScans = "The scanned Bi-D sheets";
constexpr const char* kFilled = "The changes read from the scan are in the boxes: ";
constexpr const char* kAllTrue = "The scan shows every row read as true; nothing was changed.";
constexpr const char* kUnsure = "Not sure, left as they were (judge these by eye): ";
constexpr const char* kMissing = "Not found on these pages, left as they were: ";
constexpr const char* kPressOk = "Press OK to register.";
}  // namespace text

enum Item { kPrint, kAdjust, kCheck };

// Control names of the rows, in the order of procedures::kBidRows.
struct RowNames {
  const char* check;
  const char* edit;
  const char* upDown;
  const char* scan;
  AdjustedItem summary;
};
constexpr std::array<RowNames, procedures::kBidRowCount> kRowNames = {{
    {"BidVSD1BkCheckBox", "BidVSD1BkWrtEdit", "BidVSD1BkUpDown", "BidVSD1BkScanLbl",
     AdjustedItem::Vsd1Black},
    {"BidVSD1YMCCheckBox", "BidVSD1YMCWrtEdit", "BidVSD1YMCUpDown", "BidVSD1YMCScanLbl",
     AdjustedItem::Vsd1Color},
    {"BidVSD2BkCheckBox", "BidVSD2BkWrtEdit", "BidVSD2BkUpDown", "BidVSD2BkScanLbl",
     AdjustedItem::Vsd2Black},
    {"BidVSD2YMCCheckBox", "BidVSD2YMCWrtEdit", "BidVSD2YMCUpDown", "BidVSD2YMCScanLbl",
     AdjustedItem::Vsd2Color},
    {"BidVSD3BkCheckBox", "BidVSD3BkWrtEdit", "BidVSD3BkUpDown", "BidVSD3BkScanLbl",
     AdjustedItem::Vsd3Black},
    {"BidVSD3YMCCheckBox", "BidVSD3YMCWrtEdit", "BidVSD3YMCUpDown", "BidVSD3YMCScanLbl",
     AdjustedItem::Vsd3Color},
    {"BidECOBkCheckBox", "BidECOBkWrtEdit", "BidECOBkUpDown", "BidECOBkScanLbl",
     AdjustedItem::EcoBlack},
    {"BidECOYMCCheckBox", "BidECOYMCWrtEdit", "BidECOYMCUpDown", "BidECOYMCScanLbl",
     AdjustedItem::EcoColor},
}};

}  // namespace

void BidPanels::Build(WorkArea& area) {
  area_ = &area;
  BuildItemsPanel();
  BuildInputPanel();
  area.SetMenuHandler(MenuItem::Bid, [this] { area_->ShowPanel(itemsPnl_); });
}

void BidPanels::BuildItemsPanel() {
  itemsPnl_ = AddTitledPanel(*area_, "BidItemsPnl", text::kItemsTitle);
  itemsRdo_ = new RadioGroup("BidRdoBtn", text::kItems, itemsPnl_);
  itemsRdo_->SetItems({text::kPrintItem, text::kAdjustItem, text::kCheckItem});
  itemsRdo_->SetItemIndex(kPrint);
  itemsPnl_->Body()->addWidget(itemsRdo_);
  itemsPnl_->Finish();
  QObject::connect(itemsPnl_->AddButton("BidOKBtn", text::kOk), &QPushButton::clicked,
                   [this] { BidOKBtnClick(); });
}

void BidPanels::BuildInputPanel() {
  inputPnl_ = AddTitledPanel(*area_, "BidInputPnl", text::kInputTitle);
  inputPnl_->AddText(QString::fromStdString(text::kRange));
  auto* grid = new QGridLayout;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const RowNames& names = kRowNames[i];
    Row& row = rows_[i];
    row.check = new QCheckBox(FromView(procedures::kBidRows[i].caption), inputPnl_);
    row.check->setObjectName(names.check);
    row.edit = MakeEdit(names.edit, 3, inputPnl_);
    row.edit->setText("0");
    row.upDown = new UpDown(names.upDown, row.edit, kBidMin, kBidMax, inputPnl_);
    row.scan = new QLabel(inputPnl_);
    row.scan->setObjectName(names.scan);
    // Any change of the value, typed or stepped, marks the row for writing.
    QObject::connect(row.edit, &QLineEdit::textChanged, row.check,
                     [check = row.check] { check->setChecked(true); });
    // Two columns: black rows on the left, colour rows on the right.
    const int r = int(i / 2);
    const int c = int(i % 2) * 4;
    grid->addWidget(row.check, r, c);
    grid->addWidget(row.edit, r, c + 1);
    grid->addWidget(row.upDown, r, c + 2);
    grid->addWidget(row.scan, r, c + 3);
    grid->setColumnMinimumWidth(c + 3, 24);
  }
  inputPnl_->Body()->addLayout(grid);
  inputPnl_->Finish();
  QObject::connect(inputPnl_->AddDefaultButton("BidWrtOKBtn", text::kOk), &QPushButton::clicked,
                   [this] { BidWrtOKBtnClick(); });
  QObject::connect(inputPnl_->AddButton("BidWrtRtnBtn", text::kPrevious), &QPushButton::clicked,
                   [this] { BidWrtRtnBtnClick(); });
  QObject::connect(inputPnl_->AddButton("BidReadScanBtn", kReadScanCaption), &QPushButton::clicked,
                   [this] { BidReadScanBtnClick(); });
}

void BidPanels::ResetInputs() {
  // Emptying an edit checks its box, so the boxes are cleared after.
  for (Row& row : rows_) {
    if (row.edit != nullptr) row.edit->clear();
  }
  for (Row& row : rows_) {
    if (row.check != nullptr) row.check->setChecked(false);
    if (row.scan != nullptr) row.scan->clear();
  }
}

void BidPanels::BidOKBtnClick() {
  switch (itemsRdo_->ItemIndex()) {
    case kPrint: {
      Values printed{};
      const Result r = procedures::PrintBidAdjustment(area_->GetContext(), &printed);
      if (r == kOk) {
        printedWith_ = printed;
        stored_ = printed;
      }
      break;
    }
    case kAdjust:
      Adjust();
      break;
    case kCheck:
      (void)procedures::ShowPresentBidValues(area_->GetContext());
      break;
    default:
      break;
  }
}

void BidPanels::Adjust() {
  area_->ResetWorkArea(false);
  area_->ShowPanel(inputPnl_);
  for (Row& row : rows_) row.scan->clear();
  Values read{};
  const Result r =
      procedures::ReadBidRows(area_->GetContext(), [this, &read](std::size_t row, int value) {
        if (row >= rows_.size()) return;
        rows_[row].edit->setText(QString::number(value));
        read[row] = value;
      });
  // A failed read leaves the rows filled so far marked, as the technician saw them change.
  if (r != kOk) return;
  stored_ = read;
  for (Row& row : rows_) row.check->setChecked(false);
}

void BidPanels::BidWrtOKBtnClick() {
  std::array<std::optional<std::string>, procedures::kBidRowCount> entries;
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i].check->isChecked()) entries[i] = rows_[i].edit->text().toStdString();
  }
  const auto registered = procedures::WriteBidRows(area_->GetContext(), entries);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (!registered[i]) continue;
    area_->SetAdjustedItem(kRowNames[i].summary, rows_[i].edit->text());
    if (stored_) (*stored_)[i] = *registered[i];
  }
}

// The sheets carry their candidates around the values stored when they were printed, so the
// reading is a change, added to what each box shows: the values read when the panel opened,
// or the technician's own. Sheets of an earlier print are read only when the technician says
// so, and then against the values they were printed with.
void BidPanels::BidReadScanBtnClick() {
  const QStringList files = ChooseScans(*area_, text::kOpenScans, true);
  if (files.isEmpty()) return;
  MessageDisplay& display = area_->Messages().Display();
  display.NameWait(kReadingTheSheets);
  display.Show(MessageKind::Busy, kReadingScans);
  std::string error;
  const std::optional<sheet::BidReading> reading =
      procedures::ReadBidScans(ScanPaths(files), error);
  if (!reading) {
    display.Show(MessageKind::Error, error);
    return;
  }
  std::array<std::optional<int>, procedures::kBidRowCount> present{};
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    bool shown = false;
    const int value = rows_[i].edit->text().toInt(&shown);
    if (shown) present[i] = value;
  }
  const auto shown = present;
  const procedures::SheetTie tie =
      procedures::TieOfWindowPrint(printedWith_, stored_, area_->GetContext().reporter,
                                   procedures::kBidPrintOperation, eeprom::kBidReadOrder);
  if (!TakeScannedSheets(*area_, procedures::StaleReason(tie.state, "Bi-D"))) return;
  if (tie.state == procedures::SheetTie::State::ChangedSince) {
    if (printedWith_) {
      for (std::size_t i = 0; i < present.size(); ++i) present[i] = (*printedWith_)[i];
    } else {
      present = procedures::BidPrintedWith(tie, present);
    }
  }
  std::string filled, unsure, missing;
  const auto add = [](std::string& list, std::string_view item) {
    list += (list.empty() ? "" : ", ") + std::string(item);
  };
  const auto entries = procedures::BidEntriesFromScan(*reading, present);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const procedures::BidScanEntry& e = entries[i];
    const std::string_view caption = procedures::kBidRows[i].caption;
    const sheet::BidRowReading& r = reading->rows[i];
    rows_[i].scan->setText(
        r.read ? ScanNote(e.state == procedures::ScanRow::Trusted, e.change != 0, r.confidence)
               : kNotOnPages);
    if (e.state == procedures::ScanRow::Missing) {
      add(missing, caption);
    } else if (e.state == procedures::ScanRow::Unsure) {
      add(unsure, caption);
    } else if (e.value != shown[i]) {
      rows_[i].edit->setText(QString::number(e.value));
      add(filled, std::string(caption) + (e.change > 0 ? " +" : " ") + std::to_string(e.change));
    }
  }
  std::string words = filled.empty() ? text::kAllTrue : text::kFilled + filled + ".";
  if (!unsure.empty()) words += "\n" + std::string(text::kUnsure) + unsure + ".";
  if (!missing.empty()) words += "\n" + std::string(text::kMissing) + missing + ".";
  if (!filled.empty()) words += "\n" + std::string(text::kPressOk);
  display.Show(unsure.empty() && missing.empty() ? MessageKind::Done : MessageKind::Error, words);
}

void BidPanels::BidWrtRtnBtnClick() {
  area_->ResetWorkArea(false);
  area_->ShowPanel(itemsPnl_);
}

}  // namespace vantor
