// Process facts shared by both backends.
#include "KVL/Base/Platform/Process.h"

namespace KVL::Platform {

std::string ExtractFilePath(const std::string& path) {
  // Both separators count: script paths may use either.
  size_t sep = path.find_last_of("\\/");
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

} // namespace KVL::Platform
