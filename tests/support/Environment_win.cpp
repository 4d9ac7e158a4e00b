#include <cstdlib>

#include "tests/support/Environment.h"

namespace vantor::test {

void SetEnvironment(const std::string& name, const std::string& value) {
  ::_putenv_s(name.c_str(), value.c_str());
}

void SetDataHome(const std::string& folder) {
  SetEnvironment("APPDATA", folder);
}

bool OnWindows() {
  return true;
}

}  // namespace vantor::test
