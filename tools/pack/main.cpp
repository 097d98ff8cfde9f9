// ondu-pack: create, list, extract and verify IPK5 packages.
#include <iostream>
#include <string>
#include <vector>

#include "KVL/Base/Platform/CommandLine.h"
#include "tools/pack/PackTool.h"

int main() {
  // The platform's UTF-8 arguments: Windows' narrow argv would lose non-ANSI file names.
  std::vector<std::string> args = KVL::Platform::ProcessArguments();
  if (!args.empty()) args.erase(args.begin());
  return PackTool::RunPackTool(args, std::cout, std::cerr);
}
