// The wizard's drawing: regions at two scales, the step strip's pixels, header, footer and both colour themes.
#include <gtest/gtest.h>

#include "tests/wizard/WizardFixture.h"

using namespace WizardTest;

namespace {

const TSetupActionClass& Blocking() { return ActionClassOf<TBlockingAction>("TBlockingAction"); }

TEST(WizardLayout, RegionsAtTwoScalesAndAfterAScaleChange) {
  struct TCase {
    int StartDpi, Dpi;
    TKVLRect Header, Strip, TextArea, Footer, Page, FullPage;
  };
  const TCase cases[] = {
      {96, 96, {0, 0, 640, 53}, {0, 53, 640, 63}, {144, 6, 624, 41}, {0, 436, 640, 480}, {0, 67, 640, 436},
       {0, 0, 640, 436}},
      {144, 144, {0, 0, 960, 80}, {0, 80, 960, 95}, {216, 9, 936, 62}, {0, 654, 960, 720}, {0, 101, 960, 654},
       {0, 0, 960, 654}},
      // Moved to another monitor after it was made.
      {96, 144, {0, 0, 960, 80}, {0, 80, 960, 95}, {216, 9, 936, 62}, {0, 654, 960, 720}, {0, 101, 960, 654},
       {0, 0, 960, 654}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.StartDpi) + " -> " + std::to_string(c.Dpi));
    TWizardOptions o;
    o.Dpi = c.StartDpi;
    TWizardEnv env(o);
    TWizardForm& form = env.Create();
    form.bNextClick();  // an ordinary page: the license
    if (c.Dpi != c.StartDpi) env.Host().ChangeDpi(c.Dpi);
    auto& vi = form.ViewInfo();
    EXPECT_EQ(vi.GetHeaderBounds(), c.Header);
    EXPECT_EQ(vi.GetProgressBounds(), c.Strip);
    EXPECT_EQ(vi.GetHeaderTextBounds(), c.TextArea);
    EXPECT_EQ(vi.GetFooterBounds(), c.Footer);
    EXPECT_EQ(vi.GetPageBounds(false), c.Page);
    EXPECT_EQ(vi.GetPageBounds(true), c.FullPage);
    EXPECT_EQ(form.ActivePage()->BoundsRect(), c.Page);
    EXPECT_EQ(form.ProgressViewInfo().Bounds(), c.Strip);
    EXPECT_EQ(form.ProgressViewInfo().ContentBounds().Height(), c.Strip.Height() - 2 * ScaleValue(2, c.Dpi));
  }
}

// Along one row of the strip's content: accent up to solidEnd, then dashes of 3 pixels
// every 6 from dashStart, strip background elsewhere.
void ExpectStripRow(const TKVLBitmap& bmp, int y, int solidEnd, int dashStart, int dashes) {
  int wrong = 0;
  for (int x = 0; x < bmp.Width() && wrong < 5; ++x) {
    const int d = x - dashStart;
    const bool accent = x < solidEnd || (d >= 0 && d < 6 * dashes && d % 6 < 3);
    const TKVLColor want = accent ? WizardColors.Accent : WizardColors.StripBackground;
    if (bmp.ColorAt(x, y) != want) {
      ADD_FAILURE() << "x=" << x << " y=" << y << " is " << std::hex << bmp.ColorAt(x, y).Rgb << ", want "
                    << want.Rgb;
      ++wrong;
    }
  }
}

struct TStripCase {
  int Dpi;
  bool Progress;  // the progress page at 50 %, else the ready page
  int SolidEnd, DashStart, Dashes;
  int ContentTop, ContentBottom;  // rows, bottom excluded
};

class WizardStrip : public ::testing::TestWithParam<TStripCase> {};

