#include "shell/TFormQuit.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantor {

namespace {
namespace text {
constexpr const char* kCaption = " Adjustment Program";
constexpr const char* kQuestion = "Do you continue?";
constexpr const char* kNext = "Next";
constexpr const char* kQuit = "Quit";
}  // namespace text
}  // namespace

TFormQuit::TFormQuit(QWidget* start, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), start_(start) {
  setObjectName("TFormQuit");
  setWindowTitle(text::kCaption);

  auto* question = new QLabel(text::kQuestion, this);
  QFont font = question->font();
  font.setPointSize(font.pointSize() + 4);
  question->setFont(font);
  question->setAlignment(Qt::AlignCenter);

  auto* next = new QPushButton(text::kNext, this);
  next->setObjectName("NextBtn");
  next->setDefault(true);
  auto* quit = new QPushButton(text::kQuit, this);
  quit->setObjectName("QuitBtn");
  connect(next, &QPushButton::clicked, this, &TFormQuit::NextBtnClick);
  connect(quit, &QPushButton::clicked, this, &TFormQuit::QuitBtnClick);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(next);
  buttons->addWidget(quit);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addStretch();
  layout->addWidget(question);
  layout->addStretch();
  layout->addLayout(buttons);
  resize(320, 150);
}

void TFormQuit::NextBtnClick() {
  hide();
  if (start_ != nullptr) start_->show();
}

void TFormQuit::QuitBtnClick() {
  hide();
  if (start_ != nullptr) start_->close();
}

void TFormQuit::closeEvent(QCloseEvent* event) {
  event->ignore();
}

// Esc answers as the cancel button does.
void TFormQuit::reject() {
  QuitBtnClick();
}

}  // namespace vantor
