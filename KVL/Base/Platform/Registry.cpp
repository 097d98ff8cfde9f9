// Registry helpers shared by both backends.
#include "KVL/Base/Platform/Registry.h"

namespace KVL::Platform {

std::string TrimRegistryPath(const std::string& path) {
  size_t first = path.find_first_not_of('\\');
  if (first == std::string::npos) return std::string();
  size_t last = path.find_last_not_of('\\');
  return path.substr(first, last - first + 1);
}

std::string RegistryKeyDisplayName(TRegistryRoot root, const std::string& path) {
  const char* name = root == TRegistryRoot::rrLocalMachine ? "HKLM"
                     : root == TRegistryRoot::rrCurrentUser ? "HKCU"
                                                             : "HKU";
  std::string trimmed = TrimRegistryPath(path);
  return trimmed.empty() ? std::string(name) : std::string(name) + "\\" + trimmed;
}

} // namespace KVL::Platform
