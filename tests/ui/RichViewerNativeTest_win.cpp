// The license viewer's system rich-edit window on a real Win32 form: content, zoom, colours, placement, keys and links.
#include <gtest/gtest.h>

#include <windows.h>

#include <richedit.h>

#include <memory>
#include <string>

#include "KVL/Base/Platform/WinString.h"
#include "KVL/Base/Streams.h"
#include "KVL/UI/Application.h"
#include "KVL/UI/Button.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/HeadlessHost.h"
#include "KVL/UI/Theme.h"
#include "setup/ui/RichViewer.h"

using namespace KVL::UI;
using Setup::UI::Controls::TKVLRichViewer;

namespace {

constexpr char kLicense[] = R"({\rtf1\ansi{\fonttbl{\f0 Arial;}}\f0 One\par {\b Two} see www.example.org\par})";

COLORREF Ref(TKVLColor c) { return RGB(c.R(), c.G(), c.B()); }

// Rich-edit windows end paragraphs with CR alone; the document model with CR LF.
std::string Paragraphs(std::string text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i] == '\n' ? '\r' : text[i];
  }
  while (!out.empty() && out.back() == '\r') out.pop_back();
  return out;
}

class RichViewerNativeTest : public ::testing::Test {
protected:
  void SetUp() override {
    Reset();
    TKVLApplication::SetHostFactory(&CreateNativeHost);
    form_ = std::make_unique<TKVLForm>();
    form_->SetClientSize96(320, 240);
    // A page between form and viewer, as in the wizard.
    page_ = form_->CreateOwned<TKVLControl>();
    page_->SetParent(form_.get());
    page_->SetBounds(0, 0, 320, 200);
    viewer_ = page_->CreateOwned<TKVLRichViewer>();
    viewer_->SetParent(page_);
    viewer_->SetBounds(10, 20, 200, 150);
    viewer_->SetScrollBars(TKVLScrollBars::ssVertical);
    // Loaded before the form has a window: the system window made later shows it.
    KVL::Streams::TKVLMemoryStream stream;
    stream.WriteBuffer(kLicense, sizeof kLicense - 1);
    stream.SetPosition(0);
    viewer_->LoadFromStream(&stream);
    button_ = form_->CreateOwned<TKVLButton>();
    button_->SetParent(form_.get());
    button_->SetBounds(10, 205, 80, 30);
    button_->SetTabStop(true);
    button_->OnClick = [this](TKVLControl&) { ++clicks_; };
    form_->SetDefaultButton(button_);
    form_->HandleNeeded();
    if (HeadlessHostOf(*form_) != nullptr) GTEST_SKIP() << "no window can be made here (no display)";
    hwnd_ = reinterpret_cast<HWND>(form_->Host()->NativeHandle());
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

  HWND Container() const { return FindWindowExW(hwnd_, nullptr, L"TKVLNativeChild", nullptr); }
  HWND Edit() const { return FindWindowExW(Container(), nullptr, L"RICHEDIT50W", nullptr); }

  std::string EditText() const {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(Edit())) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(Edit(), text.data(), static_cast<int>(text.size()))));
    return KVL::Platform::Narrow(text.data(), text.size());
  }

  // The container's rectangle in the form's client pixels.
  TKVLRect Placed() const {
    RECT r{};
    GetWindowRect(Container(), &r);
    MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
  }

  // The system window's rectangle for the viewer: inside the frame's one-pixel border.
  static TKVLRect Inside(TKVLRect r) { return {r.Left + 1, r.Top + 1, r.Right - 1, r.Bottom - 1}; }

  std::pair<WPARAM, LPARAM> Zoom() const {
    WPARAM numerator = 0;
    LPARAM denominator = 0;
    SendMessageW(Edit(), EM_GETZOOM, reinterpret_cast<WPARAM>(&numerator), reinterpret_cast<LPARAM>(&denominator));
    return {numerator, denominator};
  }

  std::unique_ptr<TKVLForm> form_;
  TKVLControl* page_ = nullptr;
  TKVLRichViewer* viewer_ = nullptr;
  TKVLButton* button_ = nullptr;
  HWND hwnd_ = nullptr;
  int clicks_ = 0;
};

} // namespace

