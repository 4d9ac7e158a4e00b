// The waiting line says how long the longer printer work takes, and the virtual printer takes
// about that long: the figures are held to it here, on the virtual clock.
#include <QTabWidget>
#include <functional>

#include "adjust/panels/WaitEstimates.h"
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
    waitLbl_ = Find<QLabel>(&Adjust(), "WaitLbl");
    sampled_.sample = [this] {
      if (!waitLbl_->isVisible()) return;
      if (lines_.isEmpty()) firstMs_ = sampled_.NowMs();
      lastMs_ = sampled_.NowMs();
      lines_.append(waitLbl_->text());
    };
  }
  // Presses the button; the waiting line's last text, and how long the work took.
  QString Run(const char* button, int& seconds) {
    lines_.clear();
    const std::int64_t start = sampled_.NowMs();
    Press(button);
    seconds = int((sampled_.NowMs() - start) / 1000);
    return lines_.isEmpty() ? QString() : lines_.last();
  }
  static QString Of(int expected) { return QString(" s of about %1 s").arg(expected); }

  SampledClock sampled_;
  QLabel* waitLbl_ = nullptr;
  QStringList lines_;
  std::int64_t firstMs_ = 0, lastMs_ = 0;
};

// Within a quarter of the figure either way.
void ExpectNear(int seconds, int expected, const char* what) {
  EXPECT_GE(seconds, expected * 3 / 4) << what;
  EXPECT_LE(seconds, expected * 5 / 4) << what;
}

TEST_F(WaitLine, CleaningAndInkChargeSayHowLong) {
  Find<QTabWidget>(&Adjust(), "AdjustmentTab")->setCurrentIndex(1);
  const struct {
    int item;
    const char* button;
    int expected;
  } cases[] = {{0, "CleaningOKBtn", wait::kCleaning}, {1, "ChargeOKBtn", wait::kInkCharge}};
  for (const auto& c : cases) {
    Item("MaintRdoGrp", c.item);
    int seconds = 0;
    const QString line = Run(c.button, seconds);
    EXPECT_TRUE(line.endsWith(Of(c.expected))) << c.button << ": " << line.toStdString();
    ExpectNear(seconds, c.expected, c.button);
  }
}

TEST_F(WaitLine, PatternPrintsSayHowLong) {
  const struct {
    int item;
    const char* button;
    int expected;
  } cases[] = {{4, "BidOKBtn", wait::kBidPattern},
               {5, "PFOKBtn", wait::kPfPattern},
               {7, "TopMarginMainBtn", wait::kTopMarginPattern}};
  for (const auto& c : cases) {
    Item("AdjustRdoGrp", c.item);
    int seconds = 0;
    const QString line = Run(c.button, seconds);
    EXPECT_TRUE(line.endsWith(Of(c.expected))) << c.button << ": " << line.toStdString();
    ExpectNear(seconds, c.expected, c.button);
  }
}

TEST_F(WaitLine, CrMeasurementSaysHowLong) {
  Item("AdjustRdoGrp", 2);
  for (const char* box : {"ReplaceCRMotorCheckBox", "ReplaceCRMainShaftCheckBox"})
    Find<QCheckBox>(&Adjust(), box)->setChecked(true);
  dialogs_.answers.push_back(true);
  int seconds = 0;
  const QString line = Run("CRHeatProtectOffsetOKBtn", seconds);
  EXPECT_TRUE(line.endsWith(Of(wait::kCrMeasurement))) << line.toStdString();
  ExpectNear(seconds, wait::kCrMeasurement, "CR measurement");
}

TEST_F(WaitLine, EveryExchangeStepNamesItsCycleAndWhatIsLeft) {
  Find<QTabWidget>(&Adjust(), "AdjustmentTab")->setCurrentIndex(1);
  Item("MaintRdoGrp", 2);
  int seconds = 0;
  EXPECT_TRUE(Run("MessageOKBtn", seconds).endsWith(wait::ExchangeContext(1, true)));
  int total = seconds;
  for (int cycle = 1; cycle <= 4; ++cycle) {
    EXPECT_EQ(Find<QLabel>(&Adjust(), "ExchangeLeftLbl1")->text(),
              wait::ExchangeContext(cycle, true));
    const QString air = Run("CRmoveBtn", seconds);
    EXPECT_TRUE(air.contains(Of(wait::kAirExchange) + "  -  " + wait::ExchangeContext(cycle, true)))
        << air.toStdString();
    ExpectNear(seconds, wait::kAirExchange, "air exchange");
    total += seconds;
    EXPECT_EQ(Find<QLabel>(&Adjust(), "ExchangeLeftLbl2")->text(),
              wait::ExchangeContext(cycle, false));
    const QString liquid = Run("CRreturnBtn", seconds);
    EXPECT_TRUE(liquid.contains(wait::ExchangeContext(cycle, false))) << liquid.toStdString();
    ExpectNear(seconds, wait::kLiquidCleaning, "liquid cleaning");
    total += seconds;
  }
  // The whole sequence's printer work, as the first step announced it.
  ExpectNear(total, wait::ExchangeSecondsLeft(1, true), "whole exchange");
}

}  // namespace
}  // namespace vantor::test
