// Program-wide toolkit state: deferred calls and the light/dark switch reaching every form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KVL/Base/Platform/Messaging.h"
#include "KVL/UI/Button.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/Theme.h"
#include "ToolkitFixture.h"

using namespace KVL::UI;
using ToolkitTest::TToolkitTest;

class ToolkitApplication : public TToolkitTest {};

namespace {

class TSchemeCounter : public TKVLControl {
public:
  using TKVLControl::TKVLControl;
  void ColorSchemeChanged() override {
    ++Changes;
    TKVLControl::ColorSchemeChanged();
  }
  int Changes = 0;
};

} // namespace

TEST_F(ToolkitApplication, PostRunsAfterTheCurrentHandlerInOrder) {
  TKVLForm form;
  auto* button = form.CreateOwned<TKVLButton>();
  button->SetBounds(0, 0, 50, 20);
  button->SetParent(&form);
  std::vector<std::string> steps;
  button->OnClick = [&](TKVLControl&) {
    TKVLApplication::Post([&] { steps.push_back("first"); });
    TKVLApplication::Post([&] { steps.push_back("second"); });
    steps.push_back("handler done");
  };
  form.Show();
  HeadlessHostOf(form)->ClickControl(*button);
  EXPECT_EQ(steps, std::vector<std::string>{"handler done"});
  KVL::Platform::ProcessMessages();
  EXPECT_EQ(steps, (std::vector<std::string>{"handler done", "first", "second"}));
  KVL::Platform::ProcessMessages();
  EXPECT_EQ(steps.size(), 3u);
}

TEST_F(ToolkitApplication, DarkModeSwitchTellsEveryFormOnceAndChangesTheStyle) {
  TKVLForm first, second;
  auto* a = first.CreateOwned<TSchemeCounter>();
  a->SetParent(&first);
  auto* b = second.CreateOwned<TSchemeCounter>();
  b->SetParent(&second);
  const TKVLColor lightWindow = StyleColors().Window;

  TKVLApplication::SetDarkMode(true);
  EXPECT_TRUE(TKVLApplication::IsDarkMode());
  EXPECT_EQ(a->Changes, 1);
  EXPECT_EQ(b->Changes, 1);
  EXPECT_NE(StyleColors().Window, lightWindow);
  TKVLApplication::SetDarkMode(true);  // no change, no notice
  EXPECT_EQ(a->Changes, 1);
  TKVLApplication::SetDarkMode(false);
  EXPECT_EQ(b->Changes, 2);
  EXPECT_EQ(StyleColors().Window, lightWindow);
}

TEST(ToolkitStyle, LightAndDarkFillEveryRoleAndDiffer) {
  // Sentinels that no real style uses: a role either style forgets keeps one.
  constexpr uint32_t kSentinels[2] = {0x123456, 0x654321};
  constexpr size_t kRoles = sizeof(TKVLStyleColors) / sizeof(TKVLColor);
  for (auto fill : {&FillLightStyle, &FillDarkStyle}) {
    std::vector<TKVLColor> seen[2];
    for (int s = 0; s < 2; ++s) {
      TKVLStyleColors colors;
      auto* roles = reinterpret_cast<TKVLColor*>(&colors);
      for (size_t i = 0; i < kRoles; ++i) roles[i] = TKVLColor(kSentinels[s]);
      fill(colors);
      seen[s].assign(roles, roles + kRoles);
    }
    EXPECT_EQ(seen[0], seen[1]);
  }
  TKVLStyleColors light, dark;
  FillLightStyle(light);
  FillDarkStyle(dark);
  EXPECT_NE(light.Window, dark.Window);
  EXPECT_NE(light.Text, dark.Text);
}

TEST_F(ToolkitApplication, RunServesUntilTheMainFormCloses) {
  TKVLForm form;
  int queries = 0;
  form.OnCloseQuery = [&](TKVLForm&, bool& canClose) { canClose = ++queries > 1; };
  std::vector<std::string> steps;
  TKVLApplication::Post([&] {
    steps.push_back(form.Visible() ? "shown" : "hidden");
    form.Close();  // refused
    TKVLApplication::Post([&] {
      steps.push_back(form.Visible() ? "still shown" : "hidden");
      form.Close();
    });
  });
  TKVLApplication::Run(form);
  EXPECT_EQ(TKVLApplication::MainForm(), &form);
  EXPECT_EQ(steps, (std::vector<std::string>{"shown", "still shown"}));
  EXPECT_EQ(queries, 2);
  EXPECT_FALSE(form.Visible());
}
