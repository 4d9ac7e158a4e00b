#include "adjust/panels/Malformadjust.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "adjust/panels/DialogService.h"
#include "adjust/panels/PanelParts.h"
#include "adjust/panels/RadioGroup.h"
#include "adjust/procedures/EepromImage.h"
#include "link/PacketChannel.h"
#include "words/Words.h"

namespace vantor {

namespace {
namespace text {
constexpr const char* kCaption = " Individual Adjustment Program";
constexpr const char* kAdjustmentTab = "Adjustment";
constexpr const char* kMaintenanceTab = "Maintenance";
constexpr const char* kPatternTab = "Check pattern printing";
constexpr const char* kAppendixTab = "Appendix";
constexpr const char* kAdjustmentItems = "Adjustment items";
constexpr const char* kMaintenanceItems = "Maintenance items";
constexpr const char* kPatternItems = "Check pattern printing items";
constexpr const char* kAppendixItems = "Appendix items";
constexpr const char* kQuit = "Quit";
constexpr const char* kStatus = "Status";
constexpr const char* kProgramMiss = "program miss!!";
constexpr const char* kAdjustedItems = "Adjusted items";
constexpr const char* kHeadId = "Head ID";
constexpr const char* kBidValues = "Bi-D Adjustment value";
constexpr const char* kBlack = "Black";
constexpr const char* kColor = "Color";
constexpr const char* kUsbId = "USB ID";
constexpr const char* kProtectionCounter = "Protection counter";
constexpr const char* kTopMargin = "Top Margin";
constexpr const char* kPf = "PF Adjustment value";
}  // namespace text

// Every menu item once, in menu order, with the forms of the window that offer it: the start
// window's list until the first status read, the full form, and the error-state form, which
// offers only what prints nothing.
constexpr unsigned kStart = 1, kFull = 2, kErrorState = 4,
                   kEveryForm = kStart | kFull | kErrorState;
struct MenuRow {
  TFormAdjust::Menu menu;
  const char* text;
  MenuItem item;
  unsigned forms;
};
constexpr auto kAdjust = TFormAdjust::kAdjustMenu, kMaint = TFormAdjust::kMaintMenu,
               kPattern = TFormAdjust::kPatternMenu, kAppendix = TFormAdjust::kAppendixMenu;
constexpr MenuRow kMenuRows[] = {
    {kAdjust, "EEPROM initialization", MenuItem::EepromInit, kFull | kErrorState},
    {kAdjust, "Head ID", MenuItem::HeadId, kEveryForm},
    {kAdjust, "CR Motor Drive Dispersion", MenuItem::CrDispersion, kStart | kFull},
    {kAdjust, "Head angular", MenuItem::HeadAngular, kStart | kFull},
    {kAdjust, "Bi-D adjust", MenuItem::Bid, kStart | kFull},
    {kAdjust, "PF adjust", MenuItem::Pf, kStart | kFull},
    {kAdjust, "USB ID", MenuItem::UsbId, kEveryForm},
    {kAdjust, "Top margin", MenuItem::TopMargin, kStart | kFull},
    {kAdjust, "First dot position", MenuItem::FirstDotPosition, kStart},
    {kAdjust, "Protection counter", MenuItem::ProtectionCounter, kErrorState},
    {kAdjust, "EEPROM data", MenuItem::EepromData, kErrorState},
    {kMaint, "Head cleaning", MenuItem::HeadCleaning, kEveryForm},
    {kMaint, "Ink charge", MenuItem::InkCharge, kEveryForm},
    {kMaint, "Refurbishment for DOA", MenuItem::Refurbishment, kEveryForm},
    {kMaint, "Protection counter", MenuItem::ProtectionCounter, kEveryForm},
    {kMaint, "Page counter", MenuItem::PageCounter, kEveryForm},
    {kMaint, "Print pass counter", MenuItem::PrintPassCounter, kEveryForm},
    {kPattern, "A4 normal paper printing", MenuItem::A4Pattern, kEveryForm},
    {kAppendix, "EEPROM data", MenuItem::EepromData, kEveryForm},
};

QLabel* ValueField(const char* objectName, QWidget* parent) {
  auto* field = new QLabel(parent);
  field->setObjectName(objectName);
  field->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  field->setMinimumWidth(60);
  field->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return field;
}

}  // namespace

TFormAdjust::TFormAdjust(SessionHandle& session, DialogService& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window),
      session_(session),
      context_(session.ContextFor(*this, this)),
      link_(context_.link),
      dialogs_(dialogs),
      reporter_(context_.reporter) {
  setObjectName("TFormAdjust");
  setWindowTitle(text::kCaption);

  modelLbl_ = new QLabel(this);
  modelLbl_->setObjectName("SelectPrinterNameLbl");
  QFont modelFont = modelLbl_->font();
  modelFont.setPointSize(modelFont.pointSize() + 4);
  modelFont.setBold(true);
  modelLbl_->setFont(modelFont);

  tab_ = new QTabWidget(this);
  tab_->setObjectName("AdjustmentTab");
  const std::array<std::pair<const char*, const char*>, kMenuCount> sheets = {{
      {text::kAdjustmentTab, text::kAdjustmentItems},
      {text::kMaintenanceTab, text::kMaintenanceItems},
      {text::kPatternTab, text::kPatternItems},
      {text::kAppendixTab, text::kAppendixItems},
  }};
  const std::array<const char*, kMenuCount> groupNames = {
      "AdjustRdoGrp", "MaintRdoGrp", "PatternPrnItemsRdoGrp", "AppendixRdoGrp"};
  for (int i = 0; i < kMenuCount; ++i) {
    auto* sheet = new QWidget(tab_);
    sheet->setObjectName(QString("TabSheet%1").arg(i + 1));
    menus_[i] = new RadioGroup(groupNames[i], sheets[i].second, sheet);
    auto* sheetLayout = new QVBoxLayout(sheet);
    sheetLayout->addWidget(menus_[i]);
    tab_->addTab(sheet, sheets[i].first);
    const auto menu = static_cast<Menu>(i);
    connect(menus_[i], &RadioGroup::Clicked, this,
            [this, menu](int index) { MenuClick(menu, index); });
  }
  connect(tab_, &QTabWidget::currentChanged, this, &TFormAdjust::AdjustmentTabChange);
  // All four captions in view (a hidden tab would hide its menu), down the left edge: across
  // the top they would take the width the panels need beside the console.
  tab_->setUsesScrollButtons(false);
  tab_->setTabPosition(QTabWidget::West);
  for (Menu m : {kAdjustMenu, kMaintMenu, kPatternMenu, kAppendixMenu}) FillMenu(m, kFull);

  workArea_ = new QWidget(this);
  workArea_->setObjectName("WorkArea");
  workLayout_ = new QGridLayout(workArea_);
  workLayout_->setContentsMargins(0, 0, 0, 0);
  canvas_ = new QFrame(workArea_);
  canvas_->setObjectName("CanvasPanel");
  canvas_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  canvas_->setMinimumSize(480, 300);
  workLayout_->addWidget(canvas_, 0, 0);

  messages_ = new MessageArea(link_.channel.GetClock(), this);
  dialogs_.Observe([this](bool open) { messages_->HoldWaitLine(open); });

  auto* adjusted = new QGroupBox(text::kAdjustedItems, this);
  adjusted->setObjectName("Panel8");
  BuildAdjustedItemsPanel(adjusted);

  statusBtn_ = new QPushButton(text::kStatus, this);
  statusBtn_->setObjectName("GetStatusBtn");
  rtnBtn_ = new QPushButton(text::kQuit, this);
  rtnBtn_->setObjectName("AdjustRtnBtn");
  connect(statusBtn_, &QPushButton::clicked, this, &TFormAdjust::GetStatusBtnClick);
  connect(rtnBtn_, &QPushButton::clicked, this, &TFormAdjust::AdjustRtnBtnClick);
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &TFormAdjust::EscapePressed);
  qApp->installEventFilter(this);

