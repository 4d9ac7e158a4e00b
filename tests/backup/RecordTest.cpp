#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "adjust/procedures/BidProcedure.h"
#include "adjust/procedures/EepromRestore.h"
#include "adjust/procedures/ExchangeProcedure.h"
#include "adjust/procedures/IdentityProcedure.h"
#include "adjust/procedures/Procedures.h"
#include "adjust/procedures/ServiceRecord.h"
#include "adjust/procedures/ServiceReport.h"
#include "link/WireTrace.h"
#include "sim/VirtualPrinter.h"
#include "tests/support/Environment.h"
#include "tests/support/VirtualBench.h"

namespace vantor::procedures {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSerial = "Q4A0071234";  // the virtual Q40's

// EEPROM read commands on the wire: 7c 7c, body length 6, the model bytes, 41 be a0.
int EepromReads(const std::string& trace) {
  std::istringstream lines(trace);
  int reads = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("W ", 0) == 0 && line.find("7c 7c 06 00 07 4c 41 be a0") != std::string::npos)
      ++reads;
  }
  return reads;
}

struct StartedBench : test::VirtualBench {
  StartedBench() { started = Start(); }
  ProcedureContext& context = Procedures();
  bool started = false;
};

class Record : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() /
              ("record-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(folder_, fs::perms::owner_all, ec);
    fs::remove_all(folder_);
  }
  std::string Folder() const { return folder_.string(); }
  std::vector<RecordEntry> Read(const std::string& serial, int* damaged = nullptr) const {
    std::vector<RecordEntry> entries;
    std::string why;
    int count = 0;
    EXPECT_TRUE(ReadRecord(Folder(), serial, entries, count, why)) << why;
    if (damaged) *damaged = count;
    return entries;
  }
  fs::path folder_;
};

