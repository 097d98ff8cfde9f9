// X11 window host: one Xlib connection per process, served by the main thread's dispatching waits.
#include "KVL/UI/WindowHost.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <vector>

#include "KVL/Base/Platform/Event.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/SysUtils.h"
#include "KVL/UI/Application.h"
#include "KVL/UI/Canvas.h"
#include "KVL/UI/Form.h"
#include "KVL/UI/X11Connection_posix.h"

// After our headers: Xlib defines macros with common names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

namespace KVL::UI {

namespace {

using KVL::Platform::TDispatchWatch;
using KVL::Platform::TPlatformEvent;

class TX11Host;

// Xlib's default handler ends the program on any protocol error; a window that went away
// between a lookup and a request is ordinary here.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

// The Xft.dpi resource of the root window's RESOURCE_MANAGER property, 0 when not set. Read
// from the property (not XResourceManagerString, which is fixed at connection time) so that
// changes are seen.
int ReadXftDpi(Display* dpy) {
  Atom type;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  const Atom resources = XInternAtom(dpy, "RESOURCE_MANAGER", False);
  if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), resources, 0, 1 << 20, False, XA_STRING, &type, &format,
                         &count, &after, &data) != Success ||
      !data)
    return 0;
  std::string text(reinterpret_cast<const char*>(data), count);
  XFree(data);
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (line.rfind("Xft.dpi:", 0) != 0) continue;
    const double dpi = std::atof(line.c_str() + 8);
    if (dpi >= 24 && dpi <= 960) return static_cast<int>(dpi + 0.5);
  }
  return 0;
}

// One channel of a TrueColor visual: where its bits sit and how many there are.
struct TChannel {
  int Shift = 0;
  uint32_t Max = 0;
  explicit TChannel(unsigned long mask = 0) {
    if (!mask) return;
    while (!(mask & 1)) {
      mask >>= 1;
      ++Shift;
    }
    Max = static_cast<uint32_t>(mask);
  }
  uint32_t Put(uint32_t value8) const {
    return Max == 255 ? value8 << Shift : ((value8 * Max + 127) / 255) << Shift;
  }
};

struct TX11Connection {
  Display* Dpy = nullptr;
  int Screen = 0;
  Window Root = 0;
  Visual* Vis = nullptr;
  int Depth = 0;
  TChannel Red, Green, Blue;
  uint32_t AlphaBits = 0;  // depth-32 visuals: the bits outside the colour masks
  Atom WmProtocols = 0, WmDeleteWindow = 0, NetWmPing = 0, NetWmPid = 0, NetWmName = 0, Utf8String = 0,
       NetWmState = 0, NetWmStateAbove = 0, MotifWmHints = 0, ResourceManager = 0, NetWorkarea = 0,
       NetCurrentDesktop = 0;
  int Dpi = 96;
  std::map<Window, TX11Host*> Hosts;
  // Windows that show no form (the clipboard's), with their handlers.
  std::map<Window, std::function<void(XEvent&)>> Others;
  // Set whenever something needs serving outside an X event: a queued paint, or events
  // Xlib may have read into its queue during a request without the socket staying readable.
  TPlatformEvent Kick;
};

TX11Connection* Connection();
void Drain();
void ServeKick();

class TX11Host : public IKVLWindowHost {
public:
  TX11Host(TKVLForm& form, TX11Connection& x);
  ~TX11Host() override;

  void SetCaption(const std::string& caption) override;
  void SetClientSize(int width, int height) override;
  void CenterOnScreen() override { center_ = true; }
  void Show() override;
  void Hide() override;
  void Invalidate() override {
    dirty_ = true;
    x_.Kick.Set();
  }
  void Update() override {
    if (dirty_) Paint();
  }
  void SetCloseEnabled(bool enabled) override;
  void SetTopMost(bool topMost) override;
  int Dpi() const override { return dpi_; }
  intptr_t NativeHandle() const override { return static_cast<intptr_t>(window_); }
  TKVLPoint ClientToScreen(TKVLPoint pt) const override;
  TKVLRect WorkArea() const override;

