// What the X11 window tests share: a second connection to look at the server, and serving the main thread.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/UI/Application.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/WindowHost.h"
#include "TestUtil.h"
#include "ui/ToolkitFixture.h"

// After our headers: Xlib defines macros with common names.
#include <X11/Xlib.h>

namespace X11Testing {

struct TDisplayCloser {
  void operator()(Display* d) const { XCloseDisplay(d); }
};
using TDisplay = std::unique_ptr<Display, TDisplayCloser>;

// Serves the main thread until done() holds or timeoutMs passed; the last done().
inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    KVL::Platform::ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// Runs xdotool to its end while serving the main thread: a real pointer and keyboard through
// the server's test extension, grabs included. False when it cannot run or fails.
inline bool Xdotool(const std::vector<std::string>& args) {
  KVL::Platform::TProcess p;
  try {
    p = KVL::Platform::StartProcess("xdotool", args);
  } catch (const KVL::Platform::EKVLProcessError&) {
    return false;
  }
  return TestUtil::WaitForExitServing(p, 10000) && p.ExitCode() == 0;
}

// Native X11 hosts for the test's forms, and a connection of the test's own (skips without a display).
class TX11TestBase : public ToolkitTest::TToolkitTest {
protected:
  void SetUp() override {
    TToolkitTest::SetUp();
    if (!KVL::UI::NativeHostAvailable()) GTEST_SKIP() << "no X display";
    display_.reset(XOpenDisplay(nullptr));
    ASSERT_NE(display_, nullptr);
    KVL::UI::TKVLApplication::SetHostFactory(&KVL::UI::CreateNativeHost);
    KVL::UI::TKVLApplication::SetScreenDpi(KVL::UI::NativeScreenDpi());
  }

  Display* D() { return display_.get(); }
  static Window W(const KVL::UI::TKVLForm& form) { return static_cast<Window>(form.Host()->NativeHandle()); }

  bool Viewable(Window w) {
    XWindowAttributes a;
    return XGetWindowAttributes(D(), w, &a) && a.map_state == IsViewable;
  }

  TDisplay display_;
};

} // namespace X11Testing
