// The update task that undoes the shell registration and removes the installed-program entry.
#pragma once

#include "setup/product/UpdateTask.h"

namespace Setup::Product::ONDU::Actions {

class TSetupUpdateTaskRemoveFromRegistry : public TSetupUpdateTask {
public:
  // Runs the destination's Elevator.exe with /REG=U when it is there, then removes the
  // entry of the product's name. Raises nothing.
  void Execute(KVL::Classes::TKVLStringList* cleanup) override;
};

} // namespace Setup::Product::ONDU::Actions
