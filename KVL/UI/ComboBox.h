// A read-only drop-down list whose items show a picture before their text.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "KVL/UI/Bitmap.h"
#include "KVL/UI/Control.h"

namespace KVL::UI {

class TKVLForm;
class TKVLListBox;

struct TKVLComboItem {
  std::string Text;
  int ImageIndex = -1;  // into Images(); -1 for none
  int Value = 0;
};

// Closed, it shows the selected item; Up, Down, Home and End change the selection. A click,
// F4 or Alt+Down opens a frameless popup form listing the items: a click picks one, Enter
// picks the highlighted one, Escape closes without a change.
class TKVLComboBox : public TKVLControl {
public:
  explicit TKVLComboBox(TKVLControl* owner = nullptr);
  ~TKVLComboBox() override;
  std::string ClassName() const override { return "TKVLComboBox"; }

  // Pictures are 16 × 16 and drawn scaled; returns the new picture's index.
  int AddImage(TKVLBitmap picture);
  const std::vector<TKVLBitmap>& Images() const { return images_; }

  int AddItem(TKVLComboItem item);
  void InsertItem(int index, TKVLComboItem item);
  void ClearItems();
  int ItemCount() const { return static_cast<int>(items_.size()); }
  const TKVLComboItem& Items(int index) const { return items_[index]; }

  // -1 for none. From code: no OnChange.
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  // The user picked another item.
  std::function<void(TKVLComboBox&)> OnChange;

  bool DroppedDown() const;
  void DropDown();
  void CloseUp();
  // The popup form while it exists (made on first DropDown, owned by the combo box).
  TKVLForm* Popup() const { return popup_; }
  TKVLListBox* PopupList() const { return list_; }

  bool WantsKey(TKVLKey key) const override;
  void Paint(IKVLCanvas& canvas) override;
  void MouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) override;
  bool MouseWheel(int delta, TKVLPoint pt) override;
  bool KeyDown(TKVLKey key, TKVLShiftState shift) override;
  void FocusChanged(bool focused) override;

private:
  friend class TKVLComboList;
  void SelectByUser(int index);
  // From the popup: picks the list's highlighted item (or none) and closes.
  void PickFromList(bool accept);

  std::vector<TKVLComboItem> items_;
  std::vector<TKVLBitmap> images_;
  int itemIndex_ = -1;
  TKVLForm* popup_ = nullptr;
  TKVLListBox* list_ = nullptr;
};

} // namespace KVL::UI
