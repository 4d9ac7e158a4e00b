#include <iostream>

#include "cli/Cli.h"

int main(int argc, char** argv) {
  vantor::cli::Cli cli;
  vantor::cli::AddLinkCommands(cli);
  vantor::cli::AddEepromBackupCommands(cli);
  vantor::cli::AddIdsCommands(cli);
  vantor::cli::AddPrintCommands(cli);
  vantor::cli::AddExchangeCommands(cli);
  vantor::cli::AddRenderCommands(cli);
  vantor::cli::AddVirtualPrinterCommands(cli);
  vantor::cli::AddPortCommands(cli);
  return cli.Run(argc, argv, std::cout, std::cerr);
}
