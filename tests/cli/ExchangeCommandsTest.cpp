#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "tests/support/CliRunner.h"
#include "tests/support/TempPath.h"

namespace vantor::cli {

namespace {

using test::CliOutcome;
using Outcome = CliOutcome;

class ExchangeCommand : public ::testing::Test {
 protected:
  // Runs vantorctl with input as what the technician types.
  Outcome Run(std::vector<std::string> args, const std::string& input) {
    args.insert(args.begin(), "--virtual=" + state_.string());
    return test::RunVantorctl(std::move(args), input);
  }
  std::vector<std::uint8_t> Eeprom() {
    std::ifstream file(state_.path(), std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  }
  // Each text appears, in this order.
  static void ExpectInOrder(const std::string& out, const std::vector<std::string>& texts) {
    std::size_t at = 0;
    for (const std::string& t : texts) {
      const std::size_t found = out.find(t, at);
      ASSERT_NE(found, std::string::npos) << "missing after offset " << at << ": " << t << "\n"
                                          << out;
      at = found + t.size();
    }
  }

  test::TempPath state_{"exchange.bin"};
};

TEST_F(ExchangeCommand, GuidesThroughFourCyclesAndTheCountdown) {
  const std::string enter(11, '\n');
  const Outcome o = Run({"exchange"}, enter);
  ASSERT_EQ(o.status, kExitOk) << o.err;
  ExpectInOrder(o.out,
                {"This sequence requires 4 cycle operation to complete.",
                 "Moving the CR to the I/C operating position.", "This is the 1st cycle.",
                 "1. Remove all I/Cs.\n", "Now, air exchange sequence is running.",
                 "1. Install I/Cs charged by S46", "Now, CL by S46 is running.",
                 "This is the 2nd cycle.", "1. Remove all I/Cs, or tubes", "This is the 3rd cycle.",
                 "This is the 4th cycle.", "This is the final operation to finish.",
                 "Now, CR is in the home position.", "1. Turn off the printer.",
                 "Wait for 10 seconds.\n10\n9\n8\n7\n6\n5\n4\n3\n2\n1\n0\n"
                 "You can remove AC cable now.\n"});
  const std::vector<std::uint8_t> eeprom = Eeprom();
  ASSERT_EQ(eeprom.size(), 256u);
  EXPECT_EQ(eeprom[0x30], 0x10);
  EXPECT_EQ(eeprom[0x02], 0x00);
  EXPECT_EQ(eeprom[0x1F], 0x00);
  EXPECT_EQ(eeprom[0x31], 0x00);
}

TEST_F(ExchangeCommand, StoppingOrEndOfInputIsACancel) {
  const Outcome stopped = Run({"exchange"}, "q\n");
  EXPECT_EQ(stopped.status, kExitCancelled);
  EXPECT_EQ(stopped.out.find("Moving the CR"), std::string::npos);
  // The prompt is a question: standard error, out of a log of the steps.
  EXPECT_NE(stopped.err.find("[Enter = OK, q = stop] \n"), std::string::npos) << stopped.err;
  EXPECT_EQ(stopped.out.find("[Enter"), std::string::npos) << stopped.out;

  // Input ends in the second cycle: the steps done stay done, and it says so.
  const Outcome ended = Run({"exchange"}, "\n\n\n\n");
  EXPECT_EQ(ended.status, kExitCancelled);
  EXPECT_NE(ended.out.find("This is the 2nd cycle."), std::string::npos);
  EXPECT_EQ(ended.out.find("This is the 3rd cycle."), std::string::npos);
  EXPECT_NE(ended.out.find("Exchange stopped"), std::string::npos);
  EXPECT_EQ(Eeprom()[0x30], 0x80);
}

}  // namespace
}  // namespace vantor::cli
