// Every command against every fault of the virtual printer, fired at several points of the
// command: each ends in bounded time, fails with words or is untouched by the fault, and leaves
// no EEPROM byte the command would not have written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "adjust/procedures/BidProcedure.h"
#include "cli/Cli.h"
#include "cli/Commands.h"
#include "ids/Malusbid.h"
#include "link/FactoryCommands.h"
#include "raster/Malbid.h"

namespace vantor::cli {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int status;
  std::string out;
  std::string err;
  std::int64_t ms;
  std::int64_t msAfterFault;  // -1: the fault never fired
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
    "usb-id serial A12345678Z",  // WithoutDateCode knows this serial
    "head-angle print",
    "check-pattern",
    "exchange",
};

const char* const kFaults[] = {
    "no-reply,count=all", "late-reply",  "garbled",    "truncated", "bit-flip",
    "oversize",           "short-write", "power-loss", "busy",
};

// Replies into the command at which the fault fires (the link start takes 6; at 9 a command's
// first data-channel writes go out unanswered); a longer command is also faulted halfway and
// just before its end (see PointsFor).
const int kPoints[] = {2, 7, 9, 12, 30};

// The upper bound after the printer falls silent.
constexpr std::int64_t kBoundMs = 12'000;

// Faults after which the printer says nothing more in time.
bool FallsSilent(const std::string& fault) {
  return fault.starts_with("no-reply") || fault.starts_with("late-reply") ||
         fault.starts_with("power-loss");
}

// The candidates a print job sets, and the step an exchange reached, are writes the printer
// took; one that cannot be taken back after the printer is gone may stay.
bool IsCandidate(const std::string& command, std::size_t address) {
  if (command == "pf print") return address == eeprom::kPfValue;
  if (command == "exchange") return address == eeprom::kExchangeState;
  // The date code follows the clock, which starts at each run's own system time.
  if (command.starts_with("usb-id serial")) {
    const std::size_t first = usbid::kFirstAddress + usbid::kSerialLength;
    return address >= first && address < first + usbid::kDateCodeLength;
  }
  if (command == "bid print")
    return address >= eeprom::kBidFirst && address < eeprom::kBidFirst + 8;
  return false;
}

// The words of a run with its date code (the 8 characters after the serial) blotted out.
std::string WithoutDateCode(std::string words) {
  const std::string serial = "A12345678Z";
  if (const auto at = words.find(serial); at != std::string::npos) {
    words.replace(at + serial.size(), usbid::kDateCodeLength, usbid::kDateCodeLength, '#');
  }
  return words;
}

constexpr std::string_view kRepeatOffer = "[Enter = repeat the step";
constexpr std::string_view kCountdown = "Wait for 10 seconds.";
constexpr std::int64_t kCountdownMs = 11'000;

