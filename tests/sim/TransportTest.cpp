// The 1284.4 device side: transactions, channels, credits, error replies, both port kinds.
#include <gtest/gtest.h>

#include "tests/sim/SimWire.h"

namespace vantor::sim::test {
namespace {

TEST(VirtualTransport, TransactionsAnswerWithCommandPlus0x80AndResult) {
  Wire w;
  EXPECT_EQ(w.Exchange(kEntryPacket), (Bytes{0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0xDA, 0x00}));
  EXPECT_EQ(w.Exchange(kInitPacket), (Bytes{0x00, 0x00, 0x00, 0x09, 0x01, 0x00, 0x80, 0x00, 0x10}));
  EXPECT_EQ(w.Exchange(OpenPacket(0x02)),
            (Bytes{0x00, 0x00, 0x00, 0x12, 0x01, 0x00, 0x81, 0x00, 0x02, 0x02, 0x04, 0x00, 0x04,
                   0x00, 0x00, 0x00, 0x00, 0x00}));
  // Opening an open channel answers result 6, which the host takes as open.
  EXPECT_EQ(w.Exchange(OpenPacket(0x02)).at(7), 0x06);
  EXPECT_EQ(w.Exchange(OpenPacket(0x40)).at(7), 0x00);
  // Credit granted to the printer is echoed in bytes 10-11; a request is granted there too.
  EXPECT_EQ(w.Exchange(CreditPacket(0x40, 200)),
            (Bytes{0x00, 0x00, 0x00, 0x0C, 0x01, 0x00, 0x83, 0x00, 0x40, 0x40, 0x00, 0xC8}));
  EXPECT_EQ(w.Exchange(CreditRequestPacket(0x40, 0x0102)),
            (Bytes{0x00, 0x00, 0x00, 0x0C, 0x01, 0x00, 0x84, 0x00, 0x40, 0x40, 0x01, 0x02}));
  // An unknown socket cannot be opened.
  EXPECT_EQ(w.Exchange(OpenPacket(0x21)).at(7), 0x04);
  EXPECT_EQ(w.Exchange(ClosePacket(0x40)),
            (Bytes{0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x82, 0x00, 0x40, 0x40}));
  EXPECT_EQ(w.Exchange({0x00, 0x00, 0x00, 0x07, 0x01, 0x00, 0x08}),
            (Bytes{0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x88, 0x00}));
  EXPECT_FALSE(w.printer.State().packetMode);
  EXPECT_EQ(w.printer.State().sessions, 1u);
}

TEST(VirtualTransport, PacketsOnClosedChannelsGetErrorReply0x84) {
  Wire w;
  w.Exchange(kEntryPacket);
  w.Exchange(kInitPacket);
  const Bytes closedControl = {0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x7F, 0x02, 0x02, 0x84};
  EXPECT_EQ(w.Exchange(ChannelPacket(0x02, kStatusCommand)), closedControl);
  w.Exchange(OpenPacket(0x02));
  EXPECT_EQ(w.Exchange(ChannelPacket(0x02, kStatusCommand)).at(0), 0x02);
  w.Exchange(ClosePacket(0x02));
  EXPECT_EQ(w.Exchange(ChannelPacket(0x02, kStatusCommand)), closedControl);
  // Closing what is not open is refused with result 8.
  EXPECT_EQ(w.Exchange(ClosePacket(0x40)).at(7), 0x08);
  // Credit on a closed channel grants nothing.
  EXPECT_EQ(w.Exchange(CreditRequestPacket(0x40, 5)),
            (Bytes{0x00, 0x00, 0x00, 0x0C, 0x01, 0x00, 0x84, 0x08, 0x40, 0x40, 0x00, 0x00}));
}

TEST(VirtualTransport, MalformedAndOversizedPacketsAreRefusedWithoutLosingFraming) {
  Wire w;
  // Before packet mode only the entry sequence is heard; other bytes are dropped.
  w.Write({0x02, 0x02, 0x00, 0x0B, 0x00, 0x00, 's', 't', 0x01, 0x00, 0x01});
  EXPECT_TRUE(w.Reply().empty());
  w.Up();
  // A length shorter than the header cannot be framed.
  EXPECT_EQ(w.Exchange({0x02, 0x02, 0x00, 0x03, 0x00, 0x00}),
            (Bytes{0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x7F, 0x02, 0x02, 0x80}));
  // An oversized packet is refused and skipped; the packet after it is answered.
  Bytes huge = {0x40, 0x40, 0x20, 0x00, 0x00, 0x00};
  huge.resize(0x2000, 'x');
  w.Write(huge);
  EXPECT_EQ(w.Reply(), (Bytes{0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x7F, 0x40, 0x40, 0x86}));
  EXPECT_EQ(w.printer.State().dataBytes, 0u);
  EXPECT_EQ(w.Exchange(ChannelPacket(0x02, kStatusCommand)).at(0), 0x02);
  // A transaction without a command byte, and an unknown command.
  EXPECT_EQ(w.Exchange({0x00, 0x00, 0x00, 0x06, 0x01, 0x00}).at(9), 0x80);
  EXPECT_EQ(w.Exchange({0x00, 0x00, 0x00, 0x07, 0x01, 0x00, 0x55}).at(9), 0x81);
  // A packet arriving in pieces is framed by its header.
  const Bytes status = ChannelPacket(0x02, kStatusCommand);
  for (const std::uint8_t b : status) w.Write({b});
  EXPECT_EQ(w.Reply().at(0), 0x02);
}

TEST(VirtualTransport, ParallelReadsDeliverTheStreamSplitAnywhere) {
  for (const std::size_t chunk : {1u, 2u, 5u, 7u, 100u}) {
    Wire w(Model::Q40, InterfaceKind::Parallel);
    w.Write(kEntryPacket);
    w.Write(kInitPacket);
    w.printer.GetFaults().readChunk = chunk;
    Bytes got;
    std::array<std::uint8_t, 64> buffer{};
    for (int i = 0; i < 100; ++i) {
      const IoResult io = w.device->Read(buffer, 50);
      if (io.count == 0) break;
      EXPECT_LE(io.count, chunk);
      got.insert(got.end(), buffer.begin(), buffer.begin() + io.count);
    }
    EXPECT_EQ(got, (Bytes{0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0xDA, 0x00, 0x00, 0x00, 0x00, 0x09,
                          0x01, 0x00, 0x80, 0x00, 0x10}))
        << "chunk " << chunk;
  }
}

TEST(VirtualTransport, UsbReadsDeliverOneReplyPerCallAndEmptyReadsCostVirtualTime) {
  Wire w;
  w.Write(kEntryPacket);
  w.Write(kInitPacket);
  EXPECT_EQ(w.Reply().size(), 8u);
  // A buffer smaller than the reply gets it in pieces.
  std::array<std::uint8_t, 4> small{};
  EXPECT_EQ(w.device->ReadReply(small, 50).count, 4u);
  EXPECT_EQ(w.device->ReadReply(small, 50).count, 4u);
  EXPECT_EQ(w.device->ReadReply(small, 50).count, 1u);
  const std::int64_t before = w.clock.NowMs();
  EXPECT_EQ(w.device->ReadReply(small, 1234).count, 0u);
  EXPECT_EQ(w.clock.NowMs() - before, 1234);
}

TEST(VirtualTransport, DeviceIdCarriesItsLengthAndModel) {
  Wire w(Model::Q30);
  std::array<std::uint8_t, 200> buffer{};
  const std::size_t n = w.device->DeviceId(buffer);
  ASSERT_GT(n, 2u);
  EXPECT_EQ(buffer[0] * 256u + buffer[1], n);
  const std::string text(buffer.begin() + 2, buffer.begin() + n);
  EXPECT_NE(text.find("MDL:Vantor Q30;"), std::string::npos);
  EXPECT_NE(text.find("CLS:PRINTER;"), std::string::npos);
  // A buffer too small for the whole ID gets its beginning.
  std::array<std::uint8_t, 10> tiny{};
  EXPECT_EQ(w.device->DeviceId(tiny), 10u);
}

TEST(VirtualTransport, FaultsShapeTheReplies) {
  Wire w;
  Faults& f = w.printer.GetFaults();

  f.dropReplies = 1;
  EXPECT_TRUE(w.Exchange(kEntryPacket).empty());
  EXPECT_EQ(w.Exchange(kInitPacket).size(), 9u);

  // A late reply: not there within a short wait, there after 10 s of virtual time.
  f.replyDelayMs = 10'000;
  f.delayedReplies = 1;
  w.Write(OpenPacket(0x02));
  EXPECT_TRUE(w.Reply(9'000).empty());
  const std::int64_t before = w.clock.NowMs();
  EXPECT_EQ(w.Reply(5'000).at(6), 0x81);
  EXPECT_EQ(w.clock.NowMs() - before, 1'000);

  // An error reply on the control channel; 0x84 also closes the channel in the printer.
  f.errorReply = Faults::ErrorReply{0x02, 0x84};
  EXPECT_EQ(w.Exchange(ChannelPacket(0x02, kStatusCommand)),
            (Bytes{0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x7F, 0x02, 0x02, 0x84}));
  EXPECT_FALSE(w.printer.State().controlOpen);
  f.errorReply = Faults::ErrorReply{0x00, 0x82};
  EXPECT_EQ(w.Exchange(OpenPacket(0x02)).at(9), 0x82);
  EXPECT_EQ(w.Exchange(OpenPacket(0x02)).at(6), 0x81);

  // Short and slow writes.
  f.shortWrites = 1;
  const Bytes status = ChannelPacket(0x02, kStatusCommand);
  EXPECT_EQ(w.device->Write(status, 10'000).count, status.size() - 1);
  EXPECT_EQ(w.Reply().at(0), 0x02);  // the printer still took the whole packet
  EXPECT_EQ(w.device->Write(status, 10'000).count, status.size());
  w.Reply();
  f.writeDelayMs = 12'000;
  f.slowWrites = 1;
  const std::int64_t start = w.clock.NowMs();
  w.device->Write(status, 10'000);
  EXPECT_GE(w.clock.NowMs() - start, 12'000);
  w.Reply();

  // An odd status reply, verbatim, once.
  f.controlReply = "ST:0";
  EXPECT_EQ(w.Control(kStatusCommand), "ST:0");
  EXPECT_NE(w.Control(kStatusCommand).find("ST:04;"), std::string::npos);

  f.emptyDeviceId = true;
  std::array<std::uint8_t, 200> id{};
  EXPECT_EQ(w.device->DeviceId(id), 0u);
}

}  // namespace
}  // namespace vantor::sim::test
