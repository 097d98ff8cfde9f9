// A label that renders the toolkit's bracket markup, with links.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "KVL/UI/Control.h"
#include "KVL/UI/RichText.h"

namespace KVL::UI::Controls::FormattedLabel {

using namespace KVL::UI;

// Tags: [B] [I] [U] [S] [COLOR=…] [BACKCOLOR=…] [BIG] [SMALL] [SIZE=…] [URL=…], closed by
// [/NAME]; names ignore case. Colours: #RRGGBB, $BBGGRR or a name (black, white, red, green,
// blue, navy, gray, ...). Never raises: an unknown or malformed tag is shown as text, a
// closing tag without an opening one is dropped, tags left open end with the text. BIG and
// SMALL step the size from baseSizePt (the label's font) by 2 points.
TKVLRichDocument ParseMarkup(const std::string& text, double baseSizePt = 9);
// A colour value of the markup; nothing when it is not one.
std::optional<TKVLColor> ParseMarkupColor(std::string_view value);

class TKVLFormattedLabel : public TKVLControl {
public:
  explicit TKVLFormattedLabel(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLFormattedLabel"; }
  bool HasCaption() const override { return true; }
  void SetCaption(const std::string& caption) override;
  bool Border() const { return border_; }
  void SetBorder(bool border) { border_ = border; }
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool wrap) { wordWrap_ = wrap; }
  const TKVLRichDocument& Document() const { return document_; }

  // A click on a link asks this first (return true when taken); otherwise an address is
  // opened with OpenLink.
  std::function<bool(const std::string& link)> OnLinkClick;
  std::string LinkAt(TKVLPoint pt);

  void Paint(IKVLCanvas& canvas) override;
  void MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) override;

private:
  TKVLRichDocument document_;
  bool border_ = false;
  bool wordWrap_ = true;
};

} // namespace KVL::UI::Controls::FormattedLabel
