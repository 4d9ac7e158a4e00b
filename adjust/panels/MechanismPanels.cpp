#include "adjust/panels/MechanismPanels.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <optional>
#include <string>
#include <vector>

#include "adjust/panels/PanelParts.h"
#include "adjust/panels/RadioGroup.h"
#include "adjust/panels/ScanFiles.h"
#include "adjust/procedures/InputFaults.h"
#include "adjust/procedures/PfProcedure.h"
#include "adjust/procedures/Procedures.h"
#include "adjust/procedures/ScanEntries.h"
#include "link/EepromAddresses.h"
#include "link/Hex.h"

namespace vantor {

namespace {
namespace text {
constexpr const char* kItems = "Items";
constexpr const char* kOk = "OK";
constexpr const char* kPrevious = "Previous";

constexpr const char* kPfItemsTitle = "PF adjustment ";
constexpr const char* kPfPrintItem = "Printing the PF adjustment pattern";
constexpr const char* kPfAdjustItem = "Adjust";
constexpr const char* kPfCheckItem = "Checking present PF parameter";
constexpr const char* kPfAdjustTitle = "PF adjustment";
constexpr const char* kPfConfirmed = "Input your confirmed value.";
const std::string kPfRange = "(" + fields::RangeWords(*fields::kPf.range) + ")";
constexpr const char* kPfOpenScan = "The scanned PF sheet";
constexpr const char* kPfFilled = "The value read from the scan is in the box: ";
constexpr const char* kPfPressOk = "Press OK to register.";
constexpr const char* kPfUnsure =
    "Not sure of the value on the scan (about %1); the box was left "
    "as it was: judge the sheet by eye.";

constexpr const char* kTopMarginTitle = "Top margin adjustment";
constexpr const char* kTopMarginCheckItem = "Checking the Top margin";
constexpr const char* kTopMarginAdjustItem = "Adjust";
constexpr const char* kTopMarginSelect = "Select a value from following window.";

constexpr const char* kCrTitle = "CR Motor Drive Dispersion Sequence ";
constexpr const char* kCrInstruction =
    "Select and mark your replaced part(s) from followings, then press \"OK\" button. You can "
    "select multiple items.";
constexpr const char* kCrWarning =
    "Be sure to execute this function in case you replace a 1.main board, 2.CR motor, 3.PS "
    "board, or 4.CR guide shaft with new one.";
constexpr const char* kCrExcept = "Excepting aboves, do not execute this function.";
constexpr const char* kReplacedParts = "replaced parts";
constexpr const char* kMainBoard = "main board";
constexpr const char* kPsBoard = "PS board";
constexpr const char* kCrMotor = "CR motor";
constexpr const char* kCrStored = "Value stored at 0x%1: %2";
constexpr const char* kCrGuideShaft = "CR guide shaft";
}  // namespace text

enum PfItem { kPfPrint, kPfAdjust, kPfCheck };
enum TopMarginItem { kTopMarginCheck, kTopMarginAdjust };

QCheckBox* MakeCheckBox(const char* objectName, const char* caption, QWidget* parent) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(objectName);
  return box;
}
}  // namespace

void MechanismPanels::Build(WorkArea& area) {
  area_ = &area;
  BuildPfPanels();
  BuildTopMarginPanels();
  BuildCrDispersionPanel();
  area.SetMenuHandler(MenuItem::Pf, [this] { area_->ShowPanel(pfItemsPnl_); });
  area.SetMenuHandler(MenuItem::TopMargin, [this] { area_->ShowPanel(topMarginMainPnl_); });
  area.SetMenuHandler(MenuItem::CrDispersion, [this] { ShowCrDispersionPanel(); });
}

void MechanismPanels::ResetInputs() {
  if (pfEdit_ != nullptr) pfEdit_->clear();
  if (topMarginCombo_ != nullptr) topMarginCombo_->clear();
  // The ladder of the last value read is kept; only the list goes.
  topMargin_.filled = false;
  topMargin_.entries = {};
}

// --- PF ---

