#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "ids/Malheadid.h"
#include "tests/ids/FakeEeprom.h"

namespace vantor {
namespace {

using Writes = std::vector<std::pair<std::uint8_t, std::uint8_t>>;
using test::FakeEeprom;

TEST(HeadIdCheckAlphabet, EveryValueMapsToItsCharacterAndBack) {
  for (int k = 1; k <= 37; ++k) {
    char expected;
    if (k <= 8)
      expected = static_cast<char>('A' + k - 1);
    else if (k <= 13)
      expected = static_cast<char>('J' + k - 9);
    else if (k <= 24)
      expected = static_cast<char>('P' + k - 14);
    else if (k <= 34)
      expected = static_cast<char>('0' + k - 25);
    else
      expected = "%*+"[k - 35];
    EXPECT_EQ(headid::CheckCharacter(k), expected) << k;
    EXPECT_EQ(headid::CheckValueOf(expected), k) << k;
  }
  EXPECT_EQ(headid::CheckCharacter(0), '\0');
  EXPECT_EQ(headid::CheckCharacter(38), '\0');
  for (char c : {'I', 'O', 'a', 'z', '#', ' ', '\0', '-', '\x80'})
    EXPECT_EQ(headid::CheckValueOf(c), 0) << static_cast<int>(c);
}

TEST(HeadIdWrite, StoresTheSevenValuesInOrder) {
  FakeEeprom eeprom;
  Malheadid headId;
  ASSERT_EQ(headId.WriteHeadID(eeprom, "21A2B3C4D5E12"), kOk);
  EXPECT_EQ(eeprom.writes, (Writes{{0xAF, 0x02},
                                   {0xA0, 0x1A},
                                   {0xA1, 0x2B},
                                   {0xA2, 0x3C},
                                   {0xA3, 0x4D},
                                   {0xA4, 0x5E},
                                   {0xAE, 0x01}}));
  std::string id;
  ASSERT_EQ(headId.ReadHeadID(eeprom, id), kOk);
  EXPECT_EQ(id, "21A2B3C4D5E12");
  EXPECT_EQ(eeprom.reads, (std::vector<std::uint8_t>{0xAF, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xAE}));
}

TEST(HeadIdWrite, AcceptsTheBoundaryIdsAndReadsThemBack) {
  // All zero (K 37), A = 1 (K 36), the largest values (sum 2037, K 35), and a single pair at
  // its limit 0x65 (sum 202, K 20).
  for (const char* text : {"000000000000+", "100000000000*", "365656565652%", "065000000000V"}) {
    FakeEeprom eeprom;
    Malheadid headId;
    ASSERT_EQ(headId.WriteHeadID(eeprom, text), kOk) << text;
    std::string id;
    ASSERT_EQ(headId.ReadHeadID(eeprom, id), kOk) << text;
    EXPECT_EQ(id, text);
  }
}

TEST(HeadIdWrite, PairsAreNotRefusedForTheirCharactersOnly) {
  // 'G' counts 16, so G0 is 256 and wraps to 0.
  FakeEeprom eeprom;
  Malheadid headId;
  ASSERT_EQ(headId.WriteHeadID(eeprom, "0G0000000000+"), kOk);
  EXPECT_EQ(eeprom.writes,
            (Writes{{0xAF, 0}, {0xA0, 0}, {0xA1, 0}, {0xA2, 0}, {0xA3, 0}, {0xA4, 0}, {0xAE, 0}}));
  std::string id;
  ASSERT_EQ(headId.ReadHeadID(eeprom, id), kOk);
  EXPECT_EQ(id, "000000000000+");
}

struct Fault {
  const char* text;
  std::uint16_t detail;
  const char* message;
};

TEST(HeadIdWrite, FormatFaultsWriteNothingAndNameTheFirstFault) {
  const Fault faults[] = {
      {"", 0x1001, "The number of digit is wrong."},
      {"000000000000", 0x1001, "The number of digit is wrong."},
      {"000000000000++", 0x1001, "The number of digit is wrong."},
      {"400000000000+", 0x1002, "First digit is wrong."},
      {"/00000000000+", 0x1002, "First digit is wrong."},
      {"066000000000+", 0x1003, "Second & Third digit is wrong."},
      {"000660000000+", 0x1004, "Fourth & Fifth digit is wrong."},
      {"000006600000+", 0x1005, "Sixth & Seventh digit is wrong."},
      {"000000066000+", 0x1006, "Eighth & Ninth digit is wrong."},
      {"000000000660+", 0x1007, "Tenth & Eleventh digit is wrong."},
      {"000000000003+", 0x1009, "Twelveth digit is wrong."},
      {"21A2B3C4D5E1I", 0x1013, "Check ID is invalid."},
      {"21A2B3C4D5E1O", 0x1013, "Check ID is invalid."},
      {"21A2B3C4D5E1a", 0x1013, "Check ID is invalid."},
      {"21A2B3C4D5E1#", 0x1013, "Check ID is invalid."},
      {"21A2B3C4D5E13", 0x1013, "Check ID is invalid."},
      // Several faults: length first, then left to right.
      {"46666666666", 0x1001, "The number of digit is wrong."},
      {"4666666666639", 0x1002, "First digit is wrong."},
      {"0006666666639", 0x1004, "Fourth & Fifth digit is wrong."},
      {"000000000003I", 0x1009, "Twelveth digit is wrong."},
  };
  for (const Fault& f : faults) {
    FakeEeprom eeprom;
    Malheadid headId;
    EXPECT_EQ(headId.WriteHeadID(eeprom, f.text), kHeadIdFailure) << f.text;
    EXPECT_EQ(headId.DetailCode(), f.detail) << f.text;
    EXPECT_EQ(headId.Message(), f.message) << f.text;
    EXPECT_TRUE(eeprom.writes.empty()) << f.text;
  }
}

TEST(HeadIdWrite, AFailingWriteKeepsEarlierBytesAndReturnsItsCode) {
  FakeEeprom eeprom;
  eeprom.failAddress = 0xA2;
  eeprom.failCode = 0x1000;
  Malheadid headId;
  EXPECT_EQ(headId.WriteHeadID(eeprom, "21A2B3C4D5E12"), 0x1000);
  EXPECT_EQ(eeprom.writes, (Writes{{0xAF, 0x02}, {0xA0, 0x1A}, {0xA1, 0x2B}}));
  for (std::uint8_t a : {0xA2, 0xA3, 0xA4, 0xAE}) EXPECT_EQ(eeprom.bytes[a], 0xEE);
  EXPECT_EQ(headId.DetailCode(), headid::kNoFault);
}

TEST(HeadIdRead, StoredValuesThatFormNoIdAreInvalid) {
  for (auto [a, g] : {std::pair<std::uint8_t, std::uint8_t>{4, 0}, {0, 3}, {0xFF, 0xFF}}) {
    FakeEeprom eeprom;
    eeprom.bytes[0xAF] = a;
    eeprom.bytes[0xAE] = g;
    for (std::uint8_t addr = 0xA0; addr <= 0xA4; ++addr) eeprom.bytes[addr] = 0;
    Malheadid headId;
    std::string id = "old";
    EXPECT_EQ(headId.ReadHeadID(eeprom, id), kHeadIdFailure);
    EXPECT_EQ(headId.DetailCode(), 0x1000);
    EXPECT_EQ(headId.Message(), "Head ID is invalid.");
    EXPECT_TRUE(id.empty());
  }
}

TEST(HeadIdRead, ShowsPairsWhateverTheirValue) {
  FakeEeprom eeprom;
  eeprom.bytes[0xAF] = 3;
  for (std::uint8_t addr = 0xA0; addr <= 0xA4; ++addr) eeprom.bytes[addr] = 0xFF;
  eeprom.bytes[0xAE] = 2;
  Malheadid headId;
  std::string id;
  ASSERT_EQ(headId.ReadHeadID(eeprom, id), kOk);
  // 3 + 20 * 255 + 14 = 5117, mod 37 = 11, K = 26.
  EXPECT_EQ(id, "3FFFFFFFFFF21");
}

TEST(HeadIdRead, AFailingReadStopsAndReturnsItsCode) {
  FakeEeprom eeprom;
  eeprom.failAddress = 0xA3;
  eeprom.failCode = 0x2000;
  Malheadid headId;
  std::string id;
  EXPECT_EQ(headId.ReadHeadID(eeprom, id), 0x2000);
  EXPECT_EQ(eeprom.reads, (std::vector<std::uint8_t>{0xAF, 0xA0, 0xA1, 0xA2, 0xA3}));
  EXPECT_TRUE(id.empty());
}

TEST(HeadIdCodec, ASoundPrefixTakesExactlyOneCheckCharacterAndRoundTrips) {
  std::mt19937 random(20240611);
  // Mostly characters that keep pairs in range, with some that wrap or are no digits at all.
  const std::string alphabet = "0123456012345601234560123456ABCDEFGHKLWZ#a /";
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  int sound = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string text(13, ' ');
    for (char& c : text) c = alphabet[pick(random)];
    std::string accepted;
    bool prefixSound = true;
    for (int c = 0; c < 256; ++c) {
      text[12] = static_cast<char>(c);
      const headid::Parsed parsed = headid::Parse(text);
      if (parsed.detail == headid::kNoFault)
        accepted.push_back(text[12]);
      else if (parsed.detail != headid::kWrongCheck)
        prefixSound = false;
    }
    if (!prefixSound) {
      EXPECT_TRUE(accepted.empty()) << text;
      continue;
    }
    ++sound;
    ASSERT_EQ(accepted.size(), 1u) << text;
    text[12] = accepted[0];
    const headid::Parsed parsed = headid::Parse(text);
    const headid::Formatted formatted = headid::Format(parsed.values);
    ASSERT_EQ(formatted.detail, headid::kNoFault) << text;
    EXPECT_EQ(formatted.text.back(), text.back()) << text;
    const headid::Parsed again = headid::Parse(formatted.text);
    EXPECT_EQ(again.detail, headid::kNoFault) << text;
    EXPECT_EQ(again.values, parsed.values) << text;
  }
  EXPECT_GT(sound, 100);
}

TEST(HeadIdMessages, UnknownDetailCodesHaveNoWords) {
  for (std::uint16_t detail : {0x0000, 0x0001, 0x1008, 0x100A, 0x1012, 0x1014, 0x5000})
    EXPECT_TRUE(headid::Message(detail).empty()) << detail;
}

}  // namespace
}  // namespace vantor
