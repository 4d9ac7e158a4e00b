#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "adjust/procedures/ReportSettings.h"
#include "cli/Cli.h"
#include "tests/support/CliRunner.h"
#include "tests/support/Environment.h"

namespace vantor::cli {
namespace {

namespace fs = std::filesystem;

using Outcome = test::CliOutcome;

// vantorctl in-process on a virtual printer kept in a state file, with its own data folder.
class BackupCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("backup-cli-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    test::SetDataHome((dir_ / "data").string());
  }
  void TearDown() override { fs::remove_all(dir_); }

  Outcome Run(std::vector<std::string> args, const std::string& model = "Q40") {
    args.insert(args.begin(), {"--model", model, "--virtual=" + (dir_ / "printer.bin").string()});
    return test::RunVantorctl(std::move(args));
  }
  std::string Backup() {
    const std::string file = (dir_ / "backup.json").string();
    const Outcome o = Run({"eeprom", "backup", file});
    EXPECT_EQ(o.status, kExitOk) << o.err;
    return file;
  }
  static std::string Read(const fs::path& path) {
    std::ifstream f(path);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  fs::path dir_;
};

TEST_F(BackupCommand, ThreeAdjustmentsAreNamedRestoredVerifiedAndReported) {
  const std::string file = Backup();
  ASSERT_EQ(Run({"bid", "set", "vsd1-black=-3"}).status, kExitOk);
  ASSERT_EQ(Run({"pf", "set", "2"}).status, kExitOk);
  ASSERT_EQ(Run({"top-margin", "set", "+1"}).status, kExitOk);  // 120 -> 134

  const Outcome diff = Run({"eeprom", "diff", file});
  EXPECT_EQ(diff.status, kExitOk);
  EXPECT_NE(diff.out.find("5D     top margin"), std::string::npos) << diff.out;
  EXPECT_NE(diff.out.find("134 (86)"), std::string::npos) << diff.out;
  EXPECT_NE(diff.out.find("72     Bi-D VSD1 Black"), std::string::npos) << diff.out;
  EXPECT_NE(diff.out.find("-3 (FD)"), std::string::npos) << diff.out;
  EXPECT_NE(diff.out.find("7D     PF value"), std::string::npos) << diff.out;
  EXPECT_NE(diff.out.find("3 bytes differ."), std::string::npos) << diff.out;

  const Outcome dry = Run({"eeprom", "restore", file, "--dry-run"});
  EXPECT_EQ(dry.status, kExitOk);
  EXPECT_EQ(Run({"eeprom", "diff", file}).out, diff.out) << "a dry run writes nothing";

  const Outcome restore = Run({"eeprom", "restore", file, "--yes"});
  EXPECT_EQ(restore.status, kExitOk) << restore.out << restore.err;
  EXPECT_NE(restore.out.find("Written and verified: 5D 72 7D"), std::string::npos) << restore.out;
  EXPECT_NE(Run({"eeprom", "diff", file}).out.find("No differences."), std::string::npos);
  EXPECT_EQ(Run({"eeprom", "restore", file, "--yes"}).status, kExitOk) << "nothing left to do";

  const std::string html = (dir_ / "report.html").string();
  ASSERT_EQ(Run({"report", "--html", html}).status, kExitOk);
  const std::string page = Read(html);
  for (const char* expected :
       {"Q4A0071234", "Bi-D adjustment", "PF adjustment", "Top margin adjustment", "EEPROM restore",
        "<td>Top margin</td><td>0x5D</td><td>120 (78)</td><td>134 (86)</td>",
        "<td>Top margin</td><td>0x5D</td><td>134 (86)</td><td>120 (78)</td>"}) {
    EXPECT_NE(page.find(expected), std::string::npos) << expected;
  }
  const Outcome history = Run({"history", "Q4A0071234"});
  EXPECT_EQ(history.status, kExitOk);
  EXPECT_NE(history.out.find("EEPROM restore (3 bytes)"), std::string::npos) << history.out;
}

TEST_F(BackupCommand, OnlyRestoresTheNamedBytes) {
  const std::string file = Backup();
  ASSERT_EQ(Run({"bid", "set", "vsd1-black=-3"}).status, kExitOk);
  ASSERT_EQ(Run({"pf", "set", "2"}).status, kExitOk);
  const Outcome restore = Run({"eeprom", "restore", file, "--only", "bid", "--yes"});
  EXPECT_EQ(restore.status, kExitOk);
  EXPECT_NE(restore.out.find("Written and verified: 72\n"), std::string::npos) << restore.out;
  const Outcome diff = Run({"eeprom", "diff", file});
  EXPECT_NE(diff.out.find("1 byte differs."), std::string::npos) << diff.out;
  EXPECT_EQ(Run({"eeprom", "restore", file, "--only", "nonsense"}).status, kExitUsage);
}

TEST_F(BackupCommand, RefusesOtherModelOtherPrinterAndBadFiles) {
  const std::string file = Backup();
  // A Q30 printer of its own: a state file keeps the model it was made with.
  const Outcome model =
      test::RunVantorctl({"--model", "Q30", "--virtual=" + (dir_ / "q30.bin").string(), "eeprom",
                          "restore", file, "--yes"});
  EXPECT_EQ(model.status, kExitUsage);
  EXPECT_NE(model.err.find("holds the EEPROM of a Vantor Q40, not of this Vantor Q30"),
            std::string::npos)
      << model.err;

  // A new serial number on the printer: a main-board swap, or the wrong file.
  ASSERT_EQ(Run({"eeprom", "write", "C2", "5A"}).status, kExitOk);
  const Outcome other = Run({"eeprom", "restore", file, "--yes"});
  EXPECT_EQ(other.status, kExitUsage);
  EXPECT_NE(other.err.find("is from another printer"), std::string::npos) << other.err;
  const Outcome swap = Run({"eeprom", "restore", file, "--yes", "--other-printer"});
  EXPECT_EQ(swap.status, kExitOk) << swap.err;
  EXPECT_NE(swap.out.find("Written and verified: C2"), std::string::npos) << swap.out;

  std::ofstream((dir_ / "broken.json")) << "{\"format\": \"vantor-adjust EEPROM image\", \"ver";
  const Outcome broken = Run({"eeprom", "restore", (dir_ / "broken.json").string(), "--yes"});
  EXPECT_EQ(broken.status, kExitUsage);
  EXPECT_NE(broken.err.find("broken.json: not a JSON file"), std::string::npos) << broken.err;
  const Outcome missing = Run({"eeprom", "diff", (dir_ / "none.json").string()});
  EXPECT_EQ(missing.status, kExitUsage);
  EXPECT_NE(missing.err.find("cannot read"), std::string::npos);
}

TEST_F(BackupCommand, BackupWithoutFileGoesToTheDataFolder) {
  const Outcome o = Run({"eeprom", "backup"});
  ASSERT_EQ(o.status, kExitOk) << o.err;
  const std::string prefix =
      "EEPROM saved to " + (dir_ / "data" / "vantor-adjust" / "backups" / "Q4A0071234-").string();
  ASSERT_EQ(o.out.rfind(prefix, 0), 0u) << o.out;
  const std::string path = o.out.substr(16, o.out.size() - 17);
  EXPECT_TRUE(fs::exists(path)) << path;
  EXPECT_EQ(Run({"report", "--html"}).status, kExitUsage);
}

// ID registrations are operations on the printer too, kept with what was registered.
TEST_F(BackupCommand, IdRegistrationsAreInTheHistory) {
  Backup();  // identifies the printer
  ASSERT_EQ(Run({"head-id", "set", "21a2b3c4d5e12"}).status, kExitOk);
  ASSERT_EQ(Run({"usb-id", "set", "q30abc0001aa99t010"}).status, kExitOk);
  const Outcome history = Run({"history", "Q4A0071234"});
  EXPECT_EQ(history.status, kExitOk);
  EXPECT_NE(history.out.find("Head ID registration: 21A2B3C4D5E12"), std::string::npos)
      << history.out;
  // The registration is filed under the printer as it came; its new serial number names it
  // from the next session on.
  EXPECT_NE(history.out.find("USB ID registration: Q30ABC0001AA99T010"), std::string::npos)
      << history.out;
  ASSERT_EQ(Run({"pf", "set", "2"}).status, kExitOk);
  const Outcome renamed = Run({"history"});
  EXPECT_NE(renamed.out.find("Service record of Q30ABC0001"), std::string::npos) << renamed.out;
  EXPECT_NE(renamed.out.find("PF adjustment"), std::string::npos) << renamed.out;
}

// Each virtual printer keeps its records beside its state file, and a session lands only under
// the printer it read: printer B's adjustment is never filed in printer A's history.
TEST_F(BackupCommand, SessionsStayWithTheVirtualPrinterTheyRead) {
  Backup();  // printer A identified on TVUSB1
  const std::string b = "--virtual=" + (dir_ / "b.bin").string();
  ASSERT_EQ(test::RunVantorctl({b, "pf", "set", "3"}).status, kExitOk);

  const Outcome a = Run({"history"});
  EXPECT_EQ(a.out.find("PF adjustment"), std::string::npos) << a.out;
  const Outcome other = test::RunVantorctl({b, "history", "Q4A0071234"});
  EXPECT_EQ(other.status, kExitOk) << other.err;
  EXPECT_NE(other.out.find("PF adjustment"), std::string::npos) << other.out;
  EXPECT_FALSE(fs::exists(dir_ / "data" / "vantor-adjust" / "records"))
      << "nothing in the technician's records";
  EXPECT_EQ(test::RunVantorctl({"--virtual", "history"}).status, kExitUsage);
}

// A record that cannot be written is said, and the command fails, after the work it did.
TEST_F(BackupCommand, ALostRecordFailsTheCommandInWords) {
  fs::create_directories(dir_ / "vantor-records");
  std::ofstream((dir_ / "vantor-records" / "printer.bin").string()) << "a file, not a folder";
  const Outcome o = Run({"pf", "set", "3"});
  EXPECT_EQ(o.status, kExitFailure);
  EXPECT_NE(o.out.find("registered in EEPROM"), std::string::npos) << o.out;
  EXPECT_NE(o.err.find("the service record could not be written"), std::string::npos) << o.err;
}

TEST_F(BackupCommand, HistoryAndReportSkipDamagedLines) {
  Backup();
  {
    std::ofstream record(dir_ / "vantor-records" / "printer.bin" / "Q4A0071234.jsonl",
                         std::ios::app);
    record << R"({"session":"x","operation":"y","result":"done","changes":["x"]})" << '\n'
           << R"({"session":"x","operation":"y","result":"done","identified":"yes"})" << '\n';
  }
  const Outcome history = Run({"history"});
  EXPECT_EQ(history.status, kExitOk);
  EXPECT_NE(history.out.find("EEPROM backup"), std::string::npos) << history.out;
  EXPECT_NE(history.err.find("2 damaged lines skipped"), std::string::npos) << history.err;
  const Outcome report = Run({"report", "--json", (dir_ / "r.json").string()});
  EXPECT_EQ(report.status, kExitOk);
  EXPECT_NE(report.err.find("2 damaged lines skipped"), std::string::npos) << report.err;
}

// The report's own options against the shop's settings file; "-" is standard output.
TEST_F(BackupCommand, ReportTakesTheSettingsFileAndItsOptions) {
  Backup();
  test::SetEnvironment("XDG_CONFIG_HOME", (dir_ / "config").string());
  // Where the program looks on this platform (the data folder on Windows).
  const fs::path settings = procedures::ReportSettingsPath();
  fs::create_directories(settings.parent_path());
  std::ofstream(settings) << "shop = File Shop\ntechnician = File Tech\nphone: 0123\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::vector<std::string> out, notOut;
    const char* err;
  };
  const Case cases[] = {
      {{"report", "--html", "-", "--customer", "Job 1", "--shop", "Option Shop"},
       kExitOk,
       {"<strong>Option Shop</strong>", "<td>File Tech</td>", "<td>Job 1</td>"},
       {"File Shop"},
       "report.conf line 3: 'phone: 0123' is not one of"},
      {{"report", "--json", "-", "--technician", "Option Tech"},
       kExitOk,
       {R"("technician": "Option Tech")", R"("serial_number": "Q4A0071234")"},
       {},
       ""},
      {{"report", "--html", "-", "--json", "-"}, kExitUsage, {}, {}, "standard output"},
      {{"report", "--html", "-", "--visit", "1999-01-01"},
       kExitUsage,
       {},
       {"<html"},
       "holds no session on 1999-01-01"},
  };
  for (const Case& c : cases) {
    const Outcome o = Run(c.args);
    const std::string what = c.args.back();
    EXPECT_EQ(o.status, c.status) << what << ": " << o.err;
    for (const std::string& text : c.out) EXPECT_NE(o.out.find(text), std::string::npos) << text;
    for (const std::string& text : c.notOut) EXPECT_EQ(o.out.find(text), std::string::npos) << text;
    EXPECT_NE(o.err.find(c.err), std::string::npos) << what << ": " << o.err;
  }
}

// An existing file is kept unless --force; a link planted at the name is replaced, never
// followed.
TEST_F(BackupCommand, BackupKeepsAnExistingFileAndFollowsNoLink) {
  const fs::path file = dir_ / "taken.json", victim = dir_ / "victim";
  std::ofstream(file.string()) << "keep me";
  std::ofstream(victim.string()) << "victim";
  const Outcome refused = Run({"eeprom", "backup", file.string()});
  EXPECT_EQ(refused.status, kExitUsage);
  EXPECT_NE(refused.err.find("exists; --force replaces it"), std::string::npos) << refused.err;
  EXPECT_EQ(Read(file), "keep me");

  EXPECT_EQ(Run({"eeprom", "backup", file.string(), "--force"}).status, kExitOk);
  EXPECT_NE(Read(file).find("vantor-adjust EEPROM image"), std::string::npos);

  if (test::OnWindows()) return;
  const fs::path link = dir_ / "link.json";
  fs::create_symlink(victim, link);
  EXPECT_EQ(Run({"eeprom", "backup", link.string()}).status, kExitUsage) << "a dangling name too";
  EXPECT_EQ(Run({"eeprom", "backup", link.string(), "--force"}).status, kExitOk);
  EXPECT_EQ(Read(victim), "victim");
  EXPECT_FALSE(fs::is_symlink(link));
  for (const auto& e : fs::directory_iterator(dir_)) {
    EXPECT_EQ(e.path().string().find(".tmp."), std::string::npos) << e.path();
  }
}

// A restore of chosen bytes reads the identity and those bytes, nothing else.
TEST_F(BackupCommand, RestoreOfChosenBytesReadsOnlyThem) {
  const std::string file = Backup();
  const std::string trace = (dir_ / "restore.trace").string();
  const Outcome o = Run({"--trace", trace, "eeprom", "restore", file, "--only", "5D", "--dry-run"});
  EXPECT_EQ(o.status, kExitOk) << o.err;
  std::istringstream lines(Read(trace));
  std::vector<std::string> read;
  // EEPROM reads: 7c 7c, body length 6, the Q40's model bytes, 41 be a0, the address.
  const std::string command = "7c 7c 06 00 07 4c 41 be a0 ";
  for (std::string line; std::getline(lines, line);) {
    const std::size_t at = line.find(command);
    if (line.rfind("W ", 0) == 0 && at != std::string::npos)
      read.push_back(line.substr(at + command.size()));
  }
  // Head ID at 0xA0-0xA4, 0xAE, 0xAF; serial number at 0xC2-0xCB; and 0x5D, in address order.
  EXPECT_EQ(read, (std::vector<std::string>{"5d", "a0", "a1", "a2", "a3", "a4", "ae", "af", "c2",
                                            "c3", "c4", "c5", "c6", "c7", "c8", "c9", "ca", "cb"}));
}

}  // namespace
}  // namespace vantor::cli