  bool Dirty() const { return dirty_; }
  void Paint();
  void HandleEvent(XEvent& e);
  void DpiChanged(int dpi);

private:
  void ApplySizeHints();
  void SendNetWmState(bool add, Atom state);
  TKVLShiftState ShiftOf(unsigned int state) const;
  void HandleKey(XKeyEvent& e);

  TKVLForm& form_;
  TX11Connection& x_;
  Window window_ = 0;
  GC gc_ = nullptr;
  int width_ = 1;
  int height_ = 1;
  int dpi_ = 96;
  bool center_ = false;
  bool shown_ = false;
  bool dirty_ = true;
  bool topMost_ = false;
  bool popup_ = false;
  std::vector<uint32_t> pixels_;
};

TX11Host::TX11Host(TKVLForm& form, TX11Connection& x) : form_(form), x_(x), dpi_(x.Dpi) {
  popup_ = form.BorderStyle() == TKVLBorderStyle::bsNone;
  XSetWindowAttributes attrs{};
  attrs.background_pixel = BlackPixel(x.Dpy, x.Screen);
  attrs.border_pixel = 0;
  attrs.override_redirect = popup_ ? True : False;
  attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | LeaveWindowMask |
                     KeyPressMask | StructureNotifyMask | FocusChangeMask;
  const int w = std::max(1, form.Width()), h = std::max(1, form.Height());
  width_ = w;
  height_ = h;
  window_ = XCreateWindow(x.Dpy, x.Root, form.BoundsRect().Left, form.BoundsRect().Top, w, h, 0, x.Depth,
                          InputOutput, x.Vis, CWBackPixel | CWBorderPixel | CWOverrideRedirect | CWEventMask, &attrs);
  gc_ = XCreateGC(x.Dpy, window_, 0, nullptr);

  // WM_CLASS names the form's class both ways, so tools that search by either find it.
  const std::string cls = form.ClassName();
  std::vector<char> name(cls.begin(), cls.end()), klass(cls.begin(), cls.end());
  name.push_back(0);
  klass.push_back(0);
  XClassHint hint{name.data(), klass.data()};
  XSetClassHint(x.Dpy, window_, &hint);

  Atom protocols[] = {x.WmDeleteWindow, x.NetWmPing};
  XSetWMProtocols(x.Dpy, window_, protocols, 2);
  const unsigned long pid = KVL::Platform::CurrentProcessId();
  XChangeProperty(x.Dpy, window_, x.NetWmPid, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  XWMHints wmHints{};
  wmHints.flags = InputHint | StateHint;
  wmHints.input = True;
  wmHints.initial_state = NormalState;
  XSetWMHints(x.Dpy, window_, &wmHints);
  // A form owned by a shown form is its dialog: the window manager keeps it above that one.
  for (TKVLControl* owner = form.Owner(); owner; owner = owner->Owner()) {
    TKVLForm* ownerForm = owner->FindForm();
    if (ownerForm && ownerForm->Host() && ownerForm->Host()->NativeHandle()) {
      XSetTransientForHint(x.Dpy, window_, static_cast<Window>(ownerForm->Host()->NativeHandle()));
      break;
    }
  }
  ApplySizeHints();
  x.Hosts[window_] = this;
  x.Kick.Set();
}

TX11Host::~TX11Host() {
  x_.Hosts.erase(window_);
  XFreeGC(x_.Dpy, gc_);
  XDestroyWindow(x_.Dpy, window_);
  XFlush(x_.Dpy);
}

void TX11Host::SetCaption(const std::string& caption) {
  // WM_NAME in the encoding Xlib picks for it; _NET_WM_NAME always in UTF-8.
  std::vector<char> text(caption.begin(), caption.end());
  text.push_back(0);
  char* list[] = {text.data()};
  XTextProperty prop{};
  if (Xutf8TextListToTextProperty(x_.Dpy, list, 1, XStdICCTextStyle, &prop) == Success) {
    XSetWMName(x_.Dpy, window_, &prop);
    XFree(prop.value);
  }
  XChangeProperty(x_.Dpy, window_, x_.NetWmName, x_.Utf8String, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(caption.data()), static_cast<int>(caption.size()));
  x_.Kick.Set();
}

void TX11Host::ApplySizeHints() {
  // Fixed size: the wizard's layout does not stretch.
  XSizeHints* hints = XAllocSizeHints();
  hints->flags = PMinSize | PMaxSize | PSize;
  hints->min_width = hints->max_width = hints->width = width_;
  hints->min_height = hints->max_height = hints->height = height_;
  if (center_) hints->flags |= USPosition | PPosition;
  XSetWMNormalHints(x_.Dpy, window_, hints);
  XFree(hints);
}

void TX11Host::SetClientSize(int width, int height) {
  width = std::max(1, width);
  height = std::max(1, height);
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  ApplySizeHints();
  XResizeWindow(x_.Dpy, window_, width_, height_);
  Invalidate();
}

void TX11Host::Show() {
  if (shown_) return;
  if (center_) {
    const int sw = DisplayWidth(x_.Dpy, x_.Screen), sh = DisplayHeight(x_.Dpy, x_.Screen);
    ApplySizeHints();
    XMoveWindow(x_.Dpy, window_, std::max(0, (sw - width_) / 2), std::max(0, (sh - height_) / 2));
  } else if (popup_) {
    XMoveWindow(x_.Dpy, window_, form_.BoundsRect().Left, form_.BoundsRect().Top);
  }
  XMapRaised(x_.Dpy, window_);
  shown_ = true;
  // The popup hears presses anywhere on the screen (ours still go to our windows), so that
  // one outside closes it. Mapped first: the server maps an override-redirect window at once.
  if (popup_)
    XGrabPointer(x_.Dpy, window_, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                 GrabModeAsync, None, None, CurrentTime);
  if (topMost_) SendNetWmState(true, x_.NetWmStateAbove);
  Invalidate();
}

void TX11Host::Hide() {
  if (!shown_) return;
  shown_ = false;
  if (popup_) {
    XUngrabPointer(x_.Dpy, CurrentTime);
    XUnmapWindow(x_.Dpy, window_);
  }
  else
    XWithdrawWindow(x_.Dpy, window_, x_.Screen);
  x_.Kick.Set();
}

TKVLPoint TX11Host::ClientToScreen(TKVLPoint pt) const {
  int x = pt.X, y = pt.Y;
  Window child = 0;
  if (!XTranslateCoordinates(x_.Dpy, window_, x_.Root, pt.X, pt.Y, &x, &y, &child)) return pt;
  return {x, y};
}

// The desktop's _NET_WORKAREA for the current desktop (one rectangle over all monitors),
// else the whole screen.
TKVLRect TX11Host::WorkArea() const {
  const TKVLRect screen{0, 0, DisplayWidth(x_.Dpy, x_.Screen), DisplayHeight(x_.Dpy, x_.Screen)};
  auto readCardinals = [this](Atom property, std::vector<long>& out) {
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(x_.Dpy, x_.Root, property, 0, 1024, False, XA_CARDINAL, &type, &format, &count, &after,
                           &data) != Success ||
        !data)
      return;
    // Format-32 items arrive as longs, whatever their size on the wire.
    if (type == XA_CARDINAL && format == 32) {
      const long* values = reinterpret_cast<const long*>(data);
      out.assign(values, values + count);
    }
    XFree(data);
  };
  std::vector<long> desktop, areas;
  readCardinals(x_.NetCurrentDesktop, desktop);
  readCardinals(x_.NetWorkarea, areas);
  const size_t index = desktop.empty() ? 0 : static_cast<size_t>(desktop[0]);
  if (areas.size() < (index + 1) * 4) return screen;
  const long* a = &areas[index * 4];
  const TKVLRect area = TKVLRect::FromBounds(static_cast<int>(a[0]), static_cast<int>(a[1]), static_cast<int>(a[2]),
                                             static_cast<int>(a[3]))
                            .Intersect(screen);
  return area.IsEmpty() ? screen : area;
}

