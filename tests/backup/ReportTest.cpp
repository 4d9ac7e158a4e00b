#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "adjust/procedures/BidProcedure.h"
#include "adjust/procedures/EepromRestore.h"
#include "adjust/procedures/PfProcedure.h"
#include "adjust/procedures/Procedures.h"
#include "adjust/procedures/ServiceReport.h"
#include "tests/support/VirtualBench.h"

namespace vantor::procedures {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSerial = "Q4A0071234";

fs::path TempDir() {
  const fs::path dir =
      fs::temp_directory_path() / ("report-" + std::to_string(::getpid()) + "-" +
                                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(ReportSettings, ReadsKnownKeysAndNamesTheRest) {
  struct Case {
    const char* what;
    const char* file;                     // nullptr: no file
    std::array<std::string, 5> expected;  // shop, address, phone, email, technician
    std::vector<std::string> warnings;
  };
  const Case cases[] = {
      {"every key, spaces, comments and CR LF",
       "# our shop\nshop = Example Service\r\ntechnician=J. Doe\n\n  address =  1 Road, Town  \n"
       "phone = 0123 456\nemail = desk@example.test\n",
       {"Example Service", "1 Road, Town", "0123 456", "desk@example.test", "J. Doe"},
       {}},
      {"a value may hold '='", "email = a=b@example.test\n", {"", "", "", "a=b@example.test"}, {}},
      {"a typing error and a line without '=' are named",
       "shp = Typo Ltd\nphone 0123\n",
       {},
       {"report.conf line 1: 'shp' is not one of shop, address, phone, email, technician",
        "report.conf line 2: 'phone 0123' is not one of shop, address, phone, email, technician"}},
      {"no file", nullptr, {}, {}},
  };
  const fs::path dir = TempDir();
  for (const Case& c : cases) {
    const fs::path path = dir / "report.conf";
    fs::remove(path);
    if (c.file) std::ofstream(path, std::ios::binary) << c.file;
    ReportDetails details;
    std::vector<std::string> warnings;
    ReadReportSettings(path.string(), details, warnings);
    const std::array<std::string, 5> got = {details.shop, details.address, details.phone,
                                            details.email, details.technician};
    EXPECT_EQ(got, c.expected) << c.what;
    EXPECT_EQ(warnings, c.warnings) << c.what;
  }
  fs::remove_all(dir);
}

TEST(ReportText, FilePathsAreCutToTheirNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"EEPROM backup to /home/tech/.local/share/vantor-adjust/backups/Q4A-1.json",
       "EEPROM backup to Q4A-1.json"},
      {R"(EEPROM backup to C:\Users\tech\AppData\Roaming\vantor-adjust\backups\Q4A-1.json)",
       "EEPROM backup to Q4A-1.json"},
      {"EEPROM backup to /home/a b/my file.json", "EEPROM backup to my file.json"},
      {"EEPROM backup to backup.json", "EEPROM backup to backup.json"},
      // A head ID's check character may be a slash; it is no path.
      {"Head ID registration: 12345173852/", "Head ID registration: 12345173852/"},
  };
  for (const auto& [operation, shown] : cases) EXPECT_EQ(CustomerText(operation), shown);
}

// Two visits of the printer, the second with a Q30 session, and a line of another printer.
class Report : public ::testing::Test {
 protected:
  static EepromBytes Bytes(std::uint8_t pageLow) {
    EepromBytes b{};
    b[0x02] = 0x1A;  // protection counter 0x1A2B = 6699
    b[0x03] = 0x2B;
    b[0x22] = 0x0F;  // page counter 0x00000F3C = 3900, or as given
    b[0x23] = pageLow;
    b[0x25] = 0x01;  // print pass counter 0x00010000 = 65536
    b[0x7D] = 0x01;  // PF value +1
    b[0xB0] = 0x94;  // a Q40
    const char usb[] = "Q4A0071234D3C2B1A0";
    for (int i = 0; i < 18; ++i) b[0xC2 + i] = static_cast<std::uint8_t>(usb[i]);
    return b;
  }
  static RecordEntry Entry(const char* session, const char* time, const char* model,
                           const char* operation, const char* result = "done") {
    RecordEntry e;
    e.session = session;
    e.time = time;
    e.program = "vantorctl 9.9";
    e.model = model;
    e.port = "TVUSB1";
    e.operation = operation;
    e.result = result;
    e.serial = kSerial;
    e.identified = true;
    return e;
  }
  void SetUp() override {
    RecordEntry earlier =
        Entry("s0", "2026-11-02T09:00:00+0100", "Vantor Q40",
              "EEPROM backup to /home/tech/.local/share/vantor-adjust/backups/old-visit.json");
    earlier.bytes = Bytes(0x3C);
    RecordEntry backup =
        Entry("s1", "2026-12-08T16:23:05+0100", "Vantor Q40",
              R"(EEPROM backup to C:\Users\tech\AppData\Roaming\vantor-adjust\backups\Q4A.json)");
    backup.bytes = Bytes(0x3D);
    RecordEntry bid = Entry("s1", "2026-12-08T16:25:40+0100", "Vantor Q40", "Bi-D adjustment");
    bid.changes = {{0x72, 0x02, 0xFD, WriteOutcome::Confirmed, 0xFD}};
    RecordEntry cleaning = Entry("s2", "2026-12-08T16:40:00+0100", "Vantor Q30", "head cleaning",
                                 "not confirmed: the printer did not become ready (result 0x4000)");
    RecordEntry raw = Entry("s2", "2026-12-08T16:41:00+0100", "Vantor Q30", "EEPROM byte change");
    // Without old values of their own: a byte the map does not know, a counter (it moves as the
    // printer works), and two values that only writes change, last known from the backup's
    // reading and from the Bi-D write.
    raw.changes = {{0x40, std::nullopt, 0x12},
                   {0x03, std::nullopt, 0x00},
                   {0x7D, std::nullopt, 0x02},
                   {0x72, std::nullopt, 0x00}};
    RecordEntry other = Entry("s3", "2026-12-08T17:00:00+0100", "Vantor Q40", "PF adjustment");
    other.serial = "Q4B0000001";
    entries_ = {earlier, backup, bid, cleaning, raw, other};
    details_ = {"Example <Service>", "1 Road, Town", "0123 456",
                "desk@example.test", "J. Doe",       "Smith & Sons / job 4711",
                "2026-12-09"};
  }
  std::vector<RecordEntry> entries_;
  ReportDetails details_;
};

TEST_F(Report, VisitIsOneDayOfThisPrinter) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"", {"s1", "s1", "s2", "s2"}},
      {"2026-11-02", {"s0"}},
      {"all", {"s0", "s1", "s1", "s2", "s2"}},
      {"2026-01-01", {}},
  };
  for (const auto& [visit, sessions] : cases) {
    std::vector<std::string> got;
    for (const RecordEntry& e : VisitEntries(kSerial, entries_, visit)) got.push_back(e.session);
    EXPECT_EQ(got, sessions) << "visit '" << visit << "'";
  }
}

