// The X11 host's drop-down placement and dismissal, and the CLIPBOARD selection, under a real X server.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/UI/Application.h"
#include "KVL/UI/Clipboard.h"
#include "KVL/UI/ComboBox.h"
#include "KVL/UI/Edit.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/ListBox.h"
#include "KVL/UI/WindowHost.h"
#include "TestUtil.h"
#include "ui/ToolkitFixture.h"
#include "ui/X11TestBase_posix.h"

// After our headers: Xlib defines macros with common names.
#include "KVL/UI/X11Connection_posix.h"
#include <X11/Xatom.h>
#include <X11/Xlib.h>

using namespace KVL::UI;
using X11Testing::PumpUntil;
using X11Testing::Xdotool;
using X11Testing::TDisplay;

namespace {

class X11Test : public X11Testing::TX11TestBase {
protected:
  TKVLPoint RootPosition(Window w, TKVLPoint pt) {
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(D(), w, DefaultRootWindow(D()), pt.X, pt.Y, &x, &y, &child);
    return {x, y};
  }
};

// A form with a drop-down list of three items and an edit below it.
struct TPopupForm {
  TKVLForm form;
  TKVLComboBox* combo = nullptr;
  TKVLEdit* edit = nullptr;
  int changes = 0;

  TPopupForm() {
    form.SetClientSize96(240, 160);
    combo = form.CreateOwned<TKVLComboBox>();
    combo->SetParent(&form);
    combo->SetBounds(20, 20, 150, 22);
    for (const char* text : {"Alpha", "Beta", "Gamma"}) combo->AddItem({text, -1, 0});
    combo->SetItemIndex(0);
    combo->OnChange = [this](TKVLComboBox&) { ++changes; };
    edit = form.CreateOwned<TKVLEdit>();
    edit->SetParent(&form);
    edit->SetBounds(20, 110, 200, 23);
  }
};

} // namespace

class X11Popup : public X11Test {};

TEST_F(X11Popup, OpensBelowTheComboBoxAndClosesOnAPressElsewhere) {
  TPopupForm f;
  f.form.Show();
  ASSERT_TRUE(PumpUntil([&] { return Viewable(W(f.form)); }));
  const TKVLRect combo = f.combo->ScreenRectInForm();
  const TKVLPoint bottomLeft = RootPosition(W(f.form), {combo.Left, combo.Bottom});
  EXPECT_EQ(f.form.Host()->ClientToScreen({combo.Left, combo.Bottom}), bottomLeft);
  const TKVLRect work = f.form.Host()->WorkArea();
  EXPECT_TRUE(work.Contains(bottomLeft));

  const std::string formId = std::to_string(W(f.form));
  const std::string comboX = std::to_string(combo.Left + 10), comboY = std::to_string(combo.Top + 5);
  if (!Xdotool({"mousemove", "--window", formId, comboX, comboY, "click", "1"})) GTEST_SKIP() << "xdotool is not usable";
  ASSERT_TRUE(PumpUntil([&] { return f.combo->DroppedDown() && Viewable(W(*f.combo->Popup())); }));
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(D(), W(*f.combo->Popup()), &a));
  EXPECT_EQ((TKVLPoint{a.x, a.y}), bottomLeft);

  struct Case {
    const char* what;
    std::vector<std::string> press;
  };
  const Case cases[] = {
      {"a press on the root window, outside every window of ours", {"mousemove", "1", "1", "click", "1"}},
      {"a press on the owner form outside the combo box",
       {"mousemove", "--window", formId, "10", std::to_string(f.form.ClientHeight() - 5), "click", "1"}},
      {"a press on the combo box itself", {"mousemove", "--window", formId, comboX, comboY, "click", "1"}},
  };
  for (const Case& c : cases) {
    if (!f.combo->DroppedDown()) {
      f.combo->DropDown();
      ASSERT_TRUE(PumpUntil([&] { return Viewable(W(*f.combo->Popup())); })) << c.what;
    }
    // Over another item, not chosen.
    f.combo->PopupList()->SetItemIndex(2);
    ASSERT_TRUE(Xdotool(c.press)) << c.what;
    EXPECT_TRUE(PumpUntil([&] { return !f.combo->DroppedDown(); })) << c.what;
    // Nothing reopens it afterwards.
    PumpUntil([] { return false; }, 200);
    EXPECT_FALSE(f.combo->DroppedDown()) << c.what;
    EXPECT_EQ(f.combo->ItemIndex(), 0) << c.what;
    EXPECT_EQ(f.changes, 0) << c.what;
    EXPECT_TRUE(PumpUntil([&] { return !Viewable(W(*f.combo->Popup())); })) << c.what;
  }

  // A press inside picks, and the pointer is free again afterwards.
  f.combo->DropDown();
  ASSERT_TRUE(PumpUntil([&] { return Viewable(W(*f.combo->Popup())); }));
  const TKVLRect item = f.combo->PopupList()->ItemRect(1);
  ASSERT_TRUE(Xdotool({"mousemove", "--window", std::to_string(W(*f.combo->Popup())), std::to_string(item.Left + 5),
                       std::to_string(item.Top + item.Height() / 2), "click", "1"}));
  EXPECT_TRUE(PumpUntil([&] { return f.combo->ItemIndex() == 1; }));
  EXPECT_FALSE(f.combo->DroppedDown());
  EXPECT_EQ(f.changes, 1);
  XSync(D(), False);
  const int grab = XGrabPointer(D(), DefaultRootWindow(D()), False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                                None, None, CurrentTime);
  EXPECT_EQ(grab, GrabSuccess);
  XUngrabPointer(D(), CurrentTime);
  XSync(D(), False);
}

