// Windows-style command-line parsing: switches, values and free text, and the three queries.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "KVL/Base/Parsers.h"

namespace KVL::Utils::CommandLine {

class TKVLCommandLineProcessor {
public:
  // One switch as parsed; the unnamed command (empty name) collects free text.
  struct TCommand {
    std::string Name;
    std::vector<std::string> Values;
  };
  using TCommands = std::vector<std::unique_ptr<TCommand>>;
};

// Splits a command line into commands: "/name", "-name", "=value;value", quoted text and free text.
class TKVLCommandLineParser : public Parsers::TKVLParser {
public:
  TKVLCommandLineParser();
  // Parses text into commands (appended to the list). Never fails.
  void Parse(std::string_view text, TKVLCommandLineProcessor::TCommands& commands);

private:
  using TCommand = TKVLCommandLineProcessor::TCommand;
  void Handle(const Parsers::TKVLToken& token);
  void HandleFree(const Parsers::TKVLToken& token);  // state 0
  void Flush();
  void AddValue(const std::string& value);

  TKVLCommandLineProcessor::TCommands* commands_ = nullptr;
  TCommand* current_ = nullptr;
  std::string buffer_;
  Parsers::TKVLToken previous_;
  int state_ = 1;
};

// The process's command line without the program's own path, trimmed.
std::string GetCommandLineParams();
// The same rule applied to a given full command line (program path first).
std::string ExtractCommandLineParams(std::string_view commandLine);

// Whether the switch is present (names compare ignoring case; the first occurrence counts).
bool HasSwitch(std::string_view text, std::string_view name);
// Whether the switch is present; value receives its values joined with ";".
bool GetSwitchValue(std::string_view text, std::string_view name, std::string& value);

} // namespace KVL::Utils::CommandLine
