#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "ids/Malusbid.h"
#include "tests/ids/FakeEeprom.h"

namespace vantor {
namespace {

using test::FakeEeprom;
using test::FixedClock;

std::string Stored(const FakeEeprom& eeprom, std::uint8_t first, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i)
    text.push_back(static_cast<char>(eeprom.bytes[first + i]));
  return text;
}

TEST(UsbIdDateCode, EncodesEachFieldByItsTable) {
  const std::pair<LocalDateTime, const char*> cases[] = {
      {{2002, 7, 15, 14, 45, 50}, "27FEFK30"},  {{1999, 12, 31, 23, 59, 59}, "9CVNTT30"},
      {{2000, 1, 1, 0, 0, 0}, "01100000"},      {{2009, 10, 9, 9, 29, 30}, "AA99T010"},
      {{2034, 11, 10, 10, 30, 29}, "ZBAA0T20"}, {{2008, 9, 10, 10, 10, 10}, "89AAAA00"},
  };
  for (const auto& [when, code] : cases) {
    const auto built = usbid::DateCode(when);
    ASSERT_TRUE(built.has_value()) << code;
    EXPECT_EQ(*built, code);
  }
}

TEST(UsbIdDateCode, HasNoCodeOutsideItsYearsOrForAnImpossibleTime) {
  for (const LocalDateTime& when :
       {LocalDateTime{1998, 12, 31, 23, 59, 59}, LocalDateTime{2035, 1, 1, 0, 0, 0},
        LocalDateTime{1970, 1, 1, 0, 0, 0}, LocalDateTime{2010, 13, 1, 0, 0, 0},
        LocalDateTime{2010, 1, 0, 0, 0, 0}, LocalDateTime{2010, 1, 32, 0, 0, 0},
        LocalDateTime{2010, 1, 1, 24, 0, 0}, LocalDateTime{2010, 1, 1, 0, 60, 0},
        LocalDateTime{2010, 1, 1, 0, -1, 0}})
    EXPECT_FALSE(usbid::DateCode(when).has_value()) << when.year << "-" << when.month;
}

TEST(UsbIdSerial, StoresTheSerialNumberAndTheDateCode) {
  FakeEeprom eeprom;
  FixedClock clock({2002, 7, 15, 14, 45, 50});
  Malusbid usbId;
  std::string dateCode;
  ASSERT_EQ(usbId.WriteSerialNumber(eeprom, clock, "A12345678Z", dateCode), kOk);
  EXPECT_EQ(dateCode, "27FEFK30");
  EXPECT_EQ(Stored(eeprom, 0xC2, 18), "A12345678Z27FEFK30");
  ASSERT_EQ(eeprom.writes.size(), 18u);
  for (std::size_t i = 0; i < 18; ++i) EXPECT_EQ(eeprom.writes[i].first, 0xC2 + i);

  std::string id;
  ASSERT_EQ(usbId.ReadUSBID(eeprom, id), kOk);
  EXPECT_EQ(id, "A12345678Z27FEFK30");
}

TEST(UsbIdSerial, TheDateCodeIsTheTimeAfterTheSerialNumberWasWritten) {
  FakeEeprom eeprom;
  FixedClock clock({2002, 7, 15, 14, 45, 50});
  eeprom.afterWrite = [&clock](std::uint8_t address) {
    if (address == 0xCB) clock.Set({2009, 10, 9, 9, 29, 30});
  };
  Malusbid usbId;
  std::string dateCode;
  ASSERT_EQ(usbId.WriteSerialNumber(eeprom, clock, "A12345678Z", dateCode), kOk);
  EXPECT_EQ(dateCode, "AA99T010");
  EXPECT_EQ(Stored(eeprom, 0xCC, 8), "AA99T010");
}

TEST(UsbIdSerial, AClockOutsideTheYearsWritesNothing) {
  for (const LocalDateTime& when :
       {LocalDateTime{1998, 6, 1, 12, 0, 0}, LocalDateTime{2035, 1, 1, 0, 0, 0}}) {
    FakeEeprom eeprom;
    FixedClock clock(when);
    Malusbid usbId;
    std::string dateCode = "stale";
    EXPECT_EQ(usbId.WriteSerialNumber(eeprom, clock, "A12345678Z", dateCode), kUsbIdFailure);
    EXPECT_EQ(usbId.DetailCode(), usbid::kClockNotSet);
    EXPECT_FALSE(usbId.Message().empty());
    EXPECT_TRUE(eeprom.writes.empty());
    EXPECT_TRUE(dateCode.empty());
  }
}

TEST(UsbIdSerial, AClockLeavingTheYearsDuringTheWriteStillCompletesTheId) {
  FakeEeprom eeprom;
  FixedClock clock({2034, 12, 31, 23, 59, 59});
  eeprom.afterWrite = [&clock](std::uint8_t address) {
    if (address == 0xCB) clock.Set({2035, 1, 1, 0, 0, 0});
  };
  Malusbid usbId;
  std::string dateCode;
  ASSERT_EQ(usbId.WriteSerialNumber(eeprom, clock, "A12345678Z", dateCode), kOk);
  EXPECT_EQ(Stored(eeprom, 0xC2, 18), "A12345678ZZCVNTT30");
}

struct Fault {
  const char* text;
  std::uint16_t detail;
  const char* message;
};

TEST(UsbIdSerial, FormatFaultsWriteNothing) {
  const Fault faults[] = {
      {"", 0x3001, "The Number of digit is wrong."},
      {"A12345678", 0x3001, "The Number of digit is wrong."},
      {"A12345678ZZ", 0x3001, "The Number of digit is wrong."},
      {"A1234-678Z", 0x3002, "Parameter is only number & alphabet."},
      {"a12345678z", 0x3002, "Parameter is only number & alphabet."},
      {"A1234 678Z", 0x3002, "Parameter is only number & alphabet."},
      {"A1234\xC3\x9C"
       "78Z",
       0x3002, "Parameter is only number & alphabet."},
  };
  for (const Fault& f : faults) {
    FakeEeprom eeprom;
    FixedClock clock({2002, 7, 15, 14, 45, 50});
    Malusbid usbId;
    std::string dateCode;
    EXPECT_EQ(usbId.WriteSerialNumber(eeprom, clock, f.text, dateCode), kUsbIdFailure) << f.text;
    EXPECT_EQ(usbId.DetailCode(), f.detail) << f.text;
    EXPECT_EQ(usbId.Message(), f.message) << f.text;
    EXPECT_TRUE(eeprom.writes.empty()) << f.text;
  }
}

TEST(UsbIdSerial, AFailingDateCodeWriteKeepsTheSerialNumber) {
  FakeEeprom eeprom;
  eeprom.failAddress = 0xCE;
  eeprom.failCode = 0x2000;
  FixedClock clock({2002, 7, 15, 14, 45, 50});
  Malusbid usbId;
  std::string dateCode;
  EXPECT_EQ(usbId.WriteSerialNumber(eeprom, clock, "A12345678Z", dateCode), 0x2000);
  EXPECT_EQ(Stored(eeprom, 0xC2, 12), "A12345678Z27");
  EXPECT_EQ(eeprom.bytes[0xCE], 0xEE);
  EXPECT_TRUE(dateCode.empty());
}

TEST(UsbIdWrite, StoresTheEighteenCharactersInOrder) {
  FakeEeprom eeprom;
  Malusbid usbId;
  ASSERT_EQ(usbId.WriteUSBID(eeprom, "0123456789ABCDWXYZ"), kOk);
  ASSERT_EQ(eeprom.writes.size(), 18u);
  EXPECT_EQ(eeprom.writes.front(), (std::pair<std::uint8_t, std::uint8_t>{0xC2, '0'}));
  EXPECT_EQ(eeprom.writes.back(), (std::pair<std::uint8_t, std::uint8_t>{0xD3, 'Z'}));
  EXPECT_EQ(Stored(eeprom, 0xC2, 18), "0123456789ABCDWXYZ");
  EXPECT_EQ(eeprom.bytes[0xC1], 0xEE);
  EXPECT_EQ(eeprom.bytes[0xD4], 0xEE);
}

TEST(UsbIdWrite, FormatFaultsWriteNothing) {
  const Fault faults[] = {
      {"0123456789ABCDWXY", 0x3001, "The Number of digit is wrong."},
      {"0123456789ABCDWXYZ0", 0x3001, "The Number of digit is wrong."},
      {"A12345678Z", 0x3001, "The Number of digit is wrong."},
      {"0123456789ABCDWXY-", 0x3002, "Parameter is only number & alphabet."},
      {"0123456789abcdwxyz", 0x3002, "Parameter is only number & alphabet."},
  };
  for (const Fault& f : faults) {
    FakeEeprom eeprom;
    Malusbid usbId;
    EXPECT_EQ(usbId.WriteUSBID(eeprom, f.text), kUsbIdFailure) << f.text;
    EXPECT_EQ(usbId.DetailCode(), f.detail) << f.text;
    EXPECT_EQ(usbId.Message(), f.message) << f.text;
    EXPECT_TRUE(eeprom.writes.empty()) << f.text;
  }
}

TEST(UsbIdWrite, AFailingWriteKeepsEarlierBytesAndReturnsItsCode) {
  FakeEeprom eeprom;
  eeprom.failAddress = 0xC5;
  eeprom.failCode = 0x1000;
  Malusbid usbId;
  EXPECT_EQ(usbId.WriteUSBID(eeprom, "0123456789ABCDWXYZ"), 0x1000);
  EXPECT_EQ(eeprom.writes.size(), 3u);
  EXPECT_EQ(Stored(eeprom, 0xC2, 3), "012");
  EXPECT_EQ(eeprom.bytes[0xC6], 0xEE);
  EXPECT_EQ(usbId.DetailCode(), usbid::kNoFault);
}

TEST(UsbIdRead, AcceptsLettersOfEitherCase) {
  FakeEeprom eeprom;
  const std::string stored = "Ab12345678z27FEFK3";
  for (std::size_t i = 0; i < stored.size(); ++i)
    eeprom.bytes[0xC2 + i] = static_cast<std::uint8_t>(stored[i]);
  Malusbid usbId;
  std::string id;
  ASSERT_EQ(usbId.ReadUSBID(eeprom, id), kOk);
  EXPECT_EQ(id, stored);
}

TEST(UsbIdRead, StopsAtTheFirstByteThatIsNoLetterOrDigit) {
  for (int bad : {' ', '\0', '-', '@', '[', '`', '{', '/', ':', '\xFF'}) {
    FakeEeprom eeprom;
    for (std::uint8_t a = 0xC2; a <= 0xD3; ++a) eeprom.bytes[a] = 'A';
    eeprom.bytes[0xC7] = static_cast<std::uint8_t>(bad);
    Malusbid usbId;
    std::string id = "old";
    EXPECT_EQ(usbId.ReadUSBID(eeprom, id), kUsbIdFailure) << bad;
    EXPECT_EQ(usbId.DetailCode(), 0x3011);
    EXPECT_EQ(usbId.Message(), "USB ID is invalid");
    EXPECT_EQ(eeprom.reads.back(), 0xC7);
    EXPECT_EQ(eeprom.reads.size(), 6u);
    EXPECT_TRUE(id.empty());
  }
}

TEST(UsbIdRead, AFailingReadReturnsItsCode) {
  FakeEeprom eeprom;
  for (std::uint8_t a = 0xC2; a <= 0xD3; ++a) eeprom.bytes[a] = '7';
  eeprom.failAddress = 0xD3;
  eeprom.failCode = 0x2000;
  Malusbid usbId;
  std::string id;
  EXPECT_EQ(usbId.ReadUSBID(eeprom, id), 0x2000);
  EXPECT_EQ(eeprom.reads.size(), 18u);
  EXPECT_TRUE(id.empty());
}

}  // namespace
}  // namespace vantor