TEST_F(Record, BidSessionKeepsOldAndNewValuesAndTheReportShowsThem) {
  StartedBench bench;
  ASSERT_TRUE(bench.started);
  FileServiceRecord record(Folder(), "test 1", "TVUSB1", Model::Q40);
  bench.context.reporter.SetRecorder(&record);

  EepromBytes bytes{};
  ASSERT_EQ(ReadWholeEeprom(bench.context, bytes), kOk);
  record.Identified(bytes);
  ASSERT_EQ(ReadBidRows(bench.context, {}), kOk);
  std::array<std::optional<std::string>, kBidRowCount> entries;
  entries[0] = "-3";  // VSD1 Black, stored at 0x72 as 0x02
  entries[7] = "99";  // out of range: refused
  WriteBidRows(bench.context, entries);
  ASSERT_EQ(bench.printer.Eeprom(0x72), 0xFD);

  const std::vector<RecordEntry> read = Read(kSerial);
  ASSERT_EQ(read.size(), 1u);
  const RecordEntry& e = read[0];
  EXPECT_EQ(e.operation, "Bi-D adjustment");
  EXPECT_EQ(e.result.rfind("failed: ", 0), 0u) << e.result;
  EXPECT_NE(e.result.find("(result 0x7000)"), std::string::npos) << e.result;
  EXPECT_EQ(e.model, "Vantor Q40");
  EXPECT_EQ(e.headId, "123451738521%");  // weighted sum 1149, K = 37 - 2
  ASSERT_EQ(e.changes.size(), 1u);
  EXPECT_EQ(e.changes[0].address, 0x72);
  EXPECT_EQ(e.changes[0].before, std::optional<std::uint8_t>(0x02));
  EXPECT_EQ(e.changes[0].intended, 0xFD);
  EXPECT_EQ(e.changes[0].outcome, WriteOutcome::Confirmed);
  EXPECT_EQ(e.changes[0].held, std::optional<std::uint8_t>(0xFD));
  ASSERT_TRUE(e.bytes);
  EXPECT_EQ((*e.bytes)[0x72], 0x02);

  const std::string html = ReportHtml(kSerial, read, {});
  EXPECT_NE(html.find("<td>Bi-D VSD1 Black</td><td>0x72</td><td>2 (02)</td><td>-3 (FD)</td>"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("<td>Q4A0071234</td>"), std::string::npos);
  EXPECT_NE(html.find("class=\"failed\""), std::string::npos);
  // Factory counters of the Q40: 0x1A2B points, 0x0F3C pages.
  EXPECT_NE(html.find("6699 points"), std::string::npos);
  EXPECT_NE(html.find("<td>3900</td>"), std::string::npos);
}

// A session is filed under a serial number only when it read that printer: its whole EEPROM,
// values it read anyway, or the serial read once when it first records a change.
TEST_F(Record, ASessionIsFiledOnlyUnderThePrinterItRead) {
  struct Case {
    const char* what;
    bool withLink;
    bool blankSerial;  // the printer holds no serial number
    bool readRange;    // the session read 0xC2-0xCB itself (eeprom read C2 CB)
    const char* filedUnder;
    int serialReads;  // reads the record adds
  };
  const Case cases[] = {
      {"reads the serial", true, false, false, kSerial, 10},
      {"knows it from the session's reads", true, false, true, kSerial, 0},
      {"no link to read it", false, false, false, "unidentified", 0},
      {"no serial in the printer", true, true, false, "unidentified", 10},
  };
  for (const Case& c : cases) {
    fs::remove_all(folder_);
    // An earlier session identified this printer on the same port: that is no reason.
    {
      FileServiceRecord earlier(Folder(), "test 1", "TVUSB1", Model::Q40);
      earlier.Identified(sim::VirtualPrinter::FactoryImage(Model::Q40));
      earlier.Operation("EEPROM backup", {}, "done");
    }
    StartedBench bench;
    ASSERT_TRUE(bench.started);
    if (c.blankSerial) bench.printer.SetEeprom(0xC2, 0x00);
    FileServiceRecord record(Folder(), "test 1", "TVUSB1", Model::Q40,
                             c.withLink ? &bench.link : nullptr);
    bench.context.reporter.SetRecorder(&record);
    if (c.readRange) {
      ASSERT_EQ(ReadEepromRange(bench.context, {0xC2, 0xCB}, {}), kOk);
    }
    std::ostringstream wire;
    WireTrace trace(wire);
    bench.link.port.SetTrace(&trace);
    record.Operation("PF adjustment", {{0x7D, std::nullopt, 0x02}}, "done");
    record.Operation("head cleaning", {}, "done");
    bench.link.port.SetTrace(nullptr);
    EXPECT_EQ(EepromReads(wire.str()), c.serialReads) << c.what << ": once a session at most";
    EXPECT_TRUE(record.Error().empty()) << record.Error();

    const std::vector<RecordEntry> filed = Read(c.filedUnder);
    ASSERT_EQ(filed.size(), c.filedUnder == std::string(kSerial) ? 3u : 2u) << c.what;
    EXPECT_EQ(filed.back().identified, c.filedUnder == std::string(kSerial)) << c.what;
    EXPECT_EQ(filed.back().operation, "head cleaning") << c.what;
    if (c.filedUnder != std::string(kSerial)) {
      EXPECT_EQ(Read(kSerial).size(), 1u) << c.what << ": only the backup";
      EXPECT_NE(HistoryText(filed).find("(printer not identified)"), std::string::npos);
      EXPECT_NE(ReportHtml(c.filedUnder, filed, {}).find("<td>not identified</td>"),
                std::string::npos);
    }
  }
}

// A crash that cut a line short leaves it damaged, not joined to the next session's line.
// The serial number is read before the session's first change, so a change of the serial
// itself, or of anything else, is filed under the printer as it came.
TEST_F(Record, TheSerialIsReadBeforeTheFirstChange) {
  // EEPROM write: 7c 7c, body length 7, model bytes, 42 bd 21. Factory frame: 1b 7c 00.
  struct Case {
    const char* what;
    std::function<Result(Link&)> change;
    const char* firstChange;
  };
  const Case cases[] = {
      {"an EEPROM write of the serial's first character",
       [](Link& link) { return link.channel.WriteEepromByte(0xC2, 'R'); },
       "7c 7c 07 00 07 4c 42 bd 21 c2"},
      {"a factory frame", [](Link& link) { return link.factory.FinishAdjustWrite(); }, "1b 7c 00"},
  };
  for (const Case& c : cases) {
    fs::remove_all(folder_);
    StartedBench bench;
    ASSERT_TRUE(bench.started);
    FileServiceRecord record(Folder(), "test 1", "TVUSB1", Model::Q40, &bench.link);
    std::ostringstream wire;
    WireTrace trace(wire);
    bench.link.port.SetTrace(&trace);
    ASSERT_EQ(c.change(bench.link), kOk) << c.what;
    ASSERT_EQ(c.change(bench.link), kOk) << c.what;
    record.Operation("change", {}, "done");
    bench.link.port.SetTrace(nullptr);
    const std::string text = wire.str();
    const std::size_t change = text.find(c.firstChange);
    ASSERT_NE(change, std::string::npos) << c.what << '\n' << text;
    EXPECT_EQ(EepromReads(text.substr(0, change)), 10) << c.what << ": all before the change";
    EXPECT_EQ(EepromReads(text), 10) << c.what << ": once a session";
    EXPECT_EQ(Read(kSerial).size(), 1u) << c.what;
  }
}

TEST_F(Record, AppendsAfterALineCutShort) {
  fs::create_directories(folder_);
  {
    FileServiceRecord first(Folder(), "test 1", "TVUSB1", Model::Q40);
    first.Identified(sim::VirtualPrinter::FactoryImage(Model::Q40));
    first.Operation("EEPROM backup", {}, "done");
  }
  std::ofstream(folder_ / "Q4A0071234.jsonl", std::ios::app) << R"({"session":"cut","ti)";
  FileServiceRecord next(Folder(), "test 1", "TVUSB1", Model::Q40);
  next.Identified(sim::VirtualPrinter::FactoryImage(Model::Q40));
  next.Operation("head cleaning", {}, "done");
  int damaged = 0;
  const std::vector<RecordEntry> read = Read(kSerial, &damaged);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[1].operation, "head cleaning");
  EXPECT_EQ(damaged, 1);
}

