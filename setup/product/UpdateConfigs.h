// The update task that moves one profile's settings to the folder and names of this version.
#pragma once

#include "setup/product/Profiles.h"
#include "setup/product/UpdateTask.h"

namespace Setup::Product::ONDU::Actions {

class TSetupUpdateTaskUpdateConfigs : public TSetupUpdateTask {
public:
  // profile belongs to the preparation's profile list, which outlives the task.
  explicit TSetupUpdateTaskUpdateConfigs(TSetupProfileInfo& profile) : profile_(profile) {}

  // Copies OldPath to NewPath when they differ ("Cannot copy "%s" to "%s""), keeps NewPath
  // out of the cleanup list and renames or drops the files of earlier versions.
  void Execute(KVL::Classes::TKVLStringList* cleanup) override;

  const TSetupProfileInfo& Profile() const { return profile_; }

private:
  TSetupProfileInfo& profile_;
};

} // namespace Setup::Product::ONDU::Actions