void MechanismPanels::BuildPfPanels() {
  pfItemsPnl_ = AddTitledPanel(*area_, "PFItemsPnl", text::kPfItemsTitle);
  pfRdo_ = new RadioGroup("PFRdoGrp", text::kItems, pfItemsPnl_);
  pfRdo_->SetItems({text::kPfPrintItem, text::kPfAdjustItem, text::kPfCheckItem});
  pfRdo_->SetItemIndex(kPfPrint);
  pfItemsPnl_->Body()->addWidget(pfRdo_);
  pfItemsPnl_->Finish();
  QObject::connect(pfItemsPnl_->AddButton("PFOKBtn", text::kOk), &QPushButton::clicked,
                   [this] { PFOKBtnClick(); });

  pfAdjustPnl_ = AddTitledPanel(*area_, "PFAdjustPnl", text::kPfAdjustTitle);
  pfAdjustPnl_->AddText(text::kPfConfirmed);
  pfAdjustPnl_->AddText(QString::fromStdString(text::kPfRange));
  pfEdit_ = MakeEdit("PFEdit", 3, pfAdjustPnl_);
  pfUpDown_ = new UpDown("PFUpDown", pfEdit_, procedures::kPfMin, procedures::kPfMax, pfAdjustPnl_);
  auto* editRow = new QHBoxLayout;
  editRow->addWidget(pfEdit_);
  editRow->addWidget(pfUpDown_);
  pfScan_ = new QLabel(pfAdjustPnl_);
  pfScan_->setObjectName("PFScanLbl");
  editRow->addWidget(pfScan_);
  editRow->addStretch(1);
  pfAdjustPnl_->Body()->addLayout(editRow);
  pfAdjustPnl_->Finish();
  QObject::connect(pfAdjustPnl_->AddDefaultButton("PFWriteOKBtn", text::kOk), &QPushButton::clicked,
                   [this] { PFWriteOKBtnClick(); });
  QObject::connect(pfAdjustPnl_->AddButton("PFRtnBtn", text::kPrevious), &QPushButton::clicked,
                   [this] { PFRtnBtnClick(); });
  QObject::connect(pfAdjustPnl_->AddButton("PFReadScanBtn", kReadScanCaption),
                   &QPushButton::clicked, [this] { PFReadScanBtnClick(); });
}

void MechanismPanels::PFOKBtnClick() {
  ProcedureContext& context = area_->GetContext();
  switch (pfRdo_->ItemIndex()) {
    case kPfPrint: {
      int printed = 0;
      const Result r = procedures::PrintPfAdjustment(context, &printed);
      if (r == kOk) pfPrintedWith_ = pfStored_ = printed;
      break;
    }
    case kPfAdjust: {
      area_->ResetWorkArea(false);
      area_->ShowPanel(pfAdjustPnl_);
      pfScan_->clear();
      std::string value;
      if (procedures::ReadPfValue(context, value) == kOk) {
        pfEdit_->setText(QString::fromStdString(value));
        pfStored_ = std::stoi(value);
      }
      break;
    }
    case kPfCheck:
      (void)procedures::ShowPresentPfValue(context);
      break;
    default:
      break;
  }
}

void MechanismPanels::PFWriteOKBtnClick() {
  const QString entry = pfEdit_->text();
  const Result r = procedures::WritePfValue(area_->GetContext(), entry.toStdString());
  if (r == kOk) {
    area_->SetAdjustedItem(AdjustedItem::Pf, entry);
    if (pfStored_) pfStored_ = entry.toInt();
  } else if (r == kInputRejected) {
    area_->Messages().ShowMessage(MessageKind::NewLine,
                                  procedures::PfValueFault(entry.toStdString()));
  }
}