TEST_F(Record, AnAppendThatFailsIsToldInWords) {
  struct Case {
    const char* what;
    std::function<bool(const fs::path&)> spoil;  // false: the case cannot be shown here
    const char* reason;
  };
  std::vector<Case> cases = {
      {"the folder is a file",
       [](const fs::path& f) { return static_cast<bool>(std::ofstream(f.string()) << "x"); },
       "Not a directory"},
  };
  if (!test::OnWindows()) {
    cases.push_back({"a full disk",
                     [](const fs::path& f) {
                       fs::create_directories(f);
                       fs::create_symlink("/dev/full", f / "Q4A0071234.jsonl");
                       return true;
                     },
                     "No space left on device"});
    cases.push_back({"a folder nobody may write",
                     [](const fs::path& f) {
                       fs::create_directories(f);
                       fs::permissions(f, fs::perms::owner_read | fs::perms::owner_exec);
                       // Permissions do not bind the superuser.
                       return !std::ofstream((f / "probe").string());
                     },
                     "Permission denied"});
  }
  for (const Case& c : cases) {
    std::error_code ec;
    fs::permissions(folder_, fs::perms::owner_all, ec);
    fs::remove_all(folder_);
    if (!c.spoil(folder_)) continue;
    FileServiceRecord record(Folder(), "test 1", "TVUSB1", Model::Q40);
    record.Identified(sim::VirtualPrinter::FactoryImage(Model::Q40));
    record.Operation("head cleaning", {}, "done");
    EXPECT_EQ(record.Error().rfind("the service record could not be written: ", 0), 0u)
        << c.what << ": " << record.Error();
    EXPECT_NE(record.Error().find(c.reason), std::string::npos) << c.what << ": " << record.Error();
  }
}

