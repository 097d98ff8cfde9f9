// Closing running copies of the player and its tools before a run touches their files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "KVL/Base/Platform/Process.h"
#include "KVL/UI/WindowHost.h"
#include "ProductTestUtil.h"
#include "setup/core/Errors.h"
#include "setup/core/Resources.h"
#include "setup/product/CloseApplications.h"
#include "setup/product/ProductInfoONDU.h"

using namespace KVL::Platform;
using Setup::Product::ONDU::Actions::TSetupActionCloseApplications;

namespace {

class CloseApplications : public ::testing::Test {
protected:
  ProductTest::TScratchMachine machine_;
  SetupTest::TSetupFixture fixture_{SetupTest::MinimalSetupFiles(), {}, "", ProductTest::OnduClass()};
  ProductTest::TRecordingListener listener_;

  void SetUp() override {
    TSetupActionCloseApplications::PassWaitMs = 100;
    fixture_.Setup().Resources().LoadLanguage("English.lng");
    fixture_.Setup().AddListener(&listener_);
  }
  void TearDown() override { TSetupActionCloseApplications::PassWaitMs = 2000; }
};

} // namespace

TEST_F(CloseApplications, ShowsItsStatusAndWaitsOnceWhenNothingRuns) {
  TSetupActionCloseApplications action;
  const auto start = std::chrono::steady_clock::now();
  action.Run();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(listener_.Texts, std::vector<std::string>{"Closing ONDU..."});
  EXPECT_GE(elapsed, std::chrono::milliseconds(100));
  EXPECT_EQ(action.Progress(), 100);
}

TEST_F(CloseApplications, ClosesEveryListedWindowTwoOfOneClassInTurn) {
  std::optional<TProcess> tool = ProductTest::StartWindow({"--window", "TONDU2MainW"}, "TONDU2MainW", 1);
  if (!tool) GTEST_SKIP() << "this system cannot create top-level windows";
  std::optional<TProcess> first = ProductTest::StartWindow({"--window", "TONDUMainForm"}, "TONDUMainForm", 1);
  std::optional<TProcess> second = ProductTest::StartWindow({"--window", "TONDUMainForm"}, "TONDUMainForm", 2);
  ASSERT_TRUE(first && second);
  ASSERT_EQ(FindTopLevelWindows("TONDUMainForm").size(), 2u);

  TSetupActionCloseApplications action;
  action.Run();
  for (TProcess* p : {&*tool, &*first, &*second}) {
    ASSERT_TRUE(p->WaitForExit(10000));
    EXPECT_EQ(p->ExitCode(), 42u);  // its window was closed
  }
  EXPECT_TRUE(FindTopLevelWindows("TONDU2MainW").empty());
  EXPECT_TRUE(FindTopLevelWindows("TONDUMainForm").empty());
}

TEST_F(CloseApplications, AWindowThatNeverClosesEndsTheRunWithItsClass) {
  TSetupActionCloseApplications::PassWaitMs = 10;
  // Long enough to outlast every pass; then it ends by itself.
  std::optional<TProcess> stubborn =
      ProductTest::StartWindow({"--stubborn-window", "TONDUATEForm", "3000"}, "TONDUATEForm", 1);
  if (!stubborn) GTEST_SKIP() << "this system cannot create top-level windows";
  TSetupActionCloseApplications action;
  try {
    action.Run();
    ADD_FAILURE() << "no error for a window that stays open";
  } catch (const Setup::Core::EInstallerInstallError& e) {
    EXPECT_NE(std::string(e.what()).find("\"TONDUATEForm\""), std::string::npos) << e.what();
  }
  EXPECT_EQ(action.Progress(), 0);
  EXPECT_TRUE(stubborn->WaitForExit(15000));
}

// The sample product's stand-in player shows its main window on X11 as the real one does:
// the installer finds the folder it runs from and closes it.
TEST_F(CloseApplications, FindsAndClosesTheStandInPlayer) {
#if defined(ONDU_SAMPLE_STAGE_DIR) && !defined(_WIN32)
  TestUtil::TTempDir folder;
  const std::string exe = folder.File("ONDU.exe");
  std::filesystem::copy_file(std::filesystem::path(ONDU_SAMPLE_STAGE_DIR) / "PRODUCT" / "ONDU.exe", exe);
  KVL::Platform::TEnvironmentOverride logs("ONDU_STANDIN_LOG_DIR", folder.Path());
  if (!KVL::UI::NativeHostAvailable()) GTEST_SKIP() << "no X display: the player shows no window";
  std::optional<TProcess> player = ProductTest::StartWindow({}, "TONDUMainForm", 1, exe);
  ASSERT_TRUE(player) << "the player showed no window";
  const std::vector<intptr_t> windows = FindTopLevelWindows("TONDUMainForm");
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(WindowProcessId(windows[0]), player->Id());
  EXPECT_EQ(ProcessExecutablePath(player->Id()), exe);
  std::string found;
  EXPECT_TRUE(Setup::Product::ONDU::TProductInfoONDU::FindInstallation(found));
  EXPECT_EQ(found, ExtractFilePath(exe));

  TSetupActionCloseApplications action;
  action.Run();
  ASSERT_TRUE(player->WaitForExit(10000));
  EXPECT_EQ(player->ExitCode(), 0u);
  EXPECT_TRUE(FindTopLevelWindows("TONDUMainForm").empty());
#else
  GTEST_SKIP() << "the Windows stand-in player has no window";
#endif
}