// The PF sheet's candidates are the values themselves: the one read goes into the box as it is.
void MechanismPanels::PFReadScanBtnClick() {
  const QStringList files = ChooseScans(*area_, text::kPfOpenScan, false);
  if (files.isEmpty()) return;
  MessageDisplay& display = area_->Messages().Display();
  display.NameWait(kReadingTheSheets);
  display.Show(MessageKind::Busy, kReadingScans);
  std::string error;
  const std::optional<sheet::PfReading> reading =
      procedures::ReadPfScan(ScanPaths(files).front(), error);
  if (!reading) {
    display.Show(MessageKind::Error, error);
    return;
  }
  const procedures::SheetTie tie = procedures::TieOfWindowPrint(
      pfPrintedWith_, pfStored_, area_->GetContext().reporter, procedures::kPfPrintOperation,
      std::array<std::uint8_t, 1>{eeprom::kPfValue});
  if (!TakeScannedSheets(*area_, procedures::StaleReason(tie.state, "PF"))) return;
  const bool trusted = procedures::Trusted(*reading);
  pfScan_->setText(
      ScanNote(trusted, reading->suggested != pfEdit_->text().toInt(), reading->confidence));
  if (!trusted) {
    display.Show(MessageKind::Error,
                 QString(text::kPfUnsure).arg(reading->value, 0, 'f', 1).toStdString());
    return;
  }
  pfEdit_->setText(QString::number(reading->suggested));
  display.Show(MessageKind::Done,
               text::kPfFilled + std::to_string(reading->suggested) + ". " + text::kPfPressOk);
}

void MechanismPanels::PFRtnBtnClick() {
  area_->ResetWorkArea(false);
  area_->ShowPanel(pfItemsPnl_);
}

// --- Top margin ---

void MechanismPanels::BuildTopMarginPanels() {
  topMarginMainPnl_ = AddTitledPanel(*area_, "TopMarginMainPnl", text::kTopMarginTitle);
  topMarginRdo_ = new RadioGroup("TopMarginRdoGrp", text::kItems, topMarginMainPnl_);
  topMarginRdo_->SetItems({text::kTopMarginCheckItem, text::kTopMarginAdjustItem});
  topMarginRdo_->SetItemIndex(kTopMarginCheck);
  topMarginMainPnl_->Body()->addWidget(topMarginRdo_);
  topMarginMainPnl_->Finish();
  QObject::connect(topMarginMainPnl_->AddButton("TopMarginMainBtn", text::kOk),
                   &QPushButton::clicked, [this] { TopMarginMainBtnClick(); });

  topMarginPnl_ = AddTitledPanel(*area_, "TopMarginPnl", text::kTopMarginTitle);
  topMarginPnl_->AddText(text::kTopMarginSelect);
  topMarginCombo_ = new QComboBox(topMarginPnl_);
  topMarginCombo_->setObjectName("TopMarginInputCombo");
  topMarginCombo_->setEditable(false);
  topMarginCombo_->setMaxVisibleItems(5);
  topMarginCombo_->setMinimumWidth(90);
  auto* comboRow = new QHBoxLayout;
  comboRow->addWidget(topMarginCombo_);
  comboRow->addStretch(1);
  topMarginPnl_->Body()->addLayout(comboRow);
  topMarginPnl_->Finish();
  QObject::connect(topMarginPnl_->AddButton("TopMarginWriteOKBtn", text::kOk),
                   &QPushButton::clicked, [this] { TopMarginWriteOKBtnClick(); });
  QObject::connect(topMarginPnl_->AddButton("TopMarginRtnBtn", text::kPrevious),
                   &QPushButton::clicked, [this] { TopMarginRtnBtnClick(); });
}

void MechanismPanels::TopMarginMainBtnClick() {
  ProcedureContext& context = area_->GetContext();
  switch (topMarginRdo_->ItemIndex()) {
    case kTopMarginCheck:
      (void)procedures::PrintTopMarginCheck(context);
      break;
    case kTopMarginAdjust: {
      area_->ResetWorkArea(false);
      area_->ShowPanel(topMarginPnl_);
      std::uint8_t stored = 0;
      if (procedures::ReadTopMarginList(context, topMargin_, stored) != kOk) break;
      if (!topMargin_.filled) break;
      for (std::string_view entry : topMargin_.entries) topMarginCombo_->addItem(FromView(entry));
      // Nothing is chosen for the technician.
      topMarginCombo_->setCurrentIndex(-1);
      break;
    }
    default:
      break;
  }
}

