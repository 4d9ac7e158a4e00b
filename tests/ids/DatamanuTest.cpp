#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ids/Datamanu.h"

namespace vantor {
namespace {

TEST(Datamanu, EveryByteGoesToUpperCaseHexAndBack) {
  for (int b = 0; b < 256; ++b) {
    char expected[3];
    std::snprintf(expected, sizeof expected, "%02X", b);
    const auto pair = ByteToHexPair(static_cast<std::uint8_t>(b));
    EXPECT_EQ(std::string(pair.data()), expected);
    EXPECT_EQ(pair[2], '\0');

    std::uint8_t back = 0;
    ASSERT_TRUE(HexPairToByte(pair[0], pair[1], back));
    EXPECT_EQ(back, b);
    std::uint8_t fromText = 0;
    EXPECT_EQ(TextHexToByte(HexPairView(pair), fromText), 1);
    EXPECT_EQ(fromText, b);
  }
}

TEST(Datamanu, RefusesAnythingButUpperCaseHexAndLeavesTheOutputAlone) {
  for (const char* bad : {"7f", "a0", "G0", "0G", " 1", "1 ", "-1", "0x", "@0", "0/", "0:"}) {
    std::uint8_t out = 0x5A;
    EXPECT_FALSE(HexPairToByte(bad[0], bad[1], out)) << bad;
    EXPECT_EQ(out, 0x5A) << bad;
    EXPECT_EQ(TextHexToByte(bad, out), 0) << bad;
    EXPECT_EQ(out, 0x5A) << bad;
  }
}

TEST(Datamanu, TextHexUsesOnlyTheFirstTwoCharacters) {
  std::uint8_t out = 0;
  EXPECT_EQ(TextHexToByte("C2XYZ", out), 1);
  EXPECT_EQ(out, 0xC2);
  out = 0x11;
  EXPECT_EQ(TextHexToByte("", out), 0);
  EXPECT_EQ(TextHexToByte("A", out), 0);
  EXPECT_EQ(out, 0x11);
}

}  // namespace
}  // namespace vantor
