// The worker thread: builds the action list, runs it in order, reports progress and the first error.
#pragma once

#include <mutex>

#include "KVL/Base/Platform/Thread.h"
#include "setup/core/Action.h"

namespace Setup::Core {

class TSetupThread : public KVL::Platform::TPlatformThread {
public:
  TSetupThread() = default;
  // Terminates, waits for the thread, then frees the actions.
  ~TSetupThread() override;

  // Sets the termination flag, then tells the current action.
  void Terminate() override;
  TSetupActionList& Actions() { return actions_; }

protected:
  void Execute() override;
  // Asks the product information for this run's action classes.
  virtual void PopulateActions();
  void SetCurrentAction(TSetupAction* action);
  void ActionProgress(TSetupAction& action);

private:
  TSetupActionList actions_;
  TSetupAction* currentAction_ = nullptr;
  std::mutex lock_;
};

} // namespace Setup::Core
