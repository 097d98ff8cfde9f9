// POSIX process facts.
#include "KVL/Base/Platform/Process.h"

#include <limits.h>
#include <unistd.h>

#include <vector>

namespace KVL::Platform {

std::string ExecutablePath() {
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
    buf.resize(buf.size() * 2);
  }
}

} // namespace KVL::Platform
