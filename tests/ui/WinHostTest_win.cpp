// The Win32 window host: window setup, painting, input, closing, scaling, modality and the light/dark preference.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/Registry.h"
#include "KVL/UI/Application.h"
#include "KVL/UI/Button.h"
#include "KVL/UI/ColorScheme.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/HeadlessHost.h"
#include "KVL/UI/Theme.h"

using namespace KVL::UI;
namespace Platform = KVL::Platform;

namespace {

constexpr TKVLColor kMarkColor(0x3366CC);

// A focusable control that fills itself with one colour and records what it hears.
class TProbe : public TKVLControl {
public:
  explicit TProbe(TKVLControl* owner) : TKVLControl(owner) { SetTabStop(true); }
  void Paint(IKVLCanvas& canvas) override { canvas.FillRect(ClientRect(), kMarkColor); }
  bool KeyDown(TKVLKey key, TKVLShiftState) override {
    Keys.push_back(key);
    return true;
  }
  bool KeyChar(const std::string& utf8) override {
    Text += utf8;
    return true;
  }
  bool MouseWheel(int delta, TKVLPoint) override {
    Wheel += delta;
    return true;
  }
  std::vector<TKVLKey> Keys;
  std::string Text;
  int Wheel = 0;
};

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

// A wheel message's wParam for half a notch towards the user (a negative 16-bit delta).
WPARAM HalfNotchDown() { return static_cast<WPARAM>(static_cast<uint16_t>(-WHEEL_DELTA / 2)) << 16; }

class WinHostTest : public ::testing::Test {
protected:
  void SetUp() override {
    Reset();
    TKVLApplication::SetHostFactory(&CreateNativeHost);
    form_ = std::make_unique<TKVLForm>();
    form_->SetClientSize96(200, 120);
    form_->SetCaption("Probe – ü");
    form_->HandleNeeded();
    if (HeadlessHostOf(*form_) != nullptr) GTEST_SKIP() << "no window can be made here (no display)";
    hwnd_ = reinterpret_cast<HWND>(form_->Host()->NativeHandle());
    button_ = form_->CreateOwned<TKVLButton>();
    button_->SetParent(form_.get());
    button_->SetBounds(10, 80, 80, 30);
    button_->OnClick = [this](TKVLControl&) { ++clicks_; };
    probe_ = form_->CreateOwned<TProbe>();
    probe_->SetParent(form_.get());
    probe_->SetBounds(100, 10, 40, 20);
  }

  void TearDown() override {
    form_.reset();
    Reset();
  }

  static void Reset() {
    TKVLApplication::SetHostFactory(&CreateHeadlessHost);
    TKVLApplication::SetScreenDpi(96);
    TKVLApplication::SetDarkMode(false);
  }

  void Click(int x, int y) {
    SendMessageW(hwnd_, WM_MOUSEMOVE, 0, Point(x, y));
    SendMessageW(hwnd_, WM_LBUTTONDOWN, MK_LBUTTON, Point(x, y));
    SendMessageW(hwnd_, WM_LBUTTONUP, 0, Point(x, y));
  }

  // What the window paints into a DC of its own (the WM_PAINT path draws the same way).
  COLORREF PaintedPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, form_->ClientWidth(), form_->ClientHeight());
    HGDIOBJ old = SelectObject(memory, bitmap);
    SendMessageW(hwnd_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    COLORREF pixel = GetPixel(memory, x, y);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixel;
  }

  static COLORREF Ref(TKVLColor c) { return RGB(c.R(), c.G(), c.B()); }

  SIZE ClientSize() {
    RECT r{};
    GetClientRect(hwnd_, &r);
    return {r.right - r.left, r.bottom - r.top};
  }

  std::unique_ptr<TKVLForm> form_;
  HWND hwnd_ = nullptr;
  TKVLButton* button_ = nullptr;
  TProbe* probe_ = nullptr;
  int clicks_ = 0;
};

} // namespace

TEST_F(WinHostTest, WindowTakesTheFormsClassCaptionAndClientSize) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd_, name, 64);
  EXPECT_STREQ(name, L"TKVLForm");
  wchar_t caption[64] = {};
  GetWindowTextW(hwnd_, caption, 64);
  EXPECT_STREQ(caption, L"Probe \u2013 \u00FC");
  const LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
  EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION && (style & WS_SYSMENU));
  EXPECT_FALSE(style & WS_THICKFRAME);  // fixed size
  SIZE client = ClientSize();
  EXPECT_EQ(client.cx, 200);
  EXPECT_EQ(client.cy, 120);

  form_->SetTopMost(true);
  EXPECT_TRUE(GetWindowLongW(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST);
  form_->SetTopMost(false);
  EXPECT_FALSE(GetWindowLongW(hwnd_, GWL_EXSTYLE) & WS_EX_TOPMOST);

  // A frameless form (drop-down lists) is a popup.
  TKVLForm popup;
  popup.SetBorderStyle(TKVLBorderStyle::bsNone);
  popup.SetClientSize96(50, 40);
  popup.HandleNeeded();
  auto popupWindow = reinterpret_cast<HWND>(popup.Host()->NativeHandle());
  EXPECT_TRUE(GetWindowLongW(popupWindow, GWL_STYLE) & WS_POPUP);
  EXPECT_FALSE(GetWindowLongW(popupWindow, GWL_STYLE) & WS_CAPTION);
}

