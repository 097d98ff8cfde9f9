// The Win32 host's drop-down placement and dismissal, Ctrl+letter keys, and the CF_UNICODETEXT clipboard.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "KVL/Base/Platform/WinString.h"
#include "KVL/UI/Application.h"
#include "KVL/UI/Clipboard.h"
#include "KVL/UI/ComboBox.h"
#include "KVL/UI/Edit.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/HeadlessHost.h"
#include "KVL/UI/ListBox.h"
#include "ui/ToolkitFixture.h"

using namespace KVL::UI;

namespace {

class WinPopup : public ToolkitTest::TToolkitTest {
protected:
  void SetUp() override {
    TToolkitTest::SetUp();
    TKVLApplication::SetHostFactory(&CreateNativeHost);
    form_ = std::make_unique<TKVLForm>();
    form_->SetClientSize96(240, 160);
    form_->SetPosition(TKVLPosition::poDefault);
    form_->HandleNeeded();
    if (HeadlessHostOf(*form_) != nullptr) GTEST_SKIP() << "no window can be made here (no display)";
    hwnd_ = reinterpret_cast<HWND>(form_->Host()->NativeHandle());
    combo_ = form_->CreateOwned<TKVLComboBox>();
    combo_->SetParent(form_.get());
    combo_->SetBounds(20, 20, 150, 22);
    for (const char* text : {"Alpha", "Beta", "Gamma"}) combo_->AddItem({text, -1, 0});
    combo_->SetItemIndex(0);
    combo_->OnChange = [this](TKVLComboBox&) { ++changes_; };
    edit_ = form_->CreateOwned<TKVLEdit>();
    edit_->SetParent(form_.get());
    edit_->SetBounds(20, 110, 200, 23);
  }

  void TearDown() override {
    form_.reset();
    TToolkitTest::TearDown();
  }

  HWND PopupWindow() const { return reinterpret_cast<HWND>(combo_->Popup()->Host()->NativeHandle()); }

  std::unique_ptr<TKVLForm> form_;
  HWND hwnd_ = nullptr;
  TKVLComboBox* combo_ = nullptr;
  TKVLEdit* edit_ = nullptr;
  int changes_ = 0;
};

// Holds Ctrl (or Shift) down in the thread's keyboard state, as GetKeyState reads it.
class THeldKey {
public:
  explicit THeldKey(int vk) {
    GetKeyboardState(saved_);
    BYTE state[256];
    std::memcpy(state, saved_, sizeof state);
    state[vk] = 0x80;
    SetKeyboardState(state);
  }
  ~THeldKey() { SetKeyboardState(saved_); }
  THeldKey(const THeldKey&) = delete;
  THeldKey& operator=(const THeldKey&) = delete;

private:
  BYTE saved_[256]{};
};

} // namespace

TEST_F(WinPopup, PlacedBelowInScreenPixelsWithoutTakingTheActivation) {
  SetWindowPos(hwnd_, nullptr, 130, 90, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  form_->Show();
  POINT expected{20, 42};
  ASSERT_TRUE(::ClientToScreen(hwnd_, &expected));
  EXPECT_EQ(form_->Host()->ClientToScreen({20, 42}), (TKVLPoint{expected.x, expected.y}));
  const TKVLRect work = form_->Host()->WorkArea();
  EXPECT_FALSE(work.IsEmpty());

  combo_->DropDown();
  ASSERT_TRUE(combo_->DroppedDown());
  RECT r{};
  GetWindowRect(PopupWindow(), &r);
  EXPECT_EQ(r.left, expected.x);
  EXPECT_EQ(r.top, expected.y);
  EXPECT_EQ(r.right - r.left, combo_->Width());
  EXPECT_TRUE(IsWindowVisible(PopupWindow()));
  EXPECT_NE(GetActiveWindow(), PopupWindow());
  EXPECT_EQ(SendMessageW(PopupWindow(), WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(hwnd_), MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
            MA_NOACTIVATE);
  combo_->CloseUp();
}

TEST_F(WinPopup, ClosesWhenTheOwnerLosesActivationOrItsFrameIsPressed) {
  form_->Show();
  struct Case {
    const char* what;
    UINT msg;
    WPARAM wParam;
  };
  const Case cases[] = {
      {"the owner deactivated", WM_ACTIVATE, WA_INACTIVE},
      {"the application deactivated", WM_ACTIVATEAPP, FALSE},
      // The host looks at no hit code; the title bar's would start the system's move loop.
      {"a press on the owner's frame", WM_NCLBUTTONDOWN, HTNOWHERE},
  };
  for (const Case& c : cases) {
    combo_->DropDown();
    ASSERT_TRUE(combo_->DroppedDown()) << c.what;
    combo_->PopupList()->SetItemIndex(2);
    SendMessageW(hwnd_, c.msg, c.wParam, 0);
    EXPECT_FALSE(combo_->DroppedDown()) << c.what;
    EXPECT_FALSE(IsWindowVisible(PopupWindow())) << c.what;
    EXPECT_EQ(combo_->ItemIndex(), 0) << c.what;
    EXPECT_EQ(changes_, 0) << c.what;
  }
}

TEST_F(WinPopup, CtrlLettersAndInsertReachTheEditAsClipboardCommands) {
  form_->Show();
  edit_->SetFocus();
  edit_->SetText("abc");
  {
    THeldKey ctrl(VK_CONTROL);
    SendMessageW(hwnd_, WM_KEYDOWN, 'A', 0);
    SendMessageW(hwnd_, WM_KEYDOWN, 'C', 0);
  }
  EXPECT_EQ(edit_->SelectedText(), "abc");
  SendMessageW(hwnd_, WM_KEYDOWN, VK_END, 0);
  {
    THeldKey shift(VK_SHIFT);
    SendMessageW(hwnd_, WM_KEYDOWN, VK_INSERT, 0);
  }
  EXPECT_EQ(edit_->Text(), "abcabc");
  // A letter without Ctrl is text only through WM_CHAR.
  SendMessageW(hwnd_, WM_KEYDOWN, 'V', 0);
  EXPECT_EQ(edit_->Text(), "abcabc");
}

TEST(WinClipboard, TextRoundTripsThroughCfUnicodeText) {
  const std::string text = "C:\\Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80";
  NativeSetClipboardText(text);
  if (!OpenClipboard(nullptr)) GTEST_SKIP() << "the clipboard cannot be opened here";
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  std::wstring got;
  if (data) {
    got = static_cast<const wchar_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  EXPECT_EQ(got, KVL::Platform::Wide(text));
  EXPECT_EQ(NativeClipboardText(), text);
  NativeSetClipboardText("");
  EXPECT_EQ(NativeClipboardText(), "");
}
