#include "shell/TAboutBox.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "adjust/procedures/EepromImage.h"

namespace vantor {

namespace {
namespace text {
constexpr const char* kCaption = "Version";
constexpr const char* kProduct = "Vantor Q40 / Q30";
constexpr const char* kProgram = "Adjustment Program";
constexpr const char* kPlatform = "for Windows98";
constexpr const char* kVersion = "Version 1.7";
constexpr const char* kBuild = "vantor-adjust %1";
constexpr const char* kOk = "OK";
}  // namespace text
}  // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
  setObjectName("TAboutBox");
  setWindowTitle(text::kCaption);
  setModal(true);

  auto* icon = new QLabel(this);
  icon->setObjectName("ProgramIcon");
  icon->setPixmap(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));

  auto* labels = new QVBoxLayout;
  for (const char* line : {text::kProduct, text::kProgram, text::kPlatform, text::kVersion}) {
    labels->addWidget(new QLabel(line, this));
  }
  // The build the technician runs, for support calls; the lines above are the product's own.
  const std::string_view version = procedures::ProgramVersion();
  auto* build = new QLabel(
      QString(text::kBuild).arg(QString::fromUtf8(version.data(), qsizetype(version.size()))),
      this);
  build->setObjectName("ProgramVersionLbl");
  labels->addWidget(build);
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(labels);
  top->addStretch();

  auto* ok = new QPushButton(text::kOk, this);
  ok->setObjectName("OKButton");
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addSpacing(12);
  layout->addLayout(buttons);
  resize(300, 180);
  CentreOnScreen();
}

void TAboutBox::done(int result) {
  QDialog::done(result);
  CentreOnScreen();
}

// A platform may still report the old place of a window that has just been hidden, so the
// place is set again as it opens.
void TAboutBox::setVisible(bool visible) {
  if (visible && !isVisible()) CentreOnScreen();
  QDialog::setVisible(visible);
}

void TAboutBox::CentreOnScreen() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

}  // namespace vantor