void TX11Host::SetCloseEnabled(bool enabled) {
  // Best effort: window managers that read the Motif hints drop the close box; the form
  // ignores WM_DELETE_WINDOW meanwhile either way.
  if (enabled) {
    XDeleteProperty(x_.Dpy, window_, x_.MotifWmHints);
  } else {
    constexpr long kFunctions = 1, kAllBut = 1, kClose = 32;
    long hints[5] = {kFunctions, kAllBut | kClose, 0, 0, 0};
    XChangeProperty(x_.Dpy, window_, x_.MotifWmHints, x_.MotifWmHints, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(hints), 5);
  }
  x_.Kick.Set();
}

void TX11Host::SendNetWmState(bool add, Atom state) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = window_;
  e.xclient.message_type = x_.NetWmState;
  e.xclient.format = 32;
  e.xclient.data.l[0] = add ? 1 : 0;
  e.xclient.data.l[1] = static_cast<long>(state);
  e.xclient.data.l[3] = 1;  // a normal application
  XSendEvent(x_.Dpy, x_.Root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
}

void TX11Host::SetTopMost(bool topMost) {
  topMost_ = topMost;
  // Before mapping the property is read by the window manager; afterwards it wants a request.
  if (topMost)
    XChangeProperty(x_.Dpy, window_, x_.NetWmState, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&x_.NetWmStateAbove), 1);
  else
    XDeleteProperty(x_.Dpy, window_, x_.NetWmState);
  if (shown_) {
    SendNetWmState(topMost, x_.NetWmStateAbove);
    if (topMost) XRaiseWindow(x_.Dpy, window_);
  }
  x_.Kick.Set();
}

