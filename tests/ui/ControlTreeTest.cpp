// Control trees: ownership apart from parents, docking with margins and padding, scaling to other dpi values.
#include <gtest/gtest.h>

#include <vector>

#include "KVL/UI/Button.h"
#include "KVL/UI/Form.h"
#include "ToolkitFixture.h"

using namespace KVL::UI;
using ToolkitTest::TToolkitTest;

class ToolkitTree : public TToolkitTest {};

namespace {

// Tells when it is freed.
class TProbe : public TKVLControl {
public:
  TProbe(TKVLControl* owner, bool* freed) : TKVLControl(owner), freed_(freed) {}
  ~TProbe() override { *freed_ = true; }

private:
  bool* freed_;
};

struct TDockChild {
  TKVLAlign Align;
  TKVLSize Size;  // what the docking keeps (height of top/bottom, width of left/right)
  TKVLMargins Margins;
  TKVLRect Expected;
};

struct TDockCase {
  const char* Name;
  TKVLMargins Padding;
  std::vector<TDockChild> Children;  // in creation order
};

class ToolkitDocking : public TToolkitTest, public ::testing::WithParamInterface<TDockCase> {};

constexpr TKVLMargins kNoMargins{0, 0, 0, 0};
constexpr TKVLMargins kDefaultMargins{3, 3, 3, 3};

} // namespace

