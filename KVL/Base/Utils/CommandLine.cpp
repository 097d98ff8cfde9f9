// Windows-style command-line parsing and the switch queries.
#include "KVL/Base/Utils/CommandLine.h"

#include "KVL/Base/Platform/CommandLine.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Utils::CommandLine {

using Parsers::TKVLToken;
using namespace Parsers;

TKVLCommandLineParser::TKVLCommandLineParser()
    : TKVLParser(std::string_view("-/=; \r\n", 7), "\"", " ") {
  QuotedStrings = true;
  StripQuotes = true;
  SkipSpaces = false;
  SkipDelimiters = false;
}

void TKVLCommandLineParser::Parse(std::string_view text, TKVLCommandLineProcessor::TCommands& commands) {
  commands_ = &commands;
  current_ = nullptr;
  buffer_.clear();
  previous_ = TKVLToken{};
  state_ = 1;
  SetText(text);
  TKVLToken token;
  while (GetToken(token)) {
    Handle(token);
    previous_ = token;
  }
  Flush();
  commands_ = nullptr;
  current_ = nullptr;
}

void TKVLCommandLineParser::Flush() {
  std::string text;
  text.swap(buffer_);
  AddValue(text);
}

void TKVLCommandLineParser::AddValue(const std::string& value) {
  std::string v = SysUtils::Trim(value);
  if (v.empty()) return;
  if (!current_) {
    commands_->push_back(std::make_unique<TCommand>());
    current_ = commands_->back().get();
  }
  current_->Values.push_back(std::move(v));
}

namespace {
bool IsSwitchChar(const TKVLToken& t, char c) { return t.Kind == tkDelimiter && t.Text[0] == c; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// A drive ("C:") or a network share ("\\server\share") starts a new value.
bool StartsWithRoot(const std::string& w) {
  if (w.size() >= 2 && IsLetter(w[0]) && w[1] == ':') return true;
  if (w.size() < 5 || w[0] != '\\' || w[1] != '\\') return false;
  size_t sep = w.find('\\', 2);
  return sep != std::string::npos && sep > 2 && sep + 1 < w.size() && w[sep + 1] != '\\';
}
} // namespace

void TKVLCommandLineParser::Handle(const TKVLToken& token) {
  switch (state_) {
    case 1:  // between arguments
      if (IsSwitchChar(token, '/') ||
          (IsSwitchChar(token, '-') && (!commands_->empty() || buffer_.empty()))) {
        state_ = 2;
      } else {
        state_ = 0;
        buffer_ += previous_.Text;
        HandleFree(token);
      }
      break;
    case 2:  // after "/" or "-"
      if (token.Kind == tkWord) {
        Flush();
        commands_->push_back(std::make_unique<TCommand>());
        current_ = commands_->back().get();
        current_->Name = token.Text;
        state_ = 3;
      } else {
        state_ = 0;
        buffer_ += ' ';
        buffer_ += previous_.Text;
        HandleFree(token);
      }
      break;
    case 3:  // after a switch name
      if (IsSwitchChar(token, '=')) {
        state_ = 4;
      } else {
        state_ = 0;
        HandleFree(token);
      }
      break;
    case 4:  // in a value
      if (token.Kind == tkSpace) {
        Flush();
        state_ = 1;
        current_ = nullptr;
      } else if (IsSwitchChar(token, ';')) {
        Flush();
      } else if (token.Kind == tkDelimiter) {
        buffer_ += token.Text;
      } else if (token.Kind == tkQuotedString || token.Kind == tkWord) {
        HandleFree(token);
      }  // a lone quote character is dropped
      break;
    default:
      HandleFree(token);
      break;
  }
}

void TKVLCommandLineParser::HandleFree(const TKVLToken& token) {
  switch (token.Kind) {
    case tkSpace:
      state_ = 1;
      break;
    case tkDelimiter:
    case tkQuoteChar:
      if (token.Text[0] == '\r' || token.Text[0] == '\n')
        Flush();
      else
        buffer_ += token.Text;
      break;
    case tkQuotedString:
      Flush();
      AddValue(token.Text);
      break;
    case tkWord:
      if (StartsWithRoot(token.Text)) Flush();
      buffer_ += token.Text;
      break;
    default:
      break;
  }
}

std::string ExtractCommandLineParams(std::string_view commandLine) {
  std::string line = SysUtils::Trim(commandLine);
  Parsers::TKVLParser parser(" \r\n", "\"'", std::string_view(" \r\n\t\0", 5));
  parser.QuotedStrings = true;
  parser.StripQuotes = true;
  parser.SkipSpaces = true;
  parser.SkipDelimiters = false;
  parser.SetText(line);
  TKVLToken program;
  if (!parser.GetToken(program)) return std::string();
  return SysUtils::Trim(parser.Rest());
}

std::string GetCommandLineParams() { return ExtractCommandLineParams(Platform::ProcessCommandLine()); }

bool GetSwitchValue(std::string_view text, std::string_view name, std::string& value) {
  TKVLCommandLineProcessor::TCommands commands;
  TKVLCommandLineParser().Parse(text, commands);
  for (const auto& c : commands) {
    if (!SysUtils::SameText(c->Name, name)) continue;
    value.clear();
    for (size_t i = 0; i < c->Values.size(); ++i) {
      if (i) value += ';';
      value += c->Values[i];
    }
    return true;
  }
  return false;
}

bool HasSwitch(std::string_view text, std::string_view name) {
  std::string ignored;
  return GetSwitchValue(text, name, ignored);
}

} // namespace KVL::Utils::CommandLine
