#include "adjust/panels/MaintenancePanels.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "adjust/panels/PanelParts.h"
#include "adjust/panels/RadioGroup.h"
#include "adjust/panels/WindowTimer.h"
#include "adjust/procedures/Procedures.h"

namespace vantor {

namespace {
namespace text {
constexpr const char* kCleaningTitle = "Head cleaning ";
constexpr const char* kCleaningOnOk =
    "CL3(Powerful) cleaning will be done once you press OK button. ";
constexpr const char* kConsumption = "Consumption volume";
constexpr const char* kCleaningBlack = "1/23:      Black ink cartridge";
constexpr const char* kCleaningColor = "1/33:      Color ink cartridge";
constexpr const char* kChargeTitle = "Ink charge ";
constexpr const char* kChargeConsumes = "Ink Charge sequence will consume big ink amount.";
constexpr const char* kChargeRepeat =
    "Re-perform Ink charge if ink out occurs on the way of operation.";
constexpr const char* kChargeBlack = "Black I/C:     1/8";
constexpr const char* kChargeColor = "Color I/C:     1/11";
constexpr const char* kCounterItemsTitle = "Protection counter maintenance ";
constexpr const char* kItems = "Items";
constexpr const char* kCheckCounter = "Checking the present counter";
constexpr const char* kClearCounter = "Clearing the protection counter";
constexpr const char* kCounterCheckTitle = "Checking the protection counter ";
constexpr const char* kMaximum = "Maximum Counter = 49,728 points.";
constexpr const char* kReplaceStandard =
    "34,809 points is the rough standard to replace to the waste ink drain pad.";
constexpr const char* kCounterClearTitle = "Clearing the protection counter ";
constexpr const char* kWhichPad =
    "Which type of the ink pad have you replaced whether new one or old one? ";
constexpr const char* kReplaceFirst =
    "If you don't replace the ink pad, click the following button, then replace current ink pad "
    "with new one, at first. ";
constexpr const char* kOldType = "Old type";
constexpr const char* kNewType = "New type";
constexpr const char* kCleared = "Cleared";
constexpr const char* kPageCounterTitle = "Page counter ";
constexpr const char* kPageCounterCheck = "Check the present page counter.";
constexpr const char* kPassCounterTitle = "Print pass counter ";
constexpr const char* kPassCounterCheck = "Check the present print pass counter.";
constexpr const char* kOk = "OK";
constexpr const char* kPrevious = "Previous";
}  // namespace text

constexpr int kCheckIndex = 0;
constexpr int kClearIndex = 1;

QLabel* Bold(QLabel* label) {
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

}  // namespace

MaintenancePanels::MaintenancePanels() = default;
MaintenancePanels::~MaintenancePanels() = default;

void MaintenancePanels::Build(WorkArea& area) {
  area_ = &area;
  exchange_ = std::make_unique<procedures::ExchangeProcedure>(area.GetContext());
  BuildCleaningAndCharge();
  BuildCounters();
  BuildExchange();
}

void MaintenancePanels::BuildCleaningAndCharge() {
  TitledPanel* cleaning = AddTitledPanel(*area_, "CleaningPnl", text::kCleaningTitle);
  cleaningPnl_ = cleaning;
  cleaning->AddText(text::kCleaningOnOk);
  cleaning->AddText(text::kConsumption);
  cleaning->AddText(text::kCleaningBlack);
  cleaning->AddText(text::kCleaningColor);
  cleaning->Finish();
  QObject::connect(cleaning->AddButton("CleaningOKBtn", text::kOk), &QPushButton::clicked, cleaning,
                   [this] { CleaningOKBtnClick(); });
  area_->SetMenuHandler(MenuItem::HeadCleaning, [this] { area_->ShowPanel(cleaningPnl_); });

  TitledPanel* charge = AddTitledPanel(*area_, "InkChargePnl", text::kChargeTitle);
  inkChargePnl_ = charge;
  charge->AddText(text::kChargeConsumes);
  charge->AddText(text::kChargeRepeat);
  charge->AddText(text::kChargeBlack);
  charge->AddText(text::kChargeColor);
  charge->Finish();
  QObject::connect(charge->AddButton("ChargeOKBtn", text::kOk), &QPushButton::clicked, charge,
                   [this] { ChargeOKBtnClick(); });
  area_->SetMenuHandler(MenuItem::InkCharge, [this] { area_->ShowPanel(inkChargePnl_); });
}

void MaintenancePanels::BuildCounters() {
  TitledPanel* items = AddTitledPanel(*area_, "ProCounterItemsPnl", text::kCounterItemsTitle);
  proCounterItemsPnl_ = items;
  counterRdoBtn_ = new RadioGroup("CounterRdoBtn", text::kItems, items);
  counterRdoBtn_->SetItems({text::kCheckCounter, text::kClearCounter});
  counterRdoBtn_->SetItemIndex(kCheckIndex);
  items->Body()->addWidget(counterRdoBtn_);
  items->Finish();
  QObject::connect(items->AddButton("ProCounterOKBtn", text::kOk), &QPushButton::clicked, items,
                   [this] { ProCounterOKBtnClick(); });
  area_->SetMenuHandler(MenuItem::ProtectionCounter,
                        [this] { area_->ShowPanel(proCounterItemsPnl_); });

  TitledPanel* check = AddTitledPanel(*area_, "ProCounterCheckPnl", text::kCounterCheckTitle);
  proCounterCheckPnl_ = check;
  check->AddText(text::kMaximum);
  check->AddText(text::kReplaceStandard)->setWordWrap(true);
  check->Finish();
  QPushButton* checkBack = check->AddButton("CounterCheckRtnBtn", text::kPrevious);
  QObject::connect(checkBack, &QPushButton::clicked, check, [this] { CounterCheckRtnBtnClick(); });

  TitledPanel* clear = AddTitledPanel(*area_, "NewProCounterClearPnl", text::kCounterClearTitle);
  newProCounterClearPnl_ = clear;
  clear->AddText(text::kWhichPad)->setWordWrap(true);
  auto* warning = new QFrame(clear);
  warning->setObjectName("InkPadWarningBox");
  warning->setFrameStyle(QFrame::Box | QFrame::Plain);
  auto* warningRow = new QHBoxLayout(warning);
  auto* icon = new QLabel(warning);
  icon->setPixmap(clear->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
  warningRow->addWidget(icon, 0, Qt::AlignTop);
  auto* warningText = new QLabel(text::kReplaceFirst, warning);
  warningText->setWordWrap(true);
  warningRow->addWidget(warningText, 1);
  clear->Body()->addWidget(warning);
  clear->Finish();
  QObject::connect(clear->AddButton("OldInkPadClearBtn", text::kOldType), &QPushButton::clicked,
                   clear, [this] { OldInkPadClearBtnClick(); });
  QObject::connect(clear->AddButton("NewInkPadClearBtn", text::kNewType), &QPushButton::clicked,
                   clear, [this] { NewInkPadClearBtnClick(); });
  QPushButton* clearBack = clear->AddButton("CounterClearRtnBtn", text::kPrevious);
  QObject::connect(clearBack, &QPushButton::clicked, clear, [this] { CounterClearRtnBtnClick(); });

  TitledPanel* pages = AddTitledPanel(*area_, "PageCounterPnl", text::kPageCounterTitle);
  pageCounterPnl_ = pages;
  pages->AddText(text::kPageCounterCheck);
  pages->Finish();
  QObject::connect(pages->AddButton("PageCountOKBtn", text::kOk), &QPushButton::clicked, pages,
                   [this] { PageCountOKBtnClick(); });
  area_->SetMenuHandler(MenuItem::PageCounter, [this] { area_->ShowPanel(pageCounterPnl_); });

  TitledPanel* passes = AddTitledPanel(*area_, "PrintPassCountPnl", text::kPassCounterTitle);
  printPassCountPnl_ = passes;
  passes->AddText(text::kPassCounterCheck);
  passes->Finish();
  QObject::connect(passes->AddButton("PrintPassCountOKBtn", text::kOk), &QPushButton::clicked,
                   passes, [this] { PrintPassCountOKBtnClick(); });
  area_->SetMenuHandler(MenuItem::PrintPassCounter,
                        [this] { area_->ShowPanel(printPassCountPnl_); });
}

void MaintenancePanels::BuildExchange() {
  namespace ex = procedures::exchange;
  const QString title = FromView(ex::kTitle);

  TitledPanel* step0 = AddTitledPanel(*area_, "TraStep0Pnl", title);
  traStep0Pnl_ = step0;
  step0->AddText(FromView(ex::kRequiresFourCycles));
  // A single item that nothing reads: OK starts the sequence whatever it shows.
  auto* start = new RadioGroup("MessageSelectRdoGrp", "", step0);
  start->SetItems({FromView(ex::kStart)});
  step0->Body()->addWidget(start);
  step0->Finish();
  QObject::connect(step0->AddButton("MessageOKBtn", text::kOk), &QPushButton::clicked, step0,
                   [this] { MessageOKBtnClick(); });
  area_->SetMenuHandler(MenuItem::Refurbishment, [this] { area_->ShowPanel(traStep0Pnl_); });

  TitledPanel* step1 = AddTitledPanel(*area_, "TraStep1Pnl", title);
  traStep1Pnl_ = step1;
  dischargeStatusLbl_ = Bold(step1->AddText(FromView(ex::kCycleLabels[0])));
  dischargeStatusLbl_->setObjectName("DischargeStatusLbl");
  dischargeProcedure0Lbl_ = step1->AddText(FromView(ex::kRemoveCartridges));
  dischargeProcedure0Lbl_->setObjectName("DischargeProcedure0Lbl");
  dischareProcedure1Lbl_ = step1->AddText(FromView(ex::kRemoveCartridgesOrTubes));
  dischareProcedure1Lbl_->setObjectName("DischareProcedure1Lbl");
  dischareProcedure1Lbl_->hide();
  step1->AddText(FromView(ex::kThenPressOk))->setObjectName("DischargeProcedure2Lbl");
  // Which cycle of four, and the printer work left, on every step.
  leftLbl1_ = step1->AddText(QString());
  leftLbl1_->setObjectName("ExchangeLeftLbl1");
  step1->Finish();
  QObject::connect(step1->AddButton("CRmoveBtn", text::kOk), &QPushButton::clicked, step1,
                   [this] { CRmoveBtnClick(); });

  TitledPanel* step2 = AddTitledPanel(*area_, "TraStep2Pnl", title);
  traStep2Pnl_ = step2;
  step2->AddText(FromView(ex::kInstallLiquid));
  step2->AddText(FromView(ex::kPressOk));
  leftLbl2_ = step2->AddText(QString());
  leftLbl2_->setObjectName("ExchangeLeftLbl2");
  step2->Finish();
  QObject::connect(step2->AddButton("CRreturnBtn", text::kOk), &QPushButton::clicked, step2,
                   [this] { CRreturnBtnClick(); });

  TitledPanel* step3 = AddTitledPanel(*area_, "TraStep3Pnl", title);
  traStep3Pnl_ = step3;
  step3->AddText(FromView(ex::kRemoveCartridges));
  step3->AddText(FromView(ex::kPressOk));
  Bold(step3->AddText(FromView(ex::kFinalOperation)));
  step3->Finish();
  QObject::connect(step3->AddButton("TransCompleteBtn", text::kOk), &QPushButton::clicked, step3,
                   [this] { TransCompleteBtnClick(); });

  TitledPanel* step4 = AddTitledPanel(*area_, "TraStep4Pnl", title);
  traStep4Pnl_ = step4;
  step4->AddText(FromView(ex::kTurnOff));
  step4->AddText(FromView(ex::kPressOk));
  dischargeWaitLbl_ = Bold(step4->AddText(FromView(ex::kWaitTenSeconds)));
  dischargeWaitLbl_->setObjectName("DischargeWaitLbl");
  dischargeCountDownMemo_ = new QPlainTextEdit(step4);
  dischargeCountDownMemo_->setObjectName("DischargeCountDownMemo");
  dischargeCountDownMemo_->setReadOnly(true);
  dischargeCountDownMemo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  dischargeCountDownMemo_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QFont big = dischargeCountDownMemo_->font();
  big.setPointSize(big.pointSize() * 2);
  big.setBold(true);
  dischargeCountDownMemo_->setFont(big);
  dischargeCountDownMemo_->setFixedSize(80, QFontMetrics(big).height() + 16);
  step4->Body()->addWidget(dischargeCountDownMemo_);
  dischargeCompleteLbl_ = Bold(step4->AddText(FromView(ex::kRemoveAcCable)));
  dischargeCompleteLbl_->setObjectName("DischargeCompleteLbl");
  step4->Finish();
  QObject::connect(step4->AddButton("PowerSwOffOKBtn", text::kOk), &QPushButton::clicked, step4,
                   [this] { PowerSwOffOKBtnClick(); });
  for (QWidget* w :
       {static_cast<QWidget*>(dischargeWaitLbl_), static_cast<QWidget*>(dischargeCountDownMemo_),
        static_cast<QWidget*>(dischargeCompleteLbl_)}) {
    w->hide();
  }

  area_->Timer(WindowTimerId::CountDown).SetHandler([this] { CountDownTimerTimer(); });
  area_->Timer(WindowTimerId::CountDown2).SetHandler([this] { CountDownTimer2Timer(); });
}

void MaintenancePanels::ResetInputs() {
  dischargeWaitLbl_->hide();
  dischargeCountDownMemo_->hide();
  dischargeCompleteLbl_->hide();
  // A countdown left running would bring its labels back on another panel's visit.
  area_->Timer(WindowTimerId::CountDown).Stop();
  area_->Timer(WindowTimerId::CountDown2).Stop();
}

void MaintenancePanels::WindowClosing() {
  area_->Timer(WindowTimerId::CountDown).Stop();
  area_->Timer(WindowTimerId::CountDown2).Stop();
}

void MaintenancePanels::ShowOnly(QWidget* panel) {
  area_->ResetWorkArea(false);
  area_->ShowPanel(panel);
}

// --- Cleaning, ink charge, counters ---

void MaintenancePanels::CleaningOKBtnClick() {
  (void)procedures::HeadCleaning(area_->GetContext());
}

void MaintenancePanels::ChargeOKBtnClick() {
  (void)procedures::InkCharge(area_->GetContext());
}

void MaintenancePanels::ProCounterOKBtnClick() {
  const int index = counterRdoBtn_->ItemIndex();
  if (index != kCheckIndex && index != kClearIndex) return;
  area_->ResetWorkArea(false);
  if (index == kCheckIndex) {
    area_->ShowPanel(proCounterCheckPnl_);
    area_->RepaintNow();
    (void)procedures::CheckProtectionCounter(area_->GetContext());
  } else {
    area_->ShowPanel(newProCounterClearPnl_);
  }
}

void MaintenancePanels::CounterCheckRtnBtnClick() {
  ShowOnly(proCounterItemsPnl_);
}

void MaintenancePanels::ClearProtectionCounter(bool newType) {
  if (procedures::ClearProtectionCounter(area_->GetContext(), newType) == kOk)
    area_->SetAdjustedItem(AdjustedItem::ProtectionCounter, text::kCleared);
}

void MaintenancePanels::OldInkPadClearBtnClick() {
  ClearProtectionCounter(false);
}

void MaintenancePanels::NewInkPadClearBtnClick() {
  ClearProtectionCounter(true);
}

void MaintenancePanels::CounterClearRtnBtnClick() {
  ShowOnly(proCounterItemsPnl_);
}

void MaintenancePanels::PageCountOKBtnClick() {
  (void)procedures::ShowPageCounter(area_->GetContext());
}

void MaintenancePanels::PrintPassCountOKBtnClick() {
  (void)procedures::ShowPassCounter(area_->GetContext());
}

// --- Transportation liquid exchange ---

void MaintenancePanels::StayOn(QWidget* panel) {
  if (!panel->isHidden()) return;
  area_->ResetWorkArea(true);
  area_->ShowPanel(panel);
}

void MaintenancePanels::ShowLeft(int cycle, bool airNext) {
  const QString text = QString::fromStdString(exchange_->Left(cycle, airNext));
  for (QLabel* left : {leftLbl1_, leftLbl2_}) left->setText(text);
}

void MaintenancePanels::ShowCycle() {
  dischargeStatusLbl_->setText(FromView(exchange_->CycleLabel()));
  ShowLeft(exchange_->Cycle(), true);
  const bool firstCycle = exchange_->Cycle() == 1;
  dischargeProcedure0Lbl_->setVisible(firstCycle);
  dischareProcedure1Lbl_->setVisible(!firstCycle);
}

// Nothing has moved when the start fails, so the window stays usable.
void MaintenancePanels::MessageOKBtnClick() {
  if (exchange_->Start() != kOk) return;
  ShowOnly(traStep1Pnl_);
  ShowCycle();
  area_->LockWorkflow();
}

void MaintenancePanels::CRmoveBtnClick() {
  const int cycle = exchange_->Cycle();
  if (exchange_->AirExchange() != kOk) return StayOn(traStep1Pnl_);
  ShowLeft(cycle, false);
  ShowOnly(traStep2Pnl_);
}

void MaintenancePanels::CRreturnBtnClick() {
  bool lastCycle = false;
  if (exchange_->LiquidCleaning(lastCycle) != kOk) return StayOn(traStep2Pnl_);
  // After the fourth cycle the labels are ready for the next exchange.
  ShowCycle();
  ShowOnly(lastCycle ? traStep3Pnl_ : traStep1Pnl_);
}

void MaintenancePanels::TransCompleteBtnClick() {
  if (exchange_->Finish() != kOk) return StayOn(traStep3Pnl_);
  ShowOnly(traStep4Pnl_);
  area_->UnlockWorkflow();
  area_->Messages().ShowMessage(MessageKind::Done, procedures::exchange::kInHomePosition);
  // The printer is switched off next: closing the window must not talk to it.
  area_->SetSkipLinkShutdown(true);
}

void MaintenancePanels::PowerSwOffOKBtnClick() {
  area_->Timer(WindowTimerId::CountDown2).Stop();
  dischargeCompleteLbl_->hide();
  dischargeCountDownMemo_->clear();
  dischargeWaitLbl_->show();
  dischargeCountDownMemo_->show();
  countdown_ = procedures::exchange::kCountdownSeconds + 1;
  area_->Timer(WindowTimerId::CountDown).Start();
}

void MaintenancePanels::CountDown(WindowTimerId self, WindowTimerId other) {
  area_->Timer(self).Stop();
  if (countdown_ <= 0) return;
  --countdown_;
  dischargeCountDownMemo_->setPlainText(QString::number(countdown_));
  if (countdown_ == 0) {
    area_->Timer(other).Stop();
    dischargeCompleteLbl_->show();
    return;
  }
  area_->Timer(other).Start();
}

void MaintenancePanels::CountDownTimerTimer() {
  CountDown(WindowTimerId::CountDown, WindowTimerId::CountDown2);
}

void MaintenancePanels::CountDownTimer2Timer() {
  CountDown(WindowTimerId::CountDown2, WindowTimerId::CountDown);
}

}  // namespace vantor
