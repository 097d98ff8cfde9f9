// Unit Setup.UI.Controls: the license and summary viewer on the toolkit's memo, with zoom that follows the scale.
#include "setup/ui/RichViewer.h"

#include <cfenv>
#include <cmath>

#include "KVL/Base/TextDecoder.h"
#include "KVL/UI/RTF.h"
#include "KVL/UI/Theme.h"

namespace Setup::UI::Controls {

namespace {

// Whether bytes start like an RTF document (leading white space allowed).
bool LooksLikeRtf(std::string_view data) {
  size_t i = data.find_first_not_of(" \t\r\n");
  return i != std::string_view::npos && data.substr(i, 5) == "{\\rtf";
}

// The zoom numerator over 64 for a percentage: rounded to nearest, halves to even.
int ZoomNumeratorFor(int percent) {
  const double exact = percent <= 100 ? percent * 0.63 + 1 : percent * 0.64;
  const int oldMode = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(exact);
  std::fesetround(oldMode);
  if (!(rounded > -1e9 && rounded < 1e9)) return 0;
  return static_cast<int>(rounded);
}

} // namespace

// ---- TKVLRichInnerViewer ----

TKVLRichInnerViewer::TKVLRichInnerViewer(TKVLControl* owner) : TKVLInnerMemo(owner) {
  SetDetectUrls(true);
  // A font of its own: the documents keep their fonts whatever the frame's font becomes.
  SetFont(TKVLFont{});
  CreateNativeViewer();
}

TKVLRichInnerViewer::~TKVLRichInnerViewer() = default;

void TKVLRichInnerViewer::LoadRTF(const std::string& data) {
  if (LooksLikeRtf(data)) {
    SetDocument(ParseRTF(data));
    content_ = data;
    contentIsRtf_ = true;
  } else {
    content_ = KVL::Text::DecodeText(data).Text;  // a plain-text license shows as written
    contentIsRtf_ = false;
    SetText(content_);
  }
  NativeShowContent();
  ResetFormat();
}

void TKVLRichInnerViewer::LoadPlainText(const std::string& text) {
  SetText(text);
  content_ = text;
  contentIsRtf_ = false;
  NativeShowContent();
  ResetFormat();
}

void TKVLRichInnerViewer::ResetFormat() {
  SetFontColor(StyleColors().Text);
  SetBackground(StyleColors().EditBackground);
  NativeApplyFormat();
  ApplyZoom(Scale);
}

void TKVLRichInnerViewer::ApplyZoom(int percent) {
  const int numerator = ZoomNumeratorFor(percent);
  if (numerator < 2 || numerator > 4095) return;
  Scale = percent;
  zoomNumerator_ = numerator;
  SetZoom(numerator / 64.0);
  NativeApplyZoom();
}

void TKVLRichInnerViewer::ChangeScale(int m, int d) {
  TKVLInnerMemo::ChangeScale(m, d);
  if (m == d || d == 0) return;
  ApplyZoom(static_cast<int>(std::lround(static_cast<double>(Scale) * m / d)));
}

void TKVLRichInnerViewer::ColorSchemeChanged() {
  TKVLInnerMemo::ColorSchemeChanged();
  SetFontColor(StyleColors().Text);
  SetBackground(StyleColors().EditBackground);
  // Loaded again: the text that the last colour was given to has no colour of its own again.
  NativeShowContent();
  NativeApplyFormat();
}

void TKVLRichInnerViewer::FocusChanged(bool focused) {
  TKVLInnerMemo::FocusChanged(focused);
  if (native_) native_->FollowFocus();
}

bool TKVLRichInnerViewer::KeyDown(TKVLKey key, TKVLShiftState shift) {
  if (native_ && native_->SendKey(key)) return true;
  return TKVLInnerMemo::KeyDown(key, shift);
}

bool TKVLRichInnerViewer::MouseWheel(int delta, TKVLPoint pt) {
  if (native_ && native_->SendWheel(delta)) return true;
  return TKVLInnerMemo::MouseWheel(delta, pt);
}

void TKVLRichInnerViewer::PlacementChanged() {
  if (native_) native_->Sync();
}

// ---- TKVLRichViewer ----

TKVLRichViewer::TKVLRichViewer(TKVLControl* owner) : TKVLMemo(owner) {
  // One tab stop, the text window: Tab leaves the viewer in one step, also from the system's
  // rich-edit window.
  SetTabStop(false);
  RecreateInner();
}

std::unique_ptr<TKVLInnerMemo> TKVLRichViewer::CreateInner() { return std::make_unique<TKVLRichInnerViewer>(this); }

TKVLRichInnerViewer& TKVLRichViewer::Viewer() { return static_cast<TKVLRichInnerViewer&>(Inner()); }

void TKVLRichViewer::FocusChanged(bool focused) {
  TKVLMemo::FocusChanged(focused);
  if (TKVLNativeChild* native = Viewer().NativeViewer()) native->FollowFocus();
}

void TKVLRichViewer::LoadFromStream(KVL::Streams::TKVLStream* stream) {
  if (stream == nullptr) return;
  const int64_t left = stream->Size() - stream->Position();
  std::string data;
  if (left > 0) {
    data.resize(static_cast<size_t>(left));
    size_t done = 0;
    while (done < data.size()) {
      size_t n = stream->Read(data.data() + done, data.size() - done);
      if (n == 0) break;
      done += n;
    }
    data.resize(done);
  }
  Viewer().LoadRTF(data);
  UpdateScrollBars();
}

void TKVLRichViewer::SetText(const std::string& text) {
  Viewer().LoadPlainText(text);
  UpdateScrollBars();
}

} // namespace Setup::UI::Controls
