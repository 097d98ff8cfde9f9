// Rebuilding a Windows-style command line from separate arguments (both platforms).
#include "KVL/Base/Platform/CommandLine.h"

namespace KVL::Platform {

namespace {
bool NeedsQuotes(const std::string& s) {
  return s.empty() || s.find_first_of(" \t\r\n") != std::string::npos;
}
} // namespace

std::string JoinArguments(const std::vector<std::string>& args) {
  std::string line;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (i) line += ' ';
    size_t eq = a.find('=');
    bool isSwitch = i > 0 && !a.empty() && (a[0] == '/' || a[0] == '-');
    if (isSwitch && eq != std::string::npos) {
      std::string value = a.substr(eq + 1);
      line += a.substr(0, eq + 1);
      line += NeedsQuotes(value) && !value.empty() ? '"' + value + '"' : value;
    } else {
      line += NeedsQuotes(a) ? '"' + a + '"' : a;
    }
  }
  return line;
}

} // namespace KVL::Platform
