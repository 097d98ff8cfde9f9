// The X11 window host's connection as the clipboard shares it (POSIX sources only).
#pragma once

#include <functional>

#include <X11/Xlib.h>

namespace KVL::UI::X11 {

// The host's display connection, served by the main thread's dispatching waits; nullptr
// when no display opens.
Display* SharedDisplay();
// Events for a window that shows no form (the clipboard's owner window) go to handler,
// inside the connection's dispatching; an empty handler removes the window's.
void SetWindowHandler(Window window, std::function<void(XEvent&)> handler);
// Flushes requests and makes sure events Xlib already read get served.
void FlushAndServe();

} // namespace KVL::UI::X11
