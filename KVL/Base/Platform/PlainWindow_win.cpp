// Win32 plain window: a registered class and a message loop until WM_CLOSE or the lifetime's timer.
#include "KVL/Base/Platform/PlainWindow.h"

#include <windows.h>

#include "KVL/Base/Platform/WinString.h"

namespace KVL::Platform {

namespace {

// The window's ending, read once its loop has run; one plain window per thread.
thread_local TPlainWindowEnd gEnd = TPlainWindowEnd::peExpired;

LRESULT CALLBACK ClosableProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) gEnd = TPlainWindowEnd::peClosed;
  if (msg == WM_TIMER) {
    DestroyWindow(w);
    return 0;
  }
  if (msg == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(w, msg, wp, lp);
}

// Ignores close requests; its timer ends it.
LRESULT CALLBACK StubbornProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) return 0;
  return ClosableProc(w, msg, wp, lp);
}

} // namespace

TPlainWindowEnd RunPlainWindow(const std::string& className, const std::string& title, int lifetimeMs,
                               bool ignoreClose) {
  const std::wstring cls = Wide(className), caption = Wide(title);
  WNDCLASSW wc = {};
  wc.lpfnWndProc = ignoreClose ? StubbornProc : ClosableProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = cls.c_str();
  if (!RegisterClassW(&wc)) return TPlainWindowEnd::peFailed;
  HWND w = CreateWindowExW(0, cls.c_str(), caption.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                           wc.hInstance, nullptr);
  if (!w) {
    UnregisterClassW(cls.c_str(), wc.hInstance);
    return TPlainWindowEnd::peNoWindow;
  }
  gEnd = TPlainWindowEnd::peExpired;
  if (lifetimeMs > 0) SetTimer(w, 1, static_cast<UINT>(lifetimeMs), nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  UnregisterClassW(cls.c_str(), wc.hInstance);
  return gEnd;
}

} // namespace KVL::Platform
