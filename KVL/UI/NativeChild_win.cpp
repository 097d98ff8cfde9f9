// Native child windows on Win32: a container window of ours over the control, the system window inside it.
#include "KVL/UI/NativeChild.h"

#include <windows.h>

#include <commctrl.h>

// windows.h's DrawText macro would rename the canvas's method.
#undef DrawText

#include <algorithm>
#include <cstdint>
#include <exception>

#include "KVL/UI/Application.h"
#include "KVL/UI/Control.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/WindowHost.h"

namespace KVL::UI {

namespace {

constexpr wchar_t kContainerClass[] = L"TKVLNativeChild";
constexpr UINT_PTR kSubclassId = 1;

// Exceptions must not unwind through the system's frames: raise them again from the
// application's dispatch.
template <class F>
void Guarded(F&& fn) {
  try {
    fn();
  } catch (...) {
    TKVLApplication::Post([error = std::current_exception()] { std::rethrow_exception(error); });
  }
}

// The keys that belong to the form rather than to the system window.
TKVLKey FormKey(WPARAM vk) {
  switch (vk) {
  case VK_TAB: return TKVLKey::kTab;
  case VK_RETURN: return TKVLKey::kEnter;
  case VK_ESCAPE: return TKVLKey::kEscape;
  default: return TKVLKey::kNone;
  }
}

// The keys a scrolling system window moves by.
UINT NavigationKey(TKVLKey key) {
  switch (key) {
  case TKVLKey::kUp: return VK_UP;
  case TKVLKey::kDown: return VK_DOWN;
  case TKVLKey::kLeft: return VK_LEFT;
  case TKVLKey::kRight: return VK_RIGHT;
  case TKVLKey::kPageUp: return VK_PRIOR;
  case TKVLKey::kPageDown: return VK_NEXT;
  case TKVLKey::kHome: return VK_HOME;
  case TKVLKey::kEnd: return VK_END;
  default: return 0;
  }
}

bool IsInside(const TKVLControl* control, const TKVLControl* root) {
  for (const TKVLControl* c = control; c != nullptr; c = c->Parent())
    if (c == root) return true;
  return false;
}

} // namespace

struct TKVLNativeChild::TImpl {
  TImpl(TKVLNativeChild& owner, TKVLControl& c, TCreate fn) : self(owner), control(c), create(std::move(fn)) {}

  TKVLNativeChild& self;
  TKVLControl& control;
  TCreate create;
  HWND host = nullptr;
  HWND container = nullptr;
  HWND window = nullptr;
  bool failed = false;  // not made in this host window: not tried again
  TKVLRect placed;
  bool shown = false;

  TKVLControl& Scope() const { return self.FocusScope ? *self.FocusScope : control; }

  bool HasKeyboard() const {
    HWND focus = GetFocus();
    return container && focus && (focus == container || IsChild(container, focus));
  }

  bool FormFocusInside() {
    TKVLForm* form = control.FindForm();
    return form && IsInside(form->ActiveControl(), &Scope());
  }

  void Destroy() {
    if (container) {
      if (HasKeyboard()) SetFocus(host);
      HWND doomed = container;
      container = window = nullptr;
      SetWindowLongPtrW(doomed, GWLP_USERDATA, 0);
      DestroyWindow(doomed);
    }
    container = window = nullptr;
    host = nullptr;
    failed = false;
  }

