#include "adjust/panels/IdentityPanels.h"

#include <QFont>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "adjust/panels/DialogService.h"
#include "adjust/panels/PanelParts.h"
#include "adjust/panels/RadioGroup.h"
#include "adjust/panels/UpperCaseEdit.h"
#include "adjust/procedures/IdentityProcedure.h"
#include "adjust/procedures/Procedures.h"
#include "ids/Malheadid.h"
#include "ids/Malusbid.h"
#include "words/Words.h"

namespace vantor {

namespace {
namespace text {
constexpr const char* kEepromInitTitle = "EEPROM initialization ";
constexpr const char* kEepromInitWhy =
    "After replacing Main board, make sure to do this EEPROM Initialization to re-register the "
    "factory setting value onto the spare Main board.";
constexpr const char* kEepromInitDestination =
    "In case of Vantor Q40/Q30, destination setting will also be done in this operation.";
constexpr const char* kEepromInitNote =
    "Even though you've done this operation, it does\nnot mean you need to perform all\n"
    "electronic adjustments.";
constexpr const char* kHeadIdTitle = "Head ID Input ";
constexpr const char* kItems = "Items";
constexpr const char* kChangeData = "Change data";
constexpr const char* kCheckPresentData = "Check present data";
constexpr const char* kEnterHeadId = "Enter the 13 digits Head ID.";
constexpr const char* kHeadId = "Head ID";
constexpr const char* kUsbIdItemsTitle = "USB ID Readout / Input ";
constexpr const char* kInputUsbId = "Input USB ID";
constexpr const char* kReadoutUsbId = "Readout USB ID";
constexpr const char* kUsbIdInputTitle = "USB ID Input ";
constexpr const char* kInputOriginalOrSerial = "Input Original USB ID, or Serial number";
constexpr const char* kOriginalUsbId = "1. Original USB ID (18-digits)";
constexpr const char* kSerialNumber = "2. Serial number (10-digits)";
constexpr const char* kOnlyOne = "Original USB ID and Serial number: fill in one of the two.";
constexpr const char* kOk = "OK";
constexpr const char* kPrevious = "Previous";
constexpr const char* kIdHere = "ID";
}  // namespace text

constexpr int kChangeIndex = 0;
constexpr int kCheckIndex = 1;
constexpr int kInputIndex = 0;
constexpr int kReadoutIndex = 1;

// The head seen from its side, with the label that carries the ID marked.
QPixmap HeadPicture() {
  QPixmap picture(220, 110);
  picture.fill(Qt::white);
  QPainter p(&picture);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::darkGray, 2));
  p.setBrush(QColor(210, 210, 210));
  p.drawRoundedRect(20, 15, 180, 60, 6, 6);
  p.setBrush(QColor(150, 150, 150));
  p.drawRect(40, 75, 140, 18);
  p.setPen(QPen(Qt::red, 2));
  p.setBrush(Qt::white);
  p.drawRect(110, 28, 76, 30);
  p.setPen(Qt::black);
  p.drawText(QRect(110, 28, 76, 30), Qt::AlignCenter, text::kIdHere);
  return picture;
}

}  // namespace

IdentityPanels::~IdentityPanels() = default;

void IdentityPanels::Build(WorkArea& area) {
  area_ = &area;
  BuildEepromInit();
  BuildHeadId();
  BuildUsbId();
}

void IdentityPanels::BuildEepromInit() {
  TitledPanel* panel = AddTitledPanel(*area_, "DefaultSetPnl", text::kEepromInitTitle);
  defaultSetPnl_ = panel;
  for (const char* t : {text::kEepromInitWhy, text::kEepromInitDestination, text::kEepromInitNote})
    panel->AddText(t)->setWordWrap(true);
  panel->Finish();
  QPushButton* ok = panel->AddButton("DefaultSetBtn", text::kOk);
  QObject::connect(ok, &QPushButton::clicked, panel, [this] { DefaultSetBtnClick(); });
  area_->SetMenuHandler(MenuItem::EepromInit, [this] { area_->ShowPanel(defaultSetPnl_); });
}

