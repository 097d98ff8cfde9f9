// The basic controls: check and radio boxes, label wrapping, progress bar range and repaints.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KVL/UI/CheckBox.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/Label.h"
#include "KVL/UI/ProgressBar.h"
#include "ToolkitFixture.h"

using namespace KVL::UI;
using ToolkitTest::TFixedMetricsCanvas;
using ToolkitTest::TToolkitTest;

class ToolkitControls : public TToolkitTest {};

namespace {

TKVLRadioBox* AddRadio(TKVLForm& form, TKVLControl& parent, int group, int y, std::vector<std::string>& clicks,
                       const std::string& name) {
  auto* radio = form.CreateOwned<TKVLRadioBox>();
  radio->SetName(name);
  radio->SetGroupIndex(group);
  radio->SetBounds(0, y, 100, 20);
  radio->SetParent(&parent);
  radio->OnClick = [&clicks, radio](TKVLControl&) { clicks.push_back(radio->Name() + (radio->Checked() ? "+" : "-")); };
  return radio;
}

} // namespace

TEST_F(ToolkitControls, RadioBoxesExcludeEachOtherInTheirGroupAndParent) {
  TKVLForm form;
  form.SetClientSize96(300, 200);
  auto* panel = form.CreateOwned<TKVLControl>();
  panel->SetBounds(150, 0, 150, 200);
  panel->SetParent(&form);
  std::vector<std::string> clicks;
  TKVLRadioBox* a = AddRadio(form, form, 0, 0, clicks, "a");
  TKVLRadioBox* b = AddRadio(form, form, 0, 20, clicks, "b");
  TKVLRadioBox* other = AddRadio(form, form, 1, 40, clicks, "other");
  TKVLRadioBox* elsewhere = AddRadio(form, *panel, 0, 0, clicks, "elsewhere");
  other->SetChecked(true);
  elsewhere->SetChecked(true);
  form.Show();
  TKVLHeadlessHost& host = *HeadlessHostOf(form);

  host.ClickControl(*a);
  EXPECT_TRUE(a->Checked());
  b->SetChecked(true);  // from code: no click
  EXPECT_FALSE(a->Checked());
  EXPECT_TRUE(b->Checked());
  host.ClickControl(*b);  // a click never unchecks
  EXPECT_TRUE(b->Checked());
  a->SetFocus();
  host.Key(TKVLKey::kSpace);
  EXPECT_TRUE(a->Checked());
  EXPECT_FALSE(b->Checked());
  EXPECT_TRUE(other->Checked());
  EXPECT_TRUE(elsewhere->Checked());
  EXPECT_EQ(clicks, (std::vector<std::string>{"a+", "b+", "a+"}));
}

TEST_F(ToolkitControls, CheckBoxTogglesBeforeItsClickHandlerButNotFromCode) {
  TKVLForm form;
  form.SetClientSize96(200, 100);
  auto* box = form.CreateOwned<TKVLCheckBox>();
  box->SetBounds(10, 10, 100, 20);
  box->SetParent(&form);
  std::vector<bool> seen;
  box->OnClick = [&](TKVLControl&) { seen.push_back(box->Checked()); };
  form.Show();
  TKVLHeadlessHost& host = *HeadlessHostOf(form);

  host.ClickControl(*box);
  box->SetFocus();
  host.Key(TKVLKey::kSpace);
  box->SetChecked(true);
  EXPECT_EQ(seen, (std::vector<bool>{true, false}));
  EXPECT_TRUE(box->Checked());
}

TEST(ToolkitLabel, WrapsAtSpacesToTheWidth) {
  struct TCase {
    std::string Text;
    int WidthChars;
    bool Wrap;
    std::vector<std::string> Lines;
  };
  const std::vector<TCase> cases = {
      {"one two three", 7, true, {"one two", "three"}},
      {"one two three", 6, true, {"one", "two", "three"}},
      {"longword x", 3, true, {"longword", "x"}},  // a word never breaks inside
      {"a\nb c\r\n\nd", 1, true, {"a", "b", "c", "", "d"}},
      {"a  b ", 20, true, {"a  b"}},
      {"", 10, true, {""}},
      {"one two three\nfour", 3, false, {"one two three", "four"}},
  };
  for (const TCase& c : cases) {
    TKVLLabel label;
    label.SetWordWrap(c.Wrap);
    label.SetCaption(c.Text);
    TFixedMetricsCanvas canvas;
    EXPECT_EQ(label.WrapLines(canvas, c.WidthChars * TFixedMetricsCanvas::CharWidth), c.Lines) << c.Text;
    // Paint draws exactly those lines.
    label.SetBounds(0, 0, c.WidthChars * TFixedMetricsCanvas::CharWidth, 100);
    label.Paint(canvas);
    std::vector<std::string> drawn = canvas.Texts;
    std::vector<std::string> expected = c.Lines;
    // Empty lines draw nothing visible; the canvas may still be asked.
    std::erase(drawn, std::string());
    std::erase(expected, std::string());
    EXPECT_EQ(drawn, expected) << c.Text;
  }
}

TEST_F(ToolkitControls, ProgressBarClampsAndRepaintsOnlyOnChange) {
  TKVLForm form;
  auto* bar = form.CreateOwned<TKVLProgressBar>();
  bar->SetBounds(0, 0, 100, 10);
  bar->SetParent(&form);
  form.Show();
  TKVLHeadlessHost& host = *HeadlessHostOf(form);

  const int before = host.Invalidations();
  bar->SetPosition(40);
  EXPECT_EQ(host.Invalidations(), before + 1);
  bar->SetPosition(40);
  EXPECT_EQ(host.Invalidations(), before + 1);
  bar->SetPosition(150);
  EXPECT_EQ(bar->Position(), 100);
  bar->SetPosition(-5);
  EXPECT_EQ(bar->Position(), 0);
  bar->SetPosition(8);
  bar->SetRange(10, 20);
  EXPECT_EQ(bar->Position(), 10);
  bar->SetRange(0, 5);
  EXPECT_EQ(bar->Position(), 5);
}
