// Time for every wait and time-out, so tests and the virtual printer can run on virtual time.
#pragma once

#include <cstdint>

namespace vantor {

struct LocalDateTime {
  int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual void SleepMs(std::int64_t ms) = 0;
  // Monotonic milliseconds.
  virtual std::int64_t NowMs() = 0;
  virtual LocalDateTime LocalNow() = 0;
  // The one-second clock the port uses to measure a transfer.
  std::int64_t WholeSeconds() { return NowMs() / 1000; }
};

class SystemClock final : public Clock {
 public:
  void SleepMs(std::int64_t ms) override;
  std::int64_t NowMs() override;
  LocalDateTime LocalNow() override;
};

// Advances only when slept on; a 31-second measurement costs no real time.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(LocalDateTime start = {2026, 1, 1, 9, 0, 0});
  // Starts at the system's local time.
  static VirtualClock AtSystemTime();
  void SleepMs(std::int64_t ms) override;
  std::int64_t NowMs() override { return nowMs_; }
  LocalDateTime LocalNow() override;
  void Advance(std::int64_t ms) { SleepMs(ms); }
  void SetLocal(LocalDateTime start);

 private:
  std::int64_t nowMs_ = 1'000'000;  // away from zero so whole-second arithmetic has no edge
  std::int64_t startMs_ = 1'000'000;
  LocalDateTime start_;
};

}  // namespace vantor
