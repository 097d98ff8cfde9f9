// A single-line text edit: caret, selection, typing by whole UTF-8 characters, embedded buttons.
#include "KVL/UI/Edit.h"

#include <algorithm>
#include <cstdlib>

#include "KVL/UI/Clipboard.h"
#include "KVL/UI/Theme.h"

namespace KVL::UI {

namespace {

constexpr int kTextPadding96 = 4;

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

size_t NextBoundary(const std::string& s, size_t pos) {
  if (pos >= s.size()) return s.size();
  ++pos;
  while (pos < s.size() && IsContinuation(s[pos])) ++pos;
  return pos;
}

size_t PrevBoundary(const std::string& s, size_t pos) {
  if (pos == 0) return 0;
  --pos;
  while (pos > 0 && IsContinuation(s[pos])) --pos;
  return pos;
}

// Keyboard text without control characters (the keys arrive through KeyDown).
std::string Printable(const std::string& utf8) {
  std::string out;
  for (char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) continue;
    out += c;
  }
  return out;
}

// Characters (not bytes) of UTF-8 text.
size_t CharacterCount(const std::string& s) {
  size_t n = 0;
  for (char c : s)
    if (!IsContinuation(c)) ++n;
  return n;
}

// Clipboard text for one line: line breaks inside become a space each (CR LF is one), those
// at either end go, other control characters go.
std::string SingleLine(const std::string& text) {
  std::string out;
  size_t trailingBreaks = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (out.empty()) continue;
      out += ' ';
      ++trailingBreaks;
      continue;
    }
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) continue;
    out += c;
    trailingBreaks = 0;
  }
  out.resize(out.size() - trailingBreaks);
  return out;
}

} // namespace

TKVLEdit::TKVLEdit(TKVLControl* owner) : TKVLControl(owner) { SetTabStop(true); }

void TKVLEdit::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  caret_ = selStart_ = text_.size();
  ScrollToCaret();
  Invalidate();
  if (OnChange) OnChange(*this);
}

int TKVLEdit::AddButton(TKVLEditButton button) {
  buttons_.push_back(std::move(button));
  ScrollToCaret();
  Invalidate();
  return static_cast<int>(buttons_.size()) - 1;
}

TKVLRect TKVLEdit::ButtonRect(int index) const {
  // Laid out left to right in order, the last one against the right border.
  int right = Width() - 1;
  for (int i = ButtonCount() - 1; i > index; --i) right -= ScaleValue(buttons_[i].Width, Dpi());
  const int left = right - ScaleValue(buttons_[index].Width, Dpi());
  return {left, 1, right, Height() - 1};
}

TKVLRect TKVLEdit::TextRect() const {
  const int pad = ScaleValue(kTextPadding96, Dpi());
  int right = Width() - 1;
  if (!buttons_.empty()) right = ButtonRect(0).Left;
  right -= pad;
  return {1 + pad, 1, std::max(1 + pad, right), std::max(1, Height() - 1)};
}

void TKVLEdit::SetCaretPos(size_t pos) {
  pos = std::min(pos, text_.size());
  while (pos > 0 && pos < text_.size() && IsContinuation(text_[pos])) --pos;
  MoveCaret(pos, false);
}

void TKVLEdit::SelectAll() {
  selStart_ = 0;
  caret_ = text_.size();
  ScrollToCaret();
  Invalidate();
}

std::string TKVLEdit::SelectedText() const {
  const size_t a = std::min(selStart_, caret_), b = std::max(selStart_, caret_);
  return text_.substr(a, b - a);
}

bool TKVLEdit::CanFocus() const { return TKVLControl::CanFocus(); }

void TKVLEdit::MoveCaret(size_t pos, bool extend) {
  caret_ = pos;
  if (!extend) selStart_ = pos;
  ScrollToCaret();
  Invalidate();
}

void TKVLEdit::ReplaceSelection(const std::string& with) {
  const size_t a = std::min(selStart_, caret_), b = std::max(selStart_, caret_);
  if (a == b && with.empty()) return;
  text_.replace(a, b - a, with);
  caret_ = selStart_ = a + with.size();
  ScrollToCaret();
  Invalidate();
  if (OnChange) OnChange(*this);
}

