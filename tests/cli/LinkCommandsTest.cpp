// vantorctl's link commands run in-process against the virtual printer, as a technician types them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/TerminalDisplay.h"
#include "sim/VirtualPrinter.h"
#include "tests/support/CliRunner.h"
#include "tests/support/TempPath.h"
#include "words/Words.h"

namespace vantor::cli {
namespace {

using Outcome = test::CliOutcome;

class LinkCommandsTest : public ::testing::Test {
 protected:
  // Without a model the printer's device ID names it.
  Outcome Run(std::vector<std::string> args, const std::string& model = "") {
    args.insert(args.begin(), "--virtual=" + state_.string());
    if (!model.empty()) args.insert(args.begin(), {"--model", model});
    return test::RunVantorctl(std::move(args));
  }

  std::uint8_t Byte(std::uint8_t address) {
    const Outcome o = Run({"eeprom", "read", HexOf(address)});
    EXPECT_EQ(o.status, kExitOk) << o.err;
    return static_cast<std::uint8_t>(std::stoi(o.out, nullptr, 16));
  }
  static std::string HexOf(std::uint8_t v) {
    char b[3];
    std::snprintf(b, sizeof b, "%02X", v);
    return b;
  }

  test::TempPath state_{"link.bin"};
};

TEST_F(LinkCommandsTest, WrittenByteIsReadBackBySeparateRuns) {
  const Outcome w = Run({"eeprom", "write", "5d", "0e"});
  EXPECT_EQ(w.status, kExitOk) << w.err;
  EXPECT_EQ(w.out, "Address = 5D\nData = 0E\n");
  EXPECT_EQ(Run({"eeprom", "read", "5D"}).out, "0E\n");
}

// Only the rows that hold an address asked for; cell c of a row stands at 2 + 3c (the row
// heading, then " XX" per column), blank outside the range.
TEST_F(LinkCommandsTest, RangeTableHasHeadingsAndOnlyTheRowsAskedFor) {
  Run({"eeprom", "write", "7E", "12"});
  Run({"eeprom", "write", "81", "34"});
  Run({"eeprom", "write", "7F", "AB"});
  Run({"eeprom", "write", "80", "CD"});
  const Outcome o = Run({"eeprom", "read", "7E", "81"});
  ASSERT_EQ(o.status, kExitOk) << o.err;
  EXPECT_EQ(o.out,
            "   0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F\n"
            "7" +
                std::string(14 * 3, ' ') + " 12 AB\n" + "8 CD 34\n");
}

TEST_F(LinkCommandsTest, WrongHexInputIsRefusedBeforeAnythingIsSent) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"eeprom", "read", "F0", "0F"},
        {"eeprom", "read", "5"},
        {"eeprom", "read", "G0"},
        {"eeprom", "write", "5D", "0"},
        {"eeprom", "write", "XY", "00"},
        {"eeprom", "read", "10", ""},
        {"eeprom", "read", "", "10"}}) {
    const Outcome o = Run(args);
    EXPECT_EQ(o.status, kExitUsage) << args[2];
    EXPECT_EQ(o.err, "Input data is wrong.\n") << args[2];
    EXPECT_EQ(o.out, "") << args[2];
  }
}

TEST_F(LinkCommandsTest, EepromInitializationWritesTheModelsDestination) {
  // The model byte stays: an existing file keeps the model it holds.
  Run({"eeprom", "write", "51", "00"}, "Q30");
  Run({"eeprom", "write", "E1", "33"}, "Q30");
  const Outcome o = Run({"eeprom", "init"}, "Q30");
  EXPECT_EQ(o.status, kExitOk) << o.err;
  EXPECT_EQ(o.out, "EEPROM Initialization has completely done.\n");
  EXPECT_EQ(Byte(0xB0), 0x95);
  EXPECT_EQ(Byte(0x51), 0x08);
  EXPECT_EQ(Byte(0xE1), 0x00);
}

TEST_F(LinkCommandsTest, WithoutModelTheDeviceIdChoosesAndAGivenOtherModelIsNamed) {
  // The file is made a Q30 one; later runs without --model find the model in the device ID.
  ASSERT_EQ(Run({"eeprom", "write", "51", "00"}, "Q30").status, kExitOk);
  const Outcome init = Run({"eeprom", "init"});
  EXPECT_EQ(init.status, kExitOk) << init.err;
  EXPECT_EQ(init.err, "");
  EXPECT_EQ(Run({"eeprom", "read", "51"}).out, "08\n");

  // The file keeps its model; the given one is used as asked, and the mismatch is said.
  const Outcome other = Run({"eeprom", "read", "51"}, "Q40");
  EXPECT_EQ(other.err.substr(0, other.err.find('\n') + 1),
            "vantorctl: the printer reports itself as Vantor Q30; going on as Vantor Q40 "
            "(--model)\n");
  const Outcome same = Run({"eeprom", "read", "51"}, "Q30");
  EXPECT_EQ(same.err, "");
  EXPECT_EQ(same.out, "08\n");
}

