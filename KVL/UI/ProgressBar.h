// A horizontal progress bar.
#pragma once

#include "KVL/UI/Control.h"

namespace KVL::UI {

class TKVLProgressBar : public TKVLControl {
public:
  explicit TKVLProgressBar(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLProgressBar"; }
  double Position() const { return position_; }
  // Clamped to Min..Max; repaints only when the value changes.
  void SetPosition(double position);
  double Min() const { return min_; }
  double Max() const { return max_; }
  void SetRange(double min, double max);
  void Paint(IKVLCanvas& canvas) override;

private:
  double position_ = 0;
  double min_ = 0;
  double max_ = 100;
};

} // namespace KVL::UI
