// Child processes, command-line quoting, shell "open" and other programs' windows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/SysUtils.h"
#include "TestUtil.h"

using namespace KVL::Platform;
using TestUtil::ChildProgramPath;

namespace {

bool WaitForFile(const std::string& path, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    if (FileExists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return FileExists(path);
}

} // namespace

TEST(ProcessCommandLine, QuotedArgumentsSplitBackUnchanged) {
  const std::vector<std::vector<std::string>> cases = {
      {"plain", "two"},
      {"with space", "", "tab\there"},
      {"say \"hi\"", "\"", "\"\""},
      {"C:\\Program Files\\", "trail\\\\", "back\\\"quote", "a\\b\\c"},
      {"/AUTO", "/PATH=C:\\My Dir\\"},
  };
  for (const auto& args : cases) {
    const std::string line = QuoteCommandLine("C:\\Program Files\\ONDU\\Setup.exe", args);
    std::vector<std::string> expected = {"C:\\Program Files\\ONDU\\Setup.exe"};
    expected.insert(expected.end(), args.begin(), args.end());
    EXPECT_EQ(SplitCommandLine(line), expected) << line;
  }
}

TEST(ProcessCommandLine, SplitsLikeTheWindowsRuntime) {
  struct TCase {
    std::string line;
    std::vector<std::string> args;
  };
  const TCase cases[] = {
      {"", {}},
      {"  a   b ", {"a", "b"}},
      {"\"a b\" c", {"a b", "c"}},
      {"a\\\\\\b", {"a\\\\\\b"}},          // backslashes not before a quote are literal
      {"a\\\\\"b c\"", {"a\\b c"}},        // 2n backslashes + quote: n backslashes, quote toggles
      {"a\\\\\\\"b", {"a\\\"b"}},          // 2n+1 backslashes + quote: n backslashes, literal quote
      {"\"a\"\"b\"", {"a\"b"}},            // doubled quote inside quotes
      {"ab\"c d\"ef", {"abc def"}},
  };
  for (const TCase& c : cases) EXPECT_EQ(SplitArguments(c.line), c.args) << c.line;
  // The program name knows no escapes: a backslash before its closing quote stays.
  EXPECT_EQ(SplitCommandLine("\"C:\\dir\\\" x"), (std::vector<std::string>{"C:\\dir\\", "x"}));
}

TEST(ProcessCommandLine, RecognisesAddresses) {
  const std::pair<const char*, bool> cases[] = {
      {"https://example.org/", true}, {"file:\\\\server\\share", true}, {"mailto:someone@example.org", true},
      {"C:\\Program Files\\ONDU\\ONDU.exe", false}, {"notes.txt", false}, {"http:/x", false}, {"a:/\\b", false},
  };
  for (const auto& [text, url] : cases) EXPECT_EQ(IsUrl(text), url) << text;
}

TEST(Process, ExitCodeOfAStartedProgram) {
  TProcess p = StartProcess(ChildProgramPath(), {"--exit", "7"});
  ASSERT_TRUE(p.IsValid());
  EXPECT_NE(p.Id(), 0u);
  EXPECT_TRUE(p.WaitForInputIdle());
  ASSERT_TRUE(p.WaitForExit());
  EXPECT_EQ(p.ExitCode(), 7u);
}

TEST(Process, WholeCommandLineWithQuotedPaths) {
  TestUtil::TTempDir dir;
  ASSERT_TRUE(ForceDirectories(dir.File("a b")));
  const std::string marker = dir.File("a b/marker file.txt");
  TProcess p = StartProcess(QuoteCommandLine(ChildProgramPath(), {"--marker", marker, "--exit", "3"}));
  ASSERT_TRUE(p.WaitForExit(10000));
  EXPECT_EQ(p.ExitCode(), 3u);
  EXPECT_EQ(TestUtil::ReadWholeFile(marker), "ok");
}

TEST(Process, WaitWithTimeout) {
  TProcess p = StartProcess(ChildProgramPath(), {"--sleep", "1000", "--exit", "4"});
  EXPECT_NE(p.NativeWaitable(), -1);
  EXPECT_FALSE(p.WaitForExit(50));
  EXPECT_THROW(p.ExitCode(), KVL::SysUtils::EKVLInvalidOperation);
  // While it runs, its executable is known by its id.
  EXPECT_TRUE(KVL::SysUtils::SameText(ProcessExecutablePath(p.Id()), ChildProgramPath()));
  ASSERT_TRUE(p.WaitForExit(10000));
  EXPECT_EQ(p.ExitCode(), 4u);
  // A moved-from handle is empty; the new owner keeps the result.
  TProcess moved = std::move(p);
  EXPECT_FALSE(p.IsValid());
  EXPECT_EQ(moved.ExitCode(), 4u);
}

TEST(Process, MissingProgramRaises) {
  TestUtil::TTempDir dir;
  EXPECT_THROW(StartProcess(dir.File("no-such-program.exe"), {}), EKVLProcessError);
  EXPECT_THROW(StartProcess(QuoteCommandLine(dir.File("no such program.exe"), {})), EKVLProcessError);
}

TEST(Process, CurrentProcessFacts) {
  EXPECT_TRUE(KVL::SysUtils::SameText(ProcessExecutablePath(CurrentProcessId()), ExecutablePath()));
  HardenLibrarySearch();  // must leave the process working: the next start still succeeds
  TProcess p = StartProcess(ChildProgramPath(), {});
  ASSERT_TRUE(p.WaitForExit(10000));
  EXPECT_EQ(p.ExitCode(), 0u);
}

TEST(Process, ShellOpenStartsAProgramDetached) {
  TestUtil::TTempDir dir;
  const std::string marker = dir.File("opened.txt");
  ASSERT_TRUE(ShellOpen(ChildProgramPath(), "--sleep 100 --marker \"" + marker + "\""));
  EXPECT_TRUE(WaitForFile(marker, 10000));
  // Let the child finish before the folder goes.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
}

TEST(Process, FindsAndClosesAnotherProgramsWindow) {
  const std::string cls = "TOnduTestWindow" + std::to_string(CurrentProcessId());
  TProcess p = StartProcess(ChildProgramPath(), {"--window", cls});
  EXPECT_TRUE(p.WaitForInputIdle());
  std::vector<intptr_t> windows;
  for (int i = 0; i < 250 && windows.empty(); ++i) {
    windows = FindTopLevelWindows(cls);
    if (!windows.empty()) break;
    // Wine or X11 without a display creates no top-level windows.
    if (p.WaitForExit(20) && p.ExitCode() == 91) GTEST_SKIP() << "this system cannot create top-level windows";
  }
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(WindowProcessId(windows[0]), p.Id());
  EXPECT_TRUE(KVL::SysUtils::SameText(ProcessExecutablePath(WindowProcessId(windows[0])), ChildProgramPath()));
  SendCloseRequest(windows[0]);  // returns once the child has handled it
  ASSERT_TRUE(p.WaitForExit(10000));
  EXPECT_EQ(p.ExitCode(), 42u);  // the child's code for "closed by WM_CLOSE"
  EXPECT_TRUE(FindTopLevelWindows(cls).empty());
}

#ifdef _WIN32

TEST(Process, RunAsReturnsTheProcess) {
  // Wine runs everything as an administrator, so the verb starts the program without a prompt.
  std::optional<TProcess> p = ShellExecuteRunAs(ChildProgramPath(), "--exit 5", "");
  ASSERT_TRUE(p.has_value());
  ASSERT_TRUE(p->WaitForExit(10000));
  EXPECT_EQ(p->ExitCode(), 5u);
}

#else

TEST(Process, RunAsGoesThroughPkexec) {
  // A stand-in pkexec that runs what it is given shows the arguments it receives; without
  // one on PATH elevation is refused with a clear message.
  TestUtil::TTempDir dir;
  const std::string fake = dir.File("pkexec");
  TestUtil::WriteWholeFile(fake, "#!/bin/sh\nexec \"$@\"\n");
  std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
  struct TRestorePath {
    std::string saved = getenv("PATH") ? getenv("PATH") : "";
    ~TRestorePath() { setenv("PATH", saved.c_str(), 1); }
  } restore;
  setenv("PATH", dir.Path().c_str(), 1);
  std::optional<TProcess> p = ShellExecuteRunAs(ChildProgramPath(), "--marker \"" + dir.File("m k") + "\" --exit 5", "");
  setenv("PATH", (dir.Path() + "missing").c_str(), 1);
  try {
    ShellExecuteRunAs(ChildProgramPath(), "", "");
    ADD_FAILURE() << "no error without pkexec";
  } catch (const EKVLProcessError& e) {
    EXPECT_STREQ(e.what(), "elevation is not available");
  }
  ASSERT_TRUE(p.has_value());
  ASSERT_TRUE(p->WaitForExit(10000));
  EXPECT_EQ(p->ExitCode(), 5u);
  EXPECT_EQ(TestUtil::ReadWholeFile(dir.File("m k")), "ok");
}

#endif