TEST_F(LinkCommandsTest, ProtectionCounterNewTypeThenCheck) {
  ASSERT_EQ(Run({"protection-counter", "clear", "--new"}).out,
            "The protection counter has been cleared.\n");
  EXPECT_EQ(Run({"protection-counter"}).out, "Protection Counter = 3937 points\n");
  ASSERT_EQ(Run({"protection-counter", "clear", "--old"}).status, kExitOk);
  EXPECT_EQ(Run({"protection-counter"}).out, "Protection Counter = 0 points\n");
  EXPECT_EQ(Run({"protection-counter", "clear"}).status, kExitUsage);
}

TEST_F(LinkCommandsTest, CrDispersionDecidesByTheReplacedParts) {
  Run({"eeprom", "write", "79", "00"});
  const Outcome shaftOnly = Run({"cr-dispersion", "--replaced", "cr-guide-shaft", "--yes"});
  EXPECT_EQ(shaftOnly.status, kExitOk);
  EXPECT_NE(shaftOnly.out.find("It's not necessary to execute this function"), std::string::npos);
  EXPECT_EQ(shaftOnly.out.find("Confirmation"), std::string::npos);
  EXPECT_EQ(Byte(0x79), 0x00);

  // The question goes to standard error, with the way to answer it from a script.
  const Outcome unconfirmed = Run({"cr-dispersion", "--replaced", "ps-board"});
  EXPECT_NE(unconfirmed.err.find("will automatically be registered.\nCancelled: no answer on a "
                                 "terminal; run again with --yes (-y) to confirm.\n"),
            std::string::npos)
      << unconfirmed.err;
  EXPECT_EQ(unconfirmed.out.find("Confirmation"), std::string::npos) << unconfirmed.out;
  EXPECT_EQ(Byte(0x79), 0x00);  // no answer is no OK
  EXPECT_EQ(unconfirmed.out.find("Value stored"), std::string::npos);

  const Outcome fixed = Run({"cr-dispersion", "--replaced", "ps-board", "-y"});
  EXPECT_EQ(fixed.status, kExitOk) << fixed.err;
  EXPECT_NE(fixed.out.find("Now, a value for the CR motor drive dispersion is writing."),
            std::string::npos);
  EXPECT_EQ(Byte(0x79), 25);
  EXPECT_NE(fixed.out.find("has successfully registered.\nValue stored at 0x79: 25\n"),
            std::string::npos)
      << fixed.out;

  const Outcome measured = Run({"cr-dispersion", "--replaced", "cr-motor,cr-guide-shaft", "--yes"});
  EXPECT_EQ(measured.status, kExitOk) << measured.err;
  EXPECT_NE(measured.err.find("measurement sequence will be run."), std::string::npos);
  EXPECT_NE(measured.out.find("has successfully registered."), std::string::npos);
  const auto value = static_cast<std::int8_t>(Byte(0x79));
  EXPECT_NE(value, 25);
  EXPECT_GE(value, -45);
  EXPECT_LE(value, 45);
  // The measured value is told as it was stored, signed.
  EXPECT_NE(measured.out.find("Value stored at 0x79: " + std::to_string(value) + "\n"),
            std::string::npos)
      << measured.out;
}

TEST_F(LinkCommandsTest, CleaningAndChargeWaitForTheEndOfTheWork) {
  const Outcome clean = Run({"clean"});
  EXPECT_EQ(clean.status, kExitOk) << clean.err;
  EXPECT_EQ(clean.out, "Now, printer is operating CL3 cleaning.\nHead cleaning is completed.\n");
  const Outcome charge = Run({"ink-charge"});
  EXPECT_EQ(charge.out, "Performing Ink Charge now.\nInk Charge is completed.\n");
}

TEST_F(LinkCommandsTest, CountersAreShownInDecimal) {
  Run({"eeprom", "write", "20", "80"});
  Run({"eeprom", "write", "21", "00"});
  Run({"eeprom", "write", "22", "00"});
  Run({"eeprom", "write", "23", "00"});
  EXPECT_EQ(Run({"page-counter"}).out, "Page counter = -2147483648\n");
  EXPECT_EQ(Run({"pass-counter"}).out.rfind("Print pass counter = ", 0), 0u);
}

