// What the controls paint through the headless host: style colours, states, light/dark switch and scale.
#include <gtest/gtest.h>

#include "KVL/UI/Button.h"
#include "KVL/UI/CheckBox.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/Label.h"
#include "KVL/UI/ProgressBar.h"
#include "KVL/UI/Theme.h"
#include "ToolkitFixture.h"

using namespace KVL::UI;
using ToolkitTest::TToolkitTest;

class ToolkitPaint : public TToolkitTest {};

namespace {

int CountColor(const TKVLBitmap& bitmap, const TKVLRect& area, TKVLColor color) {
  int n = 0;
  for (int y = area.Top; y < area.Bottom; ++y) {
    for (int x = area.Left; x < area.Right; ++x) n += bitmap.ColorAt(x, y) == color ? 1 : 0;
  }
  return n;
}

template <class T>
T* Add(TKVLForm& form, TKVLRect bounds) {
  auto* control = form.CreateOwned<T>();
  control->SetBounds(bounds);
  control->SetParent(&form);
  return control;
}

} // namespace

TEST_F(ToolkitPaint, DarkModeSwitchRecoloursShownForms) {
  TKVLForm form;
  form.SetClientSize96(100, 60);
  auto* button = Add<TKVLButton>(form, TKVLRect::FromBounds(10, 10, 50, 20));
  (void)button;
  form.Show();
  TKVLHeadlessHost& host = *HeadlessHostOf(form);
  TKVLBitmap light = host.Render();
  ASSERT_EQ(light.Width(), 100);
  ASSERT_EQ(light.Height(), 60);
  const TKVLColor lightWindow = StyleColors().Window, lightFace = StyleColors().ButtonFace;
  EXPECT_EQ(light.ColorAt(95, 55), lightWindow);
  EXPECT_EQ(light.ColorAt(12, 12), lightFace);

  const int before = host.Invalidations();
  TKVLApplication::SetDarkMode(true);
  EXPECT_GT(host.Invalidations(), before);
  TKVLBitmap dark = host.Render();
  EXPECT_EQ(dark.ColorAt(95, 55), StyleColors().Window);
  EXPECT_EQ(dark.ColorAt(12, 12), StyleColors().ButtonFace);
  EXPECT_NE(dark.ColorAt(95, 55), lightWindow);
  EXPECT_NE(dark.ColorAt(12, 12), lightFace);
}

TEST_F(ToolkitPaint, ButtonPaintsItsStates) {
  TKVLForm form;
  form.SetClientSize96(100, 60);
  auto* button = Add<TKVLButton>(form, TKVLRect::FromBounds(10, 10, 50, 20));
  form.Show();
  TKVLHeadlessHost& host = *HeadlessHostOf(form);
  const TKVLStyleColors& c = StyleColors();

  EXPECT_EQ(host.Render().ColorAt(10, 10), c.FocusFrame);  // focused when shown
  EXPECT_EQ(host.Render().ColorAt(11, 11), c.FocusFrame);
  form.SetActiveControl(nullptr);
  EXPECT_EQ(host.Render().ColorAt(10, 10), c.ButtonBorder);
  form.SetDefaultButton(button);
  EXPECT_EQ(host.Render().ColorAt(10, 10), c.FocusFrame);
  form.HandleMouseMove({30, 20}, {});
  EXPECT_EQ(host.Render().ColorAt(13, 13), c.ButtonFaceHot);
  form.HandleMouseDown(TKVLMouseButton::mbLeft, {30, 20}, {});
  EXPECT_EQ(host.Render().ColorAt(13, 13), c.ButtonFacePressed);
  form.HandleMouseUp(TKVLMouseButton::mbLeft, {30, 20}, {});
  EXPECT_EQ(host.Render().ColorAt(13, 13), c.ButtonFaceHot);
}

TEST_F(ToolkitPaint, ProgressBarFillsItsShare) {
  TKVLForm form;
  form.SetClientSize96(100, 20);
  auto* bar = Add<TKVLProgressBar>(form, TKVLRect::FromBounds(0, 0, 100, 10));
  bar->SetPosition(50);
  form.Show();
  TKVLBitmap bitmap = HeadlessHostOf(form)->Render();
  EXPECT_EQ(CountColor(bitmap, {0, 0, 50, 10}, StyleColors().ProgressFill), 500);
  EXPECT_EQ(CountColor(bitmap, {50, 0, 100, 10}, StyleColors().ProgressTrack), 500);
}