// A 200 × 100 parent at 96 dpi.
TEST_P(ToolkitDocking, PlacesChildren) {
  const TDockCase& c = GetParam();
  TKVLControl parent;
  parent.SetBounds(0, 0, 200, 100);
  parent.SetAlignPadding(c.Padding);
  std::vector<TKVLControl*> children;
  for (const TDockChild& spec : c.Children) {
    auto* child = parent.CreateOwned<TKVLControl>();
    child->SetBounds(50, 50, spec.Size.Width, spec.Size.Height);
    child->SetMargins(spec.Margins);
    child->SetAlign(spec.Align);
    child->SetParent(&parent);
    children.push_back(child);
  }
  for (size_t i = 0; i < children.size(); ++i) {
    EXPECT_EQ(children[i]->BoundsRect(), c.Children[i].Expected) << c.Name << ", child " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Toolkit, ToolkitDocking,
    ::testing::Values(
        TDockCase{"top with default margins", {}, {{TKVLAlign::alTop, {10, 20}, kDefaultMargins, {3, 3, 197, 23}}}},
        TDockCase{"top without margins", {}, {{TKVLAlign::alTop, {10, 20}, kNoMargins, {0, 0, 200, 20}}}},
        TDockCase{"bottom", {}, {{TKVLAlign::alBottom, {10, 20}, kDefaultMargins, {3, 77, 197, 97}}}},
        TDockCase{"left", {}, {{TKVLAlign::alLeft, {30, 10}, kDefaultMargins, {3, 3, 33, 97}}}},
        TDockCase{"right", {}, {{TKVLAlign::alRight, {30, 10}, {1, 2, 4, 8}, {166, 2, 196, 92}}}},
        TDockCase{"client", {}, {{TKVLAlign::alClient, {1, 1}, kDefaultMargins, {3, 3, 197, 97}}}},
        TDockCase{"padding is not margins", {10, 5, 20, 15}, {{TKVLAlign::alClient, {1, 1}, kNoMargins, {10, 5, 180, 85}}}},
        TDockCase{"not docked stays", {}, {{TKVLAlign::alNone, {10, 20}, kDefaultMargins, {50, 50, 60, 70}}}},
        TDockCase{"client takes the rest after the edges, whenever made",
                  {},
                  {{TKVLAlign::alClient, {1, 1}, kNoMargins, {30, 20, 200, 100}},
                   {TKVLAlign::alTop, {10, 20}, kNoMargins, {0, 0, 200, 20}},
                   {TKVLAlign::alLeft, {30, 10}, kNoMargins, {0, 20, 30, 100}}}},
        TDockCase{"edges in creation order",
                  {},
                  {{TKVLAlign::alLeft, {30, 10}, kNoMargins, {0, 0, 30, 100}},
                   {TKVLAlign::alTop, {10, 20}, kNoMargins, {30, 0, 200, 20}},
                   {TKVLAlign::alBottom, {10, 10}, kDefaultMargins, {33, 87, 197, 97}},
                   {TKVLAlign::alClient, {1, 1}, kDefaultMargins, {33, 23, 197, 81}}}}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(ToolkitTree, DockingFollowsVisibilityAndSizeChanges) {
  TKVLControl parent;
  parent.SetBounds(0, 0, 200, 100);
  auto* top = parent.CreateOwned<TKVLControl>();
  top->SetMargins(kNoMargins);
  top->SetBounds(0, 0, 10, 20);
  top->SetAlign(TKVLAlign::alTop);
  top->SetParent(&parent);
  auto* client = parent.CreateOwned<TKVLControl>();
  client->SetMargins(kNoMargins);
  client->SetAlign(TKVLAlign::alClient);
  client->SetParent(&parent);
  EXPECT_EQ(client->BoundsRect(), (TKVLRect{0, 20, 200, 100}));

  top->SetBounds(0, 0, 200, 40);  // a docked control that grows moves the rest
  EXPECT_EQ(client->BoundsRect(), (TKVLRect{0, 40, 200, 100}));
  top->Hide();
  EXPECT_EQ(client->BoundsRect(), (TKVLRect{0, 0, 200, 100}));
  top->Show();
  parent.SetBounds(0, 0, 300, 150);
  EXPECT_EQ(top->BoundsRect(), (TKVLRect{0, 0, 300, 40}));
  EXPECT_EQ(client->BoundsRect(), (TKVLRect{0, 40, 300, 150}));
}

TEST_F(ToolkitTree, MarginsScaleWithTheFormButPaddingDoesNot) {
  TKVLForm form;
  form.SetDpi(144);
  form.SetClientSize96(200, 100);
  EXPECT_EQ(form.ClientWidth(), 300);
  EXPECT_EQ(form.ClientHeight(), 150);
  form.SetAlignPadding({10, 10, 10, 10});
  auto* top = form.CreateOwned<TKVLControl>();
  EXPECT_EQ(top->Dpi(), 144);  // before it is shown in the form too
  top->SetBounds(0, 0, 10, 30);
  top->SetAlign(TKVLAlign::alTop);  // default margins 3 → 4.5 → 5 at 144 dpi
  top->SetParent(&form);
  EXPECT_EQ(top->BoundsRect(), (TKVLRect{15, 15, 285, 45}));
}

TEST_F(ToolkitTree, DpiChangeRescalesBoundsAndRedocks) {
  struct TCountingForm : TKVLForm {
    int DpiChanges = 0;
    void DpiChanged() override { ++DpiChanges; }
  } form;
  form.SetClientSize96(200, 100);
  auto* panel = form.CreateOwned<TKVLControl>();
  panel->SetBounds(10, 10, 100, 50);
  panel->SetParent(&form);
  auto* inner = form.CreateOwned<TKVLControl>();
  inner->SetBounds(2, 2, 20, 10);
  inner->SetParent(panel);
  auto* top = form.CreateOwned<TKVLControl>();
  top->SetBounds(0, 0, 10, 20);
  top->SetAlign(TKVLAlign::alTop);
  top->SetParent(&form);
  form.Show();
  TKVLHeadlessHost* host = HeadlessHostOf(form);
  ASSERT_NE(host, nullptr);

  host->ChangeDpi(144);
  EXPECT_EQ(form.CurrentDpi(), 144);
  EXPECT_EQ(form.DpiChanges, 1);
  EXPECT_EQ(form.ClientWidth(), 300);
  EXPECT_EQ(form.ClientHeight(), 150);
  EXPECT_EQ(panel->BoundsRect(), (TKVLRect{15, 15, 165, 90}));
  EXPECT_EQ(inner->BoundsRect(), (TKVLRect{3, 3, 33, 18}));
  EXPECT_EQ(top->BoundsRect(), (TKVLRect{5, 5, 295, 35}));

  host->ChangeDpi(96);
  EXPECT_EQ(panel->BoundsRect(), (TKVLRect{10, 10, 110, 60}));
  EXPECT_EQ(inner->BoundsRect(), (TKVLRect{2, 2, 22, 12}));
  EXPECT_EQ(top->BoundsRect(), (TKVLRect{3, 3, 197, 23}));
}

TEST_F(ToolkitTree, OwnerFreesWhatItOwnsWhateverTheParent) {
  bool panelFreed = false, innerFreed = false, keptFreed = false;
  TKVLForm form;
  auto* panel = form.CreateOwned<TProbe>(&panelFreed);
  panel->SetParent(&form);
  // Owned by the panel, shown elsewhere: goes with the panel.
  auto* inner = panel->CreateOwned<TProbe>(&innerFreed);
  inner->SetParent(&form);
  // Owned by the form, shown in the panel: stays without a parent.
  auto* kept = form.CreateOwned<TProbe>(&keptFreed);
  kept->SetParent(panel);
  kept->SetTabStop(true);
  kept->SetFocus();
  ASSERT_EQ(form.ActiveControl(), kept);
  EXPECT_EQ(form.ComponentCount(), 2);
  EXPECT_EQ(form.ControlCount(), 2);

  form.DestroyComponent(panel);
  EXPECT_TRUE(panelFreed);
  EXPECT_TRUE(innerFreed);
  EXPECT_FALSE(keptFreed);
  EXPECT_EQ(kept->Parent(), nullptr);
  EXPECT_EQ(form.ComponentCount(), 1);
  EXPECT_EQ(form.ControlCount(), 0);
  EXPECT_EQ(form.ActiveControl(), nullptr);  // the focus went with the panel's subtree

  form.DestroyComponent(&form);  // not owned: nothing happens
  EXPECT_EQ(form.ComponentCount(), 1);
}

TEST_F(ToolkitTree, ControlWithoutOwnerLeavesItsParentWhenFreed) {
  TKVLForm form;
  {
    TKVLButton page;  // as the wizard's pages: no owner, shown in the form
    page.SetParent(&form);
    page.SetFocus();
    form.SetDefaultButton(&page);
    EXPECT_EQ(form.ControlCount(), 1);
    EXPECT_EQ(page.FindForm(), &form);
  }
  EXPECT_EQ(form.ControlCount(), 0);
  EXPECT_EQ(form.ActiveControl(), nullptr);
  EXPECT_EQ(form.DefaultButton(), nullptr);
  form.Show();
  HeadlessHostOf(form)->Key(TKVLKey::kEnter);  // must not reach the freed button
}