void IdentityPanels::BuildHeadId() {
  TitledPanel* items = AddTitledPanel(*area_, "HeadIDItemsPnl", text::kHeadIdTitle);
  headIdItemsPnl_ = items;
  hdVolRdoBtn_ = new RadioGroup("HdVolRdoBtn", text::kItems, items);
  hdVolRdoBtn_->SetItems({text::kChangeData, text::kCheckPresentData});
  hdVolRdoBtn_->SetItemIndex(kChangeIndex);
  items->Body()->addWidget(hdVolRdoBtn_);
  items->Finish();
  QObject::connect(items->AddButton("HdVolOKBtn", text::kOk), &QPushButton::clicked, items,
                   [this] { HdVolOKBtnClick(); });

  TitledPanel* input = AddTitledPanel(*area_, "HeadIDInputPnl", text::kHeadIdTitle);
  headIdInputPnl_ = input;
  // The title is a label of its own in this panel.
  if (auto* title = input->findChild<QLabel*>("HeadIDInputPnlTitle"))
    title->setObjectName("InputHeadIDTitleLbl");
  input->AddText(text::kEnterHeadId);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(text::kHeadId, input));
  leftHeadIdInputEdit_ = MakeUpperCaseEdit("LeftHeadIDInputEdit", int(headid::kLength), input);
  leftHeadIdInputEdit_->setMinimumWidth(
      QFontMetrics(leftHeadIdInputEdit_->font()).horizontalAdvance(QString(16, 'W')));
  row->addWidget(leftHeadIdInputEdit_);
  row->addStretch(1);
  input->Body()->addLayout(row);
  auto* image = new QLabel(input);
  image->setObjectName("Image1");
  image->setPixmap(HeadPicture());
  input->Body()->addWidget(image);
  input->Finish();
  QObject::connect(input->AddDefaultButton("HeadIDInputOKBtn", text::kOk), &QPushButton::clicked,
                   input, [this] { HeadIDInputOKBtnClick(); });
  QObject::connect(input->AddButton("HeadIDInputRtnBtn", text::kPrevious), &QPushButton::clicked,
                   input, [this] { HeadIDInputRtnBtnClick(); });

  area_->SetMenuHandler(MenuItem::HeadId, [this] { area_->ShowPanel(headIdItemsPnl_); });
}

void IdentityPanels::BuildUsbId() {
  TitledPanel* items = AddTitledPanel(*area_, "USBIDItemsPnl", text::kUsbIdItemsTitle);
  usbIdItemsPnl_ = items;
  usbIdRdoGrp_ = new RadioGroup("USBIDRdoGrp", text::kItems, items);
  usbIdRdoGrp_->SetItems({text::kInputUsbId, text::kReadoutUsbId});
  usbIdRdoGrp_->SetItemIndex(kInputIndex);
  items->Body()->addWidget(usbIdRdoGrp_);
  items->Finish();
  QObject::connect(items->AddButton("UsbIdOKBtn", text::kOk), &QPushButton::clicked, items,
                   [this] { UsbIdOKBtnClick(); });

  TitledPanel* input = AddTitledPanel(*area_, "USBIDInputPnl", text::kUsbIdInputTitle);
  usbIdInputPnl_ = input;
  input->AddText(text::kInputOriginalOrSerial);
  auto* grid = new QGridLayout;
  const int wide = QFontMetrics(input->font()).horizontalAdvance(QString(21, 'W'));
  grid->addWidget(new QLabel(text::kOriginalUsbId, input), 0, 0);
  originalUsbIdInputEdit_ = MakeUpperCaseEdit("OriginalUsbIdInputEdit", int(usbid::kLength), input);
  originalUsbIdInputEdit_->setMinimumWidth(wide);
  grid->addWidget(originalUsbIdInputEdit_, 0, 1, Qt::AlignLeft);
  grid->addWidget(new QLabel(text::kSerialNumber, input), 1, 0);
  usbIdInputEdit_ = MakeUpperCaseEdit("UsbIdInputEdit", int(usbid::kSerialLength), input);
  usbIdInputEdit_->setMinimumWidth(wide * 2 / 3);
  grid->addWidget(usbIdInputEdit_, 1, 1, Qt::AlignLeft);
  grid->setColumnStretch(2, 1);
  input->Body()->addLayout(grid);
  input->Finish();
  QObject::connect(input->AddDefaultButton("UsbIdInputOKBtn", text::kOk), &QPushButton::clicked,
                   input, [this] { UsbIdInputOKBtnClick(); });
  QObject::connect(input->AddButton("UsbIdInputRtnBtn", text::kPrevious), &QPushButton::clicked,
                   input, [this] { UsbIdInputRtnBtnClick(); });

  area_->SetMenuHandler(MenuItem::UsbId, [this] { area_->ShowPanel(usbIdItemsPnl_); });
}

