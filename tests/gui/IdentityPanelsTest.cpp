#include <QLineEdit>
#include <QTabWidget>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "tests/gui/WorkflowSteps.h"
#include "tests/support/CliRunner.h"

namespace vantor::test {
namespace {

class IdentityPanels : public WorkflowTest {
 protected:
  QWidget* Focused() { return Adjust().focusWidget(); }
  std::string UsbIdBytes() {
    std::string id;
    for (int a = 0xC2; a <= 0xD3; ++a) id += char(Printer().Eeprom(std::uint8_t(a)));
    return id;
  }
};

// A Q30 on the wire: the virtual printer takes its model from the EEPROM file it starts with.
class IdentityPanelsQ30 : public IdentityPanels {
 protected:
  void Configure(ProgramOptions& options) override {
    state_ = std::filesystem::temp_directory_path() /
             ("identity-q30-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
              ".bin");
    const sim::EepromBytes image = sim::VirtualPrinter::FactoryImage(Model::Q30);
    std::ofstream(state_, std::ios::binary)
        .write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    options.stateFile = state_.string();
  }
  void SetUp() override {
    GuiTest::SetUp();
    OpenAdjustment(1, 3);
  }
  void TearDown() override {
    IdentityPanels::TearDown();
    std::filesystem::remove(state_);
  }
  std::filesystem::path state_;
};

TEST_F(IdentityPanelsQ30, EepromInitializationWritesTheFactorySettingsOfTheSecondModel) {
  for (std::uint8_t a : {0x51, 0x52, 0x65, 0xB0, 0xE1}) Printer().SetEeprom(a, 0x5A);

  Item("AdjustRdoGrp", 0);
  ASSERT_TRUE(Shown("DefaultSetPnl"));
  Screenshot(Adjust(), "eeprom-initialization");
  Press("DefaultSetBtn");
  EXPECT_EQ(Memo(), "EEPROM Initialization has completely done.");
  EXPECT_EQ(Printer().Eeprom(0x51), 0x08);
  EXPECT_EQ(Printer().Eeprom(0x52), 0x02);
  EXPECT_EQ(Printer().Eeprom(0x65), 0x01);
  EXPECT_EQ(Printer().Eeprom(0xB0), 0x95);
  EXPECT_EQ(Printer().Eeprom(0xE1), 0x00);
  EXPECT_TRUE(dialogs_.boxes.empty()) << dialogs_.Texts().join("|").toStdString();
  EXPECT_FALSE(HourglassShown());
}

TEST_F(IdentityPanels, EepromInitializationLinkFailureIsABoxNotTheMemo) {
  Item("AdjustRdoGrp", 0);
  Printer().GetFaults().errorReply = sim::Faults::ErrorReply{0x02, sim::kErrChannelClosed};
  Press("DefaultSetBtn");
  EXPECT_EQ(dialogs_.Texts(), QStringList{"Communication error."});
  EXPECT_EQ(Memo(), "");
  EXPECT_FALSE(HourglassShown());
}

TEST_F(IdentityPanels, HeadIdIsRegisteredAndReadBack) {
  Item("AdjustRdoGrp", 1);
  ASSERT_TRUE(Shown("HeadIDItemsPnl"));
  EXPECT_EQ(Find<RadioGroup>(&Adjust(), "HdVolRdoBtn")->ItemIndex(), 0);
  Screenshot(Adjust(), "head-id-items");
  Press("HdVolOKBtn");
  ASSERT_TRUE(Shown("HeadIDInputPnl"));
  EXPECT_EQ(Focused(), Find<QLineEdit>(&Adjust(), "LeftHeadIDInputEdit"));

  Type("LeftHeadIDInputEdit", "21a2b3c4d5e12");
  EXPECT_EQ(EditText("LeftHeadIDInputEdit"), "21A2B3C4D5E12");
  Screenshot(Adjust(), "head-id-input");
  Press("HeadIDInputOKBtn");
  EXPECT_EQ(Memo(), "13 digits that you typed  \"21A2B3C4D5E12\"  were correctly registered.");
  EXPECT_EQ(MemoColor(), kBlack);
  EXPECT_EQ(Adjust().AdjustedItemText(AdjustedItem::HeadId), "21A2B3C4D5E12");
  // The first character and the twelfth sit apart from the five pairs.
  EXPECT_EQ(Printer().Eeprom(0xAF), 0x02);
  EXPECT_EQ(Printer().Eeprom(0xAE), 0x01);

  Press("HeadIDInputRtnBtn");
  ASSERT_TRUE(Shown("HeadIDItemsPnl"));
  Choose("HdVolRdoBtn", 1);
  Press("HdVolOKBtn");
  EXPECT_TRUE(Shown("HeadIDItemsPnl"));
  EXPECT_EQ(Memo(), "Head ID = 21A2B3C4D5E12");
}

TEST_F(IdentityPanels, RejectedHeadIdKeepsTheTextAndTheFocus) {
  Item("AdjustRdoGrp", 1);
  Press("HdVolOKBtn");
  const auto before = Printer().EepromImage();
  Type("LeftHeadIDInputEdit", "21A2B3C4D5E13");
  Press("HeadIDInputOKBtn");
  EXPECT_EQ(Memo(), "Check ID is invalid.");
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_EQ(EditText("LeftHeadIDInputEdit"), "21A2B3C4D5E13");
  EXPECT_EQ(Focused(), Find<QLineEdit>(&Adjust(), "LeftHeadIDInputEdit"));
  EXPECT_EQ(Printer().EepromImage(), before);
  EXPECT_EQ(Adjust().AdjustedItemText(AdjustedItem::HeadId), "");
  EXPECT_EQ(Find<QLineEdit>(&Adjust(), "LeftHeadIDInputEdit")->maxLength(), 13);
}

// "Previous" is no cancel button: Esc on an entry panel is the window's "Quit".
TEST_F(IdentityPanels, EscapeOnAnEntryPanelAnswersAsQuit) {
  Item("AdjustRdoGrp", 1);
  Press("HdVolOKBtn");
  ASSERT_TRUE(Shown("HeadIDInputPnl"));
  Adjust().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Adjust()));
  QTest::keyClick(&Adjust(), Qt::Key_Escape);
  EXPECT_FALSE(Adjust().isVisible());
  EXPECT_TRUE(Quit().isVisible());
}

