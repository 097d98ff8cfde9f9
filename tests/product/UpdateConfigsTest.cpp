// Settings migration of an update: the copy to the new folder, the renames and the cleanup entries by version.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/StringList.h"
#include "ProductTestUtil.h"
#include "setup/core/Errors.h"
#include "setup/core/SetupHelper.h"
#include "setup/product/UpdateConfigs.h"

using namespace KVL::Platform;
using namespace Setup::Product::ONDU::Actions;
using KVL::Classes::TKVLStringList;
using Setup::Core::TSetupHelper;

namespace {

// The settings a 3.x profile folder may hold, and a sub-folder.
const char* const kOldSettings[] = {"ONDU3-cat.db", "ondu3_menu.ini", "ONDU3.ini",    "ONDU3ac.ini",
                                    "ONDU3ate.ini", "ONDU3-SkinLayout.ini", "ONDU3.bak", "AlbumArts.db",
                                    "AlbumArtCache.db", "AlbumArtsForURLs.db", "Sub/keep.txt"};

class UpdateConfigs : public ::testing::Test {
protected:
  ProductTest::TScratchMachine machine_;
  const TestUtil::TTempDir& root_ = machine_.Root();
  TSetupProfileHelper::TAccount account_;

  UpdateConfigs() { account_.AppDataPath = root_.File("alice/Roaming/"); }

  // An installation of that version whose configuration still has the old name below 4.00.
  std::unique_ptr<SetupTest::TSetupFixture> MakeSetup(int version) {
    const std::string dest = root_.File("dest/");
    EXPECT_TRUE(ForceDirectories(dest + "Skins" + kPathDelim));
    TestUtil::WriteWholeFile(dest + (version < 4000 ? "ONDU3.ini" : "ONDU.ini"),
                             "[System]\r\nUserMode=1\r\nVersion=" + std::to_string(version) + "\r\n");
    TestUtil::WriteWholeFile(dest + "Skins" + kPathDelim + "ONDU3.skn", "skin");
    auto f = std::make_unique<SetupTest::TSetupFixture>(SetupTest::MinimalSetupFiles(), SetupTest::TFiles{}, "",
                                                        ProductTest::OnduClass());
    f->Setup().SetDestPath(dest);
    return f;
  }

  TSetupProfileInfo Profile() {
    return {"alice", TSetupProfileHelper::GetNewProfilePath(&account_), TSetupProfileHelper::GetOldProfilePath(&account_)};
  }

  static std::string In(const std::string& folder, const std::string& name) {
    std::string p = folder + name;
    std::replace(p.begin(), p.end(), '/', kPathDelim);
    return p;
  }
};

} // namespace