void TKVLEdit::InsertText(const std::string& text) {
  if (readOnly_) return;
  std::string with = text;
  if (maxLength_ > 0) {
    const size_t a = std::min(selStart_, caret_), b = std::max(selStart_, caret_);
    const size_t kept = CharacterCount(text_) - CharacterCount(text_.substr(a, b - a));
    const size_t room = kept < maxLength_ ? maxLength_ - kept : 0;
    size_t end = 0;
    for (size_t n = 0; n < room && end < with.size(); ++n) end = NextBoundary(with, end);
    with.resize(end);
    if (with.empty()) return;
  }
  ReplaceSelection(with);
}

void TKVLEdit::CopyToClipboard() {
  if (selStart_ != caret_) SetClipboardText(SelectedText());
}

void TKVLEdit::CutToClipboard() {
  if (readOnly_ || selStart_ == caret_) return;
  SetClipboardText(SelectedText());
  ReplaceSelection({});
}

void TKVLEdit::PasteFromClipboard() {
  if (readOnly_) return;
  const std::string text = SingleLine(ClipboardText());
  if (!text.empty()) InsertText(text);
}

int TKVLEdit::TextWidth(size_t bytes) const {
  if (bytes == 0) return 0;
  return MeasuringCanvas(Dpi()).MeasureText(text_.substr(0, bytes), Font()).Width;
}

void TKVLEdit::ScrollToCaret() {
  const int visible = TextRect().Width();
  const int caretX = TextWidth(caret_);
  const int total = TextWidth(text_.size());
  // The caret needs one pixel of its own after the last character.
  if (caretX - scrollX_ > visible - 1) scrollX_ = caretX - visible + 1;
  if (caretX < scrollX_) scrollX_ = caretX;
  // No empty room at the right while text is hidden at the left.
  if (total - scrollX_ < visible - 1) scrollX_ = std::max(0, total - visible + 1);
  scrollX_ = std::max(0, scrollX_);
}

void TKVLEdit::Resized() {
  TKVLControl::Resized();
  ScrollToCaret();
}

size_t TKVLEdit::CaretFromX(int x) const {
  const int target = x - TextRect().Left + scrollX_;
  size_t best = 0;
  int bestDistance = std::abs(target);
  for (size_t pos = NextBoundary(text_, 0); pos <= text_.size() && pos > 0;) {
    const int distance = std::abs(TextWidth(pos) - target);
    if (distance < bestDistance) {
      best = pos;
      bestDistance = distance;
    }
    if (pos == text_.size()) break;
    pos = NextBoundary(text_, pos);
  }
  return best;
}

int TKVLEdit::ButtonAt(TKVLPoint pt) const {
  for (int i = 0; i < ButtonCount(); ++i)
    if (ButtonRect(i).Contains(pt)) return i;
  return -1;
}

void TKVLEdit::MouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) {
  TKVLControl::MouseDown(button, pt, shift);
  if (button != TKVLMouseButton::mbLeft) return;
  pressedButton_ = ButtonAt(pt);
  if (pressedButton_ >= 0) {
    Invalidate();
    return;
  }
  if (CanFocus() && !Focused()) SetFocus();
  MoveCaret(CaretFromX(pt.X), shift.Shift);
  selecting_ = true;
}

void TKVLEdit::MouseMove(TKVLPoint pt, TKVLShiftState shift) {
  TKVLControl::MouseMove(pt, shift);
  const int hot = ButtonAt(pt);
  if (hot != hotButton_) {
    hotButton_ = hot;
    Invalidate();
  }
  if (selecting_) MoveCaret(CaretFromX(pt.X), true);
}

void TKVLEdit::MouseLeave() {
  TKVLControl::MouseLeave();
  if (hotButton_ >= 0) Invalidate();
  hotButton_ = -1;
}

void TKVLEdit::MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) {
  TKVLControl::MouseUp(button, pt, shift);
  selecting_ = false;
  const int pressed = pressedButton_;
  pressedButton_ = -1;
  if (pressed < 0) return;
  Invalidate();
  // A click is a release over the button that took the press.
  if (button == TKVLMouseButton::mbLeft && ButtonAt(pt) == pressed) {
    // The handler may add or remove buttons (or open a modal dialog): call a copy.
    auto handler = buttons_[pressed].OnClick;
    if (handler) handler(*this);
  }
}