void TX11Host::Paint() {
  dirty_ = false;
  if (!shown_) return;
  TKVLBitmap bitmap(width_, height_);
  {
    std::unique_ptr<IKVLCanvas> canvas = CreateBitmapCanvas(bitmap, dpi_);
    form_.PaintTo(*canvas);
  }
  // Premultiplied ARGB to the visual's layout; the form paints opaque, so any alpha left is
  // taken as drawn over black.
  pixels_.resize(static_cast<size_t>(width_) * height_);
  const uint32_t* src = bitmap.Data();
  const bool identity = x_.Red.Shift == 16 && x_.Red.Max == 255 && x_.Green.Shift == 8 && x_.Green.Max == 255 &&
                        x_.Blue.Shift == 0 && x_.Blue.Max == 255;
  for (size_t i = 0; i < pixels_.size(); ++i) {
    const uint32_t p = src[i];
    pixels_[i] = identity ? (p & 0xFFFFFFu) | x_.AlphaBits
                          : x_.Red.Put((p >> 16) & 0xFF) | x_.Green.Put((p >> 8) & 0xFF) | x_.Blue.Put(p & 0xFF) |
                                x_.AlphaBits;
  }
  XImage* image = XCreateImage(x_.Dpy, x_.Vis, x_.Depth, ZPixmap, 0, nullptr, width_, height_, 32, 0);
  if (!image) return;
  if (image->bits_per_pixel == 32 && image->byte_order == (ImageByteOrder(x_.Dpy))) {
    // The server takes our words as they are when its byte order is ours.
    const uint16_t probe = 1;
    const bool littleEndian = *reinterpret_cast<const uint8_t*>(&probe) == 1;
    if ((image->byte_order == LSBFirst) == littleEndian && image->bytes_per_line == width_ * 4) {
      image->data = reinterpret_cast<char*>(pixels_.data());
      XPutImage(x_.Dpy, window_, gc_, image, 0, 0, 0, 0, width_, height_);
      image->data = nullptr;
      XDestroyImage(image);
      return;
    }
  }
  std::vector<char> buffer(static_cast<size_t>(image->bytes_per_line) * height_);
  image->data = buffer.data();
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) XPutPixel(image, x, y, pixels_[static_cast<size_t>(y) * width_ + x]);
  XPutImage(x_.Dpy, window_, gc_, image, 0, 0, 0, 0, width_, height_);
  image->data = nullptr;
  XDestroyImage(image);
}

TKVLShiftState TX11Host::ShiftOf(unsigned int state) const {
  TKVLShiftState s;
  s.Shift = (state & ShiftMask) != 0;
  s.Ctrl = (state & ControlMask) != 0;
  s.Alt = (state & Mod1Mask) != 0;
  return s;
}

