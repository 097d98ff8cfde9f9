// A simple owner-drawn list: selection by mouse and keys, activation by double-click or Enter.
#include "KVL/UI/ListBox.h"

#include <algorithm>
#include <chrono>

#include "KVL/UI/Theme.h"

namespace KVL::UI {

namespace {

constexpr int kDoubleClickMs = 500;
constexpr int kImageSize96 = 16;
constexpr int kScrollBarWidth96 = 6;

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

TKVLListBox::TKVLListBox(TKVLControl* owner) : TKVLControl(owner) { SetTabStop(true); }

void TKVLListBox::SetItems(std::vector<TKVLListItem> items) {
  items_ = std::move(items);
  itemIndex_ = -1;
  topIndex_ = 0;
  lastPressItem_ = -1;
  Invalidate();
}

void TKVLListBox::SetImages(const std::vector<TKVLBitmap>* images) {
  images_ = images;
  Invalidate();
}

void TKVLListBox::SetItemIndex(int index) {
  if (index < -1 || index >= ItemCount()) index = -1;
  itemIndex_ = index;
  if (index >= 0) ScrollIntoView(index);
  Invalidate();
}

void TKVLListBox::SetItemHeight96(int height) {
  itemHeight96_ = std::max(1, height);
  Invalidate();
}

int TKVLListBox::ItemHeight() const { return std::max(1, ScaleValue(itemHeight96_, Dpi())); }

int TKVLListBox::VisibleItemCount() const { return std::max(1, (Height() - 2) / ItemHeight()); }

TKVLRect TKVLListBox::ItemRect(int index) const {
  const int top = 1 + (index - topIndex_) * ItemHeight();
  return {1, top, Width() - 1, top + ItemHeight()};
}

int TKVLListBox::ItemAt(TKVLPoint pt) const {
  if (pt.X < 0 || pt.X >= Width() || pt.Y < 1) return -1;
  const int index = topIndex_ + (pt.Y - 1) / ItemHeight();
  return index < ItemCount() ? index : -1;
}

void TKVLListBox::ScrollTo(int top) {
  top = std::clamp(top, 0, std::max(0, ItemCount() - VisibleItemCount()));
  if (top != topIndex_) {
    topIndex_ = top;
    Invalidate();
  }
}

void TKVLListBox::ScrollIntoView(int index) {
  if (index < topIndex_)
    ScrollTo(index);
  else if (index >= topIndex_ + VisibleItemCount())
    ScrollTo(index - VisibleItemCount() + 1);
}

void TKVLListBox::SelectByUser(int index) {
  if (ItemCount() == 0) return;
  index = std::clamp(index, 0, ItemCount() - 1);
  ScrollIntoView(index);
  if (index == itemIndex_) return;
  itemIndex_ = index;
  Invalidate();
  if (OnChange) OnChange(*this);
}

bool TKVLListBox::WantsKey(TKVLKey key) const { return key == TKVLKey::kEnter && itemIndex_ >= 0; }

void TKVLListBox::MouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) {
  TKVLControl::MouseDown(button, pt, shift);
  if (button != TKVLMouseButton::mbLeft) return;
  if (CanFocus() && !Focused()) SetFocus();
  const int index = ItemAt(pt);
  if (index < 0) return;
  const int64_t now = NowMs();
  const bool second = index == lastPressItem_ && now - lastPressTime_ <= kDoubleClickMs;
  SelectByUser(index);
  if (second) {
    // A third press starts a new pair.
    lastPressItem_ = -1;
    if (OnItemActivate) OnItemActivate(*this);
    return;
  }
  lastPressItem_ = index;
  lastPressTime_ = now;
}

bool TKVLListBox::MouseWheel(int delta, TKVLPoint pt) {
  (void)pt;
  ScrollTo(topIndex_ - delta * 3);
  return true;
}

bool TKVLListBox::KeyDown(TKVLKey key, TKVLShiftState shift) {
  (void)shift;
  if (ItemCount() == 0) return false;
  const int page = std::max(1, VisibleItemCount() - 1);
  switch (key) {
    case TKVLKey::kUp: SelectByUser(itemIndex_ < 0 ? 0 : itemIndex_ - 1); return true;
    case TKVLKey::kDown: SelectByUser(itemIndex_ + 1); return true;
    case TKVLKey::kHome: SelectByUser(0); return true;
    case TKVLKey::kEnd: SelectByUser(ItemCount() - 1); return true;
    case TKVLKey::kPageUp: SelectByUser(std::max(0, itemIndex_) - page); return true;
    case TKVLKey::kPageDown: SelectByUser(std::max(0, itemIndex_) + page); return true;
    case TKVLKey::kEnter:
      if (itemIndex_ < 0) return false;
      if (OnItemActivate) OnItemActivate(*this);
      return true;
    default: return false;
  }
}

void TKVLListBox::FocusChanged(bool focused) {
  TKVLControl::FocusChanged(focused);
  Invalidate();
}

void TKVLListBox::Paint(IKVLCanvas& canvas) {
  const TKVLStyleColors& colors = StyleColors();
  const TKVLRect client = ClientRect();
  canvas.FillRect(client, colors.EditBackground);
  canvas.FrameRect(client, Focused() ? colors.FocusFrame : colors.EditBorder);

  const bool overflow = ItemCount() > VisibleItemCount();
  const int barWidth = overflow ? ScaleValue(kScrollBarWidth96, Dpi()) : 0;
  canvas.Save();
  canvas.IntersectClip({1, 1, Width() - 1 - barWidth, Height() - 1});
  const int imageSize = ScaleValue(kImageSize96, Dpi());
  const int pad = ScaleValue(3, Dpi());
  const bool showSelection = Focused() || alwaysShowSelection_;
  for (int i = topIndex_; i < ItemCount() && i <= topIndex_ + VisibleItemCount(); ++i) {
    TKVLRect r = ItemRect(i);
    r.Right -= barWidth;
    TKVLColor textColor = EffectiveTextColor();
    if (i == itemIndex_) {
      if (showSelection) {
        canvas.FillRect(r, colors.Selection);
        textColor = colors.SelectionText;
      } else {
        canvas.FrameRect(r, colors.Selection);
      }
    }
    int x = r.Left + pad;
    const TKVLListItem& item = items_[i];
    if (images_ && item.ImageIndex >= 0 && item.ImageIndex < static_cast<int>(images_->size())) {
      const int top = r.Top + (r.Height() - imageSize) / 2;
      canvas.DrawPicture((*images_)[item.ImageIndex], TKVLRect::FromBounds(x, top, imageSize, imageSize));
      x += imageSize + pad;
    }
    canvas.DrawText(item.Text, {x, r.Top, r.Right - pad, r.Bottom}, Font(), textColor, TKVLTextAlign::taLeft,
                    TKVLVerticalAlign::vaCenter);
  }
  canvas.Restore();

  if (overflow) {
    const TKVLRect track{Width() - 1 - barWidth, 1, Width() - 1, Height() - 1};
    canvas.FillRect(track, colors.ScrollTrack);
    const int thumbHeight = std::max(barWidth, track.Height() * VisibleItemCount() / ItemCount());
    const int range = std::max(1, ItemCount() - VisibleItemCount());
    const int thumbTop = track.Top + (track.Height() - thumbHeight) * topIndex_ / range;
    canvas.FillRect({track.Left, thumbTop, track.Right, thumbTop + thumbHeight}, colors.ScrollThumb);
  }
}

} // namespace KVL::UI
