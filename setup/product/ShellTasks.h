// Update tasks that remove what an earlier installation left in the shell and the registry.
#pragma once

#include "setup/product/UpdateTask.h"

namespace Setup::Product::ONDU::Actions {

// Unregisters and deletes System\ondu_menu32.dll and System\ondu_menu64.dll of the destination.
class TSetupUpdateTaskRemoveShellMenu : public TSetupUpdateTask {
public:
  void Execute(KVL::Classes::TKVLStringList* cleanup) override;
};

// Removes the installed-program entries "ONDU3" and "ONDU" that point into the destination.
class TSetupUpdateTaskRemoveUninstallInfo : public TSetupUpdateTask {
public:
  void Execute(KVL::Classes::TKVLStringList* cleanup) override;
};

// Deletes the desktop shortcuts and Start menu folders named "ONDU" (and "ONDU3" when the
// installed version is below 4.00), for the current user and for all users.
class TSetupUpdateTaskRemoveShortcuts : public TSetupUpdateTask {
public:
  void Execute(KVL::Classes::TKVLStringList* cleanup) override;
};

} // namespace Setup::Product::ONDU::Actions
