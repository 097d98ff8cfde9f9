// Top-level windows: fixed size, default button, close query, modal loop, Close command.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "KVL/Base/Platform/MessageBox.h"
#include "KVL/UI/Control.h"
#include "KVL/UI/WindowHost.h"

namespace KVL::UI {

using KVL::Platform::TModalResult;

// bsNone: a popup without frame (drop-down lists), shown above its owner.
enum class TKVLBorderStyle { bsSingle, bsDialog, bsNone };
enum class TKVLPosition { poDefault, poScreenCenter };

class TKVLForm : public TKVLControl {
public:
  explicit TKVLForm(TKVLControl* owner = nullptr);
  ~TKVLForm() override;
  std::string ClassName() const override { return "TKVLForm"; }
  bool HasCaption() const override { return true; }
  void SetCaption(const std::string& caption) override;

  // Client size given at 96 dots per inch; the form scales it to its current value.
  void SetClientSize96(int width, int height);
  int ClientWidth() const { return Width(); }
  int ClientHeight() const { return Height(); }
  TKVLBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TKVLBorderStyle style) { borderStyle_ = style; }
  TKVLPosition Position() const { return position_; }
  void SetPosition(TKVLPosition position) { position_ = position; }
  void SetTopMost(bool topMost);
  void SetDoubleBuffered(bool) {}  // every host paints through a bitmap

  // The host is made on first Show (or HandleNeeded) by the application's factory.
  IKVLWindowHost* Host() const { return host_.get(); }
  void HandleNeeded();

  void SetVisible(bool visible) override;
  // Shows the form and serves the main thread until ModalResult is set or the form closes;
  // returns ModalResult (mrCancel when closed without one).
  int ShowModal();
  int ModalResult() const { return modalResult_; }
  void SetModalResult(int result);
  bool IsModal() const { return modal_; }

  // Close: asks CloseQuery; when allowed, a modal form ends with mrCancel (unless a result
  // is set), a main form ends the application's loop, others hide.
  void Close();
  std::function<void(TKVLForm& sender, bool& canClose)> OnCloseQuery;
  virtual bool CloseQuery();
  // The system's Close command (title bar, Alt+F4, window manager): ignored while disabled.
  void SetCloseEnabled(bool enabled);
  bool CloseEnabled() const { return closeEnabled_; }

  // Enter presses the default button unless the focused control wants Enter; Escape does
  // nothing unless a cancel button is set.
  TKVLControl* DefaultButton() const { return defaultButton_; }
  void SetDefaultButton(TKVLControl* button) { defaultButton_ = button; }
  TKVLControl* CancelButton() const { return cancelButton_; }
  void SetCancelButton(TKVLControl* button) { cancelButton_ = button; }

  TKVLControl* ActiveControl() const { return activeControl_; }
  void SetActiveControl(TKVLControl* control);
  // Moves the focus to the next (or previous) focusable control in tab order.
  void SelectNext(bool forward);

  // Current dots per inch; SetDpi rescales the form and its controls (ChangeScale) and then
  // calls DpiChanged.
  int CurrentDpi() const { return dpi_; }
  void SetDpi(int dpi);
  virtual void DpiChanged() {}
  // The toolkit's light/dark mode changed (every form hears it): recolour.
  void ColorSchemeChanged() override;

  // Draws the whole form (its Paint, then its controls) into canvas.
  void PaintTo(IKVLCanvas& canvas);

  // Called by hosts, in client pixels.
  void HandleMouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift);
  void HandleMouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift);
  void HandleMouseMove(TKVLPoint pt, TKVLShiftState shift);
  void HandleMouseLeave();
  void HandleMouseWheel(int delta, TKVLPoint pt);
  void HandleKeyDown(TKVLKey key, TKVLShiftState shift);
  void HandleKeyChar(const std::string& utf8);
  // The system asked the window to close.
  void HandleCloseRequest();
  // The window, or the whole application, lost activation: open popups close.
  void HandleDeactivate();

  // Frameless popups (bsNone) close without a choice when the user turns elsewhere: a press
  // outside them (on their owner form, which does not pass that press on, or anywhere else)
  // or their owner losing activation. Dismiss hides a shown popup and then runs OnDismiss.
  void Dismiss();
  std::function<void(TKVLForm& sender)> OnDismiss;
  // The shown popup whose owner is a control of this form, if any.
  TKVLForm* OpenPopup() const;
  void HandleDpiChange(int dpi);

  void Paint(IKVLCanvas& canvas) override;

private:
  void ControlRemoved(TKVLControl* control);
  friend class TKVLControl;

  std::unique_ptr<IKVLWindowHost> host_;
  TKVLBorderStyle borderStyle_ = TKVLBorderStyle::bsSingle;
  TKVLPosition position_ = TKVLPosition::poScreenCenter;
  bool topMost_ = false;
  int modalResult_ = KVL::Platform::mrNone;
  bool modal_ = false;
  bool closeEnabled_ = true;
  TKVLControl* defaultButton_ = nullptr;
  TKVLControl* cancelButton_ = nullptr;
  TKVLControl* activeControl_ = nullptr;
  TKVLControl* mouseControl_ = nullptr;   // under the pointer
  TKVLControl* captureControl_ = nullptr; // took the press
  bool swallowMouseUp_ = false;           // the press closed a popup
  int dpi_ = 96;
  int clientWidth96_ = 0;
  int clientHeight96_ = 0;
};

} // namespace KVL::UI