TEST_F(X11Popup, OpensAboveAtTheBottomOfTheScreen) {
  TPopupForm f;
  f.form.SetPosition(TKVLPosition::poDefault);
  f.form.HandleNeeded();
  const int screenHeight = DisplayHeight(D(), DefaultScreen(D()));
  // Moved so that the combo box's bottom edge is 20 pixels above the screen's.
  const TKVLRect combo = f.combo->ScreenRectInForm();
  // Through the host's own connection, which made the window.
  XMoveWindow(X11::SharedDisplay(), W(f.form), 100, screenHeight - 20 - combo.Bottom);
  XSync(X11::SharedDisplay(), False);
  f.form.Show();
  ASSERT_TRUE(PumpUntil([&] { return Viewable(W(f.form)); }));
  ASSERT_TRUE(PumpUntil([&] { return RootPosition(W(f.form), {0, 0}).Y == screenHeight - 20 - combo.Bottom; }));
  const TKVLRect work = f.form.Host()->WorkArea();
  if (work.Bottom != screenHeight) GTEST_SKIP() << "a panel takes the bottom of the screen";
  f.combo->DropDown();
  ASSERT_TRUE(PumpUntil([&] { return Viewable(W(*f.combo->Popup())); }));
  const TKVLPoint topLeft = RootPosition(W(f.form), {combo.Left, combo.Top});
  XWindowAttributes a;
  ASSERT_TRUE(XGetWindowAttributes(D(), W(*f.combo->Popup()), &a));
  EXPECT_EQ(a.x, topLeft.X);
  EXPECT_EQ(a.y + a.height, topLeft.Y);
  f.combo->CloseUp();
}

class X11Clipboard : public X11Test {
protected:
  // Asks for the CLIPBOARD as another program would, from the test's own connection; the
  // main thread serves the host meanwhile. Returns the property's type and bytes.
  std::pair<Atom, std::string> Request(const char* target) {
    Window requestor = XCreateSimpleWindow(D(), DefaultRootWindow(D()), 0, 0, 1, 1, 0, 0, 0);
    const Atom property = XInternAtom(D(), "TEST_CLIP", False);
    XConvertSelection(D(), XInternAtom(D(), "CLIPBOARD", False), XInternAtom(D(), target, False), property, requestor,
                      CurrentTime);
    XFlush(D());
    XEvent e{};
    const bool answered =
        PumpUntil([&] { return XCheckTypedWindowEvent(D(), requestor, SelectionNotify, &e) == True; }, 3000);
    std::pair<Atom, std::string> result{0, std::string()};
    if (answered && e.xselection.property != 0) {
      Atom type;
      int format;
      unsigned long count, after;
      unsigned char* data = nullptr;
      if (XGetWindowProperty(D(), requestor, property, 0, 4096, True, AnyPropertyType, &type, &format, &count, &after,
                             &data) == Success &&
          data) {
        result.first = type;
        result.second.assign(reinterpret_cast<const char*>(data), count * (format == 32 ? sizeof(long) : 1));
        XFree(data);
      }
    }
    XDestroyWindow(D(), requestor);
    return result;
  }
};

