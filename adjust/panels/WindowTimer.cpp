#include "adjust/panels/WindowTimer.h"

namespace vantor {

WindowTimer::WindowTimer(const QString& objectName, QObject* parent)
    : QObject(parent), timer_(new QTimer(this)) {
  setObjectName(objectName);
  timer_->setInterval(1000);
  connect(timer_, &QTimer::timeout, this, &WindowTimer::Tick);
}

void WindowTimer::Tick() {
  if (inTick_ || !handler_) return;
  inTick_ = true;
  handler_();
  inTick_ = false;
}

}  // namespace vantor
