// head-id and usb-id: read, register and check the identity data as the adjustment window does.
#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "adjust/procedures/IdentityProcedure.h"
#include "cli/Cli.h"

namespace vantor::cli {

void AddIdsCommands(Cli& cli) {
  CLI::App& app = cli.App();

  auto* headId = app.add_subcommand("head-id", "show the print head's ID, or register a new one");
  auto* headIdSet = headId->add_subcommand("set", "register the 13-character head ID");
  auto headIdText = std::make_shared<std::string>();
  headIdSet->add_option("ID", *headIdText, "the head ID as printed on the head")->required();
  cli.AddCommand(headId, [headIdSet, headIdText](Session& session) {
    // The modules' words are registered for this command only.
    std::string id;
    const Result r = headIdSet->parsed()
                         ? procedures::RegisterHeadId(session.context, *headIdText, id)
                         : procedures::ReadHeadId(session.context, id);
    if (r == kOk) session.report.Set("head_id", id);
    return ExitForResult(r);
  });

  auto* usbId = app.add_subcommand("usb-id", "show the printer's USB ID, or register one");
  auto* usbIdSet = usbId->add_subcommand("set", "register the original 18-character USB ID");
  auto usbIdText = std::make_shared<std::string>();
  usbIdSet->add_option("ID", *usbIdText, "the original USB ID")->required();
  auto* usbIdSerial = usbId->add_subcommand(
      "serial", "register the 10-character serial number with a date code of this PC's clock");
  auto serialText = std::make_shared<std::string>();
  usbIdSerial->add_option("SERIAL", *serialText, "the serial number")->required();
  usbId->require_subcommand(0, 1);
  cli.AddCommand(usbId, [usbIdSet, usbIdText, usbIdSerial, serialText](Session& session) {
    std::string id;
    if (usbIdSerial->parsed()) {
      procedures::SerialRegistration registered;
      const Result r = procedures::RegisterSerialNumber(session.context, *serialText, registered);
      if (r == kOk) {
        session.report.Set("serial", registered.serial);
        session.report.Set("date_code", registered.dateCode);
      }
      return ExitForResult(r);
    }
    // After a registration the ID is the one read back from the printer.
    const Result r = usbIdSet->parsed() ? procedures::RegisterUsbId(session.context, *usbIdText, id)
                                        : procedures::ReadUsbId(session.context, id);
    if (r == kOk) session.report.Set("usb_id", id);
    return ExitForResult(r);
  });
}

}  // namespace vantor::cli
