// The drop-down list: keyboard selection while closed, the popup list and its picks, pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "KVL/UI/Button.h"
#include "KVL/UI/ComboBox.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/ListBox.h"
#include "tests/ui/DialogsTestUtil.h"
#include "tests/ui/ToolkitFixture.h"

using namespace KVL::UI;
using DialogsTest::HostOf;

namespace {

// A shown form with a focused combo box of three items at (10, 10, 150, 22).
struct TComboForm {
  std::unique_ptr<TKVLForm> form = std::make_unique<TKVLForm>();
  TKVLComboBox* combo = nullptr;
  int changes = 0;

  TComboForm() {
    form->SetClientSize96(200, 120);
    combo = form->CreateOwned<TKVLComboBox>();
    combo->SetParent(form.get());
    combo->SetBounds(10, 10, 150, 22);
    for (const char* text : {"Alpha", "Beta", "Gamma"}) combo->AddItem({text, -1, combo->ItemCount() * 10});
    form->Show();
    combo->SetFocus();
    combo->OnChange = [this](TKVLComboBox&) { ++changes; };
  }
  TKVLHeadlessHost& Host() { return HostOf(*form); }
};

} // namespace

class ToolkitComboBox : public ToolkitTest::TToolkitTest {};

TEST_F(ToolkitComboBox, KeysChangeTheSelectionWhileClosed) {
  struct Case { int start; TKVLKey key; int index; int changes; };
  const Case cases[] = {
      {-1, TKVLKey::kDown, 0, 1}, {-1, TKVLKey::kUp, 0, 1},  {0, TKVLKey::kDown, 1, 1},
      {2, TKVLKey::kDown, 2, 0},  {1, TKVLKey::kUp, 0, 1},   {0, TKVLKey::kUp, 0, 0},
      {2, TKVLKey::kHome, 0, 1},  {0, TKVLKey::kEnd, 2, 1},  {2, TKVLKey::kEnd, 2, 0},
  };
  for (const Case& c : cases) {
    TComboForm f;
    f.combo->SetItemIndex(c.start);
    EXPECT_EQ(f.changes, 0);  // not from code
    f.Host().Key(c.key);
    EXPECT_EQ(f.combo->ItemIndex(), c.index) << c.start << " " << static_cast<int>(c.key);
    EXPECT_EQ(f.changes, c.changes) << c.start << " " << static_cast<int>(c.key);
    EXPECT_FALSE(f.combo->DroppedDown());
  }
}

TEST_F(ToolkitComboBox, ClickOpensThePopupAndAClickPicks) {
  TComboForm f;
  f.combo->SetItemIndex(0);
  f.Host().ClickControl(*f.combo);
  ASSERT_TRUE(f.combo->DroppedDown());
  TKVLForm* popup = f.combo->Popup();
  EXPECT_EQ(popup->BorderStyle(), TKVLBorderStyle::bsNone);
  TKVLListBox* list = f.combo->PopupList();
  ASSERT_EQ(list->ItemCount(), 3);
  EXPECT_EQ(list->Items()[2].Text, "Gamma");
  EXPECT_EQ(list->ItemIndex(), 0);  // the current item highlighted
  EXPECT_EQ(popup->Width(), f.combo->Width());
  // Placed just below the combo box (headless windows have the screen at their client area).
  EXPECT_EQ(popup->BoundsRect().Left, f.combo->ScreenRectInForm().Left);
  EXPECT_EQ(popup->BoundsRect().Top, f.combo->ScreenRectInForm().Bottom);

  const TKVLRect item = list->ItemRect(2).Offset(list->ScreenRectInForm().Left, list->ScreenRectInForm().Top);
  HostOf(*popup).Click(item.Left + 5, item.Top + item.Height() / 2);
  EXPECT_FALSE(f.combo->DroppedDown());
  EXPECT_EQ(f.combo->ItemIndex(), 2);
  EXPECT_EQ(f.combo->Items(2).Value, 20);
  EXPECT_EQ(f.changes, 1);

  // Picking the current item again is no change.
  f.Host().ClickControl(*f.combo);
  HostOf(*popup).Click(item.Left + 5, item.Top + item.Height() / 2);
  EXPECT_EQ(f.changes, 1);
}

