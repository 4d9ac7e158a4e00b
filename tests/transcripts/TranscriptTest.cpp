// Each transcript under tests/data/transcripts was written from the protocol rules; the link
// and the procedures must produce exactly its host writes when its replies come back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adjust/procedures/IdentityProcedure.h"
#include "adjust/procedures/Messages.h"
#include "adjust/procedures/Procedures.h"
#include "ids/Malheadid.h"
#include "link/Link.h"
#include "tests/support/ForwardingDevice.h"
#include "tests/support/ReplayDevice.h"

namespace vantor::test {
namespace {

class Lines final : public MessageDisplay {
 public:
  void Show(MessageKind kind, std::string_view text) override {
    if (kind == MessageKind::Append && !text_.empty()) {
      text_.back() += text;
    } else {
      text_.emplace_back(text);
    }
  }
  std::vector<std::string> text_;
};

class Transcript : public ::testing::TestWithParam<PortCode> {
 protected:
  Transcript() {
    for (std::string_view name : kPortNames) {
      table.Set(name, "replay", [this](InterfaceKind, OpenFailure&) {
        return std::make_unique<ForwardingDevice>(replay);
      });
    }
    link.channel.SetModel(Model::Q40);
  }

  // Plays the named transcripts in order over the port of the test.
  void Play(std::initializer_list<const char*> names) {
    for (const char* name : names) replay.AppendFile(std::string(VANTOR_TRANSCRIPTS) + "/" + name);
    ASSERT_EQ(link.port.OpenPort(GetParam()), kOk);
  }
  void ExpectAllPlayed() { EXPECT_TRUE(replay.Finished()) << replay.Report(); }

  ReplayDevice replay;
  VirtualClock clock;
  PortTable table;
  Link link{table, clock};
  Lines display;
  ProcedureContext bench{link, display};
  Reporter& reporter = bench.reporter;
};

TEST_P(Transcript, LinkStart) {
  Play({"link-start.trace"});
  EXPECT_EQ(link.channel.StartLink(), kOk);
  EXPECT_EQ(link.channel.PrinterStatus(), 0xEFFB);
  ExpectAllPlayed();
}

TEST_P(Transcript, EepromRangeReadThenOneByteChanged) {
  Play({"link-start.trace", "eeprom-read-write.trace"});
  ASSERT_EQ(link.channel.StartLink(), kOk);
  std::vector<std::pair<int, int>> cells;
  EXPECT_EQ(
      procedures::ReadEepromRange(
          bench, {0x5D, 0x5E}, [&](std::uint8_t a, std::uint8_t v) { cells.emplace_back(a, v); }),
      kOk);
  EXPECT_EQ(cells, (std::vector<std::pair<int, int>>{{0x5D, 0x0E}, {0x5E, 0xA3}}));
  EXPECT_EQ(procedures::ChangeEepromByte(bench, "5D", "0F"), kOk);
  EXPECT_EQ(display.text_, (std::vector<std::string>{"Address = 5D", "Data = 0F"}));
  ExpectAllPlayed();
}

TEST_P(Transcript, Shutdown) {
  Play({"link-start.trace", "shutdown.trace"});
  ASSERT_EQ(link.channel.StartLink(), kOk);
  link.channel.ShutdownLink();
  ExpectAllPlayed();
}

TEST_P(Transcript, HeadIdRegistration) {
  Play({"link-start.trace", "head-id-write.trace"});
  ASSERT_EQ(link.channel.StartLink(), kOk);
  std::string registered;
  // Typed in lower case: the procedure writes what the window's edit box would show.
  EXPECT_EQ(procedures::RegisterHeadId(bench, "21a2b3c4d5e12", registered), kOk);
  EXPECT_EQ(registered, "21A2B3C4D5E12");
  ExpectAllPlayed();
}

TEST_P(Transcript, RefusedControlChannelStopsTheStart) {
  Play({"refused-channel-open.trace"});
  EXPECT_EQ(link.channel.StartLink(), kChannelFailure);
  EXPECT_EQ(link.channel.ChannelError(), 0x21);
  ExpectAllPlayed();
}

// USB delivers a reply per read; the parallel port reads the header, then the rest.
INSTANTIATE_TEST_SUITE_P(Ports, Transcript, ::testing::Values(PortCode(0x501), PortCode(0x401)),
                         [](const auto& port) { return port.param == 0x501 ? "Usb" : "Parallel"; });

}  // namespace
}  // namespace vantor::test
