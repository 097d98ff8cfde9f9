// Copying, moving, attributes, temporary names, scheduled deletions and paths of the file service.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"
#include "TestUtil.h"

using namespace KVL::Platform;
using TestUtil::ReadWholeFile;
using TestUtil::TTempDir;
using TestUtil::WriteWholeFile;

namespace {

constexpr int64_t kTime2001 = 126227808000000000;  // 2001-01-01 00:00:00 UTC in Windows ticks

uint32_t Attr(const std::string& path) {
  std::optional<TFileInfo> info = QueryFileInfo(path);
  return info ? info->Attributes : 0xFFFFFFFF;
}

// Makes dir the current folder for a test and restores the previous one.
class TCurrentDirGuard {
public:
  explicit TCurrentDirGuard(const std::string& dir) : saved_(GetCurrentDir()) { EXPECT_TRUE(SetCurrentDir(dir)); }
  ~TCurrentDirGuard() { SetCurrentDir(saved_); }

private:
  std::string saved_;
};

} // namespace

TEST(FileOps, CopyReplacesTargetAndKeepsTimeAndReadOnlyState) {
  TTempDir dir;
  std::string src = dir.File("src.bin"), dst = dir.File("dst.bin");
  WriteWholeFile(src, std::string("ab\0cd", 5));
  WriteWholeFile(dst, "a much longer old content that must not survive");
  ASSERT_TRUE(SetLastWriteTime(src, kTime2001));
  ASSERT_TRUE(CopyFileReplacing(src, dst));
  EXPECT_EQ(ReadWholeFile(dst), std::string("ab\0cd", 5));
  EXPECT_EQ(QueryFileInfo(dst)->LastWriteTime, kTime2001);
  EXPECT_EQ(QueryFileInfo(dst)->Size, 5);

  ASSERT_TRUE(SetFileAttr(src, faReadOnly));
  std::string fresh = dir.File("fresh.bin");
  ASSERT_TRUE(CopyFileReplacing(src, fresh));
  EXPECT_TRUE(Attr(fresh) & faReadOnly);
  ClearFileAttributes(src);
  ClearFileAttributes(fresh);
}

TEST(FileOps, CopyRefusesWhatWindowsRefuses) {
  TTempDir dir;
  std::string src = dir.File("src"), dst = dir.File("dst");
  WriteWholeFile(src, "new");
  WriteWholeFile(dst, "old");
  // A read-only target stays (also for root on POSIX) until its attributes are cleared.
  ASSERT_TRUE(SetFileAttr(dst, faReadOnly));
  EXPECT_FALSE(CopyFileReplacing(src, dst));
  EXPECT_EQ(ReadWholeFile(dst), "old");
  ClearFileAttributes(dst);
  EXPECT_TRUE(CopyFileReplacing(src, dst));
  EXPECT_EQ(ReadWholeFile(dst), "new");
  // A file copied onto itself must not be truncated.
  EXPECT_FALSE(CopyFileReplacing(src, src));
  EXPECT_EQ(ReadWholeFile(src), "new");
  EXPECT_FALSE(CopyFileReplacing(dir.File("missing"), dir.File("out")));
  EXPECT_FALSE(FileExists(dir.File("out")));
  ASSERT_TRUE(ForceDirectories(dir.File("folder")));
  EXPECT_FALSE(CopyFileReplacing(src, dir.File("folder")));
  EXPECT_FALSE(CopyFileReplacing(dir.File("folder"), dir.File("out")));
}

TEST(FileOps, RenameMovesButNeverReplaces) {
  TTempDir dir;
  WriteWholeFile(dir.File("a"), "A");
  ASSERT_TRUE(ForceDirectories(dir.File("sub")));
  ASSERT_TRUE(RenameFile(dir.File("a"), dir.File("sub/b")));
  EXPECT_FALSE(FileExists(dir.File("a")));
  EXPECT_EQ(ReadWholeFile(dir.File("sub/b")), "A");

  WriteWholeFile(dir.File("c"), "C");
  EXPECT_FALSE(RenameFile(dir.File("c"), dir.File("sub/b")));
  EXPECT_EQ(ReadWholeFile(dir.File("c")), "C");
  EXPECT_EQ(ReadWholeFile(dir.File("sub/b")), "A");

  ASSERT_TRUE(RenameFile(dir.File("sub"), dir.File("moved")));
  EXPECT_EQ(ReadWholeFile(dir.File("moved/b")), "A");
  EXPECT_FALSE(RenameFile(dir.File("missing"), dir.File("x")));
}

