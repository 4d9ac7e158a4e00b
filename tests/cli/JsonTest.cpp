// vantorctl --json as a script reads it: one object on standard output with the values, a
// failure as one object on standard error, on the in-process virtual printer.
#include <gtest/gtest.h>

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

struct JsonOutcome {
  int status;
  json out;  // null when standard output was empty
  json err;
};

class JsonTest : public ::testing::Test {
 protected:
  // Each stream holds at most one object, and nothing else.
  JsonOutcome Run(std::vector<std::string> args) {
    args.insert(args.begin(), {"--json", "--virtual=" + state_.string()});
    return Parse(test::RunVantorctl(std::move(args)));
  }
  static JsonOutcome Parse(const test::CliOutcome& o) {
    const auto parse = [](const std::string& text) {
      return text.empty() ? json() : json::parse(text);
    };
    return {o.status, parse(o.out), parse(o.err)};
  }
  void Write(const std::string& address, const std::string& data) {
    const auto o =
        test::RunVantorctl({"--virtual=" + state_.string(), "eeprom", "write", address, data});
    ASSERT_EQ(o.status, kExitOk) << o.err;
  }
  test::TempPath state_{"json.bin"};
};

TEST_F(JsonTest, StatusGivesCodeAndWordsAndNoErrorObject) {
  const JsonOutcome o = Run({"status"});
  EXPECT_EQ(o.status, kExitOk);
  EXPECT_EQ(o.out["command"], "status");
  EXPECT_EQ(o.out["exit"], 0);
  EXPECT_EQ(o.out["class"], "done");
  EXPECT_EQ(o.out["status"]["value"], 0xEFFB);
  EXPECT_EQ(o.out["status"]["hex"], "EFFB");
  EXPECT_EQ(o.out["status_words"], "Ready to print.");
  EXPECT_EQ(o.out["printer_error"], false);
  EXPECT_TRUE(o.err.is_null());
}

// Scripts put the global options after the command as often as before it.
TEST_F(JsonTest, GlobalOptionsMayFollowTheCommand) {
  const JsonOutcome o =
      Parse(test::RunVantorctl({"eeprom", "read", "79", "--json", "--virtual=" + state_.string()}));
  EXPECT_EQ(o.status, kExitOk);
  EXPECT_EQ(o.out["command"], "eeprom read");
  EXPECT_TRUE(o.err.is_null());
  // A word no command knows is still refused.
  const auto wrong = test::RunVantorctl({"status", "--jsno", "--virtual=" + state_.string()});
  EXPECT_EQ(wrong.status, kExitUsage);
  EXPECT_NE(wrong.err.find("unknown option '--jsno'; did you mean '--json'?"), std::string::npos)
      << wrong.err;
}

TEST_F(JsonTest, CountersAreNumbersFromTheirBytes) {
  // Protection counter: bytes 02..03 big-endian; page and pass counters: four signed bytes.
  Write("02", "0F");
  Write("03", "61");
  for (const auto& [a, d] : {std::pair{"20", "00"},
                             {"21", "01"},
                             {"22", "02"},
                             {"23", "03"},
                             {"24", "FF"},
                             {"25", "FF"},
                             {"26", "FF"},
                             {"27", "FE"}})
    Write(a, d);
  EXPECT_EQ(Run({"protection-counter"}).out["protection_counter"], 3937);
  EXPECT_EQ(Run({"page-counter"}).out["page_counter"], 0x010203);
  const JsonOutcome pass = Run({"pass-counter"});
  EXPECT_EQ(pass.status, kExitOk);
  EXPECT_EQ(pass.out["pass_counter"], -2);
}

TEST_F(JsonTest, EepromReadGivesEachByteAsNumberAndHex) {
  Write("10", "5D");
  Write("11", "0E");
  const JsonOutcome range = Run({"eeprom", "read", "10", "11"});
  ASSERT_EQ(range.status, kExitOk);
  const json expected =
      json::parse(R"([{"value":93,"hex":"5D","address":{"value":16,"hex":"10"}},)"
                  R"({"value":14,"hex":"0E","address":{"value":17,"hex":"11"}}])");
  EXPECT_EQ(range.out["bytes"], expected);
  // The table for people does not leak into the words.
  EXPECT_EQ(range.out["words"], json::array());
  EXPECT_EQ(Run({"eeprom", "read", "10"}).out["bytes"].size(), 1u);
}

TEST_F(JsonTest, IdsAndAdjustmentValues) {
  ASSERT_EQ(Run({"head-id", "set", "21a2b3c4d5e12"}).out["head_id"], "21A2B3C4D5E12");
  EXPECT_EQ(Run({"head-id"}).out["head_id"], "21A2B3C4D5E12");
  ASSERT_EQ(Run({"usb-id", "set", "Q30ABC0001AA99T010"}).out["usb_id"], "Q30ABC0001AA99T010");
  EXPECT_EQ(Run({"usb-id"}).out["usb_id"], "Q30ABC0001AA99T010");

  // The PF byte is signed: FD is -3.
  Write("7D", "FD");
  EXPECT_EQ(Run({"pf"}).out["pf"], -3);

  ASSERT_EQ(Run({"bid", "set", "vsd1-black=3", "eco-color=-2"}).status, kExitOk);
  const json bid = Run({"bid"}).out["bid"];
  EXPECT_EQ(bid.size(), 8u);
  EXPECT_EQ(bid["vsd1-black"], 3);
  EXPECT_EQ(bid["eco-color"], -2);

  const JsonOutcome top = Run({"top-margin"});
  ASSERT_EQ(top.status, kExitOk);
  EXPECT_TRUE(top.out["top_margin"]["value"].is_number());
  for (const json& entry : top.out["entries"]) EXPECT_TRUE(entry.is_number_integer());
}

