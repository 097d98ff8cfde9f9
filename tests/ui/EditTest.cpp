// The single-line edit: typing, deleting whole UTF-8 characters, selection, OnChange, embedded buttons, scrolling.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "KVL/UI/Canvas.h"
#include "KVL/UI/Clipboard.h"
#include "KVL/UI/Edit.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/Theme.h"
#include "tests/ui/DialogsTestUtil.h"
#include "tests/ui/ToolkitFixture.h"

using namespace KVL::UI;
using DialogsTest::HostOf;

namespace {

// A shown form with one focused edit at (10, 10, 200, 23).
struct TEditForm {
  std::unique_ptr<TKVLForm> form = std::make_unique<TKVLForm>();
  TKVLEdit* edit = nullptr;
  int changes = 0;

  TEditForm() {
    form->SetClientSize96(300, 60);
    edit = form->CreateOwned<TKVLEdit>();
    edit->SetParent(form.get());
    edit->SetBounds(10, 10, 200, 23);
    form->Show();
    edit->SetFocus();
    edit->OnChange = [this](TKVLEdit&) { ++changes; };
  }
  TKVLHeadlessHost& Host() { return HostOf(*form); }
};

// One input of a case: a key (with Shift or Ctrl) or typed text (Ctrl+letter: its control
// character, as the hosts send it).
struct TStep {
  TKVLKey Key = TKVLKey::kNone;
  bool Shift = false;
  const char* Text = nullptr;
  bool Ctrl = false;
};
TStep K(TKVLKey key, bool shift = false) { return {key, shift, nullptr}; }
TStep KCtrl(TKVLKey key) { return {key, false, nullptr, true}; }
TStep T(const char* text) { return {TKVLKey::kNone, false, text}; }

void RunSteps(TKVLHeadlessHost& host, const std::vector<TStep>& steps) {
  for (const TStep& step : steps) {
    if (step.Text)
      host.Type(step.Text);
    else
      host.Key(step.Key, {step.Shift, step.Ctrl, false});
  }
}

} // namespace

class ToolkitEdit : public ToolkitTest::TToolkitTest {};

TEST_F(ToolkitEdit, KeyboardEditingTable) {
  using enum TKVLKey;
  struct Case {
    const char* what;
    const char* start;  // SetText puts the caret at the end
    std::vector<TStep> steps;
    const char* text;
    size_t caret;
    int changes;
  };
  const Case cases[] = {
      {"typing appends, one change per character", "", {T("ab"), T("\xC3\xA9")}, "ab\xC3\xA9", 4, 3},
      {"backspace removes whole characters", "a\xC3\xA9\xE2\x82\xAC", {K(kBackspace), K(kBackspace)}, "a", 1, 2},
      {"delete removes the whole character after the caret", "a\xC3\xA9x", {K(kHome), K(kRight), K(kDelete)}, "ax", 1, 1},
      {"right steps over a two-byte character", "\xC3\xA9z", {K(kHome), K(kRight), T("-")}, "\xC3\xA9-z", 3, 1},
      {"left steps over a four-byte character", "a\xF0\x9F\x98\x80", {K(kLeft), T("-")}, "a-\xF0\x9F\x98\x80", 2, 1},
      {"typing replaces the selection", "hello", {K(kLeft, true), K(kLeft, true), T("p!")}, "help!", 5, 2},
      {"backspace deletes the selection", "hello", {K(kHome), K(kEnd, true), K(kBackspace)}, "", 0, 1},
      {"delete deletes the selection", "hello", {K(kHome, true), K(kDelete)}, "", 0, 1},
      {"left without shift ends the selection at its start", "abc", {K(kHome, true), K(kRight, true), K(kLeft), T("-")}, "a-bc", 2, 1},
      {"right without shift ends the selection at its end", "abc", {K(kHome), K(kRight, true), K(kRight, true), K(kRight), T("-")}, "ab-c", 3, 1},
      {"moving changes nothing", "abc", {K(kLeft), K(kHome), K(kEnd), K(kRight)}, "abc", 3, 0},
      {"backspace at the start and delete at the end change nothing", "ab", {K(kDelete), K(kHome), K(kBackspace)}, "ab", 0, 0},
      {"control characters are not text", "ab", {T("\t"), T("\x7F")}, "ab", 2, 0},
      {"Ctrl+A selects everything", "ab\xC3\xA9", {K(kHome), T("\x01"), T("x")}, "x", 1, 1},
  };
  for (const Case& c : cases) {
    TEditForm f;
    f.edit->SetText(c.start);
    f.changes = 0;
    RunSteps(f.Host(), c.steps);
    EXPECT_EQ(f.edit->Text(), c.text) << c.what;
    EXPECT_EQ(f.edit->CaretPos(), c.caret) << c.what;
    EXPECT_EQ(f.changes, c.changes) << c.what;
  }
}

