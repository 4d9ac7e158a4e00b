// Transactions, channels, credits, status parsing and EEPROM replies, byte for byte.
#include <atomic>
#include <tuple>

#include "LinkFixture.h"

namespace vantor::test {
namespace {

TEST_F(LinkTest, StartLinkSendsEntryInitOpensAndStatusInOrder) {
  Open();
  ASSERT_EQ(link.channel.StartLink(), kOk);
  const Bytes entry = {0x00, 0x00, 0x00, 0x1B, 0x01, '@', 'Z', 'J',  'L', ' ', '1', '2', '8', '4',
                       '.',  '4',  '\n', '@',  'Z',  'J', 'L', '\n', '@', 'Z', 'J', 'L', '\n'};
  const Bytes init = {0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00, 0x10};
  const Bytes openControl = {0x00, 0x00, 0x00, 0x11, 0x01, 0x00, 0x01, 0x02, 0x02,
                             0x04, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00};
  const Bytes grant1 = {0x00, 0x00, 0x00, 0x0B, 0x01, 0x00, 0x03, 0x02, 0x02, 0x00, 0x01};
  const Bytes request1 = {0x00, 0x00, 0x00, 0x0D, 0x01, 0x00, 0x04,
                          0x02, 0x02, 0x00, 0x00, 0x00, 0x01};
  const Bytes status = {0x02, 0x02, 0x00, 0x0B, 0x00, 0x00, 's', 't', 0x01, 0x00, 0x01};
  Bytes openData = openControl;
  openData[7] = openData[8] = 0x40;
  const std::vector<Bytes> expected = {entry,    init,   openControl, grant1,
                                       request1, status, openData};
  EXPECT_EQ(printer.written, expected);
  EXPECT_TRUE(link.channel.ControlChannelOpen());
  EXPECT_TRUE(link.channel.DataChannelOpen());
  EXPECT_EQ(link.channel.PrinterStatus(), kStatusReady);
}

TEST_F(LinkTest, ShutdownClosesDataSendsRsClosesControlAndExitsWithPauses) {
  StartLink();
  const std::int64_t start = clock.NowMs();
  link.channel.ShutdownLink();
  const auto& w = printer.written;
  ASSERT_EQ(w.size(), 6u);
  EXPECT_EQ(w[0], (Bytes{0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x02, 0x40, 0x40, 0x00}));
  EXPECT_EQ(w[3], (Bytes{0x02, 0x02, 0x00, 0x0B, 0x00, 0x00, 'r', 's', 0x01, 0x00, 0x01}));
  EXPECT_EQ(w[4], (Bytes{0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x02, 0x02, 0x02, 0x00}));
  EXPECT_EQ(w[5], (Bytes{0x00, 0x00, 0x00, 0x07, 0x01, 0x00, 0x08}));
  EXPECT_GE(clock.NowMs() - start, 300);
}

// A printer that falls silent costs one receive time-out, not one per shutdown step.
class SilenceTest : public LinkTest, public ::testing::WithParamInterface<PortCode> {};

TEST_P(SilenceTest, ShutdownAfterATimeOutSendsEverythingWithoutWaitingAgain) {
  StartLink(GetParam());
  printer.silent = true;
  const std::int64_t silentAt = clock.NowMs();
  EXPECT_EQ(link.channel.ReadStatus(), kPortFailure);
  EXPECT_EQ(link.port.PortError(), kPortReceiveTimeout);
  link.channel.ShutdownLink();
  EXPECT_LE(clock.NowMs() - silentAt, 12'000);
  // Still all four steps on the wire: close data, "rs" (with its two credits), close control, Exit.
  const auto& w = printer.written;
  ASSERT_GE(w.size(), 6u);
  EXPECT_EQ(w[w.size() - 6], (Bytes{0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x02, 0x40, 0x40, 0x00}));
  EXPECT_EQ(w.back(), (Bytes{0x00, 0x00, 0x00, 0x07, 0x01, 0x00, 0x08}));
  // The cause stays readable after the shutdown.
  EXPECT_EQ(link.port.PortError(), kPortReceiveTimeout);
}

TEST_P(SilenceTest, SilenceDuringShutdownIsWaitedForOnce) {
  StartLink(GetParam());
  printer.silent = true;
  const std::int64_t start = clock.NowMs();
  link.channel.ShutdownLink();
  EXPECT_LE(clock.NowMs() - start, 12'000);
  EXPECT_EQ(printer.written.back(), (Bytes{0x00, 0x00, 0x00, 0x07, 0x01, 0x00, 0x08}));
}

TEST_P(SilenceTest, ANewLinkWaitsForRepliesAgain) {
  StartLink(GetParam());
  printer.silent = true;
  link.channel.ShutdownLink();
  printer.silent = false;
  ASSERT_EQ(link.port.OpenPort(GetParam()), kOk);
  ASSERT_EQ(link.channel.StartLink(), kOk);
  printer.written.clear();
  link.channel.ShutdownLink();
  EXPECT_EQ(printer.written.size(), 6u);
  EXPECT_EQ(link.port.PortError(), kPortNoError);
}

// One command on one link (the command-line tool): after one time-out nothing waits again.
TEST_P(SilenceTest, ALinkThatWaitsOnceFailsLaterExchangesAtOnce) {
  StartLink(GetParam());
  link.channel.SetWaitForSilenceOnce(true);
  printer.silent = true;
  const std::int64_t silentAt = clock.NowMs();
  EXPECT_EQ(link.channel.WriteEepromByte(0x70, 1), kPortFailure);
  for (int row = 0; row < 5; ++row) {
    EXPECT_EQ(link.channel.WriteEepromByte(0x71, 2), kPortFailure);
    EXPECT_EQ(link.port.PortError(), kPortReceiveTimeout);
  }
  link.channel.ShutdownLink();
  EXPECT_LE(clock.NowMs() - silentAt, 12'000);
}

// After a time-out: whether the next exchange goes out and is answered, and whether the
// shutdown then reads its replies (none left waiting) or sends them unanswered.
TEST_P(SilenceTest, AnAnswerEndsTheSilenceAndARepeatTriesAgain) {
  struct Row {
    const char* what;
    bool waitOnce;
    bool retry;
    bool answersAgain;
    Result next;
    bool sent;
    bool repliesLeft;
  };
  const Row rows[] = {
      {"window, printer back", false, false, true, kOk, true, false},
      {"one command, printer back", true, false, true, kPortFailure, false, true},
      {"one command, repeated, printer back", true, true, true, kOk, true, false},
      {"one command, repeated, still silent", true, true, false, kPortFailure, true, false},
  };
  for (const Row& row : rows) {
    printer.silent = false;
    StartLink(GetParam());
    link.channel.SetWaitForSilenceOnce(row.waitOnce);
    printer.silent = true;
    ASSERT_EQ(link.channel.ReadStatus(), kPortFailure) << row.what;
    printer.silent = !row.answersAgain;
    if (row.retry) link.channel.RetryAfterSilence();
    const std::size_t before = printer.written.size();
    EXPECT_EQ(link.channel.ReadStatus(), row.next) << row.what;
    EXPECT_EQ(printer.written.size() > before, row.sent) << row.what;
    link.channel.ShutdownLink();
    std::array<std::uint8_t, kPortBufferSize> buffer{};
    std::size_t count = 0;
    EXPECT_EQ(link.port.ReadPort(buffer.data(), count) == kOk, row.repliesLeft) << row.what;
    while (link.port.ReadPort(buffer.data(), count) == kOk) {
    }
  }
}

INSTANTIATE_TEST_SUITE_P(BothInterfaces, SilenceTest,
                         ::testing::Values(PortCode{0x401}, PortCode{0x501}));

// Each transaction's refusals: the result byte, the error code it leaves, and the result.
struct Refusal {
  int transaction;  // 0 entry, 1 init, 2 open, 3 close, 4 credit, 5 credit request
  std::uint8_t resultByte;
  std::int16_t errorCode;
  Result result;
};

class RefusalTest : public LinkTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, ResultByteGivesErrorCode) {
  const Refusal r = GetParam();
  Open();
  static constexpr std::uint8_t kCommand[] = {0x5A, 0x00, 0x01, 0x02, 0x03, 0x04};
  printer.nextReplies.push_back(Packet(0x00,
                                       {static_cast<std::uint8_t>(kCommand[r.transaction] + 0x80),
                                        r.resultByte, 0x02, 0x02, 0x00, 0x01},
                                       0x01));
  PacketChannel& c = link.channel;
  Result got = 0;
  switch (r.transaction) {
    case 0:
      got = c.EnterPacketMode();
      break;
    case 1:
      got = c.InitTransport();
      break;
    case 2:
      got = c.OpenChannel(kControlSocket);
      break;
    case 3:
      got = c.CloseChannel(kControlSocket, 0);
      break;
    case 4:
      got = c.GrantCredit(kControlSocket, 1);
      break;
    case 5:
      got = c.RequestCredit(kControlSocket, 1);
      break;
  }
  EXPECT_EQ(got, r.result);
  EXPECT_EQ(c.ChannelError(), r.errorCode);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RefusalTest,
    ::testing::Values(Refusal{0, 0, 1, kOk}, Refusal{0, 1, 0x51, kChannelFailure},
                      Refusal{0, 2, -1, kChannelFailure}, Refusal{1, 1, 0x11, kChannelFailure},
                      Refusal{1, 2, 0x12, kChannelFailure}, Refusal{1, 0x0B, 0x13, kChannelFailure},
                      Refusal{1, 3, -1, kChannelFailure}, Refusal{2, 4, 0x21, kChannelFailure},
                      Refusal{2, 5, 0x22, kChannelFailure}, Refusal{2, 6, 0x23, kOk},
                      Refusal{2, 9, 0x24, kChannelFailure}, Refusal{2, 12, 0x25, kChannelFailure},
                      Refusal{2, 13, 0x26, kChannelFailure}, Refusal{2, 7, -1, kChannelFailure},
                      Refusal{3, 3, 0x41, kChannelFailure}, Refusal{3, 8, 0x32, kChannelFailure},
                      Refusal{4, 7, 0x31, kChannelFailure}, Refusal{4, 8, 0x32, kChannelFailure},
                      Refusal{5, 7, 0x31, kChannelFailure}, Refusal{5, 8, 0x32, kChannelFailure},
                      Refusal{5, 1, -1, kChannelFailure}));

TEST_F(LinkTest, OpenChannelResultSixCountsAsOpen) {
  Open();
  printer.nextReplies.push_back(Packet(0x00, {0x81, 0x06, 0x40, 0x40}, 0x01));
  EXPECT_EQ(link.channel.OpenChannel(kDataSocket), kOk);
  EXPECT_EQ(link.channel.ChannelError(), 0x23);
  EXPECT_TRUE(link.channel.DataChannelOpen());
}

TEST_F(LinkTest, ErrorRepliesGiveTheirNumberOrMinusOne) {
  Open();
  printer.nextReplies.push_back(Packet(0x00, {0x7F, 0x00, 0x00, 0x87}));
  EXPECT_EQ(link.channel.InitTransport(), kChannelFailure);
  EXPECT_EQ(link.channel.ChannelError(), 0x87);
  printer.nextReplies.push_back(Packet(0x00, {0x7F, 0x00, 0x00, 0x88}));
  EXPECT_EQ(link.channel.InitTransport(), kChannelFailure);
  EXPECT_EQ(link.channel.ChannelError(), -1);
  printer.nextReplies.push_back(Packet(0x00, {0x7F}));  // too short to carry a number
  EXPECT_EQ(link.channel.InitTransport(), kChannelFailure);
  EXPECT_EQ(link.channel.ChannelError(), -1);
}

TEST_F(LinkTest, TransactionRepliesOnAnotherSocketAreNeverTaken) {
  Open();
  // An OpenChannel answer whose secondary socket lost a bit: the channel stays closed.
  printer.nextReplies.push_back({0x00, 0x01, 0x00, 0x0A, 0x01, 0x00, 0x81, 0x00, 0x40, 0x40});
  EXPECT_EQ(link.channel.OpenChannel(kDataSocket), kChannelFailure);
  EXPECT_EQ(link.channel.ChannelError(), -1);
  EXPECT_FALSE(link.channel.DataChannelOpen());
  // The same with the primary socket: nothing is counted as open.
  printer.nextReplies.push_back({0x40, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x81, 0x00, 0x02, 0x02});
  EXPECT_EQ(link.channel.OpenChannel(kControlSocket), kChannelFailure);
  EXPECT_FALSE(link.channel.ControlChannelOpen());
  // An error reply off socket 0 is no printer error number either.
  printer.nextReplies.push_back({0x00, 0x02, 0x00, 0x0A, 0x01, 0x00, 0x7F, 0x00, 0x00, 0x84});
  EXPECT_EQ(link.channel.InitTransport(), kChannelFailure);
  EXPECT_EQ(link.channel.ChannelError(), -1);
  // Credits granted in a damaged reply are not counted.
  ASSERT_EQ(link.channel.OpenChannel(kDataSocket), kOk);
  printer.nextReplies.push_back(
      {0x00, 0x01, 0x00, 0x0C, 0x01, 0x00, 0x84, 0x00, 0x40, 0x40, 0x00, 0x02});
  EXPECT_EQ(link.channel.RequestCredit(kDataSocket, 2), kChannelFailure);
  EXPECT_EQ(link.channel.HostCredits(), 0);
}

TEST_F(LinkTest, ControlChannelReportedClosedIsReopenedByTheNextCommand) {
  StartLink();
  printer.controlTexts.clear();
  // The command itself is refused: Grant and Request pass, then the error reply.
  printer.nextReplies.push_back(Packet(0x00, {0x83, 0x00, 0x02, 0x02, 0x00, 0x01}, 1));
  printer.nextReplies.push_back(Packet(0x00, {0x84, 0x00, 0x02, 0x02, 0x00, 0x01}, 1));
  printer.nextReplies.push_back(Packet(0x00, {0x7F, 0x00, 0x00, 0x84}));
  EXPECT_EQ(link.channel.ReadStatus(), kChannelFailure);
  EXPECT_EQ(link.channel.ChannelError(), 0x84);
  EXPECT_FALSE(link.channel.ControlChannelOpen());
  printer.written.clear();
  EXPECT_EQ(link.channel.ReadStatus(), kOk);
  ASSERT_FALSE(printer.written.empty());
  EXPECT_EQ(printer.written[0][6], 0x01);  // OpenChannel first
  EXPECT_EQ(printer.written[0][7], kControlSocket);
}

TEST_F(LinkTest, DataChannelReportedClosedOnReceiveIsReopenedBySendData) {
  StartLink();
  printer.dataReplies.push_back(Packet(0x00, {0x7F, 0x00, 0x00, 0x84}));
  std::uint8_t v = 0;
  EXPECT_EQ(link.factory.FactoryReadEepromByte(0x70, v), kChannelFailure);
  EXPECT_FALSE(link.channel.DataChannelOpen());
  printer.written.clear();
  ASSERT_EQ(link.factory.FinishAdjustWrite(), kOk);
  EXPECT_EQ(printer.written[0][6], 0x01);
  EXPECT_EQ(printer.written[0][7], kDataSocket);
}

TEST_F(LinkTest, PrintDataGoesOutInThousandBytePayloads) {
  StartLink();
  const Bytes data(999, 0xAB);
  ASSERT_EQ(link.channel.QueuePrintData(data.data(), data.size()), kOk);
  EXPECT_TRUE(printer.On(kDataSocket).empty());
  EXPECT_EQ(link.channel.PrintDataFill(), 999u);
  const std::uint8_t one = 0xCD;
  ASSERT_EQ(link.channel.QueuePrintData(&one, 1), kOk);
  const auto packets = printer.On(kDataSocket);
  ASSERT_EQ(packets.size(), 1u);
  EXPECT_EQ(packets[0].size(), 1006u);
  EXPECT_EQ(Bytes(packets[0].begin(), packets[0].begin() + 6),
            (Bytes{0x40, 0x40, 0x03, 0xEE, 0x00, 0x00}));
  EXPECT_EQ(packets[0].back(), 0xCD);
  EXPECT_EQ(link.channel.PrintDataFill(), 0u);
  printer.written.clear();
  EXPECT_EQ(link.channel.FlushPrintData(), kOk);
  EXPECT_TRUE(printer.written.empty());
}

TEST_F(LinkTest, CreditsAreAskedTwoHundredAtATimeWhenTenOrFewerRemain) {
  StartLink();
  const std::uint8_t b = 0;
  ASSERT_EQ(link.channel.QueuePrintData(&b, 1), kOk);
  const auto t = printer.On(kTransactionSocket);
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0],
            (Bytes{0x00, 0x00, 0x00, 0x0D, 0x01, 0x00, 0x04, 0x40, 0x40, 0x00, 0x00, 0x00, 0xC8}));
  EXPECT_EQ(t[1], (Bytes{0x00, 0x00, 0x00, 0x0B, 0x01, 0x00, 0x03, 0x40, 0x40, 0x00, 0xC8}));
  EXPECT_EQ(link.channel.HostCredits(), 200);
  EXPECT_EQ(link.channel.PrinterCredits(), 200);
}

TEST_F(LinkTest, CreditReplyWithoutItsFieldCountsTheAmountGranted) {
  StartLink();
  printer.creditReplyLength = 10;
  ASSERT_EQ(link.channel.GrantCredit(kDataSocket, 7), kOk);
  EXPECT_EQ(link.channel.PrinterCredits(), 7);
}

TEST_F(LinkTest, SendDataFlushesWaitingPrintDataFirstAsItsOwnPacket) {
  StartLink();
  const std::uint8_t print[3] = {0x0D, 0x0A, 0x0C};
  ASSERT_EQ(link.channel.QueuePrintData(print, 3), kOk);
  const std::uint8_t command[2] = {0x1B, 0x40};
  ASSERT_EQ(link.channel.SendData(command, 2), kOk);
  const auto packets = printer.On(kDataSocket);
  ASSERT_EQ(packets.size(), 2u);
  EXPECT_EQ(packets[0], (Bytes{0x40, 0x40, 0x00, 0x09, 0x00, 0x00, 0x0D, 0x0A, 0x0C}));
  EXPECT_EQ(packets[1], (Bytes{0x40, 0x40, 0x00, 0x08, 0x00, 0x00, 0x1B, 0x40}));
}

TEST_F(LinkTest, SendDataAsksTwoCreditsEachWay) {
  StartLink();
  const std::uint8_t command[1] = {0};
  ASSERT_EQ(link.channel.SendData(command, 1), kOk);
  const auto t = printer.On(kTransactionSocket);
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0].back(), 2);
  EXPECT_EQ(t[1].back(), 2);
  EXPECT_EQ(link.channel.HostCredits(), 1);
}

