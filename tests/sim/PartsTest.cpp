// The virtual printer's parts on their own: the transport behind a recording handler, the
// EEPROM store's counters and saves, and the fault budgets.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sim/EepromStore.h"
#include "sim/Faults.h"
#include "sim/Transport.h"
#include "tests/sim/SimWire.h"

namespace vantor::sim::test {
namespace {

namespace fs = std::filesystem;

struct Recorder final : PacketHandler {
  void SessionStarted() override { ++sessions; }
  void CommandArrived() override { ++commands; }
  std::string Control(std::span<const std::uint8_t> payload) override {
    controls.emplace_back(payload.begin(), payload.end());
    return "st:01:OK;\r\n";
  }
  void Data(std::span<const std::uint8_t> payload) override {
    data.insert(data.end(), payload.begin(), payload.end());
  }
  int sessions = 0;
  int commands = 0;
  std::vector<Bytes> controls;
  Bytes data;
};

struct TransportRig {
  Bytes Reply() {
    std::array<std::uint8_t, 1024> buffer{};
    const std::size_t n = transport.TakeReply(buffer, 0);
    return Bytes(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(n));
  }
  VirtualClock clock;
  Faults faults;
  Recorder handler;
  Transport transport{clock, faults, handler};
};

TEST(TransportPart, BytesOneAtATimeFrameLikeWholePackets) {
  TransportRig r;
  const Bytes stream = Cat(Cat(Cat(kEntryPacket, kInitPacket), OpenPacket(0x02)),
                           ChannelPacket(0x02, kStatusCommand));
  for (const std::uint8_t b : stream) r.transport.Receive(Bytes{b});
  EXPECT_EQ(r.handler.sessions, 1);
  EXPECT_EQ(r.handler.commands, 4);
  ASSERT_EQ(r.handler.controls.size(), 1u);
  EXPECT_EQ(r.handler.controls[0], kStatusCommand);
  EXPECT_EQ(r.Reply(), (Bytes{0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0xDA, 0x00}));
  EXPECT_EQ(r.Reply(), (Bytes{0x00, 0x00, 0x00, 0x09, 0x01, 0x00, 0x80, 0x00, 0x10}));
  EXPECT_EQ(r.Reply().at(6), 0x81);
  // The control reply: header with credit 0, then the text.
  EXPECT_EQ(r.Reply(), Cat({0x02, 0x02, 0x00, 0x11, 0x00, 0x00},
                           Bytes{'s', 't', ':', '0', '1', ':', 'O', 'K', ';', '\r', '\n'}));
  EXPECT_TRUE(r.Reply().empty());
}

TEST(TransportPart, EachTransactionTooShortForItsRuleIsMalformed) {
  // Payloads one byte short of what each command reads: Init 2, Open and Close 3, Credit 5,
  // Credit request 7.
  const std::vector<Bytes> shortPayloads = {
      {0x00}, {0x01, 0x02}, {0x02, 0x02}, {0x03, 0x40, 0x40, 0x00}, {0x04, 0x40, 0x40, 0, 0, 0}};
  for (const Bytes& p : shortPayloads) {
    TransportRig r;
    r.transport.Receive(kEntryPacket);
    r.Reply();
    r.transport.Receive(ChannelPacket(0x00, p));
    // An error reply carries credit 1 on the transaction socket.
    const Bytes reply = r.Reply();
    EXPECT_EQ(reply, (Bytes{0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x7F, 0x00, 0x00, 0x80}))
        << "command " << int(p[0]);
  }
}

TEST(TransportPart, DataWithoutCreditIsCountedAndStreamReadsCrossReplies) {
  TransportRig r;
  r.transport.Receive(Cat(Cat(kEntryPacket, kInitPacket), OpenPacket(0x40)));
  r.transport.Receive(ChannelPacket(0x40, {0x1B, 0x40}));
  EXPECT_EQ(r.handler.data, (Bytes{0x1B, 0x40}));
  EXPECT_EQ(r.transport.CreditFaults(), 1u);
  // Three replies wait: 8 + 9 + 18 bytes; a stream read takes across them.
  std::array<std::uint8_t, 24> buffer{};
  EXPECT_EQ(r.transport.TakeStream(buffer, 0), 24u);
  EXPECT_EQ(buffer[6], 0xDA);   // the entry reply's answer byte
  EXPECT_EQ(buffer[14], 0x80);  // the Init reply's
  EXPECT_EQ(buffer[23], 0x81);  // the Open reply's
  EXPECT_EQ(r.transport.TakeStream(buffer, 0), 11u);
  r.transport.Disconnect();
  EXPECT_EQ(r.transport.TakeStream(buffer, 0), 0u);
}

TEST(EepromStorePart, CountersSaturateAndLazyChangesWaitForTheNextCommand) {
  EepromStore store(Model::Q40);
  store.Store(2, 0xFF);
  store.Store(3, 0xF0);
  store.Save();
  store.AddToCounter(2, 2, 0x20);
  EXPECT_EQ(store.Counter(2, 2), 0xFFFFu);  // the protection counter stops at its top
  store.Save();
  // 0x000FFFFF + 1 carries into the third byte.
  store.Store(36, 0x00);
  store.Store(37, 0x0F);
  store.Store(38, 0xFF);
  store.Store(39, 0xFF);
  store.Save();
  store.AddToCounter(36, 4, 1, true);
  EXPECT_EQ(store.Counter(36, 4), 0x00100000u);
  EXPECT_FALSE(store.Dirty());
  store.PromoteLazy();
  EXPECT_TRUE(store.Dirty());
}

TEST(EepromStorePart, AFailedSaveKeepsTheImageDirtyAndSaysWhy) {
  const fs::path dir = fs::temp_directory_path() / ("vantor-parts-" + std::to_string(::getpid()));
  fs::remove_all(dir);  // process numbers come round again (under Wine, every run)
  fs::create_directories(dir);
  const std::string path = (dir / "eeprom.bin").string();
  {
    EepromStore store(Model::Q30);  // holds its lock file open: it ends before the folder goes
    std::string error;
    ASSERT_TRUE(store.UseFile(path, error)) << error;
    EXPECT_EQ(fs::file_size(path), 256u);
    // A folder in the file's place: no system replaces one with a file. (The folder itself
    // cannot go: the store holds its lock file open, and Windows keeps such a folder.)
    fs::remove(path);
    fs::create_directory(path);
    store.Store(0x5D, 0x0E);
    EXPECT_FALSE(store.Save());
    EXPECT_TRUE(store.Dirty());
    const std::string said = "cannot save the virtual printer's EEPROM to " + path + ": ";
    EXPECT_EQ(store.SaveError().substr(0, said.size()), said);
    EXPECT_GT(store.SaveError().size(), said.size()) << "the system's reason";
    fs::remove(path);
    EXPECT_TRUE(store.Save());
    EXPECT_TRUE(store.SaveError().empty());
  }
  {
    std::ifstream in(path, std::ios::binary);
    in.seekg(0x5D);
    EXPECT_EQ(in.get(), 0x0E);
  }
  fs::remove_all(dir);
}

TEST(FaultBudgets, CountDownOrLastForever) {
  Faults f;
  EXPECT_FALSE(f.TakeDroppedReply());
  f.dropReplies = 2;
  EXPECT_TRUE(f.TakeDroppedReply());
  EXPECT_TRUE(f.TakeDroppedReply());
  EXPECT_FALSE(f.TakeDroppedReply());
  f.shortWrites = -1;
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(f.TakeShortWrite());
  f.replyDelayMs = 700;
  f.delayedReplies = 1;
  EXPECT_EQ(f.TakeReplyDelay(), 700);
  EXPECT_EQ(f.TakeReplyDelay(), 0);
  // An error reply waits for a packet on its own socket.
  f.errorReply = Faults::ErrorReply{0x40, 0x83};
  EXPECT_FALSE(f.TakeErrorReply(0x02));
  EXPECT_EQ(f.TakeErrorReply(0x40), 0x83);
  EXPECT_FALSE(f.TakeErrorReply(0x40));
  f.readChunk = 3;
  EXPECT_EQ(f.ReadLimit(10), 3u);
  EXPECT_EQ(f.ReadLimit(2), 2u);
}

TEST(FaultBudgets, TheFirstFiringIsTimedAndOffKeepsTheClock) {
  VirtualClock clock;
  Faults f;
  f.SetClock(&clock);
  const std::int64_t start = clock.NowMs();
  clock.Advance(500);
  EXPECT_FALSE(f.TakeDroppedReply());  // nothing armed: nothing fired
  EXPECT_FALSE(f.FirstFiredMs());
  f.dropReplies = 2;
  EXPECT_TRUE(f.TakeDroppedReply());
  clock.Advance(300);
  EXPECT_TRUE(f.TakeDroppedReply());
  EXPECT_EQ(f.FirstFiredMs(), start + 500);
  std::string why;
  ASSERT_TRUE(f.Apply("off", why));
  EXPECT_FALSE(f.FirstFiredMs());
  // Without power the silence begins when the host first waits for a reply.
  ASSERT_TRUE(f.Apply("power-loss", why));
  EXPECT_TRUE(f.PowerGone());
  EXPECT_FALSE(f.FirstFiredMs());
  clock.Advance(200);
  f.ReplyAwaited();
  EXPECT_EQ(f.FirstFiredMs(), start + 1000);
}

TEST(FaultSpecs, TextSwitchesFaultsOnAfterTheGivenReplies) {
  TransportRig r;
  std::string why;
  ASSERT_TRUE(r.faults.Apply("garbled,after=1", why)) << why;
  r.transport.Receive(Cat(kEntryPacket, kInitPacket));
  EXPECT_EQ(r.Reply(), (Bytes{0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0xDA, 0x00}));
  // The Init reply with every byte but the length spoilt.
  EXPECT_EQ(r.Reply(), (Bytes{0xA5, 0xA5, 0x00, 0x09, 0xA4, 0xA5, 0x25, 0xA5, 0xB5}));

  const struct {
    const char* setting;
    Bytes reply;  // what the next Init reply becomes
  } kSpoilt[] = {
      {"truncated", {0x00, 0x00, 0x00, 0x09}},
      {"bit-flip", {0x00, 0x01, 0x00, 0x09, 0x01, 0x00, 0x80, 0x00, 0x10}},
      {"oversize", {0x00, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x80, 0x00, 0x10}},
  };
  for (const auto& c : kSpoilt) {
    ASSERT_TRUE(r.faults.Apply(c.setting, why)) << why;
    r.transport.Receive(kInitPacket);
    EXPECT_EQ(r.Reply(), c.reply) << c.setting;
    r.transport.Receive(kInitPacket);
    EXPECT_EQ(r.Reply().size(), 9u) << c.setting << ": one reply only";
  }

  ASSERT_TRUE(r.faults.Apply("no-reply,count=all,after=1", why));
  r.transport.Receive(Cat(kInitPacket, Cat(kInitPacket, kInitPacket)));
  EXPECT_EQ(r.Reply().size(), 9u);
  EXPECT_TRUE(r.Reply().empty());
  EXPECT_TRUE(r.Reply().empty());
  ASSERT_TRUE(r.faults.Apply("off", why));
  r.transport.Receive(kInitPacket);
  EXPECT_EQ(r.Reply().size(), 9u);

  ASSERT_TRUE(r.faults.Apply("late-reply,ms=700", why));
  EXPECT_EQ(r.faults.TakeReplyDelay(), 700);
  ASSERT_TRUE(r.faults.Apply("short-write,count=all", why));
  EXPECT_EQ(r.faults.shortWrites, -1);
  ASSERT_TRUE(r.faults.Apply("busy,count=2", why));
  EXPECT_EQ(r.faults.busyAnswers, 2);
  ASSERT_TRUE(r.faults.Apply("power-loss,after=0", why));
  EXPECT_TRUE(r.faults.PowerGone());

  EXPECT_FALSE(r.faults.Apply("smoke", why));
  EXPECT_NE(why.find("unknown fault smoke"), std::string::npos);
  EXPECT_FALSE(r.faults.Apply("no-reply,after=x", why));
  EXPECT_FALSE(r.faults.Apply("no-reply,soon=1", why));
}

}  // namespace
}  // namespace vantor::sim::test
