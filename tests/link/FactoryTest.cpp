// Factory and remote-mode frames, their sequences, the counters and the CR measurement.
#include "LinkFixture.h"

namespace vantor::test {
namespace {

class FactoryTest : public LinkTest {
 protected:
  // Payloads of the data packets written since the link started.
  std::vector<Bytes> DataPayloads() const {
    std::vector<Bytes> out;
    for (const Bytes& p : printer.On(kDataSocket)) out.emplace_back(p.begin() + 6, p.end());
    return out;
  }
  // A factory frame for the Q40: ESC | 0, body length, model bytes, code, complement, sub, params.
  static Bytes Frame(std::uint8_t code, std::uint8_t sub, Bytes params) {
    const std::uint8_t body = static_cast<std::uint8_t>(5 + params.size());
    Bytes f = {
        0x1B, 0x7C, 0x00, body, 0x00, 0x07, 0x4C, code, static_cast<std::uint8_t>(0xFF - code),
        sub};
    f.insert(f.end(), params.begin(), params.end());
    return f;
  }
  static Bytes CD(std::uint8_t a, std::uint8_t lo, std::uint8_t hi) {
    return Frame(0xCD, 0xE6, {a, 0x00, lo, hi});
  }
  static Bytes C5(std::uint8_t a, std::uint8_t b, std::uint8_t lo, std::uint8_t hi) {
    return Frame(0xC5, 0xE2, {a, b, lo, hi});
  }
  static Bytes CA(std::uint8_t v) { return Frame(0xCA, 0x65, {v}); }
};

TEST_F(FactoryTest, SingleFramesByteForByte) {
  StartLink();
  ASSERT_EQ(link.factory.SetBidValues(5, -128, 12), kOk);
  ASSERT_EQ(link.factory.CrCommandCD(6, -6), kOk);
  ASSERT_EQ(link.factory.FinishAdjustWrite(), kOk);
  ASSERT_EQ(link.factory.SetPfValue(0xFE), kOk);
  ASSERT_EQ(link.factory.FactoryCommandCB(), kOk);
  ASSERT_EQ(link.factory.FactoryCommandD1(3), kOk);
  ASSERT_EQ(link.factory.CleanOrCharge(4), kOk);
  ASSERT_EQ(link.channel.FlushPrintData(), kOk);
  const std::vector<Bytes> expected = {
      {0x1B, 0x7C, 0x00, 0x0A, 0x00, 0x07, 0x4C, 0x00, 0xFF, 0x00, 0x02, 0x80, 0xFF, 0x0C, 0x00},
      {0x1B, 0x7C, 0x00, 0x09, 0x00, 0x07, 0x4C, 0xCD, 0x32, 0xE6, 0x06, 0x00, 0xFA, 0xFF},
      {0x1B, 0x7C, 0x00, 0x05, 0x00, 0x07, 0x4C, 0x50, 0xAF, 0x28},
      {0x1B, 0x7C, 0x00, 0x06, 0x00, 0x07, 0x4C, 0x04, 0xFB, 0x02, 0xFE},
      {0x1B, 0x7C, 0x00, 0x05, 0x00, 0x07, 0x4C, 0xCB, 0x34, 0xE5},
      {0x1B, 0x7C, 0x00, 0x06, 0x00, 0x07, 0x4C, 0xD1, 0x2E, 0xE8, 0x03},
      {0x1B, 0x7C, 0x00, 0x06, 0x00, 0x07, 0x4C, 0x84, 0x7B, 0x42, 0x04},
      {0x1B, 0x40},  // the reset queued after a cleaning
  };
  EXPECT_EQ(DataPayloads(), expected);
}

TEST_F(FactoryTest, RemoteModeFrames) {
  StartLink();
  ASSERT_EQ(link.remote.EnterRemoteMode(), kOk);
  ASSERT_EQ(link.remote.SendSnCommand(), kOk);
  ASSERT_EQ(link.remote.SendSnCommand(0, 3), kOk);
  ASSERT_EQ(link.remote.ExitRemoteMode(), kOk);
  const std::vector<Bytes> expected = {
      {0x1B, '(', 'R', 0x08, 0x00, 0x00, 'R', 'E', 'M', 'O', 'T', 'E', '1'},
      {'S', 'N', 0x03, 0x00, 0x00, 0x00, 0x00},
      {'S', 'N', 0x03, 0x00, 0x00, 0x00, 0x03},
      {0x1B, 0x00, 0x00, 0x00, 0x1B, '@'},
  };
  EXPECT_EQ(DataPayloads(), expected);
}

TEST_F(FactoryTest, SequencesSendTheirCommandsInOrder) {
  StartLink();
  ASSERT_EQ(link.factory.CarriageToHome(), kOk);
  ASSERT_EQ(link.factory.DispersionPrepare(), kOk);
  EXPECT_EQ(DataPayloads(), (std::vector<Bytes>{CD(8, 91, 0), CD(6, 0, 0), CD(6, 0xFA, 0xFF),
                                                C5(0x35, 1, 150, 0)}));
  printer.written.clear();
  ASSERT_EQ(link.factory.TransportCycleB(), kOk);
  EXPECT_EQ(DataPayloads(),
            (std::vector<Bytes>{CD(6, 91, 0), CD(7, 242, 0), CA(5), CD(6, 0x52, 0x01),
                                C5(0x41, 0, 0xAC, 0x12), CA(1), C5(0x41, 0, 0xC2, 0x42), CA(1),
                                C5(0x42, 1, 0x40, 0x1F), CA(1), C5(0x40, 1, 0x2F, 0x1B)}));
  for (const bool shortCycle : {true, false}) {
    printer.written.clear();
    ASSERT_EQ(link.factory.TransportCycleA(shortCycle), kOk);
    std::vector<Bytes> expected = {C5(0x42, 0, 0x40, 0x1F), CA(1), C5(0x40, 0, 0x2F, 0x1B), CA(1)};
    for (int i = 0; i < (shortCycle ? 2 : 6); ++i) {
      for (int j = 0; j < 3; ++j) expected.push_back(C5(0x40, 0, 0x30, 0x75));
      expected.push_back(C5(0x40, 0, 0x30, 0x5A));
    }
    expected.push_back(CA(shortCycle ? 10 : 100));
    expected.push_back(C5(0x43, 1, 150, 0));
    EXPECT_EQ(DataPayloads(), expected) << shortCycle;
  }
}

TEST_F(FactoryTest, DispersionArithmeticAndLimits) {
  EXPECT_EQ(FactoryCommands::DispersionValue(0, 711), -45);
  EXPECT_EQ(static_cast<std::uint8_t>(FactoryCommands::DispersionValue(0, 711)), 0xD3);
  EXPECT_EQ(FactoryCommands::DispersionValue(0, 714), -120);
  EXPECT_EQ(static_cast<std::uint8_t>(FactoryCommands::DispersionValue(0, 714)), 0x88);
  EXPECT_EQ(FactoryCommands::DispersionValue(0, 438), 120);
  EXPECT_EQ(FactoryCommands::DispersionValue(1000, 1000 + 441), 45);
  EXPECT_EQ(FactoryCommands::DispersionValue(1000, 1000 + 577), 0);  // -1/3 truncates to 0
}

TEST_F(FactoryTest, MeasurementReadsSixTimesWaitsAndStoresTheValue) {
  StartLink();
  // Three A readings of 0x0100 and three B readings of 0x0140: (576 + 768 - 960) / 3 = 128 -> 120.
  for (int i = 0; i < 3; ++i) {
    printer.controlTexts.push_back("@BDC PS\r\nEE:7E01;");
    printer.controlTexts.push_back("@BDC PS\r\nEE:7F00;");
  }
  for (int i = 0; i < 3; ++i) {
    printer.controlTexts.push_back("@BDC PS\r\nEE:7E01;");
    printer.controlTexts.push_back("@BDC PS\r\nEE:7F40;");
  }
  const std::int64_t start = clock.NowMs();
  std::int8_t value = 0;
  VerifiedWrites writes(link.channel);
  ASSERT_EQ(link.factory.MeasureCrDispersion(writes, value), kOk);
  EXPECT_EQ(value, 120);
  EXPECT_GE(clock.NowMs() - start, 31'000);
  const auto data = DataPayloads();
  ASSERT_EQ(data.size(), 2u + 1 + 10 + 6 + 6 + 2);
  EXPECT_EQ(data[2], CD(6, 0x0C, 0x01));
  EXPECT_EQ(data[3], CD(0, 0xF4, 0x04));
  EXPECT_EQ(data[13], CD(0, 0xF4, 0x04));
  EXPECT_EQ(data[14], CD(4, 0x0C, 0x01));
  EXPECT_EQ(data[20], CD(3, 0x0C, 0x01));
  EXPECT_EQ(data[25], Frame(0x50, 0x28, {}));
  EXPECT_EQ(data[26], CD(6, 0, 0));
  // The write of 120 to 0x79, then its read-back, before the carriage's last move.
  const auto control = printer.On(kControlSocket);
  ASSERT_GE(control.size(), 2u);
  EXPECT_EQ(control.end()[-2], (Bytes{0x02, 0x02, 0x00, 0x11, 0x00, 0x00, 0x7C, 0x7C, 0x07, 0x00,
                                      0x07, 0x4C, 0x42, 0xBD, 0x21, 0x79, 0x78}));
  EXPECT_EQ(control.back(), (Bytes{0x02, 0x02, 0x00, 0x10, 0x00, 0x00, 0x7C, 0x7C, 0x06, 0x00, 0x07,
                                   0x4C, 0x41, 0xBE, 0xA0, 0x79}));
  EXPECT_TRUE(writes.AllConfirmed());
}

TEST_F(FactoryTest, MeasurementStopsAtTheFirstFailure) {
  StartLink();
  printer.controlTexts.push_back("garbage");
  std::int8_t value = 0;
  VerifiedWrites writes(link.channel);
  EXPECT_EQ(link.factory.MeasureCrDispersion(writes, value), kChannelFailure);
  EXPECT_TRUE(writes.Bytes().empty());
  EXPECT_EQ(link.channel.ChannelError(), 0xB0);
  // Nothing after the failed read: the last data frame is the first A-reading move.
  EXPECT_EQ(DataPayloads().back(), CD(4, 0x0C, 0x01));
}

TEST_F(FactoryTest, DataChannelEepromReadAndItsBadReply) {
  StartLink();
  printer.dataReplies.push_back(Packet(0x40, TextPayload("@BDC PS\r\nEE:70C4;")));
  std::uint8_t v = 0;
  ASSERT_EQ(link.factory.FactoryReadEepromByte(0x70, v), kOk);
  EXPECT_EQ(v, 0xC4);
  EXPECT_EQ(DataPayloads().back(), Frame(0x41, 0xA0, {0x70}));
  printer.dataReplies.push_back(Packet(0x40, TextPayload("@BDC PS")));
  EXPECT_EQ(link.factory.FactoryReadEepromByte(0x70, v), kFactoryReplyFailure);
  EXPECT_EQ(link.factory.ResultField(), kFactoryResultBadReply);
}

TEST_F(FactoryTest, EepromDefaultsPerModel) {
  StartLink();
  VerifiedWrites sent(link.channel);
  ASSERT_EQ(link.factory.WriteEepromDefaults(sent), kOk);
  std::vector<std::pair<int, int>> writes;
  for (const Bytes& p : printer.On(kControlSocket)) writes.emplace_back(p[15], p[16]);
  EXPECT_EQ(writes,
            (std::vector<std::pair<int, int>>{{81, 8}, {82, 2}, {101, 1}, {176, 0x94}, {225, 0}}));
  printer.written.clear();
  link.channel.SetModel(Model::Q30);
  ASSERT_EQ(link.factory.WriteEepromDefaults(sent), kOk);
  EXPECT_EQ(printer.On(kControlSocket)[3][16], 0x95);
  printer.written.clear();
  link.channel.SetModel(Model::None);
  ASSERT_EQ(link.factory.WriteEepromDefaults(sent), kOk);
  EXPECT_EQ(printer.On(kControlSocket).size(), 4u);
}

TEST_F(FactoryTest, CountersReadHighByteFirst) {
  StartLink();
  printer.controlTexts.push_back("@BDC PS\r\nEE:020F;");
  printer.controlTexts.push_back("@BDC PS\r\nEE:0361;");
  std::string text;
  ASSERT_EQ(link.maintenance.ReadProtectionCounter(text), kOk);
  EXPECT_EQ(text, "3937");
  for (const char* v : {"80", "00", "00", "00"}) {
    printer.controlTexts.push_back(std::string("@BDC PS\r\nEE:20") + v + ";");
  }
  ASSERT_EQ(link.maintenance.ReadPageCount(text), kOk);
  EXPECT_EQ(text, "-2147483648");
  printer.controlTexts.push_back("@BDC PS\r\nEE:2400;");
  printer.controlTexts.push_back("bad");
  text = "unchanged";
  EXPECT_EQ(link.maintenance.ReadPassCount(text), kChannelFailure);
  EXPECT_EQ(text, "unchanged");
}

}  // namespace
}  // namespace vantor::test
