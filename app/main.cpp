// Entry point of ONDU Setup: the installer and, as Uninstall.exe, the uninstaller.
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Utils/CommandLine.h"
#include "app/Startup.h"
#include "setup/product/ProductInfoONDU.h"

int main() {
  // Before anything can load a library: never from the folder the installer was started from.
  KVL::Platform::HardenLibrarySearch();
  Setup::Product::ONDU::RegisterProduct();
  return App::RunSetup(KVL::Utils::CommandLine::GetCommandLineParams());
}
