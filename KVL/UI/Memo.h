// A read-only multi-line text box: a frame, the toolkit's own vertical scroll bar, an inner text window.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "KVL/UI/Control.h"
#include "KVL/UI/RichText.h"
#include "KVL/UI/TextLayout.h"

namespace KVL::UI {

enum class TKVLScrollBars { ssNone, ssVertical };

// The text window inside the memo's frame: holds the document, lays it out for its width
// and scrolls it. Derived inner windows (the rich viewer's) keep the same frame and bar.
class TKVLInnerMemo : public TKVLControl {
public:
  explicit TKVLInnerMemo(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLInnerMemo"; }

  const TKVLRichDocument& Document() const { return document_; }
  // Replaces the content (never appends) and scrolls to the top.
  void SetDocument(TKVLRichDocument document);
  // Plain text: lines separated by CR LF, LF or CR.
  void SetText(const std::string& text);
  std::string Text() const { return document_.PlainText(); }

  // Default colours and zoom of the layout (the rich viewer sets them).
  std::optional<TKVLColor> Background() const { return background_; }
  void SetBackground(std::optional<TKVLColor> color);
  double Zoom() const { return zoom_; }
  void SetZoom(double zoom);
  bool DetectUrls() const { return detectUrls_; }
  void SetDetectUrls(bool detect);

  // Scrolling in pixels (0 = top; at most ContentHeight − visible height).
  int ScrollPos() const { return scrollPos_; }
  void SetScrollPos(int pos);
  int ContentHeight();
  int PageHeight() const { return Height(); }

  // Links: the link under pt (inner coordinates), and what a click on one does (by default
  // KVL::UI::OpenLink).
  std::string LinkAt(TKVLPoint pt);
  std::function<void(const std::string& link)> OnLinkClick;

  void Paint(IKVLCanvas& canvas) override;
  void MouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) override;
  void MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) override;
  bool MouseWheel(int delta, TKVLPoint pt) override;
  bool KeyDown(TKVLKey key, TKVLShiftState shift) override;
  bool CanFocus() const override;

protected:
  void Resized() override;
  // The layout for the current width (rebuilt when the document, width or zoom changed).
  const TKVLTextLayout& Layout();
  void InvalidateLayout();

private:
  // Inner coordinates to the layout's (text padding and scrolling taken off).
  TKVLPoint ToLayout(TKVLPoint pt) const;
  // One line of the default font at the zoom: the step of arrow keys and the wheel.
  int LineStep();

  TKVLRichDocument document_;
  std::optional<TKVLColor> background_;
  double zoom_ = 1.0;
  bool detectUrls_ = false;
  int scrollPos_ = 0;
  std::unique_ptr<TKVLTextLayout> layout_;
  TKVLFont layoutFont_;
  std::pair<TKVLColor, TKVLColor> layoutColors_;
  int layoutDpi_ = 0;
};

// The vertical scroll bar of the memo's frame, drawn from the style's scroll colours.
class TKVLScrollBar : public TKVLControl {
public:
  explicit TKVLScrollBar(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLScrollBar"; }
  // Range 0..max with a page; position clamped to 0..max − page.
  void SetParams(int max, int page, int position);
  int Position() const { return position_; }
  std::function<void(int position)> OnScroll;
  void Paint(IKVLCanvas& canvas) override;
  void MouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) override;
  void MouseMove(TKVLPoint pt, TKVLShiftState shift) override;
  void MouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) override;

private:
  TKVLRect ThumbRect() const;
  // Moves by the user's hand: clamps and tells OnScroll.
  void ScrollTo(int position);

  int max_ = 0;
  int page_ = 0;
  int position_ = 0;
  int dragOffset_ = -1;
  std::optional<TKVLPoint> lastMouse_;
};

class TKVLMemo : public TKVLControl {
public:
  explicit TKVLMemo(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLMemo"; }

  // Lines of plain text (CR LF between them).
  void SetText(const std::string& text);
  std::string Text() const;
  bool ReadOnly() const { return true; }
  void SetReadOnly(bool) {}  // the wizard's memos never take input

  TKVLScrollBars ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TKVLScrollBars bars);

  TKVLInnerMemo& Inner() { return *inner_; }
  TKVLScrollBar& ScrollBar() { return *scrollBar_; }
  // The frame follows the inner window: call after it scrolled or its content changed.
  void UpdateScrollBars();

  void Paint(IKVLCanvas& canvas) override;
  bool MouseWheel(int delta, TKVLPoint pt) override;
  // Keys reach the frame when it has the focus itself; the inner window scrolls.
  bool KeyDown(TKVLKey key, TKVLShiftState shift) override;

protected:
  // Derived memos make their own inner window; the constructor of a derived class calls
  // RecreateInner.
  virtual std::unique_ptr<TKVLInnerMemo> CreateInner();
  void RecreateInner();
  void Resized() override;

private:
  void LayoutFrame();
  TKVLInnerMemo* inner_ = nullptr;     // owned (component)
  TKVLScrollBar* scrollBar_ = nullptr; // owned (component)
  TKVLScrollBars scrollBars_ = TKVLScrollBars::ssNone;
};

// Opens an address or folder as links do: a text containing "//" or naming an existing
// folder unchanged, anything else with "http://" put in front; the shell's "open" verb.
void OpenLink(const std::string& link);
// The rule above without opening, for tests.
std::string LinkTarget(const std::string& link);

} // namespace KVL::UI
