// The read-only memo: its inner text window that lays out and scrolls, the frame's scroll bar, and link opening.
#include "KVL/UI/Memo.h"

#include <algorithm>
#include <cmath>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/UI/Theme.h"

namespace KVL::UI {

namespace {

// Room between the inner window's edge and its text, at 96 dpi.
constexpr int kTextPadding96 = 4;
constexpr int kScrollBarWidth96 = 17;
constexpr int kMinThumb96 = 20;
constexpr int kWheelLines = 3;

} // namespace

// ---- links ----

std::string LinkTarget(const std::string& link) {
  if (link.empty()) return {};
  if (link.find("//") != std::string::npos || KVL::Platform::DirectoryExists(link)) return link;
  std::string target = "http://";
  target += link;
  return target;
}

void OpenLink(const std::string& link) {
  std::string target = LinkTarget(link);
  if (!target.empty()) KVL::Platform::ShellOpen(target);
}

// ---- TKVLInnerMemo ----

TKVLInnerMemo::TKVLInnerMemo(TKVLControl* owner) : TKVLControl(owner) { SetTabStop(true); }

void TKVLInnerMemo::SetDocument(TKVLRichDocument document) {
  document_ = std::move(document);
  scrollPos_ = 0;
  InvalidateLayout();
}

void TKVLInnerMemo::SetText(const std::string& text) { SetDocument(TKVLRichDocument::FromPlainText(text)); }

void TKVLInnerMemo::SetBackground(std::optional<TKVLColor> color) {
  background_ = color;
  Invalidate();
}

void TKVLInnerMemo::SetZoom(double zoom) {
  if (zoom == zoom_ || !(zoom > 0)) return;
  zoom_ = zoom;
  InvalidateLayout();
}

void TKVLInnerMemo::SetDetectUrls(bool detect) {
  if (detect == detectUrls_) return;
  detectUrls_ = detect;
  InvalidateLayout();
}

void TKVLInnerMemo::InvalidateLayout() {
  layout_.reset();
  SetScrollPos(scrollPos_);  // the content may have shrunk below the position
  if (auto* frame = dynamic_cast<TKVLMemo*>(Parent())) frame->UpdateScrollBars();
  Invalidate();
}

const TKVLTextLayout& TKVLInnerMemo::Layout() {
  const int dpi = Dpi();
  const int padding = ScaleValue(kTextPadding96, dpi);
  const int width = std::max(0, Width() - 2 * padding);
  TKVLTextLayoutOptions options;
  options.DefaultFont = Font();
  options.DefaultColor = FontColor().value_or(StyleColors().Text);
  options.LinkColor = StyleColors().Link;
  options.WordWrap = true;
  options.DetectUrls = detectUrls_;
  options.Zoom = zoom_;
  // The layout keeps colours in its fragments: a new style or font needs a new one.
  if (layout_ && layout_->Width() == width && layoutFont_ == options.DefaultFont &&
      layoutColors_ == std::make_pair(options.DefaultColor, options.LinkColor) && layoutDpi_ == dpi)
    return *layout_;
  layout_ = std::make_unique<TKVLTextLayout>(document_, options, MeasuringCanvas(dpi), width);
  layoutFont_ = options.DefaultFont;
  layoutColors_ = {options.DefaultColor, options.LinkColor};
  layoutDpi_ = dpi;
  return *layout_;
}

int TKVLInnerMemo::ContentHeight() { return Layout().Height() + 2 * ScaleValue(kTextPadding96, Dpi()); }

void TKVLInnerMemo::SetScrollPos(int pos) {
  pos = std::clamp(pos, 0, std::max(0, ContentHeight() - PageHeight()));
  if (pos == scrollPos_) return;
  scrollPos_ = pos;
  if (auto* frame = dynamic_cast<TKVLMemo*>(Parent())) frame->UpdateScrollBars();
  Invalidate();
}

TKVLPoint TKVLInnerMemo::ToLayout(TKVLPoint pt) const {
  const int padding = ScaleValue(kTextPadding96, Dpi());
  return {pt.X - padding, pt.Y - padding + scrollPos_};
}

std::string TKVLInnerMemo::LinkAt(TKVLPoint pt) { return Layout().LinkAt(ToLayout(pt)); }

int TKVLInnerMemo::LineStep() {
  TKVLFont font = Font();
  font.SizePt *= zoom_;
  return std::max(1, MeasuringCanvas(Dpi()).MeasureText("Ag", font).Height);
}

void TKVLInnerMemo::Paint(IKVLCanvas& canvas) {
  const TKVLRect client = ClientRect();
  canvas.FillRect(client, background_.value_or(StyleColors().EditBackground));
  const TKVLTextLayout& layout = Layout();
  const int padding = ScaleValue(kTextPadding96, Dpi());
  layout.Draw(canvas, {padding, padding - scrollPos_}, client);
}

void TKVLInnerMemo::MouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) {
  TKVLControl::MouseDown(button, pt, shift);
  if (CanFocus()) SetFocus();
}

