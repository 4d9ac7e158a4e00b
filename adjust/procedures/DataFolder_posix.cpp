#include <cstdlib>
#include <filesystem>

#include "adjust/procedures/ReportSettings.h"
#include "adjust/procedures/ServiceRecord.h"

namespace vantor::procedures {

namespace {
// The folder an XDG variable names (only when absolute, as the XDG base directory rules say), else
// the one under the home folder.
std::string XdgFolder(const char* variable, const char* underHome) {
  namespace fs = std::filesystem;
  if (const char* xdg = std::getenv(variable); xdg && *xdg == '/') {
    return (fs::path(xdg) / "vantor-adjust").string();
  }
  const char* home = std::getenv("HOME");
  return (fs::path(home ? home : ".") / underHome / "vantor-adjust").string();
}
}  // namespace

std::string DataFolder() {
  return XdgFolder("XDG_DATA_HOME", ".local/share");
}

std::string ConfigFolder() {
  return XdgFolder("XDG_CONFIG_HOME", ".config");
}

}  // namespace vantor::procedures
