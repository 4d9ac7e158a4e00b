#include "adjust/panels/DialogService.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>

namespace vantor {

namespace {

int RunBox(QWidget* owner, QMessageBox::Icon icon, const QString& title, const QString& text,
           QMessageBox::StandardButtons buttons,
           QMessageBox::StandardButton enter = QMessageBox::Ok) {
  QMessageBox box(icon, title, text, buttons, owner);
  if (owner != nullptr) box.setWindowModality(Qt::WindowModal);
  box.setDefaultButton(enter);
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

bool QtDialogService::Question(QWidget* owner, const QString& title, const QString& text,
                               Enter enter) {
  return RunBox(owner, QMessageBox::Question, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                enter == Enter::Cancel ? QMessageBox::Cancel : QMessageBox::Ok) == QMessageBox::Ok;
}

QStringList QtDialogService::OpenImages(QWidget* owner, const QString& title, bool several) {
  const QString filter = QStringLiteral("PNG images (*.png);;All files (*)");
  const bool wasHourglass = HourglassShown();
  ShowNormalCursor();
  QStringList files;
  if (several) {
    files = QFileDialog::getOpenFileNames(owner, title, ImageFolder(), filter);
  } else {
    const QString file = QFileDialog::getOpenFileName(owner, title, ImageFolder(), filter);
    if (!file.isEmpty()) files.append(file);
  }
  if (wasHourglass) ShowHourglass();
  return files;
}

QString QtDialogService::SaveFile(QWidget* owner, const QString& title, const QString& suggested) {
  const bool wasHourglass = HourglassShown();
  ShowNormalCursor();
  const QString file = QFileDialog::getSaveFileName(owner, title, suggested,
                                                    QStringLiteral("Backup images (*.json)"));
  if (wasHourglass) ShowHourglass();
  return file;
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

void ObservedDialogs::Error(QWidget* owner, const QString& text) {
  Open([&] {
    boxes_.Error(owner, text);
    return true;
  });
}

bool ObservedDialogs::Question(QWidget* owner, const QString& title, const QString& text,
                               Enter enter) {
  return Open([&] { return boxes_.Question(owner, title, text, enter); });
}

// The folder the scans open in is the service's own.
QStringList ObservedDialogs::OpenImages(QWidget* owner, const QString& title, bool several) {
  return Open([&] { return boxes_.OpenImages(owner, title, several); });
}

QString ObservedDialogs::SaveFile(QWidget* owner, const QString& title, const QString& suggested) {
  return Open([&] { return boxes_.SaveFile(owner, title, suggested); });
}

}  // namespace vantor