bool TKVLEdit::KeyDown(TKVLKey key, TKVLShiftState shift) {
  const bool hasSelection = selStart_ != caret_;
  switch (key) {
    case TKVLKey::kLeft:
      if (hasSelection && !shift.Shift)
        MoveCaret(std::min(selStart_, caret_), false);
      else
        MoveCaret(PrevBoundary(text_, caret_), shift.Shift);
      return true;
    case TKVLKey::kRight:
      if (hasSelection && !shift.Shift)
        MoveCaret(std::max(selStart_, caret_), false);
      else
        MoveCaret(NextBoundary(text_, caret_), shift.Shift);
      return true;
    case TKVLKey::kHome:
      MoveCaret(0, shift.Shift);
      return true;
    case TKVLKey::kEnd:
      MoveCaret(text_.size(), shift.Shift);
      return true;
    case TKVLKey::kBackspace:
      if (readOnly_) return true;
      if (!hasSelection) selStart_ = PrevBoundary(text_, caret_);
      ReplaceSelection({});
      return true;
    case TKVLKey::kDelete:
      if (shift.Shift) {
        CutToClipboard();
        return true;
      }
      if (readOnly_) return true;
      if (!hasSelection) selStart_ = NextBoundary(text_, caret_);
      ReplaceSelection({});
      return true;
    case TKVLKey::kInsert:
      if (shift.Ctrl && !shift.Shift) {
        CopyToClipboard();
        return true;
      }
      if (shift.Shift && !shift.Ctrl) {
        PasteFromClipboard();
        return true;
      }
      return false;
    default:
      return false;
  }
}

bool TKVLEdit::KeyChar(const std::string& utf8) {
  // Ctrl with a letter arrives as its control character.
  if (utf8.size() == 1) {
    switch (utf8[0]) {
      case '\x01': SelectAll(); return true;
      case '\x03': CopyToClipboard(); return true;
      case '\x16': PasteFromClipboard(); return true;
      case '\x18': CutToClipboard(); return true;
      default: break;
    }
  }
  const std::string text = Printable(utf8);
  if (text.empty()) return false;
  InsertText(text);
  return true;
}

void TKVLEdit::FocusChanged(bool focused) {
  TKVLControl::FocusChanged(focused);
  selecting_ = false;
  Invalidate();
}

void TKVLEdit::Paint(IKVLCanvas& canvas) {
  const TKVLStyleColors& colors = StyleColors();
  const bool enabled = IsEnabledInTree();
  PaintFieldBox(canvas, Focused());

  const TKVLRect textRect = TextRect();
  canvas.Save();
  canvas.IntersectClip(textRect);
  const TKVLColor textColor = EffectiveTextColor();
  // Drawn from the left edge of the whole text, shifted by the scroll offset; the rectangle
  // is wide enough for the text so DrawText never clips it early.
  const int total = TextWidth(text_.size());
  const TKVLRect line{textRect.Left - scrollX_, textRect.Top, textRect.Left - scrollX_ + total + 1, textRect.Bottom};
  canvas.DrawText(text_, line, Font(), textColor, TKVLTextAlign::taLeft, TKVLVerticalAlign::vaCenter);
  const size_t a = std::min(selStart_, caret_), b = std::max(selStart_, caret_);
  if (a != b && Focused()) {
    const int x1 = line.Left + TextWidth(a), x2 = line.Left + TextWidth(b);
    const TKVLSize lineSize = canvas.MeasureText("Ag", Font());
    const int top = textRect.Top + (textRect.Height() - lineSize.Height) / 2;
    canvas.FillRect({x1, top, x2, top + lineSize.Height}, colors.Selection);
    canvas.DrawText(text_.substr(a, b - a), {x1, textRect.Top, x2 + 1, textRect.Bottom}, Font(), colors.SelectionText,
                    TKVLTextAlign::taLeft, TKVLVerticalAlign::vaCenter);
  }
  if (Focused()) {
    const TKVLSize lineSize = canvas.MeasureText("Ag", Font());
    const int top = textRect.Top + (textRect.Height() - lineSize.Height) / 2;
    const int x = line.Left + TextWidth(caret_);
    canvas.DrawLine({x, top}, {x, top + lineSize.Height}, textColor);
  }
  canvas.Restore();

  for (int i = 0; i < ButtonCount(); ++i) {
    const TKVLRect r = ButtonRect(i);
    TKVLColor face = colors.ButtonFace;
    if (i == pressedButton_)
      face = colors.ButtonFacePressed;
    else if (i == hotButton_ && enabled)
      face = colors.ButtonFaceHot;
    canvas.FillRect(r, face);
    canvas.DrawLine({r.Left, r.Top}, {r.Left, r.Bottom}, colors.ButtonBorder);
    canvas.DrawText(buttons_[i].Caption, r, Font(), enabled ? colors.ButtonText : colors.TextDisabled,
                    TKVLTextAlign::taCenter, TKVLVerticalAlign::vaCenter);
  }
}

} // namespace KVL::UI
