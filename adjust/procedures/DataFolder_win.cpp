#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <cstdlib>
#include <filesystem>

#include "adjust/procedures/ReportSettings.h"
#include "adjust/procedures/ServiceRecord.h"

namespace vantor::procedures {

// %APPDATA%\vantor-adjust: the variable first, so a bench (or a test) can move it.
std::string DataFolder() {
  namespace fs = std::filesystem;
  if (const wchar_t* appData = _wgetenv(L"APPDATA"); appData && *appData) {
    return (fs::path(appData) / "vantor-adjust").string();
  }
  fs::path base = ".";
  PWSTR known = nullptr;
  if (SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &known) == S_OK) base = known;
  CoTaskMemFree(known);
  return (base / "vantor-adjust").string();
}

// Settings stay with the records: one folder for the technician to carry to another machine.
std::string ConfigFolder() {
  return DataFolder();
}

}  // namespace vantor::procedures
