#include "Clock.h"

#include <chrono>
#include <ctime>
#include <thread>

namespace vantor {

namespace {
LocalDateTime FromTm(const std::tm& tm) {
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::time_t ToTime(const LocalDateTime& t) {
  std::tm tm{};
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

LocalDateTime LocalOf(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return FromTm(tm);
}
}  // namespace

void SystemClock::SleepMs(std::int64_t ms) {
  using namespace std::chrono;
  if (ms <= 0) return;
  // The system oversleeps by a fraction of a millisecond; sleep to just short of the deadline
  // and finish on the monotonic clock, so a 10 ms wait costs 10 ms.
  constexpr auto kMargin = microseconds(400);
  const auto deadline = steady_clock::now() + milliseconds(ms);
  std::this_thread::sleep_until(deadline - kMargin);
  while (steady_clock::now() < deadline) std::this_thread::yield();
}

std::int64_t SystemClock::NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

LocalDateTime SystemClock::LocalNow() {
  return LocalOf(std::time(nullptr));
}

VirtualClock::VirtualClock(LocalDateTime start) : start_(start) {}

VirtualClock VirtualClock::AtSystemTime() {
  return VirtualClock(LocalOf(std::time(nullptr)));
}

void VirtualClock::SleepMs(std::int64_t ms) {
  if (ms > 0) nowMs_ += ms;
}

void VirtualClock::SetLocal(LocalDateTime start) {
  start_ = start;
  startMs_ = nowMs_;
}

LocalDateTime VirtualClock::LocalNow() {
  return LocalOf(ToTime(start_) + static_cast<std::time_t>((nowMs_ - startMs_) / 1000));
}

}  // namespace vantor
