// Push buttons.
#pragma once

#include "KVL/UI/Control.h"

namespace KVL::UI {

// Clicks on release inside, on Space, and on Enter as the form's default button. A modal
// result other than mrNone ends the modal form it is in.
class TKVLButton : public TKVLControl {
public:
  explicit TKVLButton(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLButton"; }
  bool HasCaption() const override { return true; }
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result) { modalResult_ = result; }
  void Click() override;
  void Paint(IKVLCanvas& canvas) override;
  void MouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) override;
  void MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) override;
  bool KeyDown(TKVLKey key, TKVLShiftState shift) override;

private:
  int modalResult_ = 0;
};

} // namespace KVL::UI
