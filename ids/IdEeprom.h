// The EEPROM as the identity modules use it: single bytes, each access with its own result.
#pragma once

#include <cstdint>

#include "link/PacketChannel.h"
#include "link/Result.h"

namespace vantor {

class IdEeprom {
 public:
  virtual ~IdEeprom() = default;
  virtual Result ReadEepromByte(std::uint8_t address, std::uint8_t& value) = 0;
  virtual Result WriteEepromByte(std::uint8_t address, std::uint8_t value) = 0;
};

// The printer's control channel, which is what the program always uses.
class ChannelEeprom final : public IdEeprom {
 public:
  explicit ChannelEeprom(PacketChannel& channel) : channel_(channel) {}
  Result ReadEepromByte(std::uint8_t address, std::uint8_t& value) override {
    return channel_.ReadEepromByte(address, value);
  }
  Result WriteEepromByte(std::uint8_t address, std::uint8_t value) override {
    return channel_.WriteEepromByte(address, value);
  }

 private:
  PacketChannel& channel_;
};

}  // namespace vantor
