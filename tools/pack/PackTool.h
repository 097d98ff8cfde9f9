// ondu-pack's commands, kept apart from main() so that the tests can run them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace PackTool {

// Runs one command line (without the program name). Returns the exit code: 0 done,
// 1 failed (message on err), 2 bad usage (usage on err).
int RunPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Whether an entry name may be written below an output folder: relative, no drive or
// stream (':'), no empty, "." or ".." segment, no control characters and no device
// names such as CON or LPT1. Both '\' and '/' separate segments.
bool IsSafeEntryName(const std::string& name);

} // namespace PackTool