TEST_F(IdentityPanels, OriginalUsbIdShowsWhatThePrinterHolds) {
  Item("AdjustRdoGrp", 6);
  ASSERT_TRUE(Shown("USBIDItemsPnl"));
  EXPECT_EQ(Find<RadioGroup>(&Adjust(), "USBIDRdoGrp")->ItemIndex(), 0);
  Press("UsbIdOKBtn");
  ASSERT_TRUE(Shown("USBIDInputPnl"));
  EXPECT_EQ(Focused(), Find<QLineEdit>(&Adjust(), "OriginalUsbIdInputEdit"));
  Screenshot(Adjust(), "usb-id-input");

  Type("OriginalUsbIdInputEdit", "Q30ABC0001AA99T010");
  Press("UsbIdInputOKBtn");
  EXPECT_EQ(Memo(),
            "As USB ID, \"Q30ABC0001AA99T010\" has been registered in EEPROM.\n"
            "USB ID = Q30ABC0001AA99T010");
  EXPECT_EQ(UsbIdBytes(), "Q30ABC0001AA99T010");
  EXPECT_EQ(Field("ShowUSBIDLbl"), "Q30ABC0001 AA99T010");

  Press("UsbIdInputRtnBtn");
  Choose("USBIDRdoGrp", 1);
  Press("UsbIdOKBtn");
  EXPECT_EQ(Memo(), "USB ID = Q30ABC0001AA99T010");
}

