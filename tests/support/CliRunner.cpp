#include "tests/support/CliRunner.h"

#include <iostream>
#include <sstream>

#include "cli/Cli.h"
#include "cli/Commands.h"

namespace vantor::test {

CliOutcome RunVantorctl(std::vector<std::string> args, const std::string& input) {
  args.insert(args.begin(), "vantorctl");
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  cli::Cli cli;
  cli::AddAllCommands(cli);
  std::istringstream in(input);
  std::streambuf* const saved = std::cin.rdbuf(in.rdbuf());
  std::ostringstream out, err;
  // Offline commands write to the process's own standard output.
  std::streambuf* const savedOut = std::cout.rdbuf(out.rdbuf());
  std::streambuf* const savedErr = std::cerr.rdbuf(err.rdbuf());
  const int status = cli.Run(static_cast<int>(argv.size()), argv.data(), out, err);
  std::cerr.rdbuf(savedErr);
  std::cout.rdbuf(savedOut);
  std::cin.rdbuf(saved);
  return {status, out.str(), err.str()};
}

}  // namespace vantor::test
