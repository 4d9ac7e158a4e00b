#include "ids/Datamanu.h"

namespace vantor {

namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool HexPairToByte(char first, char second, std::uint8_t& byte) {
  const int high = HexDigitValue(first);
  const int low = HexDigitValue(second);
  if (high < 0 || low < 0) return false;
  byte = static_cast<std::uint8_t>(high * 16 + low);
  return true;
}

int TextHexToByte(std::string_view text, std::uint8_t& byte) {
  if (text.size() < 2) return 0;
  return HexPairToByte(text[0], text[1], byte) ? 1 : 0;
}

}  // namespace vantor
