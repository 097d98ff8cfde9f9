// Platform service: facts about the running process.
#pragma once

#include <string>

namespace KVL::Platform {

// The full path of the running executable.
std::string ExecutablePath();

// The folder of a path, with its trailing separator ("" when the path has no folder).
std::string ExtractFilePath(const std::string& path);

} // namespace KVL::Platform
