// POSIX environment: names looked up ignoring case, expansion done the way Windows does it.
#include "KVL/Base/Platform/Environment.h"

#include <cstdlib>
#include <cstring>

#include "KVL/Base/SysUtils.h"

extern char** environ;

namespace KVL::Platform {

std::optional<std::string> GetEnv(const std::string& name) {
  if (name.empty() || name.find('=') != std::string::npos) return std::nullopt;
  if (const char* v = std::getenv(name.c_str())) return std::string(v);
  for (char** e = environ; e && *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq && SysUtils::SameText(std::string_view(*e, static_cast<size_t>(eq - *e)), name))
      return std::string(eq + 1);
  }
  return std::nullopt;
}

bool SetEnv(const std::string& name, const std::optional<std::string>& value) {
  if (name.empty() || name.find('=') != std::string::npos) return false;
  return value ? ::setenv(name.c_str(), value->c_str(), 1) == 0 : ::unsetenv(name.c_str()) == 0;
}

std::string ExpandEnvironment(const std::string& text) {
  // As Windows: a %NAME% pair whose variable is unknown is copied whole and the scan goes on
  // after its closing '%'; a '%' without a partner is copied as it is.
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t open = text.find('%', i);
    if (open == std::string::npos) {
      out.append(text, i, std::string::npos);
      break;
    }
    out.append(text, i, open - i);
    size_t close = text.find('%', open + 1);
    if (close == std::string::npos) {
      out.append(text, open, std::string::npos);
      break;
    }
    std::optional<std::string> value = GetEnv(text.substr(open + 1, close - open - 1));
    if (value) out += *value;
    else out.append(text, open, close - open + 1);
    i = close + 1;
  }
  return out;
}

} // namespace KVL::Platform