TEST_F(WinHostTest, ShowPaintsTheFormThroughItsBitmap) {
  form_->Show();
  EXPECT_TRUE(IsWindowVisible(hwnd_));
  UpdateWindow(hwnd_);
  EXPECT_EQ(PaintedPixel(5, 5), Ref(StyleColors().Window));
  EXPECT_EQ(PaintedPixel(100, 10), Ref(kMarkColor));
  EXPECT_EQ(PaintedPixel(139, 29), Ref(kMarkColor));
  EXPECT_EQ(PaintedPixel(140, 29), Ref(StyleColors().Window));
  // What WM_PAINT put on the screen.
  HDC dc = GetDC(hwnd_);
  EXPECT_EQ(GetPixel(dc, 120, 20), Ref(kMarkColor));
  EXPECT_EQ(GetPixel(dc, 5, 5), Ref(StyleColors().Window));
  ReleaseDC(hwnd_, dc);
  // The background is never erased separately (no flicker).
  EXPECT_EQ(SendMessageW(hwnd_, WM_ERASEBKGND, 0, 0), 1);
  form_->Hide();
  EXPECT_FALSE(IsWindowVisible(hwnd_));
}

TEST_F(WinHostTest, MouseAndKeysReachTheControls) {
  form_->Show();
  Click(50, 95);
  EXPECT_EQ(clicks_, 1);
  Click(150, 60);  // beside the button
  EXPECT_EQ(clicks_, 1);
  // Hover ends when the pointer leaves the window.
  SendMessageW(hwnd_, WM_MOUSEMOVE, 0, Point(50, 95));
  EXPECT_TRUE(button_->MouseInside());
  SendMessageW(hwnd_, WM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(button_->MouseInside());

  form_->SetActiveControl(probe_);
  SendMessageW(hwnd_, WM_KEYDOWN, VK_LEFT, 0);
  SendMessageW(hwnd_, WM_KEYDOWN, VK_NEXT, 0);
  SendMessageW(hwnd_, WM_KEYDOWN, 'A', 0);  // a letter arrives as text, not as a key
  EXPECT_EQ(probe_->Keys, (std::vector<TKVLKey>{TKVLKey::kLeft, TKVLKey::kPageDown}));
  // Text, with a character outside the basic plane in two UTF-16 halves; control
  // characters came as keys already.
  for (wchar_t unit : {L'a', wchar_t(0xE9), wchar_t(0xD83D), wchar_t(0xDE00), wchar_t(8), wchar_t(13), L'z'})
    SendMessageW(hwnd_, WM_CHAR, unit, 0);
  EXPECT_EQ(probe_->Text, "a\xC3\xA9\xF0\x9F\x98\x80z");

  // Tab is the form's: focus moves on to the button.
  button_->SetTabStop(true);
  SendMessageW(hwnd_, WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(form_->ActiveControl(), button_);

  // Wheel notches at a screen position over the probe; half notches add up.
  POINT pt{110, 15};
  ClientToScreen(hwnd_, &pt);
  SendMessageW(hwnd_, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(pt.x, pt.y));
  SendMessageW(hwnd_, WM_MOUSEWHEEL, HalfNotchDown(), MAKELPARAM(pt.x, pt.y));
  EXPECT_EQ(probe_->Wheel, 1);
  SendMessageW(hwnd_, WM_MOUSEWHEEL, HalfNotchDown(), MAKELPARAM(pt.x, pt.y));
  EXPECT_EQ(probe_->Wheel, 0);
}

TEST_F(WinHostTest, CloseGoesThroughTheFormAndHonoursTheDisabledCloseBox) {
  form_->Show();
  form_->SetCloseEnabled(false);
  EXPECT_TRUE(GetMenuState(GetSystemMenu(hwnd_, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
  SendMessageW(hwnd_, WM_CLOSE, 0, 0);
  SendMessageW(hwnd_, WM_SYSKEYDOWN, VK_F4, 1 << 29);
  EXPECT_TRUE(form_->Visible());
  EXPECT_TRUE(IsWindowVisible(hwnd_));

  form_->SetCloseEnabled(true);
  EXPECT_FALSE(GetMenuState(GetSystemMenu(hwnd_, FALSE), SC_CLOSE, MF_BYCOMMAND) & MF_GRAYED);
  bool asked = false;
  form_->OnCloseQuery = [&](TKVLForm&, bool& canClose) {
    asked = true;
    canClose = false;
  };
  SendMessageW(hwnd_, WM_CLOSE, 0, 0);
  EXPECT_TRUE(asked);
  EXPECT_TRUE(form_->Visible());
  form_->OnCloseQuery = nullptr;
  SendMessageW(hwnd_, WM_CLOSE, 0, 0);
  EXPECT_FALSE(form_->Visible());
  EXPECT_FALSE(IsWindowVisible(hwnd_));
  EXPECT_TRUE(IsWindow(hwnd_));  // hidden, not destroyed: the form owns its window
}

TEST_F(WinHostTest, DpiChangeMovesToTheSuggestedPlaceAndRescales) {
  form_->Show();
  RECT before{};
  GetWindowRect(hwnd_, &before);
  RECT suggested{before.left + 7, before.top + 5, before.left + 7 + 320, before.top + 5 + 230};
  SendMessageW(hwnd_, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(form_->Host()->Dpi(), 144);
  EXPECT_EQ(form_->CurrentDpi(), 144);
  EXPECT_EQ(form_->ClientWidth(), 300);
  EXPECT_EQ(form_->ClientHeight(), 180);
  SIZE client = ClientSize();
  EXPECT_EQ(client.cx, 300);
  EXPECT_EQ(client.cy, 180);
  RECT after{};
  GetWindowRect(hwnd_, &after);
  EXPECT_EQ(after.left, suggested.left);
  EXPECT_EQ(after.top, suggested.top);
  EXPECT_EQ(probe_->BoundsRect(), (TKVLRect{150, 15, 210, 45}));
  EXPECT_EQ(PaintedPixel(150, 15), Ref(kMarkColor));
  EXPECT_EQ(PaintedPixel(149, 15), Ref(StyleColors().Window));
}

TEST_F(WinHostTest, ColorSetChangeRereadsThePreference) {
  Platform::TEnvironmentOverride scheme("KVL_COLOR_SCHEME", std::string("dark"));
  form_->Show();
  SendMessageW(hwnd_, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Policy"));
  EXPECT_FALSE(TKVLApplication::IsDarkMode());
  SendMessageW(hwnd_, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
  EXPECT_TRUE(TKVLApplication::IsDarkMode());
  TKVLStyleColors dark;
  FillDarkStyle(dark);
  EXPECT_EQ(PaintedPixel(5, 5), Ref(dark.Window));
}

TEST_F(WinHostTest, ModalFormDisablesItsOwnerUntilItEnds) {
  TKVLApplication::SetHostFactory(&CreateNativeHost);
  form_->Show();
  SetActiveWindow(hwnd_);
  TKVLForm dialog(form_.get());
  dialog.SetBorderStyle(TKVLBorderStyle::bsDialog);
  dialog.SetClientSize96(120, 60);
  bool ownerEnabledInside = true;
  HWND dialogOwner = nullptr;
  TKVLApplication::Post([&] {
    ownerEnabledInside = IsWindowEnabled(hwnd_) != FALSE;
    dialogOwner = GetWindow(reinterpret_cast<HWND>(dialog.Host()->NativeHandle()), GW_OWNER);
    dialog.SetModalResult(Platform::mrOk);
  });
  EXPECT_EQ(dialog.ShowModal(), Platform::mrOk);
  EXPECT_FALSE(ownerEnabledInside);
  EXPECT_EQ(dialogOwner, hwnd_);
  EXPECT_TRUE(IsWindowEnabled(hwnd_));
}

TEST_F(WinHostTest, HandlerExceptionsComeBackOutsideTheWindowProcedure) {
  form_->Show();
  button_->OnClick = [](TKVLControl&) { throw std::runtime_error("from the click"); };
  Click(50, 95);
  EXPECT_THROW(
      {
        try {
          Platform::ProcessMessages();
        } catch (const std::runtime_error& e) {
          EXPECT_STREQ(e.what(), "from the click");
          throw;
        }
      },
      std::runtime_error);
}

// ---- The desktop's light/dark preference: runs without a display ----

TEST(WinDarkModeTest, PreferenceFollowsAppsUseLightThemeAndTheOverride) {
  const std::string path = "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
  Platform::TRegistryKey key;
  key.OpenWrite(Platform::TRegistryRoot::rrCurrentUser, path);
  const std::optional<uint32_t> saved = key.ReadInteger("AppsUseLightTheme");
  struct TCase {
    const char* Name;
    std::optional<uint32_t> Value;  // nothing: the value is missing
    std::optional<std::string> Override;
    bool Dark;
  };
  const std::vector<TCase> cases = {
      {"missing", std::nullopt, std::nullopt, false},
      {"zero", 0u, std::nullopt, true},
      {"one", 1u, std::nullopt, false},
      {"other", 2u, std::nullopt, false},
      {"override dark", 1u, std::string("dark"), true},
      {"override light", 0u, std::string("light"), false},
      {"unknown override", 0u, std::string("blue"), true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.Value) key.WriteInteger("AppsUseLightTheme", *c.Value);
    else key.DeleteValue("AppsUseLightTheme");
    Platform::TEnvironmentOverride scheme("KVL_COLOR_SCHEME", c.Override);
    EXPECT_EQ(NativeDarkModePreferred(), c.Dark);
  }
  if (saved) key.WriteInteger("AppsUseLightTheme", *saved);
  else key.DeleteValue("AppsUseLightTheme");
}
