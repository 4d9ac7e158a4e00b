#include "adjust/procedures/HeadAngleProcedure.h"

#include "adjust/procedures/Durations.h"
#include "adjust/procedures/PrintJob.h"

namespace vantor::procedures {

namespace {
constexpr std::string_view kPrinting = "Now head angle pattern is printing.";
}  // namespace

Result PrintHeadAngleCheck(ProcedureContext& context) {
  Reporter& reporter = context.reporter;
  const AnnouncedWork work(reporter, durations::HeadAnglePrint());
  VANTOR_TRY(reporter.ShowMessage(MessageKind::Busy, kPrinting));
  Link& link = context.link;
  VANTOR_TRY(ReportedJob(reporter, [&]() -> Result {
    VANTOR_TRY(link.channel.WaitUntilReady());
    VANTOR_TRY(link.factory.FactoryCommandD1(0x00));
    VANTOR_TRY(context.raster.PrintHeadAngularPattern(context.access));
    VANTOR_TRY(context.raster.InitPrinter());
    VANTOR_TRY(link.factory.FactoryCommandCB());
    return link.factory.FactoryCommandD1(0xFF);
  }));
  return reporter.ShowMessage(MessageKind::Done, kCompletionOfPrinting);
}

Result EjectHeadAngleSheet(ProcedureContext& context) {
  Reporter& reporter = context.reporter;
  return ReportedJob(reporter, [&] { return context.raster.FormFeed(); });
}

HeadAngleWatch WatchHeadAngleStatus(ProcedureContext& context) {
  Reporter& reporter = context.reporter;
  PacketChannel& channel = context.link.channel;
  for (;;) {
    if (ReportedJob(reporter, [&] { return channel.ReadStatus(); }) != kOk)
      return HeadAngleWatch::ReadFailed;
    switch (channel.PrinterStatus()) {
      case kStatusCleaning:
        return HeadAngleWatch::Cleaning;
      case kStatusReady:
        return HeadAngleWatch::Ready;
      case kStatusError:
        return HeadAngleWatch::Error;
      case kStatusPrinting:
      case kStatusBusy:
      case kStatusNozzleCheck:
        continue;
      // Waiting on such a state would hold the window forever.
      default:
        return HeadAngleWatch::Unsettled;
    }
  }
}

Result AwaitEndOfCleaning(ProcedureContext& context) {
  Reporter& reporter = context.reporter;
  const AnnouncedWork work(reporter, durations::SwitchCleaning());
  reporter.StartWait();
  return ReportedJob(reporter, [&] { return context.link.channel.PollUntilReady(); });
}

}  // namespace vantor::procedures