// Text of a key: Unicode key symbols and Latin-1 ones map straight to code points.
std::string KeySymText(KeySym sym, const char* latin1, int latin1Length) {
  uint32_t cp = 0;
  if ((sym >= 0x20 && sym <= 0x7E) || (sym >= 0xA0 && sym <= 0xFF))
    cp = static_cast<uint32_t>(sym);
  else if (sym >= 0x01000100 && sym <= 0x0110FFFF)
    cp = static_cast<uint32_t>(sym - 0x01000000);
  else if (latin1Length == 1)
    cp = static_cast<unsigned char>(latin1[0]);
  if (cp < 0x20 || cp == 0x7F) return std::string();
  std::string out;
  SysUtils::AppendUtf8(out, cp);
  return out;
}

TKVLKey KeyOf(KeySym sym) {
  switch (sym) {
    case XK_Return: case XK_KP_Enter: return TKVLKey::kEnter;
    case XK_Escape: return TKVLKey::kEscape;
    case XK_Tab: case XK_ISO_Left_Tab: return TKVLKey::kTab;
    case XK_space: return TKVLKey::kSpace;
    case XK_BackSpace: return TKVLKey::kBackspace;
    case XK_Delete: case XK_KP_Delete: return TKVLKey::kDelete;
    case XK_Left: case XK_KP_Left: return TKVLKey::kLeft;
    case XK_Right: case XK_KP_Right: return TKVLKey::kRight;
    case XK_Up: case XK_KP_Up: return TKVLKey::kUp;
    case XK_Down: case XK_KP_Down: return TKVLKey::kDown;
    case XK_Home: case XK_KP_Home: return TKVLKey::kHome;
    case XK_End: case XK_KP_End: return TKVLKey::kEnd;
    case XK_Page_Up: case XK_KP_Page_Up: return TKVLKey::kPageUp;
    case XK_Page_Down: case XK_KP_Page_Down: return TKVLKey::kPageDown;
    case XK_F4: return TKVLKey::kF4;
    case XK_Insert: case XK_KP_Insert: return TKVLKey::kInsert;
    default: return TKVLKey::kNone;
  }
}

void TX11Host::HandleKey(XKeyEvent& e) {
  char latin1[32];
  KeySym sym = NoSymbol;
  const int n = XLookupString(&e, latin1, sizeof latin1, &sym, nullptr);
  const TKVLShiftState shift = ShiftOf(e.state);
  const TKVLKey key = KeyOf(sym);
  if (key != TKVLKey::kNone) form_.HandleKeyDown(key, shift);
  // Ctrl with a letter is its control character (the clipboard's commands), read from the
  // key's first symbol so that Ctrl+C is Ctrl+C on a Cyrillic layout as well.
  if (shift.Ctrl && !shift.Alt && key == TKVLKey::kNone) {
    const KeySym base = XLookupKeysym(&e, 0);
    if (base >= XK_a && base <= XK_z) form_.HandleKeyChar(std::string(1, static_cast<char>(base - XK_a + 1)));
    return;
  }
  // Other Ctrl and Alt combinations are commands, not text.
  if (shift.Ctrl || shift.Alt) return;
  if (key != TKVLKey::kNone && key != TKVLKey::kSpace) return;
  const std::string text = KeySymText(sym, latin1, n);
  if (!text.empty()) form_.HandleKeyChar(text);
}

