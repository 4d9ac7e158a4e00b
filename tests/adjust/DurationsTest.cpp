// Every figure a procedure announces, held to the virtual printer at its usual pace on the
// virtual clock: the work takes its figure within a fifth either way.
#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <string>

#include "adjust/procedures/BidProcedure.h"
#include "adjust/procedures/CheckPatternProcedure.h"
#include "adjust/procedures/ExchangeProcedure.h"
#include "adjust/procedures/HeadAngleProcedure.h"
#include "adjust/procedures/PfProcedure.h"
#include "adjust/procedures/Procedures.h"
#include "adjust/procedures/TopMarginProcedure.h"
#include "tests/support/VirtualBench.h"

namespace vantor::test {
namespace {

// Keeps the last figure announced; answers OK to the CR measurement's question.
class Announcements final : public MessageDisplay {
 public:
  void Show(MessageKind, std::string_view) override {}
  bool Question(std::string_view, std::string_view) override { return true; }
  void ExpectWork(const ExpectedWork& work) override {
    if (work.seconds > 0) last = work;
  }
  ExpectedWork last;
};

class Durations : public ::testing::Test, protected VirtualBench {
 protected:
  void SetUp() override { ASSERT_TRUE(Start()); }

  Announcements announced;
  ProcedureContext& bench = Procedures(announced);
  procedures::ExchangeProcedure exchange{bench};
};

void ExpectWithinAFifth(std::int64_t elapsedMs, int seconds, const std::string& what) {
  ASSERT_GT(seconds, 0) << what << ": nothing announced";
  EXPECT_GE(elapsedMs, seconds * 800) << what << " took " << elapsedMs << " ms";
  EXPECT_LE(elapsedMs, seconds * 1200) << what << " took " << elapsedMs << " ms";
}

TEST_F(Durations, EveryAnnouncedWorkTakesAboutItsFigure) {
  bool last = false;
  const struct {
    const char* what;
    std::function<Result()> work;
  } cases[] = {
      {"cleaning", [&] { return procedures::HeadCleaning(bench); }},
      {"ink charge", [&] { return procedures::InkCharge(bench); }},
      {"CR measurement",
       [&] {
         return procedures::CrMotorDriveDispersion(bench, {.crMotor = true, .crGuideShaft = true});
       }},
      {"Bi-D pattern", [&] { return procedures::PrintBidAdjustment(bench); }},
      {"PF pattern", [&] { return procedures::PrintPfAdjustment(bench); }},
      {"top margin pattern", [&] { return procedures::PrintTopMarginCheck(bench); }},
      {"head angle pattern", [&] { return procedures::PrintHeadAngleCheck(bench); }},
      {"cleaning after the head-angle steps",
       [&] {
         printer.PressInkSwitch();
         return procedures::AwaitEndOfCleaning(bench);
       }},
      {"A4 check pattern", [&] { return procedures::PrintA4CheckPattern(bench); }},
      {"exchange start", [&] { return exchange.Start(); }},
      {"air exchange", [&] { return exchange.AirExchange(); }},
      {"liquid cleaning", [&] { return exchange.LiquidCleaning(last); }},
  };
  for (const auto& c : cases) {
    announced.last = {};
    const std::int64_t start = clock.NowMs();
    ASSERT_EQ(c.work(), kOk) << c.what;
    ExpectWithinAFifth(clock.NowMs() - start, announced.last.seconds, c.what);
  }
}

// Each step names its cycle and the printer work left, which the whole exchange then takes.
TEST_F(Durations, ExchangeStepsNameTheirCycleAndTheWorkLeft) {
  ASSERT_EQ(exchange.Start(), kOk);
  EXPECT_EQ(announced.last.context.substr(0, 19), "cycle 1 of 4, about");
  const std::int64_t start = clock.NowMs();
  std::smatch minutes;
  const std::string first = announced.last.context;
  ASSERT_TRUE(std::regex_search(first, minutes, std::regex("about (\\d+) min left in all")));
  for (bool last = false; !last;) {
    const int cycle = exchange.Cycle();
    ASSERT_EQ(exchange.AirExchange(), kOk);
    ASSERT_EQ(exchange.LiquidCleaning(last), kOk);
    EXPECT_EQ(announced.last.context.substr(0, 13), "cycle " + std::to_string(cycle) + " of 4,");
  }
  ExpectWithinAFifth(clock.NowMs() - start, std::stoi(minutes[1]) * 60, "whole exchange");
}

}  // namespace
}  // namespace vantor::test
