// The waiting line shows what the procedures announce: the figure, the exchange's cycle and the
// work left (as its step panel does), and the wait of a cleaning with no busy message of its own.
#include <QRegularExpression>
#include <QSet>
#include <QTabWidget>
#include <functional>

#include "tests/gui/WorkflowSteps.h"

namespace vantor::test {
namespace {

// The virtual clock, reading the waiting line at every wait of the program.
class SampledClock final : public Clock {
 public:
  void SleepMs(std::int64_t ms) override {
    clock_.SleepMs(ms);
    if (sample) sample();
  }
  std::int64_t NowMs() override { return clock_.NowMs(); }
  LocalDateTime LocalNow() override { return clock_.LocalNow(); }
  std::function<void()> sample;

 private:
  VirtualClock clock_;
};

class WaitLine : public WorkflowTest {
 protected:
  Clock& ProgramClock() override { return sampled_; }
  void SetUp() override {
    WorkflowTest::SetUp();
    auto* waitLbl = Find<QLabel>(&Adjust(), "WaitLbl");
    sampled_.sample = [this, waitLbl] {
      if (waitLbl->isVisible()) lines_.append(waitLbl->text());
    };
  }
  // The lines shown while the button's work ran.
  QStringList Run(const std::function<void()>& press) {
    lines_.clear();
    press();
    EXPECT_FALSE(Find<QLabel>(&Adjust(), "WaitLbl")->isVisible());
    return lines_;
  }

  SampledClock sampled_;
  QStringList lines_;
};

TEST_F(WaitLine, ExchangeStepShowsItsFigureCycleAndWorkLeft) {
  Find<QTabWidget>(&Adjust(), "AdjustmentTab")->setCurrentIndex(1);
  Item("MaintRdoGrp", 2);
  Press("MessageOKBtn");
  const QString left = Find<QLabel>(&Adjust(), "ExchangeLeftLbl1")->text();
  ASSERT_TRUE(left.startsWith("cycle 1 of 4, about ")) << left.toStdString();
  const QStringList lines = Run([&] { Press("CRmoveBtn"); });
  ASSERT_FALSE(lines.isEmpty());
  const QRegularExpression line("^Waiting for the printer: \\d+ s of about \\d+ s  -  " +
                                QRegularExpression::escape(left) + "$");
  for (const QString& l : lines) EXPECT_TRUE(line.match(l).hasMatch()) << l.toStdString();
}

// The ink switch's cleaning in the head-angle steps has no busy message; the line counts it.
TEST_F(WaitLine, CleaningAfterTheHeadAngleStepsIsCounted) {
  Item("AdjustRdoGrp", 3);
  Press("HdAngItemsOKBtn");
  Press("HdAngStep1OKBtn");
  Press("SusPlateSelectOKBtn");
  Printer().PressInkSwitch();
  const QStringList lines = Run([&] { Adjust().Timer(WindowTimerId::HeadAngGetStatus).Tick(); });
  const QRegularExpression counted("^Waiting for the printer: \\d+ s of about (\\d+) s$");
  QSet<QString> figures;
  for (const QString& l : lines) {
    const auto m = counted.match(l);
    ASSERT_TRUE(m.hasMatch()) << l.toStdString();
    figures.insert(m.captured(1));
  }
  // The cleaning's own figure, then the check print's after it.
  EXPECT_EQ(figures.size(), 2);
}

}  // namespace
}  // namespace vantor::test
