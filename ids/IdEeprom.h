// The EEPROM as the identity modules use it: single bytes, each access with its own result.
#pragma once

#include <cstdint>

#include "link/Result.h"
#include "link/VerifiedWrites.h"

namespace vantor {

class IdEeprom {
 public:
  virtual ~IdEeprom() = default;
  virtual Result ReadEepromByte(std::uint8_t address, std::uint8_t& value) = 0;
  virtual Result WriteEepromByte(std::uint8_t address, std::uint8_t value) = 0;
};

// The printer's control channel, which is what the program always uses; writes take the
// verified path, which the caller reads back.
class ChannelEeprom final : public IdEeprom {
 public:
  explicit ChannelEeprom(VerifiedWrites& writes) : writes_(writes) {}
  Result ReadEepromByte(std::uint8_t address, std::uint8_t& value) override {
    return writes_.Channel().ReadEepromByte(address, value);
  }
  Result WriteEepromByte(std::uint8_t address, std::uint8_t value) override {
    return writes_.Write(address, value);
  }

 private:
  VerifiedWrites& writes_;
};

}  // namespace vantor
