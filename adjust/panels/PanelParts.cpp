#include "adjust/panels/PanelParts.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "adjust/panels/WorkflowModule.h"

namespace vantor {

TitledPanel::TitledPanel(const QString& objectName, const QString& title, QWidget* parent)
    : QFrame(parent) {
  setObjectName(objectName);
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  auto* layout = new QVBoxLayout(this);
  auto* titleLbl = new QLabel(title, this);
  titleLbl->setObjectName(objectName + "Title");
  QFont font = titleLbl->font();
  font.setBold(true);
  font.setPointSize(font.pointSize() + 2);
  titleLbl->setFont(font);
  layout->addWidget(titleLbl);
  body_ = new QVBoxLayout;
  layout->addLayout(body_);
  layout->addStretch(1);
  buttons_ = new QWidget(this);
  auto* row = new QHBoxLayout(buttons_);
  row->setContentsMargins(0, 0, 0, 0);
  row->addStretch(1);
  layout->addWidget(buttons_);
}

QLabel* TitledPanel::AddText(const QString& text) {
  auto* label = new QLabel(text, this);
  body_->addWidget(label);
  return label;
}

QPushButton* TitledPanel::AddButton(const QString& objectName, const QString& caption) {
  auto* button = new QPushButton(caption, buttons_);
  button->setObjectName(objectName);
  button->setMinimumWidth(90);
  buttons_->layout()->addWidget(button);
  return button;
}

QPushButton* TitledPanel::AddDefaultButton(const QString& objectName, const QString& caption) {
  default_ = AddButton(objectName, caption);
  // Drawn as the default; outside a dialog the panel itself routes Enter to it.
  default_->setDefault(true);
  return default_;
}

// An edit leaves Enter to its parents, as it does in a dialog. Lists and memos keep theirs, and
// so do check boxes and radio items, whose Enter never meant "OK" here.
void TitledPanel::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && default_ != nullptr && qobject_cast<QLineEdit*>(focusWidget()) != nullptr &&
      default_->isVisible() && default_->isEnabled()) {
    event->accept();
    default_->click();
    return;
  }
  QFrame::keyPressEvent(event);
}

void TitledPanel::Finish() {
  body_->addStretch(1);
}

TitledPanel* AddTitledPanel(WorkArea& area, const QString& objectName, const QString& title) {
  auto* panel = new TitledPanel(objectName, title, area.PanelParent());
  area.AddPanel(panel);
  return panel;
}

UpDown::UpDown(const QString& objectName, QLineEdit* buddy, int min, int max, QWidget* parent)
    : QWidget(parent), buddy_(buddy), min_(min), max_(max), position_(std::clamp(0, min, max)) {
  setObjectName(objectName);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  up_ = new QToolButton(this);
  up_->setObjectName(objectName + "Up");
  up_->setArrowType(Qt::UpArrow);
  up_->setAutoRepeat(true);
  down_ = new QToolButton(this);
  down_->setObjectName(objectName + "Down");
  down_->setArrowType(Qt::DownArrow);
  down_->setAutoRepeat(true);
  for (QToolButton* b : {up_, down_}) {
    b->setFixedSize(18, 12);
    layout->addWidget(b);
  }
  connect(up_, &QToolButton::clicked, this, [this] { Step(1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
}

void UpDown::Step(int delta) {
  bool ok = false;
  const int typed = buddy_->text().trimmed().toInt(&ok);
  if (ok) position_ = std::clamp(typed, min_, max_);
  const int next = std::clamp(position_ + delta, min_, max_);
  const QString text = QString::number(next);
  position_ = next;
  if (buddy_->text() != text) buddy_->setText(text);
}

QLineEdit* MakeEdit(const QString& objectName, int maxLength, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(objectName);
  edit->setMaxLength(maxLength);
  edit->setFixedWidth(60);
  return edit;
}

}  // namespace vantor
