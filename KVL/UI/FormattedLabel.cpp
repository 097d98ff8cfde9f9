// The formatted label: markup laid out with the toolkit's text layout, links offered to a handler or opened.
#include "KVL/UI/FormattedLabel.h"

#include <algorithm>
#include <cctype>

#include "KVL/Base/Platform/Process.h"
#include "KVL/UI/Memo.h"
#include "KVL/UI/TextLayout.h"
#include "KVL/UI/Theme.h"

namespace KVL::UI::Controls::FormattedLabel {

namespace {

bool IsAddress(const std::string& link) {
  if (KVL::Platform::IsUrl(link)) return true;
  if (link.size() < 4) return false;
  std::string head = link.substr(0, 4);
  std::transform(head.begin(), head.end(), head.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return head == "www.";
}

} // namespace

TKVLFormattedLabel::TKVLFormattedLabel(TKVLControl* owner) : TKVLControl(owner) {}

void TKVLFormattedLabel::SetCaption(const std::string& caption) {
  TKVLControl::SetCaption(caption);
  document_ = ParseMarkup(caption, Font().SizePt);
  Invalidate();
}

// The text's layout inside the border, for painting and for finding links.
static TKVLTextLayout MakeLayout(TKVLFormattedLabel& label, const TKVLRichDocument& document, IKVLCanvas& canvas,
                                 int inset) {
  TKVLTextLayoutOptions options;
  options.DefaultFont = label.Font();
  options.DefaultColor = label.EffectiveTextColor();
  options.LinkColor = StyleColors().Link;
  options.WordWrap = label.WordWrap();
  return TKVLTextLayout(document, options, canvas, std::max(0, label.Width() - 2 * inset));
}

static int Inset(const TKVLFormattedLabel& label) { return label.Border() ? ScaleValue(3, label.Dpi()) : 0; }

void TKVLFormattedLabel::Paint(IKVLCanvas& canvas) {
  TKVLControl::Paint(canvas);
  // The font may have changed since the caption was set; BIG and SMALL follow it.
  document_ = ParseMarkup(Caption(), Font().SizePt);
  if (border_) canvas.FrameRect(ClientRect(), StyleColors().EditBorder);
  const int inset = Inset(*this);
  TKVLTextLayout layout = MakeLayout(*this, document_, canvas, inset);
  layout.Draw(canvas, {inset, inset}, ClientRect());
}

std::string TKVLFormattedLabel::LinkAt(TKVLPoint pt) {
  const int inset = Inset(*this);
  TKVLTextLayout layout = MakeLayout(*this, document_, MeasuringCanvas(Dpi()), inset);
  return layout.LinkAt({pt.X - inset, pt.Y - inset});
}

void TKVLFormattedLabel::MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) {
  TKVLControl::MouseUp(button, pt, shift);
  if (button != TKVLMouseButton::mbLeft) return;
  std::string link = LinkAt(pt);
  if (link.empty()) return;
  if (OnLinkClick && OnLinkClick(link)) return;
  if (IsAddress(link)) OpenLink(link);
}

} // namespace KVL::UI::Controls::FormattedLabel
