// The shared pages: texts by control name, license, progress, and the finish pages after clean and failed runs.
#include <gtest/gtest.h>

#include "KVL/Base/FileFormats/INI.h"
#include "setup/ui/RichViewer.h"
#include "tests/wizard/WizardFixture.h"

using namespace WizardTest;

namespace {

const TSetupActionClass& Step() { return ActionClassOf<TStepAction>("TStepAction"); }

TEST(StandardPages, TextsComeFromThePageSectionByControlName) {
  TWizardEnv env({});
  env.Create();
  auto* welcome = env.Page<TSetupPageWelcome>();
  auto& res = env.Setup().Resources();
  EXPECT_EQ(welcome->Name(), "PageWelcome");
  EXPECT_EQ(welcome->Title, res.GetText("PageWelcome", "Title"));
  EXPECT_EQ(welcome->L1()->Caption(), res.GetText("PageWelcome", "L1"));
  EXPECT_EQ(welcome->L2()->Caption(), res.GetText("PageWelcome", "L2"));
  EXPECT_NE(welcome->L2()->Caption().find('\n'), std::string::npos);  // "\n" became a line break
  EXPECT_EQ(welcome->L1()->Font().SizePt, 11);
  EXPECT_TRUE(welcome->L2()->WordWrap());
  // The status line has no name: it keeps the text it was given.
  auto* install = env.Page<TSetupPageInstall>();
  EXPECT_EQ(install->StatusLabel()->Caption(), res.GetText("PageInstall", "L1"));
  EXPECT_EQ(install->StatusLabel()->Font().SizePt, 8);
  EXPECT_EQ(install->CurrentBar()->BoundsRect(), TKVLRect::FromBounds(30, 40, 580, 18));
  EXPECT_EQ(install->OverallBar()->BoundsRect(), TKVLRect::FromBounds(30, 65, 580, 18));
}

TEST(StandardPages, ControlsAreMadeAtTheScreenScale) {
  TWizardOptions o;
  o.Dpi = 144;
  TWizardEnv env(o);
  env.Create();
  EXPECT_EQ(env.Page<TSetupPageInstall>()->CurrentBar()->BoundsRect(), TKVLRect::FromBounds(45, 60, 870, 27));
  EXPECT_EQ(env.Page<TSetupPageWelcome>()->L1()->BoundsRect(), TKVLRect::FromBounds(315, 33, 600, 75));
}

TEST(StandardPages, LicenseWithAndWithoutDocument) {
  for (bool license : {true, false}) {
    SCOPED_TRACE(license ? "license" : "none");
    TWizardOptions o;
    if (!license) o.SetupFiles = WithGroup(o.SetupFiles, "license", "");
    TWizardEnv env(o);
    TWizardForm& form = env.Create();
    form.bNextClick();
    auto* page = env.Page<TSetupPageLicense>();
    ASSERT_EQ(form.ActivePage(), page);
    EXPECT_EQ(page->Viewer()->Text().empty(), !license);
    EXPECT_TRUE(page->Viewer()->Inner().Focused() || page->Viewer()->Focused());
    // Entering again shows the document once.
    const std::string first = page->Viewer()->Text();
    form.bBackClick();
    page->AcceptBox()->Click();
    form.SetActivePage(page);
    EXPECT_EQ(page->Viewer()->Text(), first);
    EXPECT_TRUE(form.bNext()->Enabled());
  }
}

TEST(StandardPages, StatusTextBeforeAnyProgressReplacesTheFirstLine) {
  TWizardOptions o;
  o.Actions = {&Step()};
  TWizardEnv env(o);
  TWizardForm& form = env.Create();
  auto* page = env.Page<TSetupPageInstall>();
  std::vector<std::string> seen;
  struct TWatch : IInstallerNotify {
    TSetupPageInstall* page;
    std::vector<std::string>* seen;
    void Notify(int32_t code, intptr_t) override {
      if (code == snProgress) seen->push_back(page->StatusLabel()->Caption());
    }
  } watch;
  watch.page = page;
  watch.seen = &seen;
  // Registered last, so it hears each notification just before the page.
  env.Setup().AddListener(&watch);
  form.SetActivePage(page);
  ASSERT_TRUE(env.PumpUntilFinished());
  env.Setup().RemoveListener(&watch);
  ASSERT_FALSE(seen.empty());
  // The first progress value arrives before the action's status text.
  EXPECT_EQ(seen.front(), env.Setup().Resources().GetText("PageInstall", "L1"));
  EXPECT_EQ(page->StatusLabel()->Caption(), "step one");
  EXPECT_EQ(page->CurrentBar()->Position(), 100);
  EXPECT_EQ(page->OverallBar()->Position(), 100);
  EXPECT_TRUE(page->Finished());
}

struct TFinishCase {
  const char* Name;
  std::string Actions;  // the <Actions> group
  bool Fail;
  std::vector<std::string> Captions;  // of the boxes, in order
};

class FinishPage : public ::testing::TestWithParam<TFinishCase> {};

TEST_P(FinishPage, ErrorsOrProgramsToStart) {
  const TFinishCase& c = GetParam();
  TWizardOptions o;
  o.SetupFiles = WithGroup(o.SetupFiles, "Actions", c.Actions);
  o.Actions = {&Step()};
  TWizardEnv env(o);
  TStepAction::Fail = c.Fail;
  TWizardForm& form = env.Create();
  form.SetActivePage(env.Page<TSetupPageInstall>());
  ASSERT_TRUE(env.PumpUntilFinished());
  auto* page = env.Page<TSetupPageFinish>();
  ASSERT_EQ(form.ActivePage(), page);
  auto& res = env.Setup().Resources();
  const auto& boxes = page->ActionBoxes();
  ASSERT_EQ(boxes.size(), c.Captions.size());
  for (size_t i = 0; i < boxes.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(boxes[i]->Name(), "CB" + std::to_string(i + 1));
    EXPECT_EQ(boxes[i]->Caption(), c.Captions[i]);
    EXPECT_EQ(boxes[i]->BoundsRect(), TKVLRect::FromBounds(210, 120 + 24 * static_cast<int>(i), 320, 17));
    EXPECT_EQ(boxes[i]->Visible(), !c.Fail);
    EXPECT_TRUE(boxes[i]->Checked());
  }
  EXPECT_EQ(page->Link()->Url(), "https://ondu.example/");
  EXPECT_EQ(page->Link()->FontColor(), TKVLColor(0x0066CC));
  EXPECT_EQ(page->ErrorMemo()->Visible(), c.Fail);
  if (c.Fail) {
    EXPECT_EQ(page->L1()->Caption(), res.GetText("PageFinish", "E1"));
    EXPECT_EQ(page->L1()->FontColor(), TKVLColor(0xFF0000));
    EXPECT_EQ(page->L2()->Caption(), res.GetText("PageFinish", "E2"));
    EXPECT_EQ(page->ErrorMemo()->Text().substr(0, 11), "step failed");
  } else {
    EXPECT_EQ(page->L1()->Caption(), res.GetText("PageFinish", "L1"));
    EXPECT_FALSE(page->L1()->FontColor().has_value());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, FinishPage,
    ::testing::Values(TFinishCase{"Clean", "<Actions><File name=\"$DEST\\ONDU.exe\">RunPlayer</File></Actions>", false,
                                  {"Run ONDU now"}},
                      TFinishCase{"Failed", "<Actions><File name=\"$DEST\\ONDU.exe\">RunPlayer</File></Actions>",
                                  true, {"Run ONDU now"}},
                      TFinishCase{"NoActions", "<Actions></Actions>", false, {}},
                      TFinishCase{"TwoActions",
                                  "<Actions><File name=\"$DEST\\ONDU.exe\">RunPlayer</File>"
                                  "<File name=\"$DEST\\ReadMe.txt\"/></Actions>",
                                  false, {"Run ONDU now", ""}}),
    [](const auto& info) { return std::string(info.param.Name); });

// The choices are stored on entry and on every click, under the entries' names as written.
TEST(FinishPage, BoxesAreStoredForTheLaunch) {
  TWizardOptions o;
  o.SetupFiles = WithGroup(o.SetupFiles, "Actions", "<Actions><File name=\"$DEST\\ONDU.exe\">RunPlayer</File>"
                                           "<File name=\"$DEST\\ReadMe.txt\"/></Actions>");
  TWizardEnv env(o);
  TWizardForm& form = env.Create();
  auto& settings = env.Setup().Settings();
  EXPECT_FALSE(settings.ReadBool("Actions", "$DEST\\ONDU.exe", false));
  form.SetActivePage(env.Page<TSetupPageInstall>());
  ASSERT_TRUE(env.PumpUntilFinished());
  EXPECT_TRUE(settings.ReadBool("Actions", "$DEST\\ONDU.exe", false));
  EXPECT_TRUE(settings.ReadBool("Actions", "$DEST\\ReadMe.txt", false));
  env.Page<TSetupPageFinish>()->ActionBoxes()[1]->Click();
  EXPECT_TRUE(settings.ReadBool("Actions", "$DEST\\ONDU.exe", false));
  EXPECT_FALSE(settings.ReadBool("Actions", "$DEST\\ReadMe.txt", true));
}

TEST(StandardPages, MissingArtworkStopsTheWizard) {
  for (const std::string name : {"header.png", "header_dark.png", "wizard_light.png"}) {
    SCOPED_TRACE(name);
    TWizardOptions o;
    o.SetupFiles = Without(o.SetupFiles, name);
    TWizardEnv env(o);
    try {
      env.Create();
      ADD_FAILURE() << "no exception";
    } catch (const EInstallerInstallError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot locate \"" + name + "\" file in setup archive");
    }
    // Nothing of the wizard is left listening.
    env.Setup().SendNotify(snUpdateButtons, 0);
  }
}

} // namespace
