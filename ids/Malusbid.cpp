#include "ids/Malusbid.h"

#include <algorithm>
#include <utility>

namespace vantor {

namespace usbid {

namespace {

constexpr std::string_view kMsgLength = "The Number of digit is wrong.";
constexpr std::string_view kMsgCharacters = "Parameter is only number & alphabet.";
constexpr std::string_view kMsgInvalid = "USB ID is invalid";
constexpr std::string_view kMsgClock = "The PC clock must be set to the correct date and time.";

constexpr std::string_view kBase36 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

bool InRange(int v, int low, int high) {
  return v >= low && v <= high;
}

char YearCharacter(int year) {
  if (year == 1999) return '9';
  // From 2009 on letters, so that 2009 cannot be taken for 1999.
  if (year <= 2008) return kBase36[static_cast<std::size_t>(year - 2000)];
  return kBase36[static_cast<std::size_t>(year - 2009 + 10)];
}

}  // namespace

std::uint16_t CheckTyped(std::string_view text, std::size_t length) {
  if (text.size() != length) return kWrongLength;
  const bool sound = std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
  });
  return sound ? kNoFault : kNotAlphanumeric;
}

bool IsStoredCharacter(std::uint8_t byte) {
  return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= 'a' && byte <= 'z');
}

std::optional<std::string> DateCode(const LocalDateTime& when) {
  if (!InRange(when.year, kFirstYear, kLastYear) || !InRange(when.month, 1, 12) ||
      !InRange(when.day, 1, 31) || !InRange(when.hour, 0, 23) || !InRange(when.minute, 0, 59) ||
      !InRange(when.second, 0, 60))
    return std::nullopt;
  const int second = std::min(when.second, 59);  // a leap second stays in its half-minute
  const bool lateMinute = when.minute >= 30;
  const bool lateSecond = second >= 30;
  auto at = [](int v) { return kBase36[static_cast<std::size_t>(v)]; };
  std::string code;
  code.reserve(kDateCodeLength);
  code.push_back(YearCharacter(when.year));
  code.push_back(at(when.month));
  code.push_back(at(when.day));
  code.push_back(at(when.hour));
  code.push_back(at(when.minute % 30));
  code.push_back(at(second % 30));
  code.push_back(at((lateMinute ? 2 : 0) + (lateSecond ? 1 : 0)));
  code.push_back('0');
  return code;
}

std::string_view Message(std::uint16_t detail) {
  switch (detail) {
    case kWrongLength:
      return kMsgLength;
    case kNotAlphanumeric:
      return kMsgCharacters;
    case kInvalidStored:
      return kMsgInvalid;
    case kClockNotSet:
      return kMsgClock;
    default:
      return {};
  }
}

}  // namespace usbid

Result Malusbid::Fail(std::uint16_t detail) {
  detail_ = detail;
  return kUsbIdFailure;
}

Result Malusbid::WriteText(IdEeprom& eeprom, std::uint8_t address, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    VANTOR_TRY(eeprom.WriteEepromByte(static_cast<std::uint8_t>(address + i),
                                      static_cast<std::uint8_t>(text[i])));
  return kOk;
}

Result Malusbid::WriteUSBID(IdEeprom& eeprom, std::string_view text) {
  if (const auto detail = usbid::CheckTyped(text, usbid::kLength); detail != usbid::kNoFault)
    return Fail(detail);
  return WriteText(eeprom, usbid::kFirstAddress, text);
}

Result Malusbid::WriteSerialNumber(IdEeprom& eeprom, Clock& clock, std::string_view text,
                                   std::string& dateCode) {
  dateCode.clear();
  if (const auto detail = usbid::CheckTyped(text, usbid::kSerialLength); detail != usbid::kNoFault)
    return Fail(detail);
  // A clock without a year character must stop us before the serial number is written, or
  // the printer is left with a new serial number and a stale date code.
  std::optional<std::string> before = usbid::DateCode(clock.LocalNow());
  if (!before) return Fail(usbid::kClockNotSet);

  VANTOR_TRY(WriteText(eeprom, usbid::kFirstAddress, text));

  // The date code is the time the serial number went in; should the clock leave the range
  // meanwhile, the earlier reading still makes a whole ID.
  std::optional<std::string> after = usbid::DateCode(clock.LocalNow());
  std::string code = after ? std::move(*after) : std::move(*before);
  VANTOR_TRY(WriteText(
      eeprom, static_cast<std::uint8_t>(usbid::kFirstAddress + usbid::kSerialLength), code));
  dateCode = std::move(code);
  return kOk;
}

Result Malusbid::ReadUSBID(IdEeprom& eeprom, std::string& id) {
  id.clear();
  std::string text;
  text.reserve(usbid::kLength);
  for (std::size_t i = 0; i < usbid::kLength; ++i) {
    std::uint8_t byte = 0;
    VANTOR_TRY(eeprom.ReadEepromByte(static_cast<std::uint8_t>(usbid::kFirstAddress + i), byte));
    if (!usbid::IsStoredCharacter(byte)) return Fail(usbid::kInvalidStored);
    text.push_back(static_cast<char>(byte));
  }
  id = std::move(text);
  return kOk;
}

}  // namespace vantor
