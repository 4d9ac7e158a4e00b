// Every procedure, against a printer that makes it fail in each way a printer can: a failure
// never ends without red words for the technician.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "adjust/procedures/BidProcedure.h"
#include "adjust/procedures/CheckPatternProcedure.h"
#include "adjust/procedures/ExchangeProcedure.h"
#include "adjust/procedures/HeadAngleProcedure.h"
#include "adjust/procedures/PfProcedure.h"
#include "adjust/procedures/Procedures.h"
#include "adjust/procedures/TopMarginProcedure.h"
#include "link/FactoryCommands.h"
#include "raster/LinkAccess.h"
#include "tests/support/TempPath.h"
#include "tests/support/VirtualBench.h"

namespace vantor::test {
namespace {

using namespace procedures;

class Memo final : public MessageDisplay {
 public:
  void Show(MessageKind kind, std::string_view text) override {
    shown.push_back({kind, std::string(text)});
  }
  bool Question(std::string_view, std::string_view) override { return true; }
  bool ShowedErrorWords() const {
    for (const auto& [kind, text] : shown) {
      if (kind == MessageKind::Error && !text.empty()) return true;
    }
    return false;
  }
  std::string Text() const {
    std::string all;
    for (const auto& s : shown) all += s.second + "|";
    return all;
  }
  std::vector<std::pair<MessageKind, std::string>> shown;
};

// One printer and link per run, so a fault never leaks into the next procedure.
struct Bench : VirtualBench {
  explicit Bench(const std::string& stateFile) {
    if (!stateFile.empty()) {
      std::string error;
      EXPECT_TRUE(printer.UseStateFile(stateFile, error)) << error;
    }
    EXPECT_TRUE(Start());
  }
  Memo memo;
  Reporter reporter{link, memo};
  Malheadid headId;
  Malusbid usbId;
  LinkAccess access{link, headId, usbId};
  Raster raster{access};
};

struct Procedure {
  std::string_view name;
  std::function<Result(Bench&)> run;
};

const std::vector<Procedure>& AllProcedures() {
  static const std::vector<Procedure> all = {
      {"head cleaning", [](Bench& b) { return HeadCleaning(b.reporter); }},
      {"ink charge", [](Bench& b) { return InkCharge(b.reporter); }},
      {"protection counter", [](Bench& b) { return CheckProtectionCounter(b.reporter); }},
      {"counter clear", [](Bench& b) { return ClearProtectionCounter(b.reporter, true); }},
      {"page counter", [](Bench& b) { return ShowPageCounter(b.reporter); }},
      {"pass counter", [](Bench& b) { return ShowPassCounter(b.reporter); }},
      {"EEPROM init", [](Bench& b) { return InitializeEeprom(b.reporter); }},
      {"EEPROM change",
       [](Bench& b) { return ChangeEepromByte(b.reporter, "70", "01").value_or(kOk); }},
      {"CR dispersion",
       [](Bench& b) {
         return CrMotorDriveDispersion(b.reporter, {true, false, false, true});
       }},
      {"Bi-D print", [](Bench& b) { return PrintBidAdjustment(b.reporter, b.raster); }},
      {"Bi-D present", [](Bench& b) { return ShowPresentBidValues(b.reporter, b.raster); }},
      {"PF print", [](Bench& b) { return PrintPfAdjustment(b.reporter, b.raster); }},
      {"PF present", [](Bench& b) { return ShowPresentPfValue(b.reporter); }},
      {"top margin print", [](Bench& b) { return PrintTopMarginCheck(b.reporter, b.raster); }},
      {"head angle print", [](Bench& b) { return PrintHeadAngleCheck(b.reporter, b.raster); }},
      {"head angle eject", [](Bench& b) { return EjectHeadAngleSheet(b.reporter, b.raster); }},
      {"A4 check", [](Bench& b) { return PrintA4CheckPattern(b.reporter, b.raster); }},
      {"exchange start", [](Bench& b) { return ExchangeProcedure(b.reporter).Start(); }},
      {"exchange air", [](Bench& b) { return ExchangeProcedure(b.reporter).AirExchange(); }},
      {"exchange liquid",
       [](Bench& b) {
         bool last = false;
         return ExchangeProcedure(b.reporter).LiquidCleaning(last);
       }},
  };
  return all;
}

struct Trouble {
  std::string_view name;
  std::function<void(Bench&)> arrange;
  bool stateBeforeFill = false;
};

// A printer left with transport liquid in waits for its initial charge: not in error, yet
// never ready.
void WriteBeforeFillState(const TempPath& state) {
  auto image = sim::VirtualPrinter::FactoryImage(Model::Q40);
  image[eeprom::kExchangeState] = 0x10;
  std::ofstream(state.path(), std::ios::binary)
      .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
}

TEST(FailureWords, EveryFailureOfEveryProcedureLeavesRedWords) {
  TempPath state("before-fill.bin");
  WriteBeforeFillState(state);
  const Trouble troubles[] = {
      {"before initial fill", [](Bench&) {}, true},
      {"ink out", [](Bench& b) { b.printer.RaiseError(0x05); }},
      {"unlisted error", [](Bench& b) { b.printer.RaiseError(0x02); }},
      {"channel refused",
       [](Bench& b) { b.printer.GetFaults().errorReply = sim::Faults::ErrorReply{0x02}; }},
      {"no reply", [](Bench& b) { b.printer.GetFaults().dropReplies = -1; }},
      {"slow write",
       [](Bench& b) {
         b.printer.GetFaults().writeDelayMs = 10'000;
         b.printer.GetFaults().slowWrites = -1;
       }},
  };
  for (const Trouble& trouble : troubles) {
    int failures = 0;
    for (const Procedure& procedure : AllProcedures()) {
      Bench bench(trouble.stateBeforeFill ? state.string() : std::string());
      trouble.arrange(bench);
      const Result r = procedure.run(bench);
      if (r == kOk) continue;
      ++failures;
      EXPECT_TRUE(bench.memo.ShowedErrorWords())
          << procedure.name << " / " << trouble.name << ": result " << std::hex << r
          << " shown: " << bench.memo.Text();
    }
    EXPECT_GT(failures, 0) << trouble.name;
  }
}

TEST(FailureWords, NotReadyWithoutAnErrorShowsTheStatusWordsInRed) {
  TempPath state("before-fill.bin");
  WriteBeforeFillState(state);
  Bench bench(state.string());
  ASSERT_EQ(HeadCleaning(bench.reporter), kNotReady);
  ASSERT_FALSE(bench.memo.shown.empty());
  EXPECT_EQ(bench.memo.shown.back(),
            (std::pair<MessageKind, std::string>{MessageKind::Error, "Before initial fill up."}));
}

}  // namespace
}  // namespace vantor::test
