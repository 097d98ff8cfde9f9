// Core file services: copy with a clear error, delete-or-schedule, file search and file lists.
#include <gtest/gtest.h>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "TestUtil.h"
#include "setup/core/FileServices.h"

using namespace Setup::Core;
using namespace KVL::Platform;

namespace {
std::string Rel(const TestUtil::TTempDir& dir, const std::string& path) { return path.substr(dir.Path().size()); }
std::string P(std::string s) {  // a relative path with the platform's separator
  for (char& c : s)
    if (c == '/') c = kPathDelim;
  return s;
}
} // namespace

TEST(CoreFileServices, CopyFileOrRaiseNamesBothFiles) {
  TestUtil::TTempDir dir;
  TestUtil::WriteWholeFile(dir.File("a.txt"), "new");
  TestUtil::WriteWholeFile(dir.File("b.txt"), "old");
  CopyFileOrRaise(dir.File("a.txt"), dir.File("b.txt"));
  EXPECT_EQ(TestUtil::ReadWholeFile(dir.File("b.txt")), "new");
  try {
    CopyFileOrRaise(dir.File("missing.txt"), dir.File("c.txt"));
    FAIL() << "no error";
  } catch (const EKVLOSError& e) {
    std::string msg = e.what();
    EXPECT_EQ(msg.rfind("System Error.  Code: ", 0), 0u) << msg;
    EXPECT_NE(msg.find(dir.File("missing.txt") + " -> " + dir.File("c.txt")), std::string::npos) << msg;
  }
}

TEST(CoreFileServices, DeleteFileOrScheduleRemovesPlainAndReadOnlyFiles) {
  TestUtil::TTempDir dir;
  TestUtil::WriteWholeFile(dir.File("plain.dll"), "x");
  TestUtil::WriteWholeFile(dir.File("ro.dll"), "x");
  SetFileAttr(dir.File("ro.dll"), faReadOnly);
  for (const char* name : {"plain.dll", "ro.dll", "missing.dll"}) {
    DeleteFileOrSchedule(dir.File(name));
    EXPECT_FALSE(FileExists(dir.File(name))) << name;
  }
}

TEST(CoreFileServices, FindFilesListsFilesBeforeSortedSubfoldersAndSkipsTheExcludedTree) {
  TestUtil::TTempDir dir;
  for (const char* f : {"root/b.txt", "root/a.txt", "root/Zeta/z.txt", "root/alpha/x.txt", "root/alpha/deep/y.txt",
                        "root/!Backup/old.zip"}) {
    ASSERT_TRUE(ForceDirectories(ExtractFilePath(dir.File(f))));
    TestUtil::WriteWholeFile(dir.File(f), f);
  }
  std::vector<std::string> files;
  FindFiles(dir.File("root/"), dir.File("root/!BACKUP/"), files);
  std::vector<std::string> rel;
  for (const auto& f : files) rel.push_back(Rel(dir, f));
  std::vector<std::string> want = {P("root/a.txt"), P("root/b.txt"), P("root/alpha/x.txt"), P("root/alpha/deep/y.txt"),
                                   P("root/Zeta/z.txt")};
  // Sub-folders sort ignoring case, as Windows lists them: "alpha" before "Zeta".
  EXPECT_EQ(rel, want);

  TSetupFileList list;
  list.AddFolder(dir.File("root/"), "", P("Program/"));
  ASSERT_EQ(list.Count(), 6);
  EXPECT_EQ(list.Items(0).Target, P("Program/a.txt"));
  EXPECT_EQ(list.Items(0).Source, dir.File("root/a.txt"));
  list.RemoveByName("X.TXT");
  list.RemoveByName("old.zip");
  EXPECT_EQ(list.Count(), 4);
  for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.Items(i).Target.find("x.txt"), std::string::npos);
}
