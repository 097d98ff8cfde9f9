// Elevation and the spawn service: the first, non-elevated instance starts programs for the elevated one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace Setup::Core {

class TSetupSpawnService {
public:
  TSetupSpawnService() = delete;

  // handle 0: this process becomes the service (creates its own mailbox); otherwise
  // commands go to the mailbox of that handle (the waiting first instance). A second call
  // raises EKVLError "SpawnService is already initialized".
  static void Initialize(intptr_t handle);
  // Starts command with the desktop user's rights where possible. Failures are not reported.
  static void Execute(const std::string& command);
  // Drops the service (program end, tests).
  static void Finalize();

  static intptr_t ServiceWindow();
  static bool OwnsWindow();
};

// Becomes the spawn service, starts this executable elevated with /SKIPUAC=<service> in front
// of params, and waits for it while serving commands. Returns the elevated instance's exit
// code, or nothing when the user refused the elevation. Other failures raise.
std::optional<uint32_t> RelaunchElevated(const std::string& params);

// Runs a command line and waits for it: false when it cannot start or does not become idle
// for input within 5 seconds.
bool ExecuteAndWait(const std::string& commandLine);

} // namespace Setup::Core
