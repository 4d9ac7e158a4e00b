// Remote-mode framing and its commands, and the maintenance counters kept in the EEPROM.
#pragma once

#include <cstdint>
#include <string>

#include "PacketChannel.h"
#include "VerifiedWrites.h"

namespace vantor {

class RemoteCommands {
 public:
  explicit RemoteCommands(PacketChannel& channel) : channel_(channel) {}
  Result EnterRemoteMode();
  Result ExitRemoteMode();
  Result SendSnCommand();
  Result SendSnCommand(std::uint8_t a, std::uint8_t b);

 private:
  PacketChannel& channel_;
};

class MaintenanceCommands {
 public:
  explicit MaintenanceCommands(PacketChannel& channel) : channel_(channel) {}
  Result ReadProtectionCounter(std::string& text);
  // The counter writes go through writes, which the caller reads back.
  Result ClearProtectionCounter(VerifiedWrites& writes);
  Result SetNewInkPadCounter(VerifiedWrites& writes);
  Result ReadPageCount(std::string& text);
  Result ReadPassCount(std::string& text);

 private:
  Result ReadCounter32(std::uint8_t first, std::string& text);
  PacketChannel& channel_;
};

}  // namespace vantor