TEST_P(WizardStrip, SolidUpToTheStepDashedAcrossIt) {
  const TStripCase& c = GetParam();
  TWizardOptions o;
  o.Dpi = c.Dpi;
  o.Dark = true;  // strip and page backgrounds differ
  o.Pages = InstallPages(true);
  o.Actions = {&Blocking()};
  TWizardEnv env(o);
  TWizardForm& form = env.Create();
  ASSERT_EQ(form.Pages().Count(), 8);
  form.SetActivePage(env.Page<TSetupPageReadyToInstall>());
  if (c.Progress) {
    form.bNextClick();
    auto* page = env.Page<TSetupPageInstall>();
    ASSERT_TRUE(env.PumpUntil([&] { return TBlockingAction::Started && page->GetProgress() == 50; }));
  }
  const TKVLBitmap bmp = env.Host().Render();
  for (int y = c.ContentTop; y < c.ContentBottom; ++y) ExpectStripRow(bmp, y, c.SolidEnd, c.DashStart, c.Dashes);
  // The strip's edges above and below the content.
  const TKVLRect strip = form.ProgressViewInfo().Bounds();
  for (int y : {strip.Top, c.ContentTop - 1, c.ContentBottom, strip.Bottom - 1}) {
    EXPECT_EQ(bmp.ColorAt(10, y), WizardColors.StripBackground) << "y=" << y;
  }
}

INSTANTIATE_TEST_SUITE_P(Steps, WizardStrip,
                         ::testing::Values(TStripCase{96, false, 455, 455, 15, 55, 61},
                                           TStripCase{96, true, 592, 546, 15, 55, 61},
                                           TStripCase{144, false, 685, 685, 22, 83, 92},
                                           TStripCase{144, true, 891, 822, 22, 83, 92}),
                         [](const auto& info) {
                           return std::to_string(info.param.Dpi) + (info.param.Progress ? "Progress" : "Ready");
                         });

TEST(WizardStrip, TwoPagesShowNoSteps) {
  TWizardOptions o;
  o.Params = "/AUTO=\"{dest}\"";
  o.Dark = true;
  o.Actions = {&Blocking()};
  TWizardEnv env(o);
  TWizardForm& form = env.Create();
  ASSERT_TRUE(env.PumpUntil([&] { return env.Page<TSetupPageInstall>()->GetProgress() == 50; }));
  EXPECT_EQ(form.ProgressViewInfo().StepWidth(), 0);
  const TKVLBitmap bmp = env.Host().Render();
  ExpectStripRow(bmp, 58, 0, 0, 0);
}

TEST(WizardStrip, SkippedPageKeepsItsStep) {
  TWizardOptions o;
  o.Dark = true;
  TWizardEnv env(o);
  TWizardForm& form = env.Create();
  form.SetActivePage(env.Page<TSetupPageOptions>());
  env.Setup().SetFlag(sfPortable, true);
  form.bNextClick();
  ASSERT_EQ(env.ActiveName(), "PageReadyToInstall");
  // Seven pages: steps of 640 / 6 = 106 pixels; the ready page is the fifth.
  ExpectStripRow(env.Host().Render(), 58, 4 * 106, 4 * 106, 17);
}

// Pixels of the header, footer and page area of an ordinary page.
void ExpectFrame(const TKVLBitmap& bmp) {
  EXPECT_EQ(bmp.ColorAt(5, 470), WizardColors.Accent);        // footer
  EXPECT_EQ(bmp.ColorAt(320, 436), WizardColors.Accent);      // its top edge
  EXPECT_EQ(bmp.ColorAt(300, 52), WizardColors.Accent);       // the line under the header
  EXPECT_EQ(bmp.ColorAt(630, 54), WizardColors.StripBackground);
  EXPECT_EQ(bmp.ColorAt(5, 64), WizardColors.PageBackground);  // the gap above the page
  EXPECT_EQ(bmp.ColorAt(5, 430), WizardColors.PageBackground);  // the page itself
}

