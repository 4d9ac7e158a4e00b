// The status model over virtual time, the counters, the console and the EEPROM state file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim/PageRenderer.h"
#include "sim/PtyServer.h"
#include "tests/sim/SimWire.h"

namespace vantor::sim::test {
namespace {

namespace fs = std::filesystem;

std::uint32_t Counter32(const VirtualPrinter& p, std::uint8_t first) {
  return std::uint32_t(p.Eeprom(first)) << 24 | p.Eeprom(first + 1) << 16 |
         p.Eeprom(first + 2) << 8 | p.Eeprom(first + 3);
}

// A one-line band: ESC i, colour 0, run-length, 2 bits, 2 bytes per line, 1 line; 2 x 0xFF.
const Bytes kBand = {0x1B, 0x69, 0x00, 0x01, 0x02, 0x02, 0x00, 0x01, 0x00, 0xFF, 0xFF};

TEST(VirtualMechanism, PrintingMovesCountersAndEndsReady) {
  Wire w;
  w.Up();
  const std::uint32_t pages = Counter32(w.printer, 32);
  const std::uint32_t passes = Counter32(w.printer, 36);
  w.Data(Cat(kBand, kBand));
  EXPECT_EQ(Counter32(w.printer, 36), passes + 2);
  EXPECT_EQ(w.printer.State().st, kStPrinting);
  w.Data({0x0C});
  EXPECT_EQ(Counter32(w.printer, 32), pages + 1);
  EXPECT_EQ(w.printer.State().st, kStPrinting);
  w.clock.Advance(10'000);
  EXPECT_EQ(w.printer.State().st, kStReady);
}

TEST(VirtualMechanism, PaperOutStandsUntilPaperIsLoaded) {
  Wire w;
  w.Up();
  w.printer.SetPaperOut(true);
  EXPECT_EQ(w.printer.State().st, kStError);
  EXPECT_EQ(w.printer.State().er, kErPaperOut);
  // A form feed without paper feeds nothing, and time does not clear the error.
  const std::uint32_t pages = Counter32(w.printer, 32);
  w.Data({0x0C});
  w.clock.Advance(60'000);
  EXPECT_EQ(Counter32(w.printer, 32), pages);
  EXPECT_NE(w.Control(kStatusCommand).find("ER:06;"), std::string::npos);
  w.printer.ClearError();  // clearing errors does not load paper
  EXPECT_EQ(w.printer.State().er, kErPaperOut);
  w.printer.SetPaperOut(false);
  EXPECT_EQ(w.printer.State().st, kStReady);
  EXPECT_FALSE(w.printer.State().er);
}

TEST(VirtualMechanism, ShortPressesMoveTheCarriageOutThenBackWithACleaning) {
  Wire w;
  w.printer.TapInkSwitch();
  EXPECT_EQ(w.printer.State().st, kStBusy);
  w.clock.Advance(1'000);
  EXPECT_EQ(w.printer.State().st, kStReady);
  w.printer.TapInkSwitch();
  EXPECT_EQ(w.printer.State().st, kStCleaning);
  w.clock.Advance(40'000);
  EXPECT_EQ(w.printer.State().st, kStReady);
  // Home again: the next short press goes out once more.
  w.printer.TapInkSwitch();
  EXPECT_EQ(w.printer.State().st, kStBusy);
}

// The ink switch ends the job in the printer: a sheet printed on goes out before the carriage
// leaves, and the next band starts a new sheet at its top margin instead of landing on the
// earlier print.
TEST(VirtualMechanism, InkSwitchEjectsAPrintedSheetSoTheNextPrintIsANewSheet) {
  struct Case {
    const char* name;
    bool printedBefore;
    void (VirtualPrinter::*press)();
    std::size_t ejected;
  };
  // Rows of the sheet that carry the band's dot at the left margin.
  const auto inkedRows = [](const Page& page) {
    std::vector<int> rows;
    for (int y = 0; y < page.height; ++y)
      if (page.Pixel(48, y)[0] < 128) rows.push_back(y);
    return rows;
  };
  std::vector<int> fresh;
  {
    Wire w;
    w.Up();
    PageRenderer renderer(w.printer.Mechanics(), [&](Page&& p) { fresh = inkedRows(p); });
    w.printer.SetPageListener(&renderer);
    w.Data(Cat(kBand, Bytes{0x0C}));
    w.printer.SetPageListener(nullptr);
  }
  ASSERT_EQ(fresh.size(), 1u);
  const Case cases[] = {
      {"tap after a print", true, &VirtualPrinter::TapInkSwitch, 1},
      {"held after a print", true, &VirtualPrinter::PressInkSwitch, 1},
      {"tap with a blank sheet", false, &VirtualPrinter::TapInkSwitch, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Wire w;
    w.Up();
    std::vector<Page> pages;
    PageRenderer renderer(w.printer.Mechanics(), [&](Page&& p) { pages.push_back(std::move(p)); });
    w.printer.SetPageListener(&renderer);
    const std::uint32_t counted = Counter32(w.printer, 32);
    // Down 2 inches, then one band: the paper stays above where the band's ink went.
    const Bytes down = {0x1B, 0x28, 0x76, 0x02, 0x00, 0xD0, 0x02};
    if (c.printedBefore) w.Data(Cat(down, kBand));
    (w.printer.*c.press)();
    EXPECT_EQ(pages.size(), c.ejected);
    EXPECT_EQ(Counter32(w.printer, 32), counted + c.ejected);
    w.clock.Advance(60'000);
    w.Data(Cat(kBand, Bytes{0x0C}));
    ASSERT_EQ(pages.size(), c.ejected + 1);
    // The last sheet holds that band alone, where a fresh sheet takes it.
    EXPECT_EQ(inkedRows(pages.back()), fresh);
    w.printer.SetPageListener(nullptr);
  }
}

TEST(VirtualMechanism, InkSwitchCleansAndProtectionLimitStopsThePrinter) {
  Wire w;
  int notified = 0;
  w.printer.SetObserver([&] { ++notified; });
  w.printer.PressInkSwitch();
  EXPECT_GT(notified, 0);
  EXPECT_EQ(w.printer.State().st, kStCleaning);
  w.clock.Advance(40'000);
  EXPECT_EQ(w.printer.State().st, kStReady);

  // 49728 points: the waste-ink pad is full until the counter is cleared.
  w.printer.SetEeprom(2, 0xC2);
  w.printer.SetEeprom(3, 0x40);
  EXPECT_EQ(w.printer.State().er, kErMaintenance);
  w.printer.SetEeprom(2, 0x0F);
  w.printer.SetEeprom(3, 0x61);
  EXPECT_FALSE(w.printer.State().er);
}

TEST(VirtualMechanism, ConsoleLines) {
  Wire w;
  std::ostringstream log;
  EXPECT_TRUE(RunConsoleLine(w.printer, "paper out", log));
  EXPECT_TRUE(w.printer.State().paperOut);
  EXPECT_TRUE(RunConsoleLine(w.printer, "  paper in \r", log));
  EXPECT_FALSE(w.printer.State().paperOut);
  EXPECT_TRUE(RunConsoleLine(w.printer, "error 12", log));
  EXPECT_EQ(w.printer.State().er, kErDoubleFeed);
  EXPECT_TRUE(RunConsoleLine(w.printer, "clear", log));
  EXPECT_FALSE(w.printer.State().er);
  EXPECT_TRUE(RunConsoleLine(w.printer, "lever 3", log));
  EXPECT_EQ(w.printer.State().headAngleLever, 3);
  EXPECT_TRUE(RunConsoleLine(w.printer, "ink", log));
  EXPECT_EQ(w.printer.State().st, kStCleaning);
  log.str("");
  EXPECT_TRUE(RunConsoleLine(w.printer, "status", log));
  EXPECT_NE(log.str().find("ST:07"), std::string::npos);
  // Bad arguments change nothing.
  EXPECT_TRUE(RunConsoleLine(w.printer, "error 1FF", log));
  EXPECT_TRUE(RunConsoleLine(w.printer, "error zz", log));
  EXPECT_FALSE(w.printer.State().er);
  EXPECT_FALSE(RunConsoleLine(w.printer, "quit", log));
}

class StateFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("vantor-sim-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    path = (dir / "printer.eeprom").string();
  }
  void TearDown() override { fs::remove_all(dir); }
  Bytes FileBytes() const {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  fs::path dir;
  std::string path;
};

TEST_F(StateFile, FactoryImageIsWrittenAndChangesSurviveARestart) {
  {
    Wire w(Model::Q30);
    std::string error;
    ASSERT_TRUE(w.printer.UseStateFile(path, error)) << error;
    const auto factory = VirtualPrinter::FactoryImage(Model::Q30);
    EXPECT_EQ(FileBytes(), Bytes(factory.begin(), factory.end()));
    w.Up();
    EXPECT_EQ(w.Control({0x7C, 0x7C, 0x07, 0x00, 0x08, 0x18, 0x42, 0xBD, 0x21, 0x5D, 0x07}).at(6),
              'O');
    EXPECT_EQ(FileBytes().at(93), 0x07);  // on disk before the reply
    w.printer.PressInkSwitch();           // the protection counter moves
    // Passes counted during a job are on disk by the host's next command.
    const Bytes before = FileBytes();
    w.Data(kBand);
    w.Control(kStatusCommand);
    const Bytes after = FileBytes();
    EXPECT_EQ(after.at(39), static_cast<std::uint8_t>(before.at(39) + 1));
  }
  Wire again(Model::Q30);
  std::string error;
  ASSERT_TRUE(again.printer.UseStateFile(path, error)) << error;
  EXPECT_EQ(again.printer.Eeprom(93), 0x07);
  EXPECT_GT(again.printer.State().protectionCounter, 0x0C4E);
  for (const auto& entry : fs::directory_iterator(dir)) {
    // No temporary left behind; the lock file that names the user stays.
    EXPECT_EQ(entry.path().filename().string().find(".tmp."), std::string::npos);
  }
}

TEST_F(StateFile, WrongSizeIsRefusedAndALostFileRefusesWrites) {
  std::ofstream(path, std::ios::binary) << "short";
  Wire w;
  std::string error;
  EXPECT_FALSE(w.printer.UseStateFile(path, error));
  EXPECT_NE(error.find("256-byte"), std::string::npos);

  fs::remove(path);
  ASSERT_TRUE(w.printer.UseStateFile(path, error)) << error;
  w.Up();
  // A folder in the file's place: a write cannot be kept. (The folder itself cannot go on
  // Windows while the store holds its lock file open.)
  fs::remove(path);
  fs::create_directory(path);
  EXPECT_EQ(w.Control({0x7C, 0x7C, 0x07, 0x00, 0x07, 0x4C, 0x42, 0xBD, 0x21, 0x5D, 0x07}).at(6),
            'N');
  EXPECT_NE(w.printer.Eeprom(93), 0x07);
  EXPECT_FALSE(w.printer.SaveError().empty());
}

TEST_F(StateFile, ExchangedPrinterWaitsForItsInitialCharge) {
  auto image = VirtualPrinter::FactoryImage(Model::Q40);
  image[48] = 0x10;
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), image.size());
  Wire w;
  std::string error;
  ASSERT_TRUE(w.printer.UseStateFile(path, error)) << error;
  EXPECT_EQ(w.printer.State().st, kStBeforeFill);
  w.printer.PressInkSwitch();
  EXPECT_EQ(w.printer.State().st, kStCleaning);
  w.clock.Advance(200'000);
  EXPECT_EQ(w.printer.State().st, kStReady);
  EXPECT_EQ(w.printer.Eeprom(48), 0x00);
  EXPECT_EQ(FileBytes().at(48), 0x00);
}

TEST(VirtualEeprom, FactoryImagesHoldValidIdentities) {
  for (const Model m : {Model::Q40, Model::Q30}) {
    const auto e = VirtualPrinter::FactoryImage(m);
    EXPECT_LE(e[0xAF], 3);
    for (int a = 0xA0; a <= 0xA4; ++a) EXPECT_LE(e[a], 0x65);
    EXPECT_LE(e[0xAE], 2);
    for (int a = 0xC2; a <= 0xD3; ++a) {
      EXPECT_TRUE((e[a] >= '0' && e[a] <= '9') || (e[a] >= 'A' && e[a] <= 'Z')) << a;
    }
    EXPECT_EQ(e[176], m == Model::Q40 ? 0x94 : 0x95);
    EXPECT_EQ(e[81], 8);
  }
}

}  // namespace
}  // namespace vantor::sim::test
