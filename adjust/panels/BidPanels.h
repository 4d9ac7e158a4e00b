// The "Bi-D adjust" panels: print the pattern, enter and write the eight values, show them.
#pragma once

#include <array>
#include <memory>
#include <optional>

#include "adjust/panels/WorkflowModule.h"
#include "adjust/procedures/BidProcedure.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vantor {

class RadioGroup;
class TitledPanel;
class UpDown;

class BidPanels final : public WorkflowModule {
 public:
  void Build(WorkArea& area) override;
  void ResetInputs() override;

  // Handlers
  void BidOKBtnClick();
  void BidWrtOKBtnClick();
  void BidWrtRtnBtnClick();
  void BidReadScanBtnClick();

 private:
  struct Row {
    QCheckBox* check = nullptr;
    QLineEdit* edit = nullptr;
    UpDown* upDown = nullptr;
    QLabel* scan = nullptr;  // what a scan read for the row
  };
  using Values = std::array<int, procedures::kBidRowCount>;

  void BuildItemsPanel();
  void BuildInputPanel();
  void Adjust();

  WorkArea* area_ = nullptr;
  TitledPanel* itemsPnl_ = nullptr;
  TitledPanel* inputPnl_ = nullptr;
  RadioGroup* itemsRdo_ = nullptr;
  std::array<Row, procedures::kBidRowCount> rows_{};
  // The panel's memory of the printer: the values its last print was made around and those
  // stored now, as far as this window has seen them.
  std::optional<Values> printedWith_;
  std::optional<Values> stored_;
};

}  // namespace vantor
