// The start window: model and interface choice, port open and link start.
#pragma once

#include <QDialog>

#include "adjust/panels/WorkWindow.h"
#include "link/Model.h"
#include "session/LinkSession.h"

class QComboBox;
class QMenu;
class QPushButton;
class QAction;

namespace vantor {

class DialogService;
class TAboutBox;

class TFormBoot final : public QDialog {
  Q_OBJECT

 public:
  TFormBoot(LinkSession& session, DialogService& dialogs, QWidget* parent = nullptr);

  // The windows created after this one.
  void SetWindows(WorkWindow* adjust, TAboutBox* about) {
    adjust_ = adjust;
    about_ = about;
  }

  Model SelectedModel() const { return selectedModel_; }
  PortCode SelectedPortCode() const { return portCode_; }
  InterfaceKind SelectedInterfaceKind() const { return interfaceKind_; }

  void PortSelectOKBtnClick();
  void ProEndBtnClick();
  void Version1Click();
  // Where the popup opens for a right-button release at a point of the window.
  QPoint PopupPoint(QPoint local) const;

 signals:
  // The start window is the main window: once it closes the program ends.
  void ProgramEnd();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void reject() override;

 private:
  void FormShow();
  // Asked when the printer reports another model than the chosen one.
  bool GoOnAs(Model reported, Model chosen);

  LinkSession& session_;
  DialogService& dialogs_;
  WorkWindow* adjust_ = nullptr;
  TAboutBox* about_ = nullptr;

  QComboBox* modelNameCombo_;
  QComboBox* usePortCombo_;
  QPushButton* okBtn_;
  QPushButton* endBtn_;
  QMenu* popupMenu_;
  QAction* version1_;

  Model selectedModel_ = Model::None;
  PortCode portCode_ = 0;
  InterfaceKind interfaceKind_ = InterfaceKind::Parallel;
};

}  // namespace vantor