TEST_F(ToolkitEdit, SetTextReportsChangesOnly) {
  TEditForm f;
  f.edit->SetText("C:\\Program Files\\ONDU");
  EXPECT_EQ(f.changes, 1);
  EXPECT_EQ(f.edit->CaretPos(), f.edit->Text().size());
  f.edit->SetText("C:\\Program Files\\ONDU");
  EXPECT_EQ(f.changes, 1);
  f.edit->SetText("");
  EXPECT_EQ(f.changes, 2);
}

TEST_F(ToolkitEdit, SetCaretPosKeepsToCharacterBoundaries) {
  TEditForm f;
  f.edit->SetText("a\xE2\x82\xAC" "b");  // a, euro sign (3 bytes), b
  f.edit->SetCaretPos(2);                  // inside the euro sign
  EXPECT_EQ(f.edit->CaretPos(), 1u);
  f.edit->SetCaretPos(99);
  EXPECT_EQ(f.edit->CaretPos(), 5u);
  f.edit->SelectAll();
  EXPECT_EQ(f.edit->SelectedText(), f.edit->Text());
}

TEST_F(ToolkitEdit, EmbeddedButtonRunsItsHandlerAndScalesItsWidth) {
  TEditForm f;
  f.edit->SetText("abc");
  f.changes = 0;
  int clicks = 0;
  TKVLEdit* clicked = nullptr;
  const int index = f.edit->AddButton({"Browse", 100, [&](TKVLEdit& e) {
                                         ++clicks;
                                         clicked = &e;
                                       }});
  EXPECT_EQ(index, 0);
  const TKVLRect button = f.edit->ButtonRect(0);
  EXPECT_EQ(button.Width(), 100);
  EXPECT_LE(button.Right, f.edit->Width() - 1);  // inside the frame
  EXPECT_LE(f.edit->TextRect().Right, button.Left);

  const TKVLRect at = f.edit->ScreenRectInForm();
  f.Host().Click(at.Left + button.Left + 5, at.Top + button.Top + 5);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(clicked, f.edit);
  EXPECT_EQ(f.edit->Text(), "abc");
  EXPECT_EQ(f.changes, 0);
  // A click on the text is not a click of the button.
  f.Host().Click(at.Left + 5, at.Top + 5);
  EXPECT_EQ(clicks, 1);

  f.Host().ChangeDpi(144);
  EXPECT_EQ(f.edit->ButtonRect(0).Width(), 150);
  EXPECT_LE(f.edit->ButtonRect(0).Right, f.edit->Width() - 1);
}

TEST_F(ToolkitEdit, ClickPlacesTheCaretNearestToThePointer) {
  TEditForm f;
  f.edit->SetText("abcd");
  const TKVLRect at = f.edit->ScreenRectInForm();
  const int textLeft = at.Left + f.edit->TextRect().Left;
  const int ab = MeasuringCanvas(96).MeasureText("ab", f.edit->Font()).Width;
  const int y = at.Top + f.edit->Height() / 2;
  struct Case { int x; size_t caret; };
  const Case cases[] = {{textLeft - 2, 0}, {textLeft + ab, 2}, {at.Left + f.edit->Width() - 3, 4}};
  for (const Case& c : cases) {
    f.Host().Click(c.x, y);
    EXPECT_EQ(f.edit->CaretPos(), c.caret) << c.x;
  }
  // Shift+click extends the selection from the caret.
  f.edit->SetCaretPos(0);
  f.form->HandleMouseDown(TKVLMouseButton::mbLeft, {textLeft + ab, y}, {true, false, false});
  f.form->HandleMouseUp(TKVLMouseButton::mbLeft, {textLeft + ab, y}, {true, false, false});
  EXPECT_EQ(f.edit->SelectedText(), "ab");
}

TEST_F(ToolkitEdit, LongTextScrollsToKeepTheCaretVisible) {
  TEditForm f;
  const std::string text(200, 'W');
  f.Host().Type(text);
  const int visible = f.edit->TextRect().Width();
  const int full = MeasuringCanvas(96).MeasureText(text, f.edit->Font()).Width;
  ASSERT_GT(full, visible);
  EXPECT_GT(f.edit->ScrollOffset(), 0);
  EXPECT_LE(full - f.edit->ScrollOffset(), visible);
  f.Host().Key(TKVLKey::kHome);
  EXPECT_EQ(f.edit->ScrollOffset(), 0);
  // Deleting the text leaves nothing scrolled away.
  f.Host().Key(TKVLKey::kEnd, {true, false, false});
  f.Host().Key(TKVLKey::kDelete);
  EXPECT_EQ(f.edit->ScrollOffset(), 0);
}

TEST_F(ToolkitEdit, PaintsFocusFrameAndButtonFace) {
  TEditForm f;
  f.edit->AddButton({"...", 30, nullptr});
  const TKVLBitmap picture = f.Host().Render();
  const TKVLRect at = f.edit->ScreenRectInForm();
  const TKVLRect button = f.edit->ButtonRect(0).Offset(at.Left, at.Top);
  EXPECT_EQ(picture.ColorAt(at.Left, at.Top + 5), StyleColors().FocusFrame);
  EXPECT_EQ(picture.ColorAt(button.Right - 2, button.Top + 1), StyleColors().ButtonFace);
  EXPECT_EQ(picture.ColorAt(at.Left + 2, at.Top + 2), StyleColors().EditBackground);
  // Without the focus the frame takes the ordinary border colour.
  f.form->SetActiveControl(nullptr);
  EXPECT_EQ(f.Host().Render().ColorAt(at.Left, at.Top + 5), StyleColors().EditBorder);
}

