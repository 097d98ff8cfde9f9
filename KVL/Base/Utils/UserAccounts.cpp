// The machine's user accounts: the running one, then the registry's profile list.
#include "KVL/Base/Utils/UserAccounts.h"

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Registry.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Utils::Shell::UserAccounts {

using namespace KVL::Platform;

namespace {

const char kProfileListKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
const char kShellFoldersKey[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && KVL::Platform::IsPathDelimiter(path.back())) path.pop_back();
  return path;
}

// One spelling per folder, so that the running account's profile (from the shell, which ends
// with a separator) and the registry's form of it (without one, possibly with "." or ".."
// parts or 8.3 names) compare equal: absolute with dot parts resolved, long names, and
// exactly one trailing separator.
std::string FolderForm(const std::string& path) {
  std::string p = WithoutTrailingSeparators(path);
  if (p.empty()) return p;
  p = WithoutTrailingSeparators(GetLongPath(ExpandFileName(p)));
  if (!KVL::Platform::IsPathDelimiter(p.back())) p += kPathDelim;
  return p;
}

std::string SpecialFolderOrTemp(TSpecialFolder folder) {
  std::string path = GetSpecialFolder(folder);
  return path.empty() ? TempDirectory() : path;
}

// Every "%USERPROFILE%", ignoring case, replaced; other variables are left for the user's
// own session to expand.
std::string ReplaceUserProfile(const std::string& text, const std::string& profile) {
  static const std::string kVariable = "%USERPROFILE%";
  // An ASCII fold keeps every byte in its place; the name itself is ASCII.
  std::string folded = text;
  for (char& c : folded)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  std::string out;
  size_t pos = 0;
  for (size_t hit = folded.find(kVariable); hit != std::string::npos; hit = folded.find(kVariable, pos)) {
    out.append(text, pos, hit - pos);
    out += profile;
    pos = hit + kVariable.size();
  }
  out.append(text, pos, std::string::npos);
  return out;
}

std::string LastComponent(const std::string& folder) {
  std::string p = WithoutTrailingSeparators(folder);
  size_t slash = p.find_last_of("\\/");
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

bool HasBakExtension(const std::string& name) {
  size_t dot = name.find_last_of('.');
  return dot != std::string::npos && SysUtils::SameTextAscii(name.substr(dot), ".bak");
}

// The account's "User Shell Folders" key: its own hive, else the default user's.
bool OpenShellFolders(const std::string& sid, TRegistryKey& key) {
  return key.OpenRead(TRegistryRoot::rrUsers, sid + kShellFoldersKey) ||
         key.OpenRead(TRegistryRoot::rrUsers, std::string(".DEFAULT") + kShellFoldersKey);
}

} // namespace

bool TKVLUserAccountInfoList::Add(std::unique_ptr<TKVLUserAccountInfo> info) {
  for (const auto& item : items_)
    if (item->Equals(*info)) return false;
  items_.push_back(std::move(info));
  return true;
}

void TKVLUserAccounts::Populate(TKVLUserAccountInfoList& list) {
  auto self = std::make_unique<TKVLUserAccountInfo>();
  self->UserName = UserName();
  self->ProfilePath = FolderForm(SpecialFolderOrTemp(TSpecialFolder::sfProfile));
  self->AppDataPath = FolderForm(SpecialFolderOrTemp(TSpecialFolder::sfAppData));
  list.Add(std::move(self));

  TRegistryKey profiles;
  if (!profiles.OpenRead(TRegistryRoot::rrLocalMachine, kProfileListKey)) return;
  for (const std::string& sid : profiles.SubKeyNames()) {
    if (HasBakExtension(sid)) continue;
    TRegistryKey account;
    if (!account.OpenRead(TRegistryRoot::rrLocalMachine, std::string(kProfileListKey) + "\\" + sid)) continue;
    // Raises the system error when the expansion itself fails.
    const std::string imagePath = ExpandEnvironment(account.ReadString("ProfileImagePath").value_or(std::string()));
    if (WithoutTrailingSeparators(imagePath).empty() || !DirectoryExists(imagePath)) continue;
    const std::string profile = FolderForm(imagePath);

    TRegistryKey shellFolders;
    if (!OpenShellFolders(sid, shellFolders)) continue;
    // Replaced by the folder without its separator: the value goes on with one of its own.
    const std::string appData = ReplaceUserProfile(shellFolders.ReadString("AppData").value_or(std::string()),
                                                   WithoutTrailingSeparators(profile));
    if (appData.empty()) continue;

    auto info = std::make_unique<TKVLUserAccountInfo>();
    info->UserName = LastComponent(profile);
    info->ProfilePath = profile;
    info->AppDataPath = KVL::Platform::IsPathDelimiter(appData.back()) ? appData : appData + kPathDelim;
    list.Add(std::move(info));
  }
}

std::unique_ptr<TKVLUserAccountInfoList> TKVLUserAccounts::Populate() {
  auto list = std::make_unique<TKVLUserAccountInfoList>();
  Populate(*list);
  return list;
}

} // namespace KVL::Utils::Shell::UserAccounts