void IdentityPanels::ResetInputs() {
  leftHeadIdInputEdit_->clear();
  usbIdInputEdit_->clear();
  originalUsbIdInputEdit_->clear();
}

void IdentityPanels::ShowOnly(QWidget* panel) {
  area_->ResetWorkArea(false);
  area_->ShowPanel(panel);
}

// --- EEPROM initialization ---

void IdentityPanels::DefaultSetBtnClick() {
  ShowHourglass();
  (void)procedures::InitializeEeprom(area_->GetContext());
  ShowNormalCursor();
}

// --- Head ID ---

void IdentityPanels::HdVolOKBtnClick() {
  switch (hdVolRdoBtn_->ItemIndex()) {
    case kChangeIndex:
      ShowOnly(headIdInputPnl_);
      leftHeadIdInputEdit_->setFocus();
      break;
    case kCheckIndex: {
      ShowHourglass();
      std::string id;
      (void)procedures::ReadHeadId(area_->GetContext(), id);
      ShowNormalCursor();
      break;
    }
    default:
      break;
  }
}

void IdentityPanels::HeadIDInputOKBtnClick() {
  std::string registered;
  if (procedures::RegisterHeadId(area_->GetContext(), leftHeadIdInputEdit_->text().toStdString(),
                                 registered) != kOk) {
    // The text stays for correction.
    leftHeadIdInputEdit_->setFocus();
    return;
  }
  area_->SetAdjustedItem(AdjustedItem::HeadId, FromView(registered));
}

void IdentityPanels::HeadIDInputRtnBtnClick() {
  ShowOnly(headIdItemsPnl_);
}

// --- USB ID ---

void IdentityPanels::UsbIdOKBtnClick() {
  switch (usbIdRdoGrp_->ItemIndex()) {
    case kInputIndex:
      ShowOnly(usbIdInputPnl_);
      originalUsbIdInputEdit_->setFocus();
      break;
    case kReadoutIndex: {
      std::string id;
      (void)procedures::ReadUsbId(area_->GetContext(), id);
      break;
    }
    default:
      break;
  }
}

void IdentityPanels::UsbIdInputOKBtnClick() {
  Reporter& reporter = area_->Messages();
  reporter.ShowMessage(MessageKind::Replace, "");
  const std::string original = originalUsbIdInputEdit_->text().toStdString();
  const std::string serial = usbIdInputEdit_->text().toStdString();
  if (!original.empty() && !serial.empty()) {
    reporter.ShowMessage(MessageKind::Error, words::kInputDataWrong);
    reporter.ShowMessage(MessageKind::NewLine, text::kOnlyOne);
  } else if (!original.empty()) {
    // The field shows what the printer now holds, not what was typed.
    std::string stored;
    if (procedures::RegisterUsbId(area_->GetContext(), original, stored) != kOk) return;
    ShowUsbIdField(stored.substr(0, usbid::kSerialLength), stored.substr(usbid::kSerialLength));
  } else if (!serial.empty()) {
    procedures::SerialRegistration registered;
    if (procedures::RegisterSerialNumber(area_->GetContext(), serial, registered) != kOk) return;
    ShowUsbIdField(registered.serial, registered.dateCode);
  }
}

// The ID split after the serial number by one blank.
void IdentityPanels::ShowUsbIdField(std::string_view serial, std::string_view rest) {
  area_->SetAdjustedItem(AdjustedItem::UsbId, FromView(serial) + ' ' + FromView(rest));
}

void IdentityPanels::UsbIdInputRtnBtnClick() {
  ShowOnly(usbIdItemsPnl_);
}

}  // namespace vantor
