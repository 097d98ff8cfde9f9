// The Win32 clipboard's text as CF_UNICODETEXT, owned by a message-only window of the process.
#include "KVL/UI/Clipboard.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "KVL/Base/Platform/WinString.h"

namespace KVL::UI {

namespace {

// EmptyClipboard gives the clipboard to the window that opened it; without one
// SetClipboardData fails.
HWND ClipboardOwner() {
  static HWND window = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TKVLClipboardOwner";
    RegisterClassExW(&wc);
    return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }();
  return window;
}

// Another program may hold the clipboard for a moment.
class TOpenClipboard {
public:
  TOpenClipboard() {
    for (int attempt = 0; attempt < 10 && !open_; ++attempt) {
      open_ = OpenClipboard(ClipboardOwner()) != FALSE;
      if (!open_) Sleep(10);
    }
  }
  ~TOpenClipboard() {
    if (open_) CloseClipboard();
  }
  TOpenClipboard(const TOpenClipboard&) = delete;
  TOpenClipboard& operator=(const TOpenClipboard&) = delete;
  bool IsOpen() const { return open_; }

private:
  bool open_ = false;
};

} // namespace

void NativeSetClipboardText(const std::string& utf8) {
  const std::wstring wide = Platform::Wide(utf8);
  TOpenClipboard clipboard;
  // A copy that cannot be made leaves the clipboard as it was, as in every other program.
  if (!clipboard.IsOpen()) return;
  EmptyClipboard();
  const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (!memory) throw std::bad_alloc();
  void* p = GlobalLock(memory);
  std::memcpy(p, wide.c_str(), bytes);
  GlobalUnlock(memory);
  // The system owns the memory once it has taken it.
  if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
}

std::string NativeClipboardText() {
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) return std::string();
  TOpenClipboard clipboard;
  if (!clipboard.IsOpen()) return std::string();
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (!data) return std::string();
  const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
  if (!text) return std::string();
  // Bounded by the block's size: a block without its terminator must not be overrun.
  const size_t units = GlobalSize(data) / sizeof(wchar_t);
  size_t length = 0;
  while (length < units && text[length] != 0) ++length;
  std::string result = Platform::Narrow(text, length);
  GlobalUnlock(data);
  return result;
}

} // namespace KVL::UI
