#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "adjust/procedures/EepromImage.h"
#include "adjust/procedures/EepromMap.h"
#include "tests/support/Environment.h"

namespace vantor::procedures {
namespace {

// Head ID 21A2B3C4D5E12 and serial number A12345678Z with date code 27FEFK30.
EepromImage KnownImage() {
  EepromImage image;
  image.model = Model::Q30;
  image.bytes[0x00] = 0xAB;
  image.bytes[0xFF] = 0x01;
  const std::uint8_t head[] = {0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  for (int i = 0; i < 5; ++i) image.bytes[0xA0 + i] = head[i];
  image.bytes[0xAE] = 1;
  image.bytes[0xAF] = 2;
  image.bytes[0xB0] = 0x95;  // the Q30's model byte
  const std::string usb = "A12345678Z27FEFK30";
  for (std::size_t i = 0; i < usb.size(); ++i)
    image.bytes[0xC2 + i] = static_cast<std::uint8_t>(usb[i]);
  image.savedAt = "2024-03-01T10:00:00+0100";
  image.program = "vantorctl 9.9";
  return image;
}

TEST(EepromImageFile, HoldsIdentityAndRowsOfHex) {
  const nlohmann::json file = nlohmann::json::parse(ImageToJson(KnownImage()));
  EXPECT_EQ(file["version"], 2);
  EXPECT_EQ(file["model"], "Vantor Q30");
  EXPECT_EQ(file["headId"], "21A2B3C4D5E12");
  EXPECT_EQ(file["usbId"], "A12345678Z27FEFK30");
  EXPECT_EQ(file["serialNumber"], "A12345678Z");
  EXPECT_EQ(file["savedAt"], "2024-03-01T10:00:00+0100");
  ASSERT_EQ(file["eeprom"].size(), 16u);
  EXPECT_EQ(file["eeprom"][0], "AB000000000000000000000000000000");
  EXPECT_EQ(file["eeprom"][0xA], "1A2B3C4D5E0000000000000000000102");
  // 0xC2.. : 'A' '1' .. ; row C holds the first 14 characters from its third byte.
  EXPECT_EQ(file["eeprom"][0xC],
            "0000"
            "4131323334353637385A"
            "32374645");
  EXPECT_EQ(file["eeprom"][0xB], "95000000000000000000000000000000");
  EXPECT_EQ(file["eeprom"][0xF], "00000000000000000000000000000001");
  // Over the 256 bytes, then model, head ID, USB ID and serial number on lines of their own.
  std::string covered(256, '\0');
  for (int a = 0; a < 256; ++a)
    covered[static_cast<std::size_t>(a)] =
        static_cast<char>(KnownImage().bytes[static_cast<std::size_t>(a)]);
  covered += "Vantor Q30\n21A2B3C4D5E12\nA12345678Z27FEFK30\nA12345678Z";
  char crc[12];
  std::snprintf(
      crc, sizeof crc, "%08X",
      unsigned{Crc32({reinterpret_cast<const std::uint8_t*>(covered.data()), covered.size()})});
  EXPECT_EQ(file["checksum"], crc);
}

TEST(EepromImageFile, ChecksumIsTheCommonCrc32) {
  // The check value every CRC-32 (zip, PNG) gives for the nine digits.
  const std::string digits = "123456789";
  EXPECT_EQ(Crc32({reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()}),
            0xCBF43926u);
  EXPECT_EQ(Crc32({}), 0u);
}

TEST(EepromImageFile, ReadsBackWhatItWrote) {
  const EepromImage written = KnownImage();
  EepromImage read;
  std::string why;
  ASSERT_TRUE(ImageFromJson(ImageToJson(written), read, why)) << why;
  EXPECT_EQ(read.bytes, written.bytes);
  EXPECT_EQ(read.model, Model::Q30);
  EXPECT_EQ(read.savedAt, written.savedAt);
  EXPECT_EQ(read.program, written.program);
  EXPECT_EQ(read.version, 2);
}

TEST(EepromImageFile, Version1FilesAreReadWithoutAChecksum) {
  nlohmann::json old = nlohmann::json::parse(ImageToJson(KnownImage()));
  old["version"] = 1;
  old.erase("checksum");
  old["eeprom"][0] = "AC000000000000000000000000000000";  // nothing shows an edit
  EepromImage read;
  std::string why;
  ASSERT_TRUE(ImageFromJson(old.dump(), read, why)) << why;
  EXPECT_EQ(read.version, 1);
  EXPECT_EQ(read.bytes[0], 0xAC);
}

TEST(EepromImageFile, BytesWithoutValidIdsHaveNullIdentity) {
  EepromImage image;
  image.bytes[0xAF] = 9;     // first head ID digit out of range
  image.bytes[0xC2] = 0x00;  // no serial number
  const nlohmann::json file = nlohmann::json::parse(ImageToJson(image));
  EXPECT_TRUE(file["headId"].is_null());
  EXPECT_TRUE(file["usbId"].is_null());
  EXPECT_TRUE(file["serialNumber"].is_null());
  EepromImage read;
  std::string why;
  EXPECT_TRUE(ImageFromJson(file.dump(), read, why)) << why;
}

TEST(EepromImageFile, RefusesWhatIsNotAnImageOfThisVersion) {
  const nlohmann::json good = nlohmann::json::parse(ImageToJson(KnownImage()));
  struct Case {
    const char* what;
    std::string text;
    const char* why;
  };
  const auto with = [&](const char* key, const nlohmann::json& value) {
    nlohmann::json j = good;
    j[key] = value;
    return j.dump();
  };
  nlohmann::json shortRow = good;
  shortRow["eeprom"][3] = "00";
  nlohmann::json badDigit = good;
  badDigit["eeprom"][3] = "0000000000000000000000000000000G";
  nlohmann::json fifteenRows = good;
  fifteenRows["eeprom"].erase(15);
  const auto edited = [&](std::size_t row, const char* hex) {
    nlohmann::json j = good;
    j["eeprom"][row] = hex;
    return j.dump();
  };
  const auto version1 = [&](const char* model, std::uint8_t modelByte) {
    nlohmann::json j = good;
    j["version"] = 1;
    j.erase("checksum");
    j["model"] = model;
    j["eeprom"][0xB] = (modelByte == 0x95 ? "95" : "94") + std::string(30, '0');
    return j.dump();
  };
  constexpr const char* kChanged = "the checksum does not match: the file was changed or damaged";
  const Case cases[] = {
      {"not JSON", "{\"format\": ", "not a JSON file"},
      {"other JSON", "[1, 2]", "not a JSON file"},
      {"other format", with("format", "something else"), "not an EEPROM image"},
      {"newer version", with("version", 3), "image format version 3 is not 1 or 2"},
      {"no version",
       [&] {
         nlohmann::json j = good;
         j.erase("version");
         return j.dump();
       }(),
       "image format version (none) is not 1 or 2"},
      {"unknown model", with("model", "Vantor Q50"), "unknown model"},
      {"short row", shortRow.dump(), "EEPROM row 3 is not 32 hexadecimal digits"},
      {"non-hex digit", badDigit.dump(), "EEPROM row 3 is not 32 hexadecimal digits"},
      {"15 rows", fifteenRows.dump(), "the EEPROM bytes are not 16 rows"},
      {"edited head ID", with("headId", "000000000000+"),
       "headId does not agree with the EEPROM bytes"},
      {"edited serial", with("serialNumber", "A12345678Y"),
       "serialNumber does not agree with the EEPROM bytes"},
      {"one digit of an adjustment byte", edited(0, "AC000000000000000000000000000001"), kChanged},
      {"saved time", with("savedAt", "2025-06-01T08:00:00+0200"), nullptr},
      {"checksum edited", with("checksum", "00000000"), kChanged},
      {"checksum missing",
       [&] {
         nlohmann::json j = good;
         j.erase("checksum");
         return j.dump();
       }(),
       kChanged},
      {"model word of a Q40's bytes", version1("Vantor Q30", 0x94),
       "the model Vantor Q30 does not agree with the model byte 0xB0 (94)"},
      {"model word of a Q30's bytes", version1("Vantor Q40", 0x95),
       "the model Vantor Q40 does not agree with the model byte 0xB0 (95)"},
  };
  for (const Case& c : cases) {
    EepromImage read;
    read.bytes[0] = 0x55;
    std::string why;
    if (c.why == nullptr) {  // outside what the checksum covers
      EXPECT_TRUE(ImageFromJson(c.text, read, why)) << c.what << ": " << why;
      continue;
    }
    EXPECT_FALSE(ImageFromJson(c.text, read, why)) << c.what;
    EXPECT_EQ(why, c.why) << c.what;
    EXPECT_EQ(read.bytes[0], 0x55) << c.what << ": a refused file leaves the image untouched";
  }
}

// A device that never ends, or a file far larger than an image, is refused after the bound.
TEST(EepromImageFile, LoadStopsAtTheBound) {
  const std::string big = (std::filesystem::path(::testing::TempDir()) /
                           ("big-image-" + std::to_string(::getpid()) + ".json"))
                              .string();
  std::ofstream(big) << std::string(kImageFileLimit + 1, ' ');
  std::vector<std::string> paths = {big};
  if (!test::OnWindows()) paths.push_back("/dev/zero");
  for (const std::string& path : paths) {
    EepromImage image;
    std::string why;
    EXPECT_FALSE(LoadImage(path, image, why)) << path;
    EXPECT_EQ(why, path + " is larger than any EEPROM image (64 KiB); not read");
  }
  std::filesystem::remove(big);
}

TEST(EepromMapNames, NameTheWorkflowsBytes) {
  EXPECT_EQ(MeaningOf(0x70).name, "Bi-D ECO Black");
  EXPECT_EQ(MeaningOf(0x72).name, "Bi-D VSD1 Black");
  EXPECT_EQ(MeaningOf(0x77).name, "Bi-D VSD3 Color");
  EXPECT_EQ(MeaningOf(0x7D).name, "PF value");
  EXPECT_EQ(MeaningOf(0x5D).name, "top margin");
  EXPECT_EQ(MeaningOf(0x79).name, "CR motor drive dispersion");
  EXPECT_EQ(MeaningOf(0xAF).name, "head ID digit 1");
  EXPECT_EQ(MeaningOf(0xA0).name, "head ID digits 2-3");
  EXPECT_EQ(MeaningOf(0xAE).name, "head ID digit 12");
  EXPECT_EQ(MeaningOf(0xC2).name, "USB ID character 1 (serial number)");
  EXPECT_EQ(MeaningOf(0xD3).name, "USB ID character 18 (date code)");
  EXPECT_EQ(MeaningOf(0x03).name, "protection counter (low byte)");
  EXPECT_EQ(MeaningOf(0x20).name, "page counter byte 1 of 4");
  EXPECT_EQ(MeaningOf(0x27).name, "print pass counter byte 4 of 4");
  EXPECT_EQ(MeaningOf(0x40).name, "");
}

TEST(EepromMapNames, ValuesReadAsTheirEncoding) {
  EXPECT_EQ(DescribeValue(0x72, 0xFD), "-3 (FD)");
  EXPECT_EQ(DescribeValue(0x7D, 0x04), "4 (04)");
  EXPECT_EQ(DescribeValue(0x5D, 92), "92 (5C)");
  EXPECT_EQ(DescribeValue(0xC2, 'A'), "'A' (41)");
  EXPECT_EQ(DescribeValue(0xC2, 0x00), "0 (00)");
}

TEST(EepromMapSelection, GroupsAddressesAndRanges) {
  const auto selected = [](std::initializer_list<const char*> selectors) {
    AddressSet set{};
    for (const char* s : selectors) EXPECT_TRUE(AddSelection(s, set)) << s;
    std::vector<int> list;
    for (int a = 0; a < 256; ++a)
      if (set[static_cast<std::size_t>(a)]) list.push_back(a);
    return list;
  };
  EXPECT_EQ(selected({"bid"}), (std::vector<int>{0x70, 0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77}));
  EXPECT_EQ(selected({"pf", "top-margin"}), (std::vector<int>{0x5D, 0x7D}));
  EXPECT_EQ(selected({"head-id"}), (std::vector<int>{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xAE, 0xAF}));
  EXPECT_EQ(selected({"serial"}).size(), 10u);
  EXPECT_EQ(selected({"usb-id"}).back(), 0xD3);
  EXPECT_EQ(selected({"5d", "02-03"}), (std::vector<int>{0x02, 0x03, 0x5D}));
  AddressSet set{};
  for (const char* bad : {"73-70", "zz", "100", "", "bid-d", "7-"}) {
    EXPECT_FALSE(AddSelection(bad, set)) << bad;
  }
}

}  // namespace
}  // namespace vantor::procedures
