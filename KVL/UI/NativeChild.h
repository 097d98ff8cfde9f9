// A system child window placed over a control of a form that has a real window (Win32).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "KVL/UI/Types.h"

namespace KVL::UI {

class TKVLControl;

// The toolkit draws every control itself; a few (the license viewer) show a system control
// instead. This places one over its control: made once the control's form has a native
// window, moved with the control, shown only while the control is showing, and gone with the
// control or the form's window. Tab, Shift+Tab, Enter and Escape typed into it go to the
// form, so that tab order and the default and cancel buttons keep working.
// Only the Win32 host has such windows; elsewhere nothing is ever made and Window() is 0.
class TKVLNativeChild {
public:
  // Makes the system window as a child of container (a window of ours that fills the area),
  // width by height pixels; answers its handle, or 0 when it cannot be made.
  using TCreate = std::function<intptr_t(intptr_t container, int width, int height)>;

  TKVLNativeChild(TKVLControl& control, TCreate create);
  ~TKVLNativeChild();
  TKVLNativeChild(const TKVLNativeChild&) = delete;
  TKVLNativeChild& operator=(const TKVLNativeChild&) = delete;

  // Follows the control: call from its PlacementChanged.
  void Sync();
  // Follows the form's focus: call from FocusChanged of the control and of FocusScope.
  // The system window has the keyboard while the form's active control is inside FocusScope.
  void FollowFocus();

  // A navigation key or wheel notches (+1 up) that reached the control through the form
  // (the form's window had the keyboard, as after the window was activated again): the
  // keyboard moves to the system window, which gets them. False when there is no window or
  // the key is not one it scrolls by.
  bool SendKey(TKVLKey key);
  bool SendWheel(int delta);

  // The system window (HWND), 0 while there is none.
  intptr_t Window() const;

  // The area covered, in the form's client pixels; the control's own rectangle by default.
  std::function<TKVLRect()> Area;
  // The controls whose focus is the window's: this one and everything inside it (by default
  // the control itself).
  TKVLControl* FocusScope = nullptr;
  // Right after the window was made (before it is first shown): give it its content.
  std::function<void()> OnCreated;
  // A notification the window sent to its parent (Win32: WM_NOTIFY's NMHDR); answer true
  // with result set when handled.
  std::function<bool(const void* header, intptr_t& result)> OnNotify;

private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

} // namespace KVL::UI
