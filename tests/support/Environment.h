// Setting an environment variable for the rest of the test program, on either platform.
#pragma once

#include <string>

namespace vantor::test {

void SetEnvironment(const std::string& name, const std::string& value);

}  // namespace vantor::test