TEST_F(UpdateConfigs, VersionStepsCopyRenameAndListForCleanup) {
  struct Case {
    int32_t version;
    bool copied;                           // the folder's name changed
    std::vector<std::string> present;      // in the new folder afterwards
    std::vector<std::string> absent;
    std::vector<std::string> appended;     // added to the cleanup list; "$" = the program folder
  };
  const std::vector<std::string> renamed = {"ONDU-cat.db", "ONDU-ContextMenu.ini", "ONDU.ini", "ONDUac.ini",
                                            "ONDUate.ini", "AlbumArts.Custom.db", "Sub/keep.txt"};
  const std::vector<std::string> oldNames = {"ONDU3-cat.db", "ondu3_menu.ini", "ONDU3.ini", "ONDU3ac.ini",
                                             "ONDU3ate.ini", "AlbumArtsForURLs.db"};
  const std::vector<std::string> all = {"ONDU3-SkinLayout.ini", "ONDU3.bak", "$Skins/ONDU3.skn", "AlbumArts.db",
                                        "AlbumArtCache.db"};
  const Case cases[] = {
      {3599, true, renamed, oldNames, all},
      {3600, true, renamed, oldNames, all},
      // Same folder name from 4.00: no copy, no renames of 3.x names; only the later steps.
      {4500, false, {"ONDU3.ini", "ONDU3-cat.db", "AlbumArts.Custom.db"}, {"ONDU.ini", "AlbumArtsForURLs.db"},
       {"AlbumArts.db", "AlbumArtCache.db"}},
      {4600, false, {"AlbumArts.Custom.db"}, {"AlbumArtsForURLs.db"}, {"AlbumArtCache.db"}},
      {5020, false, {"AlbumArtsForURLs.db"}, {"AlbumArts.Custom.db"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    std::filesystem::remove_all(std::filesystem::u8path(root_.File("alice")));
    std::filesystem::remove_all(std::filesystem::u8path(root_.File("dest")));
    auto f = MakeSetup(c.version);
    const std::string dest = f->Setup().DestPath();
    TSetupProfileInfo profile = Profile();
    ASSERT_EQ(profile.OldPath != profile.NewPath, c.copied);
    for (const char* name : kOldSettings) {
      ASSERT_TRUE(ForceDirectories(ExtractFilePath(In(profile.OldPath, name))));
      TestUtil::WriteWholeFile(In(profile.OldPath, name), name);
    }
    // What the preparation listed: the old folder's files and some of the new one's.
    TKVLStringList cleanup;
    cleanup.Add(In(profile.OldPath, "ONDU3.ini"));
    cleanup.Add(In(profile.NewPath, "Sub/keep.txt"));
    cleanup.Add(dest + "ONDU.exe");

    TSetupUpdateTaskUpdateConfigs task(profile);
    task.Execute(&cleanup);

    for (const std::string& name : c.present) EXPECT_TRUE(FileExists(In(profile.NewPath, name))) << name;
    for (const std::string& name : c.absent) EXPECT_FALSE(FileExists(In(profile.NewPath, name))) << name;
    EXPECT_TRUE(FileExists(In(profile.OldPath, c.copied ? "ONDU3.ini" : "ONDU3-cat.db"))) << "the source stays";
    EXPECT_EQ(TestUtil::ReadWholeFile(In(profile.NewPath, "Sub/keep.txt")), "Sub/keep.txt");
    // Below 4.00 the program folder's configuration takes its new name as well.
    EXPECT_EQ(FileExists(dest + "ONDU.ini"), true);
    EXPECT_EQ(FileExists(dest + "ONDU3.ini"), false);

    std::vector<std::string> expected = {dest + "ONDU.exe"};
    if (c.copied) expected.insert(expected.begin(), In(profile.OldPath, "ONDU3.ini"));
    for (const std::string& name : c.appended)
      expected.push_back(name[0] == '$' ? In(dest, name.substr(1)) : In(profile.NewPath, name));
    std::vector<std::string> got;
    for (int i = 0; i < cleanup.Count(); ++i) got.push_back(cleanup.Strings(i));
    EXPECT_EQ(got, expected);
  }
}

TEST_F(UpdateConfigs, RenameOntoAnExistingFileStopsWithTheSystemError) {
  auto f = MakeSetup(3600);
  TSetupProfileInfo profile = Profile();
  ASSERT_TRUE(ForceDirectories(profile.OldPath));
  TestUtil::WriteWholeFile(profile.OldPath + "ONDU3.ini", "old");
  TestUtil::WriteWholeFile(profile.OldPath + "ONDU.ini", "new");
  TKVLStringList cleanup;
  TSetupUpdateTaskUpdateConfigs task(profile);
  EXPECT_THROW(task.Execute(&cleanup), EKVLOSError);
  EXPECT_EQ(TestUtil::ReadWholeFile(profile.NewPath + "ONDU.ini"), "new");
  EXPECT_EQ(TestUtil::ReadWholeFile(profile.NewPath + "ONDU3.ini"), "old");
}

TEST_F(UpdateConfigs, FolderThatCannotBeCopiedNamesBothFolders) {
  auto f = MakeSetup(3600);
  TSetupProfileInfo profile = Profile();
  ASSERT_TRUE(ForceDirectories(profile.OldPath));
  TestUtil::WriteWholeFile(profile.OldPath + "ONDU3.ini", "old");
  // A file where the new folder should go.
  TestUtil::WriteWholeFile(profile.NewPath.substr(0, profile.NewPath.size() - 1), "in the way");
  TSetupUpdateTaskUpdateConfigs task(profile);
  try {
    task.Execute(nullptr);
    ADD_FAILURE() << "no error";
  } catch (const Setup::Core::EInstallerInstallError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot copy \"" + profile.OldPath + "\" to \"" + profile.NewPath + "\"");
  }
  EXPECT_TRUE(FileExists(profile.OldPath + "ONDU3.ini"));
}

TEST(SetupHelper, CopyFolderCopiesTheTreeAndMovesOnRequest) {
  TestUtil::TTempDir dir;
  for (bool move : {false, true}) {
    SCOPED_TRACE(move ? "move" : "copy");
    const std::string from = dir.File(move ? "m/from/" : "c/from/"), to = dir.File(move ? "m/to/" : "c/to/");
    ASSERT_TRUE(ForceDirectories(from + "a" + kPathDelim + "b"));
    TestUtil::WriteWholeFile(from + "top.ini", "top");
    TestUtil::WriteWholeFile(from + "a" + kPathDelim + "b" + kPathDelim + "deep.db", "deep");
    ASSERT_TRUE(ForceDirectories(to));
    TestUtil::WriteWholeFile(to + "top.ini", "stale");
    TestUtil::WriteWholeFile(to + "other.txt", "other");

    ASSERT_TRUE(TSetupHelper::CopyFolder(from, to, move));
    EXPECT_EQ(TestUtil::ReadWholeFile(to + "top.ini"), "top");
    EXPECT_EQ(TestUtil::ReadWholeFile(to + "a" + kPathDelim + "b" + kPathDelim + "deep.db"), "deep");
    EXPECT_EQ(TestUtil::ReadWholeFile(to + "other.txt"), "other");
    EXPECT_EQ(DirectoryExists(from), !move);
  }
  // Into itself it would never end.
  EXPECT_FALSE(TSetupHelper::CopyFolder(dir.File("c/from/"), dir.File("c/from/inner/"), false));
}

TEST(SetupHelper, RemoveByPrefixIgnoresCase) {
  TKVLStringList list;
  for (const char* entry : {"C:\\A\\ONDU\\x.ini", "C:\\A\\ondu\\y.ini", "C:\\A\\ONDU3\\x.ini", "C:\\A\\ONDUx"})
    list.Add(entry);
  TSetupHelper::RemoveByPrefix(list, "C:\\a\\ondu\\");
  TSetupHelper::RemoveByPrefix(list, "");  // matches nothing
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Strings(0), "C:\\A\\ONDU3\\x.ini");
  EXPECT_EQ(list.Strings(1), "C:\\A\\ONDUx");
}
