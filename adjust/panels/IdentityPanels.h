// EEPROM initialization, head ID and USB ID: the identity data registered after a part change.
#pragma once

#include <memory>
#include <string_view>

#include "adjust/panels/WorkflowModule.h"

class QLineEdit;
class QWidget;

namespace vantor {

class RadioGroup;

class IdentityPanels final : public WorkflowModule {
 public:
  ~IdentityPanels() override;

  void Build(WorkArea& area) override;
  void ResetInputs() override;

  void DefaultSetBtnClick();
  void HdVolOKBtnClick();
  void HeadIDInputOKBtnClick();
  void HeadIDInputRtnBtnClick();
  void UsbIdOKBtnClick();
  void UsbIdInputOKBtnClick();
  void UsbIdInputRtnBtnClick();

 private:
  void BuildEepromInit();
  void BuildHeadId();
  void BuildUsbId();
  void ShowOnly(QWidget* panel);
  void ShowUsbIdField(std::string_view serial, std::string_view rest);

  WorkArea* area_ = nullptr;
  QWidget* defaultSetPnl_ = nullptr;
  QWidget* headIdItemsPnl_ = nullptr;
  QWidget* headIdInputPnl_ = nullptr;
  QWidget* usbIdItemsPnl_ = nullptr;
  QWidget* usbIdInputPnl_ = nullptr;
  RadioGroup* hdVolRdoBtn_ = nullptr;
  RadioGroup* usbIdRdoGrp_ = nullptr;
  QLineEdit* leftHeadIdInputEdit_ = nullptr;
  QLineEdit* originalUsbIdInputEdit_ = nullptr;
  QLineEdit* usbIdInputEdit_ = nullptr;
};

}  // namespace vantor