void TX11Host::HandleEvent(XEvent& e) {
  switch (e.type) {
    case Expose:
      if (e.xexpose.count == 0) Invalidate();
      break;
    case MapNotify:
      // Without a window manager nobody gives a new dialog the keyboard.
      if (!popup_) XSetInputFocus(x_.Dpy, window_, RevertToParent, CurrentTime);
      Invalidate();
      break;
    case ButtonPress:
    case ButtonRelease: {
      const TKVLPoint pt{e.xbutton.x, e.xbutton.y};
      const unsigned int b = e.xbutton.button;
      if (b == Button4 || b == Button5) {
        if (e.type == ButtonPress) form_.HandleMouseWheel(b == Button4 ? 1 : -1, pt);
        break;
      }
      if (b > Button3) break;
      const TKVLMouseButton button = b == Button1   ? TKVLMouseButton::mbLeft
                                     : b == Button2 ? TKVLMouseButton::mbMiddle
                                                    : TKVLMouseButton::mbRight;
      if (e.type == ButtonPress)
        form_.HandleMouseDown(button, pt, ShiftOf(e.xbutton.state));
      else
        form_.HandleMouseUp(button, pt, ShiftOf(e.xbutton.state));
      break;
    }
    case MotionNotify:
      form_.HandleMouseMove({e.xmotion.x, e.xmotion.y}, ShiftOf(e.xmotion.state));
      break;
    case LeaveNotify:
      if (e.xcrossing.mode == NotifyNormal) form_.HandleMouseLeave();
      break;
    case FocusOut:
      // The keyboard went to another window (not a grab's passing visit, not a child of ours).
      if ((e.xfocus.mode == NotifyNormal || e.xfocus.mode == NotifyWhileGrabbed) &&
          e.xfocus.detail != NotifyInferior && e.xfocus.detail != NotifyPointer)
        form_.HandleDeactivate();
      break;
    case KeyPress:
      HandleKey(e.xkey);
      break;
    case ClientMessage:
      if (e.xclient.message_type != x_.WmProtocols) break;
      if (static_cast<Atom>(e.xclient.data.l[0]) == x_.WmDeleteWindow) {
        form_.HandleCloseRequest();
      } else if (static_cast<Atom>(e.xclient.data.l[0]) == x_.NetWmPing) {
        // Answered after everything before it: whoever pinged knows those events were handled.
        e.xclient.window = x_.Root;
        XSendEvent(x_.Dpy, x_.Root, False, SubstructureNotifyMask | SubstructureRedirectMask, &e);
        XFlush(x_.Dpy);
      }
      break;
    default:
      break;
  }
}

void TX11Host::DpiChanged(int dpi) {
  if (dpi == dpi_) return;
  dpi_ = dpi;
  form_.HandleDpiChange(dpi);
  Invalidate();
}

// Serves every event Xlib has, then the paints they asked for. Handlers may open modal
// loops that drain again, or destroy hosts: each event looks its host up afresh.
void Drain() {
  TX11Connection* x = Connection();
  while (XPending(x->Dpy) > 0) {
    XEvent e;
    XNextEvent(x->Dpy, &e);
    if (e.type == MappingNotify) {
      // The keyboard's layout changed: XLookupString must see the new one.
      XRefreshKeyboardMapping(&e.xmapping);
      continue;
    }
    if (e.type == PropertyNotify && e.xproperty.window == x->Root) {
      if (e.xproperty.atom != x->ResourceManager) continue;
      const int dpi = ReadXftDpi(x->Dpy);
      const int now = dpi ? dpi : 96;
      if (now == x->Dpi) continue;
      x->Dpi = now;
      TKVLApplication::SetScreenDpi(now);
      std::vector<Window> windows;
      for (const auto& [w, host] : x->Hosts) windows.push_back(w);
      for (Window w : windows) {
        auto it = x->Hosts.find(w);
        if (it != x->Hosts.end()) it->second->DpiChanged(now);
      }
      continue;
    }
    auto it = x->Hosts.find(e.xany.window);
    if (it != x->Hosts.end()) {
      it->second->HandleEvent(e);
      continue;
    }
    auto other = x->Others.find(e.xany.window);
    if (other != x->Others.end()) {
      // A copy: the handler may remove itself.
      auto handler = other->second;
      handler(e);
    }
  }
  ServeKick();
}

void ServeKick() {
  TX11Connection* x = Connection();
  x->Kick.Reset();
  std::vector<Window> dirty;
  for (const auto& [w, host] : x->Hosts)
    if (host->Dirty()) dirty.push_back(w);
  for (Window w : dirty) {
    auto it = x->Hosts.find(w);
    if (it != x->Hosts.end() && it->second->Dirty()) it->second->Paint();
  }
  XFlush(x->Dpy);
  // A paint handler may have asked Xlib something and had events queued meanwhile.
  if (XEventsQueued(x->Dpy, QueuedAlready) > 0) x->Kick.Set();
}