void MechanismPanels::TopMarginWriteOKBtnClick() {
  const int index = topMarginCombo_->currentIndex();
  const Result r = procedures::WriteTopMargin(area_->GetContext(), topMargin_, index);
  if (r == kOk) {
    area_->SetAdjustedItem(AdjustedItem::TopMargin, topMarginCombo_->currentText());
  } else if (r == kInputRejected) {
    area_->Messages().ShowMessage(MessageKind::NewLine,
                                  procedures::TopMarginFault(topMargin_, index));
  }
}

void MechanismPanels::TopMarginRtnBtnClick() {
  area_->ResetWorkArea(false);
  area_->ShowPanel(topMarginMainPnl_);
}

// --- CR motor drive dispersion ---

void MechanismPanels::BuildCrDispersionPanel() {
  crPnl_ = AddTitledPanel(*area_, "CRHeatProtectOffsetPnl", text::kCrTitle);
  QLabel* instruction = crPnl_->AddText(text::kCrInstruction);
  instruction->setWordWrap(true);

  auto* warning = new QFrame(crPnl_);
  warning->setObjectName("CRWarningPnl");
  warning->setFrameStyle(QFrame::Box | QFrame::Plain);
  auto* warningRow = new QHBoxLayout(warning);
  auto* picture = new QLabel(warning);
  picture->setPixmap(crPnl_->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  warningRow->addWidget(picture, 0, Qt::AlignTop);
  auto* warningTexts = new QVBoxLayout;
  for (const char* line : {text::kCrWarning, text::kCrExcept}) {
    auto* label = new QLabel(line, warning);
    label->setWordWrap(true);
    warningTexts->addWidget(label);
  }
  warningRow->addLayout(warningTexts, 1);
  crPnl_->Body()->addWidget(warning);

  auto* parts = new QGroupBox(text::kReplacedParts, crPnl_);
  auto* partsLayout = new QVBoxLayout(parts);
  mainBoard_ = MakeCheckBox("ReplaceMainBoardCheckBox", text::kMainBoard, parts);
  psBoard_ = MakeCheckBox("ReplacePSBoardCheckBox", text::kPsBoard, parts);
  crMotor_ = MakeCheckBox("ReplaceCRMotorCheckBox", text::kCrMotor, parts);
  crShaft_ = MakeCheckBox("ReplaceCRMainShaftCheckBox", text::kCrGuideShaft, parts);
  for (QCheckBox* box : {mainBoard_, psBoard_, crMotor_, crShaft_}) partsLayout->addWidget(box);
  crPnl_->Body()->addWidget(parts);
  crPnl_->Finish();
  QObject::connect(crPnl_->AddButton("CRHeatProtectOffsetOKBtn", text::kOk), &QPushButton::clicked,
                   [this] { CRHeatProtectOffsetOKBtnClick(); });
}

void MechanismPanels::ShowCrDispersionPanel() {
  for (QCheckBox* box : {mainBoard_, crMotor_, psBoard_, crShaft_}) box->setChecked(false);
  area_->ShowPanel(crPnl_);
}

void MechanismPanels::CRHeatProtectOffsetOKBtnClick() {
  procedures::ReplacedParts parts;
  parts.mainBoard = mainBoard_->isChecked();
  parts.psBoard = psBoard_->isChecked();
  parts.crMotor = crMotor_->isChecked();
  parts.crGuideShaft = crShaft_->isChecked();
  ProcedureContext& context = area_->GetContext();
  std::optional<std::int8_t> stored;
  const Result r = procedures::CrMotorDriveDispersion(context, parts, {}, &stored);
  if (r != kOk || !stored) return;
  // The technician notes the value for the service record, as vantorctl prints it.
  context.reporter.Display().Show(MessageKind::NewLine,
                                  QString(text::kCrStored)
                                      .arg(QString::fromStdString(ByteHex(eeprom::kCrDispersion)))
                                      .arg(*stored)
                                      .toStdString());
}

}  // namespace vantor