TEST_F(LinkCommandsTest, StatusAndUsage) {
  const Outcome ready = Run({"status"});
  EXPECT_EQ(ready.status, kExitOk);
  EXPECT_EQ(ready.out, "Ready to print.\n");
  EXPECT_EQ(Run({"no-such-command"}).status, kExitUsage);
  EXPECT_EQ(Run({}).status, kExitUsage);
}

TEST(LinkCommandsPorts, NameThatLeadsNowhereCannotBeOpened) {
  const test::CliOutcome o =
      test::RunVantorctl({"--port", "LPT3", "--device", "LPT3=/nonexistent/port", "status"});
  EXPECT_EQ(o.status, kExitFailure);
  EXPECT_EQ(o.err.substr(0, 18), "Cannot open port.\n");
}

TEST_F(LinkCommandsTest, RowsRegisteredAfterAFailedRowAreReportedOnStandardOutput) {
  const Outcome o = Run({"bid", "set", "vsd1-black=99", "vsd2-black=3"});
  EXPECT_NE(o.out.find("3 has registered in EEPROM."), std::string::npos) << o.out;
  EXPECT_EQ(o.err.find("has registered"), std::string::npos) << o.err;
  EXPECT_FALSE(o.err.empty());
}

TEST(TerminalDisplayTest, PaperOutIsToldOncePerWaitNotEverySecondWithWhatToDo) {
  const std::string told = std::string(words::kPaperOutError) + "\nload paper, or Ctrl-C to stop\n";
  std::ostringstream out, err;
  TerminalDisplay display(out, err, false, false, false);
  for (int poll = 0; poll < 5; ++poll) display.PaperOut();
  EXPECT_EQ(err.str(), told);
  display.Show(MessageKind::Busy, "Now, printer is operating CL3 cleaning.");
  display.PaperOut();  // a new wait tells it again
  display.EndLine();
  EXPECT_EQ(err.str(), told + told);
}

TEST_F(LinkCommandsTest, AWaitLimitEndsAWaitWithThePrintersWords) {
  const Outcome o = Run({"--wait-limit", "2", "clean"});
  EXPECT_EQ(o.status, kExitFailure);
  EXPECT_NE(o.err.find(words::StatusWords(kStatusCleaning)), std::string::npos) << o.err;
  EXPECT_EQ(Run({"--wait-limit", "nan", "clean"}).status, kExitUsage);
  EXPECT_EQ(Run({"--wait-limit", "-1", "clean"}).status, kExitUsage);
}

// A state file whose name leaves no room beside it: "NAME.lock" still fits in a file name,
// "NAME.tmp.PID.RANDOM" does not, so it loads but no save can replace it, even for root.
TEST(LinkCommandsStateFile, AnEepromThatCannotBeSavedIsToldInItsOwnWords) {
  const test::TempPath dir("unsavable");
  std::filesystem::create_directories(dir.path());
  const std::string state = (dir / std::string(250, 'e')).string();
  const auto factory = sim::VirtualPrinter::FactoryImage(Model::Q40);
  const std::string image(factory.begin(), factory.end());
  std::ofstream(state, std::ios::binary) << image;
  // The reason is the system's own words ("File name too long" here), once, on one line.
  const auto toldOnce = [&](const std::string& err) {
    const std::string prefix = "cannot save the virtual printer's EEPROM to " + state + ": ";
    return err.rfind(prefix, 0) == 0 && err.size() > prefix.size() + 1 && err.back() == '\n' &&
           err.find('\n') == err.size() - 1;
  };

  // A refused write: the reason instead of "Communication error.", once.
  Outcome o = test::RunVantorctl({"--virtual=" + state, "eeprom", "write", "5D", "0E"});
  EXPECT_EQ(o.status, kExitFailure);
  EXPECT_TRUE(toldOnce(o.err)) << o.err;
  EXPECT_EQ(test::FileContents(state), image);
  // A cleaning the printer did but could not count.
  o = test::RunVantorctl({"--virtual=" + state, "clean"});
  EXPECT_EQ(o.status, kExitFailure);
  EXPECT_TRUE(toldOnce(o.err)) << o.err;
  EXPECT_EQ(test::FileContents(state), image);
  // Nothing to save: nothing to tell.
  o = test::RunVantorctl({"--virtual=" + state, "status"});
  EXPECT_EQ(o.status, kExitOk) << o.err;
  EXPECT_EQ(o.err, "");
}

}  // namespace
}  // namespace vantor::cli
