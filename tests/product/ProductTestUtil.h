// Shared pieces of the product tests: a scratch machine, the ONDU product class, a status recorder.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/Process.h"
#include "TestUtil.h"
#include "setup/core/ApplicationRepository.h"
#include "setup/core/SetupTypes.h"
#include "setup/product/ProductInfoONDU.h"
#include "tests/setup/SetupFixture.h"

namespace ProductTest {

// Machine-wide places (and the registry stand-in) below a scratch folder. On Windows the
// registry is the real one (wine's private prefix): the fixed entry names are cleared
// before and after.
class TScratchMachine {
public:
  TScratchMachine() { ClearEntries(); }
  ~TScratchMachine() { ClearEntries(); }
  const TestUtil::TTempDir& Root() const { return root_; }

private:
  static void ClearEntries() {
    for (const char* name : {"ONDU", "ONDU3"}) Setup::Core::TSetupApplicationRepository::Unregister(name);
  }
  TestUtil::TTempDir root_;
  KVL::Platform::TEnvironmentOverride systemRoot_{"KVL_SYSTEM_ROOT", root_.Path()};
  KVL::Platform::TEnvironmentOverride home_{"HOME", root_.File("home")};
};

inline Setup::Core::TSetupProductInfoClass OnduClass() {
  return [] { return std::make_unique<Setup::Product::ONDU::TProductInfoONDU>(); };
}

// Files of an uninstaller's data package: PRODUCT holding Uninstall.ini puts the setup
// object in uninstall mode.
inline SetupTest::TFiles UninstallData(const std::string& uninstallIni) { return {{"Uninstall.ini", uninstallIni}}; }

// Keeps the status texts and progress values the setup object broadcasts.
class TRecordingListener : public Setup::Core::IInstallerNotify {
public:
  void Notify(int32_t code, intptr_t param) override {
    if (code == Setup::Core::snStatusText) Texts.push_back(*reinterpret_cast<const std::string*>(param));
  }
  std::vector<std::string> Texts;
};

// Starts the test child with args (a --window option) and waits until expectedCount windows
// of cls are there. Nothing when this system cannot create top-level windows (wine without
// a display); a child that ends otherwise or a window that never shows is returned as it is
// and the caller's checks fail.
inline std::optional<KVL::Platform::TProcess> StartWindow(const std::vector<std::string>& args,
                                                          const std::string& cls, size_t expectedCount,
                                                          const std::string& program = TestUtil::ChildProgramPath()) {
  KVL::Platform::TProcess p = KVL::Platform::StartProcess(program, args);
  for (int i = 0; i < 500; ++i) {
    if (KVL::Platform::FindTopLevelWindows(cls).size() >= expectedCount) return p;
    if (p.WaitForExit(20)) {
      if (p.ExitCode() == 91) return std::nullopt;
      break;
    }
  }
  return std::nullopt;
}

} // namespace ProductTest
