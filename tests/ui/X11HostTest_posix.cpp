// The X11 window host under a real X server (skipped without a display), and the desktop's colour-scheme choice.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/UI/Application.h"
#include "KVL/UI/Button.h"
#include "KVL/UI/Canvas.h"
#include "KVL/UI/ColorScheme.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/Theme.h"
#include "KVL/UI/WindowHost.h"
#include "TestUtil.h"
#include "ui/ToolkitFixture.h"
#include "ui/X11TestBase_posix.h"

// After our headers: Xlib defines macros with common names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

using namespace KVL::UI;
using KVL::Platform::TEnvironmentOverride;
using X11Testing::PumpUntil;
using X11Testing::Xdotool;

namespace {

class TTestForm : public TKVLForm {
public:
  std::string ClassName() const override { return "TOnduX11TestForm"; }
};

// Takes the keyboard, Enter included, and keeps what it got.
class TKeyRecorder : public TKVLControl {
public:
  explicit TKeyRecorder(TKVLControl* owner) : TKVLControl(owner) { SetTabStop(true); }
  bool WantsKey(TKVLKey key) const override { return key == TKVLKey::kEnter; }
  bool KeyDown(TKVLKey key, TKVLShiftState shift) override {
    Keys.push_back(key);
    Shifts.push_back(shift.Shift);
    return true;
  }
  bool KeyChar(const std::string& utf8) override {
    Text += utf8;
    return true;
  }
  std::vector<TKVLKey> Keys;
  std::vector<bool> Shifts;
  std::string Text;
};

class X11Host : public X11Testing::TX11TestBase {
protected:
  std::string Property(Window w, const char* name) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(D(), w, XInternAtom(D(), name, False), 0, 4096, False, AnyPropertyType, &type, &format,
                           &count, &after, &data) != Success ||
        !data)
      return std::string();
    std::string value(reinterpret_cast<char*>(data), count * (format == 32 ? sizeof(long) : format / 8));
    XFree(data);
    return value;
  }

  // Shows the form and serves until the server shows its window.
  void ShowAndWait(TKVLForm& form) {
    form.Show();
    ASSERT_TRUE(PumpUntil([&] { return Viewable(W(form)); }));
  }

  // The window's pixels as 0xRRGGBB.
  std::vector<uint32_t> Grab(Window w, int width, int height) {
    XSync(D(), False);
    XImage* image = XGetImage(D(), w, 0, 0, width, height, AllPlanes, ZPixmap);
    std::vector<uint32_t> pixels;
    if (!image) return pixels;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y)) & 0xFFFFFFu);
    XDestroyImage(image);
    return pixels;
  }

  // Sets (or with an empty text removes) Xft.dpi in the root's resources, as a desktop does.
public:
  void SetXftDpi(const std::string& resources) {
    const Atom rm = XInternAtom(D(), "RESOURCE_MANAGER", False);
    if (resources.empty())
      XDeleteProperty(D(), DefaultRootWindow(D()), rm);
    else
      XChangeProperty(D(), DefaultRootWindow(D()), rm, XA_STRING, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(resources.data()), static_cast<int>(resources.size()));
    XSync(D(), False);
  }
};

} // namespace

TEST_F(X11Host, ShownFormNamesItsClassCaptionProcessAndStateAtAFixedCentredSize) {
  TTestForm form;
  form.SetCaption("Setup \xE2\x80\x93 ONDU");
  form.SetClientSize96(300, 200);
  form.SetTopMost(true);
  ShowAndWait(form);
  const Window w = W(form);
  const Atom above = XInternAtom(D(), "_NET_WM_STATE_ABOVE", False);
  EXPECT_EQ(Property(w, "_NET_WM_STATE"), std::string(reinterpret_cast<const char*>(&above), sizeof(long)));

  // What other programs and xdotool search by.
  EXPECT_EQ(KVL::Platform::FindTopLevelWindows("TOnduX11TestForm"), std::vector<intptr_t>{static_cast<intptr_t>(w)});
  XClassHint hint{};
  ASSERT_TRUE(XGetClassHint(D(), w, &hint));
  EXPECT_STREQ(hint.res_name, "TOnduX11TestForm");
  EXPECT_STREQ(hint.res_class, "TOnduX11TestForm");
  XFree(hint.res_name);
  XFree(hint.res_class);
  EXPECT_EQ(KVL::Platform::WindowProcessId(static_cast<intptr_t>(w)), KVL::Platform::CurrentProcessId());
  EXPECT_EQ(Property(w, "_NET_WM_NAME"), "Setup \xE2\x80\x93 ONDU");

  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(D(), w, &a));
  EXPECT_EQ(a.width, 300);
  EXPECT_EQ(a.height, 200);
  EXPECT_EQ(a.x, (DisplayWidth(D(), DefaultScreen(D())) - 300) / 2);
  EXPECT_EQ(a.y, (DisplayHeight(D(), DefaultScreen(D())) - 200) / 2);
  XSizeHints hints{};
  long supplied = 0;
  ASSERT_TRUE(XGetWMNormalHints(D(), w, &hints, &supplied));
  EXPECT_EQ(hints.min_width, 300);
  EXPECT_EQ(hints.max_width, 300);
  EXPECT_EQ(hints.min_height, 200);
  EXPECT_EQ(hints.max_height, 200);

  form.SetCaption("Second");
  ASSERT_TRUE(PumpUntil([&] { return Property(w, "_NET_WM_NAME") == "Second"; }));
  form.Hide();
  EXPECT_TRUE(PumpUntil([&] { return !Viewable(w); }));
}