TEST_F(ToolkitComboBox, PopupKeys) {
  using enum TKVLKey;
  struct Case {
    const char* what;
    TKVLKey open;
    TKVLShiftState openShift;
    std::vector<TKVLKey> keys;
    bool open_after;
    int index;
  };
  const Case cases[] = {
      {"F4 opens, Escape closes without a change", kF4, {}, {kDown, kEscape}, false, 0},
      {"Alt+Down opens, Enter picks the highlighted item", kDown, {false, false, true}, {kDown, kDown, kEnter}, false, 2},
      {"F4 opens, F4 picks", kF4, {}, {kEnd, kF4}, false, 2},
      {"Up and Down move only the highlight while open", kF4, {}, {kDown}, true, 0},
  };
  for (const Case& c : cases) {
    TComboForm f;
    f.combo->SetItemIndex(0);
    f.Host().Key(c.open, c.openShift);
    ASSERT_TRUE(f.combo->DroppedDown()) << c.what;
    // Keys reach the combo box through its form, as when the popup does not take the focus.
    for (TKVLKey key : c.keys) f.Host().Key(key);
    EXPECT_EQ(f.combo->DroppedDown(), c.open_after) << c.what;
    EXPECT_EQ(f.combo->ItemIndex(), c.index) << c.what;
    EXPECT_EQ(f.changes, c.index == 0 ? 0 : 1) << c.what;
  }
  // Escape in the popup's own window closes it as well.
  TComboForm f;
  f.Host().Key(kF4);
  HostOf(*f.combo->Popup()).Key(kEscape);
  EXPECT_FALSE(f.combo->DroppedDown());
}

TEST_F(ToolkitComboBox, InsertingKeepsTheSelectedItem) {
  TComboForm f;
  f.combo->SetItemIndex(1);  // Beta
  f.combo->InsertItem(0, {"Aardvark", -1, 99});
  EXPECT_EQ(f.combo->ItemIndex(), 2);
  EXPECT_EQ(f.combo->Items(f.combo->ItemIndex()).Text, "Beta");
  f.combo->InsertItem(3, {"Bz", -1, 98});
  EXPECT_EQ(f.combo->ItemIndex(), 2);
  f.combo->ClearItems();
  EXPECT_EQ(f.combo->ItemIndex(), -1);
  f.Host().Key(TKVLKey::kDown);
  EXPECT_EQ(f.changes, 0);
}

TEST_F(ToolkitComboBox, PictureIsDrawnScaled) {
  TComboForm f;
  const uint32_t red = 0xFFFF0000;
  const int image = f.combo->AddImage(TKVLBitmap(16, 16, red));
  f.combo->InsertItem(0, {"Red", image, 1});
  f.combo->SetItemIndex(0);
  f.form->SetActiveControl(nullptr);  // no selection colour behind the item
  for (int dpi : {96, 192}) {
    HostOf(*f.form).ChangeDpi(dpi);
    const TKVLBitmap picture = HostOf(*f.form).Render();
    const TKVLRect at = f.combo->ScreenRectInForm();
    int left = picture.Width(), right = -1, top = picture.Height(), bottom = -1;
    for (int y = at.Top; y < at.Bottom; ++y)
      for (int x = at.Left; x < at.Right; ++x)
        if (picture.Pixel(x, y) == red) {
          left = std::min(left, x);
          right = std::max(right, x);
          top = std::min(top, y);
          bottom = std::max(bottom, y);
        }
    const int size = 16 * dpi / 96;
    // Pure red inside; each scaled edge may blend by a pixel.
    EXPECT_NEAR(right - left + 1, size, 2) << dpi;
    EXPECT_NEAR(bottom - top + 1, size, 2) << dpi;
  }
}

