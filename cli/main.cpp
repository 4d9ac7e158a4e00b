#include <iostream>

#include "cli/Cli.h"

#ifdef VANTOR_HAVE_RENDER_COMMANDS
namespace vantor::cli {
void AddRenderCommands(Cli& cli);  // render
}
#endif

#ifdef VANTOR_HAVE_EXCHANGE_COMMANDS
namespace vantor::cli {
void AddExchangeCommands(Cli& cli);  // exchange
}
#endif

int main(int argc, char** argv) {
  vantor::cli::Cli cli;
  vantor::cli::AddLinkCommands(cli);
#ifdef VANTOR_HAVE_VIRTUAL_COMMANDS
  vantor::cli::AddVirtualPrinterCommands(cli);
#endif
#ifdef VANTOR_HAVE_IDS_COMMANDS
  vantor::cli::AddIdsCommands(cli);
#endif
#ifdef VANTOR_HAVE_PRINT_COMMANDS
  vantor::cli::AddPrintCommands(cli);
#endif
#ifdef VANTOR_HAVE_PORT_COMMANDS
  vantor::cli::AddPortCommands(cli);
#endif
#ifdef VANTOR_HAVE_RENDER_COMMANDS
  vantor::cli::AddRenderCommands(cli);
#endif
#ifdef VANTOR_HAVE_EXCHANGE_COMMANDS
  vantor::cli::AddExchangeCommands(cli);
#endif
  return cli.Run(argc, argv, std::cout, std::cerr);
}
