// Modal message boxes go through one service so tests can answer them without an event loop.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace vantor {

// The caption of every message box (the windows keep captions of their own).
inline constexpr const char* kApplicationTitle = "Adjustment Program for Vantor Q40 Q30";

class DialogService {
 public:
  virtual ~DialogService() = default;
  // Error icon, OK button.
  virtual void Error(QWidget* owner, const QString& text) = 0;
  // Which button Enter presses.
  enum class Enter { Ok, Cancel };
  // OK and Cancel; true for OK.
  virtual bool Question(QWidget* owner, const QString& title, const QString& text, Enter enter) = 0;
  bool Question(QWidget* owner, const QString& title, const QString& text) {
    return Question(owner, title, text, Enter::Ok);
  }
  // Image files chosen by the technician, one or several; empty when cancelled. Opens in
  // ImageFolder() when one is set.
  virtual QStringList OpenImages(QWidget* owner, const QString& title, bool several) = 0;
  // A file to write, suggested by name; empty when cancelled.
  virtual QString SaveFile(QWidget* owner, const QString& title, const QString& suggested) = 0;

  // The virtual printer's page folder, where the sheets it printed are to be found.
  void SetImageFolder(const QString& folder) { imageFolder_ = folder; }
  const QString& ImageFolder() const { return imageFolder_; }

 private:
  QString imageFolder_;
};

// Real boxes. They are modal for their owner only, so the virtual printer's console stays usable
// while a box waits (the paper-out box waits for paper loaded from that console).
class QtDialogService final : public DialogService {
 public:
  void Error(QWidget* owner, const QString& text) override;
  using DialogService::Question;
  bool Question(QWidget* owner, const QString& title, const QString& text, Enter enter) override;
  QStringList OpenImages(QWidget* owner, const QString& title, bool several) override;
  QString SaveFile(QWidget* owner, const QString& title, const QString& suggested) override;
};

// Another service's boxes, with a call before each box opens (true) and after it closes (false):
// a window says nothing of waiting while a box waits for the technician.
class ObservedDialogs final : public DialogService {
 public:
  explicit ObservedDialogs(DialogService& boxes) : boxes_(boxes) {}
  void Observe(std::function<void(bool open)> observer) { observer_ = std::move(observer); }

  void Error(QWidget* owner, const QString& text) override;
  using DialogService::Question;
  bool Question(QWidget* owner, const QString& title, const QString& text, Enter enter) override;
  QStringList OpenImages(QWidget* owner, const QString& title, bool several) override;
  QString SaveFile(QWidget* owner, const QString& title, const QString& suggested) override;

 private:
  template <class Box>
  auto Open(Box box) {
    if (observer_) observer_(true);
    auto result = box();
    if (observer_) observer_(false);
    return result;
  }

  DialogService& boxes_;
  std::function<void(bool)> observer_;
};

// Hourglass and normal cursor; idempotent so that unbalanced calls cannot leave it stuck.
void ShowHourglass();
void ShowNormalCursor();
bool HourglassShown();

}  // namespace vantor
