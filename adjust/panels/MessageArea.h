// The adjustment window's messages: the memo (black information, blue busy, red errors) and,
// under it, the line that counts the seconds of a wait for the printer.
#pragma once

#include <QColor>
#include <QWidget>
#include <cstdint>

#include "adjust/procedures/Messages.h"
#include "link/Clock.h"

class QLabel;
class QPlainTextEdit;
class QTimer;

namespace vantor {

class MessageArea final : public QWidget {
  Q_OBJECT

 public:
  // The clock the printer work is waited on.
  MessageArea(Clock& clock, QWidget* parent);

  void SetColor(const QColor& color);
  QColor Color() const { return color_; }
  void SetText(const QString& text);
  void Append(const QString& text);
  // A new line, or the whole text when the memo is empty.
  void AddLine(const QString& text);
  bool Empty() const;
  // A panel that needs the room hides the memo; the wait line keeps its place.
  void ShowMemo(bool shown);

  // "Waiting for the printer: N s", counting from now; a busy message starts it, or printer
  // work with no message of its own (ended with its announcement).
  void StartWait(bool ownWait = false);
  void Expect(const ExpectedWork& work);
  // What the wait is for, when not the printer; until the wait ends.
  void NameWait(const QString& activity) { activity_ = activity; }
  void EndWait();
  // While a box waits for the technician the line says nothing (its count goes on).
  void HoldWaitLine(bool held);

 private:
  void ShowWaitTime();
  // Hidden, and readable while the window is disabled.
  void KeepWaitLineReadable();

  Clock& clock_;
  QPlainTextEdit* memo_;
  QLabel* waitLbl_;
  QTimer* waitTick_;
  QColor color_ = Qt::black;
  std::int64_t busySinceMs_ = 0;
  ExpectedWork expected_;
  bool ownWait_ = false;
  bool held_ = false;
  QString activity_;
};

}  // namespace vantor
