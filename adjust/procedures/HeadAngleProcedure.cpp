#include "adjust/procedures/HeadAngleProcedure.h"

#include "adjust/procedures/PrintJob.h"

namespace vantor::procedures {

namespace {
constexpr std::string_view kPrinting = "Now head angle pattern is printing.";
}  // namespace

ReportedResult PrintHeadAngleCheck(Reporter& reporter, Raster& raster) {
  VANTOR_TRY(reporter.ShowMessage(MessageKind::Busy, kPrinting));
  Link& link = reporter.GetLink();
  VANTOR_TRY(ReportedJob(reporter, [&]() -> Result {
    VANTOR_TRY(link.channel.WaitUntilReady());
    VANTOR_TRY(link.factory.FactoryCommandD1(0x00));
    VANTOR_TRY(raster.PrintHeadAngularPattern(AccessOf(raster)));
    VANTOR_TRY(raster.InitPrinter());
    VANTOR_TRY(link.factory.FactoryCommandCB());
    return link.factory.FactoryCommandD1(0xFF);
  }));
  return reporter.ShowMessage(MessageKind::Done, kCompletionOfPrinting);
}

ReportedResult EjectHeadAngleSheet(Reporter& reporter, Raster& raster) {
  return ReportedJob(reporter, [&] { return raster.FormFeed(); });
}

HeadAngleWatch WatchHeadAngleStatus(Reporter& reporter) {
  PacketChannel& channel = reporter.GetLink().channel;
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

Result AwaitEndOfCleaning(Reporter& reporter) {
  return ReportedJob(reporter, [&] { return reporter.GetLink().channel.PollUntilReady(); });
}

}  // namespace vantor::procedures
