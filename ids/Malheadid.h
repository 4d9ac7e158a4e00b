// Head ID: the 13-character ID of a print head, its check character and its seven EEPROM bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ids/IdEeprom.h"
#include "link/EepromAddresses.h"
#include "link/PacketChannel.h"
#include "link/Result.h"

namespace vantor {

namespace headid {

inline constexpr std::size_t kLength = 13;

// Detail codes of the last failure; kNoFault means the text or the stored bytes are sound.
inline constexpr std::uint16_t kNoFault = 0;
inline constexpr std::uint16_t kInvalidStored = 0x1000;
inline constexpr std::uint16_t kWrongLength = 0x1001;
inline constexpr std::uint16_t kWrongFirst = 0x1002;
inline constexpr std::uint16_t kWrongPair1 = 0x1003;  // 0x1003..0x1007, pairs left to right
inline constexpr std::uint16_t kWrongTwelfth = 0x1009;
inline constexpr std::uint16_t kWrongCheck = 0x1013;

// A, B, C, D, E, F, G: the values in the order of the text and of the writes.
using Values = std::array<std::uint8_t, 7>;
inline constexpr std::array<std::uint8_t, 7> kAddresses = eeprom::kHeadId;

inline constexpr std::uint8_t kMaxFirst = 3;
inline constexpr std::uint8_t kMaxPair = 0x65;
inline constexpr std::uint8_t kMaxTwelfth = 2;

// Heads carry the pairs as typed: any character that is not a digit counts as c - 55, so the
// byte is compared with 0x65 rather than the characters being refused.
std::uint8_t PairByte(char first, char second);

// K = 37 - (weighted sum mod 37), 1..37.
int CheckValue(const Values& values);
// The check alphabet; '\0' for K outside 1..37.
char CheckCharacter(int k);
// Back from the alphabet; 0 for a character outside it.
int CheckValueOf(char c);

struct Parsed {
  std::uint16_t detail = kNoFault;
  Values values{};
};
// Checks a typed ID completely; the first fault in text order wins.
Parsed Parse(std::string_view text);

struct Formatted {
  std::uint16_t detail = kNoFault;
  std::string text;  // the 13 characters when detail is kNoFault
};
Formatted Format(const Values& values);

// The technician's words for a detail code; empty for a code without words.
std::string_view Message(std::uint16_t detail);

}  // namespace headid

class Malheadid {
 public:
  // Checks the whole text before the first write; a format fault writes nothing.
  Result WriteHeadID(IdEeprom& eeprom, std::string_view text);
  Result WriteHeadID(VerifiedWrites& writes, std::string_view text) {
    ChannelEeprom eeprom(writes);
    return WriteHeadID(eeprom, text);
  }
  // id receives the 13 characters, or is emptied on failure.
  Result ReadHeadID(IdEeprom& eeprom, std::string& id);
  Result ReadHeadID(PacketChannel& channel, std::string& id) {
    VerifiedWrites none(channel);
    ChannelEeprom eeprom(none);
    return ReadHeadID(eeprom, id);
  }

  std::uint16_t DetailCode() const { return detail_; }
  std::string_view Message() const { return headid::Message(detail_); }

 private:
  Result Fail(std::uint16_t detail);

  std::uint16_t detail_ = headid::kNoFault;
};

}  // namespace vantor
