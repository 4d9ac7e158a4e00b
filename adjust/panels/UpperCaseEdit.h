// The ID and address edits turn what is typed or pasted into upper case as it arrives.
#pragma once

#include <QLineEdit>
#include <QValidator>

namespace vantor {

class UpperCaseValidator final : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& /*pos*/) const override {
    input = input.toUpper();
    return Acceptable;
  }
};

inline QLineEdit* MakeUpperCaseEdit(const QString& objectName, int maxLength, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(objectName);
  edit->setMaxLength(maxLength);
  edit->setValidator(new UpperCaseValidator(edit));
  return edit;
}

}  // namespace vantor
