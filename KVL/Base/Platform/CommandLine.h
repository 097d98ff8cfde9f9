// Platform service: the process's command line as one Windows-style string.
#pragma once

#include <string>
#include <vector>

namespace KVL::Platform {

// The full command line, program path first. On Windows it is the system's own;
// elsewhere it is rebuilt from argv by JoinArguments.
std::string ProcessCommandLine();

// The process's arguments in UTF-8, program path first (argv as the system split it).
std::vector<std::string> ProcessArguments();

// Joins arguments into a line that parses back as Windows would: an argument that needs
// quoting is quoted whole, except a switch with "=" ("/AUTO=/opt/my dir/"), whose value part
// alone is quoted ("/AUTO="/opt/my dir/""), so that it still reads as that switch.
std::string JoinArguments(const std::vector<std::string>& args);

} // namespace KVL::Platform
