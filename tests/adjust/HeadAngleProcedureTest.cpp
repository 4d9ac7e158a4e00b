#include <string>
#include <vector>

#include "adjust/procedures/HeadAngleProcedure.h"
#include "tests/adjust/ProcedureFixture.h"

namespace vantor::test {
namespace {

using procedures::HeadAngleWatch;

// The status watch's decisions against the virtual printer, without a window.
using HeadAngleWatchTest = ProcedureFixture;

TEST_F(HeadAngleWatchTest, ReadyCleaningAndTheEndOfTheCleaning) {
  EXPECT_EQ(procedures::WatchHeadAngleStatus(bench), HeadAngleWatch::Ready);
  printer.PressInkSwitch();
  EXPECT_EQ(procedures::WatchHeadAngleStatus(bench), HeadAngleWatch::Cleaning);
  EXPECT_EQ(procedures::AwaitEndOfCleaning(bench), kOk);
  EXPECT_EQ(procedures::WatchHeadAngleStatus(bench), HeadAngleWatch::Ready);
  EXPECT_TRUE(memo.lines.empty());
}

// A nozzle check passes by itself: the same look waits it out instead of ending the tick.
TEST_F(HeadAngleWatchTest, PassingStatesAreLookedAtAgainAtOnce) {
  printer.PrintNozzleCheck();
  EXPECT_EQ(procedures::WatchHeadAngleStatus(bench), HeadAngleWatch::Ready);
}

// The watch shows the same words as a failed wait does, "Unknown error" with its code too.
TEST_F(HeadAngleWatchTest, PrinterErrorsHaveTheWordsOfReportResult) {
  for (const std::uint8_t er : {sim::kErPaperJam, std::uint8_t{0x02}}) {
    printer.RaiseError(er);
    ASSERT_EQ(procedures::WatchHeadAngleStatus(bench), HeadAngleWatch::Error);
    EXPECT_TRUE(memo.lines.empty());
    reporter.ShowPrinterError();
    const std::vector<std::string> watched = memo.lines;
    memo.lines.clear();
    reporter.ReportResult(kNotReady);
    EXPECT_EQ(watched, memo.lines);
    memo.lines.clear();
    printer.ClearError();
  }
  printer.RaiseError(0x02);
  ASSERT_EQ(procedures::WatchHeadAngleStatus(bench), HeadAngleWatch::Error);
  reporter.ShowPrinterError();
  EXPECT_EQ(memo.lines, (std::vector<std::string>{"Unknown error", "Error Code:2"}));
}

TEST_F(HeadAngleWatchTest, AFailedReadIsReportedAndLeavesTheDecisionOpen) {
  printer.GetFaults().errorReply = sim::Faults::ErrorReply{0x02, sim::kErrChannelClosed};
  EXPECT_EQ(procedures::WatchHeadAngleStatus(bench), HeadAngleWatch::ReadFailed);
  EXPECT_EQ(memo.lines, std::vector<std::string>{"Communication error."});
}

}  // namespace
}  // namespace vantor::test
