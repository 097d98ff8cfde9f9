// Unit Setup.UI.Controls: the read-only rich-text viewer of the license and summary pages.
#pragma once

#include <memory>
#include <string>

#include "KVL/Base/Streams.h"
#include "KVL/UI/Memo.h"
#include "KVL/UI/NativeChild.h"

namespace Setup::UI::Controls {

using namespace KVL::UI;

// The viewer's text window: the memo's inner window that keeps the document's own fonts,
// detects addresses, opens links and zooms. On Windows, once its form has a real window, the
// system's rich-edit window shows the document over the memo's frame and this one stays the
// document model behind it (what Text and Document answer); elsewhere it draws the text.
class TKVLRichInnerViewer : public TKVLInnerMemo {
public:
  explicit TKVLRichInnerViewer(TKVLControl* owner = nullptr);
  ~TKVLRichInnerViewer() override;
  std::string ClassName() const override { return "TKVLRichInnerViewer"; }

  // Zoom in percent; follows the control's scale.
  int Scale = 100;

  // Shows RTF bytes (replacing what was shown), then ResetFormat.
  void LoadRTF(const std::string& data);
  // Shows plain text, then ResetFormat.
  void LoadPlainText(const std::string& text);
  // Default text colour and background from the style, then ApplyZoom(Scale).
  void ResetFormat();
  // Sets the zoom to percent when its numerator over 64 lies from 2 to 4095; otherwise
  // zoom and Scale stay as they are.
  void ApplyZoom(int percent);
  // The zoom as numerator over 64.
  int ZoomNumerator() const { return zoomNumerator_; }

  void ChangeScale(int m, int d) override;
  void ColorSchemeChanged() override;
  void FocusChanged(bool focused) override;
  // With the system window shown, keys and the wheel scroll it.
  bool KeyDown(TKVLKey key, TKVLShiftState shift) override;
  bool MouseWheel(int delta, TKVLPoint pt) override;

  // The system window that shows the document, if any (its keyboard follows the form's focus
  // in the viewer's frame too).
  TKVLNativeChild* NativeViewer() const { return native_.get(); }

protected:
  void PlacementChanged() override;

private:
  // The platform's half: makes native_ where the system has a rich-edit window, and feeds
  // it what the document model is fed (no-ops without one).
  void CreateNativeViewer();
  void NativeShowContent();
  void NativeApplyFormat();
  void NativeApplyZoom();

  int zoomNumerator_ = 64;
  // What was shown last, kept for a system window made later (the form's window comes with
  // its first Show): RTF bytes or plain text.
  std::string content_;
  bool contentIsRtf_ = false;
  std::unique_ptr<TKVLNativeChild> native_;
};

class TKVLRichViewer : public TKVLMemo {
public:
  explicit TKVLRichViewer(TKVLControl* owner = nullptr);
  std::string ClassName() const override { return "TKVLRichViewer"; }

  // Shows the stream's bytes from its position to its end as rich text; nothing for null.
  void LoadFromStream(KVL::Streams::TKVLStream* stream);
  // Shows plain text.
  void SetText(const std::string& text);

  TKVLRichInnerViewer& Viewer();

  void FocusChanged(bool focused) override;

protected:
  std::unique_ptr<TKVLInnerMemo> CreateInner() override;
};

} // namespace Setup::UI::Controls
