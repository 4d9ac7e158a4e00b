// A titled group of radio buttons used as a menu or a choice of items.
#pragma once

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;
class QVBoxLayout;

namespace vantor {

class RadioGroup final : public QGroupBox {
  Q_OBJECT

 public:
  RadioGroup(const QString& objectName, const QString& title, QWidget* parent = nullptr);

  // Replaces the items; the group is left without a selection.
  void SetItems(const QStringList& items);
  QStringList Items() const;
  int Count() const { return int(buttons_.size()); }
  // -1 when nothing is chosen.
  int ItemIndex() const { return index_; }
  // Programmatic choice; does not run the click handler.
  void SetItemIndex(int index);
  void ClearSelection() { SetItemIndex(-1); }
  QRadioButton* Button(int index) const;

 signals:
  // The technician chose another item (clicking the chosen one again changes nothing).
  void Clicked(int index);

 private:
  void OnButtonClicked(int index);

  QButtonGroup* group_;
  QVBoxLayout* layout_;
  QList<QRadioButton*> buttons_;
  int index_ = -1;
};

}  // namespace vantor
