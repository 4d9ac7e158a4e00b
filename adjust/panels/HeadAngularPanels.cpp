#include "adjust/panels/HeadAngularPanels.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>

#include "adjust/panels/PanelParts.h"
#include "adjust/panels/RadioGroup.h"
#include "adjust/panels/WindowTimer.h"
#include "adjust/procedures/HeadAngleProcedure.h"

namespace vantor {

namespace {
namespace text {
constexpr const char* kTitle = "Head angular adjustment ";
constexpr const char* kItems = "Items";
constexpr const char* kPrintItem = "Printing the head angle pattern";
constexpr const char* kAdjusting = "Adjusting the head angle";
constexpr const char* kNoNeed = "No need to adjust";
constexpr const char* kLeverNote = "(Changing head angle lever.)";
constexpr const char* kSelectVersion = "Select the printer version.";
constexpr const char* kNew = "New";
constexpr const char* kOld = "Old";
constexpr const char* kOk = "OK";

constexpr std::array<const char*, 2> kFastenerChoice = {
    "1. If previous \"FASTENER, HEAD\" is mounted,     select \"Old\".",
    "2. If new \"FASTENER, HEAD\" is mounted,              select \"New\".",
};
constexpr std::array<const char*, 12> kNewSteps = {
    "1. Press Ink SW.(Do not press it more 2 seconds.)",
    "2. Remove all I/Cs.",
    "3. Remove \"SPRING, CARTRIDGE\" from bottom of carriage.(1st operation only.)",
    "4. Loosen a left screw.(Do not remove it completely.)",
    "5. Loosen a right screw.(Do not remove it completely.)",
    "6. Change head angle adjust lever position.",
    "7. Push the both edges of \"FASTENER, HEAD\" towards inner side.",
    "8. Tighten a right screw with pushing \"FASTENER, HEAD\".",
    "9. Tighten a left screw with pushing \"FASTENER, HEAD\".",
    "10. Install all I/Cs.",
    "11. Press Ink SW.",
    "12. After completing CL, next check print will start.",
};
constexpr std::array<const char*, 11> kOldSteps = {
    "1. Press Ink SW.(Do not press it more 2 seconds.)",
    "2. Remove all I/Cs.",
    "3. Loosen a left screw.(Do not remove it completely.)",
    "4. Loosen a right screw.(Do not remove it completely.)",
    "5. Change head angle adjust lever position.",
    "6. Push the both edges of \"FASTENER, HEAD\" towards inner side.",
    "7. Tighten a right screw with pushing \"FASTENER, HEAD\".",
    "8. Tighten a left screw with pushing \"FASTENER, HEAD\".",
    "9. Install all I/Cs.",
    "10. Press Ink SW.",
    "11. After completing CL, next check print will start.",
};
constexpr std::array<const char*, 6> kCompleteSteps = {
    "1. Press Ink SW.(Do not press it more 2 seconds.)",
    "2. Remove all I/Cs.",
    "3. Install \"SPRING, CARTRIDGE\" to bottom of carriage.",
    "4. Install all I/Cs.",
    "5. Press Ink SW.",
    "6. Press OK bellow to return.",
};
}  // namespace text

enum Decision { kAdjustingItem = 0, kNoNeedItem = 1 };

template <std::size_t N>
void AddLines(TitledPanel* panel, const std::array<const char*, N>& lines) {
  for (const char* line : lines) panel->AddText(line);
}
}  // namespace

void HeadAngularPanels::Build(WorkArea& area) {
  area_ = &area;
  BuildPanels();
  area.Timer(WindowTimerId::HeadAngGetStatus).SetHandler([this] { HeadAngGetStatusTimerTimer(); });
  area.SetMenuHandler(MenuItem::HeadAngular, [this] { area_->ShowPanel(itemsPnl_); });
}

void HeadAngularPanels::BuildPanels() {
  itemsPnl_ = AddTitledPanel(*area_, "HdAngItemsPnl", text::kTitle);
  itemsRdo_ = new RadioGroup("HdAngItemsRdoGrp", text::kItems, itemsPnl_);
  itemsRdo_->SetItems({text::kPrintItem});
  itemsRdo_->SetItemIndex(0);
  itemsPnl_->Body()->addWidget(itemsRdo_);
  itemsPnl_->Finish();
  QObject::connect(itemsPnl_->AddButton("HdAngItemsOKBtn", text::kOk), &QPushButton::clicked,
                   [this] { HdAngItemsOKBtnClick(); });

  step1Pnl_ = AddTitledPanel(*area_, "HdAngStep1Pnl", text::kTitle);
  adjustRdo_ = new RadioGroup("HdAngAdjustRdoGrp", text::kItems, step1Pnl_);
  adjustRdo_->SetItems({text::kAdjusting, text::kNoNeed});
  adjustRdo_->SetItemIndex(kAdjustingItem);
  auto* decisionRow = new QHBoxLayout;
  decisionRow->addWidget(adjustRdo_);
  decisionRow->addWidget(new QLabel(text::kLeverNote, step1Pnl_), 0, Qt::AlignTop);
  decisionRow->addStretch(1);
  step1Pnl_->Body()->addLayout(decisionRow);
  step1Pnl_->Finish();
  QObject::connect(step1Pnl_->AddButton("HdAngStep1OKBtn", text::kOk), &QPushButton::clicked,
                   [this] { HdAngStep1OKBtnClick(); });

  selectPnl_ = AddTitledPanel(*area_, "HeadAngSusPlateSelectPnl", text::kTitle);
  selectPnl_->AddText(text::kSelectVersion);
  AddLines(selectPnl_, text::kFastenerChoice);
  fastenerRdo_ = new RadioGroup("SusPlateSelectRdoGrp", text::kItems, selectPnl_);
  fastenerRdo_->SetItems({text::kNew, text::kOld});
  fastenerRdo_->SetItemIndex(kNewFastener);
  selectPnl_->Body()->addWidget(fastenerRdo_);
  selectPnl_->Finish();
  QObject::connect(selectPnl_->AddButton("SusPlateSelectOKBtn", text::kOk), &QPushButton::clicked,
                   [this] { SusPlateSelectOKBtnClick(); });

  newPnl_ = AddTitledPanel(*area_, "HeadAngNewPnl", text::kTitle);
  AddLines(newPnl_, text::kNewSteps);
  newPnl_->Finish();

  oldPnl_ = AddTitledPanel(*area_, "HeadAngOldPnl", text::kTitle);
  AddLines(oldPnl_, text::kOldSteps);
  oldPnl_->Finish();

  completePnl_ = AddTitledPanel(*area_, "HeadAngCompletePnl", text::kTitle);
  AddLines(completePnl_, text::kCompleteSteps);
  completePnl_->Finish();
  QPushButton* complete = completePnl_->AddButton("HeadAngCompleteBtn", text::kOk);
  QObject::connect(complete, &QPushButton::clicked, [this] { HeadAngCompleteBtnClick(); });
  area_->AddCancelButton(complete);
}

Result HeadAngularPanels::CheckPrint() {
  return procedures::PrintHeadAngleCheck(area_->GetContext());
}

void HeadAngularPanels::HdAngItemsOKBtnClick() {
  if (itemsRdo_->ItemIndex() != 0) return;
  area_->ResetWorkArea(false);
  area_->ShowPanel(step1Pnl_);
  area_->LockWorkflow();
  (void)CheckPrint();
}

void HeadAngularPanels::EndWorkflow() {
  area_->ShowPanel(itemsPnl_);
  // Unlocked even when the eject fails: its words are shown and the items panel is back.
  (void)procedures::EjectHeadAngleSheet(area_->GetContext());
  headAngleAdjusting_ = false;
  area_->UnlockWorkflow();
}

void HeadAngularPanels::HdAngStep1OKBtnClick() {
  const int choice = adjustRdo_->ItemIndex();
  if (choice != kAdjustingItem && choice != kNoNeedItem) return;
  area_->ResetWorkArea(false);
  WindowTimer& watch = area_->Timer(WindowTimerId::HeadAngGetStatus);
  if (choice == kAdjustingItem) {
    if (!headAngleAdjusting_) {
      area_->ShowPanel(selectPnl_);
    } else {
      area_->ShowPanel(fastenerType_ == kOldFastener ? oldPnl_ : newPnl_);
      watch.Start();
    }
    return;
  }
  adjustRdo_->SetItemIndex(kAdjustingItem);
  if (headAngleAdjusting_ && fastenerType_ == kNewFastener) {
    // The spring taken off for the new fastener goes back before the sheet comes out.
    area_->ShowPanel(completePnl_);
    return;
  }
  EndWorkflow();
}

void HeadAngularPanels::SusPlateSelectOKBtnClick() {
  const int choice = fastenerRdo_->ItemIndex();
  if (choice != kNewFastener && choice != kOldFastener) return;
  area_->ResetWorkArea(false);
  fastenerType_ = choice;
  area_->ShowPanel(choice == kOldFastener ? oldPnl_ : newPnl_);
  area_->Timer(WindowTimerId::HeadAngGetStatus).Start();
  headAngleAdjusting_ = true;
}

void HeadAngularPanels::HeadAngGetStatusTimerTimer() {
  switch (procedures::WatchHeadAngleStatus(area_->GetContext())) {
    case procedures::HeadAngleWatch::Cleaning:
      PrintAfterCleaning();
      return;
    case procedures::HeadAngleWatch::Ready:
      area_->LockWorkflow();
      return;
    case procedures::HeadAngleWatch::Error:
      area_->ResetWorkArea(false);
      area_->ShowPanel(itemsPnl_);
      area_->Messages().ShowPrinterError();
      area_->UnlockWorkflow();
      area_->Timer(WindowTimerId::HeadAngGetStatus).Stop();
      return;
    case procedures::HeadAngleWatch::ReadFailed:
    case procedures::HeadAngleWatch::Unsettled:
      return;
  }
}

void HeadAngularPanels::PrintAfterCleaning() {
  if (procedures::AwaitEndOfCleaning(area_->GetContext()) != kOk) return;
  area_->ResetWorkArea(false);
  area_->ShowPanel(step1Pnl_);
  // A failed print is reported and the watch goes on, so the next cleaning prints again.
  if (CheckPrint() != kOk) return;
  // The window stays locked until the sheet is out: the workflow is not over yet.
  area_->Timer(WindowTimerId::HeadAngGetStatus).Stop();
}

void HeadAngularPanels::HeadAngCompleteBtnClick() {
  area_->ResetWorkArea(false);
  EndWorkflow();
}

void HeadAngularPanels::WindowClosing() {
  area_->Timer(WindowTimerId::HeadAngGetStatus).Stop();
  // The next visit may be another printer with another fastener.
  headAngleAdjusting_ = false;
  fastenerType_ = kNewFastener;
  adjustRdo_->SetItemIndex(kAdjustingItem);
}

}  // namespace vantor
