// Update tasks: small clean-up steps that undo what an earlier installation left outside its files.
#pragma once

#include "KVL/Base/StringList.h"
#include "setup/core/Action.h"

namespace Setup::Product::ONDU::Actions {

class TSetupUpdateTask : public Setup::Core::TSetupPersistent {
public:
  ~TSetupUpdateTask() override;

  // Runs the task once. cleanup is the preparation's list of files to delete afterwards;
  // null when the owner keeps none. Clean-up tasks pass over what they cannot do.
  virtual void Execute(KVL::Classes::TKVLStringList* cleanup) = 0;
};

} // namespace Setup::Product::ONDU::Actions
