// What the companion program asks of the desktop shell besides the registry.
#pragma once

#include <string>
#include <vector>

namespace OnduSample {

// POSIX: writes the player's Desktop Entry with these MIME types to the machine's
// applications folder ($KVL_SYSTEM_ROOT/usr/share/applications/), or removes it; the shell
// there learns associations from such files. Windows keeps associations in the registry
// only: nothing to do.
void WriteDesktopEntry(const std::string& playerExe, const std::vector<std::string>& mimeTypes);
void RemoveDesktopEntry();
// The entry's path ("" on Windows).
std::string DesktopEntryPath();

// The page where the user picks default programs: what to open and with which parameters.
// Empty on systems without one (POSIX).
struct TDefaultAppsPage {
  std::string File, Parameters;
};
TDefaultAppsPage DefaultAppsPage();

} // namespace OnduSample
