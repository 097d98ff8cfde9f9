// The toolkit's program-wide state: forms, main loop, deferred calls, light/dark mode, host choice.
#pragma once

#include <functional>
#include <vector>

#include "KVL/UI/WindowHost.h"

namespace KVL::UI {

class TKVLForm;

class TKVLApplication {
public:
  // Reads the screen's dots per inch and the dark-mode preference (NativeDarkModePreferred)
  // when native windows are used, and follows the preference's changes. Main thread.
  static void Initialize();

  // Hosts: native by default when available, otherwise headless; tests force headless.
  static void SetHostFactory(THostFactory factory);
  static std::unique_ptr<IKVLWindowHost> CreateHost(TKVLForm& form);
  static bool UsesHeadlessHosts();

  static int ScreenDpi();
  static void SetScreenDpi(int dpi);

  // Dark mode: the flag every control's style follows. SetDarkMode tells every form when
  // the value changes (TKVLForm::ColorSchemeChanged).
  static bool IsDarkMode();
  static void SetDarkMode(bool dark);

  // Shows the main form and serves the main thread until Terminate (or the main form
  // closes). Nested modal loops run inside it.
  static void Run(TKVLForm& mainForm);
  static void Terminate();
  static TKVLForm* MainForm();

  // Runs fn on the main thread after the current handler has returned (from the main loop or
  // any dispatching wait). Main thread.
  static void Post(std::function<void()> fn);

  // Forms register themselves while they exist (for notifications).
  static void RegisterForm(TKVLForm* form);
  static void UnregisterForm(TKVLForm* form);
  static const std::vector<TKVLForm*>& Forms();
};

} // namespace KVL::UI
