// The one list of vantorctl's command groups; each group lives in its own file and registers its
// commands with the Cli. The manual pages' list in packaging/ is held to 'vantorctl help' by a
// test.
#include "cli/Commands.h"

#include "cli/Cli.h"

namespace vantor::cli {

void AddLinkCommands(Cli& cli);
void AddEepromBackupCommands(Cli& cli);
void AddIdsCommands(Cli& cli);
void AddPrintCommands(Cli& cli);
void AddSuggestCommands(Cli& cli);
void AddExchangeCommands(Cli& cli);
void AddRenderCommands(Cli& cli);
void AddVirtualPrinterCommands(Cli& cli);
void AddPortCommands(Cli& cli);
void AddHelpCommand(Cli& cli);
void AddCompletionCommands(Cli& cli);

namespace {

// In the order vantorctl lists them.
constexpr void (*kGroups[])(Cli&) = {
    AddLinkCommands,            // status, eeprom, counters, clean, ink-charge, cr-dispersion
    AddEepromBackupCommands,    // eeprom backup/diff/restore, history, report
    AddIdsCommands,             // head-id, usb-id
    AddPrintCommands,           // bid, pf, top-margin, head-angle, check-pattern
    AddSuggestCommands,         // bid suggest, pf suggest
    AddExchangeCommands,        // exchange
    AddRenderCommands,          // render
    AddVirtualPrinterCommands,  // serve-virtual
    AddPortCommands,            // ports
    AddHelpCommand,             // help [COMMAND...]
    AddCompletionCommands,      // completion bash (hidden)
};

}  // namespace

void AddAllCommands(Cli& cli) {
  for (const auto add : kGroups) add(cli);
}

}  // namespace vantor::cli
