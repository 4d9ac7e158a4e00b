// USB ID: 18 characters in the EEPROM, typed whole or as a serial number plus a date code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ids/IdEeprom.h"
#include "link/Clock.h"
#include "link/EepromAddresses.h"
#include "link/PacketChannel.h"
#include "link/Result.h"

namespace vantor {

namespace usbid {

inline constexpr std::size_t kLength = fields::kUsbId.size;
inline constexpr std::size_t kSerialLength = fields::kSerial.size;
inline constexpr std::size_t kDateCodeLength = 8;
inline constexpr std::uint8_t kFirstAddress = eeprom::kUsbIdFirst;  // ..0xD3, first character first

inline constexpr std::uint16_t kNoFault = 0;
inline constexpr std::uint16_t kWrongLength = 0x3001;
inline constexpr std::uint16_t kNotAlphanumeric = 0x3002;
inline constexpr std::uint16_t kInvalidStored = 0x3011;
// The date code has no year character outside 1999-2034.
inline constexpr std::uint16_t kClockNotSet = 0x3021;

inline constexpr int kFirstYear = 1999;
inline constexpr int kLastYear = 2034;

// A typed ID or serial number: exactly `length` characters, each '0'-'9' or 'A'-'Z'.
std::uint16_t CheckTyped(std::string_view text, std::size_t length);
// What the printer may hold: letters of either case and digits.
bool IsStoredCharacter(std::uint8_t byte);

// The eight characters made from a local date and time; empty when the year lies outside
// 1999-2034 or a field is out of its range.
std::optional<std::string> DateCode(const LocalDateTime& when);

std::string_view Message(std::uint16_t detail);

}  // namespace usbid

class Malusbid {
 public:
  Result WriteUSBID(IdEeprom& eeprom, std::string_view text);
  Result WriteUSBID(VerifiedWrites& writes, std::string_view text) {
    ChannelEeprom eeprom(writes);
    return WriteUSBID(eeprom, text);
  }
  // dateCode receives the eight characters written after the serial number.
  Result WriteSerialNumber(IdEeprom& eeprom, Clock& clock, std::string_view text,
                           std::string& dateCode);
  Result WriteSerialNumber(VerifiedWrites& writes, std::string_view text, std::string& dateCode) {
    ChannelEeprom eeprom(writes);
    return WriteSerialNumber(eeprom, writes.Channel().GetClock(), text, dateCode);
  }
  // id receives the 18 characters as stored, or is emptied on failure.
  Result ReadUSBID(IdEeprom& eeprom, std::string& id);
  Result ReadUSBID(PacketChannel& channel, std::string& id) {
    VerifiedWrites none(channel);
    ChannelEeprom eeprom(none);
    return ReadUSBID(eeprom, id);
  }

  std::uint16_t DetailCode() const { return detail_; }
  std::string_view Message() const { return usbid::Message(detail_); }

 private:
  Result Fail(std::uint16_t detail);
  static Result WriteText(IdEeprom& eeprom, std::uint8_t address, std::string_view text);

  std::uint16_t detail_ = usbid::kNoFault;
};

}  // namespace vantor
