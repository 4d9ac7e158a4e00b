#include "adjust/panels/RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vantor {

RadioGroup::RadioGroup(const QString& objectName, const QString& title, QWidget* parent)
    : QGroupBox(title, parent), group_(new QButtonGroup(this)), layout_(new QVBoxLayout(this)) {
  setObjectName(objectName);
  layout_->addStretch();
  connect(group_, &QButtonGroup::idClicked, this, &RadioGroup::OnButtonClicked);
}

void RadioGroup::SetItems(const QStringList& items) {
  for (QRadioButton* button : buttons_) {
    group_->removeButton(button);
    delete button;
  }
  buttons_.clear();
  index_ = -1;
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    button->setObjectName(objectName() + "_" + QString::number(i));
    group_->addButton(button, i);
    layout_->insertWidget(i, button);
    button->show();  // children added to a shown group stay hidden otherwise
    buttons_.append(button);
  }
}

QStringList RadioGroup::Items() const {
  QStringList items;
  for (const QRadioButton* button : buttons_) items.append(button->text());
  return items;
}

void RadioGroup::SetItemIndex(int index) {
  if (index < 0 || index >= buttons_.size()) {
    // An exclusive group cannot uncheck its last checked button.
    group_->setExclusive(false);
    for (QRadioButton* button : buttons_) button->setChecked(false);
    group_->setExclusive(true);
    index_ = -1;
    return;
  }
  buttons_[index]->setChecked(true);
  index_ = index;
}

QRadioButton* RadioGroup::Button(int index) const {
  return index >= 0 && index < buttons_.size() ? buttons_[index] : nullptr;
}

void RadioGroup::OnButtonClicked(int index) {
  if (index == index_) return;
  index_ = index;
  emit Clicked(index);
}

}  // namespace vantor