TEST_F(ToolkitComboBox, PopupOpensBelowOrAboveInsideTheWorkArea) {
  // The combo box at (10, 10)-(160, 32) of a client area at (100, 200) on the screen: its
  // top at 210, its bottom at 232; the list of three items is 150 × 62.
  struct Case {
    const char* what;
    TKVLRect workArea;
    TKVLPoint at;
  };
  const Case cases[] = {
      {"unknown work area: below", {}, {110, 232}},
      {"room below", {0, 0, 1000, 1000}, {110, 232}},
      {"exactly enough room below", {0, 0, 1000, 294}, {110, 232}},
      {"too little room below: above", {0, 0, 1000, 293}, {110, 148}},
      {"too little room either way, more below: below", {0, 180, 1000, 280}, {110, 232}},
      {"too little room either way, more above: above, inside", {0, 170, 1000, 240}, {110, 170}},
      {"right edge: moved left", {0, 0, 200, 1000}, {50, 232}},
      {"left edge: moved right", {120, 0, 1000, 1000}, {120, 232}},
  };
  for (const Case& c : cases) {
    TComboForm f;
    f.Host().SetScreenOrigin({100, 200});
    f.Host().SetWorkArea(c.workArea);
    f.Host().Key(TKVLKey::kF4);
    ASSERT_TRUE(f.combo->DroppedDown()) << c.what;
    const TKVLRect popup = f.combo->Popup()->BoundsRect();
    EXPECT_EQ(popup.Width(), 150) << c.what;
    EXPECT_EQ(popup.Height(), 62) << c.what;
    EXPECT_EQ((TKVLPoint{popup.Left, popup.Top}), c.at) << c.what;
  }
}

TEST_F(ToolkitComboBox, TurningElsewhereClosesThePopupWithoutAChoice) {
  struct Case {
    const char* what;
    std::function<void(TComboForm&, TKVLButton&)> act;
    int index;  // afterwards, from 0
  };
  const Case cases[] = {
      {"a press on the owner form closes, and goes no further",
       [](TComboForm& f, TKVLButton& other) { f.Host().ClickControl(other); }, 0},
      {"a press on the combo box closes, and does not reopen",
       [](TComboForm& f, TKVLButton&) { f.Host().ClickControl(*f.combo); }, 0},
      {"a press elsewhere on the screen (held by the popup) closes",
       [](TComboForm& f, TKVLButton&) { HostOf(*f.combo->Popup()).Click(-40, 300); }, 0},
      {"the owner losing activation closes", [](TComboForm& f, TKVLButton&) { f.Host().Deactivate(); }, 0},
      {"the popup losing activation closes",
       [](TComboForm& f, TKVLButton&) { HostOf(*f.combo->Popup()).Deactivate(); }, 0},
      {"a press inside the popup picks",
       [](TComboForm& f, TKVLButton&) {
         TKVLListBox* list = f.combo->PopupList();
         const TKVLRect item = list->ItemRect(2);
         HostOf(*f.combo->Popup()).Click(item.Left + 5, item.Top + item.Height() / 2);
       },
       2},
  };
  for (const Case& c : cases) {
    TComboForm f;
    auto* other = f.form->CreateOwned<TKVLButton>();
    other->SetBounds(10, 80, 80, 25);
    other->SetParent(f.form.get());
    int otherClicks = 0;
    other->OnClick = [&](TKVLControl&) { ++otherClicks; };
    f.combo->SetItemIndex(0);
    f.Host().ClickControl(*f.combo);
    ASSERT_TRUE(f.combo->DroppedDown()) << c.what;
    EXPECT_EQ(f.form->OpenPopup(), f.combo->Popup()) << c.what;
    // The pointer over another item first: only a press inside makes it the choice.
    f.combo->PopupList()->SetItemIndex(2);

    c.act(f, *other);
    EXPECT_FALSE(f.combo->DroppedDown()) << c.what;
    EXPECT_EQ(f.form->OpenPopup(), nullptr) << c.what;
    EXPECT_EQ(f.combo->ItemIndex(), c.index) << c.what;
    EXPECT_EQ(f.changes, c.index == 0 ? 0 : 1) << c.what;
    EXPECT_EQ(otherClicks, 0) << c.what;
    EXPECT_TRUE(f.combo->Focused()) << c.what;

    // Nothing is left half-closed: the next click opens it again, and the one after that
    // reaches the other control.
    f.Host().ClickControl(*f.combo);
    EXPECT_TRUE(f.combo->DroppedDown()) << c.what;
    f.Host().Key(TKVLKey::kEscape);
    f.Host().ClickControl(*other);
    EXPECT_EQ(otherClicks, 1) << c.what;
  }
}