TEST_F(X11Host, WindowShowsWhatTheFormPaints) {
  // Both schemes: the conversion to the visual must keep every colour channel in place.
  for (bool dark : {false, true}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    TKVLApplication::SetDarkMode(dark);
    TTestForm form;
    form.SetClientSize96(160, 90);
    auto* button = form.CreateOwned<TKVLButton>();
    button->SetCaption("OK");
    button->SetBounds(20, 20, 80, 26);
    button->SetParent(&form);
    ShowAndWait(form);

    TKVLBitmap expected(form.ClientWidth(), form.ClientHeight());
    form.PaintTo(*CreateBitmapCanvas(expected, form.CurrentDpi()));
    std::vector<uint32_t> got;
    auto matches = [&] {
      got = Grab(W(form), expected.Width(), expected.Height());
      if (got.size() != static_cast<size_t>(expected.Width()) * expected.Height()) return false;
      for (size_t i = 0; i < got.size(); ++i)
        if (got[i] != (expected.Data()[i] & 0xFFFFFFu)) return false;
      return true;
    };
    EXPECT_TRUE(PumpUntil(matches, 3000));
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0], StyleColors().Window.Rgb);
  }
}

TEST_F(X11Host, ServerInputReachesTheForm) {
  TTestForm form;
  form.SetClientSize96(200, 120);
  int clicks = 0;
  auto* button = form.CreateOwned<TKVLButton>();
  button->SetCaption("Go");
  button->SetBounds(10, 10, 100, 30);
  button->SetParent(&form);
  button->OnClick = [&](TKVLControl&) { ++clicks; };
  auto* recorder = form.CreateOwned<TKeyRecorder>();
  recorder->SetBounds(10, 60, 100, 30);
  recorder->SetParent(&form);
  ShowAndWait(form);
  const std::string id = std::to_string(W(form));

  // A real pointer: moved over the button and pressed through the server's test extension.
  if (!Xdotool({"mousemove", "--window", id, "40", "25", "click", "1"})) GTEST_SKIP() << "xdotool is not usable";
  EXPECT_TRUE(PumpUntil([&] { return clicks == 1; }));
  // Outside the button: no click.
  ASSERT_TRUE(Xdotool({"mousemove", "--window", id, "150", "100", "click", "1"}));
  PumpUntil([] { return false; }, 200);
  EXPECT_EQ(clicks, 1);

  recorder->SetFocus();
  ASSERT_TRUE(Xdotool({"key", "--window", id, "Return", "a", "shift+b", "space", "Left", "ctrl+c"}));
  EXPECT_TRUE(PumpUntil([&] { return recorder->Keys.size() == 3; }));
  EXPECT_EQ(recorder->Keys, (std::vector<TKVLKey>{TKVLKey::kEnter, TKVLKey::kSpace, TKVLKey::kLeft}));
  // Ctrl+C is no text: it arrives as its control character, a command for the clipboard.
  EXPECT_TRUE(PumpUntil([&] { return recorder->Text == "aB \x03"; })) << recorder->Text;
}

