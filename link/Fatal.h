// Programming errors that ordinary use cannot reach end the program after showing their message.
#pragma once

#include <string_view>

namespace vantor {

inline constexpr int kProgramErrorExit = 70;

// How the message reaches the technician: an error box in the windows, standard error otherwise.
using FatalDisplay = void (*)(std::string_view title, std::string_view message);
void SetFatalDisplay(FatalDisplay display);

[[noreturn]] void FatalProgramError(std::string_view message, std::string_view title = "Error");

// Shows a programming-error box without ending the program.
void ShowProgramError(std::string_view message, std::string_view title = "Error");

}  // namespace vantor
