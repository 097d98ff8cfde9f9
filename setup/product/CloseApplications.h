// The first action of every run: asks running copies of the player and its tools to close.
#pragma once

#include <atomic>

#include "setup/core/Action.h"

namespace Setup::Product::ONDU::Actions {

class TSetupActionCloseApplications : public Setup::Core::TSetupAction {
public:
  // Passes over the known main-window classes, closing the first window of each, until a
  // pass finds none. A program that never closes would hold the run forever: after
  // MaxPasses passes a window still open raises EInstallerInstallError naming its class.
  // Returns early when the run is told to terminate.
  void Execute() override;

  // The pause after each pass, in milliseconds; benchmarks and tests may shorten it.
  static inline std::atomic<int> PassWaitMs{2000};
  // 30 passes at the normal pause give a program a minute to close (its user may be
  // answering a save question meanwhile).
  static constexpr int MaxPasses = 30;
};

} // namespace Setup::Product::ONDU::Actions
