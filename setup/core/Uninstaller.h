// The uninstaller bootstrap: recognising the uninstaller and moving it out of the folder it removes.
#pragma once

#include <string>

namespace Setup::Core {

// The running executable is named Uninstall.exe (ignoring case).
bool IsUninstaller();
// The running executable's path with its extension replaced by ".dat".
std::string UninstallDataPath();

// Copies file into folder (replacing a read-only leftover) and schedules the copy for
// deletion at the next restart. Returns the copy's path.
std::string CopyToTemp(const std::string& folder, const std::string& file);

// Copies Uninstall.exe and Uninstall.dat into a fresh private folder inside the temporary
// folder (itself deleted at the next restart) and starts the copy with /PATH="<this
// executable's folder>" followed by params. Does not wait.
void RelaunchFromTemp(const std::string& params);

// The running executable lies below the temporary folder (where RelaunchFromTemp puts it).
bool IsRunningFromTemp();

} // namespace Setup::Core
