// The installed-program entry of the system's list of programs.
#include "setup/core/ApplicationRepository.h"

#include <ctime>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Registry.h"
#include "KVL/Base/SysUtils.h"

namespace Setup::Core {

using namespace KVL::Platform;

namespace {

constexpr const char* kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return KVL::SysUtils::Format("%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

// A command as stored in UninstallString: quoted (older entries may not be).
std::string Unquote(const std::string& s) {
  if (s.size() >= 2 && s.front() == '"') {
    size_t close = s.find('"', 1);
    if (close != std::string::npos) return s.substr(1, close - 1);
  }
  return s;
}

std::string FolderPart(const std::string& path) {
  size_t cut = path.find_last_of(":\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

bool FindInView(const std::string& keyPath, TRegistryView view, std::string& folder) {
  TRegistryKey key;
  if (!key.OpenRead(TRegistryRoot::rrLocalMachine, keyPath, view)) return false;
  folder = key.ReadString("InstallPath").value_or(std::string());
  if (!folder.empty() && folder.back() != '\\' && folder.back() != '/') folder += kPathDelim;
  if (!DirectoryExists(folder)) folder = FolderPart(Unquote(key.ReadString("UninstallString").value_or("")));
  if (!DirectoryExists(folder)) folder = FolderPart(Unquote(key.ReadString("DisplayIcon").value_or("")));
  return !folder.empty() && DirectoryExists(folder);
}

} // namespace

std::string TSetupApplicationRepository::KeyName(const std::string& name) {
  std::string key;
  for (char c : name)
    if (c != ' ') key += c;
  return key;
}

std::string TSetupApplicationRepository::KeyPath(const std::string& name) { return kUninstallKey + KeyName(name); }

void TSetupApplicationRepository::Register(const std::string& name, const std::string& uninstaller,
                                           const std::string& version, const std::string& publisher,
                                           const std::string& homePage) {
  if (KeyName(name).empty()) return;
  Unregister(name);
  try {
    TRegistryKey key;
    key.OpenWrite(TRegistryRoot::rrLocalMachine, KeyPath(name), TRegistryView::rvNative);
    key.WriteInteger("NoModify", 1);
    key.WriteInteger("NoRepair", 1);
    key.WriteString("DisplayIcon", uninstaller);
    key.WriteString("DisplayName", name);
    key.WriteString("DisplayVersion", version);
    key.WriteString("InstallDate", Today());
    key.WriteString("InstallPath", ExtractFilePath(uninstaller));
    key.WriteString("Publisher", publisher);
    // Quoted: an unquoted path with spaces could start another program.
    key.WriteString("UninstallString", "\"" + uninstaller + "\"");
    key.WriteString("URLInfoAbout", homePage);
  } catch (const KVL::SysUtils::EKVLError&) {
    // The entry is a convenience for the user; a registry that refuses it fails softly.
  }
}

void TSetupApplicationRepository::Unregister(const std::string& name) {
  if (KeyName(name).empty()) return;
  for (TRegistryView view : {TRegistryView::rvNative, TRegistryView::rv32Bit}) {
    try {
      DeleteRegistryKeyTree(TRegistryRoot::rrLocalMachine, KeyPath(name), view);
    } catch (const KVL::SysUtils::EKVLError&) {
      // Removal is clean-up: an entry that cannot be removed stays.
    }
  }
}

bool TSetupApplicationRepository::GetInstallPath(const std::string& name, std::string& folder) {
  folder.clear();
  if (KeyName(name).empty()) return false;
  if (FindInView(KeyPath(name), TRegistryView::rvNative, folder)) return true;
  std::string other;
  bool found = FindInView(KeyPath(name), TRegistryView::rv32Bit, other);
  if (found || folder.empty()) folder = other;
  return found;
}

} // namespace Setup::Core
