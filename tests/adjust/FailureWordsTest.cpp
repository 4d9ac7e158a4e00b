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
struct PoweredPrinter : VirtualBench {
  explicit PoweredPrinter(const std::string& stateFile) {
    if (!stateFile.empty()) {
      std::string error;
      EXPECT_TRUE(printer.UseStateFile(stateFile, error)) << error;
    }
    EXPECT_TRUE(Start());
  }
  Memo memo;
  ProcedureContext& bench = Procedures(memo);
};

struct Procedure {
  std::string_view name;
  std::function<Result(PoweredPrinter&)> run;
};

const std::vector<Procedure>& AllProcedures() {
  static const std::vector<Procedure> all = {
      {"head cleaning", [](PoweredPrinter& b) { return HeadCleaning(b.bench); }},
      {"ink charge", [](PoweredPrinter& b) { return InkCharge(b.bench); }},
      {"protection counter", [](PoweredPrinter& b) { return CheckProtectionCounter(b.bench); }},
      {"counter clear", [](PoweredPrinter& b) { return ClearProtectionCounter(b.bench, true); }},
      {"page counter", [](PoweredPrinter& b) { return ShowPageCounter(b.bench); }},
      {"pass counter", [](PoweredPrinter& b) { return ShowPassCounter(b.bench); }},
      {"EEPROM init", [](PoweredPrinter& b) { return InitializeEeprom(b.bench); }},
      {"EEPROM change", [](PoweredPrinter& b) { return ChangeEepromByte(b.bench, "70", "01"); }},
      {"CR dispersion",
       [](PoweredPrinter& b) {
         return CrMotorDriveDispersion(b.bench, {true, false, false, true});
       }},
      {"Bi-D print", [](PoweredPrinter& b) { return PrintBidAdjustment(b.bench); }},
      {"Bi-D present", [](PoweredPrinter& b) { return ShowPresentBidValues(b.bench); }},
      {"PF print", [](PoweredPrinter& b) { return PrintPfAdjustment(b.bench); }},
      {"PF present", [](PoweredPrinter& b) { return ShowPresentPfValue(b.bench); }},
      {"top margin print", [](PoweredPrinter& b) { return PrintTopMarginCheck(b.bench); }},
      {"head angle print", [](PoweredPrinter& b) { return PrintHeadAngleCheck(b.bench); }},
      {"head angle eject", [](PoweredPrinter& b) { return EjectHeadAngleSheet(b.bench); }},
      {"A4 check", [](PoweredPrinter& b) { return PrintA4CheckPattern(b.bench); }},
      {"exchange start", [](PoweredPrinter& b) { return ExchangeProcedure(b.bench).Start(); }},
      {"exchange air", [](PoweredPrinter& b) { return ExchangeProcedure(b.bench).AirExchange(); }},
      {"exchange liquid",
       [](PoweredPrinter& b) {
         bool last = false;
         return ExchangeProcedure(b.bench).LiquidCleaning(last);
       }},
  };
  return all;
}

struct Trouble {
  std::string_view name;
  std::function<void(PoweredPrinter&)> arrange;
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
      {"before initial fill", [](PoweredPrinter&) {}, true},
      {"ink out", [](PoweredPrinter& b) { b.printer.RaiseError(0x05); }},
      {"unlisted error", [](PoweredPrinter& b) { b.printer.RaiseError(0x02); }},
      {"channel refused",
       [](PoweredPrinter& b) { b.printer.GetFaults().errorReply = sim::Faults::ErrorReply{0x02}; }},
      {"no reply", [](PoweredPrinter& b) { b.printer.GetFaults().dropReplies = -1; }},
      {"slow write",
       [](PoweredPrinter& b) {
         b.printer.GetFaults().writeDelayMs = 10'000;
         b.printer.GetFaults().slowWrites = -1;
       }},
  };
  for (const Trouble& trouble : troubles) {
    int failures = 0;
    for (const Procedure& procedure : AllProcedures()) {
      PoweredPrinter bench(trouble.stateBeforeFill ? state.string() : std::string());
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
  PoweredPrinter bench(state.string());
  ASSERT_EQ(HeadCleaning(bench.bench), kNotReady);
  ASSERT_FALSE(bench.memo.shown.empty());
  EXPECT_EQ(bench.memo.shown.back(),
            (std::pair<MessageKind, std::string>{MessageKind::Error, "Before initial fill up."}));
}

}  // namespace
}  // namespace vantor::test
