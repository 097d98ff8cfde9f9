// Command-line parsing: switches, values, free text, the program-path split and argv rebuilding.
#include <gtest/gtest.h>

#include "KVL/Base/Parsers.h"
#include "KVL/Base/Platform/CommandLine.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Utils/CommandLine.h"

using namespace KVL::Utils::CommandLine;

namespace {
// Renders parsed commands as "name[v1|v2] ..." so a case fits on one line.
std::string Dump(std::string_view text) {
  TKVLCommandLineProcessor::TCommands commands;
  TKVLCommandLineParser().Parse(text, commands);
  std::string out;
  for (const auto& c : commands) {
    if (!out.empty()) out += ' ';
    out += c->Name + "[";
    for (size_t i = 0; i < c->Values.size(); ++i) out += (i ? "|" : "") + c->Values[i];
    out += "]";
  }
  return out;
}
} // namespace

TEST(CommandLineParser, ParsesLikeTheWindowsInstallerLine) {
  struct Case { const char* text; const char* commands; };
  const Case cases[] = {
      {"/AUTO /SILENT", "AUTO[] SILENT[]"},
      {"/AUTO=\"C:\\Program Files\\ONDU\\\"", "AUTO[C:\\Program Files\\ONDU\\]"},
      {"/AUTO=C:\\Program Files\\ONDU\\", "AUTO[C:\\Program] [Files\\ONDU\\]"},
      {"/AUTO=C:\\a;b", "AUTO[C:\\a|b]"},
      {"/AUTO=C:\\my-folder", "AUTO[C:\\my-folder]"},
      {"-AUTO", "AUTO[]"},
      {"abc -AUTO", "[abc -AUTO]"},
      {"/RUN abc -AUTO", "RUN[abc] AUTO[]"},
      {"/AUTO= /RUN", "AUTO[] RUN[]"},
      {"/PATH free text here", "PATH[free text here]"},
      {"/AUTO=x free text", "AUTO[x] [free text]"},
      {"/AUTO=/opt/x/", "AUTO[/opt/x/]"},
      {"/AUTO=\"x", "AUTO[x]"},                   // an unclosed quote opening a value is dropped
      {"/AUTO=a\"b", "AUTO[a\"b]"},               // inside a word it is an ordinary character
      {"/ AUTO", "[/ AUTO]"},                      // a lone slash is free text
      {"\"unclosed", "[\"unclosed]"},
      {"C:\\a D:\\b", "[C:\\a|D:\\b]"},            // a drive starts a new value
      {"x \\\\srv\\share\\f", "[x|\\\\srv\\share\\f]"},
      {"a\r\nb", "[a|b]"},
      {"/A=1 /a=2", "A[1] a[2]"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Dump(c.text), c.commands) << "input: " << c.text;
}

TEST(CommandLineQueries, FirstOccurrenceAnyCase) {
  std::string v;
  EXPECT_TRUE(HasSwitch("/AUTO /SILENT", "auto"));
  EXPECT_TRUE(HasSwitch("/AUTO /SILENT", "Silent"));
  EXPECT_FALSE(HasSwitch("/AUTO /SILENT", "RUN"));
  ASSERT_TRUE(GetSwitchValue("/AUTO /SILENT", "AUTO", v));
  EXPECT_EQ(v, "");
  ASSERT_TRUE(GetSwitchValue("/AUTO=C:\\a;b", "auto", v));
  EXPECT_EQ(v, "C:\\a;b");
  ASSERT_TRUE(GetSwitchValue("/SKIPUAC=12 /skipuac=34", "SKIPUAC", v));
  EXPECT_EQ(v, "12");
  EXPECT_FALSE(GetSwitchValue("plain text", "AUTO", v));
}

TEST(CommandLineParams, DropsTheProgramPath) {
  struct Case { const char* line; const char* params; };
  const Case cases[] = {
      {"C:\\setup.exe", ""},
      {"\"C:\\Program Files\\setup.exe\"", ""},
      {"  \"C:\\Program Files\\setup.exe\"   /AUTO /SILENT  ", "/AUTO /SILENT"},
      {"'C:\\my setup.exe' /RUN", "/RUN"},
      {"setup.exe\t/x /AUTO", "/AUTO"},  // a tab belongs to the program's word
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtractCommandLineParams(c.line), c.params) << "line: " << c.line;
}

TEST(CommandLineParams, RebuiltArgumentsParseBack) {
  std::string line = KVL::Platform::JoinArguments(
      {"/usr/bin/ondu setup", "/AUTO=/opt/my dir/", "/SILENT", "free text", "-PATH=C:\\x;y"});
  std::string params = ExtractCommandLineParams(line);
  std::string v;
  ASSERT_TRUE(GetSwitchValue(params, "AUTO", v));
  EXPECT_EQ(v, "/opt/my dir/");
  EXPECT_TRUE(HasSwitch(params, "SILENT"));
  ASSERT_TRUE(GetSwitchValue(params, "PATH", v));
  EXPECT_EQ(v, "C:\\x;y");
}

TEST(CommandLineParams, ProcessLineStartsWithThisProgram) {
  std::string line = KVL::Platform::ProcessCommandLine();
  EXPECT_NE(line.find("ondu_tests"), std::string::npos) << line;
  std::vector<std::string> args = KVL::Platform::ProcessArguments();
  ASSERT_FALSE(args.empty());
  EXPECT_NE(args[0].find("ondu_tests"), std::string::npos) << args[0];
  std::string exe = KVL::Platform::ExecutablePath();
  EXPECT_NE(exe.find("ondu_tests"), std::string::npos) << exe;
  EXPECT_TRUE(KVL::Platform::FileExists(exe));
}

TEST(Tokenizer, KindsAndSkipping) {
  KVL::Parsers::TKVLParser p(",", "'", " ");
  p.QuotedStrings = true;
  p.SkipSpaces = false;
  p.SkipDelimiters = false;
  p.SetText("ab c,'q r' 'x");
  std::vector<std::pair<int, std::string>> got;
  KVL::Parsers::TKVLToken t;
  while (p.GetToken(t)) got.emplace_back(t.Kind, t.Text);
  // A word runs to the next delimiter, spaces included; an unclosed quote is a quote character.
  std::vector<std::pair<int, std::string>> want = {
      {5, "ab c"}, {2, ","}, {4, "q r"}, {1, " "}, {3, "'"}, {5, "x"}};
  EXPECT_EQ(got, want);
}
