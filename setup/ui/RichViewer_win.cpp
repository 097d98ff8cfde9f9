// The rich viewer on Windows: the system's rich-edit window ("RICHEDIT50W") shows the document over the frame.
#include "setup/ui/RichViewer.h"

#include <windows.h>

#include <richedit.h>

// windows.h's DrawText macro would rename the canvas's method.
#undef DrawText

#include <algorithm>
#include <cstring>
#include <vector>

#include "KVL/Base/Platform/WinString.h"
#include "KVL/UI/Application.h"
#include "KVL/UI/Theme.h"

namespace Setup::UI::Controls {

namespace {

// The library that registers "RICHEDIT50W": loaded on first use and kept for the program's life.
bool RichEditLoaded() {
  static const bool loaded = LoadLibraryW(L"Msftedit.dll") != nullptr;
  return loaded;
}

COLORREF Ref(TKVLColor c) { return RGB(c.R(), c.G(), c.B()); }

struct TStreamSource {
  const char* Data;
  size_t Size;
  size_t Position;
};

// Hands out the smaller of what is asked for and what is left; never fails.
DWORD CALLBACK StreamInCallback(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* done) {
  auto* source = reinterpret_cast<TStreamSource*>(cookie);
  const size_t n = std::min(static_cast<size_t>(std::max<LONG>(wanted, 0)), source->Size - source->Position);
  if (n > 0) std::memcpy(buffer, source->Data + source->Position, n);
  source->Position += n;
  *done = static_cast<LONG>(n);
  return 0;
}

// Replaces the window's whole content by bytes in format (SF_RTF, or SF_TEXT | SF_UNICODE).
void StreamIn(HWND window, const char* data, size_t size, WPARAM format) {
  TStreamSource source{data, size, 0};
  EDITSTREAM stream{};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  stream.pfnCallback = &StreamInCallback;
  SendMessageW(window, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
  SendMessageW(window, EM_SETSEL, 0, 0);
  SendMessageW(window, WM_VSCROLL, SB_TOP, 0);
}

// Gives the text without a colour of its own (automatic colour) the given one: rich-edit
// windows draw it in the system's window-text colour whatever the default format says, which
// is unreadable on a dark background. Halves ranges until each has one colour; the view stays
// where it was.
void ColorAutomaticText(HWND window, COLORREF color) {
  GETTEXTLENGTHEX lengthQuery{GTL_NUMCHARS | GTL_PRECISE, 1200};
  const auto length = static_cast<LONG>(
      SendMessageW(window, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0));
  POINT scroll{};
  SendMessageW(window, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
  CHARRANGE selection{};
  SendMessageW(window, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  std::vector<CHARRANGE> pending{{0, length}};
  while (!pending.empty()) {
    CHARRANGE range = pending.back();
    pending.pop_back();
    if (range.cpMin >= range.cpMax) continue;
    SendMessageW(window, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&range));
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    SendMessageW(window, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    if (format.dwMask & CFM_COLOR) {
      if (!(format.dwEffects & CFE_AUTOCOLOR)) continue;
      CHARFORMAT2W given{};
      given.cbSize = sizeof given;
      given.dwMask = CFM_COLOR;
      given.crTextColor = color;
      SendMessageW(window, EM_SETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&given));
    } else if (range.cpMax - range.cpMin > 1) {
      const LONG middle = range.cpMin + (range.cpMax - range.cpMin) / 2;
      pending.push_back({middle, range.cpMax});
      pending.push_back({range.cpMin, middle});
    }
  }
  SendMessageW(window, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  SendMessageW(window, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scroll));
}

// The system window's scroll bar in the toolkit's mode, where the system has a dark one
// (Windows 10 1809 on); elsewhere the theme name is not known and nothing changes.
void ApplyScrollBarTheme(HWND window, bool dark) {
  using TSetWindowTheme = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
  static const TSetWindowTheme setWindowTheme = [] {
    HMODULE uxtheme = LoadLibraryW(L"uxtheme.dll");
    return uxtheme ? reinterpret_cast<TSetWindowTheme>(
                         reinterpret_cast<void*>(GetProcAddress(uxtheme, "SetWindowTheme")))
                   : nullptr;
  }();
  if (setWindowTheme) setWindowTheme(window, dark ? L"DarkMode_Explorer" : L"Explorer", nullptr);
}

// The default character format: the viewer's own font (plain text shows in it) in the
// style's text colour; answers the colour.
COLORREF SetDefaultFormat(HWND window, const TKVLFont& font) {
  CHARFORMAT2W format{};
  format.cbSize = sizeof format;
  format.dwMask = CFM_COLOR | CFM_FACE | CFM_SIZE | CFM_BOLD | CFM_ITALIC;
  format.crTextColor = Ref(StyleColors().Text);
  format.yHeight = static_cast<LONG>(font.SizePt * 20);
  const std::wstring face = KVL::Platform::Wide(font.Name).substr(0, LF_FACESIZE - 1);
  std::copy(face.begin(), face.end(), format.szFaceName);
  SendMessageW(window, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  return format.crTextColor;
}

// The frame's inside (its one-pixel border is ours), where the system window goes.
TKVLRect FrameInside(TKVLControl& inner) {
  if (auto* frame = dynamic_cast<TKVLMemo*>(inner.Parent())) {
    const TKVLRect r = frame->ScreenRectInForm();
    return {r.Left + 1, r.Top + 1, std::max(r.Left + 1, r.Right - 1), std::max(r.Top + 1, r.Bottom - 1)};
  }
  return inner.ScreenRectInForm();
}

} // namespace

void TKVLRichInnerViewer::CreateNativeViewer() {
  native_ = std::make_unique<TKVLNativeChild>(*this, [](intptr_t container, int width, int height) -> intptr_t {
    if (!RichEditLoaded()) return 0;
    const DWORD style = WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL |
                        ES_DISABLENOSCROLL;
    HWND window = CreateWindowExW(0, MSFTEDIT_CLASS, L"", style, 0, 0, width, height,
                                  reinterpret_cast<HWND>(container), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) return 0;
    SendMessageW(window, EM_SETREADONLY, TRUE, 0);
    SendMessageW(window, EM_SETEVENTMASK, 0, ENM_LINK);
    SendMessageW(window, EM_AUTOURLDETECT, TRUE, 0);
    SendMessageW(window, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    return reinterpret_cast<intptr_t>(window);
  });
  if (auto* frame = dynamic_cast<TKVLMemo*>(Owner())) native_->FocusScope = frame;
  native_->Area = [this] { return FrameInside(*this); };
  native_->OnCreated = [this] {
    const int margin = ScaleValue(4, Dpi());
    SendMessageW(reinterpret_cast<HWND>(native_->Window()), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                 MAKELPARAM(margin, margin));
    NativeShowContent();
    NativeApplyFormat();
    NativeApplyZoom();
  };
  native_->OnNotify = [this](const void* header, intptr_t& result) {
    const auto* notify = static_cast<const NMHDR*>(header);
    if (notify->code != EN_LINK) return false;
    const auto* link = static_cast<const ENLINK*>(header);
    result = 0;
    if (link->msg != WM_LBUTTONUP || link->chrg.cpMax <= link->chrg.cpMin) return true;
    std::vector<wchar_t> buffer(static_cast<size_t>(link->chrg.cpMax - link->chrg.cpMin) + 1, L'\0');
    TEXTRANGEW range{};
    range.chrg = link->chrg;
    range.lpstrText = buffer.data();
    SendMessageW(notify->hwndFrom, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&range));
    const std::string text = KVL::Platform::Narrow(buffer.data());
    if (text.empty()) return true;
    if (OnLinkClick) OnLinkClick(text);
    else OpenLink(text);
    return true;
  };
}

void TKVLRichInnerViewer::NativeShowContent() {
  HWND window = native_ ? reinterpret_cast<HWND>(native_->Window()) : nullptr;
  if (!window) return;
  // Text that takes the default format when read takes today's colour.
  SetDefaultFormat(window, Font());
  if (contentIsRtf_) {
    StreamIn(window, content_.data(), content_.size(), SF_RTF);
  } else {
    const std::wstring text = KVL::Platform::Wide(content_);
    StreamIn(window, reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t), SF_TEXT | SF_UNICODE);
  }
}

void TKVLRichInnerViewer::NativeApplyFormat() {
  HWND window = native_ ? reinterpret_cast<HWND>(native_->Window()) : nullptr;
  if (!window) return;
  // Recoloured out of sight, shown once.
  SendMessageW(window, WM_SETREDRAW, FALSE, 0);
  SendMessageW(window, EM_SETBKGNDCOLOR, 0, static_cast<LPARAM>(Ref(StyleColors().EditBackground)));
  ColorAutomaticText(window, SetDefaultFormat(window, Font()));
  ApplyScrollBarTheme(window, TKVLApplication::IsDarkMode());
  SendMessageW(window, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(window, nullptr, TRUE);
}

void TKVLRichInnerViewer::NativeApplyZoom() {
  HWND window = native_ ? reinterpret_cast<HWND>(native_->Window()) : nullptr;
  if (window) SendMessageW(window, EM_SETZOOM, static_cast<WPARAM>(zoomNumerator_), 64);
}

} // namespace Setup::UI::Controls
