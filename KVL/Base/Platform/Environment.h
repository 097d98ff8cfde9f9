// Platform service: the process environment and Windows-style %NAME% expansion.
#pragma once

#include <optional>
#include <string>

namespace KVL::Platform {

// A variable of the process environment; nothing when it is not set. Names compare ignoring
// case, as on Windows (on POSIX an exact match wins over one that differs in case).
std::optional<std::string> GetEnv(const std::string& name);
// Sets a variable, or removes it when value is nothing.
bool SetEnv(const std::string& name, const std::optional<std::string>& value);

// Replaces every %NAME% whose variable is set by its value; unknown names stay as they are.
// Raises EKVLOSError when the system's expansion fails.
std::string ExpandEnvironment(const std::string& text);

// Sets (or removes) a variable for its lifetime and restores the earlier state afterwards.
class TEnvironmentOverride {
public:
  TEnvironmentOverride(const std::string& name, const std::optional<std::string>& value);
  ~TEnvironmentOverride();
  TEnvironmentOverride(const TEnvironmentOverride&) = delete;
  TEnvironmentOverride& operator=(const TEnvironmentOverride&) = delete;

private:
  std::string name_;
  std::optional<std::string> saved_;
};

} // namespace KVL::Platform
