// The companion program and the Windows shell: associations live in the registry; the default-apps page.
#include "ElevatorShell.h"

#include "KVL/Base/Platform/Shell.h"

namespace OnduSample {

void WriteDesktopEntry(const std::string&, const std::vector<std::string>&) {}
void RemoveDesktopEntry() {}
std::string DesktopEntryPath() { return std::string(); }

TDefaultAppsPage DefaultAppsPage() {
  // Since Windows 8 a program may not take a type's default itself; the user confirms it there.
  if (KVL::Platform::IsWindows10OrLater()) return {"ms-settings:defaultapps", ""};
  return {"control.exe", "/name Microsoft.DefaultPrograms /page pageDefaultProgram"};
}

} // namespace OnduSample