TEST_F(LinkTest, FailedSendDiscardsTheWaitingPrintData) {
  StartLink();
  const Bytes data(500, 0x11);
  ASSERT_EQ(link.channel.QueuePrintData(data.data(), data.size()), kOk);
  const std::uint16_t credits = link.channel.HostCredits();
  printer.shortBy = 1;
  EXPECT_EQ(link.channel.FlushPrintData(), kPortFailure);
  EXPECT_EQ(link.channel.PrintDataFill(), 0u);
  EXPECT_EQ(link.channel.HostCredits(), credits);
  printer.written.clear();
  const std::uint8_t command[1] = {0x55};
  ASSERT_EQ(link.channel.SendData(command, 1), kOk);
  ASSERT_EQ(printer.On(kDataSocket).size(), 1u);  // the failed job's bytes do not come back
}

struct StatusCase {
  std::string reply;
  std::uint16_t status;
  std::uint16_t error;
  int raw;
};

class StatusParseTest : public LinkTest, public ::testing::WithParamInterface<StatusCase> {};

TEST_P(StatusParseTest, ReplyGivesStatusAndError) {
  StartLink();
  printer.controlTexts.push_back(GetParam().reply);
  ASSERT_EQ(link.channel.ReadStatus(), kOk);
  EXPECT_EQ(link.channel.PrinterStatus(), GetParam().status);
  EXPECT_EQ(link.channel.PrinterErrorCode(), GetParam().error);
  if (GetParam().raw >= 0) {
    EXPECT_EQ(link.channel.RawErrorCode(), GetParam().raw);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, StatusParseTest,
    ::testing::Values(StatusCase{"@BDC ST2\r\nST:04;IQ:505050;", kStatusReady, kErrorNone, -1},
                      StatusCase{"ST:02;ER:06;IQ:50;", kStatusError, kErrorPaperOut, -1},
                      StatusCase{"ST:08;ER:06;IQ:50;", kStatusBeforeFill, kErrorPaperOut, -1},
                      StatusCase{"ST:04;IQ:50;ER:02;", kStatusError, kErrorOther, 2},
                      StatusCase{"ST:04;IQ:50;ER:05;WR:01;", kStatusError, kErrorInkOut, -1},
                      StatusCase{"ST:02;IQ:50;", kStatusBusy, kErrorNone, -1},
                      StatusCase{"ST:05;IQ:50;", kStatusNone, kErrorNone, -1},
                      StatusCase{"ST:0a;IQ:50;", kStatusNone, kErrorNone, -1},
                      StatusCase{"IQ:50;ST:0", kStatusNone, kErrorNone, -1},
                      StatusCase{"IQ:50;ST:07;ER:1", kStatusError, kErrorOther, 0},
                      StatusCase{"ST:00;IQ:50;ER:12;", kStatusError, kErrorDoubleFeed, -1}));

TEST_F(LinkTest, StatusWithoutStOrIqFieldFails) {
  StartLink();
  printer.controlTexts.push_back("ST:04;");
  EXPECT_EQ(link.channel.ReadStatus(), kChannelFailure);
  EXPECT_EQ(link.channel.ChannelError(), 0xA0);
  printer.controlTexts.push_back("IQ:50;");
  EXPECT_EQ(link.channel.ReadStatus(), kChannelFailure);
  EXPECT_EQ(link.channel.ChannelError(), 0xA0);
}

TEST_F(LinkTest, EepromReadDecodesPositionsFourteenAndFifteen) {
  StartLink();
  const auto read = [&](const std::string& reply, std::uint8_t& v) {
    printer.controlTexts.push_back(reply);
    return link.channel.ReadEepromByte(0x5D, v);
  };
  std::uint8_t v = 0;
  ASSERT_EQ(read("@BDC PS\r\nEE:5D0F;", v), kOk);
  EXPECT_EQ(v, 15);
  ASSERT_EQ(read("@BDC PS\r\nEE:5Da0;", v), kOk);
  EXPECT_EQ(v, 0xA0);  // a lower-case letter first still gives the right value
  ASSERT_EQ(read("@BDC PS\r\nEE:5D1a;", v), kOk);
  EXPECT_EQ(v, 0x3A);  // second place: 32 too high, as the printer's digit rule has it
  EXPECT_EQ(read("@BDC PS\r\nEE:5D0", v), kChannelFailure);
  EXPECT_EQ(link.channel.ChannelError(), 0xB0);
  EXPECT_EQ(read("@BDC XX\r\nEE:5D0F;", v), kChannelFailure);
  EXPECT_EQ(link.channel.ChannelError(), 0xB0);
}

TEST_F(LinkTest, EepromFramesCarryModelBytes) {
  StartLink();
  printer.controlTexts.push_back("@BDC  OK;");
  ASSERT_EQ(link.channel.WriteEepromByte(121, 0x78), kOk);
  EXPECT_EQ(printer.On(kControlSocket).back(),
            (Bytes{0x02, 0x02, 0x00, 0x11, 0x00, 0x00, 0x7C, 0x7C, 0x07, 0x00, 0x07, 0x4C, 0x42,
                   0xBD, 0x21, 0x79, 0x78}));
  link.channel.SetModel(Model::Q30);
  printer.controlTexts.push_back("@BDC PS\r\nEE:0200;");
  std::uint8_t v = 0;
  ASSERT_EQ(link.channel.ReadEepromByte(2, v), kOk);
  EXPECT_EQ(printer.On(kControlSocket).back(),
            (Bytes{0x02, 0x02, 0x00, 0x10, 0x00, 0x00, 0x7C, 0x7C, 0x06, 0x00, 0x08, 0x18, 0x41,
                   0xBE, 0xA0, 0x02}));
}

TEST_F(LinkTest, WriteAndRsAcknowledgeAtPositionSix) {
  StartLink();
  const std::vector<std::tuple<std::string, Result, std::int16_t>> cases = {
      {"@BDC  OK;", kOk, 1},
      {"@BDC  BUSY", kChannelFailure, 0x90},
      {"@BDC  NO", kChannelFailure, 0x91},
      {"@BDC  X", kChannelFailure, -1},
      {"@BDC ", kChannelFailure, -1}};
  for (const auto& [reply, result, code] : cases) {
    printer.controlTexts.push_back(reply);
    EXPECT_EQ(link.channel.WriteEepromByte(1, 2), result) << reply;
    EXPECT_EQ(link.channel.ChannelError(), code) << reply;
    printer.controlTexts.push_back(reply);
    EXPECT_EQ(link.channel.SendRsCommand(), result) << reply;
    EXPECT_EQ(link.channel.ChannelError(), code) << reply;
  }
}

// A printer that answers "st" from a list of states, one per poll.
class WaitTest : public LinkTest, public PaperOutNotifier {
 protected:
  void PaperOut() override { ++paperOutBoxes; }
  int paperOutBoxes = 0;
};

TEST_F(WaitTest, PaperOutShowsABoxEachPollUntilLoaded) {
  StartLink();
  link.channel.SetPaperOutNotifier(this);
  for (int i = 0; i < 3; ++i) printer.controlTexts.push_back("ST:00;IQ:50;ER:06;");
  printer.controlTexts.push_back("ST:03;IQ:50;");
  printer.controlTexts.push_back("ST:04;IQ:50;");
  const std::int64_t start = clock.NowMs();
  EXPECT_EQ(link.channel.WaitUntilReady(), kOk);
  EXPECT_EQ(paperOutBoxes, 3);
  EXPECT_GE(clock.NowMs() - start, 4000);
  // Each pass resets the printer first.
  EXPECT_EQ(printer.On(kDataSocket).front(),
            (Bytes{0x40, 0x40, 0x00, 0x08, 0x00, 0x00, 0x1B, 0x40}));
}

TEST_F(WaitTest, OtherErrorsAndBeforeFillEndTheWait) {
  StartLink();
  printer.controlTexts.push_back("ST:04;IQ:50;ER:05;");
  EXPECT_EQ(link.channel.WaitUntilReady(), kNotReady);
  printer.controlTexts.push_back("ST:08;IQ:50;");
  EXPECT_EQ(link.channel.PollUntilReady(), kNotReady);
  printer.written.clear();
  printer.controlTexts.push_back("ST:04;IQ:50;");
  EXPECT_EQ(link.channel.PollUntilReady(), kOk);
  EXPECT_TRUE(printer.On(kDataSocket).empty());  // polling alone sends no reset
}

TEST_F(WaitTest, AWaitLimitEndsAWaitThatWouldNotEndWithThePrintersWords) {
  StartLink();
  link.channel.SetPaperOutNotifier(this);
  link.channel.SetWaitLimitMs(5000);
  for (int i = 0; i < 50; ++i) printer.controlTexts.push_back("ST:00;IQ:50;ER:06;");
  const std::int64_t start = clock.NowMs();
  EXPECT_EQ(link.channel.WaitUntilReady(), kNotReady);
  EXPECT_EQ(link.channel.PrinterErrorCode(), kErrorPaperOut);
  EXPECT_GE(clock.NowMs() - start, 5000);
  EXPECT_LT(clock.NowMs() - start, 7000);
}

TEST_F(WaitTest, ACancelEndsAnyWaitAtItsNextPoll) {
  StartLink();
  std::atomic<bool> cancel{false};
  link.channel.SetCancel(&cancel);
  for (int i = 0; i < 50; ++i) printer.controlTexts.push_back("ST:01;IQ:50;");
  printer.controlTexts.push_back("ST:04;IQ:50;");
  cancel = true;
  const std::int64_t start = clock.NowMs();
  EXPECT_EQ(link.channel.PollUntilReady(), kNotReady);
  EXPECT_TRUE(link.channel.Cancelled());
  EXPECT_LT(clock.NowMs() - start, 1000);
}

// A long EEPROM read stops between two bytes: nothing more goes out once cancelled.
TEST_F(WaitTest, ACancelStopsEepromReadsBeforeTheNextByte) {
  StartLink();
  std::atomic<bool> cancel{false};
  link.channel.SetCancel(&cancel);
  printer.controlTexts.push_back("@BDC PS\r\nEE:5D0F;");
  std::uint8_t v = 0;
  ASSERT_EQ(link.channel.ReadEepromByte(0x5D, v), kOk);
  cancel = true;
  printer.written.clear();
  EXPECT_EQ(link.channel.ReadEepromByte(0x5E, v), kNotReady);
  EXPECT_TRUE(printer.written.empty());
}

}  // namespace
}  // namespace vantor::test
