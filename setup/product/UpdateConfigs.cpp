// The update task that moves one profile's settings to the folder and names of this version.
#include "setup/product/UpdateConfigs.h"

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/Errors.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Setup.h"
#include "setup/core/SetupHelper.h"

namespace Setup::Product::ONDU::Actions {

using namespace KVL::Platform;
using Setup::Core::TSetupHelper;

namespace {

// Renames folder + from to folder + to when the source exists; a target that exists already
// (or any other failure) raises the system error, so no settings file is overwritten.
void RenameIfPresent(const std::string& folder, const char* from, const char* to) {
  const std::string source = folder + from;
  if (!FileExists(source)) return;
  if (!RenameFile(source, folder + to)) RaiseLastOSError();
}

void AppendIfPresent(KVL::Classes::TKVLStringList* cleanup, const std::string& file) {
  if (cleanup && FileExists(file)) cleanup->Add(file);
}

} // namespace

void TSetupUpdateTaskUpdateConfigs::Execute(KVL::Classes::TKVLStringList* cleanup) {
  Setup::Core::TSetup& setup = *Setup::Core::Setup;
  const std::string& oldPath = profile_.OldPath;
  const std::string& newPath = profile_.NewPath;
  if (!KVL::SysUtils::SameText(oldPath, newPath) && !TSetupHelper::CopyFolder(oldPath, newPath, false))
    throw Setup::Core::EInstallerInstallError(
        KVL::SysUtils::Format("Cannot copy \"%s\" to \"%s\"", oldPath.c_str(), newPath.c_str()));
  // The settings in their new place survive the cleanup; an old folder elsewhere does not.
  if (cleanup) TSetupHelper::RemoveByPrefix(*cleanup, newPath);

  const int32_t installed = setup.ProductInfo().GetInstalledVersion();
  if (installed < 4000) {
    RenameIfPresent(setup.DestPath(), "ONDU3.ini", "ONDU.ini");
    RenameIfPresent(newPath, "ONDU3-cat.db", "ONDU-cat.db");
    RenameIfPresent(newPath, "ondu3_menu.ini", "ONDU-ContextMenu.ini");
    RenameIfPresent(newPath, "ONDU3.ini", "ONDU.ini");
    RenameIfPresent(newPath, "ONDU3ac.ini", "ONDUac.ini");
    RenameIfPresent(newPath, "ONDU3ate.ini", "ONDUate.ini");
    for (const char* name : {"ONDU3-SkinLayout.ini", "ONDU3.bak", "ONDU3ac.bak", "ONDU3ate.bak"})
      AppendIfPresent(cleanup, newPath + name);
  }
  if (installed < 4500) {
    // The skins that shipped with 3.x and 4.0x; later releases replaced them.
    const std::string skins = setup.DestPath() + "Skins" + kPathDelim;
    for (const char* name : {"ONDU3.skn", "ONDU3 Dark.skn"}) AppendIfPresent(cleanup, skins + name);
  }
  if (installed < 4600) AppendIfPresent(cleanup, newPath + "AlbumArts.db");
  if (installed < 5020) {
    AppendIfPresent(cleanup, newPath + "AlbumArtCache.db");
    // Only a cache of pictures: losing the custom name is not worth stopping for.
    if (FileExists(newPath + "AlbumArtsForURLs.db")) RenameFile(newPath + "AlbumArtsForURLs.db", newPath + "AlbumArts.Custom.db");
  }
}

} // namespace Setup::Product::ONDU::Actions
