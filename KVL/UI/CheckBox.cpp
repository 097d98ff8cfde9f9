// Check boxes and radio buttons: toggling by user, exclusive groups, and their drawing.
#include "KVL/UI/CheckBox.h"

#include <algorithm>
#include <cmath>

#include "KVL/UI/Theme.h"

namespace KVL::UI {

namespace {

// A filled disc of radius r (pixels) centred in the square at (left, top) of side 2r.
void FillDisc(IKVLCanvas& canvas, int left, int top, double r, TKVLColor color) {
  const int side = static_cast<int>(std::lround(2 * r));
  for (int row = 0; row < side; ++row) {
    const double dy = row + 0.5 - r;
    const double half = std::sqrt(std::max(0.0, r * r - dy * dy));
    const int x0 = static_cast<int>(std::lround(r - half));
    const int x1 = static_cast<int>(std::lround(r + half));
    if (x1 > x0) canvas.FillRect({left + x0, top + row, left + x1, top + row + 1}, color);
  }
}

struct TBoxColors {
  TKVLColor Face, Border, Mark, Text;
};

TBoxColors BoxColors(const TKVLControl& control) {
  const TKVLStyleColors& c = StyleColors();
  const bool enabled = control.IsEnabledInTree();
  TKVLColor border = c.CheckBoxBorder;
  if (enabled && (control.Focused() || control.MouseInside())) border = c.FocusFrame;
  return {c.CheckBoxFace, border, enabled ? c.CheckMark : c.TextDisabled, control.EffectiveTextColor()};
}

} // namespace

TKVLCheckBox::TKVLCheckBox(TKVLControl* owner) : TKVLControl(owner) {
  SetTabStop(true);
  SetTransparent(true);
}

void TKVLCheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  Invalidate();
}

void TKVLCheckBox::Click() {
  SetChecked(!checked_);
  TKVLControl::Click();
}

void TKVLCheckBox::MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) {
  TKVLControl::MouseUp(button, pt, shift);
}

bool TKVLCheckBox::KeyDown(TKVLKey key, TKVLShiftState shift) {
  if (key == TKVLKey::kSpace) {
    Click();
    return true;
  }
  return TKVLControl::KeyDown(key, shift);
}

void TKVLCheckBox::Paint(IKVLCanvas& canvas) {
  TKVLControl::Paint(canvas);
  const TBoxColors colors = BoxColors(*this);
  const int box = ScaleValue(13, Dpi());
  const int top = (Height() - box) / 2;
  const TKVLRect boxRect = TKVLRect::FromBounds(0, top, box, box);
  canvas.FillRect(boxRect, colors.Face);
  canvas.FrameRect(boxRect, colors.Border);
  if (checked_) {
    // A tick of two strokes, three pixels thick at 96 dpi.
    const int thick = std::max(2, ScaleValue(2, Dpi()));
    const TKVLPoint a{box * 3 / 13, top + box * 6 / 13};
    const TKVLPoint b{box * 5 / 13, top + box * 8 / 13};
    const TKVLPoint c{box * 10 / 13, top + box * 3 / 13};
    for (int i = 0; i < thick; ++i) {
      canvas.DrawLine({a.X, a.Y + i}, {b.X + 1, b.Y + i + 1}, colors.Mark);
      canvas.DrawLine({b.X, b.Y + i}, {c.X + 1, c.Y + i - 1}, colors.Mark);
    }
  }
  const int gap = ScaleValue(6, Dpi());
  canvas.DrawText(Caption(), {box + gap, 0, Width(), Height()}, Font(), colors.Text, TKVLTextAlign::taLeft,
                  TKVLVerticalAlign::vaCenter);
}

TKVLRadioBox::TKVLRadioBox(TKVLControl* owner) : TKVLCheckBox(owner) {}

void TKVLRadioBox::SetChecked(bool checked) {
  if (checked && Parent() != nullptr) {
    for (int i = 0; i < Parent()->ControlCount(); ++i) {
      auto* other = dynamic_cast<TKVLRadioBox*>(Parent()->Controls(i));
      if (other != nullptr && other != this && other->groupIndex_ == groupIndex_) other->TKVLCheckBox::SetChecked(false);
    }
  }
  TKVLCheckBox::SetChecked(checked);
}

void TKVLRadioBox::Click() {
  SetChecked(true);
  TKVLControl::Click();
}

void TKVLRadioBox::Paint(IKVLCanvas& canvas) {
  TKVLControl::Paint(canvas);
  const TBoxColors colors = BoxColors(*this);
  const int box = ScaleValue(13, Dpi());
  const int top = (Height() - box) / 2;
  const double r = box / 2.0;
  FillDisc(canvas, 0, top, r, colors.Border);
  FillDisc(canvas, 1, top + 1, r - 1, colors.Face);
  if (checked_) {
    const double dot = r * 0.45;
    const int offset = static_cast<int>(std::lround(r - dot));
    FillDisc(canvas, offset, top + offset, dot, colors.Mark);
  }
  const int gap = ScaleValue(6, Dpi());
  canvas.DrawText(Caption(), {box + gap, 0, Width(), Height()}, Font(), colors.Text, TKVLTextAlign::taLeft,
                  TKVLVerticalAlign::vaCenter);
}

} // namespace KVL::UI
