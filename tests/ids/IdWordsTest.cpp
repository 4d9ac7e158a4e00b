#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "adjust/procedures/ProcedureContext.h"
#include "tests/ids/FakeEeprom.h"

namespace vantor {
namespace {

class RecordingDisplay final : public MessageDisplay {
 public:
  void Show(MessageKind kind, std::string_view text) override { shown.emplace_back(kind, text); }
  void EnableWindow() override { ++enabled; }
  std::vector<std::pair<MessageKind, std::string>> shown;
  int enabled = 0;
};

class IdWordsTest : public ::testing::Test {
 protected:
  PortTable table;
  VirtualClock clock;
  Link link{table, clock};
  RecordingDisplay display;
  ProcedureContext bench{link, display};
  Reporter& reporter = bench.reporter;
  Malheadid& headId = bench.headId;
  Malusbid& usbId = bench.usbId;
  test::FakeEeprom eeprom;
  using Shown = std::vector<std::pair<MessageKind, std::string>>;
};

TEST_F(IdWordsTest, ReportResultShowsTheLastFormatFaultInRed) {
  reporter.ReportResult(headId.WriteHeadID(eeprom, "21A2B3C4D5E1"));
  reporter.ReportResult(headId.WriteHeadID(eeprom, "21A2B3C4D5E13"));
  eeprom.bytes[0xC2] = ' ';
  std::string id;
  reporter.ReportResult(usbId.ReadUSBID(eeprom, id));
  EXPECT_EQ(display.shown, (Shown{{MessageKind::Error, "The number of digit is wrong."},
                                  {MessageKind::Error, "Check ID is invalid."},
                                  {MessageKind::Error, "USB ID is invalid"}}));
  EXPECT_EQ(display.enabled, 3);
}

TEST_F(IdWordsTest, AClockOutsideTheYearsIsToldAsAUsbIdFault) {
  test::FixedClock wrong({1980, 1, 1, 0, 0, 0});
  std::string dateCode;
  reporter.ReportResult(usbId.WriteSerialNumber(eeprom, wrong, "A12345678Z", dateCode));
  ASSERT_EQ(display.shown.size(), 1u);
  EXPECT_EQ(display.shown[0].first, MessageKind::Error);
  EXPECT_EQ(display.shown[0].second, usbId.Message());
}

TEST_F(IdWordsTest, NoFaultYetShowsNothingButEnablesTheWindow) {
  reporter.ReportResult(kHeadIdFailure);
  reporter.ReportResult(kUsbIdFailure);
  EXPECT_TRUE(display.shown.empty());
  EXPECT_EQ(display.enabled, 2);
}

}  // namespace
}  // namespace vantor
