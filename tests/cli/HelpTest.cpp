// vantorctl as people and scripts meet it beyond the commands' work: help at every level, words
// for options in the wrong place, the JSON of the backup and record commands, the bash
// completion's values.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "tests/support/CliRunner.h"
#include "tests/support/TempPath.h"

namespace vantor::cli {
namespace {

using nlohmann::json;
using Outcome = test::CliOutcome;

bool StartsWith(const std::string& text, const std::string& start) {
  return text.rfind(start, 0) == 0;
}
bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Something missing prints that level's usage on standard error; help prints it on standard
// output; a misplaced option or --virtual FILE is named with what to write instead.
TEST(HelpTest, EachLevelSaysWhatIsMissingOrMisplaced) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string start;  // of standard error, or of standard output when status is 0
    std::string part;   // further on in the same stream
  };
  const std::vector<Case> cases = {
      {{},
       kExitUsage,
       "vantorctl: a command is required\n\nUsage: vantorctl [OPTIONS] COMMAND",
       "\n  eeprom COMMAND "},
      {{"eeprom"},
       kExitUsage,
       "vantorctl: eeprom: a command is required\n\nUsage: vantorctl [OPTIONS] eeprom COMMAND\n",
       "\n  read ADDR [END] "},
      {{"eeprom", "read"},
       kExitUsage,
       "vantorctl: eeprom read: ADDR is required\n\nUsage: vantorctl [OPTIONS] eeprom read ADDR "
       "[END]\n",
       "'vantorctl help eeprom read' tells more."},
      {{"help"}, kExitOk, "vantorctl: service functions", "\n  130  interrupted by Ctrl-C"},
      {{"help", "eeprom", "restore"},
       kExitOk,
       "vantorctl eeprom restore: write back the bytes that differ",
       "\n  -y, --yes                   answer OK"},
      {{"eeprom", "diff", "--help"}, kExitOk, "vantorctl eeprom diff: ", "\n  --exit-code "},
      {{"help", "eepom"},
       kExitUsage,
       "vantorctl: unknown command 'eepom'; did you mean 'eeprom'?",
       ""},
      {{"--yes", "cr-dispersion"},
       kExitUsage,
       "vantorctl: --yes belongs after 'cr-dispersion'\n",
       ""},
      {{"-y", "eeprom", "restore", "f.json"},
       kExitUsage,
       "vantorctl: -y belongs after 'eeprom restore'\n",
       ""},
      {{"--dry-run", "status"},
       kExitUsage,
       "vantorctl: --dry-run belongs after 'eeprom restore'\n",
       ""},
      {{"--virtual", "q40.bin", "status"},
       kExitUsage,
       "vantorctl: --virtual takes a file only after '=': write --virtual=q40.bin\n",
       ""},
      // The desktop program's name for it is the same option.
      {{"--virtual-printer", "q40.bin", "status"},
       kExitUsage,
       "vantorctl: --virtual-printer takes a file only after '=': write "
       "--virtual-printer=q40.bin\n",
       ""},
      {{"--virtual-printer", "status"}, kExitOk, "Ready to print.\n", ""},
      {{"--capture", "c.bin", "status"}, kExitUsage, "vantorctl: --capture needs --virtual\n", ""},
      {{"--real-time", "status"}, kExitUsage, "vantorctl: --real-time needs --virtual\n", ""},
  };
  for (const Case& c : cases) {
    const Outcome o = test::RunVantorctl(c.args);
    const std::string& stream = c.status == kExitOk ? o.out : o.err;
    std::string given;
    for (const std::string& a : c.args) given += a + ' ';
    EXPECT_EQ(o.status, c.status) << given << o.err;
    EXPECT_TRUE(StartsWith(stream, c.start)) << given << '\n' << stream;
    EXPECT_TRUE(Has(stream, c.part)) << given << '\n' << stream;
  }
}

