// Unit Setup.UI.Controls: the read-only rich-text viewer of the license and summary pages.
#pragma once

#include <memory>
#include <string>

#include "KVL/Base/Streams.h"
#include "KVL/UI/Memo.h"

namespace Setup::UI::Controls {

using namespace KVL::UI;

// The viewer's text window: the memo's inner window that keeps the document's own fonts,
// detects addresses, opens links and zooms. Kept small so that a platform rich-edit window
// can take its place.
class TKVLRichInnerViewer : public TKVLInnerMemo {
public:
  explicit TKVLRichInnerViewer(TKVLControl* owner = nullptr);
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

private:
  int zoomNumerator_ = 64;
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

protected:
  std::unique_ptr<TKVLInnerMemo> CreateInner() override;
};

} // namespace Setup::UI::Controls
