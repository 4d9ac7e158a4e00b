// The encoder's commands byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Recorder.h"
#include "link/Fatal.h"
#include "raster/Malraster.h"

namespace vantor::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(std::string_view s) {
  return Bytes(s.begin(), s.end());
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

class EncoderTest : public ::testing::Test {
 protected:
  Recorder printer;
  Raster raster{printer};
};

TEST_F(EncoderTest, RepeatSendHeaderIsOneMinusCount) {
  EXPECT_EQ(raster.RepeatSend(1, 0xAB), kOk);
  EXPECT_EQ(raster.RepeatSend(2, 0xAB), kOk);
  EXPECT_EQ(raster.RepeatSend(110, 0x00), kOk);
  EXPECT_EQ(raster.RepeatSend(120, 0x00), kOk);
  EXPECT_EQ(raster.RepeatSend(129, 0xFF), kOk);
  EXPECT_EQ(printer.data, (Bytes{0x00, 0xAB, 0xFF, 0xAB, 0x93, 0x00, 0x89, 0x00, 0x80, 0xFF}));
}

TEST_F(EncoderTest, RunCountsOutsideOneTo129EndTheProgram) {
  EXPECT_EXIT(raster.RepeatSend(130, 0x00), ::testing::ExitedWithCode(kProgramErrorExit),
              "RepeatSend\\(\\) error");
  EXPECT_EXIT(raster.RepeatSend(0, 0x00), ::testing::ExitedWithCode(kProgramErrorExit),
              "RepeatSend\\(\\) error");
}

TEST_F(EncoderTest, VerticalPositionSplitsTheAmountAndEndsWithCarriageReturn) {
  raster.SetVerticalPosition(358);
  raster.SetVerticalPosition(0);
  raster.SetVerticalPosition(32767);
  EXPECT_EQ(printer.data, (Bytes{0x1B, 0x28, 0x76, 0x02, 0x00, 0x66, 0x01, 0x0D,  //
                                 0x1B, 0x28, 0x76, 0x02, 0x00, 0x00, 0x00, 0x0D,  //
                                 0x1B, 0x28, 0x76, 0x02, 0x00, 0xFF, 0x7F, 0x0D}));
  EXPECT_EXIT(raster.SetVerticalPosition(-1), ::testing::ExitedWithCode(kProgramErrorExit),
              "Program miss!!\nRaster.SetVerticalPosition");
}

TEST_F(EncoderTest, DotSizeByteFollowsTheDotType) {
  for (std::uint8_t t : {0, 1, 4, 2, 5, 3, 6, 7, 8, 9, 10}) raster.SetDotSize(t);
  Bytes sizes;
  for (std::size_t i = 6; i < printer.data.size(); i += 7) sizes.push_back(printer.data[i]);
  EXPECT_EQ(sizes, (Bytes{0x00, 0x10, 0x10, 0x11, 0x11, 0x12, 0x12, 0x13, 0x14, 0x15, 0x00}));
  EXPECT_EQ(Bytes(printer.data.begin(), printer.data.begin() + 6),
            (Bytes{0x1B, 0x28, 0x65, 0x02, 0x00, 0x00}));
}

std::string g_shownTitle, g_shownMessage;
void Capture(std::string_view title, std::string_view message) {
  g_shownTitle = title;
  g_shownMessage = message;
}

TEST_F(EncoderTest, ColorModeOtherThanMonochromeOrColourShowsErrorAndSendsZero) {
  SetFatalDisplay(&Capture);
  EXPECT_EQ(raster.SetColorMode(0), kOk);
  EXPECT_EQ(raster.SetColorMode(128), kOk);
  EXPECT_TRUE(g_shownMessage.empty());
  EXPECT_EQ(raster.SetColorMode(5), kOk);
  SetFatalDisplay(nullptr);
  EXPECT_EQ(g_shownTitle, "error");
  EXPECT_EQ(g_shownMessage, "program miss!!!\nRaster:SetColorMode");
  EXPECT_EQ(printer.data, (Bytes{0x1B, 0x28, 0x4B, 0x02, 0x00, 0x00, 0x01,  //
                                 0x1B, 0x28, 0x4B, 0x02, 0x00, 0x00, 0x02,  //
                                 0x1B, 0x28, 0x4B, 0x02, 0x00, 0x00, 0x00}));
}

TEST_F(EncoderTest, FixedCommands) {
  raster.SetRasterMode(10, 1, 6, 128);
  raster.SendRasterHeader(133, 1, 2, 0xD0, 0x02, 60, 0);
  raster.SetRasterResolution(0x68, 0x01, 0x02, 0x01);
  raster.SetHorizontalPosition(0x1234);
  raster.CarriageReturn();
  EXPECT_EQ(printer.data,
            (Bytes{0x1B, 0x40,                                // ESC @
                   0x1B, 0x28, 0x47, 0x01, 0x00, 0x01,        // ESC ( G
                   0x1B, 0x28, 0x55, 0x01, 0x00, 0x0A,        // ESC ( U
                   0x1B, 0x55, 0x01,                          // ESC U
                   0x1B, 0x28, 0x65, 0x02, 0x00, 0x00, 0x12,  // ESC ( e
                   0x1B, 0x28, 0x4B, 0x02, 0x00, 0x00, 0x02,  // ESC ( K
                   0x1B, 0x69, 0x04, 0x01, 0x02, 0xD0, 0x02, 0x3C, 0x00, 0x1B, 0x28, 0x44,
                   0x04, 0x00, 0x68, 0x01, 0x02, 0x01, 0x1B, 0x24, 0x34, 0x12, 0x0D}));
}

TEST_F(EncoderTest, LineFeedAndFormFeed) {
  EXPECT_EQ(raster.LineFeed(0), kOk);
  EXPECT_EQ(raster.LineFeed(-3), kOk);
  EXPECT_TRUE(printer.data.empty());
  raster.LineFeed(2);
  EXPECT_TRUE(printer.calls.empty());
  raster.FormFeed();
  EXPECT_EQ(printer.data, (Bytes{0x0D, 0x0A, 0x0D, 0x0A, 0x0C}));
  ASSERT_EQ(printer.calls.size(), 1u);
  EXPECT_EQ(printer.calls[0].what, "flush");
  EXPECT_EQ(printer.calls[0].at, 5u);
}

TEST_F(EncoderTest, ValueFieldsCarryTheirZeroBytesAndBlanks) {
  raster.PrintValueLabel(-4);
  raster.PrintValueLabel(0);
  const Bytes lead = Text(std::string_view("         data = \0", 17));
  EXPECT_EQ(printer.data, Cat({lead,
                               {'-', '4', 0x00, ' ', 0x00, 0x0D},  //
                               lead,
                               {'0', 0x00, ' ', ' ', 0x00, 0x0D}}));

  printer.data.clear();
  raster.PrintValuePair(-128, 7);
  const Bytes pairLead = Text(std::string_view("  data = \0", 10));
  Bytes gap(30, ' ');
  gap.push_back(0x00);
  EXPECT_EQ(printer.data, Cat({pairLead,
                               {'-', '1', '2', '8', 0x00},
                               gap,
                               pairLead,
                               {'7', 0x00, ' ', ' ', 0x00},
                               {0x0D, 0x0A}}));
}

TEST_F(EncoderTest, FirstFailureIsReturnedAndNothingFollows) {
  printer.FailOn("data", 1, kPortFailure);
  EXPECT_EQ(raster.PrintBetaPattern(), kPortFailure);
  EXPECT_TRUE(printer.data.empty());
  EXPECT_TRUE(printer.calls.empty());

  Recorder later;
  Raster second(later);
  later.FailOn("flush", 3, kChannelFailure);
  EXPECT_EQ(second.PrintNozzleColumnShift(), kChannelFailure);
  // Title, line feed, mode, band header and two lines, each line closed by a flush.
  EXPECT_EQ(later.Named("flush").size(), 3u);
  EXPECT_EQ(later.calls.back().what, "flush");
  EXPECT_EQ(later.calls.back().at, later.data.size());
}

}  // namespace
}  // namespace vantor::test
