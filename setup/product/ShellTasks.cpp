// Update tasks that remove an earlier installation's shell menu libraries, installed-program entries and shortcuts.
#include "setup/product/ShellTasks.h"

#include <string>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/Platform/ShellLink.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/ActiveX.h"
#include "setup/core/ApplicationRepository.h"
#include "setup/core/FileServices.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Setup.h"
#include "setup/product/FolderRemoval.h"

namespace Setup::Product::ONDU::Actions {

using KVL::Platform::GetSpecialFolder;
using KVL::Platform::kPathDelim;
using KVL::Platform::TSpecialFolder;

namespace {

// The player's version number below which its shortcuts were named "ONDU3".
constexpr int32_t kFirstVersionWithoutOldNames = 4000;

// N + ".lnk" in a desktop folder: the platform's file for that shortcut. A folder the system
// cannot name is skipped, never taken as the current folder.
void DeleteDesktopShortcut(TSpecialFolder desktop, const std::string& name) {
  const std::string folder = GetSpecialFolder(desktop);
  if (folder.empty()) return;
  Setup::Core::DeleteFileOrSchedule(KVL::Platform::ShellLinkFileName(folder + name + ".lnk"));
}

void RemoveMenuFolder(TSpecialFolder menu, const std::string& name) {
  const std::string folder = GetSpecialFolder(menu);
  if (folder.empty()) return;
  const std::string path = folder + name + kPathDelim;
  if (KVL::Platform::DirectoryExists(path)) RemoveFolderWithContents(path);
}

void RemoveShortcutsNamed(const std::string& name) {
  DeleteDesktopShortcut(TSpecialFolder::sfUserDesktop, name);
  DeleteDesktopShortcut(TSpecialFolder::sfCommonDesktop, name);
  RemoveMenuFolder(TSpecialFolder::sfUserStartMenu, name);
  RemoveMenuFolder(TSpecialFolder::sfCommonPrograms, name);
  RemoveMenuFolder(TSpecialFolder::sfCommonStartMenu, name);
}

} // namespace

void TSetupUpdateTaskRemoveShellMenu::Execute(KVL::Classes::TKVLStringList*) {
  const std::string system = Setup::Core::Setup->DestPath() + "System" + kPathDelim;
  for (const char* name : {"ondu_menu32.dll", "ondu_menu64.dll"}) {
    const std::string library = system + name;
    if (!KVL::Platform::FileExists(library)) continue;
    // A library of the other architecture does not load and is deleted all the same.
    Setup::Core::TSetupActiveX::UnregisterServer(library);
    Setup::Core::DeleteFileOrSchedule(library);
  }
}

void TSetupUpdateTaskRemoveUninstallInfo::Execute(KVL::Classes::TKVLStringList*) {
  const std::string& dest = Setup::Core::Setup->DestPath();
  for (const char* name : {"ONDU3", "ONDU"}) {
    std::string folder;
    if (Setup::Core::TSetupApplicationRepository::GetInstallPath(name, folder) &&
        KVL::SysUtils::StartsText(folder, dest))
      Setup::Core::TSetupApplicationRepository::Unregister(name);
  }
}

void TSetupUpdateTaskRemoveShortcuts::Execute(KVL::Classes::TKVLStringList*) {
  RemoveShortcutsNamed("ONDU");
  if (Setup::Core::Setup->ProductInfo().GetInstalledVersion() < kFirstVersionWithoutOldNames)
    RemoveShortcutsNamed("ONDU3");
}

} // namespace Setup::Product::ONDU::Actions
