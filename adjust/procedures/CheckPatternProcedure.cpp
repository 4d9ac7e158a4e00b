#include "adjust/procedures/CheckPatternProcedure.h"

#include "adjust/procedures/PrintJob.h"

namespace vantor::procedures {

namespace {
constexpr std::string_view kPrinting = "Now A4 pattern is printing.";
}  // namespace

ReportedResult PrintA4CheckPattern(Reporter& reporter, Raster& raster) {
  VANTOR_TRY(reporter.ShowMessage(MessageKind::Busy, kPrinting));
  VANTOR_TRY(ReportedJob(reporter, [&]() -> Result {
    VANTOR_TRY(RemoteModeBlock(reporter.GetLink().remote));
    LinkAccess& access = AccessOf(raster);
    // Every readout is taken before anything prints.
    VANTOR_TRY(access.WaitUntilReady());
    CheckReadouts readouts;
    VANTOR_TRY(access.ReadCheckReadouts(readouts));
    return raster.PrintCheckPattern(readouts, access);
  }));
  return reporter.ShowMessage(MessageKind::Done, kCompletionOfPrinting);
}

}  // namespace vantor::procedures