TEST_F(IdentityPanels, SerialNumberGetsADateCodeAndTheFieldSplitsThem) {
  Item("AdjustRdoGrp", 6);
  Press("UsbIdOKBtn");
  Type("UsbIdInputEdit", "Q30ABC0001");
  Press("UsbIdInputOKBtn");
  const std::string stored = UsbIdBytes();
  ASSERT_EQ(stored.substr(0, 10), "Q30ABC0001");
  const QString dateCode = QString::fromStdString(stored.substr(10));
  EXPECT_EQ(dateCode.size(), 8);
  EXPECT_EQ(Memo(), "As USB ID, \"Q30ABC0001" + dateCode + "\" has been registered in EEPROM.");
  EXPECT_EQ(Field("ShowUSBIDLbl"), "Q30ABC0001 " + dateCode);
}

TEST_F(IdentityPanels, UsbIdWantsExactlyOneOfTheTwoEntries) {
  Item("AdjustRdoGrp", 6);
  Press("UsbIdOKBtn");
  const auto before = Printer().EepromImage();
  Type("OriginalUsbIdInputEdit", "Q30ABC0001AA99T010");
  Type("UsbIdInputEdit", "Q30ABC0001");
  Press("UsbIdInputOKBtn");
  EXPECT_EQ(Memo().split('\n').size(), 2);
  EXPECT_TRUE(Memo().startsWith("Input data is wrong.\n"));
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_EQ(Printer().EepromImage(), before);

  Type("OriginalUsbIdInputEdit", "");
  Type("UsbIdInputEdit", "");
  Press("UsbIdInputOKBtn");
  EXPECT_EQ(Memo(), "");
  EXPECT_EQ(Printer().EepromImage(), before);

  // A faulty ID is told in the USB ID words and writes nothing.
  Type("OriginalUsbIdInputEdit", "Q30ABC0001AA99T01");
  Press("UsbIdInputOKBtn");
  EXPECT_EQ(MemoColor(), kRed);
  EXPECT_NE(Memo(), "");
  EXPECT_EQ(Printer().EepromImage(), before);
  EXPECT_EQ(Field("ShowUSBIDLbl"), "");
}

// vantorctl in this process, on a virtual printer of its own kept in a state file.
struct CtlRun {
  int status;
  std::string out;
  sim::EepromBytes eeprom;
};

CtlRun RunVantorctl(const std::filesystem::path& state, std::vector<std::string> args) {
  args.insert(args.begin(), "--virtual=" + state.string());
  const test::CliOutcome outcome = test::RunVantorctl(std::move(args));
  CtlRun run{outcome.status, outcome.out, {}};
  std::ifstream(state, std::ios::binary)
      .read(reinterpret_cast<char*>(run.eeprom.data()), std::streamsize(run.eeprom.size()));
  return run;
}

