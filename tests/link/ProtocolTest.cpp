// The protocol's pure parsers, fed literal bytes and texts.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/ProtocolParsers.h"

namespace vantor::wire {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(StatusReply, StatusAndErrorValuesMapThroughTheTables) {
  const StatusReport ready = ParseStatusReply("@BDC ST\r\nST:04;WR:00;IQ:52484D45;\r\n");
  EXPECT_TRUE(ready.complete);
  EXPECT_EQ(ready.status, kStatusReady);
  EXPECT_EQ(ready.error, kErrorNone);
  EXPECT_EQ(ready.st, 0x04);
  EXPECT_EQ(ready.er, -1);
  EXPECT_FALSE(ready.rawError);

  EXPECT_EQ(ParseStatusReply("ST:07;IQ:;").status, kStatusCleaning);
  EXPECT_EQ(ParseStatusReply("ST:01;IQ:;").status, kStatusNozzleCheck);
  // An ST value outside the table leaves no status.
  EXPECT_EQ(ParseStatusReply("ST:05;IQ:;").status, kStatusNone);
  EXPECT_EQ(ParseStatusReply("ST:0g;IQ:;").st, -1);

  // An error makes the status an error, whatever ST said.
  const StatusReport paper = ParseStatusReply("ST:04;ER:06;IQ:00000000;");
  EXPECT_EQ(paper.status, kStatusError);
  EXPECT_EQ(paper.error, kErrorPaperOut);
  EXPECT_EQ(paper.er, 0x06);
  EXPECT_EQ(ParseStatusReply("ST:00;ER:10;IQ:;").error, kErrorMaintenance);
  EXPECT_EQ(ParseStatusReply("ST:00;ER:12;IQ:;").error, kErrorDoubleFeed);
  EXPECT_EQ(ParseStatusReply("ST:00;ER:00;IQ:;").error, kErrorFatal);
}

TEST(StatusReply, BeforeFillOutranksAnErrorAndUnlistedErrorsKeepTheirValue) {
  const StatusReport fill = ParseStatusReply("ST:08;ER:05;IQ:;");
  EXPECT_EQ(fill.status, kStatusBeforeFill);
  EXPECT_EQ(fill.error, kErrorInkOut);

  const StatusReport other = ParseStatusReply("ST:00;ER:2A;IQ:;");
  EXPECT_EQ(other.error, kErrorOther);
  EXPECT_EQ(other.rawError, 0x2A);
  // Lower-case or cut-off digits have no value: still an error, kept as 0.
  EXPECT_EQ(ParseStatusReply("ST:00;ER:2a;IQ:;").rawError, 0x00);
  EXPECT_EQ(ParseStatusReply("IQ:;ST:00;ER:4").rawError, 0x00);
}

TEST(StatusReply, MissingFieldsAreIncompleteWithoutReadingPastTheText) {
  EXPECT_FALSE(ParseStatusReply("").complete);
  EXPECT_FALSE(ParseStatusReply("IQ:52484D45;ER:06;").complete);
  EXPECT_EQ(ParseStatusReply("IQ:52484D45;ER:06;").status, kStatusNone);
  // Without IQ the status is read, the error is not.
  const StatusReport noIq = ParseStatusReply("ST:04;ER:06;");
  EXPECT_FALSE(noIq.complete);
  EXPECT_EQ(noIq.status, kStatusReady);
  EXPECT_EQ(noIq.error, kErrorNone);
  // "ST:" at the very end: no digits to read.
  EXPECT_EQ(ParseStatusReply("IQ:;ST:").st, -1);
  EXPECT_EQ(ParseStatusReply("IQ:;ST:4").st, -1);
}

TEST(TransactionReplies, AcceptedErrorAndUnexpected) {
  // Init reply: command 0x00 | 0x80, result 0x0B.
  const Bytes init = {0x00, 0x00, 0x00, 0x09, 0x01, 0x00, 0x80, 0x0B, 0x10};
  const TransactionReply r = ClassifyTransactionReply(init, kInit);
  EXPECT_EQ(r.kind, ReplyKind::Accepted);
  EXPECT_EQ(r.result, 0x0B);
  // The entry packet's reply answers its 'Z' (0x5A): 0xDA.
  const Bytes entry = {0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0xDA, 0x00};
  EXPECT_EQ(ClassifyTransactionReply(entry, 'Z').kind, ReplyKind::Accepted);
  EXPECT_EQ(ClassifyTransactionReply(entry, kInit).kind, ReplyKind::Unexpected);

  const Bytes closed = {0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x7F, 0x02, 0x02, 0x84};
  const TransactionReply e = ClassifyTransactionReply(closed, kOpenChannel);
  EXPECT_EQ(e.kind, ReplyKind::Error);
  EXPECT_EQ(e.error, 0x84);
  EXPECT_EQ(ErrorReplyCode(closed), 0x84);
  // Error numbers run 0x80 to 0x87 only.
  EXPECT_EQ(ErrorReplyCode(Bytes{0, 0, 0, 0x0A, 1, 0, 0x7F, 2, 2, 0x87}), 0x87);
  EXPECT_EQ(ErrorReplyCode(Bytes{0, 0, 0, 0x0A, 1, 0, 0x7F, 2, 2, 0x88}), kChannelUnexpected);
  EXPECT_EQ(ErrorReplyCode(Bytes{0, 0, 0, 0x0A, 1, 0, 0x7E, 2, 2, 0x84}), kChannelUnexpected);
}

TEST(TransactionReplies, RepliesOffSocketZeroAreUnexpected) {
  // A real printer answers on 00 00 whatever the credit byte; one flipped bit in either socket
  // byte makes the reply damaged, be it an answer or an error reply.
  EXPECT_EQ(ClassifyTransactionReply(Bytes{0, 0, 0, 8, 0, 0, 0x80, 0}, kInit).kind,
            ReplyKind::Accepted);
  for (const std::size_t at : {0u, 1u}) {
    for (const std::uint8_t flip : {0x01, 0x02, 0x40, 0x80}) {
      Bytes answer = {0, 0, 0, 8, 1, 0, 0x80, 0};
      Bytes error = {0, 0, 0, 0x0A, 1, 0, 0x7F, 2, 2, 0x84};
      answer[at] ^= flip;
      error[at] ^= flip;
      EXPECT_EQ(ClassifyTransactionReply(answer, kInit).kind, ReplyKind::Unexpected)
          << at << ' ' << int{flip};
      EXPECT_EQ(ClassifyTransactionReply(error, kInit).kind, ReplyKind::Unexpected)
          << at << ' ' << int{flip};
    }
  }
}

TEST(TransactionReplies, ShortRepliesAreUnexpected) {
  // A header and the answer byte but no result byte.
  EXPECT_EQ(ClassifyTransactionReply(Bytes{0, 0, 0, 7, 1, 0, 0x80}, kInit).kind,
            ReplyKind::Unexpected);
  // An error reply cut before its error number.
  EXPECT_EQ(ClassifyTransactionReply(Bytes{0, 0, 0, 9, 1, 0, 0x7F, 2, 2}, kInit).kind,
            ReplyKind::Unexpected);
  EXPECT_EQ(ClassifyTransactionReply(Bytes{}, kInit).kind, ReplyKind::Unexpected);
}

TEST(TransactionReplies, RefusalTablesNameTheErrorCodes) {
  EXPECT_EQ(RefusalCode(kEntryRefusals, 1), 0x51);
  EXPECT_EQ(RefusalCode(kInitRefusals, 0x0B), 0x13);
  EXPECT_EQ(RefusalCode(kOpenRefusals, 4), 0x21);
  EXPECT_EQ(RefusalCode(kOpenRefusals, 13), 0x26);
  EXPECT_EQ(RefusalCode(kCloseRefusals, 3), 0x41);
  EXPECT_EQ(RefusalCode(kCloseRefusals, 8), 0x32);
  EXPECT_EQ(RefusalCode(kCreditRefusals, 7), 0x31);
  EXPECT_EQ(RefusalCode(kCreditRefusals, 3), kChannelUnexpected);
}

TEST(ControlReplies, VerdictLetterAtPositionSixAndEepromValue) {
  EXPECT_EQ(AcknowledgeCode("rs:01:OK;\r\n"), kChannelNoError);
  EXPECT_EQ(AcknowledgeCode("||:42:BUSY;\r\n"), kChannelWriteBusy);
  EXPECT_EQ(AcknowledgeCode("||:42:NG;\r\n"), kChannelWriteRefused);
  EXPECT_EQ(AcknowledgeCode("||:42:X"), kChannelUnexpected);
  EXPECT_EQ(AcknowledgeCode("||:42:"), kChannelUnexpected);

  EXPECT_EQ(ParseEepromReply("@BDC PS\r\nEE:5D0E;\r\n"), 0x0E);
  EXPECT_EQ(ParseEepromReply("@BDC PS\r\nEE:00FF"), 0xFF);
  // Its own digit rule: any non-digit counts as c - 55, so 'a' (97) is 42.
  EXPECT_EQ(ParseEepromReply("@BDC PS\r\nEE:000a"), static_cast<std::uint8_t>(42));
  EXPECT_FALSE(ParseEepromReply("@BDC PS\r\nEE:00F"));
  EXPECT_FALSE(ParseEepromReply("@BDC ST\r\nEE:0000"));
}

TEST(Framing, HeaderLengthDecidesTheFrame) {
  EXPECT_EQ(FrameOf(Bytes{0x02, 0x02, 0x00}, 1024).missing, 3u);
  const Frame partial = FrameOf(Bytes{0x02, 0x02, 0x00, 0x0B, 0x00, 0x00, 's'}, 1024);
  EXPECT_EQ(partial.state, FrameState::Incomplete);
  EXPECT_EQ(partial.length, 11u);
  EXPECT_EQ(partial.missing, 4u);
  EXPECT_EQ(FrameOf(Bytes{0x40, 0x40, 0x00, 0x06, 0x00, 0x00}, 1024).state, FrameState::Complete);
  EXPECT_EQ(FrameOf(Bytes{0x40, 0x40, 0x00, 0x05, 0x00, 0x00}, 1024).state, FrameState::TooShort);
  // 0x0401 is 1025 bytes.
  EXPECT_EQ(FrameOf(Bytes{0x40, 0x40, 0x04, 0x01, 0x00, 0x00}, 1024).state, FrameState::TooLong);
  EXPECT_EQ(FrameOf(Bytes{0x40, 0x40, 0x04, 0x00, 0x00, 0x00}, 1024).state, FrameState::Incomplete);
}

const Bytes kEntry = {0x00, 0x00, 0x00, 0x1B, 0x01, '@', 'Z', 'J',  'L', ' ', '1', '2', '8', '4',
                      '.',  '4',  '\n', '@',  'Z',  'J', 'L', '\n', '@', 'Z', 'J', 'L', '\n'};
const Bytes kStatus = {0x02, 0x02, 0x00, 0x0B, 0x00, 0x00, 's', 't', 0x01, 0x00, 0x01};
const Bytes kExit = {0x00, 0x00, 0x00, 0x07, 0x01, 0x00, 0x08};

// Every packet the assembler gives for `stream` fed in pieces of `piece` bytes.
std::vector<Bytes> Assemble(const Bytes& stream, std::size_t piece, bool packetMode) {
  PacketAssembler a(4096);
  std::vector<Bytes> out;
  for (std::size_t at = 0; at < stream.size(); at += piece) {
    const std::size_t n = std::min(piece, stream.size() - at);
    a.Append(std::span<const std::uint8_t>(stream).subspan(at, n));
    for (auto e = a.Next(packetMode); e.kind != PacketAssembler::Kind::None;
         e = a.Next(packetMode)) {
      out.emplace_back(e.packet.begin(), e.packet.end());
    }
  }
  return out;
}

TEST(Assembler, AnySplitGivesTheSamePackets) {
  Bytes stream = kStatus;
  stream.insert(stream.end(), kExit.begin(), kExit.end());
  stream.insert(stream.end(), kStatus.begin(), kStatus.end());
  for (const std::size_t piece : {1u, 2u, 5u, 6u, 7u, 11u, 29u}) {
    EXPECT_EQ(Assemble(stream, piece, true), (std::vector<Bytes>{kStatus, kExit, kStatus}))
        << "pieces of " << piece;
  }
}

TEST(Assembler, BeforePacketModeOnlyTheEntryFrames) {
  // Noise, a status packet and a false start of the entry are skipped.
  Bytes stream = {0x1B, 0x40, '@', 'Z'};
  stream.insert(stream.end(), kStatus.begin(), kStatus.end());
  stream.insert(stream.end(), kEntry.begin(), kEntry.end());
  for (const std::size_t piece : {1u, 3u, 100u}) {
    EXPECT_EQ(Assemble(stream, piece, false), (std::vector<Bytes>{kEntry}));
  }
  // A beginning of the entry waits for the rest.
  PacketAssembler a(4096);
  a.Append(std::span<const std::uint8_t>(kEntry).first(10));
  EXPECT_EQ(a.Next(false).kind, PacketAssembler::Kind::None);
  EXPECT_EQ(a.Held(), 10u);
}

TEST(Assembler, ShortHeaderDropsAllHeldAndOversizedPacketIsSkippedWhole) {
  PacketAssembler a(4096);
  const Bytes broken = {0x02, 0x02, 0x00, 0x03, 0x00, 0x00, 0xAA, 0xBB};
  a.Append(broken);
  const auto e = a.Next(true);
  EXPECT_EQ(e.kind, PacketAssembler::Kind::Malformed);
  EXPECT_EQ(e.socket, 0x02);
  EXPECT_EQ(a.Held(), 0u);
  EXPECT_EQ(a.Next(true).kind, PacketAssembler::Kind::None);

  // 0x1001 = 4097 bytes: refused, then skipped even as it arrives in pieces.
  Bytes big = {0x40, 0x40, 0x10, 0x01, 0x00, 0x00};
  big.resize(4097, 0xEE);
  a.Append(std::span<const std::uint8_t>(big).first(100));
  const auto tooLong = a.Next(true);
  EXPECT_EQ(tooLong.kind, PacketAssembler::Kind::TooLong);
  EXPECT_EQ(tooLong.socket, 0x40);
  EXPECT_EQ(a.Next(true).kind, PacketAssembler::Kind::None);
  a.Append(std::span<const std::uint8_t>(big).subspan(100));
  a.Append(kExit);
  const auto next = a.Next(true);
  ASSERT_EQ(next.kind, PacketAssembler::Kind::Packet);
  EXPECT_EQ(Bytes(next.packet.begin(), next.packet.end()), kExit);
}

Bytes IdReply(const std::string& text) {
  Bytes reply = {static_cast<std::uint8_t>((text.size() + 2) >> 8),
                 static_cast<std::uint8_t>((text.size() + 2) & 0xFF)};
  reply.insert(reply.end(), text.begin(), text.end());
  return reply;
}

TEST(DeviceIdModel, TheModelFieldNamesOneOfTheTwoModels) {
  EXPECT_EQ(ModelFromDeviceId(IdReply("MFG:V;MDL:Vantor Q40;CLS:PRINTER;")), Model::Q40);
  EXPECT_EQ(ModelFromDeviceId(IdReply("MFG:V;CMD:X;MDL:Vantor Q30;DES:Vantor Q30;")), Model::Q30);
  // The long key, any case, no closing semicolon, a bare model number.
  EXPECT_EQ(ModelFromDeviceId(IdReply("MANUFACTURER:V;model:vantor q30")), Model::Q30);
  EXPECT_EQ(ModelFromDeviceId(IdReply("MFG:Vantor;MDL:Q40;")), Model::Q40);
}

TEST(DeviceIdModel, NoModelWhenTheIdNamesNoneOrAnother) {
  EXPECT_EQ(ModelFromDeviceId({}), std::nullopt);
  EXPECT_EQ(ModelFromDeviceId(Bytes{0x00, 0x02}), std::nullopt);
  EXPECT_EQ(ModelFromDeviceId(IdReply("MFG:V;CLS:PRINTER;")), std::nullopt);
  EXPECT_EQ(ModelFromDeviceId(IdReply("MFG:V;MDL:Vantor Q400;")), std::nullopt);
  EXPECT_EQ(ModelFromDeviceId(IdReply("MFG:V;MDL:Other 30;DES:Vantor Q40;")), std::nullopt);
  // The description is not the model field.
  EXPECT_EQ(ModelFromDeviceId(IdReply("DES:Vantor Q40;")), std::nullopt);
}

}  // namespace
}  // namespace vantor::wire
