// The EEPROM view and single-byte change of the appendix, and the A4 check-pattern print.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "adjust/panels/WorkflowModule.h"

class QLineEdit;
class QAction;
class QTableWidget;
class QWidget;

namespace vantor {

class RadioGroup;

class EepromPanels final : public WorkflowModule {
 public:
  ~EepromPanels() override;

  void Build(WorkArea& area) override;
  void ResetInputs() override;

  void EepromItemsOKBtnClick();
  void EepromReadOkBtnClick();
  void EepromReadRtnBtnClick();
  void EepromGridRtnBtnClick();
  void EepromWriteOkBtnClick();
  void EepromWriteRtnBtnClick();
  void A3PPrintOKBtnClick();

 private:
  void BuildItems();
  void BuildCheck();
  void BuildGrid();
  void BuildChange();
  void BuildCheckPattern();
  void ShowOnly(QWidget* panel);
  void ShowCheckPanel();
  void EmptyCells();
  // The table as text for the clipboard: a row per sixteen bytes, "--" where none was read.
  QString TableText() const;
  void SaveBackupImage();

  WorkArea* area_ = nullptr;
  QWidget* eepromItemsPnl_ = nullptr;
  QWidget* eepromCheckPnl_ = nullptr;
  QWidget* eepromGridPnl_ = nullptr;
  QWidget* eepromChangePnl_ = nullptr;
  QWidget* a3pPrintPnl_ = nullptr;
  RadioGroup* eepromCheckRdoGrp_ = nullptr;
  QLineEdit* eepReadBegEdit_ = nullptr;
  QLineEdit* eepReadEndEdit_ = nullptr;
  QLineEdit* eepWriteAddEdit_ = nullptr;
  QLineEdit* eepWriteDataEdit_ = nullptr;
  QTableWidget* eepromStrGrid_ = nullptr;
  QAction* saveAct_ = nullptr;
  // What the last read brought, by address.
  std::array<std::optional<std::uint8_t>, 256> read_{};
};

}  // namespace vantor
