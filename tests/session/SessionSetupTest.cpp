// The session set-up both programs share: what it builds, and which step a bad option stops.
#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include "session/SessionSetup.h"
#include "sim/VirtualPrinter.h"
#include "tests/support/TempPath.h"

namespace vantor {
namespace {

std::string StateFile(const test::TempPath& dir, const char* name, std::size_t size,
                      std::uint8_t model) {
  std::array<char, 300> image{};
  if (size > 0xB0) image[0xB0] = char(model);
  const std::string path = (dir / name).string();
  std::ofstream(path, std::ios::binary).write(image.data(), std::streamsize(size));
  return path;
}

class SessionSetupTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir.path()); }

  // The step that failed and its words; SetupStep::StateFile with "ok" when nothing did.
  SetupFailure Build(const SessionOptions& options) {
    SetupFailure failure{SetupStep::StateFile, "ok"};
    setup.Build(options, failure);
    return failure;
  }

  test::TempPath dir{"session"};
  VirtualClock clock;
  SessionSetup setup{clock};
};

TEST(ModelFromStateFile, OnlyAWholeImageNamingTheQ30GivesTheQ30) {
  test::TempPath dir("images");
  std::filesystem::create_directories(dir.path());
  EXPECT_EQ(ModelFromStateFile(StateFile(dir, "q30", 256, 0x95)), Model::Q30);
  EXPECT_EQ(ModelFromStateFile(StateFile(dir, "q40", 256, 0x94)), Model::Q40);
  EXPECT_EQ(ModelFromStateFile(StateFile(dir, "short", 200, 0x95)), Model::Q40);
  EXPECT_EQ(ModelFromStateFile(StateFile(dir, "long", 257, 0x95)), Model::Q40);
  EXPECT_EQ(ModelFromStateFile((dir / "missing").string()), Model::Q40);
}

TEST_F(SessionSetupTest, VirtualPrinterTakesItsModelFromTheStateFileAGivenOneOnlyForANewFile) {
  SessionOptions options;
  options.virtualPrinter = true;
  options.stateFile = StateFile(dir, "q30.bin", 256, 0x95);
  ASSERT_EQ(Build(options).message, "ok");
  ASSERT_NE(setup.Printer(), nullptr);
  EXPECT_EQ(setup.Printer()->GetModel(), Model::Q30);
  EXPECT_EQ(setup.Printer()->Eeprom(0xB0), 0x95);  // the file's image is the printer's
  for (std::string_view name : kPortNames) EXPECT_TRUE(setup.Ports().Has(name)) << name;

  VirtualClock otherClock;
  SessionSetup given(otherClock);
  options.stateFile = StateFile(dir, "also-q30.bin", 256, 0x95);
  options.model = Model::Q40;
  SetupFailure failure;
  ASSERT_TRUE(given.Build(options, failure)) << failure.message;
  EXPECT_EQ(given.Printer()->GetModel(), Model::Q30);

  SessionSetup fresh(otherClock);
  options.stateFile = (dir / "new.bin").string();
  options.model = Model::Q30;
  ASSERT_TRUE(fresh.Build(options, failure)) << failure.message;
  EXPECT_EQ(fresh.Printer()->GetModel(), Model::Q30);
}

TEST_F(SessionSetupTest, RealPortsHaveNoPrinterAndADeviceOverridesOneName) {
  SessionOptions options;
  options.devices = {"LPT2=/dev/pts/9"};
  ASSERT_EQ(Build(options).message, "ok");
  EXPECT_EQ(setup.Printer(), nullptr);
  EXPECT_EQ(setup.Trace(), nullptr);
  EXPECT_NE(setup.Ports().Describe("LPT2").find("/dev/pts/9"), std::string::npos);
  EXPECT_EQ(setup.Ports().Describe("LPT1").find("/dev/pts/9"), std::string::npos);
}

TEST_F(SessionSetupTest, EachBadOptionNamesItsStepAndWhatIsWrong) {
  SessionOptions bare;
  bare.devices = {"LPT1"};
  SetupFailure f = Build(bare);
  EXPECT_EQ(f.step, SetupStep::Device);
  EXPECT_EQ(f.message, "--device LPT1: expected NAME=PATH");

  SessionOptions unknown;
  unknown.devices = {"LPT9=/dev/null"};
  f = SessionSetupTest::Build(unknown);
  EXPECT_EQ(f.step, SetupStep::Device);
  EXPECT_EQ(f.message.rfind("--device LPT9=/dev/null: ", 0), 0u) << f.message;

  const std::string nowhere = (dir / "no-such-dir" / "file").string();
  SessionOptions trace;
  trace.traceFile = nowhere;
  VirtualClock c1;
  SessionSetup s1(c1);
  ASSERT_FALSE(s1.Build(trace, f));
  EXPECT_EQ(f.step, SetupStep::Trace);
  EXPECT_EQ(f.message, "cannot write " + nowhere);

  SessionOptions capture;
  capture.virtualPrinter = true;
  capture.capture = nowhere;
  SessionSetup s2(c1);
  ASSERT_FALSE(s2.Build(capture, f));
  EXPECT_EQ(f.step, SetupStep::Capture);
  EXPECT_EQ(f.message, "cannot write " + nowhere);

  // A file where the pages folder should be.
  SessionOptions pages;
  pages.virtualPrinter = true;
  pages.pagesDir = StateFile(dir, "not-a-folder", 1, 0);
  SessionSetup s3(c1);
  ASSERT_FALSE(s3.Build(pages, f));
  EXPECT_EQ(f.step, SetupStep::Pages);
  EXPECT_FALSE(f.message.empty());
}

TEST_F(SessionSetupTest, ABrokenStateFileStopsBeforeThePortsAreFilled) {
  SessionOptions options;
  options.virtualPrinter = true;
  options.stateFile = StateFile(dir, "short.bin", 10, 0);
  options.devices = {"LPT1"};  // would fail too, but later
  const SetupFailure f = Build(options);
  EXPECT_EQ(f.step, SetupStep::StateFile);
  EXPECT_FALSE(f.message.empty());
  EXPECT_FALSE(setup.Ports().Has("TVUSB1"));
}

}  // namespace
}  // namespace vantor