// Every command's help in full, as the manual pages take it: the values are named as they are
// typed, never with the parser's own words.
TEST(HelpTest, HelpNamesValuesAsTheyAreTyped) {
  const Outcome o = test::RunVantorctl({"--help-all"});
  ASSERT_EQ(o.status, kExitOk);
  EXPECT_TRUE(Has(o.out, "\n  --virtual[=FILE] ")) << o.out;
  EXPECT_TRUE(Has(o.out, "\n  --model Q40|Q30 ")) << o.out;
  EXPECT_TRUE(Has(o.out, "the one the printer reports")) << o.out;
  EXPECT_TRUE(Has(o.out, "\nvantorctl eeprom read ADDR [END]:\n")) << o.out;
  EXPECT_TRUE(Has(o.out, "\nvantorctl bid set ROW=VALUE...:\n")) << o.out;
  for (const char* artefact : {"{}", "TEXT", "VALUE\n", "--json VALUE", "/"}) {
    if (std::string(artefact) == "/") {
      EXPECT_FALSE(Has(o.out, "Usage: /")) << "a path in the usage line";
      continue;
    }
    EXPECT_FALSE(Has(o.out, artefact)) << artefact;
  }
}

TEST(HelpTest, ModelInAnyCaseIsTheModel) {
  test::TempPath state{"help-model.bin"};
  ASSERT_EQ(test::RunVantorctl({"--model", "q30", "--virtual=" + state.string(), "status"}).status,
            kExitOk);
  // A new state file takes the model given: a Q30 holds 0x95 at B0.
  EXPECT_EQ(test::RunVantorctl({"--virtual=" + state.string(), "eeprom", "read", "B0"}).out,
            "95\n");
}

class BackupJsonTest : public ::testing::Test {
 protected:
  Outcome Run(std::vector<std::string> args) {
    args.insert(args.begin(), "--virtual=" + state_.string());
    return test::RunVantorctl(std::move(args));
  }
  static json Parse(const std::string& text) { return text.empty() ? json() : json::parse(text); }
  test::TempPath state_{"help-backup.bin"};
  test::TempPath image_{"help-backup.json"};
};

// diff --exit-code for scripts; the same answers as JSON, the JSON after the command too.
TEST_F(BackupJsonTest, DiffRestoreAndHistoryAsScriptsReadThem) {
  const Outcome backup = Run({"--json", "eeprom", "backup", image_.string()});
  ASSERT_EQ(backup.status, kExitOk) << backup.err;
  EXPECT_EQ(Parse(backup.out)["file"], image_.string());

  EXPECT_EQ(Run({"eeprom", "diff", image_.string(), "--exit-code"}).status, kExitOk);
  ASSERT_EQ(Run({"eeprom", "write", "5D", "0E"}).status, kExitOk);
  const Outcome differs = Run({"eeprom", "diff", image_.string(), "--exit-code"});
  EXPECT_EQ(differs.status, kExitFailure);
  EXPECT_TRUE(Has(differs.out, "1 byte differs.")) << differs.out;
  EXPECT_EQ(Run({"eeprom", "diff", image_.string()}).status, kExitOk);

  const json diff = Parse(Run({"eeprom", "diff", image_.string(), "--json"}).out);
  EXPECT_EQ(diff["same"], false);
  ASSERT_EQ(diff["differences"].size(), 1u);
  EXPECT_EQ(diff["differences"][0]["address"]["hex"], "5D");
  EXPECT_EQ(diff["differences"][0]["printer"]["hex"], "0E");
  EXPECT_EQ(diff["words"], json::array());  // the table is for people

  // A script must confirm; one byte is one byte.
  const Outcome unconfirmed = Run({"--json", "eeprom", "restore", image_.string()});
  EXPECT_EQ(unconfirmed.status, kExitCancelled);
  const Outcome restore = Run({"eeprom", "restore", image_.string(), "-y", "--json"});
  ASSERT_EQ(restore.status, kExitOk) << restore.err;
  const json restored = Parse(restore.out);
  EXPECT_EQ(restored["written"], json::array({json{{"value", 0x5D}, {"hex", "5D"}}}));
  EXPECT_TRUE(restored["not_verified"].is_null());
  EXPECT_EQ(restored["not_written"], json::array());
  ASSERT_EQ(Run({"eeprom", "write", "5D", "0F"}).status, kExitOk);
  EXPECT_TRUE(Has(Run({"eeprom", "restore", image_.string(), "--yes"}).err,
                  "Write 1 byte from " + image_.string() + "?"));

  const Outcome history = Run({"history", "--json"});
  ASSERT_EQ(history.status, kExitOk) << history.err;
  const json sessions = Parse(history.out)["sessions"];
  ASSERT_FALSE(sessions.empty());
  EXPECT_EQ(sessions.back()["changes"][0]["address"]["hex"], "5D");  // the last restore
}

