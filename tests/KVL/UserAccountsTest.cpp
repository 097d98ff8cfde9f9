// User accounts: the running account first, then the registry's profile list with its skip rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Registry.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"
#include "KVL/Base/Utils/UserAccounts.h"
#include "TestUtil.h"

using namespace KVL::Platform;
using namespace KVL::Utils::Shell::UserAccounts;

namespace {

const char kProfileList[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
const char kShellFolders[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const char kDefaultHive[] = ".DEFAULT";

std::string Strip(std::string folder) {
  while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

// Several accounts in the registry (POSIX: the stand-in below a scratch root; Windows: wine's
// registry, with fake identifiers that are removed again). The default user's AppData value
// is set for the run and restored afterwards.
class UserAccounts : public ::testing::Test {
protected:
  TestUtil::TTempDir dir_;
#ifndef _WIN32
  TEnvironmentOverride root_{"KVL_SYSTEM_ROOT", dir_.Path()};
  TEnvironmentOverride home_{"HOME", dir_.File("me")};
  TEnvironmentOverride config_{"XDG_CONFIG_HOME", std::nullopt};
#endif
  std::vector<std::string> sids_;
  std::optional<std::string> savedDefault_;
  bool savedDefaultExpand_ = false;

  void SetUp() override {
    TRegistryKey key;
    if (key.OpenRead(TRegistryRoot::rrUsers, std::string(kDefaultHive) + kShellFolders)) {
      savedDefault_ = key.ReadString("AppData");
      savedDefaultExpand_ = key.ValueType("AppData") == TRegistryValueType::rtExpandString;
    }
    TRegistryKey write;
    write.OpenWrite(TRegistryRoot::rrUsers, std::string(kDefaultHive) + kShellFolders);
    write.WriteExpandString("AppData", std::string("%USERPROFILE%") + kPathDelim + "DefaultRoaming");
  }

  void TearDown() override {
    for (const std::string& sid : sids_) {
      DeleteRegistryKeyTree(TRegistryRoot::rrLocalMachine, kProfileList + sid);
      DeleteRegistryKeyTree(TRegistryRoot::rrUsers, sid);
    }
    TRegistryKey write;
    write.OpenWrite(TRegistryRoot::rrUsers, std::string(kDefaultHive) + kShellFolders);
    if (!savedDefault_)
      write.DeleteValue("AppData");
    else if (savedDefaultExpand_)
      write.WriteExpandString("AppData", *savedDefault_);
    else
      write.WriteString("AppData", *savedDefault_);
  }

  // A ProfileList entry; appData empty: no hive of its own; nullopt: a hive without the value.
  void AddAccount(const std::string& sid, const std::string& imagePath,
                  const std::optional<std::string>& appData, bool ownHive = true) {
    sids_.push_back(sid);
    TRegistryKey entry;
    entry.OpenWrite(TRegistryRoot::rrLocalMachine, kProfileList + sid);
    entry.WriteExpandString("ProfileImagePath", imagePath);
    if (!ownHive) return;
    TRegistryKey hive;
    hive.OpenWrite(TRegistryRoot::rrUsers, sid + kShellFolders);
    if (appData) hive.WriteExpandString("AppData", *appData);
  }

  // A profile folder of the scratch dir, created; returned without a trailing separator.
  std::string MakeProfile(const std::string& name) {
    std::string folder = dir_.File(name);
    EXPECT_TRUE(ForceDirectories(folder));
    return folder;
  }

  // The listed accounts whose profiles lie in the scratch folder, in list order.
  std::vector<const TKVLUserAccountInfo*> Ours(const TKVLUserAccountInfoList& list, int from) const {
    std::vector<const TKVLUserAccountInfo*> ours;
    for (int i = from; i < list.Count(); ++i)
      if (list.Items(i).ProfilePath.starts_with(dir_.Path())) ours.push_back(&list.Items(i));
    return ours;
  }
};

} // namespace

TEST_F(UserAccounts, RunningAccountFirstThenProfileListWithItsSkipRules) {
  const char d = kPathDelim;
  const std::string alice = MakeProfile("alice"), dave = MakeProfile("dave"), erin = MakeProfile("erin"),
                    frank = MakeProfile("frank"), bob = MakeProfile("bob");
  TEnvironmentOverride var("KVL_TEST_PROFILES", Strip(dir_.Path()));
  // Identifiers sort the same way in the stand-in and in wine, so the order is known.
  AddAccount("S-1-5-21-7-7-7-1001", "%KVL_TEST_PROFILES%" + std::string(1, d) + "alice",
             "%UserProfile%" + std::string(1, d) + "Roaming" + d + "%userprofile%");
  AddAccount("S-1-5-21-7-7-7-1002.BAK", bob, bob + d + "Roaming");           // a stale copy
  AddAccount("S-1-5-21-7-7-7-1003", dir_.File("carol"), "%USERPROFILE%");     // folder missing
  AddAccount("S-1-5-21-7-7-7-1004", dave, std::nullopt, false);               // hive not loaded
  AddAccount("S-1-5-21-7-7-7-1005", erin, std::nullopt);                      // no AppData value
  AddAccount("S-1-5-21-7-7-7-1006", frank, "%HOMESHARE%" + std::string(1, d) + "Roaming");
  AddAccount("S-1-5-21-7-7-7-1007", "%KVL_TEST_PROFILES%" + std::string(1, d) + "missing", "x");

  std::unique_ptr<TKVLUserAccountInfoList> list = TKVLUserAccounts::Populate();
  ASSERT_GE(list->Count(), 1);
  std::vector<const TKVLUserAccountInfo*> ours = Ours(*list, 1);
  struct Expected { std::string name, profile, appData; };
  const Expected expected[] = {
      {"alice", alice + d, alice + d + "Roaming" + d + alice + d},
      {"dave", dave + d, dave + d + "DefaultRoaming" + d},
      {"frank", frank + d, "%HOMESHARE%" + std::string(1, d) + "Roaming" + d},
  };
  ASSERT_EQ(ours.size(), std::size(expected));
  for (size_t i = 0; i < ours.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(ours[i]->UserName, expected[i].name);
    EXPECT_EQ(ours[i]->ProfilePath, expected[i].profile);
    EXPECT_EQ(ours[i]->AppDataPath, expected[i].appData);
    EXPECT_TRUE(ours[i]->Reserved.empty());
  }
}

TEST_F(UserAccounts, RunningAccountIsListedOnceWhateverFormTheRegistryGivesIt) {
  const std::string profile = GetSpecialFolder(TSpecialFolder::sfProfile);
  ASSERT_FALSE(profile.empty());
  ASSERT_TRUE(ForceDirectories(profile));
  const std::string appData = GetSpecialFolder(TSpecialFolder::sfAppData);
  // The registry names profile folders without a trailing separator, here through a variable
  // and with a "." part, and twice under different identifiers.
  TEnvironmentOverride var("KVL_TEST_HOME", Strip(profile));
  AddAccount("S-1-5-21-7-7-7-2001", "%KVL_TEST_HOME%", std::string("%USERPROFILE%") + kPathDelim + "Other");
  AddAccount("S-1-5-21-7-7-7-2002", Strip(profile) + kPathDelim + ".", std::string("%USERPROFILE%"));
#ifndef _WIN32
  // The stand-in knows nothing of the running account unless told.
  AddAccount(CurrentUserSid(), Strip(profile), std::string("%USERPROFILE%") + kPathDelim + ".config");
#endif

  std::unique_ptr<TKVLUserAccountInfoList> list = TKVLUserAccounts::Populate();
  ASSERT_GE(list->Count(), 1);
  const TKVLUserAccountInfo& first = list->Items(0);
  EXPECT_EQ(first.ProfilePath, Strip(profile) + kPathDelim);
  EXPECT_EQ(first.AppDataPath, Strip(appData) + kPathDelim);
  EXPECT_EQ(first.UserName, UserName());
  // Whatever the spelling, one record per folder (the test's paths are ASCII).
  auto normal = [](const std::string& path) {
    return Strip(std::filesystem::path(path).lexically_normal().string());
  };
  int same = 0;
  for (int i = 0; i < list->Count(); ++i)
    same += KVL::SysUtils::SameText(normal(list->Items(i).ProfilePath), normal(profile)) ? 1 : 0;
  EXPECT_EQ(same, 1);
}

TEST(UserAccountInfoList, FirstRecordForAProfileFolderWins) {
  TKVLUserAccountInfoList list;
  auto make = [](const char* name, const char* profile) {
    auto info = std::make_unique<TKVLUserAccountInfo>();
    info->UserName = name;
    info->ProfilePath = profile;
    return info;
  };
  EXPECT_TRUE(list.Add(make("a", "P1")));
  EXPECT_FALSE(list.Add(make("b", "P1")));
  EXPECT_TRUE(list.Add(make("c", "p1")));  // exact comparison: case matters
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Items(0).UserName, "a");
  EXPECT_EQ(list.Items(1).UserName, "c");
}
