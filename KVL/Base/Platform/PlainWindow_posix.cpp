// X11 plain window: its own connection, a poll loop until WM_DELETE_WINDOW or the lifetime.
#include "KVL/Base/Platform/PlainWindow.h"

#include <poll.h>

#include <chrono>
#include <vector>

#include "KVL/Base/Platform/Process.h"

// After our headers: Xlib defines macros with common names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace KVL::Platform {

TPlainWindowEnd RunPlainWindow(const std::string& className, const std::string& title, int lifetimeMs,
                               bool ignoreClose) {
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) return TPlainWindowEnd::peNoWindow;
  const int screen = DefaultScreen(dpy);
  const Window root = RootWindow(dpy, screen);
  XSetWindowAttributes attrs{};
  attrs.background_pixel = WhitePixel(dpy, screen);
  attrs.event_mask = StructureNotifyMask;
  const Window w = XCreateWindow(dpy, root, 0, 0, 200, 100, 0, CopyFromParent, InputOutput, CopyFromParent,
                                 CWBackPixel | CWEventMask, &attrs);
  if (!w) {
    XCloseDisplay(dpy);
    return TPlainWindowEnd::peFailed;
  }
  std::vector<char> name(className.begin(), className.end());
  name.push_back(0);
  XClassHint hint{name.data(), name.data()};
  XSetClassHint(dpy, w, &hint);
  XStoreName(dpy, w, title.c_str());
  const Atom utf8 = XInternAtom(dpy, "UTF8_STRING", False);
  XChangeProperty(dpy, w, XInternAtom(dpy, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
  const unsigned long pid = CurrentProcessId();
  XChangeProperty(dpy, w, XInternAtom(dpy, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  const Atom protocolsAtom = XInternAtom(dpy, "WM_PROTOCOLS", False);
  const Atom deleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
  const Atom ping = XInternAtom(dpy, "_NET_WM_PING", False);
  Atom protocols[] = {deleteWindow, ping};
  XSetWMProtocols(dpy, w, protocols, 2);
  XMapWindow(dpy, w);
  XFlush(dpy);

  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(lifetimeMs);
  TPlainWindowEnd result = TPlainWindowEnd::peExpired;
  for (bool running = true; running;) {
    while (running && XPending(dpy) > 0) {
      XEvent e;
      XNextEvent(dpy, &e);
      if (e.type != ClientMessage || e.xclient.message_type != protocolsAtom) continue;
      const Atom what = static_cast<Atom>(e.xclient.data.l[0]);
      if (what == deleteWindow && !ignoreClose) {
        result = TPlainWindowEnd::peClosed;
        running = false;
      } else if (what == ping) {
        e.xclient.window = root;
        XSendEvent(dpy, root, False, SubstructureNotifyMask | SubstructureRedirectMask, &e);
        XFlush(dpy);
      }
    }
    if (!running) break;
    int wait = -1;
    if (lifetimeMs > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
      if (left <= 0) break;
      wait = static_cast<int>(left);
    }
    pollfd p{ConnectionNumber(dpy), POLLIN, 0};
    poll(&p, 1, wait);
  }
  XDestroyWindow(dpy, w);
  XCloseDisplay(dpy);
  return result;
}

} // namespace KVL::Platform
