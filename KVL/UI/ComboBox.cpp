// A read-only drop-down list with pictures: keyboard selection and a frameless popup list.
#include "KVL/UI/ComboBox.h"

#include <algorithm>

#include "KVL/UI/Form.h"
#include "KVL/UI/ListBox.h"
#include "KVL/UI/Theme.h"

namespace KVL::UI {

namespace {

constexpr int kImageSize96 = 16;
constexpr int kArrowWidth96 = 17;
constexpr int kItemHeight96 = 20;
constexpr int kMaxDropDownItems = 8;

// Below the control, or above it when only there the list stays inside the work area (or
// has more room when neither side has enough); moved sideways to stay inside.
TKVLPoint PopupPlace(const TKVLRect& control, TKVLSize size, const TKVLRect& workArea) {
  TKVLPoint at{control.Left, control.Bottom};
  if (workArea.IsEmpty()) return at;
  const int below = workArea.Bottom - control.Bottom, above = control.Top - workArea.Top;
  if (size.Height > below && (size.Height <= above || above > below))
    at.Y = std::max(workArea.Top, control.Top - size.Height);
  at.X = std::max(workArea.Left, std::min(at.X, workArea.Right - size.Width));
  return at;
}

} // namespace

// The popup's list: the pointer highlights, a click or Enter picks, Escape closes.
class TKVLComboList : public TKVLListBox {
public:
  TKVLComboList(TKVLControl* owner, TKVLComboBox& combo) : TKVLListBox(owner), combo_(combo) {
    alwaysShowSelection_ = true;
  }

  void MouseMove(TKVLPoint pt, TKVLShiftState shift) override {
    TKVLListBox::MouseMove(pt, shift);
    const int index = ItemAt(pt);
    if (index >= 0 && index != ItemIndex()) SetItemIndex(index);
  }
  void MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) override {
    TKVLListBox::MouseUp(button, pt, shift);
    if (button == TKVLMouseButton::mbLeft && ItemAt(pt) >= 0) combo_.PickFromList(true);
  }
  bool WantsKey(TKVLKey key) const override { return key == TKVLKey::kEnter || key == TKVLKey::kEscape; }
  bool KeyDown(TKVLKey key, TKVLShiftState shift) override {
    switch (key) {
      case TKVLKey::kEnter:
      case TKVLKey::kF4: combo_.PickFromList(true); return true;
      case TKVLKey::kEscape: combo_.PickFromList(false); return true;
      case TKVLKey::kUp:
        if (shift.Alt) {
          combo_.PickFromList(true);
          return true;
        }
        break;
      default: break;
    }
    return TKVLListBox::KeyDown(key, shift);
  }

private:
  TKVLComboBox& combo_;
};

TKVLComboBox::TKVLComboBox(TKVLControl* owner) : TKVLControl(owner) { SetTabStop(true); }

TKVLComboBox::~TKVLComboBox() = default;

int TKVLComboBox::AddImage(TKVLBitmap picture) {
  images_.push_back(std::move(picture));
  return static_cast<int>(images_.size()) - 1;
}

int TKVLComboBox::AddItem(TKVLComboItem item) {
  InsertItem(ItemCount(), std::move(item));
  return ItemCount() - 1;
}

void TKVLComboBox::InsertItem(int index, TKVLComboItem item) {
  index = std::clamp(index, 0, ItemCount());
  items_.insert(items_.begin() + index, std::move(item));
  // The selected item stays selected.
  if (itemIndex_ >= index) ++itemIndex_;
  Invalidate();
}

void TKVLComboBox::ClearItems() {
  CloseUp();
  items_.clear();
  itemIndex_ = -1;
  Invalidate();
}

void TKVLComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= ItemCount()) index = -1;
  itemIndex_ = index;
  Invalidate();
}

void TKVLComboBox::SelectByUser(int index) {
  if (ItemCount() == 0) return;
  index = std::clamp(index, 0, ItemCount() - 1);
  if (index == itemIndex_) return;
  itemIndex_ = index;
  Invalidate();
  if (OnChange) OnChange(*this);
}

bool TKVLComboBox::DroppedDown() const { return popup_ && popup_->Visible(); }

