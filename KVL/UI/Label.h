// Static text: plain, wrapping, as a link with an address, and the warning label.
#pragma once

#include <functional>
#include <string>

#include "KVL/UI/Bitmap.h"
#include "KVL/UI/Control.h"

namespace KVL::UI {

class TKVLLabel : public TKVLControl {
public:
  explicit TKVLLabel(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLLabel"; }
  bool HasCaption() const override { return true; }
  void SetCaption(const std::string& caption) override;

  // Wrapped text breaks at spaces to the width and starts at the top.
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wrap);
  TKVLTextAlign Alignment() const { return alignment_; }
  void SetAlignment(TKVLTextAlign align);
  TKVLVerticalAlign Layout() const { return layout_; }
  void SetLayout(TKVLVerticalAlign layout);
  // Sized to its text: width and height follow the caption (one line unless wrapped).
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool value);

  // A link label opens its address with the shell's "open" verb when clicked, unless it
  // has an OnClick handler; it shows a hand cursor and is drawn underlined while hot.
  const std::string& Url() const { return url_; }
  void SetUrl(const std::string& url);
  void Click() override;
  void MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) override;

  void Paint(IKVLCanvas& canvas) override;
  // The text broken into lines for a width, as Paint draws it.
  std::vector<std::string> WrapLines(IKVLCanvas& canvas, int width) const;

protected:
  void AdjustSize();
  // Left offset of the text (the warning label leaves room for its icon).
  virtual int TextIndent() const { return 0; }

private:
  bool wordWrap_ = false;
  TKVLTextAlign alignment_ = TKVLTextAlign::taLeft;
  TKVLVerticalAlign layout_ = TKVLVerticalAlign::vaTop;
  bool autoSize_ = false;
  std::string url_;
};

// A label with a warning icon before its text, for validation messages.
class TKVLValidationLabel : public TKVLLabel {
public:
  explicit TKVLValidationLabel(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLValidationLabel"; }
  void Paint(IKVLCanvas& canvas) override;

protected:
  int TextIndent() const override;
};

} // namespace KVL::UI
