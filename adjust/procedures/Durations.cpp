#include "adjust/procedures/Durations.h"

#include "link/FactoryCommands.h"
#include "link/PrinterPace.h"
#include "raster/Malraster.h"
#include "raster/PrintPace.h"

namespace vantor::procedures::durations {

namespace {

// The printer's own work, seen ready at the program's next status poll.
ExpectedWork PrinterWork(std::int64_t ms) {
  PrintPace pace;
  pace.Queue(ms);
  return {Seconds(pace.ElapsedMs()), {}};
}

// A print job as its procedure runs it, on the printer's pace instead of the printer.
template <typename Job>
ExpectedWork PrintJob(Job job) {
  PrintPace pace;
  Raster raster(pace);
  (void)job(raster, pace);
  return {Seconds(pace.ElapsedMs()), {}};
}

}  // namespace

ExpectedWork Cleaning() {
  return PrinterWork(pace::kCleaningMs);
}

ExpectedWork InkCharge() {
  return PrinterWork(pace::kInkChargeMs);
}

ExpectedWork CrMeasurement() {
  return PrinterWork(FactoryCommands::kCrPausesMs);
}

ExpectedWork SwitchCleaning() {
  return PrinterWork(pace::kSwitchCleaningMs);
}

ExpectedWork BidPrint() {
  return PrintJob([](Raster& raster, PrintPace& pace) {
    VANTOR_TRY(raster.PrintBidPattern(StoredBid{}, pace));
    return raster.FormFeed();
  });
}

ExpectedWork PfPrint() {
  return PrintJob([](Raster& raster, PrintPace&) {
    VANTOR_TRY(raster.PrintPfCandidates([](std::int8_t) { return kOk; }));
    return raster.FormFeed();
  });
}

ExpectedWork TopMarginPrint() {
  return PrintJob(
      [](Raster& raster, PrintPace& pace) { return raster.PrintTopMarginPattern(0, pace); });
}

ExpectedWork HeadAnglePrint() {
  return PrintJob([](Raster& raster, PrintPace& pace) {
    VANTOR_TRY(pace.FactoryCommandD1(0x00));
    VANTOR_TRY(raster.PrintHeadAngularPattern(pace));
    VANTOR_TRY(pace.FactoryCommandCB());
    return pace.FactoryCommandD1(0xFF);
  });
}

ExpectedWork A4CheckPattern() {
  return PrintJob(
      [](Raster& raster, PrintPace& pace) { return raster.PrintCheckPattern({}, pace); });
}

}  // namespace vantor::procedures::durations
