// POSIX shortcuts: Desktop Entry launcher files whose Exec line runs the target.
#include "KVL/Base/Platform/ShellLink.h"

#include <sys/stat.h>

#include <string_view>
#include <vector>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

namespace {

constexpr std::string_view kGroup = "[Desktop Entry]";
// A launcher is a few hundred bytes; anything far larger is no launcher of ours.
constexpr int64_t kMaxEntrySize = 1 << 20;

// A value of type string: backslash, line breaks and tabs escaped, a leading blank kept.
std::string EscapeValue(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '\\') out += "\\\\";
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else if (c == ' ' && i == 0) out += "\\s";
    else out += c;
  }
  return out;
}

std::string UnescapeValue(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 >= value.size()) {
      out += value[i];
      continue;
    }
    char n = value[++i];
    if (n == 's') out += ' ';
    else if (n == 'n') out += '\n';
    else if (n == 'r') out += '\r';
    else if (n == 't') out += '\t';
    else if (n == '\\') out += '\\';
    else out += {'\\', n};  // not a string escape: the Exec level reads it
  }
  return out;
}

// One Exec argument, always quoted: inside quotes '"', '`', '$' and '\' take a backslash, and
// '%' is doubled so that it is no field code.
std::string QuoteExecArgument(std::string_view arg) {
  std::string out = "\"";
  for (char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  return out + "\"";
}

// The first argument of an Exec value (already unescaped as a string).
std::string FirstExecArgument(std::string_view exec) {
  size_t i = 0;
  while (i < exec.size() && (exec[i] == ' ' || exec[i] == '\t')) ++i;
  std::string arg;
  bool quoted = false;
  for (; i < exec.size(); ++i) {
    char c = exec[i];
    if (quoted) {
      if (c == '"') break;
      if (c == '\\' && i + 1 < exec.size()) c = exec[++i];
      else if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%') ++i;
      arg += c;
    } else if (c == '"' && arg.empty()) {
      quoted = true;
    } else if (c == ' ' || c == '\t') {
      break;
    } else {
      if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%') ++i;
      arg += c;
    }
  }
  return arg;
}

bool ReadSmallFile(const std::string& path, std::string& text) {
  TPlatformFile file;
  if (!file.TryOpen(path, TFileOpenMode::fomRead)) return false;
  int64_t size = file.Size();
  if (size < 0 || size > kMaxEntrySize) return false;
  text.resize(static_cast<size_t>(size));
  return file.Read(text.data(), text.size()) == text.size();
}

// The file name of the link without its folder and extension: the launcher's display name.
std::string DisplayName(const std::string& linkPath) {
  std::string name = linkPath.substr(linkPath.find_last_of('/') + 1);
  size_t dot = name.rfind('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

} // namespace

std::string ShellLinkFileName(const std::string& linkPath) {
  constexpr std::string_view ext = ".lnk";
  if (linkPath.size() > ext.size() && SysUtils::SameTextAscii(std::string_view(linkPath).substr(linkPath.size() - ext.size()), ext))
    return linkPath.substr(0, linkPath.size() - ext.size()) + ".desktop";
  return linkPath;
}

bool InitializeShellObjects() { return true; }

bool CreateShellLink(const std::string& linkPath, const std::string& target) {
  const std::string path = ShellLinkFileName(linkPath);
  const std::string text = std::string(kGroup) + "\nType=Application\nName=" + EscapeValue(DisplayName(path)) +
                           "\nExec=" + EscapeValue(QuoteExecArgument(target)) + "\n";
  TPlatformFile file;
  if (!file.TryOpen(path, TFileOpenMode::fomCreate)) return false;
  bool written = file.Write(text.data(), text.size()) == text.size();
  file.Close();
  if (!written) {
    RemoveFile(path);
    return false;
  }
  // Desktops run a launcher on the desktop only when it is marked executable.
  chmod(path.c_str(), 0755);
  return true;
}

std::optional<std::string> ReadShellLinkTarget(const std::string& linkPath) {
  std::string text;
  if (!ReadSmallFile(ShellLinkFileName(linkPath), text)) return std::nullopt;
  bool inGroup = false;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = SysUtils::Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      inGroup = line == kGroup;
      continue;
    }
    size_t eq = line.find('=');
    if (!inGroup || eq == std::string::npos || SysUtils::Trim(line.substr(0, eq)) != "Exec") continue;
    std::string target = FirstExecArgument(UnescapeValue(SysUtils::Trim(line.substr(eq + 1))));
    if (target.empty()) return std::nullopt;
    return target;
  }
  return std::nullopt;
}

void NotifyAssociationsChanged() {
  for (TSpecialFolder which : {TSpecialFolder::sfUserPrograms, TSpecialFolder::sfCommonPrograms}) {
    const std::string folder = GetSpecialFolder(which);
    if (folder.empty() || !DirectoryExists(folder)) continue;
    try {
      TProcess tool = StartProcess("update-desktop-database", {"-q", folder});
      // A refresh that hangs must not hold up the installation.
      tool.WaitForExit(10000);
    } catch (const EKVLProcessError&) {
      return;  // the tool is not installed: nothing to refresh
    }
  }
}

} // namespace KVL::Platform
