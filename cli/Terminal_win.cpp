#include <io.h>
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

bool StdinIsTerminal() {
  return _isatty(_fileno(stdin)) != 0;
}

bool StderrIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
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
