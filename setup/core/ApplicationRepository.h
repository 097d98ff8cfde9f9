// The entry under which the system lists an installed program ("Uninstall" key).
#pragma once

#include <string>

namespace Setup::Core {

// Class-level operations on HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\<name
// without spaces>. None raises: keys that cannot be opened or written are skipped.
class TSetupApplicationRepository {
public:
  TSetupApplicationRepository() = delete;

  // Replaces any earlier entry of that name with a fresh one in the native view.
  static void Register(const std::string& name, const std::string& uninstaller, const std::string& version,
                       const std::string& publisher, const std::string& homePage);
  // Removes the entry, subkeys first, from the native and the 32-bit view.
  static void Unregister(const std::string& name);
  // The folder of an entry (native view, else 32-bit view): InstallPath, else the folder of
  // UninstallString, else of DisplayIcon. True when that folder exists.
  static bool GetInstallPath(const std::string& name, std::string& folder);

  // The key name: the product name with every space removed; empty means no entry.
  static std::string KeyName(const std::string& name);
  static std::string KeyPath(const std::string& name);
};

} // namespace Setup::Core
