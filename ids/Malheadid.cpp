#include "ids/Malheadid.h"

#include <utility>

#include "link/Hex.h"

namespace vantor {

namespace headid {

namespace {

constexpr std::string_view kMsgInvalid = "Head ID is invalid.";
constexpr std::string_view kMsgLength = "The number of digit is wrong.";
constexpr std::string_view kMsgFirst = "First digit is wrong.";
constexpr std::array<std::string_view, 5> kMsgPairs = {
    "Second & Third digit is wrong.", "Fourth & Fifth digit is wrong.",
    "Sixth & Seventh digit is wrong.", "Eighth & Ninth digit is wrong.",
    "Tenth & Eleventh digit is wrong."};
constexpr std::string_view kMsgTwelfth = "Twelveth digit is wrong.";
constexpr std::string_view kMsgCheck = "Check ID is invalid.";

// I and O are left out so the check character cannot be misread as 1 or 0.
constexpr std::string_view kCheckAlphabet = "ABCDEFGHJKLMNPQRSTUVWXYZ0123456789%*+";
static_assert(kCheckAlphabet.size() == 37);

constexpr int kModulus = 37;

std::uint8_t DigitOffset(char c) {
  // Wraps like the byte it is stored in, so anything below '0' fails the range check too.
  return static_cast<std::uint8_t>(c - '0');
}

}  // namespace

std::uint8_t PairByte(char first, char second) {
  auto nibble = [](char c) -> int { return (c >= '0' && c <= '9') ? c - '0' : c - 55; };
  return static_cast<std::uint8_t>((nibble(first) * 16 + nibble(second)) & 0xFF);
}

int CheckValue(const Values& values) {
  int sum = 0;
  for (std::size_t i = 0; i < values.size(); ++i) sum += static_cast<int>(i + 1) * values[i];
  return kModulus - sum % kModulus;
}

char CheckCharacter(int k) {
  if (k < 1 || k > kModulus) return '\0';
  return kCheckAlphabet[static_cast<std::size_t>(k - 1)];
}

int CheckValueOf(char c) {
  const auto at = kCheckAlphabet.find(c);
  return at == std::string_view::npos ? 0 : static_cast<int>(at) + 1;
}

Parsed Parse(std::string_view text) {
  Parsed parsed;
  auto fail = [&parsed](std::uint16_t detail) {
    parsed.detail = detail;
    return parsed;
  };
  if (text.size() != kLength) return fail(kWrongLength);

  Values& v = parsed.values;
  v[0] = DigitOffset(text[0]);
  if (v[0] > kMaxFirst) return fail(kWrongFirst);
  for (std::size_t pair = 0; pair < 5; ++pair) {
    v[pair + 1] = PairByte(text[1 + 2 * pair], text[2 + 2 * pair]);
    if (v[pair + 1] > kMaxPair) return fail(static_cast<std::uint16_t>(kWrongPair1 + pair));
  }
  v[6] = DigitOffset(text[11]);
  if (v[6] > kMaxTwelfth) return fail(kWrongTwelfth);

  const int typed = CheckValueOf(text[12]);
  if (typed == 0 || typed != CheckValue(v)) return fail(kWrongCheck);
  return parsed;
}

Formatted Format(const Values& values) {
  Formatted out;
  if (values[0] > kMaxFirst || values[6] > kMaxTwelfth) {
    out.detail = kInvalidStored;
    return out;
  }
  out.text.reserve(kLength);
  out.text.push_back(static_cast<char>('0' + values[0]));
  // The pairs are shown whatever their value, so a damaged head ID can still be read off.
  for (std::size_t i = 1; i <= 5; ++i) out.text.append(HexPairView(ByteToHexPair(values[i])));
  out.text.push_back(static_cast<char>('0' + values[6]));
  out.text.push_back(CheckCharacter(CheckValue(values)));
  return out;
}

std::string_view Message(std::uint16_t detail) {
  switch (detail) {
    case kInvalidStored:
      return kMsgInvalid;
    case kWrongLength:
      return kMsgLength;
    case kWrongFirst:
      return kMsgFirst;
    case kWrongTwelfth:
      return kMsgTwelfth;
    case kWrongCheck:
      return kMsgCheck;
    default:
      break;
  }
  if (detail >= kWrongPair1 && detail < kWrongPair1 + kMsgPairs.size())
    return kMsgPairs[detail - kWrongPair1];
  return {};
}

}  // namespace headid

Result Malheadid::Fail(std::uint16_t detail) {
  detail_ = detail;
  return kHeadIdFailure;
}

Result Malheadid::WriteHeadID(IdEeprom& eeprom, std::string_view text) {
  const headid::Parsed parsed = headid::Parse(text);
  if (parsed.detail != headid::kNoFault) return Fail(parsed.detail);
  for (std::size_t i = 0; i < parsed.values.size(); ++i)
    VANTOR_TRY(eeprom.WriteEepromByte(headid::kAddresses[i], parsed.values[i]));
  return kOk;
}

Result Malheadid::ReadHeadID(IdEeprom& eeprom, std::string& id) {
  id.clear();
  headid::Values values{};
  for (std::size_t i = 0; i < values.size(); ++i)
    VANTOR_TRY(eeprom.ReadEepromByte(headid::kAddresses[i], values[i]));
  headid::Formatted formatted = headid::Format(values);
  if (formatted.detail != headid::kNoFault) return Fail(formatted.detail);
  id = std::move(formatted.text);
  return kOk;
}

}  // namespace vantor
