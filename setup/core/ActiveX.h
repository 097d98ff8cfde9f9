// Calling the self-registration entry points of in-process COM servers (only ever to unregister).
#pragma once

#include <string>

namespace Setup::Core {

class TSetupActiveX {
public:
  TSetupActiveX() = delete;

  // Loads the library by its full path, calls the named export once with no arguments when it
  // has one (its result is not examined) and unloads it. A file that does not load or lacks
  // the export is passed over; nothing is raised.
  static void CallExport(const std::string& library, const std::string& exportName);
  // CallExport with "DllUnregisterServer".
  static void UnregisterServer(const std::string& library);
};

} // namespace Setup::Core
