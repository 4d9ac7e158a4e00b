#include "adjust/panels/DialogService.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMessageBox>
#include <QTreeView>
#include <algorithm>

#include "adjust/procedures/ScanEntries.h"

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
  const QString patterns = QString::fromStdString(procedures::ScanFilePatterns());
  QFileDialog dialog(owner, title, ImageFolder(),
                     QStringLiteral("Scans and photos (%1);;All files (*)").arg(patterns));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  dialog.setViewMode(QFileDialog::Detail);
  // Qt's own dialog (where the desktop lends none) opens too narrow for a scan's dated name
  // and cuts its size short; measured in the dialog's font, as the names and sizes are.
  const QFontMetrics metrics(dialog.font());
  const int name =
      metrics.horizontalAdvance(QStringLiteral("bid-sheet-2026-12-11-0840-page-2.tiff"));
  const int size =
      metrics.horizontalAdvance(QStringLiteral("1023.9 KiB")) + 4 * metrics.averageCharWidth();
  const int date = metrics.horizontalAdvance(QStringLiteral("11/12/2026 08:40")) +
                   4 * metrics.averageCharWidth();
  const int kind =
      metrics.horizontalAdvance(QStringLiteral("tiff File")) + 4 * metrics.averageCharWidth();
  if (auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
    QHeaderView* header = view->header();
    header->resizeSection(0, name + 2 * metrics.height());
    header->resizeSection(1, size);
    header->resizeSection(2, kind);
    header->resizeSection(3, date);
  }
  // The side bar, the columns and the view's frame and scroll bar.
  const int wide =
      10 * metrics.averageCharWidth() + name + size + kind + date + 12 * metrics.height();
  dialog.resize(std::max(dialog.width(), wide), std::max(dialog.height(), 28 * metrics.height()));
  const bool wasHourglass = HourglassShown();
  ShowNormalCursor();
  QStringList files;
  if (dialog.exec() == QDialog::Accepted) files = dialog.selectedFiles();
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
