#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adjust/procedures/ExchangeProcedure.h"
#include "tests/adjust/ProcedureFixture.h"

namespace vantor::test {
namespace {

using procedures::ExchangeProcedure;

class Exchange : public ProcedureFixture {
 protected:
  // The step's next transfer takes 10 s and so fails: the port gives up on it.
  void FailNextTransfer() {
    printer.GetFaults().writeDelayMs = 10'000;
    printer.GetFaults().slowWrites = 1;
  }
  std::string LastLine() const { return memo.lines.empty() ? "" : memo.lines.back(); }

  ExchangeProcedure exchange{bench};
};

// The printer answers writes while it works with 'B': the last cycle's resets wait for the
// end of the cleaning, and the move to the operating position comes after them.
TEST_F(Exchange, LastCycleResetsOnlyOnceThePrinterIsReady) {
  printer.SetEeprom(eeprom::kProtectionCounterHi, 0x12);
  printer.SetEeprom(0x1F, 0x34);
  ASSERT_EQ(exchange.Start(), kOk);
  for (int cycle = 0; cycle < 4; ++cycle) {
    ASSERT_EQ(exchange.AirExchange(), kOk) << cycle;
    bool last = false;
    ASSERT_EQ(exchange.LiquidCleaning(last), kOk) << cycle << " " << LastLine();
    EXPECT_EQ(last, cycle == 3);
    // The move ends the step: the carriage is still on its way when the step returns.
    EXPECT_EQ(printer.State().st, sim::kStBusy) << cycle;
  }
  EXPECT_EQ(printer.Eeprom(eeprom::kProtectionCounterHi), 0x00);
  EXPECT_EQ(printer.Eeprom(0x1F), 0x00);
  EXPECT_EQ(printer.Eeprom(eeprom::kExchangeState), 0x10);
  EXPECT_EQ(printer.Eeprom(0x31), 0x00);
}

TEST_F(Exchange, StepCounterAndInstructionsFollowTheCycles) {
  ASSERT_EQ(exchange.Start(), kOk);
  EXPECT_EQ(printer.Eeprom(0x30), 0x80);
  struct Expected {
    std::uint32_t afterAir, afterLiquid;
    std::string_view label, first;
  };
  const Expected cycles[] = {
      {0, 1, "This is the 1st cycle.", "1. Remove all I/Cs."},
      {2, 3, "This is the 2nd cycle.",
       "1. Remove all I/Cs, or tubes from      the bottle charged by S46."},
      {4, 5, "This is the 3rd cycle.",
       "1. Remove all I/Cs, or tubes from      the bottle charged by S46."},
      {6, 0, "This is the 4th cycle.",
       "1. Remove all I/Cs, or tubes from      the bottle charged by S46."},
  };
  for (std::size_t i = 0; i < 4; ++i) {
    const Expected& c = cycles[i];
    EXPECT_EQ(exchange.CycleLabel(), c.label) << i;
    EXPECT_EQ(exchange.FirstInstruction(), c.first) << i;
    ASSERT_EQ(exchange.AirExchange(), kOk) << i;
    EXPECT_EQ(exchange.ExchangeStep(), c.afterAir) << i;
    EXPECT_EQ(exchange.CycleLabel(), c.label) << "the cleaning belongs to the same cycle";
    bool last = true;
    ASSERT_EQ(exchange.LiquidCleaning(last), kOk) << i;
    EXPECT_EQ(last, i == 3) << i;
    EXPECT_EQ(exchange.ExchangeStep(), c.afterLiquid) << i;
  }
  EXPECT_EQ(exchange.CycleLabel(), "This is the 1st cycle.");
  EXPECT_EQ(printer.Eeprom(0x30), 0x10);
  ASSERT_EQ(exchange.Finish(), kOk);
  EXPECT_EQ(LastLine(), "CR is returning to the home position.");
}

TEST_F(Exchange, FourthCycleResetsCountersAndFlagsOnly) {
  for (int a = 0; a < 0x40; ++a) printer.SetEeprom(std::uint8_t(a), 0xA5);
  ASSERT_EQ(exchange.Start(), kOk);
  bool last = false;
  for (int i = 0; i < 4; ++i) {
    ASSERT_EQ(exchange.AirExchange(), kOk);
    ASSERT_EQ(exchange.LiquidCleaning(last), kOk);
    if (i < 3) {
      EXPECT_EQ(printer.Eeprom(0x02), 0xA5) << "reset early in cycle " << i + 1;
    }
  }
  ASSERT_TRUE(last);
  for (int a = 0; a < 0x40; ++a) {
    const bool reset =
        a == 0x02 || a == 0x03 || (a >= 0x08 && a <= 0x0B) || (a >= 0x10 && a <= 0x1F) || a == 0x31;
    const std::uint8_t expected = a == 0x30 ? 0x10 : reset ? 0x00 : 0xA5;
    EXPECT_EQ(printer.Eeprom(std::uint8_t(a)), expected) << "address " << a;
  }
}

TEST_F(Exchange, FailedCommandLeavesTheStepToBeRepeated) {
  ASSERT_EQ(exchange.Start(), kOk);
  bool last = false;
  ASSERT_EQ(exchange.AirExchange(), kOk);
  ASSERT_EQ(exchange.LiquidCleaning(last), kOk);
  ASSERT_EQ(exchange.ExchangeStep(), 1u);

  FailNextTransfer();
  EXPECT_EQ(exchange.AirExchange(), kPortFailure);
  EXPECT_EQ(LastLine(), "Transmission error");
  EXPECT_EQ(exchange.ExchangeStep(), 1u);
  ASSERT_EQ(exchange.AirExchange(), kOk);
  EXPECT_EQ(exchange.ExchangeStep(), 2u);

  FailNextTransfer();
  last = true;
  EXPECT_EQ(exchange.LiquidCleaning(last), kPortFailure);
  EXPECT_FALSE(last);
  EXPECT_EQ(exchange.ExchangeStep(), 2u);

  // A printer gone into error before the step: nothing runs, nothing counts.
  printer.RaiseError(sim::kErPaperJam);
  EXPECT_EQ(exchange.LiquidCleaning(last), kNotReady);
  EXPECT_EQ(LastLine(), "Paper jam error");
  EXPECT_EQ(exchange.ExchangeStep(), 2u);
  printer.ClearError();
  ASSERT_EQ(exchange.LiquidCleaning(last), kOk);
  EXPECT_EQ(exchange.ExchangeStep(), 3u);
  EXPECT_EQ(exchange.CycleLabel(), "This is the 3rd cycle.");

  FailNextTransfer();
  EXPECT_EQ(exchange.Finish(), kPortFailure);
}

TEST_F(Exchange, FailedStartMarksNothingMoved) {
  printer.SetEeprom(0x30, 0x00);
  FailNextTransfer();
  EXPECT_EQ(exchange.Start(), kPortFailure);
  EXPECT_EQ(LastLine(), "Transmission error");
  EXPECT_EQ(printer.Eeprom(0x30), 0x00);
  EXPECT_EQ(exchange.ExchangeStep(), 0u);
}

}  // namespace
}  // namespace vantor::test