TEST(FileOps, FailedCallRaisesTheSystemErrorWithItsCode) {
  TTempDir dir;
  ASSERT_FALSE(RenameFile(dir.File("missing"), dir.File("x")));
  try {
    RaiseLastOSError("a -> b");
    FAIL();
  } catch (const EKVLOSError& e) {
    EXPECT_NE(e.Code(), 0);
    std::string head = KVL::SysUtils::Format("System Error.  Code: %d.\r\n", e.Code());
    std::string msg = e.what();
    EXPECT_EQ(msg.rfind(head, 0), 0u) << msg;
    EXPECT_GT(msg.size(), head.size() + 6);  // the system's own text sits between
    EXPECT_EQ(msg.substr(msg.size() - 6), "a -> b");
  }
}

TEST(FileOps, RemovesOnlyEmptyFolders) {
  TTempDir dir;
  ASSERT_TRUE(ForceDirectories(dir.File("full")));
  ASSERT_TRUE(ForceDirectories(dir.File("empty")));
  WriteWholeFile(dir.File("full/x"), "x");
  EXPECT_FALSE(RemoveEmptyDirectory(dir.File("full")));
  EXPECT_TRUE(FileExists(dir.File("full/x")));
  EXPECT_TRUE(RemoveEmptyDirectory(dir.File("empty")));
  EXPECT_FALSE(DirectoryExists(dir.File("empty")));
}

TEST(FileOps, InfoAndAttributes) {
  TTempDir dir;
  std::string f = dir.File("f");
  WriteWholeFile(f, "12345");
  std::optional<TFileInfo> info = QueryFileInfo(f);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Size, 5);
  EXPECT_FALSE(info->Attributes & (faDirectory | faReadOnly));
  EXPECT_TRUE(QueryFileInfo(dir.Path())->Attributes & faDirectory);
  EXPECT_FALSE(QueryFileInfo(dir.File("missing")));

  ASSERT_TRUE(SetLastWriteTime(f, kTime2001 + 12345670));  // 1.234567 s later
  EXPECT_EQ(QueryFileInfo(f)->LastWriteTime, kTime2001 + 12345670);

  ASSERT_TRUE(SetFileAttr(f, faReadOnly | faHidden));
#ifdef _WIN32
  EXPECT_EQ(Attr(f) & (faReadOnly | faHidden), faReadOnly | faHidden);
#else
  EXPECT_EQ(Attr(f), faReadOnly);  // hidden cannot be represented
#endif
  ASSERT_TRUE(SetFileAttr(f, 0));
  EXPECT_EQ(Attr(f) & (faReadOnly | faHidden), 0u);
  ASSERT_TRUE(SetFileAttr(f, faReadOnly));
  ClearFileAttributes(f);
  EXPECT_EQ(Attr(f) & faReadOnly, 0u);
  EXPECT_FALSE(SetFileAttr(dir.File("missing"), 0));
}

// A program written out of a package must be runnable by whoever may read it, and by no one else.
TEST(FileOps, SetFileExecutableFollowsTheReadBits) {
  TTempDir dir;
  const std::string f = dir.File("program.exe");
  WriteWholeFile(f, "MZ");
  EXPECT_FALSE(SetFileExecutable(dir.File("missing")));
  EXPECT_FALSE(SetFileExecutable(dir.Path()));
#ifdef _WIN32
  EXPECT_TRUE(SetFileExecutable(f));
#else
  namespace fs = std::filesystem;
  struct TCase {
    fs::perms before, after;
  };
  const TCase cases[] = {
      {fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read,
       fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
           fs::perms::others_exec},
      {fs::perms::owner_read | fs::perms::owner_write, fs::perms::owner_all},
  };
  for (const TCase& c : cases) {
    fs::permissions(f, c.before);
    ASSERT_TRUE(SetFileExecutable(f));
    EXPECT_EQ(fs::status(f).permissions(), c.after);
  }
#endif
}

