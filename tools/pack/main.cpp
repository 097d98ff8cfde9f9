// ondu-pack: create, list, extract and verify IPK5 packages.
#include <iostream>
#include <string>
#include <vector>

#include "tools/pack/PackTool.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return PackTool::RunPackTool(args, std::cout, std::cerr);
}
