// The environment service's platform-independent part: the scoped override.
#include "KVL/Base/Platform/Environment.h"

namespace KVL::Platform {

TEnvironmentOverride::TEnvironmentOverride(const std::string& name, const std::optional<std::string>& value)
    : name_(name), saved_(GetEnv(name)) {
  SetEnv(name, value);
}

TEnvironmentOverride::~TEnvironmentOverride() { SetEnv(name_, saved_); }

} // namespace KVL::Platform
