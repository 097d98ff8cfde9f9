// Top-level windows: host creation, modal loops, closing, scaling, focus and input routing.
#include "KVL/UI/Form.h"

#include <algorithm>
#include <stdexcept>

#include "KVL/Base/Platform/Event.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/UI/Application.h"
#include "KVL/UI/HeadlessHost.h"
#include "KVL/UI/Theme.h"

namespace KVL::UI {

namespace {

// One event wakes every modal loop; each loop checks its own form and waits again. An
// ending inner loop sets it once more so that the loop below re-checks its form.
KVL::Platform::TPlatformEvent& ModalWake() {
  static KVL::Platform::TPlatformEvent event;
  return event;
}

bool IsInside(const TKVLControl* control, const TKVLControl* root) {
  for (const TKVLControl* c = control; c != nullptr; c = c->Parent()) {
    if (c == root) return true;
  }
  return false;
}

TKVLPoint ToLocal(const TKVLControl& control, TKVLPoint pt) {
  if (dynamic_cast<const TKVLForm*>(&control) != nullptr) return pt;
  TKVLRect r = control.ScreenRectInForm();
  return {pt.X - r.Left, pt.Y - r.Top};
}

// Focusable controls below root in tab order: siblings by TabOrder, ties in creation order.
void CollectTabStops(TKVLControl& root, std::vector<TKVLControl*>& out) {
  std::vector<TKVLControl*> children;
  for (int i = 0; i < root.ControlCount(); ++i) children.push_back(root.Controls(i));
  std::stable_sort(children.begin(), children.end(),
                   [](TKVLControl* a, TKVLControl* b) { return a->TabOrder() < b->TabOrder(); });
  for (TKVLControl* child : children) {
    if (!child->Visible() || !child->Enabled()) continue;
    if (child->TabStop() && child->CanFocus()) out.push_back(child);
    CollectTabStops(*child, out);
  }
}

} // namespace

TKVLForm::TKVLForm(TKVLControl* owner) : TKVLControl(owner) {
  visible_ = false;
  dpi_ = TKVLApplication::ScreenDpi();
  TKVLApplication::RegisterForm(this);
}

TKVLForm::~TKVLForm() {
  TKVLApplication::UnregisterForm(this);
  if (modal_) ModalWake().Set();
  host_.reset();
  // Free owned controls while this is still a form, so their removal finds it.
  auto owned = std::move(components_);
  while (!owned.empty()) owned.pop_back();
  activeControl_ = mouseControl_ = captureControl_ = defaultButton_ = cancelButton_ = nullptr;
}

void TKVLForm::SetCaption(const std::string& caption) {
  TKVLControl::SetCaption(caption);
  if (host_) host_->SetCaption(caption);
}

void TKVLForm::SetClientSize96(int width, int height) {
  clientWidth96_ = width;
  clientHeight96_ = height;
  SetBounds(0, 0, ScaleValue(width, dpi_), ScaleValue(height, dpi_));
  if (host_) host_->SetClientSize(Width(), Height());
}

void TKVLForm::SetTopMost(bool topMost) {
  topMost_ = topMost;
  if (host_) host_->SetTopMost(topMost);
}

void TKVLForm::HandleNeeded() {
  if (host_) return;
  host_ = TKVLApplication::CreateHost(*this);
  // A native factory answers nothing when no display opens; the form still works headless.
  if (!host_) host_ = CreateHeadlessHost(*this);
  if (host_->Dpi() != dpi_) SetDpi(host_->Dpi());
  host_->SetCaption(Caption());
  host_->SetClientSize(Width(), Height());
  host_->SetCloseEnabled(closeEnabled_);
  host_->SetTopMost(topMost_);
  if (position_ == TKVLPosition::poScreenCenter) host_->CenterOnScreen();
  // System windows placed over controls can be made now.
  NotifyPlacement();
}

void TKVLForm::SetVisible(bool visible) {
  if (visible) {
    HandleNeeded();
    TKVLControl::SetVisible(true);
    // Keyboard users start on the first control in tab order, as in any dialog.
    if (activeControl_ == nullptr) SelectNext(true);
    host_->Show();
    host_->Invalidate();
  } else {
    TKVLControl::SetVisible(false);
    if (host_) host_->Hide();
    if (modal_) ModalWake().Set();
  }
}

int TKVLForm::ShowModal() {
  if (modal_) throw std::logic_error("Cannot make a visible window modal");
  modalResult_ = KVL::Platform::mrNone;
  modal_ = true;
  struct TModalEnd {
    TKVLForm& form;
    ~TModalEnd() {
      form.modal_ = false;
      form.SetVisible(false);
      // The loop below this one may have been woken meanwhile and must look again.
      ModalWake().Set();
    }
  } end{*this};

  SetVisible(true);
  if (HeadlessHostOf(*this) != nullptr) {
    THeadlessModalHandler handler = HeadlessModalHandler();
    if (handler) handler(*this);
  } else {
    auto& wake = ModalWake();
    for (;;) {
      wake.Reset();
      if (modalResult_ != KVL::Platform::mrNone || !Visible()) break;
      KVL::Platform::WaitFor(wake.Handle());
    }
  }
  if (modalResult_ == KVL::Platform::mrNone) modalResult_ = KVL::Platform::mrCancel;
  return modalResult_;
}

void TKVLForm::SetModalResult(int result) {
  modalResult_ = result;
  if (modal_ && result != KVL::Platform::mrNone) ModalWake().Set();
}

void TKVLForm::Close() {
  if (!CloseQuery()) return;
  if (modal_) {
    if (modalResult_ == KVL::Platform::mrNone) modalResult_ = KVL::Platform::mrCancel;
    ModalWake().Set();
  } else if (TKVLApplication::MainForm() == this) {
    SetVisible(false);
    TKVLApplication::Terminate();
  } else {
    SetVisible(false);
  }
}

bool TKVLForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(*this, canClose);
  return canClose;
}

