#include "adjust/panels/DialogService.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

namespace vantor {

namespace {

int RunBox(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text,
           QMessageBox::StandardButtons buttons) {
  QMessageBox box(icon, title, text, buttons, owner);
  if (owner != nullptr) box.setWindowModality(Qt::WindowModal);
  box.setDefaultButton(QMessageBox::Ok);
  // A box must be answerable even while the owner is disabled by a busy message.
  const bool wasHourglass = HourglassShown();
  ShowNormalCursor();
  const int answer = box.exec();
  if (wasHourglass) ShowHourglass();
  return answer;
}

}  // namespace

void QtDialogService::Error(QWidget* owner, const QString& text) {
  RunBox(owner, QMessageBox::Critical, QString::fromUtf8(kApplicationTitle), text, QMessageBox::Ok);
}

bool QtDialogService::Question(QWidget* owner, const QString& title, const QString& text) {
  return RunBox(owner, QMessageBox::Question, title, text, QMessageBox::Ok | QMessageBox::Cancel) ==
         QMessageBox::Ok;
}

void ShowHourglass() {
  if (QApplication::overrideCursor() == nullptr) QApplication::setOverrideCursor(Qt::WaitCursor);
}

void ShowNormalCursor() {
  while (QApplication::overrideCursor() != nullptr) QApplication::restoreOverrideCursor();
}

bool HourglassShown() {
  return QApplication::overrideCursor() != nullptr;
}

}  // namespace vantor
