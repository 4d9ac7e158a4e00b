#include "RemoteCommands.h"

#include <cstdint>
#include <string>

namespace vantor {

namespace {
constexpr std::uint8_t kEnter[13] = {0x1B, '(', 'R', 0x08, 0x00, 0x00, 'R',
                                     'E',  'M', 'O', 'T',  'E',  '1'};
// Remote-mode exit, then a printer reset.
constexpr std::uint8_t kExit[6] = {0x1B, 0x00, 0x00, 0x00, 0x1B, '@'};
}  // namespace

Result RemoteCommands::EnterRemoteMode() {
  return channel_.SendData(kEnter, sizeof kEnter);
}

Result RemoteCommands::ExitRemoteMode() {
  return channel_.SendData(kExit, sizeof kExit);
}

Result RemoteCommands::SendSnCommand() {
  return SendSnCommand(0, 0);
}

Result RemoteCommands::SendSnCommand(std::uint8_t a, std::uint8_t b) {
  const std::uint8_t command[7] = {'S', 'N', 0x03, 0x00, 0x00, a, b};
  return channel_.SendData(command, sizeof command);
}

Result MaintenanceCommands::ReadProtectionCounter(std::string& text) {
  std::uint8_t hi = 0, lo = 0;
  VANTOR_TRY(channel_.ReadEepromByte(2, hi));
  VANTOR_TRY(channel_.ReadEepromByte(3, lo));
  text = std::to_string(hi * 256u + lo);
  return kOk;
}

Result MaintenanceCommands::ClearProtectionCounter(VerifiedWrites& writes) {
  VANTOR_TRY(writes.Write(2, 0));
  return writes.Write(3, 0);
}

Result MaintenanceCommands::SetNewInkPadCounter(VerifiedWrites& writes) {
  VANTOR_TRY(writes.Write(2, 0x0F));
  return writes.Write(3, 0x61);
}

Result MaintenanceCommands::ReadCounter32(std::uint8_t first, std::string& text) {
  std::uint32_t value = 0;
  for (std::uint8_t a = first; a < first + 4; ++a) {
    std::uint8_t byte = 0;
    VANTOR_TRY(channel_.ReadEepromByte(a, byte));
    value = value << 8 | byte;
  }
  text = std::to_string(static_cast<std::int32_t>(value));
  return kOk;
}

Result MaintenanceCommands::ReadPageCount(std::string& text) {
  return ReadCounter32(32, text);
}

Result MaintenanceCommands::ReadPassCount(std::string& text) {
  return ReadCounter32(36, text);
}

}  // namespace vantor
