"""Small X11 driver for the end-to-end tests: find windows, click, screenshot, ask to close."""
import ctypes
import ctypes.util
import os
import subprocess
import time


def _run(*args, check=True):
    return subprocess.run(args, check=check, capture_output=True, text=True).stdout


def find(name, timeout=30.0, exclude=()):
    """The id of a window whose title is exactly name, other than those excluded (waits for it)."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        out = _run("xdotool", "search", "--name", f"^{name}$", check=False)
        ids = [int(x) for x in out.split() if int(x) not in exclude]
        if ids:
            return ids[-1]
        time.sleep(0.05)
    raise TimeoutError(f"no window named {name!r}")


def gone(wid, timeout=30.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if subprocess.run(["xdotool", "getwindowname", str(wid)], capture_output=True).returncode != 0:
            return True
        out = _run("xwininfo", "-id", str(wid), check=False)
        if "IsUnMapped" in out or "IsUnviewable" in out:
            return True
        time.sleep(0.05)
    return False


def geometry(wid):
    out = _run("xwininfo", "-id", str(wid))
    vals = {}
    for line in out.splitlines():
        line = line.strip()
        for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"):
            if line.startswith(key + ":"):
                vals[key] = int(line.split(":")[1])
    return vals["Absolute upper-left X"], vals["Absolute upper-left Y"], vals["Width"], vals["Height"]


class Window:
    """A top-level window whose client area is client_w x client_h pixels; wine may draw its
    own frame inside the X window, which the offset accounts for."""

    def __init__(self, wid, client_w, client_h):
        self.wid = wid
        x, y, w, h = geometry(wid)
        self.ox = max(0, (w - client_w) // 2)
        self.oy = max(0, h - client_h - self.ox)
        self.x, self.y = x, y

    def click(self, cx, cy):
        x, y, _, _ = geometry(self.wid)
        _run("xdotool", "mousemove", "--sync", str(x + self.ox + cx), str(y + self.oy + cy), "click", "1")
        time.sleep(0.15)

    def screenshot(self, path):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        _run("import", "-window", str(self.wid), path)


def request_close(wid):
    """Sends WM_DELETE_WINDOW, as a window manager's close box does."""
    x11 = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11"))
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]

    class ClientMessage(ctypes.Structure):
        _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                    ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                    ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]

    class XEvent(ctypes.Union):
        _fields_ = [("xclient", ClientMessage), ("pad", ctypes.c_long * 24)]

    dpy = x11.XOpenDisplay(None)
    ev = XEvent()
    ev.xclient.type = 33  # ClientMessage
    ev.xclient.window = wid
    ev.xclient.message_type = x11.XInternAtom(dpy, b"WM_PROTOCOLS", 0)
    ev.xclient.format = 32
    ev.xclient.data[0] = x11.XInternAtom(dpy, b"WM_DELETE_WINDOW", 0)
    ev.xclient.data[1] = 0  # CurrentTime
    x11.XSendEvent(dpy, wid, 0, 0, ctypes.byref(ev))
    x11.XFlush(dpy)
    x11.XCloseDisplay(dpy)
