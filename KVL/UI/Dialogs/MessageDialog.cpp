// The toolkit's message dialog (sign, wrapped text, buttons) and the platform hook that routes questions to it.
#include "KVL/UI/Dialogs/MessageDialog.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "KVL/UI/Application.h"
#include "KVL/UI/Button.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/Label.h"
#include "KVL/UI/Theme.h"

namespace KVL::UI::Dialogs {

using namespace KVL::Platform;

namespace {

// The dialog's sign: a round one for errors, information and questions, a triangle for warnings.
class TMessageSign : public TKVLControl {
public:
  TMessageSign(TKVLControl* owner, TMsgDlgType type) : TKVLControl(owner), type_(type) { SetTransparent(true); }

  void Paint(IKVLCanvas& canvas) override {
    const TKVLStyleColors& colors = StyleColors();
    const int size = std::min(Width(), Height());
    TKVLColor fill = colors.InfoIcon;
    std::string glyph = "i";
    if (type_ == TMsgDlgType::mtError) {
      fill = colors.ErrorIcon;
      glyph = "X";
    } else if (type_ == TMsgDlgType::mtConfirmation) {
      glyph = "?";
    } else if (type_ == TMsgDlgType::mtWarning) {
      fill = colors.WarningIcon;
      glyph = "!";
    }
    const double r = size / 2.0;
    for (int row = 0; row < size; ++row) {
      int x0, x1;
      if (type_ == TMsgDlgType::mtWarning) {
        const int half = row / 2;
        x0 = size / 2 - half - 1;
        x1 = size / 2 + half + 1;
      } else {
        const double dy = row + 0.5 - r;
        const double half = std::sqrt(std::max(0.0, r * r - dy * dy));
        x0 = static_cast<int>(std::lround(r - half));
        x1 = static_cast<int>(std::lround(r + half));
      }
      if (x1 > x0) canvas.FillRect({x0, row, x1, row + 1}, fill);
    }
    TKVLFont font = Font();
    font.Bold = true;
    font.SizePt = font.SizePt * 1.6;
    TKVLRect glyphRect{0, type_ == TMsgDlgType::mtWarning ? size / 6 : 0, size, size};
    canvas.DrawText(glyph, glyphRect, font, TKVLColor(0xFFFFFF), TKVLTextAlign::taCenter,
                    TKVLVerticalAlign::vaCenter);
  }

private:
  TMsgDlgType type_;
};

struct TButtonSpec {
  std::string caption;
  int result;
};

std::vector<TButtonSpec> ButtonsOf(TMsgDlgButtons buttons) {
  const TKVLDialogCaptions& captions = DialogCaptions();
  switch (buttons) {
  case TMsgDlgButtons::mbOK:
    return {{captions.Ok, mrOk}};
  case TMsgDlgButtons::mbOKCancel:
    return {{captions.Ok, mrOk}, {captions.Cancel, mrCancel}};
  case TMsgDlgButtons::mbAbortRetryIgnore:
    return {{"Abort", mrAbort}, {"Retry", mrRetry}, {"Ignore", mrIgnore}};
  case TMsgDlgButtons::mbYesNo:
    return {{"Yes", mrYes}, {"No", mrNo}};
  }
  return {{captions.Ok, mrOk}};
}

// Layout lengths at 96 dots per inch.
constexpr int kMargin = 12;
constexpr int kSign = 32;
constexpr int kTextMaxWidth = 380;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 8;

} // namespace

TKVLDialogCaptions& DialogCaptions() {
  static TKVLDialogCaptions captions;
  return captions;
}

int KVLMessageDlg(TKVLForm* owner, const std::string& text, const std::string& caption, TMsgDlgType type,
                  TMsgDlgButtons buttons, int defaultResult) {
  // The owner only names the window the dialog belongs to (hosts keep it above that one);
  // the dialog lives on this stack frame and is not among the owner's components.
  TKVLForm dialog(owner);
  dialog.SetBorderStyle(TKVLBorderStyle::bsDialog);
  dialog.SetPosition(TKVLPosition::poScreenCenter);
  dialog.SetCaption(caption);
  if (owner != nullptr) dialog.SetDpi(owner->CurrentDpi());
  const int dpi = dialog.CurrentDpi();

  auto* sign = dialog.CreateOwned<TMessageSign>(type);
  sign->SetParent(&dialog);
  auto* label = dialog.CreateOwned<TKVLLabel>();
  label->SetName("lbMessage");
  label->SetParent(&dialog);
  label->SetWordWrap(true);
  label->SetCaption(text);

  // The text's width and height at 96 dots per inch, rounded up so that the scaled text never
  // wraps where the measured one did not.
  IKVLCanvas& measure = MeasuringCanvas(96);
  int textWidth = 0;
  {
    size_t start = 0;
    while (start <= text.size()) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      textWidth = std::max(textWidth, measure.MeasureText(text.substr(start, end - start), label->Font()).Width);
      start = end + 1;
    }
  }
  textWidth = std::min(textWidth + 4, kTextMaxWidth);
  const int lineHeight = measure.MeasureText("Ag", label->Font()).Height;
  const int textHeight = lineHeight * static_cast<int>(label->WrapLines(measure, textWidth).size());

