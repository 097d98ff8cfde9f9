// A picture control (PNG), drawn stretched to its bounds or at its own size.
#pragma once

#include "KVL/UI/Bitmap.h"
#include "KVL/UI/Control.h"

namespace KVL::UI {

class TKVLImage : public TKVLControl {
public:
  explicit TKVLImage(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLImage"; }
  const TKVLBitmap& Picture() const { return picture_; }
  void SetPicture(TKVLBitmap picture);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool stretch);
  void Paint(IKVLCanvas& canvas) override;

private:
  TKVLBitmap picture_;
  bool stretch_ = true;
};

} // namespace KVL::UI
