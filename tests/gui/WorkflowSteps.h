// Walking through a workflow as a technician: menu items, radio items, buttons, edits, and what
// reached the virtual printer's data channel.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <cstdint>
#include <string>
#include <vector>

#include "adjust/panels/RadioGroup.h"
#include "adjust/panels/WindowTimer.h"
#include "tests/gui/GuiHarness.h"

namespace vantor::test {

using Bytes = std::vector<std::uint8_t>;

// Keeps what the printer read off its data channel that the workflows' checks need.
class StreamRecord final : public sim::PrintStreamListener {
 public:
  void FactoryFrame(std::span<const std::uint8_t> body) override {
    frames.emplace_back(body.begin(), body.end());
  }
  void FormFeed() override { ++formFeeds; }
  void RemoteCommand(std::string_view name, std::span<const std::uint8_t> params) override {
    std::string line(name);
    for (std::uint8_t b : params) line += " " + std::to_string(b);
    remote.push_back(line);
  }
  // The frames other than EEPROM reads, which every print and "Adjust" makes many of.
  std::vector<Bytes> Commands() const {
    std::vector<Bytes> out;
    for (const Bytes& f : frames) {
      if (f.size() > 2 && f[2] != 0x41) out.push_back(f);
    }
    return out;
  }
  void Clear() {
    frames.clear();
    remote.clear();
    formFeeds = 0;
  }

  std::vector<Bytes> frames;
  std::vector<std::string> remote;
  int formFeeds = 0;
};

const QColor kBlack(Qt::black), kBlue(Qt::blue), kRed(Qt::red);

// "Input data is wrong." with the line under it that names the field.
inline QString Refused(const std::string& why) {
  return "Input data is wrong.\n" + QString::fromStdString(why);
}

// FinishAdjustWrite as the Q40 receives it: model bytes, 0x50, its complement, sub-code 0x28.
inline const Bytes kFinishAdjustWrite = {0x07, 0x4C, 0x50, 0xAF, 0x28};

class WorkflowTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    OpenAdjustment();
    Printer().SetPageListener(&stream_);
  }
  void TearDown() override {
    Printer().SetPageListener(nullptr);
    GuiTest::TearDown();
  }

  // A done message leaves the window disabled until the next tick of DisableTimer; the
  // technician waits that second before the next click.
  void Settle() {
    WindowTimer& disable = Adjust().Timer(WindowTimerId::Disable);
    if (disable.IsActive()) disable.Tick();
  }
  void Item(const char* menu, int index) {
    Settle();
    QRadioButton* button = Find<RadioGroup>(&Adjust(), menu)->Button(index);
    ASSERT_NE(button, nullptr);
    button->click();
  }
  void MenuItem(const char* menu, int index) { Item(menu, index); }
  void Choose(const char* group, int index) {
    Settle();
    QRadioButton* button = Find<RadioGroup>(&Adjust(), group)->Button(index);
    ASSERT_NE(button, nullptr);
    button->click();
  }
  void Press(const char* button) {
    Settle();
    Click(&Adjust(), button);
  }
  void Type(const char* edit, const QString& text) {
    auto* e = Find<QLineEdit>(&Adjust(), edit);
    e->selectAll();
    e->del();
    QTest::keyClicks(e, text);
  }
  // One click on a spin control's arrow.
  void Spin(const char* upDown, int direction) {
    const QString arrow = QString(upDown) + (direction > 0 ? "Up" : "Down");
    auto* button = Adjust().findChild<QToolButton*>(arrow);
    ASSERT_NE(button, nullptr) << arrow.toStdString();
    QTest::mouseClick(button, Qt::LeftButton);
  }
  QString EditText(const char* edit) { return Find<QLineEdit>(&Adjust(), edit)->text(); }
  bool Checked(const char* box) { return Find<QCheckBox>(&Adjust(), box)->isChecked(); }
  bool Shown(const char* panel) { return Find<QWidget>(&Adjust(), panel)->isVisible(); }
  QString Field(const char* name) { return Find<QLabel>(&Adjust(), name)->text(); }
  bool Locked() { return !Find<QWidget>(&Adjust(), "AdjustmentTab")->isEnabled(); }

  StreamRecord stream_;
};

}  // namespace vantor::test
