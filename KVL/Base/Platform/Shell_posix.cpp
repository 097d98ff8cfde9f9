// POSIX shell facts: machine-wide folders below KVL_SYSTEM_ROOT, per-user folders from HOME/XDG.
#include "KVL/Base/Platform/Shell.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "KVL/Base/Platform/File.h"

namespace KVL::Platform {

namespace {

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

// The exact variable (XDG names are case-sensitive); "" when unset.
std::string Var(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::string HomeFolder() {
  std::string home = Var("HOME");
  if (!home.empty()) return WithSlash(home);
  std::vector<char> buf(16384);
  passwd pw;
  passwd* found = nullptr;
  if (getpwuid_r(geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_dir)
    return WithSlash(found->pw_dir);
  return std::string();
}

// An XDG base folder: the variable when it holds an absolute path (relative ones are invalid
// and ignored), else the home folder plus the default.
std::string XdgFolder(const char* variable, const char* underHome) {
  std::string v = Var(variable);
  if (!v.empty() && v[0] == '/') return WithSlash(v);
  std::string home = HomeFolder();
  return home.empty() ? std::string() : home + underHome;
}

// An XDG user folder (XDG_DESKTOP_DIR, XDG_DOCUMENTS_DIR) from the environment or from
// user-dirs.dirs (written by xdg-user-dirs as XDG_DESKTOP_DIR="$HOME/Desktop"); else
// $HOME/ + fallback.
std::string UserDir(const char* variable, const char* fallback) {
  std::string home = HomeFolder();
  std::string v = Var(variable);
  if (v.empty()) {
    std::string config = XdgFolder("XDG_CONFIG_HOME", ".config/");
    std::ifstream in(config + "user-dirs.dirs");
    const std::string key = std::string(variable) + "=";
    for (std::string line; std::getline(in, line);) {
      if (line.compare(0, key.size(), key) != 0) continue;
      v = line.substr(key.size());
      if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
      if (v.compare(0, 5, "$HOME") == 0) {
        if (home.empty()) return std::string();
        v = home + v.substr(v.size() > 5 && v[5] == '/' ? 6 : 5);
      }
    }
  }
  if (!v.empty() && v[0] == '/') return WithSlash(v);
  return home.empty() ? std::string() : home + fallback;
}

} // namespace

std::string SystemRoot() {
  std::string root = Var("KVL_SYSTEM_ROOT");
  return root.empty() ? std::string("/") : WithSlash(root);
}

std::string GetSpecialFolder(TSpecialFolder folder) {
  switch (folder) {
    case TSpecialFolder::sfProgramFiles:
    case TSpecialFolder::sfProgramFilesX86: return SystemRoot() + "opt/";
    case TSpecialFolder::sfCommonDesktop: return SystemRoot() + "usr/share/kvl/desktop/";
    case TSpecialFolder::sfCommonStartMenu:
    case TSpecialFolder::sfCommonPrograms: return SystemRoot() + "usr/share/applications/";
    case TSpecialFolder::sfCommonAppData: return SystemRoot() + "var/lib/";
    case TSpecialFolder::sfSystem: return SystemRoot() + "usr/lib/";
    case TSpecialFolder::sfUserDesktop: return UserDir("XDG_DESKTOP_DIR", "Desktop/");
    case TSpecialFolder::sfUserStartMenu:
    case TSpecialFolder::sfUserPrograms: {
      std::string data = XdgFolder("XDG_DATA_HOME", ".local/share/");
      return data.empty() ? data : data + "applications/";
    }
    case TSpecialFolder::sfAppData: return XdgFolder("XDG_CONFIG_HOME", ".config/");
    case TSpecialFolder::sfLocalAppData: return XdgFolder("XDG_DATA_HOME", ".local/share/");
    case TSpecialFolder::sfProfile: return HomeFolder();
    case TSpecialFolder::sfTemp: return TempDirectory();
    case TSpecialFolder::sfDocuments: return UserDir("XDG_DOCUMENTS_DIR", "Documents/");
  }
  return std::string();
}

std::string UserName() {
  std::vector<char> buf(16384);
  passwd pw;
  passwd* found = nullptr;
  std::string name;
  if (getpwuid_r(geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_name)
    name = found->pw_name;
  // Containers often run an id without an account entry; the login variables then tell.
  if (name.empty()) name = Var("USER");
  if (name.empty()) name = Var("LOGNAME");
  return name.substr(0, 128);
}

uint16_t UserDefaultUILanguage() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    std::string v = Var(variable);
    if (!v.empty()) return LanguageIdFromLocaleName(v);
  }
  return LanguageIdFromLocaleName("");
}

bool IsWindowsVistaOrLater() { return false; }
bool IsWindows7OrLater() { return false; }
bool IsWindows8OrLater() { return false; }
bool IsWindows10OrLater() { return false; }

bool CanElevate() {
  std::string path = Var("PATH");
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find(':', i);
    if (j == std::string::npos) j = path.size();
    std::string dir = path.substr(i, j - i);
    // Empty entries mean the current folder; elevation must not depend on where we stand.
    if (!dir.empty() && dir[0] == '/') {
      std::string candidate = WithSlash(dir) + "pkexec";
      if (FileExists(candidate) && access(candidate.c_str(), X_OK) == 0) return true;
    }
    i = j + 1;
  }
  return false;
}

} // namespace KVL::Platform
