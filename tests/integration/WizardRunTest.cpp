// The real installer program without a display: /AUTO alone installs unattended, no switch at all says why it cannot start.
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
  // No display: nobody could answer a window, so the unattended run goes on without one.
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

TEST(WizardRun, InteractiveRunWithoutDisplayEndsWithAReason) {
  TestUtil::TTempDir sandbox;
  for (const char* d : {"root", "home", "tmp"}) ForceDirectories(sandbox.File(d));
  TEnvironmentOverride display("DISPLAY", std::nullopt);
  TEnvironmentOverride root("KVL_SYSTEM_ROOT", sandbox.File("root"));
  TEnvironmentOverride home("HOME", sandbox.File("home"));
  TEnvironmentOverride tmpdir("TMPDIR", sandbox.File("tmp"));
  const std::string out = sandbox.File("output.txt");
  TProcess p = StartProcessCapturing(SampleInstaller(), {}, out);
  ASSERT_TRUE(p.WaitForExit(60000)) << "the installer waited for a window nobody sees";
  EXPECT_EQ(p.ExitCode(), 1u);
  EXPECT_NE(TestUtil::ReadWholeFile(out).find("no display"), std::string::npos) << TestUtil::ReadWholeFile(out);
}

} // namespace

#endif
