// A 256-byte EEPROM that records every access and can fail one of them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "ids/IdEeprom.h"

namespace vantor::test {

class FakeEeprom final : public IdEeprom {
 public:
  FakeEeprom() { bytes.fill(0xEE); }

  Result ReadEepromByte(std::uint8_t address, std::uint8_t& value) override {
    reads.push_back(address);
    if (failAddress == address) return failCode;
    value = bytes[address];
    return kOk;
  }
  Result WriteEepromByte(std::uint8_t address, std::uint8_t value) override {
    if (failAddress == address) return failCode;
    writes.emplace_back(address, value);
    bytes[address] = value;
    if (afterWrite) afterWrite(address);
    return kOk;
  }

  std::array<std::uint8_t, 256> bytes{};
  std::vector<std::uint8_t> reads;
  std::vector<std::pair<std::uint8_t, std::uint8_t>> writes;
  std::optional<std::uint8_t> failAddress;
  Result failCode = kChannelFailure;
  std::function<void(std::uint8_t)> afterWrite;
};

// Local time stands still unless the test moves it.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(LocalDateTime at) : at_(at) {}
  void SleepMs(std::int64_t ms) override { ms_ += ms; }
  std::int64_t NowMs() override { return ms_; }
  LocalDateTime LocalNow() override { return at_; }
  void Set(LocalDateTime at) { at_ = at; }

 private:
  LocalDateTime at_;
  std::int64_t ms_ = 0;
};

}  // namespace vantor::test
