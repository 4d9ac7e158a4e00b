#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/backends/DeviceIdReply.h"

namespace vantor {
namespace {

std::vector<std::uint8_t> Reply(std::uint8_t hi, std::uint8_t lo, const std::string& text) {
  std::vector<std::uint8_t> bytes{hi, lo};
  bytes.insert(bytes.end(), text.begin(), text.end());
  return bytes;
}

// 19 characters; with the 2-byte prefix 21 = 0x15.
const std::string kId = "MFG:Vantor;MDL:Q40;";

TEST(DeviceIdReply, ReadsBigEndianPrefixAndIgnoresPaddingAfterIt) {
  auto reply = Reply(0x00, 0x15, kId);
  reply.resize(200, 0);  // the port's zero-filled 200-byte buffer
  const auto id = ParseDeviceId(reply);
  EXPECT_EQ(id.shape, DeviceIdShape::Exact);
  EXPECT_EQ(id.text, kId);
  EXPECT_EQ(DeviceIdField(id.text, "MFG"), "Vantor");
  EXPECT_EQ(DeviceIdField(id.text, "mdl"), "Q40");
  EXPECT_EQ(DeviceIdField(id.text, "CMD"), "");
}

TEST(DeviceIdReply, AcceptsLongKeysAndPrefixThatLeavesItselfOut) {
  const std::string text = "MANUFACTURER:Vantor;MODEL:Q30;COMMAND SET:VQ-ESC;";
  const auto id = ParseDeviceId(Reply(0x00, static_cast<std::uint8_t>(text.size()), text));
  EXPECT_EQ(id.shape, DeviceIdShape::Exact);
  EXPECT_EQ(id.text, text);
  EXPECT_EQ(DeviceIdField(id.text, "MFG"), "Vantor");
  EXPECT_EQ(DeviceIdField(id.text, "MDL"), "Q30");
  EXPECT_EQ(DeviceIdField(id.text, "CMD"), "VQ-ESC");
}

TEST(DeviceIdReply, RecognisesLittleEndianPrefix) {
  const auto id = ParseDeviceId(Reply(0x15, 0x00, kId));
  EXPECT_EQ(id.shape, DeviceIdShape::SwappedPrefix);
  EXPECT_EQ(id.text, kId);
}

TEST(DeviceIdReply, KeepsWhatCameOfATruncatedId) {
  const auto id = ParseDeviceId(Reply(0x00, 0x40, "MFG:Vantor;MD"));
  EXPECT_EQ(id.shape, DeviceIdShape::Truncated);
  EXPECT_EQ(id.text, "MFG:Vantor;MD");
  EXPECT_TRUE(id.Usable());
}

TEST(DeviceIdReply, TextWithoutPrefixIsStillAnId) {
  const auto id = ParseDeviceId(Reply('M', 'F', "G:Vantor;"));
  EXPECT_EQ(id.shape, DeviceIdShape::NoPrefix);
  EXPECT_EQ(id.text, "MFG:Vantor;");
}

TEST(DeviceIdReply, NothingUsableFromEmptyOrZeroReplies) {
  EXPECT_FALSE(ParseDeviceId({}).Usable());
  const std::vector<std::uint8_t> one{0x00};
  EXPECT_FALSE(ParseDeviceId(one).Usable());
  const std::vector<std::uint8_t> zeros(200, 0);
  EXPECT_EQ(ParseDeviceId(zeros).shape, DeviceIdShape::Empty);
  // A prefix that announces only itself carries no ID.
  EXPECT_FALSE(ParseDeviceId(Reply(0x00, 0x02, "")).Usable());
}

TEST(DeviceIdReply, WritesBigEndianPrefixAndCutsToTheBuffer) {
  std::vector<std::uint8_t> out(32, 0xEE);
  ASSERT_EQ(WriteDeviceIdReply(kId, out), 21u);
  EXPECT_EQ(out[0], 0x00);
  EXPECT_EQ(out[1], 0x15);
  EXPECT_EQ(std::string(out.begin() + 2, out.begin() + 21), kId);

  std::vector<std::uint8_t> small(8);
  ASSERT_EQ(WriteDeviceIdReply(kId, small), 8u);
  EXPECT_EQ(small[1], 0x08);
  EXPECT_EQ(ParseDeviceId(small).text, "MFG:Va");
  EXPECT_EQ(WriteDeviceIdReply("", out), 0u);
}

}  // namespace
}  // namespace vantor