void TKVLForm::SetCloseEnabled(bool enabled) {
  closeEnabled_ = enabled;
  if (host_) host_->SetCloseEnabled(enabled);
}

void TKVLForm::SetActiveControl(TKVLControl* control) {
  if (control == activeControl_) return;
  if (control != nullptr && (control == this || !IsInside(control, this) || !control->CanFocus())) return;
  TKVLControl* old = activeControl_;
  activeControl_ = control;
  if (old != nullptr) old->FocusChanged(false);
  if (control != nullptr && activeControl_ == control) control->FocusChanged(true);
  Invalidate();
}

void TKVLForm::SelectNext(bool forward) {
  std::vector<TKVLControl*> stops;
  CollectTabStops(*this, stops);
  if (stops.empty()) return;
  auto it = std::find(stops.begin(), stops.end(), activeControl_);
  const int n = static_cast<int>(stops.size());
  int index;
  if (it == stops.end()) {
    index = forward ? 0 : n - 1;
  } else {
    index = static_cast<int>(it - stops.begin());
    index = forward ? (index + 1) % n : (index + n - 1) % n;
  }
  SetActiveControl(stops[index]);
}

void TKVLForm::SetDpi(int dpi) {
  if (dpi <= 0 || dpi == dpi_) return;
  const int old = dpi_;
  dpi_ = dpi;
  if (clientWidth96_ > 0 || clientHeight96_ > 0) {
    SetBounds(0, 0, ScaleValue(clientWidth96_, dpi), ScaleValue(clientHeight96_, dpi));
  } else {
    SetBounds(0, 0, Width() * dpi / old, Height() * dpi / old);
  }
  ChangeScale(dpi, old);
  if (host_) host_->SetClientSize(Width(), Height());
  DpiChanged();
  Invalidate();
}

void TKVLForm::ColorSchemeChanged() { TKVLControl::ColorSchemeChanged(); }

void TKVLForm::PaintTo(IKVLCanvas& canvas) { PaintTree(canvas); }

void TKVLForm::Paint(IKVLCanvas& canvas) { canvas.FillRect(ClientRect(), StyleColors().Window); }

void TKVLForm::ControlRemoved(TKVLControl* control) {
  auto gone = [control](TKVLControl* p) { return p != nullptr && IsInside(p, control); };
  if (gone(activeControl_)) activeControl_ = nullptr;
  if (gone(mouseControl_)) mouseControl_ = nullptr;
  if (gone(captureControl_)) captureControl_ = nullptr;
  if (gone(defaultButton_)) defaultButton_ = nullptr;
  if (gone(cancelButton_)) cancelButton_ = nullptr;
}

void TKVLForm::HandleMouseDown(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) {
  swallowMouseUp_ = false;
  // A popup holding the pointer hears presses anywhere on the screen: one outside closes it.
  if (borderStyle_ == TKVLBorderStyle::bsNone && !ClientRect().Contains(pt)) {
    Dismiss();
    return;
  }
  // A press on the owner only closes its popup, as a press anywhere else would; passed on it
  // would reopen a drop-down from its own button.
  if (TKVLForm* popup = OpenPopup()) {
    popup->Dismiss();
    swallowMouseUp_ = true;
    return;
  }
  TKVLControl* target = captureControl_ != nullptr ? captureControl_ : ControlAt(pt);
  if (target == nullptr) return;
  if (captureControl_ == nullptr) {
    captureControl_ = target;
    if (button == TKVLMouseButton::mbLeft) target->pressed_ = true;
  }
  if (target->TabStop() && target->CanFocus()) SetActiveControl(target);
  target->MouseDown(button, ToLocal(*target, pt), shift);
  Invalidate();
}

