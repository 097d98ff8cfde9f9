// The program's start of the toolkit: native windows when a display is there, its scale and its light/dark choice.
#include "KVL/UI/Application.h"
#include "KVL/UI/ColorScheme.h"
#include "KVL/UI/HeadlessHost.h"
#include "KVL/UI/WindowHost.h"

namespace KVL::UI {

// Kept apart from the rest of the application so that only programs calling Initialize
// link the native window backends.
void TKVLApplication::Initialize() {
  const bool native = NativeHostAvailable();
  if (native) {
    SetHostFactory(&CreateNativeHost);
    SetScreenDpi(NativeScreenDpi());
  } else {
    SetHostFactory(&CreateHeadlessHost);
  }
  SetDarkMode(NativeDarkModePreferred());
  // Windows on a screen follow the desktop when the user switches between light and dark.
  // Made inside its initialiser, after the messaging service it watches through, so it is
  // also destroyed before that at exit.
  if (native) {
    static const auto follower = FollowColorScheme([](bool dark) { SetDarkMode(dark); });
  }
}

} // namespace KVL::UI