TEST_F(RichViewerNativeTest, ShowsTheDocumentReadOnlyAndReplacesIt) {
  ASSERT_NE(Edit(), nullptr);
  const LONG style = GetWindowLongW(Edit(), GWL_STYLE);
  EXPECT_TRUE(style & ES_READONLY);
  EXPECT_TRUE(style & WS_VSCROLL);
  EXPECT_EQ(Paragraphs(EditText()), Paragraphs(viewer_->Text()));
  EXPECT_EQ(Paragraphs(EditText()), "One\rTwo see www.example.org");

  // Plain text replaces the document, also when it looks like RTF.
  struct TCase {
    const char* Text;
  };
  for (const TCase& c : {TCase{"summary\r\nline"}, TCase{"{\\rtf1 not parsed}"}, TCase{"\xC3\xBC and \xE2\x82\xAC"}}) {
    viewer_->SetText(c.Text);
    EXPECT_EQ(Paragraphs(EditText()), Paragraphs(c.Text)) << c.Text;
  }

  // The same license loaded twice shows once.
  for (int i = 0; i < 2; ++i) {
    KVL::Streams::TKVLMemoryStream stream;
    stream.WriteBuffer(kLicense, sizeof kLicense - 1);
    stream.SetPosition(0);
    viewer_->LoadFromStream(&stream);
  }
  EXPECT_EQ(Paragraphs(EditText()), "One\rTwo see www.example.org");
}

