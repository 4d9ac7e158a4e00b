// Asked after the adjustment window closes: another printer, or the end of the program.
#pragma once

#include <QDialog>

class QPushButton;

namespace vantor {

class TFormQuit final : public QDialog {
  Q_OBJECT

 public:
  // start is the main window: shown again by "Next", closed by "Quit".
  explicit TFormQuit(QWidget* start, QWidget* parent = nullptr);

  void NextBtnClick();
  void QuitBtnClick();

 protected:
  // No system menu: the technician must choose.
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  QWidget* start_;
};

}  // namespace vantor
