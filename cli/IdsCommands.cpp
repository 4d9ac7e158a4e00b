// head-id and usb-id: read, register and check the identity data as the adjustment window does.
#include <memory>
#include <string>

#include "adjust/procedures/IdentityProcedure.h"
#include "adjust/procedures/SharedIds.h"
#include "cli/Cli.h"

namespace vantor::cli {

void AddIdsCommands(Cli& cli) {
  CLI::App& app = cli.App();

  auto* headId = app.add_subcommand("head-id", "Show the print head's ID, or register a new one");
  auto* headIdSet = headId->add_subcommand("set", "Register the 13-character head ID");
  auto headIdText = std::make_shared<std::string>();
  headIdSet->add_option("TEXT", *headIdText, "The head ID as printed on the head")->required();
  cli.AddCommand(headId, [headIdSet, headIdText](Session& session) {
    // The modules' words are registered for this command only.
    SharedIds ids;
    ids.Attach(session.reporter);
    std::string id;
    if (headIdSet->parsed())
      return ExitForResult(
          procedures::RegisterHeadId(session.reporter, ids.HeadId(), *headIdText, id));
    return ExitForResult(procedures::ReadHeadId(session.reporter, ids.HeadId(), id));
  });

  auto* usbId = app.add_subcommand("usb-id", "Show the printer's USB ID, or register one");
  auto* usbIdSet = usbId->add_subcommand("set", "Register the original 18-character USB ID");
  auto usbIdText = std::make_shared<std::string>();
  usbIdSet->add_option("TEXT", *usbIdText, "The original USB ID")->required();
  auto* usbIdSerial = usbId->add_subcommand(
      "serial", "Register the 10-character serial number with a date code of this PC's clock");
  auto serialText = std::make_shared<std::string>();
  usbIdSerial->add_option("TEXT", *serialText, "The serial number")->required();
  usbId->require_subcommand(0, 1);
  cli.AddCommand(usbId, [usbIdSet, usbIdText, usbIdSerial, serialText](Session& session) {
    SharedIds ids;
    ids.Attach(session.reporter);
    std::string id;
    if (usbIdSet->parsed())
      return ExitForResult(procedures::RegisterUsbId(session.reporter, ids.UsbId(), *usbIdText, id));
    if (usbIdSerial->parsed()) {
      procedures::SerialRegistration registered;
      return ExitForResult(
          procedures::RegisterSerialNumber(session.reporter, ids.UsbId(), *serialText, registered));
    }
    return ExitForResult(procedures::ReadUsbId(session.reporter, ids.UsbId(), id));
  });
}

}  // namespace vantor::cli