TEST_F(X11Clipboard, CopiedTextGoesToOtherProgramsAndComesBack) {
  const std::string text = "C:\\Gr\xC3\xBC\xC3\x9F" "e \xE2\x9C\x93";
  SetClipboardText(text);
  EXPECT_EQ(ClipboardText(), text);

  EXPECT_EQ(Request("UTF8_STRING"), std::make_pair(XInternAtom(D(), "UTF8_STRING", False), text));
  EXPECT_EQ(Request("STRING"), std::make_pair(static_cast<Atom>(XA_STRING), std::string("C:\\Gr\xFC\xDF" "e ?")));
  const auto targets = Request("TARGETS");
  EXPECT_EQ(targets.first, XA_ATOM);
  const auto* atoms = reinterpret_cast<const long*>(targets.second.data());
  const std::vector<long> list(atoms, atoms + targets.second.size() / sizeof(long));
  EXPECT_NE(std::find(list.begin(), list.end(), static_cast<long>(XInternAtom(D(), "UTF8_STRING", False))), list.end());
  EXPECT_EQ(Request("PIXMAP").first, 0u);  // refused
}

TEST_F(X11Clipboard, PasteFromAnotherOwnerAndFromOneThatDoesNotAnswer) {
  // Another connection owns the selection and offers only STRING, from a thread of its own.
  TDisplay other(XOpenDisplay(nullptr));
  ASSERT_NE(other, nullptr);
  const Atom clipboard = XInternAtom(other.get(), "CLIPBOARD", False);
  const Window owner = XCreateSimpleWindow(other.get(), DefaultRootWindow(other.get()), 0, 0, 1, 1, 0, 0, 0);
  std::atomic<bool> serve{true};
  XSetSelectionOwner(other.get(), clipboard, owner, CurrentTime);
  XSync(other.get(), False);
  std::thread server([&] {
    while (serve) {
      while (XPending(other.get()) > 0) {
        XEvent e;
        XNextEvent(other.get(), &e);
        if (e.type != SelectionRequest) continue;
        const XSelectionRequestEvent& r = e.xselectionrequest;
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = r.requestor;
        reply.xselection.selection = r.selection;
        reply.xselection.target = r.target;
        reply.xselection.time = r.time;
        if (r.target == XA_STRING) {
          const std::string latin1 = "D:\\Caf\xE9";
          XChangeProperty(other.get(), r.requestor, r.property, XA_STRING, 8, PropModeReplace,
                          reinterpret_cast<const unsigned char*>(latin1.data()), static_cast<int>(latin1.size()));
          reply.xselection.property = r.property;
        }
        XSendEvent(other.get(), r.requestor, False, NoEventMask, &reply);
        XFlush(other.get());
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  const std::string pasted = ClipboardText();
  serve = false;
  server.join();
  EXPECT_EQ(pasted, "D:\\Caf\xC3\xA9");

  // An owner that never answers: an empty paste after about a second, the loop still served.
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ClipboardText(), "");
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GE(took, std::chrono::milliseconds(900));
  EXPECT_LT(took, std::chrono::seconds(3));
}

TEST_F(X11Clipboard, EditKeysCopyAndPasteThroughTheServer) {
  TPopupForm f;
  f.edit->SetText("abc");
  f.form.Show();
  ASSERT_TRUE(PumpUntil([&] { return Viewable(W(f.form)); }));
  f.edit->SetFocus();
  const std::string id = std::to_string(W(f.form));
  if (!Xdotool({"key", "--window", id, "ctrl+a", "ctrl+c", "End", "shift+Insert"}))
    GTEST_SKIP() << "xdotool is not usable";
  EXPECT_TRUE(PumpUntil([&] { return f.edit->Text() == "abcabc"; })) << f.edit->Text();
  ASSERT_TRUE(Xdotool({"key", "--window", id, "shift+Home", "ctrl+x"}));
  EXPECT_TRUE(PumpUntil([&] { return f.edit->Text().empty(); })) << f.edit->Text();
  EXPECT_EQ(ClipboardText(), "abcabc");
  ASSERT_TRUE(Xdotool({"key", "--window", id, "ctrl+v"}));
  EXPECT_TRUE(PumpUntil([&] { return f.edit->Text() == "abcabc"; })) << f.edit->Text();
}
