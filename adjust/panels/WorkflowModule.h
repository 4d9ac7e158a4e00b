// How a workflow's panels join the adjustment window without changes to the window itself.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "adjust/procedures/ProcedureContext.h"
#include "link/Link.h"
#include "link/Model.h"

class QAbstractButton;
class QWidget;

namespace vantor {

class DialogService;
class WindowTimer;

// Every item of the four menus, by what it is rather than where it stands in a list.
enum class MenuItem {
  EepromInit,
  HeadId,
  CrDispersion,
  HeadAngular,
  Bid,
  Pf,
  UsbId,
  TopMargin,
  FirstDotPosition,
  HeadCleaning,
  InkCharge,
  Refurbishment,
  ProtectionCounter,
  PageCounter,
  PrintPassCounter,
  A4Pattern,
  EepromData,
};

// Fields of the Adjusted items panel.
enum class AdjustedItem {
  HeadId,
  Vsd1Black,
  Vsd1Color,
  Vsd2Black,
  Vsd2Color,
  Vsd3Black,
  Vsd3Color,
  EcoBlack,
  EcoColor,
  UsbId,
  ProtectionCounter,
  TopMargin,
  Pf,
};

enum class WindowTimerId { Disable, HeadAngGetStatus, CountDown, CountDown2 };

// The adjustment window as a workflow module sees it.
class WorkArea {
 public:
  virtual ~WorkArea() = default;

  // Panels are created with this parent and handed to AddPanel, which keeps them hidden until
  // shown; ResetWorkArea hides them all again.
  virtual QWidget* PanelParent() = 0;
  virtual void AddPanel(QWidget* panel) = 0;
  virtual void ShowPanel(QWidget* panel) = 0;
  virtual void ShowCanvas() = 0;
  virtual void ResetWorkArea(bool keepMemo) = 0;

  // Runs after the window has reset the work area for a menu click; shows the item's first panel.
  virtual void SetMenuHandler(MenuItem item, std::function<void()> showFirstPanel) = 0;

  virtual void LockWorkflow() = 0;
  virtual void UnlockWorkflow() = 0;
  virtual void ApplyMenuMode() = 0;
  virtual bool PrinterInErrorState() const = 0;

  virtual void SetAdjustedItem(AdjustedItem item, const QString& text) = 0;
  // The printer is about to be switched off: the next close only closes the port.
  virtual void SetSkipLinkShutdown(bool skip) = 0;
  // Esc presses this button while its panel is shown (instead of "Quit").
  virtual void AddCancelButton(QAbstractButton* button) = 0;
  virtual WindowTimer& Timer(WindowTimerId id) = 0;

  // The message area makes room for a panel that needs it; the next reset brings it back.
  virtual void HideMessageArea() = 0;
  // Paints at once; the caller usually goes on blocking.
  virtual void RepaintNow() = 0;

  // What the workflows' procedures run with; its reporter is the window's message interface.
  virtual ProcedureContext& GetContext() = 0;
  Reporter& Messages() { return GetContext().reporter; }
  virtual DialogService& Dialogs() = 0;
  virtual Model SelectedModel() const = 0;
};

class WorkflowModule {
 public:
  virtual ~WorkflowModule() = default;
  // Creates the module's panels and registers its menu items.
  virtual void Build(WorkArea& area) = 0;
  // Part of every ResetWorkArea: empties the module's inputs.
  virtual void ResetInputs() {}
  // First step of the window's close: stop watches, clear what a visit leaves behind.
  virtual void WindowClosing() {}
};

// The modules the adjustment window is built with (adjust/WorkflowModules.cpp).
std::vector<std::unique_ptr<WorkflowModule>> MakeWorkflowModules();

}  // namespace vantor