void TKVLInnerMemo::MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) {
  TKVLControl::MouseUp(button, pt, shift);
  if (button != TKVLMouseButton::mbLeft) return;
  std::string link = LinkAt(pt);
  if (link.empty()) return;
  if (OnLinkClick) OnLinkClick(link);
  else OpenLink(link);
}

bool TKVLInnerMemo::MouseWheel(int delta, TKVLPoint) {
  SetScrollPos(scrollPos_ - delta * kWheelLines * LineStep());
  return true;
}

bool TKVLInnerMemo::KeyDown(TKVLKey key, TKVLShiftState) {
  const int line = LineStep();
  const int page = std::max(line, PageHeight() - line);
  switch (key) {
    case TKVLKey::kUp: SetScrollPos(scrollPos_ - line); return true;
    case TKVLKey::kDown: SetScrollPos(scrollPos_ + line); return true;
    case TKVLKey::kPageUp: SetScrollPos(scrollPos_ - page); return true;
    case TKVLKey::kPageDown: SetScrollPos(scrollPos_ + page); return true;
    case TKVLKey::kHome: SetScrollPos(0); return true;
    case TKVLKey::kEnd: SetScrollPos(ContentHeight()); return true;
    default: return false;
  }
}

bool TKVLInnerMemo::CanFocus() const { return TKVLControl::CanFocus(); }

void TKVLInnerMemo::Resized() {
  TKVLControl::Resized();
  InvalidateLayout();
}

// ---- TKVLScrollBar ----

TKVLScrollBar::TKVLScrollBar(TKVLControl* owner) : TKVLControl(owner) {}

void TKVLScrollBar::SetParams(int max, int page, int position) {
  max = std::max(0, max);
  page = std::max(0, page);
  position = std::clamp(position, 0, std::max(0, max - page));
  if (max == max_ && page == page_ && position == position_) return;
  max_ = max;
  page_ = page;
  position_ = position;
  Invalidate();
}

TKVLRect TKVLScrollBar::ThumbRect() const {
  const TKVLRect r = ClientRect();
  if (page_ >= max_ || max_ <= 0 || r.Height() <= 0) return {};
  const int track = r.Height();
  const int minThumb = std::min(track, ScaleValue(kMinThumb96, Dpi()));
  const int length = std::max(minThumb, static_cast<int>(static_cast<long long>(track) * page_ / max_));
  const int range = max_ - page_;
  const int top = static_cast<int>(static_cast<long long>(track - length) * position_ / range);
  const int inset = std::max(1, ScaleValue(3, Dpi()));
  return {r.Left + inset, top, r.Right - inset, top + length};
}

void TKVLScrollBar::Paint(IKVLCanvas& canvas) {
  const TKVLStyleColors& colors = StyleColors();
  canvas.FillRect(ClientRect(), colors.ScrollTrack);
  const TKVLRect thumb = ThumbRect();
  if (thumb.IsEmpty()) return;
  const bool hot = dragOffset_ >= 0 || (MouseInside() && lastMouse_ && thumb.Contains(*lastMouse_));
  canvas.FillRect(thumb, hot ? colors.ScrollThumbHot : colors.ScrollThumb);
}

void TKVLScrollBar::ScrollTo(int position) {
  position = std::clamp(position, 0, std::max(0, max_ - page_));
  if (position == position_) return;
  position_ = position;
  Invalidate();
  if (OnScroll) OnScroll(position_);
}

void TKVLScrollBar::MouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState) {
  if (button != TKVLMouseButton::mbLeft) return;
  const TKVLRect thumb = ThumbRect();
  if (thumb.IsEmpty()) return;
  if (pt.Y >= thumb.Top && pt.Y < thumb.Bottom) {
    dragOffset_ = pt.Y - thumb.Top;
    Invalidate();
  } else {
    // A click on the track moves by a page towards the click.
    ScrollTo(position_ + (pt.Y < thumb.Top ? -page_ : page_));
  }
}