TEST_F(ToolkitEdit, ClipboardKeysTable) {
  using enum TKVLKey;
  const char* kCopy = "\x03";
  const char* kCut = "\x18";
  const char* kPaste = "\x16";
  const char* kSelectAll = "\x01";
  struct Case {
    const char* what;
    const char* clipboard;  // before
    const char* start;      // SetText puts the caret at the end
    bool readOnly;
    size_t maxLength;
    std::vector<TStep> steps;
    const char* text;
    size_t caret;
    const char* clipboardAfter;
    int changes;
  };
  const Case cases[] = {
      {"Ctrl+C copies the selection", "old", "hello", false, 0, {K(kHome), K(kRight, true), K(kRight, true), T(kCopy)}, "hello", 2, "he", 0},
      {"Ctrl+Insert copies the selection", "old", "hello", false, 0, {K(kLeft, true), KCtrl(kInsert)}, "hello", 4, "o", 0},
      {"copying nothing keeps the clipboard", "old", "hello", false, 0, {T(kCopy), KCtrl(kInsert)}, "hello", 5, "old", 0},
      {"Ctrl+X cuts the selection", "old", "h\xC3\xA9llo", false, 0, {K(kHome), K(kRight, true), K(kRight, true), T(kCut)}, "llo", 0, "h\xC3\xA9", 1},
      {"Shift+Delete cuts the selection", "old", "hello", false, 0, {K(kLeft, true), K(kDelete, true)}, "hell", 4, "o", 1},
      {"cutting nothing changes nothing", "old", "hello", false, 0, {T(kCut), K(kDelete, true)}, "hello", 5, "old", 0},
      {"Ctrl+V pastes at the caret", "XY", "ab", false, 0, {K(kLeft), T(kPaste)}, "aXYb", 3, "XY", 1},
      {"Shift+Insert pastes over the selection", "Z", "abc", false, 0, {K(kLeft, true), K(kInsert, true)}, "abZ", 3, "Z", 1},
      {"Ctrl+A, Ctrl+V replaces everything", "C:\\New", "C:\\Old path", false, 0, {T(kSelectAll), T(kPaste)}, "C:\\New", 6, "C:\\New", 1},
      {"cut and paste back", "", "abc", false, 0, {K(kLeft, true), T(kCut), K(kHome), T(kPaste)}, "cab", 1, "c", 2},
      {"line breaks inside become spaces, at the ends they go", "\r\nC:\\a\r\nb\nc\rd\r\n\n", "", false, 0, {T(kPaste)}, "C:\\a b c d", 10, nullptr, 1},
      {"other control characters go", "a\tb\x7F" "c", "", false, 0, {T(kPaste)}, "abc", 3, nullptr, 1},
      {"an empty clipboard pastes nothing", "", "ab", false, 0, {T(kPaste), K(kInsert, true)}, "ab", 2, "", 0},
      {"only line breaks paste nothing", "\r\n\n", "ab", false, 0, {T(kPaste)}, "ab", 2, nullptr, 0},
      {"read-only: copying works, nothing changes the text", "Z", "abc", true, 0,
       {K(kHome), K(kRight, true), T(kCut), K(kDelete, true), T(kPaste), K(kInsert, true), T("q"), K(kBackspace), K(kDelete), T(kCopy)},
       "abc", 1, "a", 0},
      {"MaxLength cuts a paste short by characters", "\xC3\xA9\xE2\x82\xACxyz", "ab", false, 4, {T(kPaste)}, "ab\xC3\xA9\xE2\x82\xAC", 7, nullptr, 1},
      {"MaxLength counts the selection replaced as room", "wxyz", "abc", false, 3, {T(kSelectAll), T(kPaste)}, "wxy", 3, nullptr, 1},
      {"a full edit takes no paste and no typing", "c", "ab", false, 2, {T(kPaste), T("d")}, "ab", 2, nullptr, 0},
  };
  for (const Case& c : cases) {
    TEditForm f;
    SetClipboardText(c.clipboard);
    f.edit->SetText(c.start);
    f.edit->SetReadOnly(c.readOnly);
    f.edit->SetMaxLength(c.maxLength);
    f.changes = 0;
    RunSteps(f.Host(), c.steps);
    EXPECT_EQ(f.edit->Text(), c.text) << c.what;
    EXPECT_EQ(f.edit->CaretPos(), c.caret) << c.what;
    EXPECT_EQ(ClipboardText(), c.clipboardAfter ? c.clipboardAfter : c.clipboard) << c.what;
    EXPECT_EQ(f.changes, c.changes) << c.what;
  }
  SetClipboardText("");
}
