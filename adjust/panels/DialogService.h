// Modal message boxes go through one service so tests can answer them without an event loop.
#pragma once

#include <QString>

class QWidget;

namespace vantor {

// The caption of every message box (the windows keep captions of their own).
inline constexpr const char* kApplicationTitle = "Adjustment Program for Vantor Q40 Q30";

class DialogService {
 public:
  virtual ~DialogService() = default;
  // Error icon, OK button.
  virtual void Error(QWidget* owner, const QString& text) = 0;
  // OK and Cancel; true for OK.
  virtual bool Question(QWidget* owner, const QString& title, const QString& text) = 0;
};

// Real boxes. They are modal for their owner only, so the virtual printer's console stays usable
// while a box waits (the paper-out box waits for paper loaded from that console).
class QtDialogService final : public DialogService {
 public:
  void Error(QWidget* owner, const QString& text) override;
  bool Question(QWidget* owner, const QString& title, const QString& text) override;
};

// Hourglass and normal cursor; idempotent so that unbalanced calls cannot leave it stuck.
void ShowHourglass();
void ShowNormalCursor();
bool HourglassShown();

}  // namespace vantor
