#include <cstdlib>

#include "tests/support/Environment.h"

namespace vantor::test {

void SetEnvironment(const std::string& name, const std::string& value) {
  ::_putenv_s(name.c_str(), value.c_str());
}

}  // namespace vantor::test