TEST(WizardTheme, LightAndDarkColoursAndTheirSwitch) {
  for (bool dark : {false, true}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    TWizardOptions o;
    o.Dark = dark;
    TWizardEnv env(o);
    TWizardForm& form = env.Create();
    EXPECT_EQ(WizardColors.Accent, TKVLColor(dark ? 0xAC671C : 0xDE8C33));
    EXPECT_EQ(WizardColors.PageBackground, TKVLColor(dark ? 0x262626 : 0xFFFFFF));
    EXPECT_EQ(form.lbVerInfo()->FontColor(), TKVLColor(0xF0F0F0));
    form.bNextClick();
    const TKVLBitmap before = env.Host().Render();
    ExpectFrame(before);

    // The system's mode changes while the window is open: colours and header follow at once.
    TKVLApplication::SetDarkMode(!dark);
    EXPECT_EQ(WizardColors.Accent, TKVLColor(dark ? 0xDE8C33 : 0xAC671C));
    const TKVLBitmap after = env.Host().Render();
    ExpectFrame(after);
    EXPECT_NE(before.ColorAt(5, 470), after.ColorAt(5, 470));
    bool headerChanged = false;
    for (int x = 0; x < 140 && !headerChanged; ++x)
      for (int y = 0; y < 50 && !headerChanged; ++y) headerChanged = before.ColorAt(x, y) != after.ColorAt(x, y);
    EXPECT_TRUE(headerChanged) << "the header picture did not follow the mode";
  }
}

TEST(WizardTheme, SidePictureChosenOnceAtCreation) {
  TWizardOptions o;
  o.Dark = true;
  TWizardEnv env(o);
  TWizardForm& form = env.Create();
  auto* welcome = env.Page<TSetupPageWelcome>();
  const TKVLBitmap dark = LoadSetupImage("wizard_dark.png");
  const TKVLBitmap light = LoadSetupImage("wizard_light.png");
  ASSERT_NE(std::vector<uint32_t>(dark.Data(), dark.Data() + 64), std::vector<uint32_t>(light.Data(), light.Data() + 64));
  auto same = [](const TKVLBitmap& a, const TKVLBitmap& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() &&
           std::equal(a.Data(), a.Data() + a.Width() * a.Height(), b.Data());
  };
  EXPECT_TRUE(same(welcome->SidePicture()->Picture(), dark));
  TKVLApplication::SetDarkMode(false);
  EXPECT_TRUE(same(welcome->SidePicture()->Picture(), dark));
  EXPECT_EQ(welcome->SidePicture()->BoundsRect(), TKVLRect::FromBounds(0, 0, 188, 435));
  (void)form;
}

TEST(WizardHeader, TitleRightAlignedDescriptionAtTheBottom) {
  TWizardOptions o;
  TWizardEnv env(o);
  TWizardForm& form = env.Create();
  form.bNextClick();
  auto* page = env.Page<TSetupPageLicense>();
  ASSERT_EQ(page->Title, "License Agreement");
  ASSERT_FALSE(page->Description.empty());
  const TKVLBitmap full = env.Host().Render();
  // Where each line draws: the pixels that change when it is left out.
  auto drawnBox = [&](std::string& field) {
    const std::string saved = field;
    field.clear();
    const TKVLBitmap without = env.Host().Render();
    field = saved;
    TKVLRect box{full.Width(), full.Height(), -1, -1};
    for (int y = 0; y < 53; ++y)
      for (int x = 0; x < full.Width(); ++x)
        if (full.ColorAt(x, y) != without.ColorAt(x, y)) box = {std::min(box.Left, x), std::min(box.Top, y),
                                                                std::max(box.Right, x + 1), std::max(box.Bottom, y + 1)};
    return box;
  };
  const TKVLRect title = drawnBox(page->Title);
  const TKVLRect description = drawnBox(page->Description);
  ASSERT_FALSE(title.IsEmpty());
  ASSERT_FALSE(description.IsEmpty());
  // Inside the text area x 144-624, y 6-41; right-aligned; title above description.
  EXPECT_GE(title.Left, 144);
  EXPECT_LE(title.Right, 624);
  EXPECT_GE(title.Right, 610);
  EXPECT_GE(title.Top, 6);
  EXPECT_LE(description.Bottom, 41);
  EXPECT_GE(description.Right, 610);
  EXPECT_LT(title.Bottom, description.Bottom);
  EXPECT_GT(title.Height(), description.Height());  // 11 points over 8
}

} // namespace
