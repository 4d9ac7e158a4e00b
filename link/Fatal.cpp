#include "Fatal.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace vantor {

namespace {
void StderrDisplay(std::string_view title, std::string_view message) {
  std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
               static_cast<int>(message.size()), message.data());
}
// Set once at program start, before any printer operation.
FatalDisplay g_display = &StderrDisplay;
}  // namespace

void SetFatalDisplay(FatalDisplay display) {
  g_display = display ? display : &StderrDisplay;
}

void ShowProgramError(std::string_view message, std::string_view title) {
  g_display(title, message);
}

void FatalProgramError(std::string_view message, std::string_view title) {
  g_display(title, message);
  std::exit(kProgramErrorExit);
}

}  // namespace vantor
