// Closing running copies of the player and its companion tools before files are touched.
#include "setup/product/CloseApplications.h"

#include <chrono>
#include <thread>
#include <vector>

#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/Errors.h"
#include "setup/core/Setup.h"
#include "setup/core/SetupThread.h"

namespace Setup::Product::ONDU::Actions {

namespace {

// Main windows of the player and its tools, current and earlier generations.
constexpr const char* kWindowClasses[] = {
    "TONDU2EditorForm",       "TONDU2MainW",      "TONDU3MainWindow", "TONDUATEForm",
    "TONDUConverterMainForm", "TONDULibMainForm", "TONDUMainForm",
};

bool IsRunTerminated() {
  Setup::Core::TSetupThread* thread = Setup::Core::Setup ? Setup::Core::Setup->Thread() : nullptr;
  return thread && thread->IsTerminated();
}

// The first listed class that still has a window, or null.
const char* FirstOpenClass() {
  for (const char* cls : kWindowClasses)
    if (!KVL::Platform::FindTopLevelWindows(cls).empty()) return cls;
  return nullptr;
}

} // namespace

void TSetupActionCloseApplications::Execute() {
  Status(GetCommonString("A8"));
  for (int pass = 0; pass < MaxPasses; ++pass) {
    bool found = false;
    for (const char* cls : kWindowClasses) {
      std::vector<intptr_t> windows = KVL::Platform::FindTopLevelWindows(cls);
      if (windows.empty()) continue;
      // Synchronous: returns once the program has handled the request (it may ask its user).
      KVL::Platform::SendCloseRequest(windows.front());
      found = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(PassWaitMs.load()));
    if (!found || IsRunTerminated()) return;
  }
  // Going on would meet the program's files still in use.
  if (const char* cls = FirstOpenClass())
    throw Setup::Core::EInstallerInstallError(
        KVL::SysUtils::Format("Cannot close the running program whose window class is \"%s\"", cls));
}

} // namespace Setup::Product::ONDU::Actions
