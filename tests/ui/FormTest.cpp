// Forms: tab order, default and cancel buttons, closing, modal loops (headless and waiting), mouse capture and hover.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KVL/UI/Button.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/Label.h"
#include "ToolkitFixture.h"

using namespace KVL::UI;
using namespace KVL::Platform;
using ToolkitTest::TToolkitTest;

class ToolkitForm : public TToolkitTest {};

namespace {

TKVLButton* AddButton(TKVLControl& parent, TKVLForm& owner, const std::string& name, TKVLRect bounds, int* clicks) {
  auto* button = owner.CreateOwned<TKVLButton>();
  button->SetName(name);
  button->SetCaption(name);
  button->SetBounds(bounds);
  button->SetParent(&parent);
  if (clicks != nullptr) button->OnClick = [clicks](TKVLControl&) { ++*clicks; };
  return button;
}

// A multi-line editor's stand-in: wants Enter and counts the keys it gets.
class TEnterTaker : public TKVLControl {
public:
  explicit TEnterTaker(TKVLControl* owner) : TKVLControl(owner) { SetTabStop(true); }
  bool WantsKey(TKVLKey key) const override { return key == TKVLKey::kEnter; }
  bool KeyDown(TKVLKey key, TKVLShiftState) override {
    keys.push_back(key);
    return true;
  }
  std::vector<TKVLKey> keys;
};

// A host that shows nothing but is not headless, so ShowModal really waits.
class TWaitingHost : public IKVLWindowHost {
public:
  void SetCaption(const std::string&) override {}
  void SetClientSize(int, int) override {}
  void CenterOnScreen() override {}
  void Show() override {}
  void Hide() override {}
  void Invalidate() override {}
  void Update() override {}
  void SetCloseEnabled(bool) override {}
  void SetTopMost(bool) override {}
  int Dpi() const override { return 96; }
  intptr_t NativeHandle() const override { return 0; }
};

std::unique_ptr<IKVLWindowHost> CreateWaitingHost(TKVLForm&) { return std::make_unique<TWaitingHost>(); }

} // namespace

TEST_F(ToolkitForm, TabMovesFocusInTabOrderSkippingWhatCannotFocus) {
  TKVLForm form;
  form.SetClientSize96(300, 200);
  TKVLButton* b1 = AddButton(form, form, "b1", TKVLRect::FromBounds(0, 0, 50, 20), nullptr);
  TKVLButton* b2 = AddButton(form, form, "b2", TKVLRect::FromBounds(0, 30, 50, 20), nullptr);
  TKVLButton* off = AddButton(form, form, "off", TKVLRect::FromBounds(0, 60, 50, 20), nullptr);
  TKVLButton* hidden = AddButton(form, form, "hidden", TKVLRect::FromBounds(0, 90, 50, 20), nullptr);
  auto* label = form.CreateOwned<TKVLLabel>();
  label->SetParent(&form);
  auto* panel = form.CreateOwned<TKVLControl>();
  panel->SetBounds(100, 0, 100, 100);
  panel->SetParent(&form);
  TKVLButton* inner = AddButton(*panel, form, "inner", TKVLRect::FromBounds(0, 0, 50, 20), nullptr);
  b1->SetTabOrder(2);
  b2->SetTabOrder(0);
  panel->SetTabOrder(1);
  off->SetEnabled(false);
  hidden->Hide();
  form.Show();
  TKVLHeadlessHost& host = *HeadlessHostOf(form);

  EXPECT_EQ(form.ActiveControl(), b2);  // shown with the focus on the first in tab order
  std::vector<std::string> forward;
  for (int i = 0; i < 3; ++i) {
    host.Key(TKVLKey::kTab);
    forward.push_back(form.ActiveControl()->Name());
  }
  EXPECT_EQ(forward, (std::vector<std::string>{"inner", "b1", "b2"}));
  host.Key(TKVLKey::kTab, {.Shift = true});
  EXPECT_EQ(form.ActiveControl(), b1);
  EXPECT_TRUE(b1->Focused());
  EXPECT_FALSE(b2->Focused());

  // Hiding the panel takes the focus from its button; a disabled control cannot take it.
  inner->SetFocus();
  panel->Hide();
  EXPECT_EQ(form.ActiveControl(), nullptr);
  off->SetFocus();
  EXPECT_EQ(form.ActiveControl(), nullptr);
}

