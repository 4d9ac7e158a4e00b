#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include "link/Hex.h"

namespace vantor {
namespace {

TEST(Hex, EveryByteGoesToUpperCaseDigitsAndBack) {
  for (int b = 0; b < 256; ++b) {
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", b);
    EXPECT_EQ(ByteHex(static_cast<std::uint8_t>(b)), expected);
    EXPECT_EQ(ByteToHexPair(static_cast<std::uint8_t>(b))[2], '\0');
    EXPECT_EQ(ParseHexByte(expected), b);
  }
}

TEST(Hex, ParsesOnlyWhatItsLettersAllow) {
  struct Case {
    const char* text;
    std::optional<std::uint8_t> upper, either;
  } const cases[] = {
      {"7F", 0x7F, 0x7F},
      {"7f", std::nullopt, 0x7F},
      {"a0", std::nullopt, 0xA0},
      {"G0", std::nullopt, std::nullopt},
      {"0g", std::nullopt, std::nullopt},
      {" 1", std::nullopt, std::nullopt},
      {"1 ", std::nullopt, std::nullopt},
      {"-1", std::nullopt, std::nullopt},
      {"0x", std::nullopt, std::nullopt},
      // The characters just beside the digit and letter ranges.
      {"@0", std::nullopt, std::nullopt},
      {"0/", std::nullopt, std::nullopt},
      {"0:", std::nullopt, std::nullopt},
      {"`0", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt},
      {"A", std::nullopt, std::nullopt},
      {"C2X", std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseHexByte(c.text), c.upper) << c.text;
    EXPECT_EQ(ParseHexByte(c.text, HexLetters::Either), c.either) << c.text;
  }
  EXPECT_EQ(ParseHex("5"), 5u);
  EXPECT_EQ(ParseHex("FFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseHex("100000000"), std::nullopt);
}

TEST(Hex, SixteenRowsOfThirtyTwoDigitsGoBackToTheSameBytes) {
  std::array<std::uint8_t, 256> bytes{};
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(255 - i);
  const std::vector<std::string> rows = HexRows(bytes);
  ASSERT_EQ(rows.size(), 16u);
  EXPECT_EQ(rows[0], "FFFEFDFCFBFAF9F8F7F6F5F4F3F2F1F0");
  EXPECT_EQ(rows[15], "0F0E0D0C0B0A09080706050403020100");

  std::array<std::uint8_t, 256> back{};
  for (std::size_t r = 0; r < rows.size(); ++r) {
    ASSERT_TRUE(ParseHexRow(rows[r], std::span(back).subspan(r * 16).first<16>()));
  }
  EXPECT_EQ(back, bytes);

  // Either case is read; a short, long or broken row leaves the bytes as they were.
  std::array<std::uint8_t, 16> row{};
  EXPECT_TRUE(ParseHexRow("0f0e0d0c0b0a09080706050403020100", row));
  EXPECT_EQ(row[0], 0x0F);
  for (const std::string& bad : {std::string(30, '0'), std::string(34, '0'),
                                 std::string("0f0e0d0c0b0a0908070605040302010G")}) {
    row.fill(0x5A);
    EXPECT_FALSE(ParseHexRow(bad, row)) << bad;
    EXPECT_EQ(row[0], 0x5A) << bad;
  }
}

}  // namespace
}  // namespace vantor
