// How long the printer's longer work takes, in seconds, so the waiting line can say "of
// about". A printer at its usual pace; a test holds the virtual printer to these figures.
#pragma once

#include <QString>

#include "adjust/panels/WorkflowModule.h"

namespace vantor::wait {

inline constexpr int kCleaning = 45;
inline constexpr int kInkCharge = 110;
// At least 31 s of waits inside the sequence, plus its transfers.
inline constexpr int kCrMeasurement = 35;
// The transportation liquid exchange, step by step.
inline constexpr int kExchangeStart = 3;
inline constexpr int kAirExchange = 48;
inline constexpr int kLiquidCleaning = 115;
inline constexpr int kExchangeCycles = 4;

// A pattern print: a quarter second a pass and three seconds a page eject.
constexpr int PatternSeconds(int passes, int ejects) {
  return (passes * 250 + ejects * 3000 + 999) / 1000;
}
// Bi-D: four dot types, three candidates each, eight passes a candidate, two pages; and about
// three seconds a dot type for the values set and the wait for ready before its block (as
// measured on the virtual printer at the usual pace).
inline constexpr int kBidPattern = PatternSeconds(4 * 3 * 8, 2) + 4 * 3;
// PF: nine candidates of four passes, one page.
inline constexpr int kPfPattern = PatternSeconds(9 * 4, 1);
// Top margin: one band of a few passes, two one-second pauses, one page (6 s of waits on the
// virtual printer at the usual pace).
inline constexpr int kTopMarginPattern = PatternSeconds(4, 1) + 2;
// Head angle: four passes, the sheet stays in.
inline constexpr int kHeadAnglePattern = PatternSeconds(4, 0);

// Printer work left in the exchange from the start of `cycle` (1..4), air exchange first when
// airNext, else the cleaning of that cycle.
inline int ExchangeSecondsLeft(int cycle, bool airNext) {
  const int whole = kExchangeCycles - cycle;
  return whole * (kAirExchange + kLiquidCleaning) + (airNext ? kAirExchange : 0) + kLiquidCleaning;
}

// "cycle 2 of 4, about 9 min left in all"
inline QString ExchangeContext(int cycle, bool airNext) {
  const int minutes = (ExchangeSecondsLeft(cycle, airNext) + 59) / 60;
  return QString("cycle %1 of %2, about %3 min left in all")
      .arg(cycle)
      .arg(kExchangeCycles)
      .arg(minutes);
}

// Runs work with the waiting line expecting `seconds`; the expectation ends with it.
template <class Work>
auto Expecting(WorkArea& area, int seconds, Work work, const QString& context = {}) {
  area.ExpectWait(seconds, context);
  auto result = work();
  area.ExpectWait(0);
  return result;
}

}  // namespace vantor::wait