TEST_F(ToolkitForm, EnterPressesTheDefaultButtonUnlessTheFocusedControlWantsIt) {
  TKVLForm form;
  int defaultClicks = 0, otherClicks = 0;
  TKVLButton* ok = AddButton(form, form, "ok", TKVLRect::FromBounds(0, 0, 50, 20), &defaultClicks);
  TKVLButton* other = AddButton(form, form, "other", TKVLRect::FromBounds(0, 30, 50, 20), &otherClicks);
  auto* editor = form.CreateOwned<TEnterTaker>();
  editor->SetBounds(0, 60, 50, 50);
  editor->SetParent(&form);
  form.SetDefaultButton(ok);
  form.Show();
  TKVLHeadlessHost& host = *HeadlessHostOf(form);

  other->SetFocus();
  host.Key(TKVLKey::kEnter);
  EXPECT_EQ(defaultClicks, 1);
  EXPECT_EQ(otherClicks, 0);
  host.Key(TKVLKey::kSpace);  // Space presses the focused button
  EXPECT_EQ(otherClicks, 1);

  editor->SetFocus();
  host.Key(TKVLKey::kEnter);
  EXPECT_EQ(defaultClicks, 1);
  EXPECT_EQ(editor->keys, std::vector<TKVLKey>{TKVLKey::kEnter});

  other->SetFocus();
  ok->SetEnabled(false);
  host.Key(TKVLKey::kEnter);
  EXPECT_EQ(defaultClicks, 1);
}

TEST_F(ToolkitForm, EscapeClicksOnlyACancelButton) {
  TKVLForm form;
  int okClicks = 0, cancelClicks = 0;
  TKVLButton* ok = AddButton(form, form, "ok", TKVLRect::FromBounds(0, 0, 50, 20), &okClicks);
  ok->SetModalResult(mrOk);
  TKVLButton* cancel = AddButton(form, form, "cancel", TKVLRect::FromBounds(60, 0, 50, 20), &cancelClicks);
  cancel->SetModalResult(mrCancel);
  form.SetDefaultButton(ok);

  bool stillOpen = false;
  SetHeadlessModalHandler([&](TKVLForm& f) {
    HeadlessHostOf(f)->Key(TKVLKey::kEscape);
    stillOpen = f.ModalResult() == mrNone;
    HeadlessHostOf(f)->ClickControl(*ok);
  });
  EXPECT_EQ(form.ShowModal(), mrOk);
  EXPECT_TRUE(stillOpen);
  EXPECT_EQ(cancelClicks, 0);

  form.SetCancelButton(cancel);
  SetHeadlessModalHandler([](TKVLForm& f) { HeadlessHostOf(f)->Key(TKVLKey::kEscape); });
  EXPECT_EQ(form.ShowModal(), mrCancel);
  EXPECT_EQ(cancelClicks, 1);
  EXPECT_EQ(okClicks, 1);
}

TEST_F(ToolkitForm, CloseAsksCloseQueryAndTheCloseBoxCanBeDisabled) {
  TKVLForm form;
  int queries = 0;
  bool allow = false;
  form.OnCloseQuery = [&](TKVLForm&, bool& canClose) {
    ++queries;
    canClose = allow;
  };
  form.Show();
  TKVLHeadlessHost& host = *HeadlessHostOf(form);
  ASSERT_TRUE(host.Shown());

  host.RequestClose();
  EXPECT_EQ(queries, 1);
  EXPECT_TRUE(form.Visible());
  EXPECT_TRUE(host.Shown());

  form.SetCloseEnabled(false);
  EXPECT_FALSE(host.CloseEnabled());
  allow = true;
  host.RequestClose();
  host.Key(TKVLKey::kF4, {.Alt = true});
  EXPECT_EQ(queries, 1);  // not even asked
  EXPECT_TRUE(form.Visible());

  form.Close();  // the program itself still can
  EXPECT_EQ(queries, 2);
  EXPECT_FALSE(form.Visible());
  EXPECT_FALSE(host.Shown());
}

