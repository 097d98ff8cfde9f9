// Check boxes and radio buttons (radio buttons with the same parent and group exclude each other).
#pragma once

#include "KVL/UI/Control.h"

namespace KVL::UI {

class TKVLCheckBox : public TKVLControl {
public:
  explicit TKVLCheckBox(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLCheckBox"; }
  bool HasCaption() const override { return true; }
  bool Checked() const { return checked_; }
  // From code: no OnClick.
  virtual void SetChecked(bool checked);
  // A user's click (mouse or Space): toggles, then OnClick.
  void Click() override;
  void Paint(IKVLCanvas& canvas) override;
  void MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) override;
  bool KeyDown(TKVLKey key, TKVLShiftState shift) override;

protected:
  bool checked_ = false;
};

class TKVLRadioBox : public TKVLCheckBox {
public:
  explicit TKVLRadioBox(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLRadioBox"; }
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int group) { groupIndex_ = group; }
  // Checking one unchecks the others of its group among its siblings.
  void SetChecked(bool checked) override;
  // A user's click checks it (never unchecks), then OnClick.
  void Click() override;
  void Paint(IKVLCanvas& canvas) override;

private:
  int groupIndex_ = 0;
};

} // namespace KVL::UI
