// The removal actions: integration and registration first, then the installed files and folders.
#include "setup/product/UninstallActions.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/Platform/Directory.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/FileServices.h"
#include "setup/core/PathCanonical.h"
#include "setup/core/Resources.h"
#include "setup/core/Setup.h"
#include "setup/product/FolderRemoval.h"
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
    // The settings folders of every user account (when ONDU.ini says UserMode=1) go here.
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
