// Push buttons: face by state, default-button frame, click on release, Space and modal results.
#include "KVL/UI/Button.h"

#include "KVL/UI/Form.h"
#include "KVL/UI/Theme.h"

namespace KVL::UI {

TKVLButton::TKVLButton(TKVLControl* owner) : TKVLControl(owner) { SetTabStop(true); }

void TKVLButton::Click() {
  // The result goes first so that a handler can still take it back.
  if (modalResult_ != KVL::Platform::mrNone) {
    if (TKVLForm* form = FindForm()) form->SetModalResult(modalResult_);
  }
  TKVLControl::Click();
}

void TKVLButton::Paint(IKVLCanvas& canvas) {
  const TKVLStyleColors& colors = StyleColors();
  const bool enabled = IsEnabledInTree();
  TKVLColor face = colors.ButtonFace;
  if (enabled && MousePressed() && MouseInside()) {
    face = colors.ButtonFacePressed;
  } else if (enabled && MouseInside()) {
    face = colors.ButtonFaceHot;
  }
  const TKVLRect r = ClientRect();
  canvas.FillRect(r, face);
  TKVLForm* form = FindForm();
  const bool isDefault = form != nullptr && form->DefaultButton() == this;
  const bool focused = Focused();
  canvas.FrameRect(r, enabled && (focused || isDefault) ? colors.FocusFrame : colors.ButtonBorder);
  // Keyboard focus: a second frame inside the first.
  if (enabled && focused) canvas.FrameRect(r.Inflate(-1, -1), colors.FocusFrame);
  TKVLColor text = enabled ? (FontColor() ? *FontColor() : colors.ButtonText) : colors.TextDisabled;
  canvas.DrawText(Caption(), r, Font(), text, TKVLTextAlign::taCenter, TKVLVerticalAlign::vaCenter);
}

void TKVLButton::MouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) {
  TKVLControl::MouseDown(button, pt, shift);
  Invalidate();
}

void TKVLButton::MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) {
  TKVLControl::MouseUp(button, pt, shift);
  Invalidate();
}

bool TKVLButton::KeyDown(TKVLKey key, TKVLShiftState shift) {
  if (key == TKVLKey::kSpace) {
    Click();
    return true;
  }
  return TKVLControl::KeyDown(key, shift);
}

} // namespace KVL::UI