TEST(JsonParseErrorTest, ParseFaultsAreObjectsWhereverJsonStands) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--json", "--model", "Q50", "status"},
        {"--model", "Q50", "status", "--json"},
        {"--json", "eeprom"}}) {
    const Outcome o = test::RunVantorctl(args);
    EXPECT_EQ(o.status, kExitUsage);
    EXPECT_EQ(o.out, "");
    const json err = json::parse(o.err);
    EXPECT_EQ(err["class"], "usage") << o.err;
    EXPECT_TRUE(StartsWith(err["words"][0].get<std::string>(), "vantorctl: ")) << o.err;
  }
}

// After a link that fails on a real port, the next step is said as after "Cannot open port.".
TEST(LinkWordsTest, ALinkFailureSaysWhatToDoNext) {
  test::TempPath notAPrinter{"help-device.bin"};
  { std::ofstream(notAPrinter.string()) << ""; }
  const Outcome o = test::RunVantorctl({"--device", "TVUSB1=" + notAPrinter.string(), "status"});
  EXPECT_EQ(o.status, kExitFailure);
  EXPECT_TRUE(Has(o.err, "Check the cable and the power, then run 'vantorctl ports'.\n")) << o.err;
}

#ifndef _WIN32
// The completion script in bash: COMP_WORDS as bash splits the line (it breaks at '=').
class CompletionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const Outcome o = test::RunVantorctl({"completion", "bash"});
    ASSERT_EQ(o.status, kExitOk);
    std::ofstream(script_.string()) << o.out;
  }
  std::string Complete(const std::string& words, const std::string& dir = ".") {
    const std::string command = "cd '" + dir + "' && bash -c 'source \"" + script_.string() +
                                "\"; COMP_WORDS=(" + words +
                                "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _vantorctl; "
                                "echo \"${COMPREPLY[*]}\"' 2>&1";
    std::string reply;
    if (FILE* pipe = popen(command.c_str(), "r")) {
      char buffer[256];
      while (fgets(buffer, sizeof buffer, pipe)) reply += buffer;
      pclose(pipe);
    }
    if (!reply.empty() && reply.back() == '\n') reply.pop_back();
    return reply;
  }
  test::TempPath script_{"completion.bash"};
};

TEST_F(CompletionTest, ValuesWhereValuesAreExpected) {
  test::TempPath dir{"completion-files"};
  std::filesystem::create_directories(dir.path());
  std::ofstream((dir / "q40.json").string()) << "{}";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"vantorctl \"\"", "status eeprom protection-counter"},  // the commands, in their order
      {"vantorctl --model \"\"", "Q40 Q30"},
      {"vantorctl --model = \"\"", "Q40 Q30"},
      {"vantorctl --model =", "Q40 Q30"},
      {"vantorctl --model Q30 ee", "eeprom"},
      {"vantorctl status --port TV", "TVUSB1 TVUSB2 TVUSB3"},
      {"vantorctl --color \"\"", "auto always never"},
      {"vantorctl --device TV", "TVUSB1= TVUSB2= TVUSB3="},
      {"vantorctl serve-virtual --device q4", "q40.json"},
      {"vantorctl cr-dispersion --replaced main-board,cr-",
       "main-board,cr-motor main-board,cr-guide-shaft"},
      {"vantorctl bid set vsd1-", "vsd1-black= vsd1-color="},
      {"vantorctl eeprom restore x --only top", "top-margin"},
      {"vantorctl eeprom \"\"", "read write init backup diff restore"},
      {"vantorctl eeprom diff q4", "q40.json"},
      {"vantorctl --trace q4", "q40.json"},
      {"vantorctl --virtual = q4", "q40.json"},
      {"vantorctl eeprom diff --e", "--exit-code"},
      {"vantorctl eeprom read --wait-limit \"\"", ""},
  };
  for (const auto& [words, expected] : cases) {
    const std::string reply = Complete(words, dir.string());
    if (words == "vantorctl \"\"") {
      EXPECT_TRUE(StartsWith(reply, expected)) << reply;
      EXPECT_FALSE(Has(reply, "completion")) << "the hidden command is offered";
    } else {
      EXPECT_EQ(reply, expected) << words;
    }
  }
}
#endif

}  // namespace
}  // namespace vantor::cli
