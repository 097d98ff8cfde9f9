// The toolkit's message dialog: answers by click, Enter, Escape and close box, and the platform's questions routed to it.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "KVL/Base/Platform/MessageBox.h"
#include "KVL/UI/Button.h"
#include "KVL/UI/Dialogs/MessageDialog.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/Label.h"
#include "ToolkitFixture.h"

using namespace KVL::UI;
using namespace KVL::UI::Dialogs;
using namespace KVL::Platform;
using ToolkitTest::TToolkitTest;

class ToolkitMessageDialog : public TToolkitTest {};

namespace {

std::vector<TKVLButton*> ButtonsOf(TKVLForm& form) {
  std::vector<TKVLButton*> out;
  for (int i = 0; i < form.ComponentCount(); ++i) {
    if (auto* b = dynamic_cast<TKVLButton*>(form.Components(i))) out.push_back(b);
  }
  return out;
}

TKVLButton& ButtonCaptioned(TKVLForm& form, const std::string& caption) {
  for (TKVLButton* b : ButtonsOf(form)) {
    if (b->Caption() == caption) return *b;
  }
  throw std::runtime_error("no button " + caption);
}

TKVLLabel* TextLabelOf(TKVLForm& form) {
  for (int i = 0; i < form.ComponentCount(); ++i) {
    if (auto* l = dynamic_cast<TKVLLabel*>(form.Components(i))) return l;
  }
  return nullptr;
}

using TAnswer = std::function<void(TKVLForm&)>;
TAnswer ClickOn(const std::string& caption) {
  return [caption](TKVLForm& f) { HeadlessHostOf(f)->ClickControl(ButtonCaptioned(f, caption)); };
}
TAnswer Press(TKVLKey key) {
  return [key](TKVLForm& f) { HeadlessHostOf(f)->Key(key); };
}

} // namespace

TEST_F(ToolkitMessageDialog, MessageDialogAnswers) {
  struct TCase {
    const char* Name;
    TMsgDlgButtons Buttons;
    int Default;
    TAnswer Answer;
    int Expected;
    std::vector<std::string> Captions;
  };
  const std::vector<TCase> cases = {
      {"click Cancel", TMsgDlgButtons::mbOKCancel, mrOk, ClickOn("Cancel"), mrCancel, {"OK", "Cancel"}},
      {"Enter takes the default", TMsgDlgButtons::mbYesNo, mrNo, Press(TKVLKey::kEnter), mrNo, {"Yes", "No"}},
      {"Escape without Cancel takes the default", TMsgDlgButtons::mbYesNo, mrYes, Press(TKVLKey::kEscape), mrYes,
       {"Yes", "No"}},
      {"Escape takes Cancel", TMsgDlgButtons::mbOKCancel, mrOk, Press(TKVLKey::kEscape), mrCancel, {"OK", "Cancel"}},
      {"click Ignore", TMsgDlgButtons::mbAbortRetryIgnore, mrRetry, ClickOn("Ignore"), mrIgnore,
       {"Abort", "Retry", "Ignore"}},
      {"close box without Cancel", TMsgDlgButtons::mbAbortRetryIgnore, mrRetry,
       [](TKVLForm& f) { HeadlessHostOf(f)->RequestClose(); }, mrRetry, {"Abort", "Retry", "Ignore"}},
      {"default not offered: the first", TMsgDlgButtons::mbOK, mrYes, Press(TKVLKey::kEnter), mrOk, {"OK"}},
      {"nobody answers", TMsgDlgButtons::mbYesNo, mrYes, [](TKVLForm&) {}, mrYes, {"Yes", "No"}},
  };
  for (const TCase& c : cases) {
    std::vector<std::string> captions;
    std::string title, text;
    SetHeadlessModalHandler([&](TKVLForm& f) {
      for (TKVLButton* b : ButtonsOf(f)) captions.push_back(b->Caption());
      title = f.Caption();
      if (TKVLLabel* l = TextLabelOf(f)) text = l->Caption();
      c.Answer(f);
    });
    EXPECT_EQ(KVLMessageDlg(nullptr, "Some text", "Title", TMsgDlgType::mtConfirmation, c.Buttons, c.Default),
              c.Expected)
        << c.Name;
    EXPECT_EQ(captions, c.Captions) << c.Name;
    EXPECT_EQ(title, "Title") << c.Name;
    EXPECT_EQ(text, "Some text") << c.Name;
  }
}

TEST_F(ToolkitMessageDialog, MessageDialogWrapsLongTextAndFitsItsButtons) {
  std::string longText;
  for (int i = 0; i < 60; ++i) longText += "word ";
  TKVLRect label, lastButton;
  int clientWidth = 0, clientHeight = 0;
  SetHeadlessModalHandler([&](TKVLForm& f) {
    label = TextLabelOf(f)->BoundsRect();
    lastButton = ButtonsOf(f).back()->BoundsRect();
    clientWidth = f.ClientWidth();
    clientHeight = f.ClientHeight();
  });
  KVLMessageDlg(nullptr, longText, "Title", TMsgDlgType::mtWarning, TMsgDlgButtons::mbAbortRetryIgnore, mrAbort);
  EXPECT_LE(label.Right, clientWidth);
  EXPECT_GT(label.Height(), 3 * 10);  // several lines
  EXPECT_LE(label.Bottom, lastButton.Top);
  EXPECT_LE(lastButton.Right, clientWidth);
  EXPECT_LE(lastButton.Bottom, clientHeight);
  EXPECT_LT(clientWidth, 600);
}

TEST_F(ToolkitMessageDialog, PlatformQuestionsGoToTheToolkitDialogWithItsCaptions) {
  const TKVLDialogCaptions saved = DialogCaptions();
  DialogCaptions().Ok = "Fine";
  DialogCaptions().Cancel = "Stop";
  std::vector<std::string> captions;
  SetHeadlessModalHandler([&](TKVLForm& f) {
    for (TKVLButton* b : ButtonsOf(f)) captions.push_back(b->Caption());
    HeadlessHostOf(f)->ClickControl(ButtonCaptioned(f, "Stop"));
  });
  UseToolkitMessageDialog();
  const int answer = MessageDlg("Question?", "Setup", TMsgDlgType::mtWarning, TMsgDlgButtons::mbOKCancel, mrOk);
  RestorePlatformMessageDialog();
  DialogCaptions() = saved;
  EXPECT_EQ(answer, mrCancel);
  EXPECT_EQ(captions, (std::vector<std::string>{"Fine", "Stop"}));
}

TEST_F(ToolkitMessageDialog, BelongsToItsOwnerWithoutBeingOneOfItsComponents) {
  TKVLForm owner;
  TKVLControl* ownerSeen = nullptr;
  SetHeadlessModalHandler([&](TKVLForm& f) {
    ownerSeen = f.Owner();
    HeadlessHostOf(f)->Key(TKVLKey::kEnter);
  });
  EXPECT_EQ(KVLMessageDlg(&owner, "Text", "Title", TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK, mrOk), mrOk);
  EXPECT_EQ(ownerSeen, &owner);
  EXPECT_EQ(owner.ComponentCount(), 0);
}
