// The Windows program is a GUI program, so a double click opens no console window. Started from
// a console, it writes --help, --version and option faults there all the same.
#include <windows.h>

#include <cstdio>

namespace {

struct ParentConsole {
  ParentConsole() {
    // Redirected output already has somewhere to go.
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN) return;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    FILE* ignored = nullptr;
    freopen_s(&ignored, "CONOUT$", "w", stdout);
    freopen_s(&ignored, "CONOUT$", "w", stderr);
  }
};

// Before main, so the first line already reaches the console.
const ParentConsole parentConsole;

}  // namespace
