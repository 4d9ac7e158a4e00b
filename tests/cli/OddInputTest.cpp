// Input a script or a slip of the hand can give: bytes that are not UTF-8, a folder for a file,
// files that are missing or foreign, output nowhere to go. Each gets words and its exit class,
// never an abort.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Commands.h"
#include "cli/ParseErrors.h"
#include "tests/support/CliRunner.h"
#include "tests/support/TempPath.h"

namespace vantor::cli {
namespace {

namespace fs = std::filesystem;
using Outcome = test::CliOutcome;

TEST(NotUtf8Test, ShowsEachStrayByteAsAnEscape) {
  struct Case {
    std::string text;
    std::optional<std::string> shown;
  };
  const Case cases[] = {
      {"plain", std::nullopt},
      {"Q4\xC3\xA9\xE2\x82\xAC\xF0\x9F\x96\xA8", std::nullopt},  // e acute, euro, a printer
      {"\xff", "\\xFF"},
      {"img-\xff.json", "img-\\xFF.json"},
      {"\xC0\xAF", "\\xC0\\xAF"},                    // an overlong slash
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},           // a surrogate
      {"\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},  // above U+10FFFF
      {"a\xE2\x82", "a\\xE2\\x82"},                  // cut short at the end
      {"\xE2\x82z", "\\xE2\\x82z"},                  // cut short before a letter
  };
  for (const Case& c : cases) EXPECT_EQ(NotUtf8(c.text), c.shown) << c.text;
}

class OddInput : public ::testing::Test {
 protected:
  Outcome Run(std::vector<std::string> args) {
    args.insert(args.begin(), "--virtual=" + state_.string());
    return test::RunVantorctl(std::move(args));
  }
  test::TempPath state_{"odd-input.bin"};
  test::TempPath other_{"odd-input-other"};
};

// Every argument may end up in words, JSON or a record: one that is not UTF-8 is refused before
// anything is opened, the object of a --json run still parses.
TEST_F(OddInput, ArgumentsThatAreNotUtf8AreRefusedWithWords) {
  const std::vector<std::vector<std::string>> cases = {
      {"head-id", "set", "\xff"},
      {"--json", "usb-id", "set", "\xff"},
      {"eeprom", "backup", other_.string() + "-\xff.json"},
      {"--json", "--trace", other_.string() + "-\xff", "status"},
      {"report", "Q4\xff", "--html", other_.string()},
  };
  for (const auto& args : cases) {
    const Outcome o = Run(args);
    const std::string what = args[0] + ' ' + args[1];
    EXPECT_EQ(o.status, kExitUsage) << what << '\n' << o.err;
    EXPECT_EQ(o.out, "") << what;
    EXPECT_NE(o.err.find("\\xFF"), std::string::npos) << what << '\n' << o.err;
    if (args[0] == "--json") {
      const auto failure = nlohmann::json::parse(o.err, nullptr, false);
      ASSERT_FALSE(failure.is_discarded()) << o.err;
      EXPECT_EQ(failure["exit"], kExitUsage);
    }
  }
  EXPECT_FALSE(fs::exists(state_.string())) << "no printer was started";
  EXPECT_FALSE(fs::exists(other_.string())) << "no report was written";
}

// A parser's own message may quote the bytes; with --json they become U+FFFD.
TEST_F(OddInput, ParserWordsWithStrayBytesStayValidJson) {
  const Outcome o = Run({"--json", "stat\xff"});
  EXPECT_EQ(o.status, kExitUsage);
  const auto failure = nlohmann::json::parse(o.err, nullptr, false);
  ASSERT_FALSE(failure.is_discarded()) << o.err;
  EXPECT_NE(failure.dump().find("stat\xEF\xBF\xBD"), std::string::npos) << o.err;
}

// A folder for a state file, an unknown serial and typed input out of shape are usage faults
// (2), told before a port is opened.
TEST_F(OddInput, FileAndInputProblemsAreExitTwoBeforeAnyPort) {
  fs::create_directories(other_.string());
  struct Case {
    std::vector<std::string> args;  // run as given
    std::string words;
  };
  const std::vector<Case> cases = {
      {{"--virtual=" + other_.string(), "status"}, "not a 256-byte EEPROM image"},
      {{"serve-virtual", "--link", other_.string() + "/tty", "--state", other_.string()},
       "not a 256-byte EEPROM image"},
      {{"--virtual=" + state_.string(), "history", "Q4NOSUCH00"},
       "no service record for Q4NOSUCH00"},
      // No --virtual: the machine's ports, none of which is reached.
      {{"eeprom", "read", "0G"}, "Input data is wrong."},
      {{"eeprom", "read", "20", "10"}, "Input data is wrong."},
      {{"eeprom", "write", "5D", "0"}, "Input data is wrong."},
  };
  for (const Case& c : cases) {
    const Outcome o = test::RunVantorctl(c.args);
    const std::string what = c.args[0] + ' ' + c.args[1] + ' ' + c.args.back();
    EXPECT_EQ(o.status, kExitUsage) << what << '\n' << o.out << o.err;
    EXPECT_NE(o.err.find(c.words), std::string::npos) << what << '\n' << o.err;
    EXPECT_EQ(o.err.find("Cannot open port."), std::string::npos) << what << '\n' << o.err;
  }
}

// A stream that refuses every byte, as standard output on a full disk does.
class FullDisk : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
};

TEST_F(OddInput, OutputThatCannotBeWrittenIsAFailureWithWords) {
  std::vector<std::string> args = {"vantorctl", "--virtual=" + state_.string(), "status"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  FullDisk full;
  std::ostream out(&full);
  std::ostringstream err;
  Cli cli;
  AddAllCommands(cli);
  EXPECT_EQ(cli.Run(static_cast<int>(argv.size()), argv.data(), out, err), kExitFailure);
  EXPECT_NE(err.str().find("standard output could not be written"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace vantor::cli
