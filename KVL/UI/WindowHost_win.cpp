// The Win32 window host: one top-level window per form, painted from a bitmap, per-monitor scaled.
#include "KVL/UI/WindowHost.h"

#include <windows.h>
#include <windowsx.h>

#include <dwmapi.h>

// windows.h's DrawText macro would rename the canvas's method.
#undef DrawText

#include <algorithm>
#include <exception>
#include <mutex>
#include <set>
#include <vector>

#include "KVL/Base/Platform/WinString.h"
#include "KVL/UI/Application.h"
#include "KVL/UI/Canvas.h"
#include "KVL/UI/ColorScheme.h"
#include "KVL/UI/Form.h"

namespace KVL::UI {

namespace {

// Entry points of newer Windows versions, looked up so that older ones still run.
struct TUser32Dpi {
  UINT(WINAPI* GetDpiForWindow)(HWND) = nullptr;
  UINT(WINAPI* GetDpiForSystem)() = nullptr;
  BOOL(WINAPI* AdjustWindowRectExForDpi)(LPRECT, DWORD, BOOL, DWORD, UINT) = nullptr;
  BOOL(WINAPI* SetProcessDpiAwarenessContext)(HANDLE) = nullptr;
  BOOL(WINAPI* SetProcessDPIAware)() = nullptr;
};

template <class T>
void Lookup(HMODULE module, const char* name, T& fn) {
  fn = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const TUser32Dpi& User32() {
  static const TUser32Dpi api = [] {
    TUser32Dpi a;
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    Lookup(user32, "GetDpiForWindow", a.GetDpiForWindow);
    Lookup(user32, "GetDpiForSystem", a.GetDpiForSystem);
    Lookup(user32, "AdjustWindowRectExForDpi", a.AdjustWindowRectExForDpi);
    Lookup(user32, "SetProcessDpiAwarenessContext", a.SetProcessDpiAwarenessContext);
    Lookup(user32, "SetProcessDPIAware", a.SetProcessDPIAware);
    return a;
  }();
  return api;
}

// The manifest declares per-monitor awareness; this covers a program started without it.
// Once the process is aware (by the manifest) the call fails harmlessly.
void EnsureDpiAwareness() {
  static std::once_flag once;
  std::call_once(once, [] {
    const TUser32Dpi& api = User32();
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (api.SetProcessDpiAwarenessContext &&
        api.SetProcessDpiAwarenessContext(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4))))
      return;
    if (GetLastError() == ERROR_ACCESS_DENIED) return;  // already set by the manifest
    if (api.SetProcessDPIAware) api.SetProcessDPIAware();
  });
}

int SystemDpi() {
  EnsureDpiAwareness();
  if (User32().GetDpiForSystem) return static_cast<int>(User32().GetDpiForSystem());
  HDC dc = GetDC(nullptr);
  int dpi = dc ? GetDeviceCaps(dc, LOGPIXELSX) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

// The system's dark title bar exists from Windows 10 build 18985 on.
bool HasDarkTitleBars() {
  static const bool has = [] {
    using TRtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    TRtlGetVersion rtlGetVersion = nullptr;
    Lookup(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion", rtlGetVersion);
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!rtlGetVersion || rtlGetVersion(&info) != 0) return false;
    return info.dwMajorVersion > 10 || (info.dwMajorVersion == 10 && info.dwBuildNumber >= 18985);
  }();
  return has;
}

constexpr DWORD kDwmUseImmersiveDarkMode = 20;

TKVLKey MapVirtualKey(WPARAM vk) {
  switch (vk) {
  case VK_RETURN: return TKVLKey::kEnter;
  case VK_ESCAPE: return TKVLKey::kEscape;
  case VK_TAB: return TKVLKey::kTab;
  case VK_SPACE: return TKVLKey::kSpace;
  case VK_BACK: return TKVLKey::kBackspace;
  case VK_DELETE: return TKVLKey::kDelete;
  case VK_LEFT: return TKVLKey::kLeft;
  case VK_RIGHT: return TKVLKey::kRight;
  case VK_UP: return TKVLKey::kUp;
  case VK_DOWN: return TKVLKey::kDown;
  case VK_HOME: return TKVLKey::kHome;
  case VK_END: return TKVLKey::kEnd;
  case VK_PRIOR: return TKVLKey::kPageUp;
  case VK_NEXT: return TKVLKey::kPageDown;
  case VK_F4: return TKVLKey::kF4;
  case VK_INSERT: return TKVLKey::kInsert;
  default: return TKVLKey::kNone;
  }
}

TKVLShiftState KeyboardShift() {
  TKVLShiftState s;
  s.Shift = GetKeyState(VK_SHIFT) < 0;
  s.Ctrl = GetKeyState(VK_CONTROL) < 0;
  s.Alt = GetKeyState(VK_MENU) < 0;
  return s;
}

TKVLShiftState MouseShift(WPARAM wParam) {
  TKVLShiftState s;
  s.Shift = (wParam & MK_SHIFT) != 0;
  s.Ctrl = (wParam & MK_CONTROL) != 0;
  s.Alt = GetKeyState(VK_MENU) < 0;
  return s;
}

TKVLPoint ClientPoint(LPARAM lParam) { return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

class TKVLWin32Host;

// Every live host, so that a change of the colour scheme reaches each title bar.
std::set<TKVLWin32Host*>& Hosts() {
  static std::set<TKVLWin32Host*> hosts;
  return hosts;
}

class TKVLWin32Host final : public IKVLWindowHost {
public:
  explicit TKVLWin32Host(TKVLForm& form) : form_(form) {}

  ~TKVLWin32Host() override {
    Hosts().erase(this);
    if (!hwnd_) return;
    ReenableOwner();
    // The form is going away: the window's last messages must not reach it.
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }

  TKVLWin32Host(const TKVLWin32Host&) = delete;
  TKVLWin32Host& operator=(const TKVLWin32Host&) = delete;

  // False when the system refuses the window (no desktop); the form then goes headless.
  bool Create() {
    const std::wstring className = RegisterClassFor(form_.ClassName());
    switch (form_.BorderStyle()) {
    case TKVLBorderStyle::bsSingle:
      style_ = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
      break;
    case TKVLBorderStyle::bsDialog:
      style_ = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
      exStyle_ = WS_EX_DLGMODALFRAME;
      break;
    case TKVLBorderStyle::bsNone:
      style_ = WS_POPUP | WS_CLIPCHILDREN;
      exStyle_ = WS_EX_TOOLWINDOW;
      break;
    }
    HWND owner = nullptr;
    if (TKVLControl* o = form_.Owner()) {
      if (TKVLForm* ownerForm = o->FindForm(); ownerForm && ownerForm->Host())
        owner = reinterpret_cast<HWND>(ownerForm->Host()->NativeHandle());
    }
    const std::wstring caption = Platform::Wide(form_.Caption());
    hwnd_ = CreateWindowExW(exStyle_, className.c_str(), caption.c_str(), style_, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, GetModuleHandleW(nullptr), this);
    if (!hwnd_) return false;
    dpi_ = WindowDpi();
    Hosts().insert(this);
    ApplyTitleBarTheme();
    return true;
  }

  void SetCaption(const std::string& caption) override { SetWindowTextW(hwnd_, Platform::Wide(caption).c_str()); }

  void SetClientSize(int width, int height) override {
    RECT r{0, 0, width, height};
    if (User32().AdjustWindowRectExForDpi)
      User32().AdjustWindowRectExForDpi(&r, style_, FALSE, exStyle_, static_cast<UINT>(dpi_));
    else
      AdjustWindowRectEx(&r, style_, FALSE, exStyle_);
    int outerWidth = r.right - r.left;
    int outerHeight = r.bottom - r.top;
    SetWindowPos(hwnd_, nullptr, 0, 0, outerWidth, outerHeight, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The frame may differ from the computed one (a frame still at the old scale right after a
    // move between monitors); the client area is what must come out exact.
    RECT client{};
    if (IsIconic(hwnd_) || !GetClientRect(hwnd_, &client)) return;
    const int dw = width - (client.right - client.left);
    const int dh = height - (client.bottom - client.top);
    if (dw != 0 || dh != 0)
      SetWindowPos(hwnd_, nullptr, 0, 0, outerWidth + dw, outerHeight + dh, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // On the work area of the monitor the window (or, before it is placed, its owner) is on.
  void CenterOnScreen() override {
    HWND reference = GetWindow(hwnd_, GW_OWNER);
    HMONITOR monitor = MonitorFromWindow(reference ? reference : hwnd_, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(monitor, &info)) return;
    RECT window{};
    GetWindowRect(hwnd_, &window);
    const RECT& work = info.rcWork;
    const int w = window.right - window.left;
    const int h = window.bottom - window.top;
    const int x = work.left + (work.right - work.left - w) / 2;
    const int y = work.top + (work.bottom - work.top - h) / 2;
    SetWindowPos(hwnd_, nullptr, x, std::max<int>(y, work.top), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void Show() override {
    if (form_.IsModal() && !disabledOwner_) DisableOwner();
    if (form_.BorderStyle() == TKVLBorderStyle::bsNone) {
      // A drop-down sits where its form says, and the keyboard stays with its owner.
      const TKVLRect& at = form_.BoundsRect();
      SetWindowPos(hwnd_, HWND_TOP, at.Left, at.Top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
      return;
    }
    ShowWindow(hwnd_, SW_SHOW);
  }

  void Hide() override {
    // The owner comes back first, so that the system activates it and not another program.
    ReenableOwner();
    ShowWindow(hwnd_, SW_HIDE);
  }

  void Invalidate() override { InvalidateRect(hwnd_, nullptr, FALSE); }
  void Update() override { UpdateWindow(hwnd_); }

  void SetCloseEnabled(bool enabled) override {
    closeEnabled_ = enabled;
    if (HMENU menu = GetSystemMenu(hwnd_, FALSE))
      EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  }

  void SetTopMost(bool topMost) override {
    SetWindowPos(hwnd_, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

  int Dpi() const override { return dpi_; }
  intptr_t NativeHandle() const override { return reinterpret_cast<intptr_t>(hwnd_); }

  TKVLPoint ClientToScreen(TKVLPoint pt) const override {
    POINT p{pt.X, pt.Y};
    if (!::ClientToScreen(hwnd_, &p)) return pt;
    return {p.x, p.y};
  }

  TKVLRect WorkArea() const override {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &info)) return {};
    return {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom};
  }

  // The system's title bar follows the toolkit's mode where the system has a dark one.
  void ApplyTitleBarTheme() {
    const bool dark = TKVLApplication::IsDarkMode();
    if (titleBarDark_ == (dark ? 1 : 0)) return;
    titleBarDark_ = dark ? 1 : 0;
    if (!HasDarkTitleBars()) return;
    BOOL value = dark ? TRUE : FALSE;
    DwmSetWindowAttribute(hwnd_, kDwmUseImmersiveDarkMode, &value, sizeof value);
  }

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    auto* host = reinterpret_cast<TKVLWin32Host*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!host) return DefWindowProcW(hwnd, msg, wParam, lParam);
    try {
      LRESULT result = 0;
      if (host->Handle(msg, wParam, lParam, result)) return result;
    } catch (...) {
      // Exceptions must not unwind through the system's frames: raise it again from the
      // application's dispatch, outside any window procedure.
      TKVLApplication::Post([error = std::current_exception()] { std::rethrow_exception(error); });
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }

private:
  static std::wstring RegisterClassFor(const std::string& name) {
    static std::set<std::string> registered;
    std::wstring wide = Platform::Wide(name);
    if (registered.insert(name).second) {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = &TKVLWin32Host::WindowProc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1));
      wc.lpszClassName = wide.c_str();
      if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) registered.erase(name);
    }
    return wide;
  }

  int WindowDpi() const {
    if (User32().GetDpiForWindow) {
      UINT dpi = User32().GetDpiForWindow(hwnd_);
      if (dpi > 0) return static_cast<int>(dpi);
    }
    return SystemDpi();
  }

  void DisableOwner() {
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    if (!owner) {
      owner = GetActiveWindow();
      if (!owner || owner == hwnd_) {
        TKVLForm* main = TKVLApplication::MainForm();
        owner = main && main != &form_ && main->Host() ? reinterpret_cast<HWND>(main->Host()->NativeHandle()) : nullptr;
      }
      // A modal window stays above the window it blocks.
      if (owner && owner != hwnd_) SetWindowLongPtrW(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    }
    if (!owner || owner == hwnd_ || !IsWindowEnabled(owner)) return;
    EnableWindow(owner, FALSE);
    disabledOwner_ = owner;
  }

  void ReenableOwner() {
    if (!disabledOwner_) return;
    EnableWindow(disabledOwner_, TRUE);
    disabledOwner_ = nullptr;
  }

  // The form drawn into a bitmap at the window's scale and copied to dc in one go.
  void PaintInto(HDC dc) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (!dc || width <= 0 || height <= 0) return;
    ApplyTitleBarTheme();
    if (buffer_.Width() != width || buffer_.Height() != height) buffer_ = TKVLBitmap(width, height);
    {
      auto canvas = CreateBitmapCanvas(buffer_, form_.CurrentDpi());
      form_.PaintTo(*canvas);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // rows top to bottom, as ours
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(width), static_cast<DWORD>(height), 0, 0, 0,
                      static_cast<UINT>(height), buffer_.Data(), &info, DIB_RGB_COLORS);
  }

  void Paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd_, &ps);
    // EndPaint even when painting fails: otherwise WM_PAINT would come back forever.
    try {
      PaintInto(dc);
    } catch (...) {
      EndPaint(hwnd_, &ps);
      throw;
    }
    EndPaint(hwnd_, &ps);
  }

  void MouseButton(TKVLMouseButton button, bool down, WPARAM wParam, LPARAM lParam) {
    if (down) {
      SetCapture(hwnd_);
      form_.HandleMouseDown(button, ClientPoint(lParam), MouseShift(wParam));
    } else {
      if (GetCapture() == hwnd_ && (wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0) ReleaseCapture();
      form_.HandleMouseUp(button, ClientPoint(lParam), MouseShift(wParam));
    }
  }

  // UTF-16 units to UTF-8 text; a high surrogate waits for its partner.
  void Char(wchar_t unit) {
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      highSurrogate_ = unit;
      return;
    }
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      if (!highSurrogate_) return;
      const wchar_t pair[2] = {highSurrogate_, unit};
      highSurrogate_ = 0;
      form_.HandleKeyChar(Platform::Narrow(pair, 2));
      return;
    }
    highSurrogate_ = 0;
    // Control characters (Enter, Tab, Escape, Backspace, Ctrl+letters) came as keys.
    if (unit < 0x20 || unit == 0x7F) return;
    form_.HandleKeyChar(Platform::Narrow(&unit, 1));
  }

  bool Handle(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
    case WM_PAINT:
      Paint();
      return true;
    case WM_PRINTCLIENT:
      // PrintWindow and the system's animations ask for the client area in their own DC.
      PaintInto(reinterpret_cast<HDC>(wParam));
      return true;
    case WM_ERASEBKGND:
      result = 1;  // the paint covers every pixel
      return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
      MouseButton(TKVLMouseButton::mbLeft, msg == WM_LBUTTONDOWN, wParam, lParam);
      return true;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      MouseButton(TKVLMouseButton::mbRight, msg == WM_RBUTTONDOWN, wParam, lParam);
      return true;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      MouseButton(TKVLMouseButton::mbMiddle, msg == WM_MBUTTONDOWN, wParam, lParam);
      return true;
    case WM_MOUSEMOVE:
      if (!trackingLeave_) {
        TRACKMOUSEEVENT tme{};
        tme.cbSize = sizeof tme;
        tme.dwFlags = TME_LEAVE;
        tme.hwndTrack = hwnd_;
        trackingLeave_ = TrackMouseEvent(&tme) != FALSE;
      }
      form_.HandleMouseMove(ClientPoint(lParam), MouseShift(wParam));
      return true;
    case WM_MOUSELEAVE:
      trackingLeave_ = false;
      form_.HandleMouseLeave();
      return true;
    case WM_MOUSEWHEEL: {
      // Notches (+1 up); high-resolution wheels send parts of one, which add up.
      wheelRemainder_ += GET_WHEEL_DELTA_WPARAM(wParam);
      const int notches = wheelRemainder_ / WHEEL_DELTA;
      wheelRemainder_ -= notches * WHEEL_DELTA;
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      ScreenToClient(hwnd_, &pt);
      if (notches != 0) form_.HandleMouseWheel(notches, {pt.x, pt.y});
      return true;
    }
    case WM_CAPTURECHANGED:
      return false;
    case WM_MOUSEACTIVATE:
      // A click in a drop-down leaves its owner active (and the drop-down open).
      if (form_.BorderStyle() != TKVLBorderStyle::bsNone) return false;
      result = MA_NOACTIVATE;
      return true;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) form_.HandleDeactivate();
      return false;
    case WM_ACTIVATEAPP:
      if (!wParam) form_.HandleDeactivate();
      return false;
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
      // A press on the frame is a press outside the drop-down, too.
      if (TKVLForm* popup = form_.OpenPopup()) popup->Dismiss();
      return false;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
      const TKVLKey key = MapVirtualKey(wParam);
      if (key == TKVLKey::kNone) {
        // Ctrl with a letter is that letter's control character, by key and not by layout.
        const TKVLShiftState shift = KeyboardShift();
        if (msg == WM_KEYDOWN && shift.Ctrl && !shift.Alt && wParam >= 'A' && wParam <= 'Z')
          form_.HandleKeyChar(std::string(1, static_cast<char>(wParam - 'A' + 1)));
        return msg == WM_KEYDOWN;
      }
      // Alt+F4 is the form's Close request; other Alt keys keep the system menu's handling.
      if (msg == WM_SYSKEYDOWN && key != TKVLKey::kF4) return false;
      form_.HandleKeyDown(key, KeyboardShift());
      return true;
    }
    case WM_CHAR:
      Char(static_cast<wchar_t>(wParam));
      return true;
    case WM_CLOSE:
      // Never destroyed here: the form decides, and its host destroys the window with it.
      if (closeEnabled_) form_.HandleCloseRequest();
      return true;
    case WM_DPICHANGED: {
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      dpi_ = LOWORD(wParam);
      if (suggested)
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
      form_.HandleDpiChange(dpi_);
      Invalidate();
      return true;
    }
    case WM_SETTINGCHANGE:
      if (lParam && lstrcmpiW(reinterpret_cast<const wchar_t*>(lParam), L"ImmersiveColorSet") == 0) {
        TKVLApplication::SetDarkMode(NativeDarkModePreferred());
        for (TKVLWin32Host* host : Hosts()) {
          host->ApplyTitleBarTheme();
          host->Invalidate();
        }
      }
      return false;
    default:
      return false;
    }
  }

  TKVLForm& form_;
  HWND hwnd_ = nullptr;
  DWORD style_ = 0;
  DWORD exStyle_ = 0;
  int dpi_ = 96;
  bool closeEnabled_ = true;
  bool trackingLeave_ = false;
  int wheelRemainder_ = 0;
  wchar_t highSurrogate_ = 0;
  int titleBarDark_ = -1;  // not applied yet
  HWND disabledOwner_ = nullptr;
  TKVLBitmap buffer_;
};

} // namespace

std::unique_ptr<IKVLWindowHost> CreateNativeHost(TKVLForm& form) {
  EnsureDpiAwareness();
  auto host = std::make_unique<TKVLWin32Host>(form);
  if (!host->Create()) return nullptr;
  return host;
}

bool NativeHostAvailable() { return true; }

int NativeScreenDpi() { return SystemDpi(); }

} // namespace KVL::UI
