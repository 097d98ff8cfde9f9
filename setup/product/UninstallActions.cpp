// The removal actions: integration and registration first, then the installed files and folders.
#include "setup/product/UninstallActions.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/Platform/Directory.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"
#include "KVL/Base/Utils/UserAccounts.h"
#include "setup/core/FileServices.h"
#include "setup/core/PathCanonical.h"
#include "setup/core/Resources.h"
#include "setup/core/Setup.h"
#include "setup/product/FolderRemoval.h"
#include "setup/product/Profiles.h"
#include "setup/product/RemoveFromRegistry.h"
#include "setup/product/ShellTasks.h"

namespace Setup::Product::ONDU::Actions {

using namespace KVL::Platform;
using KVL::Classes::TKVLStringList;
using KVL::FileFormats::INI::TKVLIniFile;

namespace {

bool IsAbsolutePath(const std::string& path) {
#ifdef _WIN32
  return (path.size() >= 2 && path[1] == ':') || path.starts_with("\\\\");
#else
  return path.starts_with('/');
#endif
}

// Every folder below folder (which ends with a separator), children before their parent.
// Linked folders are not the installation's: neither listed nor entered.
void AddFoldersDepthFirst(const std::string& folder, TKVLStringList& list) {
  std::vector<TDirectoryEntry> entries;
  try {
    entries = ListDirectory(folder);
  } catch (const KVL::SysUtils::EKVLError&) {
    return;  // a folder that cannot be listed has nothing we could remove
  }
  for (const TDirectoryEntry& e : entries) {
    if (!e.IsFolder || e.IsLink) continue;
    std::string sub = folder + e.Name + kPathDelim;
    AddFoldersDepthFirst(sub, list);
    list.Add(sub);
  }
}

// The form in which folders compare: absolute, without trailing separators, and on Windows
// with backslashes only and ignoring case.
std::string FolderKey(const std::string& folder) {
  std::string key = folder.empty() ? folder : ExpandFileName(folder);
#ifdef _WIN32
  for (char& c : key)
    if (c == '/') c = '\\';
  key = KVL::SysUtils::UpperCase(key);
#endif
  while (!key.empty() && KVL::Platform::IsPathDelimiter(key.back())) key.pop_back();
  return key;
}

// folder is ancestor itself or lies below it (both in FolderKey form).
bool IsWithin(const std::string& folder, const std::string& ancestor) {
  return folder == ancestor || (folder.size() > ancestor.size() && folder.starts_with(ancestor) &&
                                KVL::Platform::IsPathDelimiter(folder[ancestor.size()]));
}

// Folders whose removal with everything in them would take the user's own files: the
// special folders, every account's profile and application data, and (POSIX) the stand-in
// machine root. Keys in FolderKey form.
std::vector<std::string> ProtectedFolderKeys() {
  using KVL::Utils::Shell::UserAccounts::TKVLUserAccounts;
  std::vector<std::string> keys;
  auto add = [&keys](const std::string& folder) {
    // A folder still naming a variable (of another user's session) is no path of ours.
    if (!folder.empty() && folder.find('%') == std::string::npos) keys.push_back(FolderKey(folder));
  };
#ifndef _WIN32
  add(SystemRoot());
#endif
  for (TSpecialFolder folder :
       {TSpecialFolder::sfProfile, TSpecialFolder::sfUserDesktop, TSpecialFolder::sfCommonDesktop,
        TSpecialFolder::sfDocuments, TSpecialFolder::sfProgramFiles, TSpecialFolder::sfProgramFilesX86,
        TSpecialFolder::sfSystem, TSpecialFolder::sfAppData, TSpecialFolder::sfLocalAppData,
        TSpecialFolder::sfCommonAppData, TSpecialFolder::sfUserStartMenu, TSpecialFolder::sfUserPrograms,
        TSpecialFolder::sfCommonStartMenu, TSpecialFolder::sfCommonPrograms})
    add(GetSpecialFolder(folder));
  auto accounts = TKVLUserAccounts::Populate();
  for (int i = 0; i < accounts->Count(); ++i) {
    add(accounts->Items(i).ProfilePath);
    add(accounts->Items(i).AppDataPath);
  }
  return keys;
}

// A root, one of the protected folders, or a folder that holds one of them.
bool IsProtected(const std::string& folder, const std::vector<std::string>& protectedKeys) {
  if (IsRootFolder(folder)) return true;
  const std::string key = FolderKey(folder);
  if (key.empty()) return true;
  for (const std::string& p : protectedKeys)
    if (IsWithin(p, key)) return true;
  return false;
}

const char kProtectedFallback[] =
    "The folder %s may hold files of your own: only the installed files and empty folders are removed from it.";

} // namespace

int32_t StepProgress(int done, int total) {
  if (total <= 0 || done >= total) return 100;
  if (done <= 0) return 0;
  int64_t rounded = (int64_t{done} * 200 + total) / (int64_t{total} * 2);
  return static_cast<int32_t>(std::min<int64_t>(rounded, 99));
}

TSetupActionUninstallIntegration::TSetupActionUninstallIntegration() {
  tasks_.push_back(std::make_unique<TSetupUpdateTaskRemoveShellMenu>());
  tasks_.push_back(std::make_unique<TSetupUpdateTaskRemoveShortcuts>());
  tasks_.push_back(std::make_unique<TSetupUpdateTaskRemoveFromRegistry>());
}

TSetupActionUninstallIntegration::~TSetupActionUninstallIntegration() = default;

void TSetupActionUninstallIntegration::Execute() {
  Status(GetCommonString("A9"));
  const int count = static_cast<int>(tasks_.size());
  for (int i = 0; i < count; ++i) {
    tasks_[static_cast<size_t>(i)]->Execute(nullptr);
    SetProgress(StepProgress(i + 1, count));
  }
}

std::unique_ptr<TKVLStringList> TSetupActionUninstallFiles::CreateFileList() {
  const std::string& dest = Setup::Core::Setup->DestPath();
  TKVLIniFile ini;
  ini.LoadFromStream(*Resources().OpenStream("Uninstall.ini"));
  int32_t count = ini.ReadInteger("Uninstall", "Count", 0);
  // Keys beyond the section's lines are all missing; a damaged Count must not spin for ages.
  const KVL::FileFormats::INI::TKVLIniFileSection* section = ini.FindSection("Uninstall");
  count = std::min(count, section ? section->Count() : 0);

  auto files = std::make_unique<TKVLStringList>();
  std::unordered_set<std::string> seen;
  for (int32_t i = 0; i < count; ++i) {
    // Cleaning drops ".." parts, so an entry cannot reach above the folder it names.
    std::string entry = Setup::Core::CanonicalizePath(ini.ReadString("Uninstall", std::to_string(i)), kPathDelim);
    // A file installed outside the folder was recorded by its absolute path; it was put
    // there by this installation and goes with it.
    std::string path = IsAbsolutePath(entry) ? entry : dest + entry;
    if (seen.insert(KVL::SysUtils::UpperCase(path)).second) files->Add(path);
  }
  return files;
}

std::unique_ptr<TKVLStringList> TSetupActionUninstallFiles::CreateFolderList() {
  Setup::Core::TSetup& setup = *Setup::Core::Setup;
  const std::string& dest = setup.DestPath();
  auto folders = std::make_unique<TKVLStringList>();
  AddFoldersDepthFirst(dest, *folders);
  for (int i = 0; i < folders->Count(); ++i) folders->SetTag(i, ftIfEmpty);

  const bool removeBackups = Settings().ReadBool("Common", "RemoveBackups", setup.HasFlag(Setup::Core::sfAuto));
  const bool removeContent = Settings().ReadBool("Common", "RemoveContent", false);
  auto addWhole = [&](const std::string& folder) { folders->SetTag(folders->Add(folder), ftWithContents); };
  if (removeBackups) addWhole(dest + "!Backup" + kPathDelim);
  if (removeContent) {
    addWhole(removeBackups ? dest : dest + "Profile" + kPathDelim);
    // Per-user settings exist only for an installation made for the machine's users.
    const TKVLIniFile config(dest + "ONDU.ini");
    if (config.ReadBool("System", "UserMode", false)) {
      auto accounts = KVL::Utils::Shell::UserAccounts::TKVLUserAccounts::Populate();
      for (int i = 0; i < accounts->Count(); ++i) addWhole(TSetupProfileHelper::GetNewProfilePath(&accounts->Items(i)));
    }
  }
  // A destination such as a drive root, a home folder or the desktop holds more than this
  // installation: nothing in it is removed whole, only what Uninstall.ini lists and what is
  // left empty.
  refusedFolder_.clear();
  bool anyWhole = false;
  for (int i = 0; i < folders->Count(); ++i) anyWhole |= folders->Tag(i) == ftWithContents;
  if (anyWhole) {
    const std::vector<std::string> protectedKeys = ProtectedFolderKeys();
    const bool destProtected = IsProtected(dest, protectedKeys);
    const std::string destKey = FolderKey(dest);
    for (int i = 0; i < folders->Count(); ++i) {
      if (folders->Tag(i) != ftWithContents) continue;
      const std::string& folder = folders->Strings(i);
      const bool inDest = IsWithin(FolderKey(folder), destKey);
      if ((destProtected && inDest) || IsProtected(folder, protectedKeys)) {
        folders->SetTag(i, ftIfEmpty);
        if (refusedFolder_.empty()) refusedFolder_ = inDest && destProtected ? dest : folder;
      }
    }
  }
  // Last, the program folder itself when nothing is left in it: an emptied installation
  // leaves no empty folder behind.
  folders->SetTag(folders->Add(dest), ftIfEmpty);
  return folders;
}

void TSetupActionUninstallFiles::Execute() {
  // The folders as they are before anything is deleted.
  std::unique_ptr<TKVLStringList> folders = CreateFolderList();
  std::unique_ptr<TKVLStringList> files = CreateFileList();
  Status(GetCommonString("A9"));
  if (!refusedFolder_.empty()) {
    std::string text = GetCommonString("A9Protected");
    if (text.empty()) text = kProtectedFallback;
    // Replaced by hand: a translation is no format string to trust.
    size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, refusedFolder_);
    Status(text);
  }
  const int total = files->Count() + folders->Count();
  int done = 0;
  for (int i = 0; i < files->Count(); ++i) {
    ++done;
    Setup::Core::DeleteFileOrSchedule(files->Strings(i));
    SetProgress(StepProgress(done, total));
  }
  for (int i = 0; i < folders->Count(); ++i) {
    ++done;
    if (folders->Tag(i) == ftWithContents)
      RemoveFolderWithContents(folders->Strings(i));
    else
      RemoveEmptyDirectory(folders->Strings(i));
    SetProgress(StepProgress(done, total));
  }
}

} // namespace Setup::Product::ONDU::Actions

namespace Setup::Product::ONDU::Actions {

bool TSetupActionUninstallFiles::IsProtectedFolder(const std::string& folder) {
  return IsProtected(folder, ProtectedFolderKeys());
}

} // namespace Setup::Product::ONDU::Actions
