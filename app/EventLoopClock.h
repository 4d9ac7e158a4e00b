// The desktop program's clock: a wait runs the event loop for the time asked, so the windows
// repaint and the virtual printer's console follows the printer while the program waits.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <vector>

#include "link/Clock.h"

namespace vantor {

// The program stays single-threaded, so a wait must not start other printer work: while one
// runs, input to the program's windows (clicks, keys, shortcuts, close) and the ticks of the
// adjustment window's timers are dropped. Windows let through (the console) stay usable.
class EventLoopClock final : public QObject, public Clock {
 public:
  void SleepMs(std::int64_t ms) override;
  std::int64_t NowMs() override { return system_.NowMs(); }
  LocalDateTime LocalNow() override { return system_.LocalNow(); }

  // The window and the windows it owns take input during a wait.
  void LetThrough(QWidget* window);
  bool Waiting() const { return depth_ > 0; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool IsOpen(const QObject* widget) const;

  SystemClock system_;
  int depth_ = 0;
  std::vector<QPointer<QWidget>> open_;
};

}  // namespace vantor
