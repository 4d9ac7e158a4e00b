// vantorctl as scripts meet it: typo help, the exit code of each class of failure, --version.
#include <gtest/gtest.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "adjust/procedures/EepromImage.h"
#include "cli/Cli.h"
#include "cli/ParseErrors.h"
#include "cli/TerminalDisplay.h"
#include "tests/support/CliRunner.h"
#include "tests/support/TempPath.h"

namespace vantor::cli {
namespace {

using Outcome = test::CliOutcome;

class ScriptingTest : public ::testing::Test {
 protected:
  Outcome Run(std::vector<std::string> args, const std::string& input = "") {
    args.insert(args.begin(), "--virtual=" + state_.string());
    return test::RunVantorctl(std::move(args), input);
  }
  test::TempPath state_{"scripting.bin"};
};

TEST(NearestWordTest, SwapsTyposAndBeginningsFindTheCommand) {
  const std::vector<std::string> commands{"status", "eeprom", "pf", "page-counter", "pass-counter"};
  EXPECT_EQ(NearestWord("stauts", commands), "status");
  EXPECT_EQ(NearestWord("statsu", commands), "status");
  EXPECT_EQ(NearestWord("eepom", commands), "eeprom");
  EXPECT_EQ(NearestWord("page", commands), "page-counter");
  EXPECT_EQ(NearestWord("xyzzy", commands), "");
}

TEST_F(ScriptingTest, UnknownWordsAreNamedWithTheNearestCommandOrOption) {
  const Outcome top = Run({"stauts"});
  EXPECT_EQ(top.status, kExitUsage);
  EXPECT_EQ(top.err, "vantorctl: unknown command 'stauts'; did you mean 'status'?\n");

  const Outcome nested = Run({"eeprom", "reed", "00"});
  EXPECT_EQ(nested.status, kExitUsage);
  EXPECT_EQ(nested.err, "vantorctl: unknown command 'eeprom reed'; did you mean 'eeprom read'?\n");

  const Outcome option = Run({"--modle", "Q30", "status"});
  EXPECT_EQ(option.status, kExitUsage);
  EXPECT_EQ(option.err.rfind("vantorctl: unknown option '--modle'; did you mean '--model'?", 0),
            0u);

  const Outcome nothingNear = Run({"frobnicate"});
  EXPECT_EQ(nothingNear.status, kExitUsage);
  EXPECT_EQ(nothingNear.err,
            "vantorctl: unknown command 'frobnicate'; 'vantorctl --help' lists them\n");
}

TEST(ScriptingVirtualOption, FollowingWordIsNeverTakenAsTheStateFile) {
  const Outcome typo = test::RunVantorctl({"--virtual", "statsu"});
  EXPECT_EQ(typo.status, kExitUsage);
  EXPECT_EQ(typo.err, "vantorctl: unknown command 'statsu'; did you mean 'status'?\n");
  const Outcome bare = test::RunVantorctl({"--virtual", "status"});
  EXPECT_EQ(bare.status, kExitOk) << bare.err;
  EXPECT_EQ(bare.out, "Ready to print.\n");
}

TEST(ScriptingVersion, VersionAndHelpWithTheExitCodes) {
  const Outcome version = test::RunVantorctl({"--version"});
  EXPECT_EQ(version.status, kExitOk);
  EXPECT_EQ(version.out, "vantorctl " + std::string(procedures::ProgramVersion()) + "\n");
  const Outcome help = test::RunVantorctl({"--help"});
  EXPECT_EQ(help.status, kExitOk);
  EXPECT_NE(help.out.find(kExitCodeTable), std::string::npos);
}

TEST_F(ScriptingTest, TypedValuesOutOfShapeOrRangeAreUsageFaults) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"eeprom", "read", "0G"},
                                               {"eeprom", "write", "5D", "100"},
                                               {"pf", "set", "9"},
                                               {"top-margin", "set", "+99"},
                                               {"bid", "set", "vsd1-black=99"},
                                               {"bid", "set", "no-such-row=1"}}) {
    const Outcome o = Run(args);
    EXPECT_EQ(o.status, kExitUsage) << args[0] << ' ' << args[2] << '\n' << o.out << o.err;
  }
}

TEST_F(ScriptingTest, DeclinedOrUnansweredConfirmationIsACancel) {
  // The runner's input is no terminal: the question goes unanswered.
  const Outcome unanswered = Run({"cr-dispersion", "--replaced", "ps-board"});
  EXPECT_EQ(unanswered.status, kExitCancelled) << unanswered.err;
}

TEST(ScriptingTerminal, ColourFollowsTheOptionThenTheTerminalNoColorAndTerm) {
  struct Case {
    const char* mode;
    bool terminal;
    const char* noColour;
    const char* term;
    bool colour;
  };
  for (const Case& c : std::vector<Case>{
           {"auto", true, nullptr, "xterm", true},
           {"auto", true, "", "xterm", true},  // NO_COLOR set but empty counts as unset
           {"auto", true, "1", "xterm", false},
           {"auto", false, nullptr, "xterm", false},
           {"auto", true, nullptr, "dumb", false},
           {"auto", true, nullptr, nullptr, true},
           {"always", false, "1", "dumb", true},
           {"never", true, nullptr, "xterm", false},
       }) {
    EXPECT_EQ(ColourWanted(c.mode, c.terminal, c.noColour, c.term), c.colour)
        << c.mode << ' ' << c.terminal << ' ' << (c.noColour ? c.noColour : "-") << ' '
        << (c.term ? c.term : "-");
  }
}