  // Panels taller or wider than the room scroll inside it: the window keeps its size from panel
  // to panel and fits small screens.
  workScroll_ = new QScrollArea(this);
  workScroll_->setObjectName("WorkScroll");
  workScroll_->setFrameShape(QFrame::NoFrame);
  workScroll_->setWidgetResizable(true);
  workScroll_->setWidget(workArea_);
  auto* centre = new QVBoxLayout;
  centre->addWidget(workScroll_, 1);
  centre->addWidget(messages_);
  auto* right = new QVBoxLayout;
  right->addWidget(adjusted);
  right->addStretch();
  right->addWidget(statusBtn_);
  right->addWidget(rtnBtn_);
  auto* body = new QHBoxLayout;
  body->addWidget(tab_);
  body->addLayout(centre, 1);
  body->addLayout(right);
  // On a screen too small even for the window's frame of menus and buttons (a large scale), the
  // whole window scrolls.
  auto* whole = new QWidget;
  auto* layout = new QVBoxLayout(whole);
  layout->addWidget(modelLbl_);
  layout->addLayout(body, 1);
  auto* wholeScroll = new QScrollArea(this);
  wholeScroll->setObjectName("WindowScroll");
  wholeScroll->setFrameShape(QFrame::NoFrame);
  wholeScroll->setWidgetResizable(true);
  wholeScroll->setWidget(whole);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(wholeScroll);

