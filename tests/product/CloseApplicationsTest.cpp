// Closing running copies of the player and its tools before a run touches their files.
#include <gtest/gtest.h>

#include <chrono>

#include "KVL/Base/Platform/Process.h"
#include "ProductTestUtil.h"
#include "setup/core/Errors.h"
#include "setup/core/Resources.h"
#include "setup/product/CloseApplications.h"

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
