// Process facts and command-line quoting shared by both backends.
#include "KVL/Base/Platform/Process.h"

namespace KVL::Platform {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// One argument by the C runtime's rules, starting at i; i ends after it.
std::string ParseArgument(const std::string& s, size_t& i) {
  std::string arg;
  bool quoted = false;
  while (i < s.size()) {
    char c = s[i];
    if (!quoted && IsBlank(c)) break;
    if (c == '\\') {
      size_t k = 0;
      while (i < s.size() && s[i] == '\\') ++k, ++i;
      if (i < s.size() && s[i] == '"') {
        arg.append(k / 2, '\\');
        if (k % 2 == 1) {
          arg += '"';
          ++i;
        }
      } else {
        arg.append(k, '\\');
      }
    } else if (c == '"') {
      if (quoted && i + 1 < s.size() && s[i + 1] == '"') {
        // A doubled quote inside quotes is a literal one (C runtimes since 2008).
        arg += '"';
        i += 2;
      } else {
        quoted = !quoted;
        ++i;
      }
    } else {
      arg += c;
      ++i;
    }
  }
  return arg;
}

std::vector<std::string> ParseArguments(const std::string& s, size_t i) {
  std::vector<std::string> args;
  for (;;) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i >= s.size()) return args;
    args.push_back(ParseArgument(s, i));
  }
}

std::string QuoteArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
  std::string out = "\"";
  for (size_t i = 0; i < arg.size();) {
    size_t k = 0;
    while (i < arg.size() && arg[i] == '\\') ++k, ++i;
    if (i == arg.size()) {
      out.append(k * 2, '\\');  // the closing quote must not be escaped
    } else if (arg[i] == '"') {
      out.append(k * 2 + 1, '\\');
      out += '"';
      ++i;
    } else {
      out.append(k, '\\');
      out += arg[i++];
    }
  }
  return out + '"';
}

} // namespace

std::string ExtractFilePath(const std::string& path) {
  // Both separators count: script paths may use either.
  size_t sep = path.find_last_of("\\/");
  return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string QuoteCommandLine(const std::string& program, const std::vector<std::string>& args) {
  // The program name knows no escapes: quotes only group (a path never holds one).
  std::string line =
      program.empty() || program.find_first_of(" \t") != std::string::npos ? "\"" + program + "\"" : program;
  for (const std::string& a : args) line += ' ' + QuoteArgument(a);
  return line;
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
  size_t i = 0;
  while (i < commandLine.size() && IsBlank(commandLine[i])) ++i;
  if (i >= commandLine.size()) return {};
  std::string program;
  bool quoted = false;
  for (; i < commandLine.size(); ++i) {
    char c = commandLine[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && IsBlank(c)) {
      break;
    } else {
      program += c;
    }
  }
  std::vector<std::string> all = {program};
  for (std::string& a : ParseArguments(commandLine, i)) all.push_back(std::move(a));
  return all;
}

std::vector<std::string> SplitArguments(const std::string& arguments) { return ParseArguments(arguments, 0); }

bool IsUrl(const std::string& text) {
  if (text.compare(0, 7, "mailto:") == 0) return true;
  for (size_t p = text.find(':'); p != std::string::npos; p = text.find(':', p + 1))
    if (p + 2 < text.size() && text[p + 1] == text[p + 2] && (text[p + 1] == '/' || text[p + 1] == '\\'))
      return true;
  return false;
}

TProcess::~TProcess() { Release(); }

TProcess::TProcess(TProcess&& other) noexcept
    : id_(other.id_), waitable_(other.waitable_), exited_(other.exited_), exitCode_(other.exitCode_) {
  other.id_ = 0;
  other.waitable_ = -1;
}

TProcess& TProcess::operator=(TProcess&& other) noexcept {
  if (this != &other) {
    Release();
    id_ = other.id_;
    waitable_ = other.waitable_;
    exited_ = other.exited_;
    exitCode_ = other.exitCode_;
    other.id_ = 0;
    other.waitable_ = -1;
  }
  return *this;
}

uint32_t TProcess::ExitCode() {
  if (!WaitForExit(0)) throw SysUtils::EKVLInvalidOperation("Process is still running");
  return exitCode_;
}

} // namespace KVL::Platform
