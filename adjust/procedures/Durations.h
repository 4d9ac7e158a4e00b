// How long the printer's longer work takes at its usual pace, for the procedures to announce:
// from the pace the virtual printer keeps (link/PrinterPace.h), the link's own pauses, and the
// print jobs' generators run against that pace.
#pragma once

#include <cstdint>

#include "adjust/procedures/Messages.h"

namespace vantor::procedures::durations {

// Whole seconds, rounded up.
constexpr int Seconds(std::int64_t ms) {
  return static_cast<int>((ms + 999) / 1000);
}

ExpectedWork Cleaning();
ExpectedWork InkCharge();
ExpectedWork CrMeasurement();
// The cleaning the ink switch starts at the end of the head-angle steps.
ExpectedWork SwitchCleaning();
ExpectedWork BidPrint();
ExpectedWork PfPrint();
ExpectedWork TopMarginPrint();
ExpectedWork HeadAnglePrint();
ExpectedWork A4CheckPattern();

}  // namespace vantor::procedures::durations
