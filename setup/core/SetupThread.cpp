// The worker thread: populates the actions, runs them in order and reports to the setup object.
#include "setup/core/SetupThread.h"

#include <exception>

#include "setup/core/ProductInfo.h"
#include "setup/core/Setup.h"
#include "setup/core/SetupTypes.h"

namespace Setup::Core {

TSetupThread::~TSetupThread() {
  Terminate();
  WaitFor();
}

void TSetupThread::Terminate() {
  TPlatformThread::Terminate();
  std::lock_guard<std::mutex> guard(lock_);
  if (currentAction_ != nullptr) currentAction_->Cancel();
}

void TSetupThread::Execute() {
  try {
    PopulateActions();
    const int count = actions_.Count();
    for (int i = 0; i < count; ++i) {
      if (IsTerminated()) break;
      SetCurrentAction(&actions_.Items(i));
      actions_.Items(i).Run();
    }
  } catch (const std::exception& e) {
    // The first failure ends the run; nothing is rolled back.
    Setup->AddError(e.what());
  }
  Setup->SendNotify(snFinished, IsTerminated() ? 1 : 0);
}

void TSetupThread::PopulateActions() {
  Setup->ProductInfo().PopulateActions([this](const TSetupActionClass& cls) {
    std::unique_ptr<TSetupAction> action = cls.Create();
    action->OnProgress = [this](TSetupAction& a) { ActionProgress(a); };
    actions_.Add(std::move(action));
  });
}

void TSetupThread::SetCurrentAction(TSetupAction* action) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    currentAction_ = action;
  }
  // Sent outside the lock: the main thread, which serves this send, may itself be waiting
  // for the lock in Terminate.
  if (action != nullptr) ActionProgress(*action);
}

void TSetupThread::ActionProgress(TSetupAction&) {
  // The current action's value, whichever action reported.
  const int32_t current = currentAction_ != nullptr ? (currentAction_->Progress() & 0xFFFF) : 0;
  const int32_t overall = actions_.Progress();
  Setup->SendNotify(snProgress, overall * 65536 + current);
  Setup->SendNotify(snInvalidate, 0);
}

} // namespace Setup::Core