void TKVLForm::HandleMouseUp(TKVLMouseButton button, TKVLPoint pt, TKVLShiftState shift) {
  if (swallowMouseUp_) {
    swallowMouseUp_ = false;
    return;
  }
  TKVLControl* target = captureControl_ != nullptr ? captureControl_ : ControlAt(pt);
  if (target == nullptr) return;
  target->MouseUp(button, ToLocal(*target, pt), shift);
  // The handler may have freed the control (ControlRemoved cleared the capture then).
  if (captureControl_ == target) {
    target->pressed_ = false;
    captureControl_ = nullptr;
  }
  HandleMouseMove(pt, shift);
  Invalidate();
}

void TKVLForm::HandleMouseMove(TKVLPoint pt, TKVLShiftState shift) {
  TKVLControl* under = ControlAt(pt);
  // While a control holds the press only it can be hot.
  if (captureControl_ != nullptr && under != captureControl_) under = nullptr;
  if (under != mouseControl_) {
    TKVLControl* old = mouseControl_;
    mouseControl_ = under;
    if (old != nullptr) {
      old->hot_ = false;
      old->MouseLeave();
    }
    if (under != nullptr && mouseControl_ == under) {
      under->hot_ = true;
      under->MouseEnter();
    }
  }
  TKVLControl* target = captureControl_ != nullptr ? captureControl_ : mouseControl_;
  if (target != nullptr) target->MouseMove(ToLocal(*target, pt), shift);
}

void TKVLForm::HandleMouseLeave() {
  if (mouseControl_ == nullptr) return;
  TKVLControl* old = mouseControl_;
  mouseControl_ = nullptr;
  old->hot_ = false;
  old->MouseLeave();
}

void TKVLForm::HandleMouseWheel(int delta, TKVLPoint pt) {
  for (TKVLControl* c = ControlAt(pt); c != nullptr; c = c->Parent()) {
    if (c->MouseWheel(delta, ToLocal(*c, pt))) return;
    if (c == this) return;
  }
}

void TKVLForm::HandleKeyDown(TKVLKey key, TKVLShiftState shift) {
  if (key == TKVLKey::kF4 && shift.Alt) {
    HandleCloseRequest();
    return;
  }
  TKVLControl* focused = activeControl_;
  const bool toControl = focused != nullptr && focused->WantsKey(key);
  if (!toControl) {
    switch (key) {
    case TKVLKey::kTab:
      SelectNext(!shift.Shift);
      return;
    case TKVLKey::kEnter:
      if (defaultButton_ != nullptr && defaultButton_->IsShowing() && defaultButton_->IsEnabledInTree()) {
        defaultButton_->Click();
      }
      return;
    case TKVLKey::kEscape:
      if (cancelButton_ != nullptr && cancelButton_->IsShowing() && cancelButton_->IsEnabledInTree()) {
        cancelButton_->Click();
      }
      return;
    default:
      break;
    }
  }
  if (focused != nullptr) focused->KeyDown(key, shift);
}

void TKVLForm::HandleKeyChar(const std::string& utf8) {
  if (activeControl_ != nullptr) activeControl_->KeyChar(utf8);
}

void TKVLForm::HandleCloseRequest() {
  if (!closeEnabled_) return;
  Close();
}

void TKVLForm::HandleDpiChange(int dpi) { SetDpi(dpi); }

void TKVLForm::HandleDeactivate() {
  if (borderStyle_ == TKVLBorderStyle::bsNone)
    Dismiss();
  else if (TKVLForm* popup = OpenPopup())
    popup->Dismiss();
}

void TKVLForm::Dismiss() {
  if (borderStyle_ != TKVLBorderStyle::bsNone || !Visible()) return;
  SetVisible(false);
  if (OnDismiss) OnDismiss(*this);
}

TKVLForm* TKVLForm::OpenPopup() const {
  for (TKVLForm* form : TKVLApplication::Forms()) {
    if (form == this || form->borderStyle_ != TKVLBorderStyle::bsNone || !form->Visible()) continue;
    TKVLControl* owner = form->Owner();
    if (owner != nullptr && owner->FindForm() == this) return form;
  }
  return nullptr;
}

} // namespace KVL::UI