void TKVLScrollBar::MouseMove(TKVLPoint pt, TKVLShiftState) {
  const bool wasOnThumb = lastMouse_ && ThumbRect().Contains(*lastMouse_);
  lastMouse_ = pt;
  if (dragOffset_ < 0) {
    if (wasOnThumb != ThumbRect().Contains(pt)) Invalidate();
    return;
  }
  const TKVLRect thumb = ThumbRect();
  const int free = Height() - thumb.Height();
  if (free <= 0) return;
  const int top = std::clamp(pt.Y - dragOffset_, 0, free);
  ScrollTo(static_cast<int>(std::lround(static_cast<double>(top) * (max_ - page_) / free)));
}

void TKVLScrollBar::MouseUp(TKVLMouseButton button, TKVLPoint, TKVLShiftState) {
  if (button != TKVLMouseButton::mbLeft || dragOffset_ < 0) return;
  dragOffset_ = -1;
  Invalidate();
}

// ---- TKVLMemo ----

TKVLMemo::TKVLMemo(TKVLControl* owner) : TKVLControl(owner) {
  SetTabStop(true);
  // The frame's one-pixel border stays one pixel at every scale.
  SetAlignPadding({1, 1, 1, 1});
  scrollBar_ = CreateOwned<TKVLScrollBar>();
  scrollBar_->SetMargins({0, 0, 0, 0});
  scrollBar_->SetBounds(0, 0, ScaleValue(kScrollBarWidth96, Dpi()), 0);
  scrollBar_->SetAlign(TKVLAlign::alRight);
  scrollBar_->SetVisible(false);
  scrollBar_->SetParent(this);
  scrollBar_->OnScroll = [this](int position) { inner_->SetScrollPos(position); };
  RecreateInner();
}

std::unique_ptr<TKVLInnerMemo> TKVLMemo::CreateInner() { return std::make_unique<TKVLInnerMemo>(this); }

void TKVLMemo::RecreateInner() {
  if (inner_ != nullptr) {
    TKVLInnerMemo* old = inner_;
    inner_ = nullptr;
    DestroyComponent(old);
  }
  std::unique_ptr<TKVLInnerMemo> inner = CreateInner();
  TKVLInnerMemo* raw = inner.get();
  AdoptComponent(std::move(inner));
  raw->SetMargins({0, 0, 0, 0});
  raw->SetAlign(TKVLAlign::alClient);
  inner_ = raw;
  raw->SetParent(this);
  UpdateScrollBars();
}

void TKVLMemo::SetText(const std::string& text) {
  inner_->SetText(text);
  UpdateScrollBars();
}

std::string TKVLMemo::Text() const {
  std::string text;
  const auto& paragraphs = inner_->Document().Paragraphs;
  for (size_t i = 0; i < paragraphs.size(); ++i) {
    if (i > 0) text += "\r\n";
    for (const TKVLTextRun& run : paragraphs[i].Runs) text += run.Text;
  }
  return text;
}

void TKVLMemo::SetScrollBars(TKVLScrollBars bars) {
  scrollBars_ = bars;
  // A vertical bar is always shown, disabled-looking while everything fits.
  scrollBar_->SetVisible(bars == TKVLScrollBars::ssVertical);
  UpdateScrollBars();
}

void TKVLMemo::UpdateScrollBars() {
  if (inner_ == nullptr || scrollBar_ == nullptr) return;
  scrollBar_->SetParams(inner_->ContentHeight(), inner_->PageHeight(), inner_->ScrollPos());
}

void TKVLMemo::LayoutFrame() { Realign(); }

void TKVLMemo::Resized() {
  TKVLControl::Resized();
  LayoutFrame();
  UpdateScrollBars();
}

void TKVLMemo::Paint(IKVLCanvas& canvas) {
  const TKVLStyleColors& colors = StyleColors();
  const TKVLRect client = ClientRect();
  canvas.FillRect(client, colors.EditBackground);
  const bool hot = inner_ != nullptr && (inner_->Focused() || Focused() || MouseInside() || inner_->MouseInside());
  canvas.FrameRect(client, hot && IsEnabledInTree() ? colors.EditBorderHot : colors.EditBorder);
}

bool TKVLMemo::MouseWheel(int delta, TKVLPoint pt) { return inner_->MouseWheel(delta, pt); }

bool TKVLMemo::KeyDown(TKVLKey key, TKVLShiftState shift) { return inner_->KeyDown(key, shift); }

} // namespace KVL::UI
