#include <windows.h>

#include <cstdio>

#include "cli/Terminal.h"

namespace vantor::cli {

namespace {
std::atomic<bool>* consoleInterruptFlag = nullptr;

// Runs on a thread of its own; TRUE keeps the process alive to close the link.
BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
    case CTRL_CLOSE_EVENT:
      if (consoleInterruptFlag) *consoleInterruptFlag = true;
      return TRUE;
    default:
      return FALSE;
  }
}
}  // namespace

struct InterruptScope::Saved {};

InterruptScope::InterruptScope(std::atomic<bool>& flag) {
  flag = false;
  consoleInterruptFlag = &flag;
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
}

InterruptScope::~InterruptScope() {
  SetConsoleCtrlHandler(OnConsoleControl, FALSE);
  consoleInterruptFlag = nullptr;
}

// A console has no request to end that a script could tell apart from Ctrl-C.
int InterruptExitStatus() {
  return 130;
}

namespace {
// _isatty is true for any character device, NUL included; only a console has a console mode.
bool IsConsole(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode);
}
}  // namespace

bool StdinIsTerminal() {
  return IsConsole(STD_INPUT_HANDLE);
}

bool StderrIsTerminal() {
  return IsConsole(STD_ERROR_HANDLE);
}

// The console shows colour sequences only in virtual-terminal mode (Windows 10 and later).
bool PrepareColourOnStderr() {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (err == INVALID_HANDLE_VALUE || !GetConsoleMode(err, &mode)) return false;
  if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
  return SetConsoleMode(err, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace vantor::cli
