// The X11 clipboard: owns the CLIPBOARD selection for a copy and converts it for a paste.
#include "KVL/UI/Clipboard.h"

#include <chrono>
#include <cstdint>
#include <vector>

#include "KVL/Base/Platform/Event.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/SysUtils.h"

// After our headers: Xlib defines macros with common names.
#include "KVL/UI/X11Connection_posix.h"
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace KVL::UI {

namespace {

constexpr int64_t kPasteTimeoutMs = 1000;

// The selection's text in ISO 8859-1 (targets STRING): what Latin-1 cannot hold becomes '?'.
std::string Latin1FromUtf8(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (i + n > utf8.size()) n = utf8.size() - i;
    uint32_t cp = c;
    if (n == 2) cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
    out += n <= 2 && cp <= 0xFF ? static_cast<char>(cp) : '?';
    i += n;
  }
  return out;
}

std::string Utf8FromLatin1(const std::string& latin1) {
  std::string out;
  for (char c : latin1) SysUtils::AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

// One hidden window owns the selection and receives the pasted text.
class TX11Clipboard {
public:
  explicit TX11Clipboard(Display* dpy) : dpy_(dpy) {
    window_ = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), -10, -10, 1, 1, 0, 0, 0);
    clipboard_ = XInternAtom(dpy, "CLIPBOARD", False);
    targets_ = XInternAtom(dpy, "TARGETS", False);
    utf8String_ = XInternAtom(dpy, "UTF8_STRING", False);
    incr_ = XInternAtom(dpy, "INCR", False);
    property_ = XInternAtom(dpy, "KVL_CLIPBOARD", False);
    X11::SetWindowHandler(window_, [this](XEvent& e) { HandleEvent(e); });
  }

  void Set(const std::string& utf8) {
    text_ = utf8;
    XSetSelectionOwner(dpy_, clipboard_, window_, CurrentTime);
    owned_ = XGetSelectionOwner(dpy_, clipboard_) == window_;
    X11::FlushAndServe();
  }

  // Asks the owner (which may be this very window) for UTF8_STRING, then for STRING.
  std::string Get() {
    if (XGetSelectionOwner(dpy_, clipboard_) == 0) return std::string();
    for (Atom target : {utf8String_, static_cast<Atom>(XA_STRING)}) {
      std::string text;
      if (Convert(target, text)) return target == XA_STRING ? Utf8FromLatin1(text) : text;
    }
    return std::string();
  }

private:
  bool Convert(Atom target, std::string& text) {
    arrived_.Reset();
    replied_ = false;
    pending_ = target;
    XDeleteProperty(dpy_, window_, property_);
    XConvertSelection(dpy_, clipboard_, target, property_, window_, CurrentTime);
    X11::FlushAndServe();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kPasteTimeoutMs);
    while (!replied_) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
      if (left <= 0) return false;
      KVL::Platform::WaitFor(arrived_.Handle(), left);
    }
    if (!replyProperty_) return false;
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, window_, property_, 0, 1 << 22, True, AnyPropertyType, &type, &format, &count,
                           &after, &data) != Success)
      return false;
    // Large transfers come in pieces (INCR); a folder's path never needs them.
    const bool ok = data && type != incr_ && format == 8;
    if (ok) text.assign(reinterpret_cast<const char*>(data), count);
    if (data) XFree(data);
    return ok;
  }

  void HandleEvent(XEvent& e) {
    switch (e.type) {
      case SelectionRequest: Answer(e.xselectionrequest); break;
      case SelectionClear:
        owned_ = false;
        text_.clear();
        break;
      case SelectionNotify:
        // A late answer to an earlier request that timed out is not this one's.
        if (e.xselection.target != pending_ || (e.xselection.property != property_ && e.xselection.property != 0))
          break;
        replyProperty_ = e.xselection.property != 0;
        replied_ = true;
        arrived_.Set();
        break;
      default: break;
    }
  }

  void Answer(const XSelectionRequestEvent& request) {
    // Old clients name no property: the target's name is used then.
    Atom property = request.property ? request.property : request.target;
    if (!owned_ || request.selection != clipboard_) {
      property = 0;
    } else if (request.target == targets_) {
      const Atom targets[] = {targets_, utf8String_, XA_STRING};
      XChangeProperty(dpy_, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(targets), 3);
    } else if (request.target == utf8String_ || request.target == XA_STRING) {
      const std::string bytes = request.target == XA_STRING ? Latin1FromUtf8(text_) : text_;
      XChangeProperty(dpy_, request.requestor, property, request.target, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    } else {
      property = 0;
    }
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.property = property;
    reply.xselection.time = request.time;
    XSendEvent(dpy_, request.requestor, False, NoEventMask, &reply);
    X11::FlushAndServe();
  }

  Display* dpy_;
  Window window_ = 0;
  Atom clipboard_ = 0, targets_ = 0, utf8String_ = 0, incr_ = 0, property_ = 0, pending_ = 0;
  std::string text_;
  bool owned_ = false;
  bool replied_ = false;
  bool replyProperty_ = false;
  KVL::Platform::TPlatformEvent arrived_;
};

// Made on first use; the window lives as long as the connection.
TX11Clipboard* Clipboard() {
  static TX11Clipboard* clipboard = [] () -> TX11Clipboard* {
    Display* dpy = X11::SharedDisplay();
    if (!dpy) return nullptr;
    static TX11Clipboard instance(dpy);
    return &instance;
  }();
  return clipboard;
}

} // namespace

void NativeSetClipboardText(const std::string& utf8) {
  if (TX11Clipboard* clipboard = Clipboard()) clipboard->Set(utf8);
}

std::string NativeClipboardText() {
  TX11Clipboard* clipboard = Clipboard();
  return clipboard ? clipboard->Get() : std::string();
}

} // namespace KVL::UI
