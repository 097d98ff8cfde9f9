// Removing the installation's shell registration and its installed-program entry.
#include "setup/product/RemoveFromRegistry.h"

#include <string>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "setup/core/ApplicationRepository.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Setup.h"
#include "setup/core/SpawnService.h"

namespace Setup::Product::ONDU::Actions {

void TSetupUpdateTaskRemoveFromRegistry::Execute(KVL::Classes::TKVLStringList*) {
  Setup::Core::TSetup& setup = *Setup::Core::Setup;
  const std::string elevator = setup.DestPath() + "Elevator.exe";
  // Quoted: an unquoted path with a blank would let the system try a program at its first
  // word (C:\Program.exe) and fails to start at all on POSIX.
  if (KVL::Platform::FileExists(elevator)) {
    try {
      Setup::Core::ExecuteAndWait(KVL::Platform::QuoteCommandLine(elevator, {"/REG=U"}));
    } catch (const KVL::SysUtils::EKVLError&) {
      // A companion program that cannot run is passed over; the entry still goes.
    }
  }
  Setup::Core::TSetupApplicationRepository::Unregister(setup.ProductInfo().GetName());
}

} // namespace Setup::Product::ONDU::Actions