  disableTimer_ = new WindowTimer("DisableTimer", this);
  headAngTimer_ = new WindowTimer("HeadAngGetStatusTimer", this);
  countDownTimer_ = new WindowTimer("CountDownTimer", this);
  countDownTimer2_ = new WindowTimer("CountDownTimer2", this);
  disableTimer_->SetHandler([this] { DisableTimerTimer(); });

  ResetWorkArea(false);
  ShowCanvas();
  ArrangeTabOrder();
  FitToScreen();
  // Runs from creation: the window is enabled at its first tick.
  disableTimer_->Start();
}

// Wide enough for every panel at 100 %, and narrow enough to leave the virtual printer's console
// room beside it on a 1600 px screen. Smaller screens get what they have; panels then scroll.
void TFormAdjust::FitToScreen() {
  constexpr QSize kPreferred(1150, 660);
  // The window system's title bar and borders are not known before the first show.
  constexpr QSize kFrame(16, 48);
  QSize size = kPreferred;
  QPoint place(0, 0);
  if (const QScreen* s = screen()) {
    const QRect room = s->availableGeometry();
    size = size.boundedTo(room.size() - kFrame);
    place = room.topLeft();
  }
  resize(size.expandedTo(minimumSizeHint()));
  move(place);
}

TFormAdjust::~TFormAdjust() {
  link_.channel.SetPaperOutNotifier(nullptr);
}

void TFormAdjust::BuildAdjustedItemsPanel(QWidget* panel) {
  auto* grid = new QGridLayout(panel);
  int row = 0;
  auto addRow = [&](const char* caption, const char* name, AdjustedItem item) {
    grid->addWidget(new QLabel(caption, panel), row, 0);
    adjusted_[item] = ValueField(name, panel);
    grid->addWidget(adjusted_[item], row, 1, 1, 2);
    ++row;
  };
  addRow(text::kHeadId, "ShowHdVolIDPnl", AdjustedItem::HeadId);

  grid->addWidget(new QLabel(text::kBidValues, panel), row++, 0, 1, 3);
  grid->addWidget(new QLabel(text::kBlack, panel), row, 1, Qt::AlignCenter);
  grid->addWidget(new QLabel(text::kColor, panel), row, 2, Qt::AlignCenter);
  ++row;
  struct BidRow {
    const char* caption;
    const char* black;
    const char* color;
    AdjustedItem blackItem, colorItem;
  };
  const BidRow bidRows[] = {
      {"VSD1", "ShowVSD1BkPnl", "ShowVSD1ClPnl", AdjustedItem::Vsd1Black, AdjustedItem::Vsd1Color},
      {"VSD2", "ShowVSD2BkPnl", "ShowVSD2ClPnl", AdjustedItem::Vsd2Black, AdjustedItem::Vsd2Color},
      {"VSD3", "ShowVSD3BkPnl", "ShowVSD3ClPnl", AdjustedItem::Vsd3Black, AdjustedItem::Vsd3Color},
      {"ECO", "ShowEcoBkPnl", "ShowEcoClPnl", AdjustedItem::EcoBlack, AdjustedItem::EcoColor},
  };
  for (const BidRow& r : bidRows) {
    grid->addWidget(new QLabel(r.caption, panel), row, 0);
    adjusted_[r.blackItem] = ValueField(r.black, panel);
    adjusted_[r.colorItem] = ValueField(r.color, panel);
    grid->addWidget(adjusted_[r.blackItem], row, 1);
    grid->addWidget(adjusted_[r.colorItem], row, 2);
    ++row;
  }
  addRow(text::kUsbId, "ShowUSBIDLbl", AdjustedItem::UsbId);
  addRow(text::kProtectionCounter, "ShowProCounterPnl", AdjustedItem::ProtectionCounter);
  addRow(text::kTopMargin, "ShowTopMarginPnl", AdjustedItem::TopMargin);
  addRow(text::kPf, "ShowPFPnl", AdjustedItem::Pf);
}