TEST_F(ToolkitPaint, BoxesShowTheirMarkOnlyWhenChecked) {
  TKVLForm form;
  form.SetClientSize96(200, 60);
  auto* box = Add<TKVLCheckBox>(form, TKVLRect::FromBounds(0, 0, 100, 20));
  auto* radio = Add<TKVLRadioBox>(form, TKVLRect::FromBounds(0, 30, 100, 20));
  form.Show();
  TKVLHeadlessHost& host = *HeadlessHostOf(form);
  form.SetActiveControl(nullptr);  // a focused box has the accent frame
  const TKVLRect boxArea{0, 0, 20, 20}, radioArea{0, 30, 20, 50};
  TKVLBitmap off = host.Render();
  EXPECT_EQ(CountColor(off, boxArea, StyleColors().CheckMark), 0);
  EXPECT_EQ(CountColor(off, radioArea, StyleColors().CheckMark), 0);
  EXPECT_GT(CountColor(off, boxArea, StyleColors().CheckBoxBorder), 20);
  box->SetChecked(true);
  radio->SetChecked(true);
  TKVLBitmap on = host.Render();
  EXPECT_GT(CountColor(on, boxArea, StyleColors().CheckMark), 8);
  EXPECT_GT(CountColor(on, radioArea, StyleColors().CheckMark), 8);
}

TEST_F(ToolkitPaint, ValidationLabelDrawsItsWarningSignBeforeTheText) {
  TKVLForm form;
  form.SetClientSize96(300, 60);
  auto* warning = Add<TKVLValidationLabel>(form, TKVLRect::FromBounds(0, 0, 300, 20));
  warning->SetCaption("Not enough room");
  auto* plain = Add<TKVLLabel>(form, TKVLRect::FromBounds(0, 30, 300, 20));
  plain->SetCaption("Not enough room");
  form.Show();
  TKVLBitmap bitmap = HeadlessHostOf(form)->Render();
  const TKVLColor sign = StyleColors().WarningIcon;
  EXPECT_GT(CountColor(bitmap, {0, 0, 16, 20}, sign), 60);
  EXPECT_EQ(CountColor(bitmap, {0, 30, 16, 50}, sign), 0);
  // The text starts after the sign: nothing of it under the sign's column at the plain label's start.
  const TKVLColor window = StyleColors().Window;
  EXPECT_LT(CountColor(bitmap, {0, 30, 16, 50}, window), 16 * 20);
  EXPECT_EQ(CountColor(bitmap, {16, 0, 20, 20}, window), 4 * 20);
}

TEST_F(ToolkitPaint, FormRendersAtItsScale) {
  TKVLApplication::SetScreenDpi(144);
  TKVLForm form;
  form.SetClientSize96(100, 60);
  auto* bar = Add<TKVLProgressBar>(form, ScaleRect(TKVLRect::FromBounds(0, 0, 100, 10), form.Dpi()));
  bar->SetPosition(100);
  form.Show();
  TKVLBitmap bitmap = HeadlessHostOf(form)->Render();
  EXPECT_EQ(bitmap.Width(), 150);
  EXPECT_EQ(bitmap.Height(), 90);
  EXPECT_EQ(CountColor(bitmap, {0, 0, 150, 15}, StyleColors().ProgressFill), 150 * 15);
}

TEST_F(ToolkitPaint, AutoSizedLabelFollowsItsCaption) {
  TKVLForm form;
  form.SetClientSize96(300, 200);
  auto* label = Add<TKVLLabel>(form, TKVLRect::FromBounds(5, 5, 10, 10));
  label->SetAutoSize(true);
  label->SetCaption("Some words here");
  IKVLCanvas& measure = MeasuringCanvas(form.Dpi());
  const TKVLSize one = measure.MeasureText("Some words here", label->Font());
  EXPECT_EQ(label->BoundsRect(), TKVLRect::FromBounds(5, 5, one.Width, one.Height));

  label->SetWordWrap(true);
  label->SetBounds(5, 5, one.Width / 2, 10);
  label->SetCaption("Some words here and more");  // a wrapped label keeps its width and grows
  EXPECT_EQ(label->Width(), one.Width / 2);
  EXPECT_GE(label->Height(), 2 * one.Height);
  EXPECT_EQ(label->Height() % one.Height, 0);
}
