// The wizard's page flow: page lists per run, the buttons page by page, skipped pages, unattended runs, finish and summary pages.
#include <gtest/gtest.h>

#include "tests/wizard/WizardFixture.h"

using namespace WizardTest;

namespace {

const TSetupActionClass& Summary() { return ActionClassOf<TSummaryAction>("TSummaryAction"); }
const TSetupActionClass& Step() { return ActionClassOf<TStepAction>("TStepAction"); }

const char kUninstallIni[] = "[Common]\r\nDestPath=x\r\n";

struct TSequenceCase {
  const char* Name;
  std::string Params;
  bool Uninstall;
  int32_t InstalledVersion;
  std::vector<std::string> Pages;
  std::string First;
};

class WizardSequence : public ::testing::TestWithParam<TSequenceCase> {};

TEST_P(WizardSequence, PagesAndFirstPage) {
  const TSequenceCase& c = GetParam();
  TWizardOptions o;
  o.Params = c.Params;
  o.InstalledVersion = c.InstalledVersion;
  if (c.Uninstall) {
    o.ProductFiles = {{"Uninstall.ini", kUninstallIni}};
    o.Pages = {PageClass<TSetupPageRemoval>()};
  }
  TWizardEnv env(o);
  TWizardForm& form = env.Create();
  EXPECT_EQ(env.PageNames(), c.Pages);
  EXPECT_EQ(env.ActiveName(), c.First);
  EXPECT_EQ(env.Host().Caption(), env.Common("Caption"));
  EXPECT_EQ(form.lbVerInfo()->Caption(), "5.39, 2026-11-20");
  // Unattended runs start at once; let them end before the window goes.
  if (c.Params.starts_with("/AUTO")) {
    EXPECT_TRUE(env.PumpUntilFinished());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, WizardSequence,
    ::testing::Values(
        TSequenceCase{"Install",
                      "",
                      false,
                      0,
                      {"PageWelcome", "PageLicense", "PageOptions", "PageShortcuts", "PageReadyToInstall",
                       "PageInstall", "PageFinish"},
                      "PageWelcome"},
        TSequenceCase{"Uninstall", "", true, 0, {"PageRemoval", "PageUninstall", "PageUninstallFinish"}, "PageRemoval"},
        TSequenceCase{"AutoInstall", "/AUTO=\"{dest}\"", false, 0, {"PageInstall", "PageFinish"}, "PageInstall"},
        TSequenceCase{"AutoUninstall", "/AUTO", true, 0, {"PageUninstall", "PageUninstallFinish"}, "PageUninstall"}),
    [](const auto& info) { return std::string(info.param.Name); });

struct TButtons {
  bool BackVisible;
  bool NextEnabled;
  std::string NextKey;
};

void ExpectButtons(TWizardEnv& env, const TButtons& b) {
  SCOPED_TRACE(env.ActiveName());
  EXPECT_EQ(env.Form().bBack()->Visible(), b.BackVisible);
  EXPECT_EQ(env.Form().bNext()->Enabled(), b.NextEnabled);
  EXPECT_EQ(env.Form().bNext()->Caption(), env.Common(b.NextKey));
}

TEST(WizardFlow, InteractiveInstallButtonsPageByPage) {
  TWizardOptions o;
  o.Actions = {&Step()};
  TWizardEnv env(o);
  TWizardForm& form = env.Create();
  EXPECT_TRUE(form.bNext()->Focused());
  EXPECT_EQ(form.bBack()->Caption(), env.Common("bBack"));

  ExpectButtons(env, {false, true, "bNext"});  // welcome
  form.bNextClick();
  ASSERT_EQ(env.ActiveName(), "PageLicense");
  ExpectButtons(env, {false, false, "bNext"});
  TKVLCheckBox* accept = env.Page<TSetupPageLicense>()->AcceptBox();
  accept->Click();
  ExpectButtons(env, {false, true, "bNext"});
  accept->Click();
  ExpectButtons(env, {false, false, "bNext"});
  form.bNextClick();  // refused while the box is clear
  EXPECT_EQ(env.ActiveName(), "PageLicense");
  accept->Click();
  form.bNextClick();
  ASSERT_EQ(env.ActiveName(), "PageOptions");
  ExpectButtons(env, {true, true, "bNext"});
  TSetupPageOptions::AllowNext = false;
  form.UpdateButtons();
  ExpectButtons(env, {true, false, "bNext"});
  TSetupPageOptions::AllowNext = true;
  form.bNextClick();
  ASSERT_EQ(env.ActiveName(), "PageShortcuts");
  ExpectButtons(env, {true, true, "bNext"});
  form.bNextClick();
  ASSERT_EQ(env.ActiveName(), "PageReadyToInstall");
  ExpectButtons(env, {true, true, "bInstall"});
  // Back and forth: a page is prepared on every entry.
  form.bBackClick();
  form.bBackClick();
  EXPECT_EQ(env.ActiveName(), "PageOptions");
  EXPECT_EQ(env.Page<TSetupPageOptions>()->Prepared, 2);
  form.bNextClick();
  form.bNextClick();
  ASSERT_EQ(env.ActiveName(), "PageReadyToInstall");

  EXPECT_EQ(env.Setup().State(), ssIdle);
  form.bNextClick();
  ASSERT_EQ(env.ActiveName(), "PageInstall");
  EXPECT_NE(env.Setup().State(), ssIdle);
  ExpectButtons(env, {false, false, "bNext"});
  EXPECT_TRUE(env.Host().CloseEnabled());

  ASSERT_TRUE(env.PumpUntilFinished());
  ASSERT_EQ(env.ActiveName(), "PageFinish");
  ExpectButtons(env, {false, true, "bFinish"});
  EXPECT_FALSE(env.Host().CloseEnabled());
  EXPECT_EQ(env.Page<TSetupPageInstall>()->StatusLabel()->Caption(), "step one");
  EXPECT_EQ(env.Page<TSetupPageInstall>()->GetProgress(), 100);

  form.bNextClick();  // Finish
  EXPECT_FALSE(env.Host().Shown());
  EXPECT_FALSE(form.Cancelled());
  EXPECT_TRUE(env.Questions.empty());
}

TEST(WizardFlow, UninstallOptionsPageOffersUninstall) {
  TWizardOptions o;
  o.ProductFiles = {{"Uninstall.ini", kUninstallIni}};
  o.Pages = {PageClass<TSetupPageRemoval>()};
  TWizardEnv env(o);
  TWizardForm& form = env.Create();
  ExpectButtons(env, {false, true, "bUninstall"});
  form.bNextClick();
  EXPECT_EQ(env.ActiveName(), "PageUninstall");
  ExpectButtons(env, {false, false, "bNext"});
  ASSERT_TRUE(env.PumpUntilFinished());
  EXPECT_EQ(env.ActiveName(), "PageUninstallFinish");
  ExpectButtons(env, {false, true, "bFinish"});
}

// The integration page is asked at every step: portable or update choices skip it.
TEST(WizardFlow, IntegrationPageSkippedForPortableAndUpdate) {
  for (bool update : {false, true}) {
    SCOPED_TRACE(update ? "update" : "portable");
    TWizardOptions o;
    o.InstalledVersion = update ? 5000 : 0;
    TWizardEnv env(o);
    TWizardForm& form = env.Create();
    EXPECT_EQ(env.Setup().HasFlag(sfUpdate), update);
    form.bNextClick();
    env.Page<TSetupPageLicense>()->AcceptBox()->Click();
    form.bNextClick();
    ASSERT_EQ(env.ActiveName(), "PageOptions");
    if (!update) env.Setup().SetFlag(sfPortable, true);
    form.bNextClick();
    EXPECT_EQ(env.ActiveName(), "PageReadyToInstall");
    form.bBackClick();
    EXPECT_EQ(env.ActiveName(), "PageOptions");
    if (!update) {
      env.Setup().SetFlag(sfPortable, false);
      form.bNextClick();
      EXPECT_EQ(env.ActiveName(), "PageShortcuts");
    }
  }
}

TEST(WizardFlow, UnattendedRunClosesAfterCleanRunAndStaysAfterErrors) {
  for (bool fail : {false, true}) {
    SCOPED_TRACE(fail ? "errors" : "clean");
    TWizardOptions o;
    o.Params = "/AUTO=\"{dest}\"";
    o.Actions = {&Step()};
    TWizardEnv env(o);
    TStepAction::Fail = fail;
    TWizardForm& form = env.Create();
    ASSERT_EQ(env.ActiveName(), "PageInstall");
    EXPECT_FALSE(form.bBack()->Visible());
    EXPECT_FALSE(form.bNext()->Enabled());
    ASSERT_TRUE(env.PumpUntilFinished());
    EXPECT_EQ(env.Host().Shown(), fail);
    EXPECT_EQ(env.ActiveName(), fail ? "PageFinish" : "PageInstall");
    EXPECT_TRUE(env.Questions.empty());
  }
}

TEST(WizardFlow, SummaryIsRebuiltOnReturn) {
  TWizardOptions o;
  o.Actions = {&Summary()};
  TWizardEnv env(o);
  TWizardForm& form = env.Create();
  form.SetActivePage(env.Page<TSetupPageReadyToInstall>());
  auto* viewer = env.Page<TSetupPageReadyToInstall>()->Viewer();
  EXPECT_NE(viewer->Text().find("first"), std::string::npos) << viewer->Text();
  form.bBackClick();
  TSummaryAction::Line = "second";
  form.bNextClick();
  EXPECT_NE(viewer->Text().find("second"), std::string::npos) << viewer->Text();
  EXPECT_EQ(viewer->Text().find("first"), std::string::npos);
}

} // namespace
