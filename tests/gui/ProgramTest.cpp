#include <gtest/gtest.h>

#include "app/Options.h"

namespace vantor {
namespace {

ProgramOptions Parse(const QStringList& args, bool expectOk = true) {
  ProgramOptions options;
  QString error;
  EXPECT_EQ(ParseOptions(args, options, error), expectOk) << error.toStdString();
  return options;
}

TEST(ProgramOptions, AcceptsEachFormOfTheOptions) {
  ProgramOptions o = Parse({"--virtual-printer", "--device", "LPT1=/dev/pts/7", "--trace=t.txt"});
  EXPECT_TRUE(o.virtualPrinter);
  EXPECT_EQ(o.stateFile, "");
  ASSERT_EQ(o.devices.size(), 1u);
  EXPECT_EQ(o.devices[0], (std::pair<std::string, std::string>{"LPT1", "/dev/pts/7"}));
  EXPECT_EQ(o.traceFile, "t.txt");

  o = Parse({"--virtual-printer=/tmp/q40.eeprom", "--device=TVUSB2=/dev/usb/lp1", "--trace", "x"});
  EXPECT_EQ(o.stateFile, "/tmp/q40.eeprom");
  EXPECT_EQ(o.devices[0].second, "/dev/usb/lp1");
  EXPECT_EQ(o.traceFile, "x");
  EXPECT_FALSE(Parse({}).virtualPrinter);
  // vantorctl's name for it, with a file and with pages.
  o = Parse({"--virtual=q30.bin", "--pages", "out"});
  EXPECT_TRUE(o.virtualPrinter);
  EXPECT_EQ(o.stateFile, "q30.bin");
}

TEST(ProgramOptions, RejectsIncompleteOrUnknownOptions) {
  Parse({"--device"}, false);
  Parse({"--device", "LPT1"}, false);
  Parse({"--device", "=/dev/x"}, false);
  Parse({"--device", "LPT1="}, false);
  Parse({"--trace"}, false);
  Parse({"--virtual-printer="}, false);
  Parse({"--virtual="}, false);
  Parse({"--pages", "out"}, false);
  Parse({"LPT1"}, false);
}

}  // namespace
}  // namespace vantor

namespace vantor {
namespace {

TEST(ProgramOptions, VersionAndAFileAfterASpaceGetsTheEqualsHint) {
  EXPECT_TRUE(Parse({"--version"}).version);
  ProgramOptions options;
  QString error;
  EXPECT_FALSE(ParseOptions({"--virtual-printer", "q40.bin"}, options, error));
  EXPECT_EQ(error.toStdString(),
            "'q40.bin' after --virtual-printer: give the file as --virtual-printer=q40.bin");
}

TEST(ProgramOptions, NoDisplayIsASentenceUnlessOneIsNamedOrAPlatformChosen) {
  EXPECT_NE(NoDisplaySentence(nullptr, nullptr, nullptr), "");
  EXPECT_NE(NoDisplaySentence("", "", ""), "");
  EXPECT_EQ(NoDisplaySentence(":0", nullptr, nullptr), "");
  EXPECT_EQ(NoDisplaySentence(nullptr, "wayland-0", nullptr), "");
  EXPECT_EQ(NoDisplaySentence(nullptr, nullptr, "offscreen"), "");
}

}  // namespace
}  // namespace vantor
