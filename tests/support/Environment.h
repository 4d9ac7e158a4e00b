// Setting an environment variable for the rest of the test program, on either platform.
#pragma once

#include <string>

namespace vantor::test {

void SetEnvironment(const std::string& name, const std::string& value);
// Points the programs' data folder (service records, backups) below `folder`.
void SetDataHome(const std::string& folder);
// The Windows build, where a few cases cannot run: they need POSIX devices such as /dev/full.
bool OnWindows();

}  // namespace vantor::test
