// The display-less window host: renders forms into bitmaps and feeds them synthetic input.
#include "KVL/UI/HeadlessHost.h"

#include <algorithm>

#include "KVL/UI/Application.h"
#include "KVL/UI/Canvas.h"
#include "KVL/UI/Form.h"

namespace KVL::UI {

namespace {

THeadlessModalHandler& ModalHandler() {
  static THeadlessModalHandler handler;
  return handler;
}

// Length of the UTF-8 sequence that starts with byte c (1 for stray continuation bytes).
size_t SequenceLength(unsigned char c) {
  if (c >= 0xF0) return 4;
  if (c >= 0xE0) return 3;
  if (c >= 0xC0) return 2;
  return 1;
}

} // namespace

TKVLHeadlessHost::TKVLHeadlessHost(TKVLForm& form, int dpi) : form_(form), dpi_(dpi) {}

void TKVLHeadlessHost::SetClientSize(int width, int height) {
  width_ = width;
  height_ = height;
}

TKVLBitmap TKVLHeadlessHost::Render() {
  TKVLBitmap bitmap(form_.ClientWidth(), form_.ClientHeight());
  if (bitmap.IsEmpty()) return bitmap;
  auto canvas = CreateBitmapCanvas(bitmap, form_.CurrentDpi());
  form_.PaintTo(*canvas);
  return bitmap;
}

void TKVLHeadlessHost::Click(int x, int y) {
  const TKVLPoint pt{x, y};
  form_.HandleMouseMove(pt, {});
  form_.HandleMouseDown(TKVLMouseButton::mbLeft, pt, {});
  form_.HandleMouseUp(TKVLMouseButton::mbLeft, pt, {});
}

void TKVLHeadlessHost::ClickControl(const TKVLControl& control) {
  const TKVLRect r = control.ScreenRectInForm();
  Click(r.Left + r.Width() / 2, r.Top + r.Height() / 2);
}

void TKVLHeadlessHost::Key(TKVLKey key, TKVLShiftState shift) { form_.HandleKeyDown(key, shift); }

void TKVLHeadlessHost::Type(const std::string& utf8) {
  for (size_t i = 0; i < utf8.size();) {
    size_t n = std::min(SequenceLength(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
    form_.HandleKeyChar(utf8.substr(i, n));
    i += n;
  }
}

void TKVLHeadlessHost::RequestClose() { form_.HandleCloseRequest(); }

void TKVLHeadlessHost::Deactivate() { form_.HandleDeactivate(); }

void TKVLHeadlessHost::ChangeDpi(int dpi) {
  dpi_ = dpi;
  form_.HandleDpiChange(dpi);
}

std::unique_ptr<IKVLWindowHost> CreateHeadlessHost(TKVLForm& form) {
  return std::make_unique<TKVLHeadlessHost>(form, TKVLApplication::ScreenDpi());
}

TKVLHeadlessHost* HeadlessHostOf(TKVLForm& form) { return dynamic_cast<TKVLHeadlessHost*>(form.Host()); }

void SetHeadlessModalHandler(THeadlessModalHandler handler) { ModalHandler() = std::move(handler); }

const THeadlessModalHandler& HeadlessModalHandler() { return ModalHandler(); }

} // namespace KVL::UI
