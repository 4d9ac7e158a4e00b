// The maintenance tab: cleaning, ink charge, the counters and the transportation liquid exchange.
#pragma once

#include <memory>

#include "adjust/panels/WorkflowModule.h"
#include "adjust/procedures/ExchangeProcedure.h"

class QLabel;
class QPlainTextEdit;
class QWidget;

namespace vantor {

class RadioGroup;

class MaintenancePanels final : public WorkflowModule {
 public:
  MaintenancePanels();
  ~MaintenancePanels() override;

  void Build(WorkArea& area) override;
  void ResetInputs() override;
  void WindowClosing() override;

  void CleaningOKBtnClick();
  void ChargeOKBtnClick();
  void ProCounterOKBtnClick();
  void CounterCheckRtnBtnClick();
  void OldInkPadClearBtnClick();
  void NewInkPadClearBtnClick();
  void CounterClearRtnBtnClick();
  void PageCountOKBtnClick();
  void PrintPassCountOKBtnClick();
  void MessageOKBtnClick();
  void CRmoveBtnClick();
  void CRreturnBtnClick();
  void TransCompleteBtnClick();
  void PowerSwOffOKBtnClick();
  void CountDownTimerTimer();
  void CountDownTimer2Timer();

  std::uint32_t ExchangeStep() const { return exchange_ ? exchange_->ExchangeStep() : 0; }

 private:
  void BuildCleaningAndCharge();
  void BuildCounters();
  void BuildExchange();
  void ShowOnly(QWidget* panel);
  void ClearProtectionCounter(bool newType);
  // A failed step keeps its panel, even when an error state has cleared the work area.
  void StayOn(QWidget* panel);
  void ShowCycle();
  void ShowLeft(int cycle, bool airNext);
  void CountDown(WindowTimerId self, WindowTimerId other);

  WorkArea* area_ = nullptr;
  std::unique_ptr<procedures::ExchangeProcedure> exchange_;

  QWidget* cleaningPnl_ = nullptr;
  QWidget* inkChargePnl_ = nullptr;
  QWidget* proCounterItemsPnl_ = nullptr;
  QWidget* proCounterCheckPnl_ = nullptr;
  QWidget* newProCounterClearPnl_ = nullptr;
  QWidget* pageCounterPnl_ = nullptr;
  QWidget* printPassCountPnl_ = nullptr;
  RadioGroup* counterRdoBtn_ = nullptr;

  QWidget* traStep0Pnl_ = nullptr;
  QWidget* traStep1Pnl_ = nullptr;
  QWidget* traStep2Pnl_ = nullptr;
  QWidget* traStep3Pnl_ = nullptr;
  QWidget* traStep4Pnl_ = nullptr;
  QLabel* dischargeStatusLbl_ = nullptr;
  QLabel* leftLbl1_ = nullptr;
  QLabel* leftLbl2_ = nullptr;
  QLabel* dischargeProcedure0Lbl_ = nullptr;
  QLabel* dischareProcedure1Lbl_ = nullptr;
  QLabel* dischargeWaitLbl_ = nullptr;
  QPlainTextEdit* dischargeCountDownMemo_ = nullptr;
  QLabel* dischargeCompleteLbl_ = nullptr;
  // Seconds still to show; the tick that shows 0 ends the countdown.
  int countdown_ = 0;
};

}  // namespace vantor