TEST(FileOps, ExpandFileNameResolvesAgainstTheCurrentFolder) {
  TTempDir dir;
  TCurrentDirGuard cwd(dir.Path());
  std::string base = GetCurrentDir();
  ASSERT_FALSE(base.empty());
  EXPECT_EQ(base.back(), kPathDelim);
  WriteWholeFile(dir.File("probe"), "p");
  EXPECT_TRUE(FileExists(base + "probe"));  // the current folder is the one that was set

  const std::string d(1, kPathDelim);
  std::string root = base.substr(0, base.find(kPathDelim) + 1);
  struct {
    std::string Path;
    std::string Want;
  } cases[] = {
      {"a", base + "a"},
      {"." + d + "a", base + "a"},
      {"a" + d + ".." + d + "b", base + "b"},
      {"a" + d + "b" + d, base + "a" + d + "b" + d},
      {"sub" + d + "." + d + "x" + d + "..", base + "sub"},
      {".", base.substr(0, base.size() - 1)},
      {base + "a" + d + d + "c", base + "a" + d + "c"},
      {base + "a" + d + ".." + d + "c", base + "c"},
      {root + ".." + d + "a", root + "a"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandFileName(c.Path), c.Want) << c.Path;
  // A path that cannot be resolved to a long form comes back unchanged.
  EXPECT_EQ(GetLongPath(base + "no-such-file"), base + "no-such-file");
}

TEST(FileOps, TempFilesAreCreatedWithUniqueNames) {
  TTempDir dir;
  std::vector<std::string> names;
  for (const std::string& folder : {dir.Path(), dir.Path().substr(0, dir.Path().size() - 1)}) {
    std::string t = CreateTempFile(folder, "delete");
    ASSERT_FALSE(t.empty());
    EXPECT_TRUE(FileExists(t));
    EXPECT_EQ(QueryFileInfo(t)->Size, 0);
    // <folder>del<1 to 4 hex digits>.tmp
    ASSERT_EQ(t.rfind(dir.Path() + "del", 0), 0u) << t;
    std::string middle = t.substr(dir.Path().size() + 3);
    ASSERT_GT(middle.size(), 4u);
    EXPECT_EQ(middle.substr(middle.size() - 4), ".tmp");
    middle.resize(middle.size() - 4);
    EXPECT_TRUE(!middle.empty() && middle.size() <= 4 &&
                middle.find_first_not_of("0123456789abcdefABCDEF") == std::string::npos)
        << t;
    names.push_back(t);
  }
  EXPECT_NE(names[0], names[1]);
  EXPECT_EQ(CreateTempFile(dir.File("missing"), "del"), "");
}

TEST(FileOps, PrivateFoldersAreNewAndClosedToOthers) {
  TTempDir dir;
  std::vector<std::string> made;
  for (const std::string& folder : {dir.Path(), dir.Path().substr(0, dir.Path().size() - 1), dir.Path()}) {
    const std::string p = CreatePrivateDirectory(folder, "ond");
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(p.back(), kPathDelim);
    EXPECT_TRUE(DirectoryExists(p));
    // <folder>ond<hex digits><separator>
    ASSERT_EQ(p.rfind(dir.Path() + "ond", 0), 0u) << p;
    const std::string middle = p.substr(dir.Path().size() + 3, p.size() - dir.Path().size() - 4);
    EXPECT_TRUE(middle.size() >= 8 && middle.find_first_not_of("0123456789ABCDEF") == std::string::npos) << p;
    for (const std::string& earlier : made) EXPECT_NE(p, earlier);
    made.push_back(p);
#ifndef _WIN32
    // Exactly rwx for the owner, whatever the umask.
    EXPECT_EQ(std::filesystem::status(p).permissions(), std::filesystem::perms::owner_all) << p;
#endif
  }
  EXPECT_EQ(CreatePrivateDirectory(dir.File("missing/deeper"), "ond"), "");
}

TEST(FileOps, ScheduledDeletionsAreRecordedForTheNextRestart) {
  TTempDir dir;
#ifndef _WIN32
  TTempDir root;
  TEnvironmentOverride rootVar("KVL_SYSTEM_ROOT", root.Path());
#endif
  std::string a = dir.File("locked.dll");
  WriteWholeFile(a, "x");
  ASSERT_TRUE(ForceDirectories(dir.File("folder")));
  ASSERT_TRUE(ScheduleDeleteAtRestart(a));
  ASSERT_TRUE(ScheduleDeleteAtRestart(dir.File("folder")));
  EXPECT_TRUE(FileExists(a));  // nothing happens before the restart
  std::vector<std::string> pending = PendingDeletions();
  auto position = [&](const std::string& path) {
    for (size_t i = 0; i < pending.size(); ++i)
      if (KVL::SysUtils::SameText(pending[i], path)) return static_cast<int>(i);
    return -1;
  };
  int first = position(a), second = position(dir.File("folder"));
  EXPECT_GE(first, 0);
  EXPECT_GT(second, first);
#ifndef _WIN32
  EXPECT_EQ(pending, (std::vector<std::string>{a, dir.File("folder")}));
  EXPECT_EQ(ReadWholeFile(root.File("var/lib/kvl/pending-deletions")), a + "\n" + dir.File("folder") + "\n");
  {
    // Relative names are recorded absolute: at the restart no current folder applies.
    TCurrentDirGuard cwd(dir.Path());
    ASSERT_TRUE(ScheduleDeleteAtRestart("rel"));
  }
  EXPECT_EQ(PendingDeletions().back(), dir.File("rel"));
  // A line break would split one entry into two deletions.
  EXPECT_FALSE(ScheduleDeleteAtRestart(dir.File("evil\n/etc/passwd")));
  EXPECT_EQ(PendingDeletions().size(), 3u);
#endif
}