// Lines of the wrong shape are skipped and counted; the good ones around them still count.
TEST_F(Record, DamagedLinesAreSkippedAndCounted) {
  const std::string good =
      R"({"session":"s1","time":"t","operation":"PF adjustment","result":"done",)"
      R"("identified":true,"changes":[{"address":125,"before":null,"after":2}]})";
  const std::string damaged[] = {
      R"({"session":"s2","operation":"x","result":"done","changes":["x"]})",
      R"({"session":"s2","operation":"x","result":"done","changes":[{"address":"5D","after":1}]})",
      R"({"session":"s2","operation":"x","result":"done","identified":"yes"})",
      R"({"session":"s2","operation":"x","result":"done","changes":[{"address":256,"after":1}]})",
      R"({"session":"s2","operation":"x","result":"done","changes":[{"address":5,"after":-1}]})",
      R"({"session":"s2","operation":"x","result":"done","changes":[{"address":5,"after":1.5}]})",
      R"({"session":"s2","operation":"x","result":"done","changes":[{"address":5,"before":300,"after":1}]})",
      R"({"session":"s2","operation":"x","result":"done","changes":[{"address":5,"intended":1,"outcome":"maybe"}]})",
      R"({"session":"s2","operation":"x","result":7})",
      R"({"session":"s2","operation":"x","result":"done","eeprom":["00"]})",
      R"({"operation":"x","result":"done"})",
      R"(["an array"])",
      "not JSON at all",
      "{\"session\":\"s2\",\"operation\":\"\xff\",\"result\":\"done\"}",
  };
  fs::create_directories(folder_);
  {
    std::ofstream file(folder_ / "Q4A0071234.jsonl");
    file << good << '\n';
    for (const std::string& line : damaged) file << line << '\n';
    file << good << '\n';
  }
  int count = 0;
  const std::vector<RecordEntry> read = Read(kSerial, &count);
  EXPECT_EQ(read.size(), 2u);
  EXPECT_EQ(count, static_cast<int>(std::size(damaged)));
  // A line from before outcomes were kept: its value written holds, as the operation was done.
  EXPECT_EQ(read[0].changes[0].intended, 2);
  EXPECT_EQ(read[0].changes[0].held, std::optional<std::uint8_t>(2));
  EXPECT_FALSE(read[0].changes[0].outcome);
}

// Every kind of write keeps, per byte, the value meant and that the printer holds it.
TEST_F(Record, EveryWriteRecordsItsBytesConfirmed) {
  struct Yes final : MessageDisplay {
    void Show(MessageKind, std::string_view) override {}
    bool Question(std::string_view, std::string_view) override { return true; }
  };
  struct Case {
    const char* operation;
    std::function<Result(ProcedureContext&)> write;
    std::size_t bytes;
  };
  const Case cases[] = {
      {"EEPROM byte change", [](ProcedureContext& b) { return ChangeEepromByte(b, "5D", "0F"); },
       1},
      {"protection counter clear",
       [](ProcedureContext& b) { return ClearProtectionCounter(b, true); }, 2},
      {"Head ID registration: 21A2B3C4D5E12",
       [](ProcedureContext& b) {
         std::string id;
         return RegisterHeadId(b, "21A2B3C4D5E12", id);
       },
       7},
      {"USB ID registration: Q30ABC0001AA99T010",
       [](ProcedureContext& b) {
         std::string id;
         return RegisterUsbId(b, "Q30ABC0001AA99T010", id);
       },
       18},
      {"EEPROM initialization", InitializeEeprom, 5},
      {"CR motor drive dispersion measurement",
       [](ProcedureContext& b) {
         return CrMotorDriveDispersion(b, {.mainBoard = true, .crGuideShaft = true});
       },
       1},
      {"transportation liquid exchange start",
       [](ProcedureContext& b) { return ExchangeProcedure(b).Start(); }, 1},
  };
  for (const Case& c : cases) {
    test::VirtualBench bench;
    ASSERT_TRUE(bench.Start());
    Yes yes;
    ProcedureContext& context = bench.Procedures(yes);
    fs::remove_all(Folder());
    FileServiceRecord record(Folder(), "test 1", "TVUSB1", Model::Q40, &bench.link);
    context.reporter.SetRecorder(&record);
    ASSERT_EQ(c.write(context), kOk) << c.operation;
    const std::vector<RecordEntry> read = Read(kSerial);
    ASSERT_FALSE(read.empty()) << c.operation;
    const RecordEntry& e = read.back();
    EXPECT_EQ(e.operation, c.operation);
    EXPECT_EQ(e.result, "done") << c.operation;
    EXPECT_EQ(e.changes.size(), c.bytes) << c.operation;
    for (const RecordedChange& change : e.changes) {
      EXPECT_EQ(change.outcome, WriteOutcome::Confirmed) << c.operation;
      EXPECT_EQ(change.held, std::optional<std::uint8_t>(change.intended)) << c.operation;
      EXPECT_EQ(bench.printer.Eeprom(change.address), change.intended) << c.operation;
    }
  }
}

