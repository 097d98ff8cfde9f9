// Closing the wizard: the question before, during and after the run, and a close confirmed inside a notification.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/wizard/WizardFixture.h"

using namespace WizardTest;

namespace {

const TSetupActionClass& Blocking() { return ActionClassOf<TBlockingAction>("TBlockingAction"); }

bool HasError(TSetup& setup, const std::string& text) {
  for (int i = 0; i < setup.Errors().Count(); ++i)
    if (setup.Errors().Strings(i) == text) return true;
  return false;
}

TEST(WizardClose, BeforeInstallation) {
  struct TCase {
    const char* Answer;
    bool Closes;
  };
  for (const TCase& c : {TCase{"Cancel", false}, TCase{"OK", true}}) {
    SCOPED_TRACE(c.Answer);
    TWizardEnv env({});
    TWizardForm& form = env.Create();
    form.bNextClick();
    env.AnswerDialogs(c.Answer);
    env.Host().RequestClose();
    ASSERT_EQ(env.Questions.size(), 1u);
    EXPECT_EQ(env.Questions[0].Caption, env.Host().Caption());
    EXPECT_NE(std::find(env.Questions[0].Texts.begin(), env.Questions[0].Texts.end(), env.Common("QM")),
              env.Questions[0].Texts.end());
    EXPECT_EQ(env.Host().Shown(), !c.Closes);
    EXPECT_EQ(form.Cancelled(), c.Closes);
    EXPECT_EQ(env.ActiveName(), "PageLicense");
    EXPECT_EQ(env.Setup().State(), ssIdle);
  }
}

// Enter with Cancel as the default answer: a stray key press keeps the wizard.
TEST(WizardClose, CancelIsTheDefaultAnswer) {
  TWizardEnv env({});
  env.Create();
  SetHeadlessModalHandler([](TKVLForm& dialog) { dialog.HandleKeyDown(TKVLKey::kEnter, {}); });
  env.Host().RequestClose();
  EXPECT_TRUE(env.Host().Shown());
  EXPECT_FALSE(env.Form().Cancelled());
}

TEST(WizardClose, DuringInstallation) {
  for (bool ok : {false, true}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    TWizardOptions o;
    o.Actions = {&Blocking()};
    TWizardEnv env(o);
    TWizardForm& form = env.Create();
    form.SetActivePage(env.Page<TSetupPageInstall>());
    ASSERT_TRUE(env.PumpUntil([] { return TBlockingAction::Started.load(); }));
    env.AnswerDialogs(ok ? "OK" : "Cancel");
    env.Host().RequestClose();
    ASSERT_EQ(env.Questions.size(), 1u);
    if (!ok) {
      EXPECT_TRUE(env.Host().Shown());
      EXPECT_EQ(env.Setup().State(), ssRunning);
      EXPECT_FALSE(form.Cancelled());
      continue;  // the fixture stops the run
    }
    // The worker was stopped while its last notifications were served.
    EXPECT_EQ(env.Setup().State(), ssFinished);
    EXPECT_TRUE(env.Setup().Thread()->IsFinished());
    EXPECT_TRUE(HasError(env.Setup(), env.Common("E4")));
    EXPECT_FALSE(env.Host().Shown());
    EXPECT_TRUE(form.Cancelled());
    EXPECT_EQ(env.ActiveName(), "PageFinish");
  }
}

TEST(WizardClose, AfterTheRunOnlyFinishCloses) {
  TWizardEnv env({});
  TWizardForm& form = env.Create();
  form.SetActivePage(env.Page<TSetupPageInstall>());
  ASSERT_TRUE(env.PumpUntilFinished());
  ASSERT_EQ(env.ActiveName(), "PageFinish");
  env.AnswerDialogs("OK");
  env.Host().RequestClose();  // the title bar's close box is disabled
  EXPECT_TRUE(env.Host().Shown());
  form.bNext()->Click();
  EXPECT_FALSE(env.Host().Shown());
  EXPECT_TRUE(env.Questions.empty());
  EXPECT_FALSE(form.Cancelled());
}

// The progress page serves pending messages inside its notifications; a close confirmed
// there must not wait for the worker, which is blocked in that very notification.
TEST(WizardClose, ConfirmedInsideANotificationIsCarriedOutAfterIt) {
  TWizardOptions o;
  o.Actions = {&Blocking()};
  TWizardEnv env(o);
  TWizardForm& form = env.Create();
  form.SetActivePage(env.Page<TSetupPageInstall>());
  ASSERT_TRUE(env.PumpUntil([] { return TBlockingAction::Started.load(); }));
  env.AnswerDialogs("OK");

  // A second thread asks the main thread to press the close box until the request is
  // served inside the page's handling of a status text.
  std::atomic<bool> pressed{false};
  std::atomic<bool> stop{false};
  std::atomic<bool> done{false};
  std::thread presser([&] {
    while (!pressed && !stop) {
      KVL::Platform::Synchronize([&] {
        if (!pressed && TSetupPageInstall::IsServingNotification()) {
          pressed = true;
          env.Host().RequestClose();
        }
      });
    }
    done = true;
  });
  const bool served = env.PumpUntil([&] { return pressed.load(); });
  stop = true;
  // The presser may wait in a last request: serve it while it ends.
  env.PumpUntil([&] { return done.load(); });
  presser.join();
  ASSERT_TRUE(served);
  ASSERT_EQ(env.Questions.size(), 1u);
  // The deferred close runs once the notification has returned.
  ASSERT_TRUE(env.PumpUntil([&] { return !env.Host().Shown(); }));
  EXPECT_EQ(env.Setup().State(), ssFinished);
  EXPECT_TRUE(HasError(env.Setup(), env.Common("E4")));
  EXPECT_TRUE(form.Cancelled());
  EXPECT_EQ(env.Questions.size(), 1u);
}

} // namespace