TEST_F(Report, HtmlShowsTheVisitAsTheCustomerReadsIt) {
  const std::string html = ReportHtml(kSerial, entries_, details_);
  for (const char* expected : {
           "<strong>Example &lt;Service&gt;</strong><br>1 Road, Town<br>0123 456",
           "<tr><th>Customer / job</th><td>Smith &amp; Sons / job 4711</td></tr>",
           "<tr><th>Technician</th><td>J. Doe</td></tr>",
           "<tr><th>Date of the work</th><td>2026-12-08</td></tr>",
           "<tr><th>Report date</th><td>2026-12-09</td></tr>",
           "<tr><th>Model</th><td>Vantor Q40</td></tr>",
           "<tr><th>USB ID</th><td>Q4A0071234D3C2B1A0</td></tr>",
           // The visit's own reading: 0x0F3D pages, not the earlier 3900.
           "6699 points",
           "<td>3901</td>",
           "<td>65536</td>",
           "<td colspan=\"3\">Vantor Q40, vantorctl 9.9</td>",
           "<td colspan=\"3\">Vantor Q30, vantorctl 9.9</td>",
           "<td>16:23</td><td>EEPROM backup to Q4A.json</td><td>done</td>",
           "<tr class=\"failed\"><td>16:40</td><td>Head cleaning</td>",
           "<td>Bi-D VSD1 Black</td><td>0x72</td><td>2 (02)</td><td>-3 (FD)</td>",
           "<td>EEPROM byte</td><td>0x40</td><td>not read</td><td>18 (12)</td>",
           "<td>Protection counter (low byte)</td><td>0x03</td><td>not read</td><td>0 (00)</td>",
           "<td>PF value</td><td>0x7D</td><td>1 (01) <span class=\"note\">as of 16:23</span></td>",
           "<td>0x72</td><td>-3 (FD) <span class=\"note\">as of 16:25</span></td><td>0 (00)</td>",
       }) {
    EXPECT_NE(html.find(expected), std::string::npos) << expected << "\n" << html;
  }
  for (const char* absent :
       {"+0100", "/home", "Users", "backups", "PF adjustment", "old-visit", "3900", "Q4B0000001"}) {
    EXPECT_EQ(html.find(absent), std::string::npos) << absent;
  }
  // Every visit: the work of each day under its date.
  const std::string all = ReportHtml(kSerial, entries_, details_, "all");
  EXPECT_NE(all.find("<td>2026-11-02 09:00</td><td>EEPROM backup to old-visit.json</td>"),
            std::string::npos);
  EXPECT_NE(all.find("<tr><th>Date of the work</th><td>2026-11-02 to 2026-12-08</td></tr>"),
            std::string::npos);
}