// History and report say which bytes did not hold; old lines, which kept no outcome, say
// nothing of it.
TEST(RecordWords, BytesNotConfirmedAreShownAsSuch) {
  RecordEntry e;
  e.session = "s1";
  e.time = "2026-12-08T16:23:45+0100";
  e.serial = kSerial;
  e.identified = true;
  e.operation = "EEPROM restore";
  e.result = "failed: x; not confirmed: EEPROM byte 5D, EEPROM byte 72";
  e.changes = {{0x10, 0x01, 0x00, WriteOutcome::Confirmed, 0x00},
               {0x5D, 0x0E, 0x0F, WriteOutcome::NotConfirmed, 0x0E},
               {0x72, 0x02, 0xFD, WriteOutcome::Unknown, std::nullopt}};
  RecordEntry old = e;
  old.session = "s0";
  old.result = "done";
  old.changes = {{0x5D, std::nullopt, 0x0F}};
  const std::string history = HistoryText({old, e});
  EXPECT_NE(history.find("EEPROM restore (1 byte)"), std::string::npos) << history;
  EXPECT_NE(history.find("EEPROM restore (3 bytes, 1 not confirmed, 1 unknown)"), std::string::npos)
      << history;
  const std::string html = ReportHtml(kSerial, {e}, {});
  EXPECT_NE(html.find("unknown <span class=\"note\">"), std::string::npos);
  EXPECT_NE(html.find(" written, not confirmed</span>"), std::string::npos);
}

// The record takes an operation's end, not its start.
class FinalResult : public Record {
 protected:
  // Sets the interrupt flag when the busy words appear: the operation is under way.
  struct Interrupter final : MessageDisplay {
    explicit Interrupter(FinalResult* test) : owner(test) {}
    void Show(MessageKind kind, std::string_view) override {
      if (kind != MessageKind::Busy) return;
      if (owner->interruptAtBusy_) *owner->interruptAtBusy_ = true;
      // The power goes some replies later: the start is answered, the end is not.
      if (owner->powerAtBusy_) {
        owner->powerAtBusy_->powerLoss = true;
        owner->powerAtBusy_->armAfterReplies = 10;
      }
    }
    FinalResult* owner;
  };
  std::atomic<bool>* interruptAtBusy_ = nullptr;
  sim::Faults* powerAtBusy_ = nullptr;
};

TEST_F(FinalResult, CleaningIsRecordedWithItsEnd) {
  struct Case {
    const char* what;
    std::int64_t waitLimitMs;  // negative: none
    bool interrupt;
    bool powerGone;  // during the cleaning
    const char* result;
  };
  const Case cases[] = {
      {"finished", -1, false, false, "done"},
      {"end not seen in time", 3000, false, false,
       "not confirmed: the printer did not become ready (result 0x4000)"},
      {"interrupted", -1, true, false, "interrupted"},
      {"link lost while cleaning", -1, false, true, "not confirmed: "},
  };
  for (const Case& c : cases) {
    fs::remove_all(folder_);
    test::VirtualBench bench;
    ASSERT_TRUE(bench.Start());
    Interrupter display{this};
    ProcedureContext& context = bench.Procedures(display);
    FileServiceRecord record(Folder(), "test 1", "TVUSB1", Model::Q40);
    record.Identified(bench.printer.EepromImage());
    context.reporter.SetRecorder(&record);
    // Ctrl-C once the cleaning has begun.
    std::atomic<bool> cancel{false};
    bench.link.channel.SetCancel(&cancel);
    interruptAtBusy_ = c.interrupt ? &cancel : nullptr;
    bench.link.channel.SetWaitLimitMs(c.waitLimitMs);
    bench.link.channel.SetWaitForSilenceOnce(true);
    powerAtBusy_ = c.powerGone ? &bench.printer.GetFaults() : nullptr;
    const Result r = HeadCleaning(context);
    EXPECT_EQ(r == kOk, std::string(c.result) == "done") << c.what;
    const std::vector<RecordEntry> read = Read(kSerial);
    ASSERT_EQ(read.size(), 1u) << c.what;
    EXPECT_EQ(read[0].operation, "head cleaning");
    EXPECT_EQ(read[0].result.rfind(c.result, 0), 0u) << c.what << ": " << read[0].result;
  }
}

}  // namespace
}  // namespace vantor::procedures
