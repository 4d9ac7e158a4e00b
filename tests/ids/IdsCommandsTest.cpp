#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "ids/Malusbid.h"
#include "link/FactoryCommands.h"
#include "sim/VirtualPrinter.h"
#include "tests/support/CliRunner.h"
#include "tests/support/TempPath.h"

namespace vantor::cli {
namespace {

using Outcome = test::CliOutcome;

class IdsCommandsTest : public ::testing::Test {
 protected:
  Outcome Run(std::vector<std::string> args) {
    args.insert(args.begin(), "--virtual=" + state_.string());
    return test::RunVantorctl(std::move(args));
  }

  test::TempPath state_{"ids.bin"};
};

TEST_F(IdsCommandsTest, RegistersATypedHeadIdAndReadsItBack) {
  const Outcome set = Run({"head-id", "set", "21a2b3c4d5e12"});
  EXPECT_EQ(set.status, kExitOk) << set.err;
  EXPECT_EQ(set.out, "13 digits that you typed  \"21A2B3C4D5E12\"  were correctly registered.\n");

  const Outcome read = Run({"head-id"});
  EXPECT_EQ(read.status, kExitOk) << read.err;
  EXPECT_EQ(read.out, "Head ID = 21A2B3C4D5E12\n");
  EXPECT_EQ(Run({"eeprom", "read", "AF"}).out, "02\n");
  EXPECT_EQ(Run({"eeprom", "read", "AE"}).out, "01\n");
}

TEST_F(IdsCommandsTest, AFaultyHeadIdIsToldAndWritesNothing) {
  ASSERT_EQ(Run({"head-id", "set", "21A2B3C4D5E12"}).status, kExitOk);
  const struct {
    const char* text;
    const char* message;
  } faults[] = {
      {"21A2B3C4D5E13", "Check ID is invalid."},
      {"41A2B3C4D5E12", "First digit is wrong."},
      {"21A2B3C4D5E1", "The number of digit is wrong."},
      {"21A2B3C4D5E123", "The number of digit is wrong."},
      {"0665656565652", "Second & Third digit is wrong."},
  };
  for (const auto& f : faults) {
    const Outcome bad = Run({"head-id", "set", f.text});
    EXPECT_EQ(bad.status, kExitUsage) << f.text;
    EXPECT_NE(bad.err.find(f.message), std::string::npos) << f.text << ": " << bad.err;
    EXPECT_EQ(bad.out, "") << f.text;
    EXPECT_EQ(Run({"head-id"}).out, "Head ID = 21A2B3C4D5E12\n") << f.text;
  }
}

TEST_F(IdsCommandsTest, RegistersAnOriginalUsbIdAndShowsWhatThePrinterHolds) {
  const Outcome set = Run({"usb-id", "set", "q30abc0001aa99t010"});
  EXPECT_EQ(set.status, kExitOk) << set.err;
  EXPECT_EQ(set.out,
            "As USB ID, \"Q30ABC0001AA99T010\" has been registered in EEPROM.\n"
            "USB ID = Q30ABC0001AA99T010\n");
  EXPECT_EQ(Run({"usb-id"}).out, "USB ID = Q30ABC0001AA99T010\n");
}

TEST_F(IdsCommandsTest, ASerialNumberGetsTheDateCodeOfThisPc) {
  SystemClock clock;
  const auto before = usbid::DateCode(clock.LocalNow());
  const Outcome set = Run({"usb-id", "serial", "a12345678z"});
  const auto after = usbid::DateCode(clock.LocalNow());
  ASSERT_TRUE(before && after);
  ASSERT_EQ(set.status, kExitOk) << set.err;

  const std::string prefix = "As USB ID, \"A12345678Z";
  const std::string suffix = "\" has been registered in EEPROM.\n";
  ASSERT_EQ(set.out.size(), prefix.size() + 8 + suffix.size()) << set.out;
  EXPECT_EQ(set.out.substr(0, prefix.size()), prefix);
  EXPECT_EQ(set.out.substr(prefix.size() + 8), suffix);
  const std::string code = set.out.substr(prefix.size(), 8);
  // The virtual printer runs on virtual time started from this PC's clock.
  EXPECT_TRUE(code.substr(0, 4) == before->substr(0, 4) || code.substr(0, 4) == after->substr(0, 4))
      << code << " " << *before << " " << *after;
  EXPECT_EQ(Run({"usb-id"}).out, "USB ID = A12345678Z" + code + "\n");
}

TEST_F(IdsCommandsTest, ASerialWrittenBeforeThePrinterProvesNotReadyIsNamed) {
  // Transport liquid left in: the printer takes the writes but never becomes ready.
  auto image = sim::VirtualPrinter::FactoryImage(Model::Q40);
  image[eeprom::kExchangeState] = 0x10;
  std::ofstream(state_.path(), std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));

  const Outcome set = Run({"usb-id", "serial", "A12345678Z"});
  EXPECT_EQ(set.status, kExitFailure);
  // The failure's words on standard error; what the printer now holds, after them, on standard
  // output like every line that is no failure.
  EXPECT_EQ(set.err, "Before initial fill up.\n");
  const std::string told = "Written to EEPROM as USB ID before this failure: \"A12345678Z";
  ASSERT_EQ(set.out.substr(0, told.size()), told) << set.out;
  const std::string code = set.out.substr(told.size(), 8);
  EXPECT_EQ(set.out.substr(told.size() + 8), "\"\n");
  EXPECT_EQ(Run({"usb-id"}).out, "USB ID = A12345678Z" + code + "\n");
}

TEST_F(IdsCommandsTest, AFaultyUsbIdIsToldAndWritesNothing) {
  ASSERT_EQ(Run({"usb-id", "set", "Q30ABC0001AA99T010"}).status, kExitOk);
  const struct {
    std::vector<std::string> args;
    const char* message;
  } faults[] = {
      {{"usb-id", "set", "Q30ABC0001AA99T01"}, "The Number of digit is wrong."},
      {{"usb-id", "set", "Q30ABC0001-A99T010"}, "Parameter is only number & alphabet."},
      {{"usb-id", "serial", "A12345678"}, "The Number of digit is wrong."},
      {{"usb-id", "serial", "A12345678ZZ"}, "The Number of digit is wrong."},
      {{"usb-id", "serial", "A1234-678Z"}, "Parameter is only number & alphabet."},
  };
  for (const auto& f : faults) {
    const Outcome bad = Run(f.args);
    EXPECT_EQ(bad.status, kExitUsage) << f.args.back();
    EXPECT_NE(bad.err.find(f.message), std::string::npos) << f.args.back() << ": " << bad.err;
    EXPECT_EQ(bad.out, "") << f.args.back();
    EXPECT_EQ(Run({"usb-id"}).out, "USB ID = Q30ABC0001AA99T010\n") << f.args.back();
  }
}

}  // namespace
}  // namespace vantor::cli