void TFormAdjust::AddModule(std::unique_ptr<WorkflowModule> module) {
  module->Build(*this);
  modules_.push_back(std::move(module));
  ArrangeTabOrder();
}

void TFormAdjust::FillMenu(Menu menu, unsigned form) {
  QStringList texts;
  menuItems_[menu].clear();
  for (const MenuRow& row : kMenuRows) {
    if (row.menu != menu || (row.forms & form) == 0) continue;
    texts.append(row.text);
    menuItems_[menu].push_back(row.item);
  }
  menus_[menu]->SetItems(texts);
  // New items join the end of the focus chain; the first fills run before there is a work area.
  if (workArea_ != nullptr) ArrangeTabOrder();
}

void TFormAdjust::ArrangeTabOrder() {
  std::vector<QWidget*> menus;
  std::vector<QWidget*> work;
  std::vector<QWidget*> rest;
  for (QWidget* w = nextInFocusChain(); w != this; w = w->nextInFocusChain()) {
    if ((w->focusPolicy() & Qt::TabFocus) == 0 || w->focusProxy() != nullptr || w->isWindow())
      continue;
    if (tab_->isAncestorOf(w)) {
      menus.push_back(w);
    } else if (workArea_->isAncestorOf(w)) {
      work.push_back(w);
    } else {
      rest.push_back(w);
    }
  }
  std::vector<QWidget*> order = std::move(menus);
  order.insert(order.end(), work.begin(), work.end());
  order.insert(order.end(), rest.begin(), rest.end());
  for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

// --- Start window hand-over ---

void TFormAdjust::PrepareForModel(Model model, ServiceRecorder* record) {
  modelLbl_->setText(FromView(ModelName(model)));
  reporter_.SetRecorder(record);
  FillMenu(kAdjustMenu, kStart);
}

void TFormAdjust::ShowWorkWindow() {
  show();
}

void TFormAdjust::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) FormShow();
}

void TFormAdjust::FormShow() {
  const Model model = SelectedModel();
  if (model == Model::Q40 || model == Model::Q30) {
    modelLbl_->setText(FromView(ModelName(model)));
  } else {
    dialogs_.Error(this, text::kProgramMiss);
  }
  GetStatusBtnClick();
}

// --- Messages ---

bool TFormAdjust::MessageAreaEmpty() const {
  return messages_->Empty();
}

void TFormAdjust::NameWait(std::string_view activity) {
  messages_->NameWait(FromView(activity));
}

void TFormAdjust::Show(MessageKind kind, std::string_view message) {
  const QString text = FromView(message);
  switch (kind) {
    case MessageKind::Replace:
      messages_->SetColor(Qt::black);
      messages_->SetText(text);
      break;
    case MessageKind::Done:
      messages_->SetColor(Qt::black);
      ShowNormalCursor();
      messages_->EndWait();
      disableTimer_->Start();
      messages_->SetText(text);
      break;
    case MessageKind::Busy:
      messages_->SetColor(Qt::blue);
      ShowHourglass();
      // A pending re-enable from an earlier done message must not end this busy spell.
      disableTimer_->Stop();
      setEnabled(false);
      messages_->SetText(text);
      // Long work shows that it is alive: the seconds since the busy message.
      messages_->StartWait();
      break;
    case MessageKind::Error:
      messages_->SetColor(Qt::red);
      ShowNormalCursor();
      messages_->EndWait();
      messages_->SetText(text);
      setEnabled(true);
      break;
    case MessageKind::Append:
      messages_->Append(text);
      break;
    case MessageKind::NewLine:
      messages_->AddLine(text);
      break;
  }
  RepaintNow();
}