  void Make() {
    static const bool registered = [] {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = &TImpl::ContainerProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      wc.lpszClassName = kContainerClass;
      return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    if (!registered) {
      failed = true;
      return;
    }
    container = CreateWindowExW(0, kContainerClass, L"", WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, 1, 1,
                                host, nullptr, GetModuleHandleW(nullptr), this);
    if (!container) {
      failed = true;
      return;
    }
    window = reinterpret_cast<HWND>(create(reinterpret_cast<intptr_t>(container), 1, 1));
    if (!window) {
      HWND doomed = container;
      container = nullptr;
      SetWindowLongPtrW(doomed, GWLP_USERDATA, 0);
      DestroyWindow(doomed);
      failed = true;
      return;
    }
    SetWindowSubclass(window, &TImpl::WindowSubclass, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    placed = TKVLRect();
    shown = false;
    if (self.OnCreated) self.OnCreated();
  }

  void Sync() {
    TKVLForm* form = control.FindForm();
    HWND formWindow = form && form->Host() ? reinterpret_cast<HWND>(form->Host()->NativeHandle()) : nullptr;
    if (formWindow && !IsWindow(formWindow)) formWindow = nullptr;
    if (formWindow != host) {
      Destroy();
      host = formWindow;
    }
    if (!host || failed) return;
    if (!container) Make();
    if (!container) return;
    const TKVLRect area = self.Area ? self.Area() : control.ScreenRectInForm();
    const bool show = control.IsShowing() && area.Width() > 0 && area.Height() > 0;
    if (area == placed && show == shown) return;
    if (!show && HasKeyboard()) SetFocus(host);
    placed = area;
    shown = show;
    SetWindowPos(container, HWND_TOP, area.Left, area.Top, std::max(area.Width(), 1), std::max(area.Height(), 1),
                 SWP_NOACTIVATE | (show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    // Shown again on the page that has the focus: the keyboard comes back to it.
    if (show && GetFocus() == host && FormFocusInside()) SetFocus(window);
  }

  void FollowFocus() {
    if (!window) return;
    if (FormFocusInside()) {
      if (shown && !HasKeyboard() && GetActiveWindow() == host) SetFocus(window);
    } else if (HasKeyboard()) {
      SetFocus(host);
    }
  }

  static LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    auto* impl = reinterpret_cast<TImpl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!impl) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case WM_NOTIFY: {
      LRESULT result = 0;
      bool handled = false;
      if (impl->self.OnNotify)
        Guarded([&] {
          intptr_t answer = 0;
          handled = impl->self.OnNotify(reinterpret_cast<const void*>(lParam), answer);
          result = static_cast<LRESULT>(answer);
        });
      return handled ? result : DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    case WM_SIZE:
      if (impl->window) MoveWindow(impl->window, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the system window covers every pixel
    case WM_SETFOCUS:
      if (impl->window) SetFocus(impl->window);
      return 0;
    case WM_NCDESTROY:
      // The form's window went away and took this one with it.
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      impl->container = impl->window = nullptr;
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
  }

  static LRESULT CALLBACK WindowSubclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                         DWORD_PTR data) {
    auto* impl = reinterpret_cast<TImpl*>(data);
    switch (msg) {
    case WM_KEYDOWN: {
      const TKVLKey key = FormKey(wParam);
      if (key == TKVLKey::kNone) break;
      Guarded([&] {
        if (TKVLForm* form = impl->control.FindForm()) {
          TKVLShiftState shift;
          shift.Shift = GetKeyState(VK_SHIFT) < 0;
          shift.Ctrl = GetKeyState(VK_CONTROL) < 0;
          shift.Alt = GetKeyState(VK_MENU) < 0;
          form->HandleKeyDown(key, shift);
        }
        impl->FollowFocus();
      });
      return 0;
    }
    case WM_CHAR:
      // Their characters too: a read-only window would only beep.
      if (wParam == L'\t' || wParam == L'\r' || wParam == L'\n' || wParam == 0x1B) return 0;
      break;
    case WM_SETFOCUS: {
      const LRESULT result = DefSubclassProc(hwnd, msg, wParam, lParam);
      // Clicked into: the form's focus moves here as well, so that Tab goes on from here.
      Guarded([&] {
        TKVLForm* form = impl->control.FindForm();
        if (form && !impl->FormFocusInside() && impl->control.CanFocus()) form->SetActiveControl(&impl->control);
      });
      return result;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(hwnd, &TImpl::WindowSubclass, kSubclassId);
      break;
    default:
      break;
    }
    return DefSubclassProc(hwnd, msg, wParam, lParam);
  }
};

TKVLNativeChild::TKVLNativeChild(TKVLControl& control, TCreate create)
    : impl_(std::make_unique<TImpl>(*this, control, std::move(create))) {}

TKVLNativeChild::~TKVLNativeChild() { impl_->Destroy(); }

void TKVLNativeChild::Sync() { impl_->Sync(); }

void TKVLNativeChild::FollowFocus() { impl_->FollowFocus(); }

bool TKVLNativeChild::SendKey(TKVLKey key) {
  const UINT vk = NavigationKey(key);
  if (!impl_->window || !impl_->shown || vk == 0) return false;
  impl_->FollowFocus();
  SendMessageW(impl_->window, WM_KEYDOWN, vk, 1);
  SendMessageW(impl_->window, WM_KEYUP, vk, 0xC0000001);
  return true;
}

bool TKVLNativeChild::SendWheel(int delta) {
  if (!impl_->window || !impl_->shown || delta == 0) return false;
  POINT pt{};
  GetCursorPos(&pt);
  const auto amount = static_cast<uint16_t>(static_cast<int16_t>(delta * WHEEL_DELTA));
  SendMessageW(impl_->window, WM_MOUSEWHEEL, MAKEWPARAM(0, amount), MAKELPARAM(pt.x, pt.y));
  return true;
}

intptr_t TKVLNativeChild::Window() const { return reinterpret_cast<intptr_t>(impl_->window); }

} // namespace KVL::UI
