// A window host without a display: renders the form into a bitmap and takes synthetic input.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "KVL/UI/Bitmap.h"
#include "KVL/UI/WindowHost.h"

namespace KVL::UI {

class TKVLForm;

class TKVLHeadlessHost : public IKVLWindowHost {
public:
  explicit TKVLHeadlessHost(TKVLForm& form, int dpi = 96);

  void SetCaption(const std::string& caption) override { caption_ = caption; }
  void SetClientSize(int width, int height) override;
  void CenterOnScreen() override {}
  void Show() override { shown_ = true; }
  void Hide() override { shown_ = false; }
  void Invalidate() override { ++invalidations_; }
  void Update() override {}
  void SetCloseEnabled(bool enabled) override { closeEnabled_ = enabled; }
  void SetTopMost(bool topMost) override { topMost_ = topMost; }
  int Dpi() const override { return dpi_; }
  intptr_t NativeHandle() const override { return 0; }
  TKVLPoint ClientToScreen(TKVLPoint pt) const override { return {pt.X + origin_.X, pt.Y + origin_.Y}; }
  TKVLRect WorkArea() const override { return workArea_; }

  // Where the client area sits on a pretend screen (origin (0, 0) by default), and that
  // screen's work area (empty by default: unknown).
  void SetScreenOrigin(TKVLPoint origin) { origin_ = origin; }
  void SetWorkArea(const TKVLRect& area) { workArea_ = area; }

  // What a test looks at.
  const std::string& Caption() const { return caption_; }
  bool Shown() const { return shown_; }
  bool CloseEnabled() const { return closeEnabled_; }
  bool TopMost() const { return topMost_; }
  int Invalidations() const { return invalidations_; }
  // Paints the form now, as a window would.
  TKVLBitmap Render();

  // Synthetic input in client pixels.
  void Click(int x, int y);
  // A click in the middle of a control.
  void ClickControl(const class TKVLControl& control);
  void Key(TKVLKey key, TKVLShiftState shift = {});
  void Type(const std::string& utf8);
  // The title bar's close box.
  void RequestClose();
  // Another window (or program) took the activation.
  void Deactivate();
  // Moves the window to a monitor with another value.
  void ChangeDpi(int dpi);

private:
  TKVLForm& form_;
  int dpi_;
  std::string caption_;
  int width_ = 0;
  int height_ = 0;
  bool shown_ = false;
  bool closeEnabled_ = true;
  bool topMost_ = false;
  int invalidations_ = 0;
  TKVLPoint origin_;
  TKVLRect workArea_;
};

// The factory for TKVLApplication::SetHostFactory; hosts get the application's ScreenDpi.
std::unique_ptr<IKVLWindowHost> CreateHeadlessHost(TKVLForm& form);
// The headless host of a form (nullptr when it has another host or none yet).
TKVLHeadlessHost* HeadlessHostOf(TKVLForm& form);

// A headless modal loop cannot wait for a user: ShowModal calls this handler with the form
// instead (it may click, type, close); when the form is still open afterwards it ends with
// mrCancel. Without a handler the form ends with mrCancel at once.
using THeadlessModalHandler = std::function<void(TKVLForm& form)>;
void SetHeadlessModalHandler(THeadlessModalHandler handler);
const THeadlessModalHandler& HeadlessModalHandler();

} // namespace KVL::UI