void TFormAdjust::EnableWindow() {
  setEnabled(true);
  ShowNormalCursor();
  messages_->EndWait();
}

void TFormAdjust::ErrorBox(std::string_view text) {
  dialogs_.Error(this, FromView(text));
}

bool TFormAdjust::Question(std::string_view title, std::string_view text) {
  return dialogs_.Question(this, FromView(title), FromView(text));
}

void TFormAdjust::PaperOut() {
  dialogs_.Error(this, FromView(words::kPaperOutError));
}

void TFormAdjust::RepaintNow() {
  // Lay out panels shown since the last event loop turn, then paint before the caller blocks.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  repaint();
}

void TFormAdjust::DisableTimerTimer() {
  setEnabled(true);
  disableTimer_->Stop();
}

// --- Menus ---

bool TFormAdjust::PrinterInErrorState() const {
  return link_.channel.PrinterStatus() == kStatusError;
}

void TFormAdjust::ApplyMenuMode() {
  ApplyMenuMode(link_.channel.PrinterStatus());
}

void TFormAdjust::ApplyMenuMode(std::uint16_t printerStatus) {
  const bool errorState = printerStatus == kStatusError;
  if (errorState) {
    ResetWorkArea(true);
    ShowCanvas();
  }
  SetMenuForm(errorState);
}

void TFormAdjust::SetMenuForm(bool errorState) {
  tab_->setTabText(0, errorState ? "" : text::kAdjustmentTab);
  menus_[kAdjustMenu]->setTitle(errorState ? "" : text::kAdjustmentItems);
  for (Menu m : {kMaintMenu, kPatternMenu, kAppendixMenu}) menus_[m]->setEnabled(!errorState);
  FillMenu(kAdjustMenu, errorState ? kErrorState : kFull);
}

void TFormAdjust::SetMenuHandler(MenuItem item, std::function<void()> showFirstPanel) {
  menuHandlers_[item] = std::move(showFirstPanel);
}

// The item is the one whose text was clicked: the list always carries its items' identities, so
// a list left from the start window cannot open another item's panel.
void TFormAdjust::MenuClick(Menu menu, int index) {
  if (index < 0 || index >= int(menuItems_[menu].size())) return;
  const MenuItem item = menuItems_[menu][std::size_t(index)];
  ResetWorkArea(false);
  if (auto it = menuHandlers_.find(item); it != menuHandlers_.end() && it->second) {
    it->second();
  } else {
    ShowCanvas();
  }
  for (int m = 0; m < kMenuCount; ++m) {
    if (m != menu) menus_[m]->ClearSelection();
  }
}

void TFormAdjust::AdjustmentTabChange(int /*index*/) {
  ResetWorkArea(false);
  ShowCanvas();
  messages_->SetText("");
  for (RadioGroup* menu : menus_) menu->ClearSelection();
}

// --- Work area ---

QWidget* TFormAdjust::PanelParent() {
  return workArea_;
}

void TFormAdjust::AddPanel(QWidget* panel) {
  panel->setParent(workArea_);
  workLayout_->addWidget(panel, 0, 0);
  panel->hide();
  panels_.push_back(panel);
}

void TFormAdjust::ShowPanel(QWidget* panel) {
  panel->show();
}

void TFormAdjust::ShowCanvas() {
  canvas_->show();
}

void TFormAdjust::ResetWorkArea(bool keepMemo) {
  canvas_->hide();
  for (QWidget* panel : panels_) panel->hide();
  if (!keepMemo) {
    messages_->SetText("");
    messages_->ShowMemo(true);
    messages_->SetColor(Qt::black);
  }
  for (auto& module : modules_) module->ResetInputs();
}

void TFormAdjust::HideMessageArea() {
  messages_->ShowMemo(false);
}

