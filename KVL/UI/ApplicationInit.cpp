// The program's start of the toolkit: native windows when a display is there, its scale and its light/dark choice.
#include "KVL/UI/Application.h"
#include "KVL/UI/HeadlessHost.h"
#include "KVL/UI/WindowHost.h"

namespace KVL::UI {

// Kept apart from the rest of the application so that only programs calling Initialize
// link the native window backends.
void TKVLApplication::Initialize() {
  if (NativeHostAvailable()) {
    SetHostFactory(&CreateNativeHost);
    SetScreenDpi(NativeScreenDpi());
  } else {
    SetHostFactory(&CreateHeadlessHost);
  }
  SetDarkMode(NativeDarkModePreferred());
}

} // namespace KVL::UI