TEST_F(ToolkitForm, HeadlessModalLoopEndsByHandler) {
  struct TCase {
    const char* Name;
    std::function<void(TKVLForm&, TKVLButton&)> Handler;  // empty: no handler installed
    int Expected;
  };
  const std::vector<TCase> cases = {
      {"no handler", {}, mrCancel},
      {"handler does nothing", [](TKVLForm&, TKVLButton&) {}, mrCancel},
      {"button click", [](TKVLForm& f, TKVLButton& b) { HeadlessHostOf(f)->ClickControl(b); }, mrYes},
      {"result set in code", [](TKVLForm& f, TKVLButton&) { f.SetModalResult(mrRetry); }, mrRetry},
      {"close box", [](TKVLForm& f, TKVLButton&) { HeadlessHostOf(f)->RequestClose(); }, mrCancel},
  };
  for (const TCase& c : cases) {
    TKVLForm form;
    TKVLButton* yes = AddButton(form, form, "yes", TKVLRect::FromBounds(0, 0, 50, 20), nullptr);
    yes->SetModalResult(mrYes);
    bool shownInside = false;
    if (c.Handler) {
      SetHeadlessModalHandler([&](TKVLForm& f) {
        shownInside = f.IsModal() && HeadlessHostOf(f)->Shown();
        c.Handler(f, *yes);
      });
    } else {
      SetHeadlessModalHandler({});
    }
    EXPECT_EQ(form.ShowModal(), c.Expected) << c.Name;
    EXPECT_EQ(shownInside, static_cast<bool>(c.Handler)) << c.Name;
    EXPECT_FALSE(form.IsModal()) << c.Name;
    EXPECT_FALSE(HeadlessHostOf(form)->Shown()) << c.Name;
  }
}

TEST_F(ToolkitForm, HeadlessModalLoopsNest) {
  TKVLForm outer, inner;
  TKVLButton* open = AddButton(outer, outer, "open", TKVLRect::FromBounds(0, 0, 50, 20), nullptr);
  TKVLButton* innerOk = AddButton(inner, inner, "ok", TKVLRect::FromBounds(0, 0, 50, 20), nullptr);
  innerOk->SetModalResult(mrOk);
  inner.SetDefaultButton(innerOk);
  int innerResult = mrNone;
  open->OnClick = [&](TKVLControl&) {
    innerResult = inner.ShowModal();
    outer.SetModalResult(mrIgnore);
  };
  std::vector<TKVLForm*> handled;
  SetHeadlessModalHandler([&](TKVLForm& f) {
    handled.push_back(&f);
    if (&f == &outer) HeadlessHostOf(f)->ClickControl(*open);
    if (&f == &inner) HeadlessHostOf(f)->Key(TKVLKey::kEnter);
  });
  EXPECT_EQ(outer.ShowModal(), mrIgnore);
  EXPECT_EQ(innerResult, mrOk);
  EXPECT_EQ(handled, (std::vector<TKVLForm*>{&outer, &inner}));
}

TEST_F(ToolkitForm, WaitingModalLoopsServePostedCallsAndNest) {
  TKVLApplication::SetHostFactory(&CreateWaitingHost);
  TKVLForm outer, inner;
  std::vector<std::string> steps;
  TKVLApplication::Post([&] {
    steps.push_back("outer waiting");
    // The outer result is set while the inner loop still runs: the outer one must end
    // after the inner one has.
    TKVLApplication::Post([&] {
      steps.push_back("inner waiting");
      outer.SetModalResult(mrNo);
      TKVLApplication::Post([&] { inner.Close(); });
    });
    steps.push_back(inner.ShowModal() == mrCancel ? "inner cancelled" : "inner other");
  });
  EXPECT_EQ(outer.ShowModal(), mrNo);
  EXPECT_EQ(steps, (std::vector<std::string>{"outer waiting", "inner waiting", "inner cancelled"}));
}

TEST_F(ToolkitForm, MouseClicksOnlyWhenPressAndReleaseMeetOnTheControl) {
  TKVLForm form;
  form.SetClientSize96(200, 100);
  int clicks = 0;
  TKVLButton* button = AddButton(form, form, "b", TKVLRect::FromBounds(10, 10, 50, 20), &clicks);
  form.Show();
  const TKVLPoint inside{20, 20}, outside{150, 80};
  const TKVLMouseButton left = TKVLMouseButton::mbLeft;

  form.HandleMouseMove(inside, {});
  EXPECT_TRUE(button->MouseInside());
  form.HandleMouseDown(left, inside, {});
  EXPECT_TRUE(button->MousePressed());
  EXPECT_TRUE(button->Focused());
  form.HandleMouseMove(outside, {});
  EXPECT_FALSE(button->MouseInside());
  form.HandleMouseUp(left, outside, {});  // released elsewhere: no click
  EXPECT_FALSE(button->MousePressed());
  EXPECT_EQ(clicks, 0);

  form.HandleMouseDown(left, outside, {});  // pressed elsewhere, released on the button
  form.HandleMouseUp(left, inside, {});
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(button->MouseInside());

  HeadlessHostOf(form)->ClickControl(*button);
  EXPECT_EQ(clicks, 1);
  form.HandleMouseLeave();
  EXPECT_FALSE(button->MouseInside());

  button->SetEnabled(false);
  HeadlessHostOf(form)->ClickControl(*button);
  EXPECT_EQ(clicks, 1);
}
