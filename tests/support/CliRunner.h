// vantorctl in-process, with every command group registered as the program has them.
#pragma once

#include <string>
#include <vector>

namespace vantor::test {

struct CliOutcome {
  int status;
  std::string out;
  std::string err;
};

// args follow the program name; input is what the technician types.
CliOutcome RunVantorctl(std::vector<std::string> args, const std::string& input = "");

}  // namespace vantor::test
