// The real installer program with /AUTO alone: the wizard window runs the installation and closes itself.
#include <gtest/gtest.h>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "TestUtil.h"
#include "setup/core/ApplicationRepository.h"
#include "tests/integration/SampleInstaller.h"

#if defined(ONDU_SETUP_BARE) && defined(ONDU_SAMPLE_STAGE_DIR) && !defined(_WIN32)

using namespace KVL::Platform;
using namespace IntegrationTest;

namespace {

TEST(WizardRun, UnattendedWizardInstallsAndEndsWithCodeZero) {
  SampleInstaller();
  TestUtil::TTempDir sandbox;
  for (const char* d : {"root", "home", "logs", "tmp"}) ForceDirectories(sandbox.File(d));
  // No display: the wizard runs on the toolkit's headless host.
  TEnvironmentOverride display("DISPLAY", std::nullopt);
  TEnvironmentOverride root("KVL_SYSTEM_ROOT", sandbox.File("root"));
  TEnvironmentOverride home("HOME", sandbox.File("home"));
  TEnvironmentOverride logs("ONDU_STANDIN_LOG_DIR", sandbox.File("logs"));
  TEnvironmentOverride tmpdir("TMPDIR", sandbox.File("tmp"));
  const std::string dest = sandbox.File("Apps/ONDU") + kPathDelim;

  const std::string out = sandbox.File("output.txt");
  TProcess p = StartProcessCapturing(SampleInstaller(), {"/AUTO=" + dest}, out);
  ASSERT_TRUE(p.WaitForExit(120000)) << "the wizard did not close itself";
  EXPECT_EQ(p.ExitCode(), 0u) << TestUtil::ReadWholeFile(out);
  for (const char* f : {"ONDU.exe", "Uninstall.exe", "Uninstall.dat"}) EXPECT_TRUE(FileExists(dest + f)) << f;
  Setup::Core::TSetupApplicationRepository::Unregister("ONDU");
}

} // namespace

#endif
