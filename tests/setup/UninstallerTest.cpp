// The uninstaller bootstrap: its names, the copy into the temporary folder and the re-launch from there.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/SysUtils.h"
#include "KVL/Base/Utils/CommandLine.h"
#include "TestUtil.h"
#include "setup/core/Uninstaller.h"

using namespace KVL::Platform;
using KVL::SysUtils::SameText;
using TestUtil::TTempDir;

namespace {

// Points the temporary folder (and on POSIX the machine's root) into test folders.
struct TScratchSystem {
  TTempDir Temp;
#ifdef _WIN32
  TEnvironmentOverride Tmp{"TMP", Temp.Path()};
  TEnvironmentOverride TempVar{"TEMP", Temp.Path()};
#else
  TTempDir Root;
  TEnvironmentOverride TmpDir{"TMPDIR", Temp.Path()};
  TEnvironmentOverride RootVar{"KVL_SYSTEM_ROOT", Root.Path()};
#endif
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The last n scheduled deletions (Windows keeps those of earlier runs too).
std::vector<std::string> LastPending(size_t n) {
  std::vector<std::string> all = PendingDeletions();
  return std::vector<std::string>(all.end() - static_cast<ptrdiff_t>(std::min(n, all.size())), all.end());
}

} // namespace

TEST(UninstallerBootstrap, CopyToTempReplacesAReadOnlyLeftoverAndSchedulesTheCopy) {
  TScratchSystem sys;
  TTempDir install;
  const std::string file = install.File("Uninstall.exe");
  TestUtil::WriteWholeFile(file, "new");
  for (const bool leftover : {false, true}) {
    const std::string expected = sys.Temp.File("Uninstall.exe");
    if (leftover) {
      TestUtil::WriteWholeFile(expected, "old");
      ASSERT_TRUE(SetFileAttr(expected, faReadOnly));
    }
    EXPECT_EQ(Setup::Core::CopyToTemp(sys.Temp.Path(), file), expected);
    EXPECT_EQ(TestUtil::ReadWholeFile(expected), "new") << leftover;
    const std::vector<std::string> last = LastPending(1);
    ASSERT_EQ(last.size(), 1u);
    EXPECT_TRUE(SameText(last[0], expected)) << last[0];
  }
  try {
    Setup::Core::CopyToTemp(sys.Temp.Path(), install.File("Uninstall.dat"));
    ADD_FAILURE() << "no error for a missing file";
  } catch (const EKVLOSError& e) {
    EXPECT_NE(std::string(e.what()).find(install.File("Uninstall.dat") + " -> " + sys.Temp.File("Uninstall.dat")),
              std::string::npos)
        << e.what();
  }
}

TEST(UninstallerBootstrap, TheTestProgramIsNeitherTheUninstallerNorInTheTemporaryFolder) {
  const std::string exe = ExecutablePath();
  EXPECT_FALSE(Setup::Core::IsUninstaller());
  const std::string data = Setup::Core::UninstallDataPath();
#ifdef _WIN32
  EXPECT_TRUE(SameText(data, exe.substr(0, exe.size() - 4) + ".dat")) << data;  // ".exe" replaced
#else
  EXPECT_EQ(data, exe + ".dat");  // no extension to replace
#endif
  {
    TScratchSystem sys;
    EXPECT_FALSE(Setup::Core::IsRunningFromTemp());
  }
  TEnvironmentOverride tmp(
#ifdef _WIN32
      "TMP",
#else
      "TMPDIR",
#endif
      ExtractFilePath(exe));
  EXPECT_TRUE(Setup::Core::IsRunningFromTemp());
}

TEST(UninstallerBootstrap, RelaunchFromTempStartsTheCopyFromAPrivateFolderWithTheInstallFolder) {
  TScratchSystem sys;
  TTempDir install;
  // The name is compared ignoring case, and the data package follows the executable's name.
  const std::string exe = install.File("uninstall.EXE");
  TestUtil::CopyChildProgram(exe);
  TestUtil::WriteWholeFile(install.File("uninstall.dat"), "package");
  const std::string record = sys.Temp.File("record.txt");
  // The copy writes the record: it sees /PATH and passes /RECORD on from the first instance.
  TProcess first = StartProcess(exe, {"--relaunch-from-temp", "/RECORD=\"" + record + "\""});
  ASSERT_TRUE(first.WaitForExit(20000));
  EXPECT_EQ(first.ExitCode(), 0u);
  ASSERT_TRUE(TestUtil::WaitForFile(record, 20000));

  const std::vector<std::string> lines = Lines(TestUtil::ReadWholeFile(record));
  ASSERT_EQ(lines.size(), 6u) << TestUtil::ReadWholeFile(record);
  const std::string params = lines[0], copy = lines[1], cwd = lines[2];
  std::string path, recordSwitch;
  ASSERT_TRUE(KVL::Utils::CommandLine::GetSwitchValue(params, "PATH", path)) << params;
  EXPECT_TRUE(SameText(path, install.Path())) << params;
  ASSERT_TRUE(KVL::Utils::CommandLine::GetSwitchValue(params, "RECORD", recordSwitch)) << params;
  EXPECT_TRUE(SameText(recordSwitch, record)) << params;

  // <temp>ond<hex>/uninstall.EXE, run from its own folder, beside its data package.
  const std::string folder = ExtractFilePath(copy);
  EXPECT_TRUE(SameText(folder.substr(0, sys.Temp.Path().size() + 3), sys.Temp.Path() + "ond")) << copy;
  EXPECT_TRUE(SameText(copy.substr(folder.size()), "uninstall.EXE")) << copy;
  EXPECT_TRUE(SameText(cwd, folder)) << cwd;
  EXPECT_EQ(lines[3], "1");  // running from the temporary folder
  EXPECT_EQ(lines[4], "1");  // the uninstaller
  EXPECT_TRUE(SameText(lines[5], folder + "uninstall.dat")) << lines[5];
  EXPECT_EQ(TestUtil::ReadWholeFile(folder + "uninstall.dat"), "package");
#ifndef _WIN32
  EXPECT_EQ(std::filesystem::status(folder).permissions(), std::filesystem::perms::owner_all);
#endif
  // Both files first, then their folder, so the restart finds it empty.
  const std::vector<std::string> last = LastPending(3);
  ASSERT_EQ(last.size(), 3u);
  EXPECT_TRUE(SameText(last[0], copy)) << last[0];
  EXPECT_TRUE(SameText(last[1], folder + "uninstall.dat")) << last[1];
  EXPECT_TRUE(SameText(last[2], folder.substr(0, folder.size() - 1))) << last[2];
}
