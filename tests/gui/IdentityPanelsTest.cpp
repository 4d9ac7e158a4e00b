#include <QLineEdit>
#include <QTabWidget>
#include <filesystem>
#include <fstream>

#include "tests/gui/WorkflowSteps.h"

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
  EXPECT_EQ(Memo(), "As USB ID, \"Q30ABC0001AA99T010\" has been registered in EEPROM.");
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
  EXPECT_EQ(Memo(), "Input data is wrong.");
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

}  // namespace
}  // namespace vantor::test
