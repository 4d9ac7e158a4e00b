#include <cstdlib>

#include "tests/support/Environment.h"

namespace vantor::test {

void SetEnvironment(const std::string& name, const std::string& value) {
  ::setenv(name.c_str(), value.c_str(), 1);
}

void SetDataHome(const std::string& folder) {
  SetEnvironment("XDG_DATA_HOME", folder);
}

bool OnWindows() {
  return false;
}

}  // namespace vantor::test
