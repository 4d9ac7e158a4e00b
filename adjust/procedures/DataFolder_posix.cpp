#include <cstdlib>
#include <filesystem>

#include "adjust/procedures/ReportSettings.h"
#include "adjust/procedures/ServiceRecord.h"

namespace vantor::procedures {

std::string DataFolder() {
  namespace fs = std::filesystem;
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/') {
    return (fs::path(xdg) / "vantor-adjust").string();
  }
  const char* home = std::getenv("HOME");
  return (fs::path(home ? home : ".") / ".local" / "share" / "vantor-adjust").string();
}

std::string ConfigFolder() {
  namespace fs = std::filesystem;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/') {
    return (fs::path(xdg) / "vantor-adjust").string();
  }
  const char* home = std::getenv("HOME");
  return (fs::path(home ? home : ".") / ".config" / "vantor-adjust").string();
}

}  // namespace vantor::procedures
