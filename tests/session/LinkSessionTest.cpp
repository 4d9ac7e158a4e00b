// A session's own steps: the open (port, link, the model to go on with, the record) and the
// close with what it lost.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "session/LinkSession.h"
#include "sim/VirtualPrinter.h"
#include "tests/support/Environment.h"
#include "tests/support/TempPath.h"

namespace vantor {
namespace {

constexpr PortCode kTvUsb1 = 0x501;

class LinkSessionTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir.path()); }

  LinkSession& Configured(SessionOptions options) {
    options.virtualPrinter = true;
    SetupFailure failure;
    EXPECT_TRUE(session.Configure(options, failure)) << failure.message;
    return session;
  }
  std::string State() const { return (dir / "state" / "q40.bin").string(); }

  test::TempPath dir{"link-session"};
  VirtualClock clock;
  LinkSession session{clock};
};

TEST_F(LinkSessionTest, OpenGoesOnWithTheModelTheRuleGivesOrClosesTheSession) {
  struct Case {
    const char* name;
    std::optional<Model> chosen;
    std::optional<bool> answer;  // unset: nobody is asked
    StartStep failedAt;
    Model model;
    int asked;
  };
  // The virtual printer is a Q30.
  const Case cases[] = {
      {"none chosen: the reported one", std::nullopt, true, StartStep::Done, Model::Q30, 0},
      {"the reported one", Model::Q30, false, StartStep::Done, Model::Q30, 0},
      {"another, no rule", Model::Q40, std::nullopt, StartStep::Done, Model::Q40, 0},
      {"another, going on", Model::Q40, true, StartStep::Done, Model::Q40, 1},
      {"another, declined", Model::Q40, false, StartStep::Model, Model::Q40, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualClock caseClock;
    LinkSession s(caseClock);
    SessionOptions options;
    options.virtualPrinter = true;
    options.model = Model::Q30;
    SetupFailure failure;
    ASSERT_TRUE(s.Configure(options, failure));
    int asked = 0;
    SessionOpening opening{kTvUsb1, c.chosen, "test", {}};
    if (c.answer)
      opening.goOnAsChosen = [&](Model reported, Model chosen) {
        ++asked;
        EXPECT_EQ(reported, Model::Q30);
        EXPECT_EQ(chosen, *c.chosen);
        return *c.answer;
      };
    const SessionStart start = s.Open(opening);
    EXPECT_EQ(start.failedAt, c.failedAt);
    EXPECT_EQ(start.model, c.model);
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(s.GetLink().port.IsOpen(), c.failedAt == StartStep::Done);
    if (c.failedAt == StartStep::Done) {
      EXPECT_EQ(s.GetLink().channel.SelectedModel(), c.model);
    }
  }
}

TEST_F(LinkSessionTest, ARefusedOpenSaysWhereAndLeavesThePortClosed) {
  struct Case {
    const char* name;
    std::vector<std::string> devices;
    const char* fault;
    StartStep failedAt;
  };
  const std::string nowhere = (dir / "no-such-device").string();
  const Case cases[] = {
      {"a port that cannot open", {"TVUSB1=" + nowhere}, nullptr, StartStep::Open},
      {"a printer that does not answer", {}, "no-reply,count=all", StartStep::Link},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    VirtualClock caseClock;
    LinkSession s(caseClock);
    SessionOptions options;
    options.virtualPrinter = true;
    options.devices = c.devices;
    SetupFailure failure;
    ASSERT_TRUE(s.Configure(options, failure)) << failure.message;
    std::string why;
    if (c.fault != nullptr) {
      ASSERT_TRUE(s.Printer()->GetFaults().Apply(c.fault, why)) << why;
    }
    const SessionStart start = s.Open({kTvUsb1, Model::Q40, "test", {}});
    EXPECT_NE(start.result, kOk);
    EXPECT_EQ(start.failedAt, c.failedAt);
    EXPECT_EQ(start.record, nullptr);
    EXPECT_FALSE(s.GetLink().port.IsOpen());
  }
}

// The fault behind "Vantor Q40 on :" in the history: the record was opened before the port.
TEST_F(LinkSessionTest, TheRecordNamesThePortItWasOpenedOn) {
  SessionOptions options;
  options.stateFile = State();
  std::filesystem::create_directories(dir / "state");
  Configured(options);
  const SessionStart start = session.Open({kTvUsb1, Model::Q40, "test 1", {}});
  ASSERT_EQ(start.failedAt, StartStep::Done);
  ASSERT_NE(start.record, nullptr);
  start.record->Operation("check", {}, "ok");
  EXPECT_FALSE(session.Finish().Any());

  const std::string folder = procedures::VirtualRecordsFolder(State());
  const std::vector<std::string> serials = procedures::RecordedPrinters(folder);
  ASSERT_EQ(serials.size(), 1u);
  std::vector<procedures::RecordEntry> entries;
  int damaged = 0;
  std::string why;
  ASSERT_TRUE(procedures::ReadRecord(folder, serials[0], entries, damaged, why)) << why;
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].port, "TVUSB1");
  std::filesystem::remove_all(std::filesystem::path(folder).parent_path());
}

TEST_F(LinkSessionTest, CloseTellsEachLossOnceInWords) {
  enum class Lost { Nothing, Trace, Record, Eeprom };
  struct Case {
    const char* name;
    Lost lost;
    const char* words;
  };
  const Case cases[] = {
      {"nothing lost", Lost::Nothing, ""},
      {"trace", Lost::Trace, "cannot write /dev/full"},
      {"record", Lost::Record, "the service record could not be written: "},
      {"the virtual printer's EEPROM", Lost::Eeprom, "cannot save the virtual printer's EEPROM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.lost == Lost::Trace && test::OnWindows()) continue;  // no always-full file
    test::TempPath folder("losses");
    std::filesystem::create_directories(folder.path());
    VirtualClock caseClock;
    LinkSession s(caseClock);
    SessionOptions options;
    options.virtualPrinter = true;
    options.stateFile = (folder / "q40.bin").string();
    if (c.lost == Lost::Trace) options.traceFile = "/dev/full";
    // A file where the records' folder would go.
    if (c.lost == Lost::Record) std::ofstream((folder / "vantor-records").string()) << "x";
    SetupFailure failure;
    ASSERT_TRUE(s.Configure(options, failure)) << failure.message;
    const SessionStart start = s.Open({kTvUsb1, Model::Q40, "test", {}});
    ASSERT_EQ(start.failedAt, StartStep::Done);
    start.record->Operation("check", {}, "ok");
    if (c.lost == Lost::Eeprom) {
      // A change the printer took but its file cannot keep: a folder in the file's place.
      std::filesystem::remove(options.stateFile);
      std::filesystem::create_directory(options.stateFile);
      s.Printer()->SetEeprom(0x75, std::uint8_t(s.Printer()->Eeprom(0x75) ^ 1));
    }
    const SessionLosses losses = s.Finish();
    EXPECT_EQ(losses.Any(), c.lost != Lost::Nothing);
    EXPECT_EQ(losses.Words().find(c.words), 0u) << losses.Words();
    EXPECT_EQ(!losses.eeprom.empty(), c.lost == Lost::Eeprom);
    // Told once: a second close finds nothing new of the files.
    EXPECT_TRUE(s.Finish().files.empty());
  }
}

}  // namespace
}  // namespace vantor
