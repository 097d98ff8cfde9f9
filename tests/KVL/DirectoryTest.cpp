// Folder listing and walking of the platform layer.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "KVL/Base/Platform/Directory.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"
#include "TestUtil.h"

using namespace KVL::Platform;

namespace {
void Touch(const std::string& path) {
  TPlatformFile f = TPlatformFile::Open(path, TFileOpenMode::fomCreate);
  f.Write("x", 1);
}
} // namespace

TEST(Directory, ListsSortedEntriesWithFolderFlags) {
  TestUtil::TTempDir dir;
  ASSERT_TRUE(ForceDirectories(dir.File("sub/deeper")));
  ASSERT_TRUE(ForceDirectories(dir.File("empty")));
  Touch(dir.File("b.txt"));
  Touch(dir.File("a.bin"));
  Touch(dir.File("\xC3\xA9t\xC3\xA9.txt"));  // non-ASCII name survives the round trip
  Touch(dir.File("sub/deeper/c"));

  std::vector<std::pair<std::string, bool>> got;
  for (const TDirectoryEntry& e : ListDirectory(dir.Path())) got.emplace_back(e.Name, e.IsFolder);
  std::vector<std::pair<std::string, bool>> want = {
      {"a.bin", false}, {"b.txt", false}, {"empty", true}, {"sub", true}, {"\xC3\xA9t\xC3\xA9.txt", false}};
  EXPECT_EQ(got, want);
  // A path without trailing separator lists the same folder.
  EXPECT_EQ(ListDirectory(dir.File("sub")).size(), 1u);
  EXPECT_TRUE(ListDirectory(dir.File("empty")).empty());
}

TEST(Directory, WalkVisitsFoldersBeforeTheirContent) {
  TestUtil::TTempDir dir;
  ASSERT_TRUE(ForceDirectories(dir.File("sub/deeper")));
  Touch(dir.File("top"));
  Touch(dir.File("sub/deeper/c"));
  Touch(dir.File("sub/x"));
  const std::string d(1, kPathDelim);
  std::vector<std::pair<std::string, bool>> got;
  WalkDirectory(dir.Path(), [&](const std::string& rel, const TDirectoryEntry& e) { got.emplace_back(rel, e.IsFolder); });
  std::vector<std::pair<std::string, bool>> want = {
      {"sub", true}, {"sub" + d + "deeper", true}, {"sub" + d + "deeper" + d + "c", false},
      {"sub" + d + "x", false}, {"top", false}};
  EXPECT_EQ(got, want);
}

TEST(Directory, MissingFolderRaisesOpenError) {
  TestUtil::TTempDir dir;
  try {
    ListDirectory(dir.File("nope"));
    FAIL();
  } catch (const KVL::SysUtils::EKVLFileOpenError& e) {
    EXPECT_NE(std::string(e.what()).find("nope"), std::string::npos);
  }
  Touch(dir.File("file"));
  EXPECT_THROW(ListDirectory(dir.File("file")), KVL::SysUtils::EKVLFileOpenError);
}