  const std::vector<TButtonSpec> specs = ButtonsOf(buttons);
  const int count = static_cast<int>(specs.size());
  const int buttonsWidth = count * kButtonWidth + (count - 1) * kButtonGap;
  const int contentWidth = kMargin + kSign + kMargin + textWidth + kMargin;
  const int width = std::max(contentWidth, buttonsWidth + 2 * kMargin);
  const int bodyHeight = std::max(kSign, textHeight);
  const int height = kMargin + bodyHeight + kMargin + kButtonHeight + kMargin;
  dialog.SetClientSize96(width, height);
  sign->SetBounds(ScaleRect(TKVLRect::FromBounds(kMargin, kMargin, kSign, kSign), dpi));
  const int textTop = kMargin + std::max(0, (kSign - textHeight) / 2);
  label->SetBounds(ScaleRect(TKVLRect::FromBounds(2 * kMargin + kSign, textTop, width - 3 * kMargin - kSign, textHeight + 2), dpi));

  TKVLButton* defaultButton = nullptr;
  TKVLButton* cancelButton = nullptr;
  int x = width - kMargin - buttonsWidth;
  const int y = height - kMargin - kButtonHeight;
  for (const TButtonSpec& spec : specs) {
    auto* button = dialog.CreateOwned<TKVLButton>();
    button->SetParent(&dialog);
    button->SetCaption(spec.caption);
    button->SetModalResult(spec.result);
    button->SetBounds(ScaleRect(TKVLRect::FromBounds(x, y, kButtonWidth, kButtonHeight), dpi));
    x += kButtonWidth + kButtonGap;
    if (spec.result == defaultResult) defaultButton = button;
    if (spec.result == mrCancel) cancelButton = button;
    if (defaultButton == nullptr && &spec == &specs.back()) {
      // No button answers defaultResult: the first one is the default.
      defaultButton = dynamic_cast<TKVLButton*>(dialog.Components(dialog.ComponentCount() - count));
    }
  }
  const int fallback = defaultButton->ModalResult();
  dialog.SetDefaultButton(defaultButton);
  dialog.SetCancelButton(cancelButton != nullptr ? cancelButton : defaultButton);
  defaultButton->SetFocus();

  int result = dialog.ShowModal();
  // Closing the window answers Cancel where there is one, else the default.
  const bool offered = std::any_of(specs.begin(), specs.end(), [result](const TButtonSpec& s) { return s.result == result; });
  if (!offered) result = cancelButton != nullptr ? mrCancel : fallback;
  return result;
}

void UseToolkitMessageDialog() {
  SetMessageDialogHandler([](const std::string& text, const std::string& caption, TMsgDlgType type,
                             TMsgDlgButtons buttons, int defaultResult) {
    return KVLMessageDlg(TKVLApplication::MainForm(), text, caption, type, buttons, defaultResult);
  });
}

void RestorePlatformMessageDialog() { SetMessageDialogHandler({}); }

} // namespace KVL::UI::Dialogs
