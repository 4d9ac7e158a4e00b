// The twin's mechanical errors from text: the parser's words, the mechanism they set, and their
// life beside the state file and on the console.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/FactoryCommands.h"
#include "sim/Misalignment.h"
#include "sim/PtyServer.h"
#include "tests/sim/SimWire.h"

namespace vantor::sim::test {
namespace {

namespace fs = std::filesystem;

TEST(Misalignment, TextIsParsedOrRefusedWithWords) {
  const struct {
    const char* text;
    const char* words;  // empty: accepted
    const char* canonical;
  } cases[] = {
      {"", "", ""},
      {"bid=vsd1-black:+18,eco-color:-3", "", "bid=vsd1-black:+18,eco-color:-3"},
      {" pf = -2 ; tilt=1;top=+4;", "", "pf=-2;tilt=+1;top=+4"},
      {"bid=vsd3-color:19;pf=4", "", "bid=vsd3-color:+19;pf=+4"},
      {"bid=vsd1-black:+41", "from -40 to +40", ""},
      {"bid=vsd4-black:1", "unknown row \"vsd4-black\"", ""},
      {"bid=vsd1-black", "unknown row", ""},
      {"bid=", "ROW:STEPS", ""},
      {"pf=two", "misalignment pf: expected a whole number", ""},
      {"pf=1.5", "misalignment pf", ""},
      {"tilt=11", "from -10 to +10", ""},
      {"speed=3", "unknown part \"speed\"", ""},
  };
  for (const auto& c : cases) {
    Misalignment m;
    std::string why;
    const bool ok = ParseMisalignment(c.text, m, why);
    EXPECT_EQ(ok, *c.words == '\0') << c.text << ": " << why;
    if (ok) {
      EXPECT_EQ(FormatMisalignment(m), c.canonical) << c.text;
    } else {
      EXPECT_NE(why.find(c.words), std::string::npos) << c.text << ": " << why;
    }
  }
}

// The errors are against the values stored when they are set; the mechanism keeps them as
// absolute truths, so registering the suggested value makes the unit print true.
TEST(Misalignment, ErrorsAreAgainstTheStoredValuesAndTheLever) {
  EepromBytes stored{};
  stored[eeprom::kBidFirst + 2] = static_cast<std::uint8_t>(-5);  // VSD1 black
  stored[eeprom::kPfValue] = 3;
  Misalignment m;
  std::string why;
  ASSERT_TRUE(ParseMisalignment("bid=vsd1-black:+18;pf=-2;tilt=1;top=+4", m, why)) << why;
  const TrueMechanism t = ApplyMisalignment(m, TrueMechanism{}, stored, 2);
  EXPECT_EQ(t.bid[2], 13);
  EXPECT_EQ(t.bid[0], 0);  // not named: as it was
  EXPECT_EQ(t.pf, 1);
  EXPECT_EQ(t.squareLever, 1);
  EXPECT_EQ(t.topMarginOffset, 4);
  EXPECT_EQ(FormatMisalignment(ErrorsOf(t, stored, 2)),
            "bid=vsd1-black:+18,vsd1-color:+0,vsd2-black:+0,vsd2-color:+0,vsd3-black:+0,"
            "vsd3-color:+0,eco-black:+0,eco-color:+0;pf=-2;tilt=+1;top=+4");
}

TEST(Misalignment, KeptBesideTheStateFileAndSetFromTheConsole) {
  const fs::path dir =
      fs::temp_directory_path() / ("vantor-misalign-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string path = (dir / "printer.eeprom").string();
  {
    Wire w;
    std::string error;
    ASSERT_TRUE(w.printer.UseStateFile(path, error)) << error;
    std::ostringstream log;
    EXPECT_TRUE(RunConsoleLine(w.printer, "misalign bid=eco-black:-19; pf=+3", log));
    EXPECT_NE(log.str().find("ok"), std::string::npos) << log.str();
    log.str("");
    EXPECT_TRUE(RunConsoleLine(w.printer, "misalign pf=x", log));
    EXPECT_NE(log.str().find("misalignment pf"), std::string::npos) << log.str();
  }
  // The EEPROM file stays the 256-byte image older versions read.
  EXPECT_EQ(fs::file_size(path), 256u);
  std::string error;
  {
    Wire again;
    ASSERT_TRUE(again.printer.UseStateFile(path, error)) << error;
    const std::string now = again.printer.MisalignmentText();
    EXPECT_NE(now.find("eco-black:-19"), std::string::npos) << now;
    EXPECT_NE(now.find("pf=+3"), std::string::npos) << now;
  }
  // A damaged side file is named, not ignored.
  std::ofstream(path + ".mechanism") << "pf=lots\n";
  {
    Wire broken;
    EXPECT_FALSE(broken.printer.UseStateFile(path, error));
    EXPECT_NE(error.find("printer.eeprom.mechanism"), std::string::npos) << error;
  }
  // Windows removes no file a printer still holds.
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vantor::sim::test