TEST_F(X11Host, CloseRequestsAreIgnoredWhileCloseIsDisabled) {
  TTestForm form;
  form.SetClientSize96(120, 80);
  ShowAndWait(form);
  const intptr_t handle = form.Host()->NativeHandle();

  // Another thread sends, as the installer's worker does; the host's answer to the ping after
  // the request ends the wait long before its 5 seconds.
  auto sendClose = [&] {
    std::atomic<bool> done{false};
    const auto start = std::chrono::steady_clock::now();
    std::thread sender([&] {
      KVL::Platform::SendCloseRequest(handle);
      done = true;
    });
    PumpUntil([&] { return done.load(); }, 8000);
    sender.join();
    return std::chrono::steady_clock::now() - start;
  };
  form.SetCloseEnabled(false);
  EXPECT_LT(sendClose(), std::chrono::seconds(3));
  EXPECT_TRUE(form.Visible());
  EXPECT_FALSE(Property(static_cast<Window>(handle), "_MOTIF_WM_HINTS").empty());

  form.SetCloseEnabled(true);
  EXPECT_LT(sendClose(), std::chrono::seconds(3));
  EXPECT_FALSE(form.Visible());
  EXPECT_TRUE(Property(static_cast<Window>(handle), "_MOTIF_WM_HINTS").empty());
}

TEST_F(X11Host, XftDpiChangesRescaleTheForm) {
  TTestForm form;
  form.SetClientSize96(200, 100);
  ShowAndWait(form);
  const Window w = W(form);
  auto size = [&] {
    XWindowAttributes a;
    XGetWindowAttributes(D(), w, &a);
    return std::make_pair(a.width, a.height);
  };
  struct TRestore {
    X11Host* test;
    ~TRestore() { test->SetXftDpi(""); }
  } restore{this};

  SetXftDpi("Xft.antialias:\t1\nXft.dpi:\t144\n");
  EXPECT_TRUE(PumpUntil([&] { return form.CurrentDpi() == 144; }));
  EXPECT_EQ(form.Host()->Dpi(), 144);
  EXPECT_EQ(TKVLApplication::ScreenDpi(), 144);
  EXPECT_TRUE(PumpUntil([&] { return size() == std::make_pair(300, 150); }));
  EXPECT_EQ(NativeScreenDpi(), 144);

  SetXftDpi("");
  EXPECT_TRUE(PumpUntil([&] { return form.CurrentDpi() == 96; }));
  EXPECT_TRUE(PumpUntil([&] { return size() == std::make_pair(200, 100); }));
}

// Needs no display: the choice between the override, gsettings and GTK_THEME.
TEST(X11DarkMode, OverrideThenGsettingsThenGtkTheme) {
  TestUtil::TTempDir dir;
  auto fakeGsettings = [&](const std::string& folder, const std::string& body) {
    std::filesystem::create_directories(dir.File(folder));
    const std::string path = dir.File(folder + "/gsettings");
    TestUtil::WriteWholeFile(path, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  };
  fakeGsettings("dark", "echo \"'prefer-dark'\"");
  fakeGsettings("default", "echo \"'default'\"");
  fakeGsettings("broken", "echo 'No such schema' >&2; exit 1");
  fakeGsettings("hangs", "exec sleep 20");
  std::filesystem::create_directories(dir.File("none"));
  struct TCase {
    const char* scheme;  // KVL_COLOR_SCHEME, nullptr: unset
    std::string path;    // folder of the gsettings stand-in ("none": no gsettings on PATH at all)
    const char* gtkTheme;
    bool dark;
  };
  const TCase cases[] = {
      {"dark", "default", nullptr, true},
      {"LIGHT", "dark", "Adwaita:dark", false},
      {nullptr, "dark", nullptr, true},
      {nullptr, "default", "Adwaita:dark", false},        // gsettings answers: GTK_THEME is not asked
      {nullptr, "broken", "Adwaita:dark", true},          // no answer: the theme's name decides
      {nullptr, "hangs", "Adwaita:dark", true},
      {nullptr, "none", "Adwaita:dark", true},
      {nullptr, "none", "Adwaita", false},
      {nullptr, "none", nullptr, false},
      {"purple", "none", nullptr, false},                 // an unknown override is no override
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.scheme ? c.scheme : "-") + " " + c.path + " " + (c.gtkTheme ? c.gtkTheme : "-"));
    TEnvironmentOverride scheme("KVL_COLOR_SCHEME",
                                c.scheme ? std::optional<std::string>(c.scheme) : std::nullopt);
    // The stand-in shadows a real gsettings; sleep stays reachable for the one that hangs.
    TEnvironmentOverride path("PATH", c.path == "none" ? dir.File(c.path) : dir.File(c.path) + ":/usr/bin:/bin");
    TEnvironmentOverride theme("GTK_THEME", c.gtkTheme ? std::optional<std::string>(c.gtkTheme) : std::nullopt);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(NativeDarkModePreferred(), c.dark);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
}
