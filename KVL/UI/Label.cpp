// Static text: wrapping, alignment, auto-size, link labels, and the validation label's warning icon.
#include "KVL/UI/Label.h"

#include <algorithm>

#include "KVL/Base/Platform/Process.h"
#include "KVL/UI/Theme.h"

namespace KVL::UI {

namespace {

std::vector<std::string> SplitParagraphs(const std::string& text) {
  std::vector<std::string> out;
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      out.push_back(line);
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  out.push_back(line);
  return out;
}

// Height of one line of the font.
int LineHeight(IKVLCanvas& canvas, const TKVLFont& font) { return canvas.MeasureText("Ag", font).Height; }

// Relative luminance on a 0..255 scale, good enough to pick the darker of two colours.
int Luma(TKVLColor c) { return (c.R() * 299 + c.G() * 587 + c.B() * 114) / 1000; }

} // namespace

TKVLLabel::TKVLLabel(TKVLControl* owner) : TKVLControl(owner) { SetTransparent(true); }

void TKVLLabel::SetCaption(const std::string& caption) {
  TKVLControl::SetCaption(caption);
  AdjustSize();
}

void TKVLLabel::SetWordWrap(bool wrap) {
  if (wrap == wordWrap_) return;
  wordWrap_ = wrap;
  AdjustSize();
  Invalidate();
}

void TKVLLabel::SetAlignment(TKVLTextAlign align) {
  alignment_ = align;
  Invalidate();
}

void TKVLLabel::SetLayout(TKVLVerticalAlign layout) {
  layout_ = layout;
  Invalidate();
}

void TKVLLabel::SetAutoSize(bool value) {
  autoSize_ = value;
  AdjustSize();
}

void TKVLLabel::SetUrl(const std::string& url) {
  url_ = url;
  Invalidate();
}

void TKVLLabel::AdjustSize() {
  if (!autoSize_) return;
  IKVLCanvas& canvas = MeasuringCanvas(Dpi());
  const TKVLFont& font = Font();
  const TKVLRect b = BoundsRect();
  const int lineHeight = LineHeight(canvas, font);
  if (wordWrap_) {
    // A wrapped label keeps its width and grows downwards.
    const auto lines = WrapLines(canvas, std::max(0, b.Width() - TextIndent()));
    SetBounds(b.Left, b.Top, b.Width(), lineHeight * static_cast<int>(lines.size()));
  } else {
    int width = 0;
    const auto lines = SplitParagraphs(Caption());
    for (const auto& line : lines) width = std::max(width, canvas.MeasureText(line, font).Width);
    SetBounds(b.Left, b.Top, width + TextIndent(), lineHeight * static_cast<int>(lines.size()));
  }
}

std::vector<std::string> TKVLLabel::WrapLines(IKVLCanvas& canvas, int width) const {
  std::vector<std::string> paragraphs = SplitParagraphs(Caption());
  if (!wordWrap_) return paragraphs;
  const TKVLFont& font = Font();
  std::vector<std::string> lines;
  for (const std::string& paragraph : paragraphs) {
    std::string line;
    bool lineHasWord = false;
    size_t pos = 0;
    while (pos <= paragraph.size()) {
      size_t end = paragraph.find(' ', pos);
      if (end == std::string::npos) end = paragraph.size();
      std::string word = paragraph.substr(pos, end - pos);
      pos = end + 1;
      if (word.empty()) {
        // Runs of spaces stay inside a line; leading and trailing ones go.
        if (lineHasWord && end < paragraph.size()) line += ' ';
        continue;
      }
      if (!lineHasWord) {
        line = word;
        lineHasWord = true;
        continue;
      }
      std::string candidate = line;
      candidate += ' ';
      candidate += word;
      if (canvas.MeasureText(candidate, font).Width <= width) {
        line = std::move(candidate);
      } else {
        // A word wider than the whole width gets a line of its own.
        lines.push_back(line);
        line = word;
      }
    }
    lines.push_back(line);
  }
  return lines;
}

void TKVLLabel::Click() {
  if (!OnClick && !url_.empty()) {
    KVL::Platform::ShellOpen(url_);
    return;
  }
  TKVLControl::Click();
}

void TKVLLabel::MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) {
  TKVLControl::MouseUp(button, pt, shift);
}

void TKVLLabel::Paint(IKVLCanvas& canvas) {
  TKVLControl::Paint(canvas);
  TKVLFont font = Font();
  TKVLColor color = EffectiveTextColor();
  if (!url_.empty()) {
    if (!FontColor() && IsEnabledInTree()) color = StyleColors().Link;
    if (MouseInside()) font.Underline = true;
  }
  const int indent = TextIndent();
  const TKVLRect r = ClientRect();
  const auto lines = WrapLines(canvas, std::max(0, r.Width() - indent));
  const int lineHeight = LineHeight(canvas, font);
  const int total = lineHeight * static_cast<int>(lines.size());
  int y = 0;
  if (layout_ == TKVLVerticalAlign::vaCenter) {
    y = (r.Height() - total) / 2;
  } else if (layout_ == TKVLVerticalAlign::vaBottom) {
    y = r.Height() - total;
  }
  for (const std::string& line : lines) {
    canvas.DrawText(line, {indent, y, r.Right, y + lineHeight}, font, color, alignment_);
    y += lineHeight;
  }
}

TKVLValidationLabel::TKVLValidationLabel(TKVLControl* owner) : TKVLLabel(owner) {}

int TKVLValidationLabel::TextIndent() const { return ScaleValue(16 + 4, Dpi()); }

void TKVLValidationLabel::Paint(IKVLCanvas& canvas) {
  TKVLLabel::Paint(canvas);
  const TKVLStyleColors& colors = StyleColors();
  const int size = ScaleValue(16, Dpi());
  const int top = std::max(0, (std::min(Height(), size + size / 2) - size) / 2);
  // The triangle, row by row: each row one pixel wider on both sides every second row.
  for (int row = 0; row < size; ++row) {
    const int half = row / 2;
    const int cx = size / 2;
    canvas.FillRect({cx - half - 1, top + row, cx + half + 1, top + row + 1}, colors.WarningIcon);
  }
  // The "!" in the darker of the style's text and window colours, readable on the yellow.
  const TKVLColor mark = Luma(colors.Text) < Luma(colors.Window) ? colors.Text : colors.Window;
  const int stroke = std::max(2, size / 8);
  const int x = size / 2 - stroke / 2;
  canvas.FillRect({x, top + size * 5 / 16, x + stroke, top + size * 11 / 16}, mark);
  canvas.FillRect({x, top + size * 12 / 16, x + stroke, top + size * 12 / 16 + stroke}, mark);
}

} // namespace KVL::UI
