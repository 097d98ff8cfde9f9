// Fuzz target: the command-line parser and the program-path split on arbitrary text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "KVL/Base/Utils/CommandLine.h"

using namespace KVL::Utils::CommandLine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  TKVLCommandLineProcessor::TCommands commands;
  TKVLCommandLineParser().Parse(text, commands);
  // Values are stored trimmed and never empty.
  for (const auto& c : commands)
    for (const auto& v : c->Values)
      if (v.empty() || static_cast<uint8_t>(v.front()) < 33 || static_cast<uint8_t>(v.back()) < 33) std::abort();
  std::string value;
  if (GetSwitchValue(text, "AUTO", value) != HasSwitch(text, "auto")) std::abort();
  ExtractCommandLineParams(text);
  return 0;
}
