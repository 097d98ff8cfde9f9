// The desktop's light/dark preference: asked for at start and followed while the program runs.
#pragma once

#include <functional>
#include <memory>

namespace KVL::UI {

// Whether the desktop prefers dark (Windows: AppsUseLightTheme is 0; POSIX: gsettings'
// org.gnome.desktop.interface color-scheme, else a GTK_THEME ending in ":dark"; an answer
// that does not come within 1.5 s counts as none). KVL_COLOR_SCHEME=dark|light overrides on
// both. Takes the answer of a query begun by BeginColorSchemeQuery, else asks now. Main thread.
bool NativeDarkModePreferred();

// Starts asking the desktop in the background so that the next NativeDarkModePreferred finds
// the answer ready (POSIX: the question is a child process; Windows reads the registry at
// once and needs no head start). Main thread.
void BeginColorSchemeQuery();

// Following the desktop's colour scheme while it exists.
class TKVLColorSchemeFollower {
public:
  virtual ~TKVLColorSchemeFollower() = default;
};

// Calls onChange with the new preference, on the main thread from its dispatching waits and
// message loop, whenever the desktop's colour scheme changes, until the follower returned is
// destroyed (POSIX: `gsettings monitor`; nullptr without gsettings). Nothing to follow when
// KVL_COLOR_SCHEME overrides, and on Windows, whose hosts follow WM_SETTINGCHANGE
// themselves. Main thread.
std::unique_ptr<TKVLColorSchemeFollower> FollowColorScheme(std::function<void(bool dark)> onChange);

} // namespace KVL::UI
