// Control-channel replies and the factory frames' effects on the EEPROM and the mechanism.
#include <gtest/gtest.h>

#include "link/Link.h"
#include "tests/sim/SimWire.h"

namespace vantor::sim::test {
namespace {

Bytes DataFrame(const Bytes& body) {
  return Cat({0x1B, 0x7C, 0x00, std::uint8_t(body.size()), 0x00}, body);
}

TEST(VirtualControl, StatusReplyHoldsStateInkAndErrorOnlyWhenInError) {
  Wire w;
  w.Up();
  const std::string ready = w.Control(kStatusCommand);
  EXPECT_NE(ready.find("ST:04;"), std::string::npos) << ready;
  EXPECT_NE(ready.find("IQ:"), std::string::npos);
  EXPECT_NE(ready.find("WR:"), std::string::npos);
  EXPECT_EQ(ready.find("ER:"), std::string::npos);

  w.printer.RaiseError(0x02);
  const std::string error = w.Control(kStatusCommand);
  EXPECT_NE(error.find("ST:00;"), std::string::npos) << error;
  // The error comes before the ink levels, so a host that stops parsing at IQ still sees it.
  ASSERT_NE(error.find("ER:02;"), std::string::npos);
  EXPECT_LT(error.find("ER:"), error.find("IQ:"));
  w.printer.ClearError();
  EXPECT_EQ(w.Control(kStatusCommand).find("ER:"), std::string::npos);
}

TEST(VirtualControl, EepromFramesReadWriteAndRefuse) {
  Wire w;
  w.Up();
  // Read 121 (0x79) on a Q40: the factory value is at text positions 14-15.
  const std::string read = w.Control({0x7C, 0x7C, 0x06, 0x00, 0x07, 0x4C, 0x41, 0xBE, 0xA0, 0x79});
  ASSERT_GE(read.size(), 16u);
  EXPECT_EQ(read.substr(0, 7), "@BDC PS");
  EXPECT_EQ(read.substr(14, 2), "03");

  const std::string wrote =
      w.Control({0x7C, 0x7C, 0x07, 0x00, 0x07, 0x4C, 0x42, 0xBD, 0x21, 0x79, 0x78});
  EXPECT_EQ(wrote.at(6), 'O');
  EXPECT_EQ(w.printer.Eeprom(121), 0x78);
  EXPECT_EQ(w.Control({0x7C, 0x7C, 0x06, 0x00, 0x07, 0x4C, 0x41, 0xBE, 0xA0, 0x79}).substr(14, 2),
            "78");

  // While the mechanism works, a write is answered 'B' and changes nothing.
  w.Data(DataFrame({0x07, 0x4C, 0x84, 0x7B, 0x42, 0x04}));
  EXPECT_EQ(w.Control({0x7C, 0x7C, 0x07, 0x00, 0x07, 0x4C, 0x42, 0xBD, 0x21, 0x79, 0x55}).at(6),
            'B');
  EXPECT_EQ(w.printer.Eeprom(121), 0x78);
  w.clock.Advance(60'000);
  EXPECT_EQ(w.Control({0x7C, 0x7C, 0x07, 0x00, 0x07, 0x4C, 0x42, 0xBD, 0x21, 0x79, 0x78}).at(6),
            'O');

  // Q30 model bytes on a Q40, a broken complement, a length beyond the packet: all refused.
  EXPECT_EQ(w.Control({0x7C, 0x7C, 0x07, 0x00, 0x08, 0x18, 0x42, 0xBD, 0x21, 0x79, 0x11}).at(6),
            'N');
  EXPECT_EQ(w.Control({0x7C, 0x7C, 0x07, 0x00, 0x07, 0x4C, 0x42, 0xBE, 0x21, 0x79, 0x11}).at(6),
            'N');
  EXPECT_EQ(w.Control({0x7C, 0x7C, 0x30, 0x00, 0x07, 0x4C, 0x42, 0xBD, 0x21, 0x79, 0x11}).at(6),
            'N');
  EXPECT_EQ(w.printer.Eeprom(121), 0x78);
  EXPECT_NE(w.Control({0x7C, 0x7C, 0x06, 0x00, 0x08, 0x18, 0x41, 0xBE, 0xA0, 0x79}).substr(0, 7),
            "@BDC PS");

  EXPECT_EQ(w.Control({'r', 's', 0x01, 0x00, 0x01}).at(6), 'O');
  EXPECT_EQ(w.Control({'x', 'y', 0x01, 0x00, 0x01}).at(6), 'N');
  EXPECT_EQ(w.Control({0x01}).at(6), 'N');
}

TEST(VirtualFactory, FramesSetValuesAndAnswerReads) {
  Wire w;
  w.Up();
  // SetBidValues for VSD2 (kind 2): -128 leaves black at 0x74 alone, colour 12 goes to 0x75.
  const std::uint8_t vsd2Black = w.printer.Eeprom(0x74);
  w.Data(DataFrame({0x07, 0x4C, 0x00, 0xFF, 0x00, 0x02, 0x80, 0xFF, 0x0C, 0x00}));
  EXPECT_EQ(w.printer.Eeprom(0x74), vsd2Black);
  EXPECT_EQ(w.printer.Eeprom(0x75), 0x0C);
  // VSD1 (kind 1) is 0x72/0x73; ECO (kind 4) lies below it at 0x70/0x71.
  w.Data(DataFrame({0x07, 0x4C, 0x00, 0xFF, 0x00, 0x01, 0xFD, 0xFF, 0x80, 0xFF}));
  w.Data(DataFrame({0x07, 0x4C, 0x00, 0xFF, 0x00, 0x04, 0x80, 0xFF, 0x3C, 0x00}));
  EXPECT_EQ(w.printer.Eeprom(0x72), 0xFD);
  EXPECT_EQ(w.printer.Eeprom(0x71), 0x3C);
  EXPECT_EQ(w.printer.Eeprom(0x70), 0x04);  // factory ECO black of a Q40, left alone
  // SetPfValue(-4) to 125, then the end of the write.
  w.Data(DataFrame({0x07, 0x4C, 0x04, 0xFB, 0x02, 0xFC}));
  w.Data(DataFrame({0x07, 0x4C, 0x50, 0xAF, 0x28}));
  EXPECT_EQ(w.printer.Eeprom(125), 0xFC);
  // Frames for the other model or with a wrong sub-code change nothing.
  w.Data(DataFrame({0x08, 0x18, 0x04, 0xFB, 0x02, 0x11}));
  w.Data(DataFrame({0x07, 0x4C, 0x04, 0xFB, 0x03, 0x11}));
  EXPECT_EQ(w.printer.Eeprom(125), 0xFC);
  EXPECT_TRUE(w.Reply().empty());  // factory commands have no reply

  // The data-channel EEPROM read answers on the data socket.
  w.Data(DataFrame({0x07, 0x4C, 0x41, 0xBE, 0xA0, 0x70}));
  const Bytes r = w.Reply();
  ASSERT_GE(r.size(), 22u);
  EXPECT_EQ(r[0], 0x40);
  EXPECT_EQ(r[1], 0x40);
  EXPECT_EQ(r[2] * 256 + r[3], static_cast<int>(r.size()));
  const std::string text(r.begin() + 6, r.end());
  EXPECT_EQ(text.substr(0, 7), "@BDC PS");
  EXPECT_EQ(text.substr(14, 2), "04");  // factory Bi-D byte 112 of a Q40
}

TEST(VirtualFactory, CleaningRunsForItsTimeAndFeedsTheProtectionCounter) {
  Wire w;
  w.Up();
  const auto before = w.printer.State().protectionCounter;
  w.Data(DataFrame({0x07, 0x4C, 0x84, 0x7B, 0x42, 0x04}));
  EXPECT_NE(w.Control(kStatusCommand).find("ST:07;"), std::string::npos);
  w.clock.Advance(20'000);
  EXPECT_EQ(w.printer.State().st, kStCleaning);
  w.clock.Advance(40'000);
  EXPECT_EQ(w.printer.State().st, kStReady);
  EXPECT_GT(w.printer.State().protectionCounter, before);

  // An ink charge takes longer than a cleaning; carriage commands keep the printer busy.
  w.Data(DataFrame({0x07, 0x4C, 0x84, 0x7B, 0x42, 0x06}));
  w.clock.Advance(60'000);
  EXPECT_EQ(w.printer.State().st, kStCleaning);
  w.clock.Advance(60'000);
  EXPECT_EQ(w.printer.State().st, kStReady);
  w.Data(DataFrame({0x07, 0x4C, 0xC5, 0x3A, 0xE2, 0x40, 0x00, 0x30, 0x75}));  // 30000 steps
  EXPECT_EQ(w.printer.State().st, kStBusy);
  w.clock.Advance(10'000);
  EXPECT_EQ(w.printer.State().st, kStReady);
}

// The host's own link code against the virtual printer.
struct LinkedPrinter : ::testing::Test {
  void SetUp() override {
    printer.AttachTo(table);
    ASSERT_EQ(link.port.OpenPort(0x501), kOk);
    link.channel.SetModel(Model::Q40);
    ASSERT_EQ(link.channel.StartLink(), kOk);
  }
  VirtualClock clock;
  VirtualPrinter printer{clock, Model::Q40};
  PortTable table;
  Link link{table, clock};
};

TEST_F(LinkedPrinter, CrMeasurementGivesASmallPlausibleValue) {
  std::int8_t value = 0;
  VerifiedWrites writes(link.channel);
  ASSERT_EQ(link.factory.MeasureCrDispersion(writes, value), kOk);
  EXPECT_TRUE(writes.AllConfirmed());
  EXPECT_GE(value, -5);
  EXPECT_LE(value, 5);
  EXPECT_EQ(static_cast<std::int8_t>(printer.Eeprom(121)), value);
  EXPECT_EQ(printer.State().creditFaults, 0u);
}

TEST_F(LinkedPrinter, CleaningAndWaitUntilReady) {
  const std::int64_t start = clock.NowMs();
  ASSERT_EQ(link.factory.CleanOrCharge(4), kOk);
  ASSERT_EQ(link.channel.WaitUntilReady(), kOk);
  EXPECT_GE(clock.NowMs() - start, 45'000);
  std::uint8_t value = 0;
  ASSERT_EQ(link.factory.FactoryReadEepromByte(113, value), kOk);
  EXPECT_EQ(value, 0xFD);
}

}  // namespace
}  // namespace vantor::sim::test
