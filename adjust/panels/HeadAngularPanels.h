// The "Head angular" panels: check print, decision, fastener choice, the mechanical steps and
// the status watch that prints again after the cleaning the ink switch starts.
#pragma once

#include <memory>

#include "adjust/panels/WorkflowModule.h"

namespace vantor {

class RadioGroup;
class TitledPanel;

class HeadAngularPanels final : public WorkflowModule {
 public:
  enum FastenerType { kNewFastener = 0, kOldFastener = 1 };

  void Build(WorkArea& area) override;
  void WindowClosing() override;

  // Handlers
  void HdAngItemsOKBtnClick();
  void HdAngStep1OKBtnClick();
  void SusPlateSelectOKBtnClick();
  void HeadAngGetStatusTimerTimer();
  void HeadAngCompleteBtnClick();

  bool HeadAngleAdjusting() const { return headAngleAdjusting_; }
  int Fastener() const { return fastenerType_; }

 private:
  void BuildPanels();
  Result CheckPrint();  // its failure has been shown
  // The decision panel again after a print; the watch has seen the cleaning.
  void PrintAfterCleaning();
  void EndWorkflow();

  WorkArea* area_ = nullptr;
  TitledPanel* itemsPnl_ = nullptr;
  TitledPanel* step1Pnl_ = nullptr;
  TitledPanel* selectPnl_ = nullptr;
  TitledPanel* newPnl_ = nullptr;
  TitledPanel* oldPnl_ = nullptr;
  TitledPanel* completePnl_ = nullptr;
  RadioGroup* itemsRdo_ = nullptr;
  RadioGroup* adjustRdo_ = nullptr;
  RadioGroup* fastenerRdo_ = nullptr;

  bool headAngleAdjusting_ = false;
  int fastenerType_ = kNewFastener;
};

}  // namespace vantor
