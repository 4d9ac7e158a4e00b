// The replay device itself: it must catch what the transcripts exist to catch.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "tests/support/ReplayDevice.h"

namespace vantor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

IoResult Write(ReplayDevice& d, Bytes bytes) {
  return d.Write(bytes, 1000);
}

TEST(ReplayDevice, AWriteThatDiffersFailsNamingTheLineAndBothByteStrings) {
  ReplayDevice d;
  d.Append("# entry\nW 1b 40\nR 00\nW 01 02\n", "t.trace");
  EXPECT_TRUE(Write(d, {0x1B, 0x40}).ok);
  std::uint8_t buffer[4];
  EXPECT_EQ(d.ReadReply(buffer, 1000).count, 1u);
  EXPECT_NONFATAL_FAILURE(
      EXPECT_FALSE(Write(d, {0x01, 0x03}).ok),
      "t.trace:4: the host wrote other bytes\n  expected W 01 02\n  actual   W 01 03");
  // Once failed, the host gets nothing more, and no second failure is added.
  EXPECT_FALSE(Write(d, {0x01, 0x02}).ok);
  EXPECT_FALSE(d.Finished());
  EXPECT_NE(d.Report().find("t.trace:4"), std::string::npos);
}

TEST(ReplayDevice, TransfersOutOfTurnFail) {
  {
    ReplayDevice d;
    d.Append("W 01\n", "a");
    std::uint8_t buffer[4];
    EXPECT_NONFATAL_FAILURE(d.ReadReply(buffer, 1000), "a:1: the host reads, the trace has W 01");
  }
  {
    ReplayDevice d;
    d.Append("R 01\n", "b");
    EXPECT_NONFATAL_FAILURE(Write(d, {0x01}), "b:1: the host writes, the trace has R 01");
  }
  {
    ReplayDevice d;
    EXPECT_NONFATAL_FAILURE(Write(d, {0x01}), "after the last line");
  }
}

TEST(ReplayDevice, StreamReadsTakePartsOfLinesAndRunOnAcrossThem) {
  ReplayDevice d;
  d.Append("R 01 02 03\nR 04 05\nW 09\n", "s");
  std::uint8_t buffer[8];
  IoResult io = d.Read({buffer, 2}, 1000);
  EXPECT_EQ(io.count, 2u);
  io = d.Read({buffer, 8}, 1000);  // stops before the W line
  ASSERT_EQ(io.count, 3u);
  EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0x03, 0x04, 0x05}));
  EXPECT_FALSE(d.Finished());
  EXPECT_EQ(d.Report(), "s:3: not played: W 09");
}

TEST(ReplayDevice, OnlyTheProjectsTraceFormatIsRead) {
  for (const char* bad : {"W 1B\n", "W 1b  40\n", "W\n", "X 01\n", "W 1b 4\n", "W 1b 40 \n"}) {
    ReplayDevice d;
    SCOPED_TRACE(bad);
    EXPECT_NONFATAL_FAILURE(d.Append(bad, "f"), "f:1: not a trace line");
    EXPECT_TRUE(d.Steps().empty()) << bad;
  }
  ReplayDevice d;
  d.Append("# comment\n\nD 00 05\nW 0a ff\n", "ok");
  ASSERT_EQ(d.Steps().size(), 2u);
  EXPECT_EQ(d.Steps()[1].where, "ok:4");
  std::uint8_t id[8];
  EXPECT_EQ(d.DeviceId(id), 2u);
}

}  // namespace
}  // namespace vantor::test
