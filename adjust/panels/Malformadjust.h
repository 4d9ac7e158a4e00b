// The individual adjustment window: four menus, the work area, the status memo, the close sequence.
#pragma once

#include <QColor>
#include <QWidget>
#include <array>
#include <map>
#include <memory>
#include <vector>

#include "adjust/panels/DialogService.h"
#include "adjust/panels/MessageArea.h"
#include "adjust/panels/WindowTimer.h"
#include "adjust/panels/WorkWindow.h"
#include "adjust/panels/WorkflowModule.h"
#include "adjust/procedures/Messages.h"
#include "adjust/procedures/ServiceRecord.h"
#include "adjust/procedures/SessionHandle.h"
#include "link/Link.h"

class QAbstractButton;
class QFrame;
class QLabel;
class QPushButton;
class QScrollArea;
class QTabWidget;
class QGridLayout;

namespace vantor {

class DialogService;
class RadioGroup;

class TFormAdjust final : public QWidget,
                          public WorkArea,
                          public WorkWindow,
                          public MessageDisplay,
                          public PaperOutNotifier {
  Q_OBJECT

 public:
  // The four menus, one per tab.
  enum Menu { kAdjustMenu, kMaintMenu, kPatternMenu, kAppendixMenu, kMenuCount };
  TFormAdjust(SessionHandle& session, DialogService& dialogs, QWidget* parent = nullptr);
  ~TFormAdjust() override;

  // Created after this window; shown by the close sequence.
  void SetQuitWindow(QWidget* quit) { quit_ = quit; }
  void AddModule(std::unique_ptr<WorkflowModule> module);

  // WorkWindow
  void PrepareForModel(Model model, ServiceRecorder* record) override;
  void ShowWorkWindow() override;

  // MessageDisplay
  void Show(MessageKind kind, std::string_view text) override;
  void EnableWindow() override;
  void ApplyMenuMode(std::uint16_t printerStatus) override;
  void ErrorBox(std::string_view text) override;
  bool Question(std::string_view title, std::string_view text) override;
  void ExpectWork(const ExpectedWork& work) override { messages_->Expect(work); }
  void NameWait(std::string_view activity) override;
  void StartWait() override { messages_->StartWait(true); }

  // PaperOutNotifier
  void PaperOut() override;

  // WorkArea
  QWidget* PanelParent() override;
  void AddPanel(QWidget* panel) override;
  void ShowPanel(QWidget* panel) override;
  void ShowCanvas() override;
  void ResetWorkArea(bool keepMemo) override;
  void SetMenuHandler(MenuItem item, std::function<void()> showFirstPanel) override;
  void LockWorkflow() override;
  void UnlockWorkflow() override;
  void ApplyMenuMode() override;
  bool PrinterInErrorState() const override;
  void SetAdjustedItem(AdjustedItem item, const QString& text) override;
  void SetSkipLinkShutdown(bool skip) override { skipLinkShutdown_ = skip; }
  WindowTimer& Timer(WindowTimerId id) override;
  void HideMessageArea() override;
  bool MessageAreaEmpty() const override;
  void RepaintNow() override;
  ProcedureContext& GetContext() override { return context_; }
  DialogService& Dialogs() override { return dialogs_; }
  Model SelectedModel() const override { return link_.channel.SelectedModel(); }
  // Esc presses the first visible, enabled one of these, else "Quit".
  void AddCancelButton(QAbstractButton* button) override { cancelButtons_.push_back(button); }

  // Handlers
  void GetStatusBtnClick();
  void AdjustRtnBtnClick();
  void AdjustmentTabChange(int index);
  void DisableTimerTimer();

  bool SkipLinkShutdown() const { return skipLinkShutdown_; }
  QColor MemoColor() const { return messages_->Color(); }
  QString AdjustedItemText(AdjustedItem item) const;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildAdjustedItemsPanel(QWidget* panel);
  // The menu's items that the form of the window (start, full or error state) offers.
  void FillMenu(Menu menu, unsigned form);
  // The menus and captions in their error-state or their full form.
  void SetMenuForm(bool errorState);
  void MenuClick(Menu menu, int index);
  void FormShow();
  void FormClose();
  void EscapePressed();
  // Menus, then the work area, then the rest: panels and refilled menus are built after the
  // window, so creation order alone would put them last.
  void ArrangeTabOrder();
  void FitToScreen();
  // A trace, capture or EEPROM save that was lost, in red; in a box once the window is closed.
  void ShowLosses(const std::string& words, bool windowClosed);

  SessionHandle& session_;
  ProcedureContext& context_;
  Link& link_;
  // The program's boxes; the wait line is held while one is open.
  ObservedDialogs dialogs_;
  Reporter& reporter_;
  QWidget* quit_ = nullptr;

  QTabWidget* tab_;
  std::array<RadioGroup*, kMenuCount> menus_{};
  std::array<std::vector<MenuItem>, kMenuCount> menuItems_;
  QWidget* workArea_ = nullptr;
  QScrollArea* workScroll_ = nullptr;
  QGridLayout* workLayout_;
  QFrame* canvas_;
  MessageArea* messages_;
  QLabel* modelLbl_;
  QPushButton* rtnBtn_;
  QPushButton* statusBtn_;
  std::map<AdjustedItem, QLabel*> adjusted_;

  WindowTimer* disableTimer_;
  WindowTimer* headAngTimer_;
  WindowTimer* countDownTimer_;
  WindowTimer* countDownTimer2_;

  std::vector<QWidget*> panels_;
  std::vector<QAbstractButton*> cancelButtons_;
  std::map<MenuItem, std::function<void()>> menuHandlers_;
  std::vector<std::unique_ptr<WorkflowModule>> modules_;

  bool skipLinkShutdown_ = false;
  // Whether the Esc now being handled found a drop-down list open.
  bool escapeFoundList_ = false;
  quint64 escapeTime_ = 0;
};

}  // namespace vantor