TX11Connection* OpenConnection() {
  XInitThreads();
  Display* dpy = XOpenDisplay(nullptr);
  if (!dpy) return nullptr;
  XSetErrorHandler(IgnoreXError);
  static TX11Connection x;
  x.Dpy = dpy;
  x.Screen = DefaultScreen(dpy);
  x.Root = RootWindow(dpy, x.Screen);
  x.Vis = DefaultVisual(dpy, x.Screen);
  x.Depth = DefaultDepth(dpy, x.Screen);
  x.Red = TChannel(x.Vis->red_mask);
  x.Green = TChannel(x.Vis->green_mask);
  x.Blue = TChannel(x.Vis->blue_mask);
  if (x.Depth == 32)
    x.AlphaBits = ~static_cast<uint32_t>(x.Vis->red_mask | x.Vis->green_mask | x.Vis->blue_mask);
  x.WmProtocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
  x.WmDeleteWindow = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
  x.NetWmPing = XInternAtom(dpy, "_NET_WM_PING", False);
  x.NetWmPid = XInternAtom(dpy, "_NET_WM_PID", False);
  x.NetWmName = XInternAtom(dpy, "_NET_WM_NAME", False);
  x.Utf8String = XInternAtom(dpy, "UTF8_STRING", False);
  x.NetWmState = XInternAtom(dpy, "_NET_WM_STATE", False);
  x.NetWmStateAbove = XInternAtom(dpy, "_NET_WM_STATE_ABOVE", False);
  x.MotifWmHints = XInternAtom(dpy, "_MOTIF_WM_HINTS", False);
  x.ResourceManager = XInternAtom(dpy, "RESOURCE_MANAGER", False);
  x.NetWorkarea = XInternAtom(dpy, "_NET_WORKAREA", False);
  x.NetCurrentDesktop = XInternAtom(dpy, "_NET_CURRENT_DESKTOP", False);
  const int dpi = ReadXftDpi(dpy);
  x.Dpi = dpi ? dpi : 96;
  // Xft.dpi changes arrive as a new RESOURCE_MANAGER on the root window.
  XSelectInput(dpy, x.Root, PropertyChangeMask);
  XFlush(dpy);
  return &x;
}

TX11Connection* Connection() {
  static TX11Connection* x = OpenConnection();
  return x;
}

// The watches belong to the main thread's loop; made with the first host. Their own static
// (not members of the connection) so that they are removed at exit before the messaging
// service's watch table, which their construction creates, goes away.
struct TWatches {
  explicit TWatches(TX11Connection& x)
      : Socket(ConnectionNumber(x.Dpy), [] { Drain(); }), Kick(x.Kick.Handle(), [] { Drain(); }) {}
  TDispatchWatch Socket;
  TDispatchWatch Kick;
};

void EnsureWatches(TX11Connection& x) { static TWatches watches(x); }

} // namespace

Display* X11::SharedDisplay() {
  TX11Connection* x = Connection();
  if (!x) return nullptr;
  EnsureWatches(*x);
  return x->Dpy;
}

void X11::SetWindowHandler(Window window, std::function<void(XEvent&)> handler) {
  TX11Connection* x = Connection();
  if (!x) return;
  if (handler)
    x->Others[window] = std::move(handler);
  else
    x->Others.erase(window);
}

void X11::FlushAndServe() {
  TX11Connection* x = Connection();
  if (!x) return;
  XFlush(x->Dpy);
  if (XEventsQueued(x->Dpy, QueuedAlready) > 0) x->Kick.Set();
}

std::unique_ptr<IKVLWindowHost> CreateNativeHost(TKVLForm& form) {
  TX11Connection* x = Connection();
  if (!x) return nullptr;
  EnsureWatches(*x);
  return std::make_unique<TX11Host>(form, *x);
}

bool NativeHostAvailable() { return Connection() != nullptr; }

int NativeScreenDpi() {
  TX11Connection* x = Connection();
  return x ? x->Dpi : 96;
}

} // namespace KVL::UI
