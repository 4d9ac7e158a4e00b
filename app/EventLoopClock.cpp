#include "app/EventLoopClock.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <thread>

#include "adjust/panels/WindowTimer.h"

namespace vantor {

namespace {

bool IsInput(QEvent::Type type) {
  switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::Drop:
    case QEvent::Close:
      return true;
    default:
      return false;
  }
}

}  // namespace

void EventLoopClock::SleepMs(std::int64_t ms) {
  if (ms <= 0) return;
  const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
  if (depth_++ == 0) QCoreApplication::instance()->installEventFilter(this);
  QEventLoop loop;
  QTimer::singleShot(std::chrono::milliseconds(ms), Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
  if (--depth_ == 0) QCoreApplication::instance()->removeEventFilter(this);
  // The loop ends early only when the application is quitting; the wait still lasts its time.
  const std::int64_t left = deadline.remainingTime();
  if (left > 0) std::this_thread::sleep_for(std::chrono::milliseconds(left));
}

void EventLoopClock::LetThrough(QWidget* window) {
  open_.emplace_back(window);
}

bool EventLoopClock::IsOpen(const QObject* widget) const {
  for (const QObject* o = widget; o != nullptr; o = o->parent()) {
    for (const QPointer<QWidget>& w : open_) {
      if (w == o) return true;
    }
  }
  return false;
}

bool EventLoopClock::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Timer) {
    return qobject_cast<WindowTimer*>(watched->parent()) != nullptr;
  }
  if (!IsInput(event->type())) return false;
  // A shortcut's receiver is the shortcut; the widget it serves is up the parent chain. Events
  // for the toolkit's window objects reach the widgets next and are judged there.
  const QObject* widget = watched;
  while (widget != nullptr && !widget->isWidgetType()) widget = widget->parent();
  if (widget == nullptr || IsOpen(widget)) return false;
  // A close that is only filtered out would still count as accepted.
  event->ignore();
  return true;
}

}  // namespace vantor