TEST_F(Report, JsonCarriesTheSameData) {
  const auto j = nlohmann::json::parse(ReportJson(kSerial, entries_, details_));
  EXPECT_EQ(j["serial_number"], kSerial);
  EXPECT_EQ(j["model"], "Vantor Q40");
  EXPECT_EQ(j["report_date"], "2026-12-09");
  EXPECT_EQ(j["visit"], "2026-12-08");
  EXPECT_EQ(j["customer"], "Smith & Sons / job 4711");
  EXPECT_EQ(j["shop"]["name"], "Example <Service>");
  EXPECT_EQ(j["counters"]["page_counter"], 3901);
  EXPECT_EQ(j["counters"]["protection_counter"], 6699);
  ASSERT_EQ(j["entries"].size(), 4u);
  EXPECT_EQ(j["entries"][0]["operation"], "EEPROM backup to Q4A.json");
  EXPECT_EQ(j["entries"][2]["model"], "Vantor Q30");
  EXPECT_EQ(j["entries"][1]["changes"][0]["before"], 2);
  EXPECT_TRUE(j["entries"][3]["changes"][0]["before"].is_null());
  EXPECT_EQ(j["entries"][3]["changes"][2]["last_read"]["value"], 1);
}

// A value the window's workflow read on its way (the pattern printed with it, the counter
// shown) is the "before" of its change later in the session.
TEST(RecordedBefore, ValuesReadOnTheWayAreTheOldValues) {
  struct Case {
    const char* what;
    std::function<Result(ProcedureContext&)> read, write;
    std::uint8_t address;
  };
  const auto writeBid = [](ProcedureContext& b) {
    std::array<std::optional<std::string>, kBidRowCount> rows;
    rows[0] = "-3";
    return WriteBidRows(b, rows)[0] ? kOk : Result(kNotConfirmed);
  };
  const Case cases[] = {
      {"Bi-D print, then a value", [](ProcedureContext& b) { return PrintBidAdjustment(b); },
       writeBid, 0x72},
      {"Bi-D values read, as bid suggest --apply does, then a value",
       [](ProcedureContext& b) { return ReadBidRows(b, {}); }, writeBid, 0x72},
      {"PF print, then a value", [](ProcedureContext& b) { return PrintPfAdjustment(b); },
       [](ProcedureContext& b) { return WritePfValue(b, "2"); }, 0x7D},
      {"protection counter shown, then cleared", CheckProtectionCounter,
       [](ProcedureContext& b) { return ClearProtectionCounter(b, false); }, 0x03},
  };
  const fs::path dir = TempDir();
  for (const Case& c : cases) {
    fs::remove_all(dir);
    test::VirtualBench bench;
    ASSERT_TRUE(bench.Start());
    const std::uint8_t before = bench.printer.Eeprom(c.address);
    ProcedureContext& context = bench.Procedures();
    FileServiceRecord record(dir.string(), "test 1", "TVUSB1", Model::Q40);
    // The identity only: every other byte is known only if the workflow reads it.
    const AddressSet identity = IdentityAddresses();
    record.Identified(bench.printer.EepromImage(), &identity);
    context.reporter.SetRecorder(&record);
    ASSERT_EQ(c.read(context), kOk) << c.what;
    ASSERT_EQ(c.write(context), kOk) << c.what;
    std::vector<RecordEntry> entries;
    std::string why;
    int damaged = 0;
    ASSERT_TRUE(ReadRecord(dir.string(), kSerial, entries, damaged, why)) << c.what << why;
    // A print is recorded too (it ties the sheets to it); the change is the last entry.
    ASSERT_FALSE(entries.empty()) << c.what;
    bool found = false;
    for (const RecordedChange& change : entries.back().changes) {
      if (change.address != c.address) continue;
      found = true;
      EXPECT_EQ(change.before, std::optional<std::uint8_t>(before)) << c.what;
    }
    EXPECT_TRUE(found) << c.what;
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vantor::procedures
