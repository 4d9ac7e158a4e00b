#include <iostream>

#include "cli/Cli.h"
#include "cli/Commands.h"

int main(int argc, char** argv) {
  vantor::cli::Cli cli;
  vantor::cli::AddAllCommands(cli);
  return cli.Run(argc, argv, std::cout, std::cerr);
}