void TFormAdjust::LockWorkflow() {
  for (QWidget* w : {static_cast<QWidget*>(tab_), static_cast<QWidget*>(menus_[kMaintMenu]),
                     static_cast<QWidget*>(rtnBtn_), static_cast<QWidget*>(statusBtn_)}) {
    w->setEnabled(false);
  }
}

void TFormAdjust::UnlockWorkflow() {
  for (QWidget* w : {static_cast<QWidget*>(tab_), static_cast<QWidget*>(menus_[kMaintMenu]),
                     static_cast<QWidget*>(rtnBtn_), static_cast<QWidget*>(statusBtn_)}) {
    w->setEnabled(true);
  }
}

void TFormAdjust::SetAdjustedItem(AdjustedItem item, const QString& text) {
  if (auto it = adjusted_.find(item); it != adjusted_.end()) it->second->setText(text);
}

QString TFormAdjust::AdjustedItemText(AdjustedItem item) const {
  auto it = adjusted_.find(item);
  return it != adjusted_.end() ? it->second->text() : QString();
}

WindowTimer& TFormAdjust::Timer(WindowTimerId id) {
  switch (id) {
    case WindowTimerId::Disable:
      return *disableTimer_;
    case WindowTimerId::HeadAngGetStatus:
      return *headAngTimer_;
    case WindowTimerId::CountDown:
      return *countDownTimer_;
    case WindowTimerId::CountDown2:
      return *countDownTimer2_;
  }
  return *disableTimer_;
}

// --- Buttons and close ---

void TFormAdjust::GetStatusBtnClick() {
  reporter_.ShowStatus();
  ShowLosses(session_.LossWords(), false);
}

void TFormAdjust::AdjustRtnBtnClick() {
  close();
}

void TFormAdjust::EscapePressed() {
  // That Esc was the list's: it closes the list and nothing else.
  if (escapeFoundList_) {
    escapeFoundList_ = false;
    if (QWidget* popup = QApplication::activePopupWidget()) popup->close();
    return;
  }
  for (QAbstractButton* button : cancelButtons_) {
    if (button->isVisible() && button->isEnabled()) {
      button->click();
      return;
    }
  }
  if (rtnBtn_->isVisible() && rtnBtn_->isEnabled()) rtnBtn_->click();
}

// A drop-down list may close on the shortcut check of the Esc that is meant for it, before the
// window's Esc shortcut is tried; every check of one key press carries its time stamp.
bool TFormAdjust::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Escape) {
      if (key->timestamp() != escapeTime_) {
        escapeTime_ = key->timestamp();
        escapeFoundList_ = false;
      }
      if (QApplication::activePopupWidget() != nullptr) escapeFoundList_ = true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TFormAdjust::closeEvent(QCloseEvent* event) {
  event->accept();
  FormClose();
}

void TFormAdjust::FormClose() {
  // A watch or countdown left running would talk to a closed port.
  for (auto& module : modules_) module->WindowClosing();
  headAngTimer_->Stop();
  countDownTimer_->Stop();
  countDownTimer2_->Stop();

  ResetWorkArea(false);
  ShowCanvas();
  for (auto& [item, field] : adjusted_) field->clear();

  ShowHourglass();
  for (RadioGroup* menu : menus_) menu->ClearSelection();
  {
    const QSignalBlocker block(tab_);
    tab_->setCurrentIndex(0);
  }
  // Each visit starts usable, whatever a locked workflow or a busy message left behind.
  UnlockWorkflow();
  setEnabled(true);
  // The full form until a status read says otherwise: unlocking alone would leave the
  // error-state form half undone if the next show cannot read the status.
  SetMenuForm(false);
  messages_->EndWait();

  if (quit_ != nullptr) quit_->show();
  const std::string lost = session_.Close(!skipLinkShutdown_);
  skipLinkShutdown_ = false;
  ShowNormalCursor();
  ShowLosses(lost, true);
}

void TFormAdjust::ShowLosses(const std::string& words, bool windowClosed) {
  if (words.empty()) return;
  if (windowClosed) {
    dialogs_.Error(quit_ != nullptr ? quit_ : this, FromView(words));
  } else {
    Show(MessageKind::Error, words);
  }
}

}  // namespace vantor
