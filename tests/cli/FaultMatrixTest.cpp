// Every command against every fault of the virtual printer, fired at several points of the
// command: each ends in bounded time, fails with words or is untouched by the fault, and leaves
// no EEPROM byte the command would not have written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "link/FactoryCommands.h"

namespace vantor::cli {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status;
  std::string out;
  std::string err;
  std::int64_t ms;
  std::string image;
};

const char* const kCommands[] = {
    "status",
    "eeprom read 00",
    "eeprom read 10 1F",
    "eeprom write 5D 0E",
    "eeprom init",
    "protection-counter",
    "protection-counter clear --new",
    "page-counter",
    "clean",
    "cr-dispersion --replaced cr-guide-shaft,cr-motor --yes",
    "head-id",
    "head-id set 21A2B3C4D5E12",
    "usb-id set Q30ABC0001AA99T010",
    "bid",
    "bid set vsd1-black=3 eco-color=-2",
    "bid print",
    "pf print",
    "pf set 2",
    "top-margin",
};

const char* const kFaults[] = {
    "no-reply,count=all", "late-reply",  "garbled",    "truncated", "bit-flip",
    "oversize",           "short-write", "power-loss", "busy",
};

// Replies into the command at which the fault fires (the link start takes 6).
const int kPoints[] = {2, 7, 12, 30};

// The upper bound after the printer falls silent.
constexpr std::int64_t kBoundMs = 12'000;

// The candidates a print job sets are writes the printer took; one that cannot be taken back
// after the printer is gone may stay.
bool IsCandidate(const std::string& command, std::size_t address) {
  if (command == "pf print") return address == eeprom::kPfValue;
  if (command == "bid print")
    return address >= eeprom::kBidFirst && address < eeprom::kBidFirst + 8;
  return false;
}

bool IsCounter(std::size_t address) {
  return (address >= eeprom::kProtectionCounterHi && address <= eeprom::kProtectionCounterHi + 1) ||
         (address >= eeprom::kPageCounter && address < eeprom::kPageCounter + 8) ||
         address == eeprom::kCrReadingHi || address == eeprom::kCrReadingLo;
}

class FaultMatrix : public ::testing::Test {
 protected:
  void SetUp() override {
    // Each run saves its EEPROM with fsync: memory-backed storage keeps the matrix fast.
    const fs::path base =
        fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::path(::testing::TempDir());
    dir_ = base / ("fault-matrix-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  Outcome Vantorctl(const std::string& command, const std::string& port, const std::string& fault) {
    const fs::path state = dir_ / "eeprom.bin";
    fs::remove(state);
    std::vector<std::string> args = {"vantorctl", "--port", port, "--virtual=" + state.string()};
    if (!fault.empty()) args.push_back("--virtual-fault=" + fault);
    std::istringstream words(command);
    for (std::string w; words >> w;) args.push_back(w);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    Cli cli;
    AddLinkCommands(cli);
    AddIdsCommands(cli);
    AddPrintCommands(cli);
    std::ostringstream out, err;
    const int status = cli.Run(static_cast<int>(argv.size()), argv.data(), out, err);
    std::ifstream in(state, std::ios::binary);
    return {status, out.str(), err.str(), cli.LastSessionMs(),
            std::string(std::istreambuf_iterator<char>(in), {})};
  }

  fs::path dir_;
};

TEST_F(FaultMatrix, EveryCommandEndsBoundedWithWordsAndNoStrayWrite) {
  const std::string factory = [&] {
    const Outcome r = Vantorctl("eeprom read 00", "TVUSB1", "");
    return r.image;
  }();
  ASSERT_EQ(factory.size(), 256u);
  for (const char* port : {"TVUSB1", "LPT1"}) {
    for (const char* command : kCommands) {
      const Outcome clean = Vantorctl(command, port, "");
      ASSERT_EQ(clean.status, kExitOk) << port << ' ' << command << ": " << clean.err;
      for (const char* fault : kFaults) {
        for (const int point : kPoints) {
          const std::string spec = std::string(fault) + ",after=" + std::to_string(point);
          const Outcome r = Vantorctl(command, port, spec);
          const std::string where = std::string(port) + " '" + command + "' " + spec;
          EXPECT_LE(r.ms, clean.ms + kBoundMs) << where;
          if (r.status == kExitOk) {
            // The fault came too late to touch the command, or touched nothing it shows.
            EXPECT_EQ(r.out, clean.out) << where;
          } else {
            EXPECT_FALSE(r.err.empty()) << where << "\nout: " << r.out;
          }
          ASSERT_EQ(r.image.size(), 256u) << where;
          for (std::size_t a = 0; a < 256; ++a) {
            if (IsCounter(a) || IsCandidate(command, a) || r.image[a] == factory[a] ||
                r.image[a] == clean.image[a])
              continue;
            ADD_FAILURE() << where << ": EEPROM byte " << a << " is neither before nor after";
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace vantor::cli
