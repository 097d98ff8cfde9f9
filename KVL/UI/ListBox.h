// A simple owner-drawn list: one line per item with an optional picture, single selection.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "KVL/UI/Bitmap.h"
#include "KVL/UI/Control.h"

namespace KVL::UI {

struct TKVLListItem {
  std::string Text;
  int ImageIndex = -1;  // into the list's images; -1 for none
};

class TKVLListBox : public TKVLControl {
public:
  explicit TKVLListBox(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLListBox"; }

  void SetItems(std::vector<TKVLListItem> items);
  const std::vector<TKVLListItem>& Items() const { return items_; }
  int ItemCount() const { return static_cast<int>(items_.size()); }
  // Pictures drawn at 16 × 16 (scaled) before the text; borrowed, may be null.
  void SetImages(const std::vector<TKVLBitmap>* images);

  // -1 for none. From code: no OnChange.
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  int TopIndex() const { return topIndex_; }
  // Line height at 96 dots per inch.
  void SetItemHeight96(int height);
  int ItemHeight() const;
  // The item at a point in the list's coordinates, -1 for none.
  int ItemAt(TKVLPoint pt) const;
  TKVLRect ItemRect(int index) const;
  int VisibleItemCount() const;

  // The user changed the selection (click, keys).
  std::function<void(TKVLListBox&)> OnChange;
  // Double-click or Enter on the selected item.
  std::function<void(TKVLListBox&)> OnItemActivate;

  bool WantsKey(TKVLKey key) const override;
  void Paint(IKVLCanvas& canvas) override;
  void MouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) override;
  bool MouseWheel(int delta, TKVLPoint pt) override;
  bool KeyDown(TKVLKey key, TKVLShiftState shift) override;
  void FocusChanged(bool focused) override;

protected:
  // Selection by the user: moves, scrolls into view, then OnChange when it changed.
  void SelectByUser(int index);
  void ScrollIntoView(int index);
  void ScrollTo(int top);
  // Highlighted line drawn even without the focus (drop-down lists).
  bool alwaysShowSelection_ = false;

private:
  std::vector<TKVLListItem> items_;
  const std::vector<TKVLBitmap>* images_ = nullptr;
  int itemIndex_ = -1;
  int topIndex_ = 0;
  int itemHeight96_ = 18;
  // For double-clicks, which the hosts deliver as two presses.
  int64_t lastPressTime_ = 0;
  int lastPressItem_ = -1;
};

} // namespace KVL::UI