std::int64_t Count(const std::string& text, std::string_view what) {
  std::int64_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

bool IsCounter(std::size_t address) {
  return (address >= eeprom::kProtectionCounterHi && address <= eeprom::kProtectionCounterHi + 1) ||
         (address >= eeprom::kPageCounter && address < eeprom::kPageCounter + 8) ||
         address == eeprom::kCrReadingHi || address == eeprom::kCrReadingLo;
}

// Whether the words say the byte at address was registered: a line of bid set names its row,
// any other such line speaks for the command's whole change.
bool ClaimsRegistered(const std::string& command, const std::string& out, std::size_t address) {
  if (!command.starts_with("bid set")) return out.find("registered") != std::string::npos;
  for (const auto& row : procedures::kBidRows) {
    if (BidAddress(row.which, row.dotType) == address)
      return out.find("As " + std::string(row.caption) + " data") != std::string::npos;
  }
  return false;
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
    AddAllCommands(cli);
    // Enter at every step of the exchange, and at each offer to repeat a failed one.
    std::istringstream enters(std::string(16, '\n'));
    std::streambuf* const keyboard = std::cin.rdbuf(enters.rdbuf());
    std::ostringstream out, err;
    const int status = cli.Run(static_cast<int>(argv.size()), argv.data(), out, err);
    std::cin.rdbuf(keyboard);
    std::ifstream in(state, std::ios::binary);
    return {status,
            out.str(),
            err.str(),
            cli.LastSessionMs(),
            cli.LastMsAfterFault(),
            std::string(std::istreambuf_iterator<char>(in), {})};
  }

  // For a command that gets more replies than kPoints reach: halfway and just before its end,
  // found from the fewest replies after which a silenced printer touches nothing.
  std::vector<int> LatePoints(const std::string& command, const std::string& port) {
    const auto fires = [&](int after) {
      const std::string setting = "no-reply,count=all,after=" + std::to_string(after);
      return Vantorctl(command, port, setting).msAfterFault >= 0;
    };
    int fired = std::end(kPoints)[-1] + 10;
    if (!fires(fired)) return {};
    int quiet = 2 * fired;
    while (fires(quiet)) fired = std::exchange(quiet, 2 * quiet);
    while (quiet - fired > 1) {
      const int mid = (fired + quiet) / 2;
      (fires(mid) ? fired : quiet) = mid;
    }
    return {quiet / 2, quiet - 2};
  }

  // Every command on both ports, each fault fired at kPoints or, late, at LatePoints.
  void RunMatrix(bool late) {
    const std::string factory = Vantorctl("eeprom read 00", "TVUSB1", "").image;
    ASSERT_EQ(factory.size(), 256u);
    for (const char* port : {"TVUSB1", "LPT1"}) {
      for (const char* command : kCommands) {
        const Outcome clean = Vantorctl(command, port, "");
        ASSERT_EQ(clean.status, kExitOk) << port << ' ' << command << ": " << clean.err;
        const std::vector<int> points =
            late ? LatePoints(command, port)
                 : std::vector<int>(std::begin(kPoints), std::end(kPoints));
        for (const char* fault : kFaults) {
          for (const int point : points) Check(command, port, fault, point, clean, factory);
        }
      }
    }
  }

  void Check(const std::string& command, const std::string& port, const std::string& fault,
             int point, const Outcome& clean, const std::string& factory) {
    const std::string setting = fault + ",after=" + std::to_string(point);
    const Outcome r = Vantorctl(command, port, setting);
    const std::string where = port + " '" + command + "' " + setting;
    // Each step an exchange offers again, and the technician repeats, waits anew; its closing
    // countdown is a wait the technician watches.
    const std::int64_t bound = kBoundMs * (1 + Count(r.out + r.err, kRepeatOffer)) +
                               kCountdownMs * Count(r.out, kCountdown);
    EXPECT_LE(r.ms, clean.ms + bound) << where;
    if (FallsSilent(fault)) {
      EXPECT_LE(r.msAfterFault, bound) << where;
    }
    if (r.status == kExitOk) {
      // The fault came too late to touch the command, or touched nothing it shows; an exchange
      // offers a failed step again, and the failure was told.
      if (command != "exchange" || r.err.empty()) {
        EXPECT_EQ(WithoutDateCode(r.out), WithoutDateCode(clean.out)) << where;
      }
    } else {
      EXPECT_FALSE(r.err.empty()) << where << "\nout: " << r.out;
    }
    ASSERT_EQ(r.image.size(), 256u) << where;
    // Success is said only of what the printer holds: no exit 0 and no "registered" unless the
    // bytes the command writes are there.
    for (std::size_t a = 0; a < 256; ++a) {
      if (clean.image[a] == factory[a] || IsCounter(a) || IsCandidate(command, a)) continue;
      if (r.status == kExitOk || ClaimsRegistered(command, r.out, a)) {
        EXPECT_EQ(r.image[a], clean.image[a])
            << where << ": reported done, yet EEPROM byte " << a << " does not hold it";
      }
    }
    for (std::size_t a = 0; a < 256; ++a) {
      if (IsCounter(a) || IsCandidate(command, a) || r.image[a] == factory[a] ||
          r.image[a] == clean.image[a])
        continue;
      ADD_FAILURE() << where << ": EEPROM byte " << a << " is neither before nor after";
    }
  }

  fs::path dir_;
};

TEST_F(FaultMatrix, EveryCommandEndsBoundedWithWordsAndNoStrayWrite) {
  RunMatrix(false);
}

// A step the technician repeats tries the printer again, so one lost reply costs one repeat.
TEST_F(FaultMatrix, ARepeatedExchangeStepSucceedsOnceThePrinterAnswersAgain) {
  for (const char* port : {"TVUSB1", "LPT1"}) {
    const Outcome r = Vantorctl("exchange", port, "no-reply,after=20,count=1");
    EXPECT_EQ(r.status, kExitOk) << port << "\n" << r.out << r.err;
    EXPECT_EQ(Count(r.err, kRepeatOffer), 1) << port;
  }
}

// Print jobs, the exchange and the other long commands, faulted halfway and near their end.
TEST_F(FaultMatrix, LongCommandsFaultedLateEndBoundedToo) {
  RunMatrix(true);
}

}  // namespace
}  // namespace vantor::cli