// The question and the answer's echo go to standard error: standard output keeps the results.
TEST(ScriptingTerminal, ConfirmationDefaultsToNoAndADeclineSaysSo) {
  const std::string asked = "Confirmation: Write 3 bytes?\nContinue? [y/N] ";
  for (const auto& [typed, yes] : std::vector<std::pair<std::string, bool>>{
           {"y\n", true}, {"Yes\n", true}, {"\n", false}, {"n\n", false}, {"", false}}) {
    std::istringstream in(typed);
    std::streambuf* const saved = std::cin.rdbuf(in.rdbuf());
    std::ostringstream out, err;
    TerminalDisplay display(out, err, false, false, true);
    const bool answer = display.Question("Confirmation", "Write 3 bytes?");
    std::cin.rdbuf(saved);
    EXPECT_EQ(answer, yes) << typed;
    EXPECT_EQ(display.Declined(), !yes) << typed;
    EXPECT_EQ(out.str(), "") << typed;
    EXPECT_EQ(err.str(), asked + (yes ? "" : "Cancelled.\n")) << typed;
  }
}

// A wait on a terminal: the busy message keeps its line, the seconds count on standard error
// from the first pause once a second has passed, with the announced work's figure and context,
// and the next message clears them.
TEST(TerminalWaitTest, LongWaitsShowTheirSecondsAndShortOnesNothing) {
  std::ostringstream out, err;
  TerminalDisplay display(out, err, false, false, false);
  display.ShowWaits(true);
  VirtualClock clock;
  WaitShowingClock waits(clock, display);

  display.ExpectWork({45, "cycle 1 of 4"});
  display.Show(MessageKind::Busy, "Head cleaning now.");
  waits.SleepMs(2500);  // shown at 1 s and 2 s
  display.Show(MessageKind::Done, "Head cleaning is completed.");
  display.ExpectWork({});
  waits.SleepMs(900);  // under a second: nothing
  display.Show(MessageKind::Replace, "Ready to print.");
  display.EndLine();

  EXPECT_EQ(out.str(), "Head cleaning now.\nHead cleaning is completed.\nReady to print.\n");
  EXPECT_EQ(err.str(),
            "\r\033[KWaiting for the printer: 1 s of about 45 s  -  cycle 1 of 4"
            "\r\033[KWaiting for the printer: 2 s of about 45 s  -  cycle 1 of 4\r\033[K");
  // The whole pause passed, in steps.
  EXPECT_EQ(clock.NowMs(), VirtualClock().NowMs() + 3400);

  // Off the terminal: no counting at all.
  std::ostringstream out2, err2;
  TerminalDisplay quiet(out2, err2, false, false, false);
  WaitShowingClock quietWaits(clock, quiet);
  quietWaits.SleepMs(5000);
  EXPECT_EQ(err2.str(), "");
}

// A counter is drawn over the last one on a cleared line (no "Reading EEPROM 18/256er: 1 s"),
// and the link's 10 ms pauses between transfers are no wait for the printer.
TEST(TerminalWaitTest, CountersClearTheirLineAndPacingIsNoWait) {
  std::ostringstream out, err;
  TerminalDisplay display(out, err, false, false, false);
  display.ShowWaits(true);
  VirtualClock clock;
  WaitShowingClock waits(clock, display);
  display.Progress("Reading EEPROM 18/256");
  for (int i = 0; i < 200; ++i) waits.SleepMs(10);
  display.Progress("Reading EEPROM 19/256");
  display.EndProgress();
  EXPECT_EQ(err.str(), "\r\033[KReading EEPROM 18/256\r\033[KReading EEPROM 19/256\r\033[K");
  EXPECT_EQ(out.str(), "");
}

// The twin's mechanical errors are set from the command line and kept beside the state file.
TEST_F(ScriptingTest, VirtualMisalignIsKeptOrRefusedWithWords) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string words;  // in standard error
  };
  const std::vector<Case> cases = {
      {{"--virtual-misalign", "pf=-2;tilt=0", "status"}, kExitOk, ""},
      {{"--virtual-misalign", "pf=zz", "status"}, kExitUsage, "--virtual-misalign"},
  };
  for (const Case& c : cases) {
    const Outcome o = Run(c.args);
    EXPECT_EQ(o.status, c.status) << o.err;
    EXPECT_NE(o.err.find(c.words), std::string::npos) << o.err;
  }
  std::ifstream side(state_.string() + ".mechanism");
  std::string kept((std::istreambuf_iterator<char>(side)), {});
  EXPECT_NE(kept.find("pf=-2"), std::string::npos) << kept;
  const Outcome real = test::RunVantorctl({"--virtual-misalign", "pf=1", "status"});
  EXPECT_EQ(real.status, kExitUsage);
  EXPECT_NE(real.err.find("needs --virtual"), std::string::npos) << real.err;
}

TEST_F(ScriptingTest, BiDRowNamesIgnoreCase) {
  const Outcome set = Run({"bid", "set", "VSD1-Black=3", "Eco-COLOR=-2"});
  EXPECT_EQ(set.status, kExitOk) << set.err;
  const Outcome read = Run({"bid"});
  EXPECT_NE(read.out.find("VSD1 Black value = 3 "), std::string::npos) << read.out;
  EXPECT_NE(read.out.find("ECO Color value = -2"), std::string::npos) << read.out;
}

}  // namespace
}  // namespace vantor::cli