TEST_F(JsonTest, CrDispersionReportsTheValueWritten) {
  // Without the guide shaft the fixed value 25 is registered.
  const JsonOutcome o = Run({"cr-dispersion", "--replaced", "main-board", "--yes"});
  ASSERT_EQ(o.status, kExitOk) << o.err;
  EXPECT_EQ(o.out["cr_dispersion"], json::parse(R"({"value":25,"hex":"19","signed":25})"));
  EXPECT_EQ(o.out["measured"], false);
  ASSERT_EQ(o.out["operations"].size(), 1u);
  EXPECT_EQ(o.out["operations"][0]["changes"][0]["address"]["value"], 121);

  // Nothing to do: no value, and no question asked of a script.
  const JsonOutcome none = Run({"cr-dispersion"});
  EXPECT_EQ(none.status, kExitOk);
  EXPECT_FALSE(none.out.contains("cr_dispersion"));
}

TEST_F(JsonTest, FailuresAreObjectsOnStandardErrorWithTheirClass) {
  const JsonOutcome input = Run({"eeprom", "read", "0G"});
  EXPECT_EQ(input.status, kExitUsage);
  EXPECT_EQ(input.err["exit"], kExitUsage);
  EXPECT_EQ(input.err["class"], "usage");
  EXPECT_TRUE(input.err["result"].is_null());
  EXPECT_EQ(input.err["words"], json::array({"Input data is wrong."}));

  const JsonOutcome headId = Run({"head-id", "set", "21A2B3C4D5E13"});
  EXPECT_EQ(headId.status, kExitUsage);
  EXPECT_EQ(headId.err["result"]["hex"], "5000");
  EXPECT_EQ(headId.err["words"], json::array({"Check ID is invalid."}));
  EXPECT_FALSE(headId.out.contains("head_id"));

  // A confirmation a script did not answer is a cancel; the question is in the words.
  const JsonOutcome unanswered = Run({"cr-dispersion", "--replaced", "ps-board"});
  EXPECT_EQ(unanswered.status, kExitCancelled);
  EXPECT_EQ(unanswered.err["class"], "cancelled");

  const JsonOutcome typo = Run({"stauts"});
  EXPECT_EQ(typo.status, kExitUsage);
  EXPECT_TRUE(typo.out.is_null());
  EXPECT_EQ(typo.err["words"],
            json::array({"vantorctl: unknown command 'stauts'; did you mean 'status'?"}));

  const JsonOutcome prompts = Run({"exchange"});
  EXPECT_EQ(prompts.status, kExitUsage);
  EXPECT_EQ(prompts.err["words"], json::array({"vantorctl exchange has no --json"}));
}

TEST(JsonLink, PortThatDoesNotAnswerIsAFailure) {
  test::TempPath notAPrinter{"json-device.bin"};
  { std::ofstream(notAPrinter.string()) << ""; }
  const auto o =
      test::RunVantorctl({"--json", "--device", "TVUSB1=" + notAPrinter.string(), "page-counter"});
  EXPECT_EQ(o.status, kExitFailure) << o.err;
  const json err = json::parse(o.err);
  EXPECT_EQ(err["class"], "failure");
  EXPECT_FALSE(err["words"].empty());
}

TEST(JsonPages, PrintCommandsListTheirPageFiles) {
  test::TempPath state{"json-pages.bin"};
  test::TempPath pages{"json-pages"};
  const auto o = test::RunVantorctl(
      {"--json", "--virtual=" + state.string(), "--pages", pages.string(), "pf", "print"});
  ASSERT_EQ(o.status, kExitOk) << o.err;
  const json files = json::parse(o.out)["pages"];
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0], (std::filesystem::path(pages.string()) / "page-001.png").string());
  EXPECT_TRUE(std::filesystem::exists(files[0].get<std::string>()));
}

TEST(JsonPages, RenderCountsThePagesOfARecordedJob) {
  test::TempPath capture{"json-render.bin"};
  test::TempPath pages{"json-render"};
  ASSERT_EQ(test::RunVantorctl({"--virtual", "--capture", capture.string(), "pf", "print"}).status,
            kExitOk);
  const auto o =
      test::RunVantorctl({"--json", "render", capture.string(), "--pages", pages.string()});
  ASSERT_EQ(o.status, kExitOk) << o.err;
  const json object = json::parse(o.out);
  EXPECT_EQ(object["pages_written"], 1);
  EXPECT_EQ(object["directory"], pages.string());
  const auto missing = test::RunVantorctl({"--json", "render", capture.string()});
  EXPECT_EQ(missing.status, kExitUsage);
  EXPECT_EQ(json::parse(missing.err)["class"], "usage");
}

}  // namespace
}  // namespace vantor::cli
