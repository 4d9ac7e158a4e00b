// vantorctl --pages and render, in-process against the virtual printer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "tests/support/CliRunner.h"
#include "tests/support/Environment.h"
#include "tests/support/TempPath.h"

namespace vantor::cli {

namespace {

namespace fs = std::filesystem;

using Outcome = test::CliOutcome;

Outcome Vantorctl(std::vector<std::string> args) {
  return test::RunVantorctl(args);
}

class RenderCommands : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(root.path()); }
  test::TempPath root{"render"};
};

TEST_F(RenderCommands, CheckPatternLeavesFourPagesAndItsCaptureRendersTheSame) {
  const fs::path live = root / "live";
  const fs::path capture = root / "job.bin";
  const test::CliOutcome o = Vantorctl(
      {"--virtual", "--pages", live.string(), "--capture", capture.string(), "check-pattern"});
  ASSERT_EQ(o.status, kExitOk) << o.err;
  for (const char* name : {"page-001.png", "page-002.png", "page-003.png", "page-004.png"}) {
    EXPECT_TRUE(fs::exists(live / name)) << name;
  }
  EXPECT_FALSE(fs::exists(live / "page-005.png"));

  // A fresh printer of the model reads the recording as the live one did.
  const fs::path offline = root / "offline";
  const test::CliOutcome r = Vantorctl({"render", capture.string(), "--pages", offline.string()});
  ASSERT_EQ(r.status, kExitOk) << r.err;
  for (const char* name : {"page-001.png", "page-004.png"}) {
    EXPECT_EQ(test::FileContents(offline / name), test::FileContents(live / name)) << name;
  }
}

TEST_F(RenderCommands, PrintCommandsInARowKeepEveryPageAndNameTheirFiles) {
  const fs::path dir = root / "pages";
  fs::create_directories(dir);
  // A page from an earlier day, numbered beyond three digits, and names that are not pages.
  std::ofstream(dir / "page-1000.png") << "old";
  std::ofstream(dir / "page-7.png.bak") << "x";
  std::ofstream(dir / "page-x.png") << "x";

  const test::CliOutcome first = Vantorctl({"--virtual", "--pages", dir.string(), "check-pattern"});
  ASSERT_EQ(first.status, kExitOk) << first.err;
  EXPECT_NE(first.out.find("4 pages written to " + dir.string() +
                           ": page-1001.png page-1002.png page-1003.png page-1004.png\n"),
            std::string::npos)
      << first.out;
  const test::CliOutcome second = Vantorctl({"--virtual", "--pages", dir.string(), "bid", "print"});
  ASSERT_EQ(second.status, kExitOk) << second.err;
  EXPECT_NE(second.out.find(" written to " + dir.string() + ": page-1005.png"), std::string::npos)
      << second.out;
  EXPECT_EQ(test::FileContents(dir / "page-1000.png"), "old");
  EXPECT_TRUE(fs::exists(dir / "page-1004.png"));

  // A command that prints nothing says nothing about pages.
  const test::CliOutcome none = Vantorctl({"--virtual", "--pages", dir.string(), "status"});
  EXPECT_EQ(none.out.find("written"), std::string::npos) << none.out;
}

TEST_F(RenderCommands, PagesNeedTheVirtualPrinterAndRenderNeedsPages) {
  EXPECT_EQ(Vantorctl({"--pages", (root / "p").string(), "check-pattern"}).status, kExitUsage);
  EXPECT_EQ(Vantorctl({"render", (root / "none.bin").string()}).status, kExitUsage);
  EXPECT_EQ(
      Vantorctl({"render", (root / "none.bin").string(), "--pages", (root / "p").string()}).status,
      kExitFailure);
}

TEST_F(RenderCommands, EndlessInputIsRefused) {
  if (test::OnWindows()) GTEST_SKIP() << "Windows has no endless file like /dev/zero";
  const Outcome endless = Vantorctl({"render", "/dev/zero", "--pages", (root / "p").string()});
  EXPECT_EQ(endless.status, kExitFailure);
  EXPECT_NE(endless.err.find("/dev/zero is larger than"), std::string::npos) << endless.err;
}

TEST_F(RenderCommands, NonsenseTimeScalesAreRefused) {
  for (const char* scale : {"nan", "inf", "-1", "0"}) {
    const Outcome o =
        Vantorctl({"serve-virtual", "--link", (root / "l").string(), "--time-scale", scale});
    EXPECT_EQ(o.status, kExitUsage) << scale;
    EXPECT_FALSE(fs::exists(fs::symlink_status(root / "l"))) << scale;
  }
}

TEST_F(RenderCommands, OutputThatCannotBeWrittenIsAFailureWithWords) {
  if (test::OnWindows()) GTEST_SKIP() << "Windows has no always-full file like /dev/full";
  const Outcome capture = Vantorctl({"--virtual", "--capture", "/dev/full", "pf", "print"});
  EXPECT_EQ(capture.status, kExitFailure);
  EXPECT_NE(capture.err.find("cannot write /dev/full"), std::string::npos) << capture.err;
  const Outcome trace = Vantorctl({"--virtual", "--trace", "/dev/full", "pf"});
  EXPECT_EQ(trace.status, kExitFailure);
  EXPECT_NE(trace.err.find("cannot write /dev/full"), std::string::npos) << trace.err;
}

}  // namespace
}  // namespace vantor::cli
