// The panels of the mechanism corrections: PF adjustment, top margin, CR motor drive dispersion.
#pragma once

#include <memory>
#include <optional>

#include "adjust/panels/WorkflowModule.h"
#include "adjust/procedures/TopMarginProcedure.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace vantor {

class RadioGroup;
class TitledPanel;
class UpDown;

class MechanismPanels final : public WorkflowModule {
 public:
  void Build(WorkArea& area) override;
  void ResetInputs() override;

  // Handlers
  void PFOKBtnClick();
  void PFWriteOKBtnClick();
  void PFRtnBtnClick();
  void PFReadScanBtnClick();
  void TopMarginMainBtnClick();
  void TopMarginWriteOKBtnClick();
  void TopMarginRtnBtnClick();
  void CRHeatProtectOffsetOKBtnClick();

  // topMarginGroup of the window: the ladder of the value last read.
  std::uint16_t TopMarginGroup() const { return topMargin_.group; }

 private:
  void BuildPfPanels();
  void BuildTopMarginPanels();
  void BuildCrDispersionPanel();
  void ShowCrDispersionPanel();

  WorkArea* area_ = nullptr;

  TitledPanel* pfItemsPnl_ = nullptr;
  TitledPanel* pfAdjustPnl_ = nullptr;
  RadioGroup* pfRdo_ = nullptr;
  QLineEdit* pfEdit_ = nullptr;
  UpDown* pfUpDown_ = nullptr;
  QLabel* pfScan_ = nullptr;  // what a scan read
  // The value the last PF print was made around and the one stored now, as seen here.
  std::optional<int> pfPrintedWith_;
  std::optional<int> pfStored_;

  TitledPanel* topMarginMainPnl_ = nullptr;
  TitledPanel* topMarginPnl_ = nullptr;
  RadioGroup* topMarginRdo_ = nullptr;
  QComboBox* topMarginCombo_ = nullptr;
  procedures::TopMarginList topMargin_;

  TitledPanel* crPnl_ = nullptr;
  QCheckBox* mainBoard_ = nullptr;
  QCheckBox* psBoard_ = nullptr;
  QCheckBox* crMotor_ = nullptr;
  QCheckBox* crShaft_ = nullptr;
};

}  // namespace vantor