// The same lower-case entry through the window and through vantorctl: same bytes, same words.
class IdentityBothFrontEnds : public IdentityPanels {
 protected:
  void SetUp() override {
    IdentityPanels::SetUp();
    state_ = std::filesystem::temp_directory_path() /
             ("identity-both-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
              "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".bin");
    std::filesystem::remove(state_);
  }
  void TearDown() override {
    IdentityPanels::TearDown();
    std::filesystem::remove(state_);
  }
  // The memo's lines as the terminal prints them.
  std::string MemoLines() { return Memo().toStdString() + "\n"; }
  void ExpectSameBytes(const CtlRun& ctl, int first, int last) {
    for (int a = first; a <= last; ++a)
      EXPECT_EQ(Printer().Eeprom(std::uint8_t(a)), ctl.eeprom[std::size_t(a)]) << "address " << a;
  }

  std::filesystem::path state_;
};

TEST_F(IdentityBothFrontEnds, HeadId) {
  Item("AdjustRdoGrp", 1);
  Press("HdVolOKBtn");
  Type("LeftHeadIDInputEdit", "21a2b3c4d5e12");
  Press("HeadIDInputOKBtn");
  const CtlRun ctl = RunVantorctl(state_, {"head-id", "set", "21a2b3c4d5e12"});

  ASSERT_EQ(ctl.status, cli::kExitOk);
  EXPECT_EQ(MemoLines(), ctl.out);
  EXPECT_EQ(ctl.out, "13 digits that you typed  \"21A2B3C4D5E12\"  were correctly registered.\n");
  // A=2 at 0xAF, the five pairs at 0xA0-0xA4, G=1 at 0xAE.
  const std::uint8_t expected[] = {0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ctl.eeprom[std::size_t(0xA0 + i)], expected[i]);
  EXPECT_EQ(ctl.eeprom[0xAE], 0x01);
  EXPECT_EQ(ctl.eeprom[0xAF], 0x02);
  ExpectSameBytes(ctl, 0xA0, 0xAF);
  EXPECT_EQ(Adjust().AdjustedItemText(AdjustedItem::HeadId), "21A2B3C4D5E12");
}

// Both read the ID back after the write and show what the printer now holds.
TEST_F(IdentityBothFrontEnds, OriginalUsbId) {
  Item("AdjustRdoGrp", 6);
  Press("UsbIdOKBtn");
  Type("OriginalUsbIdInputEdit", "q30abc0001aa99t010");
  EXPECT_EQ(EditText("OriginalUsbIdInputEdit"), "Q30ABC0001AA99T010");
  Press("UsbIdInputOKBtn");
  const CtlRun ctl = RunVantorctl(state_, {"usb-id", "set", "q30abc0001aa99t010"});

  ASSERT_EQ(ctl.status, cli::kExitOk);
  EXPECT_EQ(MemoLines(), ctl.out);
  EXPECT_EQ(ctl.out,
            "As USB ID, \"Q30ABC0001AA99T010\" has been registered in EEPROM.\n"
            "USB ID = Q30ABC0001AA99T010\n");
  EXPECT_EQ(std::string(ctl.eeprom.begin() + 0xC2, ctl.eeprom.begin() + 0xD4),
            "Q30ABC0001AA99T010");
  ExpectSameBytes(ctl, 0xC2, 0xD3);
  EXPECT_EQ(Field("ShowUSBIDLbl"), "Q30ABC0001 AA99T010");
}

// The date codes come from two clocks; the serial numbers and the lines' shape match.
TEST_F(IdentityBothFrontEnds, SerialNumber) {
  Item("AdjustRdoGrp", 6);
  Press("UsbIdOKBtn");
  Type("UsbIdInputEdit", "a12345678z");
  EXPECT_EQ(EditText("UsbIdInputEdit"), "A12345678Z");
  Press("UsbIdInputOKBtn");
  const CtlRun ctl = RunVantorctl(state_, {"usb-id", "serial", "a12345678z"});

  ASSERT_EQ(ctl.status, cli::kExitOk);
  EXPECT_EQ(std::string(ctl.eeprom.begin() + 0xC2, ctl.eeprom.begin() + 0xCC), "A12345678Z");
  ExpectSameBytes(ctl, 0xC2, 0xCB);
  const std::string windowCode = UsbIdBytes().substr(10);
  const std::string ctlCode(ctl.eeprom.begin() + 0xCC, ctl.eeprom.begin() + 0xD4);
  EXPECT_EQ(MemoLines(),
            "As USB ID, \"A12345678Z" + windowCode + "\" has been registered in EEPROM.\n");
  EXPECT_EQ(ctl.out, "As USB ID, \"A12345678Z" + ctlCode + "\" has been registered in EEPROM.\n");
  EXPECT_EQ(Field("ShowUSBIDLbl"), QString::fromStdString("A12345678Z " + windowCode));
}

}  // namespace
}  // namespace vantor::test
