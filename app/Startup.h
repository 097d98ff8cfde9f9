// The program's start-up sequence: product check, elevation, setup object, uninstaller relaunch, run.
#pragma once

#include <string>

namespace App {

// Exit codes: success, an error was shown, cancelled by the user.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitError = 1;
inline constexpr int kExitCancelled = 2;

// Runs the whole sequence for the given command-line parameters (the command line without
// the program's path) and returns the process's exit code. Every error that escapes is shown
// in one message box captioned "Setup".
int RunSetup(const std::string& params);

} // namespace App
