// Small building blocks of the workflow panels: a titled panel, an OK button, a spin control
// bound to an edit.
#pragma once

#include <QFrame>
#include <QString>
#include <QWidget>
#include <string_view>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace vantor {

class WorkArea;

// The program's words (UTF-8) as the widgets take them.
inline QString FromView(std::string_view s) {
  return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

// A work panel with its bold title line; further rows go into Body().
class TitledPanel final : public QFrame {
  Q_OBJECT

 public:
  TitledPanel(const QString& objectName, const QString& title, QWidget* parent);
  QVBoxLayout* Body() const { return body_; }
  QLabel* AddText(const QString& text);
  QPushButton* AddButton(const QString& objectName, const QString& caption);
  // The panel's OK: Enter in one of the panel's single-line edits presses it.
  QPushButton* AddDefaultButton(const QString& objectName, const QString& caption);
  // Closes the panel's layout: the rows stay at the top, the buttons at the bottom.
  void Finish();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QVBoxLayout* body_;
  QWidget* buttons_;
  QPushButton* default_ = nullptr;
};

// Builds a panel and hands it to the window, which keeps it hidden until shown.
TitledPanel* AddTitledPanel(WorkArea& area, const QString& objectName, const QString& title);

// An up/down control that writes its position into its edit. Each click starts from the number
// in the edit when there is one, so typing and clicking can be mixed; it never wraps.
class UpDown final : public QWidget {
  Q_OBJECT

 public:
  UpDown(const QString& objectName, QLineEdit* buddy, int min, int max, QWidget* parent);
  int Position() const { return position_; }
  void StepUp() { Step(1); }
  void StepDown() { Step(-1); }

 private:
  void Step(int delta);

  QLineEdit* buddy_;
  QToolButton* up_;
  QToolButton* down_;
  int min_;
  int max_;
  int position_ = 0;
};

// A single-line edit with a length limit, as the panels use them.
QLineEdit* MakeEdit(const QString& objectName, int maxLength, QWidget* parent);

}  // namespace vantor
