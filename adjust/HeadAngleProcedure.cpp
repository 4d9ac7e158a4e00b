#include "adjust/HeadAngleProcedure.h"

#include "adjust/PrintJob.h"

namespace vantor::procedures {

namespace {
constexpr std::string_view kPrinting = "Now head angle pattern is printing.";
}  // namespace

Result PrintHeadAngleCheck(Reporter& reporter, Raster& raster) {
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

Result EjectHeadAngleSheet(Reporter& reporter, Raster& raster) {
  return ReportedJob(reporter, [&] { return raster.FormFeed(); });
}

}  // namespace vantor::procedures
