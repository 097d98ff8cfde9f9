// ondu-build-installer: writes the finished installer executable with its two packages.
#include <iostream>
#include <string>
#include <vector>

#include "KVL/Base/Platform/CommandLine.h"
#include "tools/installer-builder/InstallerBuilder.h"

int main() {
  // The platform's UTF-8 arguments: Windows' narrow argv would lose non-ANSI file names.
  std::vector<std::string> args = KVL::Platform::ProcessArguments();
  if (!args.empty()) args.erase(args.begin());
  return InstallerBuilder::RunInstallerBuilder(args, std::cout, std::cerr);
}
