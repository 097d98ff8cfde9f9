// POSIX command line: rebuilt from the process's own argument vector.
#include "KVL/Base/Platform/CommandLine.h"

#include <fstream>
#include <iterator>

namespace KVL::Platform {

std::vector<std::string> ProcessArguments() {
  // /proc/self/cmdline holds argv as NUL-terminated strings, independent of main().
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> args;
  size_t start = 0;
  while (start < raw.size()) {
    size_t end = raw.find('\0', start);
    if (end == std::string::npos) end = raw.size();
    args.push_back(raw.substr(start, end - start));
    start = end + 1;
  }
  return args;
}

std::string ProcessCommandLine() { return JoinArguments(ProcessArguments()); }

} // namespace KVL::Platform
