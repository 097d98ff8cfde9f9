// The native window behind a form: Win32, X11, or the headless host of tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "KVL/UI/Bitmap.h"
#include "KVL/UI/Types.h"

namespace KVL::UI {

class TKVLForm;

// A host shows one form as a top-level window. It paints by asking the form to draw itself
// into a bitmap canvas (TKVLForm::PaintTo) and copying the result to the window, and turns
// the system's input into the form's Handle* calls. Hosts live and run on the main thread.
class IKVLWindowHost {
public:
  virtual ~IKVLWindowHost() = default;

  virtual void SetCaption(const std::string& caption) = 0;
  // Client size in pixels at the current dots per inch.
  virtual void SetClientSize(int width, int height) = 0;
  // Centres the window on the screen (poScreenCenter) before it is first shown.
  virtual void CenterOnScreen() = 0;
  virtual void Show() = 0;
  virtual void Hide() = 0;
  // Queues a repaint of the whole client area; several requests give one paint.
  virtual void Invalidate() = 0;
  // Paints now if a repaint is queued.
  virtual void Update() = 0;
  // The title bar's close box and the system menu's Close (WM_DELETE_WINDOW on X11: ignored).
  virtual void SetCloseEnabled(bool enabled) = 0;
  // Keeps the window above others (the language dialog).
  virtual void SetTopMost(bool topMost) = 0;
  // Dots per inch of the monitor the window is on.
  virtual int Dpi() const = 0;
  // HWND on Windows, the X11 Window id on POSIX, 0 for headless windows.
  virtual intptr_t NativeHandle() const = 0;
  // A point of the client area in screen pixels, where frameless popups (drop-down lists)
  // are placed: their form's BoundsRect Left and Top. Windows without a screen answer pt.
  virtual TKVLPoint ClientToScreen(TKVLPoint pt) const { return pt; }
  // The work area (the screen less task bars and panels) of the monitor the window is on,
  // in screen pixels; empty when unknown, and popups then open below their control.
  virtual TKVLRect WorkArea() const { return {}; }
};

// Makes the host of a form; the application's factory picks the backend.
using THostFactory = std::unique_ptr<IKVLWindowHost> (*)(TKVLForm& form);

// Native backends, one per platform (Win32; X11, nullptr when no display can be opened).
std::unique_ptr<IKVLWindowHost> CreateNativeHost(TKVLForm& form);
// Whether native windows can be made here (Windows: always; POSIX: a display opens).
bool NativeHostAvailable();
// Dots per inch of the screen (Windows: the system value; X11: Xft.dpi, else 96).
int NativeScreenDpi();

} // namespace KVL::UI
