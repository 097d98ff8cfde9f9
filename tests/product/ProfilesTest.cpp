// Settings folders: their names by version, and the list of profiles an update migrates.
#include <gtest/gtest.h>

#include "AccountsTestUtil.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Shell.h"
#include "ProductTestUtil.h"
#include "setup/product/FolderRemoval.h"
#include "setup/product/Profiles.h"

using namespace KVL::Platform;
using namespace Setup::Product::ONDU::Actions;

namespace {

class Profiles : public ::testing::Test {
protected:
  ProductTest::TScratchMachine machine_;
  const TestUtil::TTempDir& root_ = machine_.Root();
  ProductTest::TTestAccounts accounts_;
  std::vector<std::string> madeFolders_;

  ~Profiles() override {
    // The running account's folders live outside the scratch root on Windows.
    for (const std::string& folder : madeFolders_) RemoveFolderWithContents(folder);
  }

  // A setup object whose destination holds an installation of that version (0: none).
  std::unique_ptr<SetupTest::TSetupFixture> MakeSetup(int version, bool portable = false) {
    const std::string dest = root_.File("dest/");
    EXPECT_TRUE(ForceDirectories(dest));
    RemoveFile(dest + "ONDU.ini");
    if (version)
      TestUtil::WriteWholeFile(dest + "ONDU.ini", "[System]\r\nUserMode=" + std::string(portable ? "0" : "1") +
                                                      "\r\nVersion=" + std::to_string(version) + "\r\n");
    auto f = std::make_unique<SetupTest::TSetupFixture>(SetupTest::MinimalSetupFiles(), SetupTest::TFiles{},
                                                        "", ProductTest::OnduClass());
    f->Setup().SetDestPath(dest);
    return f;
  }

  void MakeFolder(const std::string& folder) {
    ASSERT_TRUE(ForceDirectories(folder));
    madeFolders_.push_back(folder);
  }
};

} // namespace

TEST_F(Profiles, FolderNameFollowsTheVersion) {
  auto f = MakeSetup(0);
  TSetupProfileHelper::TAccount account;
  account.AppDataPath = root_.File("alice/Roaming/");
  const char d = kPathDelim;
  struct Case { int32_t version; std::string folder; };
  const Case cases[] = {
      {0, "ONDU3"}, {3600, "ONDU3"}, {3999, "ONDU3"}, {4000, "ONDU"}, {5390, "ONDU"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TSetupProfileHelper::GetProfilePath(&account, c.version), account.AppDataPath + c.folder + d)
        << c.version;
  // Without an account: the portable folder, whatever the version.
  EXPECT_EQ(TSetupProfileHelper::GetProfilePath(nullptr, 3600), f->Setup().DestPath() + "Profile" + d);
  EXPECT_EQ(TSetupProfileHelper::GetNewProfilePath(&account), account.AppDataPath + "ONDU" + d);
  EXPECT_EQ(TSetupProfileHelper::GetOldProfilePath(&account), account.AppDataPath + "ONDU3" + d);
}

TEST_F(Profiles, UpdateListsTheAccountsWhoseOldFolderExists) {
  const char d = kPathDelim;
  const std::string aliceData = accounts_.Add("S-1-5-21-7-7-8-1001", root_.File("users/alice"));
  const std::string bobData = accounts_.Add("S-1-5-21-7-7-8-1002", root_.File("users/bob"));
  const std::string ownData = GetSpecialFolder(TSpecialFolder::sfAppData);
  MakeFolder(ownData + "ONDU3" + d);
  MakeFolder(aliceData + "ONDU3" + d);
  MakeFolder(bobData + "ONDU" + d);  // already the new name: nothing to migrate from
  auto f = MakeSetup(3600);

  TSetupProfileInfoList list;
  TSetupProfileHelper::PopulateProfiles(list);
  std::vector<std::string> names;
  for (int i = 0; i < list.Count(); ++i) {
    EXPECT_TRUE(DirectoryExists(list.Items(i).OldPath)) << list.Items(i).OldPath;
    names.push_back(list.Items(i).Name);
  }
  // The running account comes first; accounts of the machine that have none are not listed.
  ASSERT_GE(list.Count(), 2);
  EXPECT_EQ(list.Items(0).Name, UserName());
  EXPECT_EQ(list.Items(0).OldPath, ownData + "ONDU3" + d);
  EXPECT_EQ(list.Items(0).NewPath, ownData + "ONDU" + d);
  const TSetupProfileInfo* alice = nullptr;
  for (int i = 0; i < list.Count(); ++i) {
    EXPECT_NE(list.Items(i).Name, "bob");
    if (list.Items(i).Name == "alice") alice = &list.Items(i);
  }
  ASSERT_NE(alice, nullptr);
  EXPECT_EQ(alice->OldPath, aliceData + "ONDU3" + d);
  EXPECT_EQ(alice->NewPath, aliceData + "ONDU" + d);
}

TEST_F(Profiles, PortableInstallationHasOneSingleUserProfile) {
  for (bool withFolder : {true, false}) {
    SCOPED_TRACE(withFolder ? "with Profile folder" : "without");
    auto f = MakeSetup(4500, true);
    ASSERT_TRUE(f->Setup().HasFlag(Setup::Core::sfPortable));
    const std::string folder = f->Setup().DestPath() + "Profile" + kPathDelim;
    if (withFolder) ASSERT_TRUE(ForceDirectories(folder));
    else RemoveFolderWithContents(folder);

    TSetupProfileInfoList list;
    TSetupProfileHelper::PopulateProfiles(list);
    ASSERT_EQ(list.Count(), withFolder ? 1 : 0);
    if (!withFolder) continue;
    EXPECT_EQ(list.Items(0).Name, "SingleUser");
    EXPECT_EQ(list.Items(0).OldPath, folder);
    EXPECT_EQ(list.Items(0).NewPath, folder);
  }
}
