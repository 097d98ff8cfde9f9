// Platform service: a bare top-level window of a given class, for stand-in programs and tests.
#pragma once

#include <string>

namespace KVL::Platform {

enum class TPlainWindowEnd {
  peClosed,     // a close request closed it
  peExpired,    // its lifetime ran out
  peNoWindow,   // this system cannot show windows (POSIX: no display opens)
  peFailed      // the window system refused the window
};

// Shows a small top-level window of window class className (X11: both parts of WM_CLASS,
// with _NET_WM_PID; it answers _NET_WM_PING) titled title, and serves it until it ends.
// A close request (WM_CLOSE, WM_DELETE_WINDOW) closes it unless ignoreClose; with
// lifetimeMs > 0 it closes itself after that time. Blocks the calling thread meanwhile.
TPlainWindowEnd RunPlainWindow(const std::string& className, const std::string& title, int lifetimeMs = 0,
                               bool ignoreClose = false);

} // namespace KVL::Platform