void TKVLComboBox::DropDown() {
  if (DroppedDown() || ItemCount() == 0) return;
  if (!popup_) {
    popup_ = CreateOwned<TKVLForm>();
    popup_->SetBorderStyle(TKVLBorderStyle::bsNone);
    popup_->SetPosition(TKVLPosition::poDefault);
    list_ = popup_->CreateOwned<TKVLComboList>(*this);
    list_->SetParent(popup_);
    list_->SetAlign(TKVLAlign::alClient);
    list_->SetMargins({0, 0, 0, 0});
    list_->SetItemHeight96(kItemHeight96);
    list_->SetImages(&images_);
    // Closed by a press elsewhere or by the owner losing activation: no choice, only the look.
    popup_->OnDismiss = [this](TKVLForm&) { Invalidate(); };
    // The window first, so that a change of resolution does not undo the placing below.
    popup_->HandleNeeded();
  }
  std::vector<TKVLListItem> lines;
  lines.reserve(items_.size());
  for (const TKVLComboItem& item : items_) lines.push_back({item.Text, item.ImageIndex});
  list_->SetFont(Font());
  list_->SetItems(std::move(lines));
  // Sized in this control's pixels; the popup form takes 96-dpi sizes.
  const int dpi = Dpi();
  const int rows = std::min(ItemCount(), kMaxDropDownItems);
  const int width96 = Width() * 96 / dpi;
  const int height96 = rows * kItemHeight96 + 2;
  popup_->SetClientSize96(width96, height96);
  // In screen pixels: the host of a frameless form places it at its bounds' left and top.
  const TKVLRect inForm = ScreenRectInForm();
  TKVLRect onScreen = inForm;
  TKVLRect workArea;
  if (TKVLForm* form = FindForm(); form && form->Host()) {
    const TKVLPoint topLeft = form->Host()->ClientToScreen({inForm.Left, inForm.Top});
    onScreen = inForm.Offset(topLeft.X - inForm.Left, topLeft.Y - inForm.Top);
    workArea = form->Host()->WorkArea();
  }
  const TKVLPoint at = PopupPlace(onScreen, {popup_->Width(), popup_->Height()}, workArea);
  popup_->SetBounds(at.X, at.Y, popup_->Width(), popup_->Height());
  list_->SetItemIndex(itemIndex_);
  popup_->Show();
  popup_->SetActiveControl(list_);
  Invalidate();
}

void TKVLComboBox::CloseUp() {
  if (!DroppedDown()) return;
  popup_->Hide();
  Invalidate();
}

void TKVLComboBox::PickFromList(bool accept) {
  const int index = list_ ? list_->ItemIndex() : -1;
  CloseUp();
  if (accept && index >= 0) SelectByUser(index);
}

bool TKVLComboBox::WantsKey(TKVLKey key) const {
  return DroppedDown() && (key == TKVLKey::kEnter || key == TKVLKey::kEscape);
}

void TKVLComboBox::MouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) {
  TKVLControl::MouseDown(button, pt, shift);
  if (button != TKVLMouseButton::mbLeft) return;
  if (CanFocus() && !Focused()) SetFocus();
  if (DroppedDown())
    CloseUp();
  else
    DropDown();
}

bool TKVLComboBox::MouseWheel(int delta, TKVLPoint pt) {
  (void)pt;
  if (DroppedDown() || ItemCount() == 0) return false;
  SelectByUser(itemIndex_ < 0 ? 0 : itemIndex_ - delta);
  return true;
}

bool TKVLComboBox::KeyDown(TKVLKey key, TKVLShiftState shift) {
  if (DroppedDown()) return list_->KeyDown(key, shift);
  switch (key) {
    case TKVLKey::kUp:
    case TKVLKey::kDown:
      if (shift.Alt) {
        DropDown();
        return true;
      }
      if (ItemCount() == 0) return true;
      SelectByUser(itemIndex_ < 0 ? 0 : itemIndex_ + (key == TKVLKey::kDown ? 1 : -1));
      return true;
    case TKVLKey::kHome: SelectByUser(0); return true;
    case TKVLKey::kEnd: SelectByUser(ItemCount() - 1); return true;
    case TKVLKey::kF4: DropDown(); return true;
    default: return false;
  }
}

void TKVLComboBox::FocusChanged(bool focused) {
  TKVLControl::FocusChanged(focused);
  if (!focused) CloseUp();
  Invalidate();
}

void TKVLComboBox::Paint(IKVLCanvas& canvas) {
  const TKVLStyleColors& colors = StyleColors();
  const TKVLRect client = ClientRect();
  const bool enabled = IsEnabledInTree();
  PaintFieldBox(canvas, Focused() || DroppedDown());

  const int dpi = Dpi();
  const int arrowWidth = ScaleValue(kArrowWidth96, dpi);
  const TKVLRect arrow{Width() - 1 - arrowWidth, 1, Width() - 1, Height() - 1};
  // A small triangle pointing down, drawn line by line.
  const int half = std::max(2, ScaleValue(4, dpi));
  const int cx = arrow.Left + arrow.Width() / 2, top = arrow.Top + (arrow.Height() - half) / 2;
  const TKVLColor arrowColor = enabled ? colors.Text : colors.TextDisabled;
  for (int row = 0; row < half; ++row)
    canvas.DrawLine({cx - half + row, top + row}, {cx + half - row, top + row}, arrowColor);

  if (itemIndex_ < 0) return;
  const TKVLComboItem& item = items_[itemIndex_];
  const int pad = ScaleValue(2, dpi);
  TKVLRect area{1 + pad, 1 + pad, arrow.Left - pad, Height() - 1 - pad};
  TKVLColor textColor = EffectiveTextColor();
  if (Focused() && !DroppedDown() && enabled) {
    canvas.FillRect(area, colors.Selection);
    textColor = colors.SelectionText;
  }
  int x = area.Left + pad;
  if (item.ImageIndex >= 0 && item.ImageIndex < static_cast<int>(images_.size())) {
    const int size = ScaleValue(kImageSize96, dpi);
    canvas.DrawPicture(images_[item.ImageIndex],
                       TKVLRect::FromBounds(x, client.Top + (client.Height() - size) / 2, size, size));
    x += size + pad * 2;
  }
  canvas.DrawText(item.Text, {x, area.Top, area.Right, area.Bottom}, Font(), textColor, TKVLTextAlign::taLeft,
                  TKVLVerticalAlign::vaCenter);
}

} // namespace KVL::UI
