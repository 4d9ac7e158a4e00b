// A 1000 ms timer of the adjustment window whose handler never runs inside its own tick.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

namespace vantor {

class WindowTimer final : public QObject {
  Q_OBJECT

 public:
  WindowTimer(const QString& objectName, QObject* parent = nullptr);

  void SetHandler(std::function<void()> handler) { handler_ = std::move(handler); }
  void Start() { timer_->start(); }
  void Stop() { timer_->stop(); }
  bool IsActive() const { return timer_->isActive(); }
  // One tick. A tick that arrives while the previous one is still inside a wait or a modal box
  // (whose event loop delivers timer events) is dropped.
  void Tick();
  bool InTick() const { return inTick_; }

 private:
  // A child, so a program-wide filter can hold its ticks off during a wait.
  QTimer* timer_;
  std::function<void()> handler_;
  bool inTick_ = false;
};

}  // namespace vantor
