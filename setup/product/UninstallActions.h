// The removal actions: undoing the integration and registration, then deleting files and folders.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "KVL/Base/StringList.h"
#include "setup/core/Action.h"
#include "setup/product/UpdateTask.h"

namespace Setup::Product::ONDU::Actions {

// Percentage of done steps out of total, rounded to the nearest integer; 100 only once every
// step is done (rounding alone would show 100 one step early in a list of more than 200).
int32_t StepProgress(int done, int total);

class TSetupActionUninstallIntegration : public Setup::Core::TSetupAction {
public:
  TSetupActionUninstallIntegration();
  ~TSetupActionUninstallIntegration() override;

  // Runs each task in order; progress follows the tasks done.
  void Execute() override;

  const std::vector<std::unique_ptr<TSetupUpdateTask>>& Tasks() const { return tasks_; }

private:
  std::vector<std::unique_ptr<TSetupUpdateTask>> tasks_;
};

class TSetupActionUninstallFiles : public Setup::Core::TSetupAction {
public:
  // Tags of the folder list.
  static constexpr int32_t ftIfEmpty = 0;       // removed only when empty
  static constexpr int32_t ftWithContents = 1;  // removed with everything in it

  // Deletes the recorded files, then handles the folders as tagged.
  void Execute() override;

  // The installed files recorded in Uninstall.ini, full paths, each once (ignoring case).
  // Raises EInstallerInstallError when the setup resources hold no Uninstall.ini.
  std::unique_ptr<KVL::Classes::TKVLStringList> CreateFileList();
  // Every folder below the destination, children before their parent, tagged ftIfEmpty; then
  // what the user chose to remove whole (backups, settings), tagged ftWithContents.
  // A destination that holds more than the installation (see IsProtectedFolder) keeps
  // everything in it that is not listed or empty: its entries are tagged ftIfEmpty, and
  // Execute says so in its status text.
  std::unique_ptr<KVL::Classes::TKVLStringList> CreateFolderList();

  // A root, a special folder (profile, desktop, documents, program files, system, application
  // data, Start menu), any account's profile or application data, or a folder holding one.
  // Compared absolute, without trailing separators, ignoring case on Windows.
  static bool IsProtectedFolder(const std::string& folder);

private:
  std::string refusedFolder_;  // the first folder not removed whole; set by CreateFolderList
};

} // namespace Setup::Product::ONDU::Actions
