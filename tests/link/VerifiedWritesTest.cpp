// The one EEPROM write path: the bytes go out, are read back after the operation's writes, and
// each ends confirmed, not confirmed with what the printer holds, or unknown.
#include <gtest/gtest.h>

#include "LinkFixture.h"
#include "link/VerifiedWrites.h"

namespace vantor::test {
namespace {

const std::string kAck = "@BDC  OK;";
std::string Holds(const std::string& addressAndValue) {
  return "@BDC PS\r\nEE:" + addressAndValue + ";";
}

struct Outcome {
  WriteOutcome outcome;
  std::optional<std::uint8_t> held;
  bool failed = false;
  bool operator==(const Outcome&) const = default;
};

struct Case {
  const char* name;
  std::vector<std::string> replies;  // control-channel replies in turn
  Result result;
  std::vector<Outcome> bytes;        // 5D := 0F, 5E := 10, 5F := 11 as far as they went
  std::vector<std::uint8_t> frames;  // the command byte of each control frame sent
};

class VerifiedWritesTest : public LinkTest, public ::testing::WithParamInterface<Case> {};

TEST_P(VerifiedWritesTest, EachByteEndsWithItsOutcome) {
  const Case& c = GetParam();
  StartLink();
  printer.controlTexts.assign(c.replies.begin(), c.replies.end());
  VerifiedWrites writes(link.channel);
  const Result written = [&]() -> Result {
    VANTOR_TRY(writes.Write(0x5D, 0x0F, 0x0E));
    VANTOR_TRY(writes.Write(0x5E, 0x10));
    return writes.Write(0x5F, 0x11);
  }();
  EXPECT_EQ(writes.Verify(written), c.result);
  std::vector<Outcome> got;
  for (const ByteWrite& b : writes.Bytes()) got.push_back({b.outcome, b.held, b.failed});
  EXPECT_EQ(got, c.bytes);
  EXPECT_EQ(writes.Bytes()[0].before, std::optional<std::uint8_t>(0x0E));
  std::vector<std::uint8_t> frames;
  for (const Bytes& p : printer.On(0x02)) frames.push_back(p.at(12));
  EXPECT_EQ(frames, c.frames);
}

constexpr auto kYes = WriteOutcome::Confirmed;
constexpr auto kNo = WriteOutcome::NotConfirmed;
constexpr auto kUnknown = WriteOutcome::Unknown;

const Case kCases[] = {
    {"AllHeld",
     {kAck, kAck, kAck, Holds("5D0F"), Holds("5E10"), Holds("5F11")},
     kOk,
     {{kYes, 0x0F}, {kYes, 0x10}, {kYes, 0x11}},
     {0x42, 0x42, 0x42, 0x41, 0x41, 0x41}},
    {"OneNotHeld",
     {kAck, kAck, kAck, Holds("5D0F"), Holds("5E0E"), Holds("5F11")},
     kOk,
     {{kYes, 0x0F}, {kNo, 0x0E}, {kYes, 0x11}},
     {0x42, 0x42, 0x42, 0x41, 0x41, 0x41}},
    // A bad reply ends the reading: what follows it stays unknown.
    {"ReadBackFails",
     {kAck, kAck, kAck, Holds("5D0F"), "garbage"},
     kChannelFailure,
     {{kYes, 0x0F}, {kUnknown, {}}, {kUnknown, {}}},
     {0x42, 0x42, 0x42, 0x41, 0x41}},
    // The refused write may have been taken; nothing is read after a failure, nothing more
    // written.
    {"WriteFailsHalfway",
     {kAck, "@BDC  NG;"},
     kChannelFailure,
     {{kUnknown, {}}, {kUnknown, {}, true}},
     {0x42, 0x42}},
};

INSTANTIATE_TEST_SUITE_P(Writes, VerifiedWritesTest, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace vantor::test
