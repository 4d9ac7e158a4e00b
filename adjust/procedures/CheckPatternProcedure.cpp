#include "adjust/procedures/CheckPatternProcedure.h"

#include "adjust/procedures/Durations.h"
#include "adjust/procedures/PrintJob.h"

namespace vantor::procedures {

namespace {
constexpr std::string_view kPrinting = "Now A4 pattern is printing.";
}  // namespace

Result PrintA4CheckPattern(ProcedureContext& context) {
  Reporter& reporter = context.reporter;
  const AnnouncedWork work(reporter, durations::A4CheckPattern());
  VANTOR_TRY(reporter.ShowMessage(MessageKind::Busy, kPrinting));
  VANTOR_TRY(ReportedJob(reporter, [&]() -> Result {
    VANTOR_TRY(RemoteModeBlock(context.link.remote));
    LinkAccess& access = context.access;
    // Every readout is taken before anything prints.
    VANTOR_TRY(access.WaitUntilReady());
    CheckReadouts readouts;
    VANTOR_TRY(access.ReadCheckReadouts(readouts));
    return context.raster.PrintCheckPattern(readouts, access);
  }));
  return reporter.ShowMessage(MessageKind::Done, kCompletionOfPrinting);
}

}  // namespace vantor::procedures