TEST_F(RichViewerNativeTest, ZoomAndColoursFollowTheViewerAndTheStyle) {
  ASSERT_NE(Edit(), nullptr);
  EXPECT_EQ(Zoom(), (std::pair<WPARAM, LPARAM>{64, 64}));
  viewer_->Viewer().ApplyZoom(200);
  EXPECT_EQ(Zoom(), (std::pair<WPARAM, LPARAM>{128, 64}));
  viewer_->Viewer().ApplyZoom(0);  // out of range: unchanged
  EXPECT_EQ(Zoom(), (std::pair<WPARAM, LPARAM>{128, 64}));
  viewer_->Viewer().ApplyZoom(100);

  auto defaultColor = [&] {
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    SendMessageW(Edit(), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
    return format.crTextColor;
  };
  // EM_SETBKGNDCOLOR answers the colour it replaces.
  auto background = [&] {
    const LRESULT old = SendMessageW(Edit(), EM_SETBKGNDCOLOR, 0, RGB(1, 2, 3));
    SendMessageW(Edit(), EM_SETBKGNDCOLOR, 0, old);
    return static_cast<COLORREF>(old);
  };
  // The colour the license's first letter shows in (it has none of its own).
  auto firstLetterColor = [&] {
    CHARRANGE first{0, 1};
    SendMessageW(Edit(), EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&first));
    CHARFORMAT2W format{};
    format.cbSize = sizeof format;
    SendMessageW(Edit(), EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    return (format.dwEffects & CFE_AUTOCOLOR) ? GetSysColor(COLOR_WINDOWTEXT) : format.crTextColor;
  };
  EXPECT_EQ(defaultColor(), Ref(StyleColors().Text));
  EXPECT_EQ(background(), Ref(StyleColors().EditBackground));
  EXPECT_EQ(firstLetterColor(), Ref(StyleColors().Text));
  TKVLApplication::SetDarkMode(true);
  EXPECT_EQ(defaultColor(), Ref(StyleColors().Text));
  EXPECT_EQ(background(), Ref(StyleColors().EditBackground));
  EXPECT_EQ(firstLetterColor(), Ref(StyleColors().Text));

  // A move to a monitor at 144 dpi: zoom 150 % and the window scaled with the viewer.
  form_->Show();
  RECT suggested{0, 0, 600, 500};
  GetWindowRect(hwnd_, &suggested);
  suggested.right = suggested.left + 600;
  suggested.bottom = suggested.top + 500;
  SendMessageW(hwnd_, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(Zoom(), (std::pair<WPARAM, LPARAM>{96, 64}));
  EXPECT_EQ(Placed(), Inside(viewer_->ScreenRectInForm()));
  EXPECT_EQ(viewer_->ScreenRectInForm(), (TKVLRect{15, 30, 315, 255}));
}

TEST_F(RichViewerNativeTest, PlacementFollowsBoundsVisibilityAndLife) {
  ASSERT_NE(Container(), nullptr);
  form_->Show();
  EXPECT_TRUE(IsWindowVisible(Container()));
  EXPECT_EQ(Placed(), (TKVLRect{11, 21, 209, 169}));
  viewer_->SetBounds(20, 30, 100, 80);
  EXPECT_EQ(Placed(), (TKVLRect{21, 31, 119, 109}));
  page_->SetBounds(5, 7, 320, 200);  // the parent moves
  EXPECT_EQ(Placed(), (TKVLRect{26, 38, 124, 116}));

  // Wizard pages are hidden and shown as the user steps.
  page_->Hide();
  EXPECT_FALSE(IsWindowVisible(Container()));
  page_->Show();
  EXPECT_TRUE(IsWindowVisible(Container()));
  viewer_->Hide();
  EXPECT_FALSE(IsWindowVisible(Container()));
  viewer_->Show();
  EXPECT_TRUE(IsWindowVisible(Container()));

  // Taken off the form, then freed: the window goes with it.
  const HWND container = Container();
  viewer_->SetParent(nullptr);
  EXPECT_FALSE(IsWindow(container));
  viewer_->SetParent(page_);
  ASSERT_NE(Container(), nullptr);
  EXPECT_EQ(Paragraphs(EditText()), "One\rTwo see www.example.org");
  const HWND again = Container();
  page_->DestroyComponent(viewer_);
  EXPECT_FALSE(IsWindow(again));
  EXPECT_EQ(Container(), nullptr);
}

TEST_F(RichViewerNativeTest, FormKeysAndLinksLeaveTheSystemWindow) {
  form_->Show();
  SetActiveWindow(hwnd_);
  ASSERT_NE(Edit(), nullptr);
  std::string clicked;
  viewer_->Viewer().OnLinkClick = [&](const std::string& link) { clicked = link; };

  // The link's notification as the rich-edit window sends it to its parent.
  const std::wstring text = KVL::Platform::Wide(Paragraphs(EditText()));
  const LONG start = static_cast<LONG>(text.find(L"www.example.org"));
  ENLINK link{};
  link.nmhdr.hwndFrom = Edit();
  link.nmhdr.idFrom = 0;
  link.nmhdr.code = EN_LINK;
  link.chrg = {start, start + 15};
  link.msg = WM_LBUTTONDOWN;
  SendMessageW(Container(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&link));
  EXPECT_EQ(clicked, "");
  link.msg = WM_LBUTTONUP;
  SendMessageW(Container(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&link));
  EXPECT_EQ(clicked, "www.example.org");

  // The form's focus elsewhere: the keyboard is the form window's. Clicked into, the system
  // window has it and the form's focus moves to the viewer.
  form_->SetActiveControl(button_);
  EXPECT_EQ(GetFocus(), hwnd_);
  SetFocus(Edit());
  EXPECT_EQ(form_->ActiveControl(), &viewer_->Viewer());
  // Enter is the default button's; Tab moves on to the button and the keyboard goes back to
  // the form's window.
  SendMessageW(Edit(), WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(clicks_, 1);
  SendMessageW(Edit(), WM_KEYDOWN, VK_TAB, 0);
  EXPECT_EQ(form_->ActiveControl(), button_);
  EXPECT_EQ(GetFocus(), hwnd_);
  // Back into the viewer by the form's own focus: the keyboard follows.
  form_->SetActiveControl(&viewer_->Viewer());
  EXPECT_EQ(GetFocus(), Edit());

  // The form's window has the keyboard again (as after the window was activated again): the
  // first scrolling key takes it back to the system window, which scrolls.
  std::string lines;
  for (int i = 0; i < 80; ++i) lines += "line\r\n";
  viewer_->SetText(lines);
  SetFocus(hwnd_);
  auto scrolled = [&] {
    POINT pos{};
    SendMessageW(Edit(), EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&pos));
    return pos.y;
  };
  EXPECT_EQ(scrolled(), 0);
  SendMessageW(hwnd_, WM_KEYDOWN, VK_NEXT, 0);
  EXPECT_GT(scrolled(), 0);
  EXPECT_EQ(GetFocus(), Edit());
  EXPECT_EQ(viewer_->Viewer().ScrollPos(), 0);  // the hidden model stays where it was

  page_->Hide();
  EXPECT_NE(GetFocus(), Edit());
}
