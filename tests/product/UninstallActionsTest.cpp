// Removal: the integration and registry entry, then the recorded files, empty folders and chosen extras.
#include <gtest/gtest.h>

#include <filesystem>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Registry.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"
#include "AccountsTestUtil.h"
#include "ProductTestUtil.h"
#include "setup/core/Errors.h"
#include "setup/core/Resources.h"
#include "setup/product/FolderRemoval.h"
#include "setup/product/UninstallActions.h"

using namespace KVL::Platform;
using namespace Setup::Product::ONDU::Actions;
using Setup::Core::TSetupApplicationRepository;

namespace {

// What the installation put there, as Uninstall.ini records it (with Windows separators).
const char* const kUninstallIni =
    "[Uninstall]\r\n0=ONDU.exe\r\nCount=5\r\n1=Langs\\English.lng\r\n"
    "2=Skins\\Dark\\skin.dat\r\n3=Uninstall.dat\r\n4=Uninstall.exe\r\n";
const char* const kInstalled[] = {"ONDU.exe", "Langs/English.lng", "Skins/Dark/skin.dat", "Uninstall.dat",
                                  "Uninstall.exe"};
// What came later: a backup, portable settings, a user's own skin; and an empty folder.
const char* const kAdded[] = {"!Backup/ONDU-5.30.zip", "Profile/Settings.ini", "Skins/User/own.skin"};

class UninstallActions : public ::testing::Test {
protected:
  ProductTest::TScratchMachine machine_;
  const TestUtil::TTempDir& root_ = machine_.Root();
  ProductTest::TRecordingListener listener_;
  ProductTest::TTestAccounts accounts_;

  std::unique_ptr<SetupTest::TSetupFixture> MakeSetup(const std::string& params, const std::string& uninstallIni,
                                                      const std::string& dest) {
    auto f = std::make_unique<SetupTest::TSetupFixture>(SetupTest::MinimalSetupFiles(),
                                                        ProductTest::UninstallData(uninstallIni), params,
                                                        ProductTest::OnduClass());
    f->Setup().SetDestPath(dest);
    f->Setup().Resources().LoadLanguage("English.lng");
    f->Setup().AddListener(&listener_);
    return f;
  }

  // dest + a relative name with '/' ("" for dest itself); a trailing '/' names a folder.
  static std::string PathIn(const std::string& dest, const std::string& name) {
    std::string p = dest + name;
    for (char& ch : p)
      if (ch == '/') ch = kPathDelim;
    return p;
  }
  static bool Exists(const std::string& dest, const std::string& name) {
    return name.empty() || name.back() == '/' ? DirectoryExists(PathIn(dest, name)) : FileExists(PathIn(dest, name));
  }

  std::string MakeInstallation(const std::string& name) { return MakeInstallationIn(root_.File(name + "/")); }
  std::string MakeInstallationIn(const std::string& dest) {
    for (const char* file : kInstalled) WriteFile(dest, file);
    for (const char* file : kAdded) WriteFile(dest, file);
    EXPECT_TRUE(ForceDirectories(PathIn(dest, "Plugins/")));
    EXPECT_TRUE(ForceDirectories(PathIn(dest, "!Backup/Old/")));
    return dest;
  }
  static void WriteFile(const std::string& dest, const std::string& name) {
    std::string path = PathIn(dest, name);
    ASSERT_TRUE(ForceDirectories(ExtractFilePath(path)));
    TestUtil::WriteWholeFile(path, name);
  }
};

std::string Strip(std::string folder) {
  while (folder.size() > 1 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
  return folder;
}

} // namespace

TEST(UninstallProgress, RoundsAndReachesHundredOnlyWithTheLastStep) {
  struct Case { int done, total, expected; };
  const Case cases[] = {
      {0, 4, 0}, {1, 3, 33}, {2, 3, 67}, {3, 3, 100}, {1, 8, 13},
      {199, 200, 99},  // 99.5 would round to 100 one step early
      {1, 1, 100}, {0, 0, 100},
  };
  for (const Case& c : cases) EXPECT_EQ(StepProgress(c.done, c.total), c.expected) << c.done << "/" << c.total;
}

TEST_F(UninstallActions, FilesAndFoldersGoAsTheUserChose) {
  struct Case {
    const char* name;
    const char* params;
    const char* removeBackups;  // null: not set by the options page
    const char* removeContent;
    std::vector<std::string> stay, gone;
  };
  const std::vector<std::string> installed(std::begin(kInstalled), std::end(kInstalled));
  const std::vector<std::string> emptied = {"Langs/", "Skins/Dark/", "Plugins/"};
  auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const Case cases[] = {
      {"unattended defaults", "/AUTO", nullptr, nullptr,
       {"", "Profile/Settings.ini", "Skins/User/own.skin"}, join(join(installed, emptied), {"!Backup/"})},
      {"unattended keeping backups", "/AUTO", "0", nullptr,
       {"!Backup/ONDU-5.30.zip", "Profile/Settings.ini", "Skins/User/own.skin"}, join(installed, emptied)},
      {"interactive defaults", "", nullptr, nullptr,
       {"!Backup/ONDU-5.30.zip", "Profile/Settings.ini", "Skins/User/own.skin"}, join(installed, emptied)},
      {"content without backups", "", "0", "1",
       {"!Backup/ONDU-5.30.zip", "Skins/User/own.skin"}, join(join(installed, emptied), {"Profile/"})},
      {"content and backups", "", "1", "1", {}, {""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dest = MakeInstallation(c.name);
    auto f = MakeSetup(c.params, kUninstallIni, dest);
    if (c.removeBackups) f->Setup().Settings().WriteString("Common", "RemoveBackups", c.removeBackups);
    if (c.removeContent) f->Setup().Settings().WriteString("Common", "RemoveContent", c.removeContent);
    listener_.Texts.clear();

    TSetupActionUninstallFiles action;
    std::vector<int32_t> progress;
    action.OnProgress = [&](Setup::Core::TSetupAction& a) { progress.push_back(a.Progress()); };
    action.Run();

    for (const std::string& name : c.stay) EXPECT_TRUE(Exists(dest, name)) << "removed: " << name;
    for (const std::string& name : c.gone) EXPECT_FALSE(Exists(dest, name)) << "still there: " << name;
    EXPECT_EQ(listener_.Texts, std::vector<std::string>{"Removing ONDU..."});
    // One step per file and folder, rising, 100 only once everything was handled.
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), 100);
    for (size_t i = 0; i + 1 < progress.size(); ++i) {
      EXPECT_LT(progress[i], 100);
      EXPECT_LT(progress[i], progress[i + 1]);
    }
  }
}

TEST_F(UninstallActions, FileListResolvesEveryEntryInsideTheFolderOnce) {
  const std::string dest = root_.File("a/inst/");
  const std::string elsewhere = root_.File("elsewhere.txt");  // installed outside, recorded absolute
  const std::string above = root_.File("above.txt");          // what "../../above.txt" would reach
  const std::string ini = "[Uninstall]\r\n0=a.txt\r\nCount=7\r\n2=Sub\\b.txt\r\n3=A.TXT\r\n4=../../above.txt\r\n5=" +
                          elsewhere + "\r\n6=Sub/b.txt\r\n";
  ASSERT_TRUE(ForceDirectories(dest + "Sub" + kPathDelim));
  for (const std::string& file : {dest + "a.txt", dest + "Sub" + kPathDelim + "b.txt", elsewhere, above})
    TestUtil::WriteWholeFile(file, "x");
  auto f = MakeSetup("", ini, dest);

  TSetupActionUninstallFiles action;
  std::unique_ptr<KVL::Classes::TKVLStringList> files = action.CreateFileList();
  std::vector<std::string> list;
  for (int i = 0; i < files->Count(); ++i) list.push_back(files->Strings(i));
  // Key 1 is missing: its entry is the folder itself, which no file deletion touches.
  const std::vector<std::string> expected = {dest + "a.txt", dest, dest + "Sub" + kPathDelim + "b.txt",
                                             dest + "above.txt", elsewhere};
  EXPECT_EQ(list, expected);

  action.Run();
  EXPECT_FALSE(FileExists(dest + "a.txt"));
  EXPECT_FALSE(FileExists(elsewhere));
  EXPECT_FALSE(DirectoryExists(dest + "Sub"));
  EXPECT_FALSE(DirectoryExists(dest));  // emptied, so the program folder goes as well
  EXPECT_TRUE(FileExists(above));
}

TEST_F(UninstallActions, MissingFileRecordStopsBeforeAnythingIsDeleted) {
  const std::string dest = MakeInstallation("norecord");
  // Without Uninstall.ini in its data the setup object is an installer; the action still fails safely.
  SetupTest::TSetupFixture f(SetupTest::MinimalSetupFiles(), {}, "", ProductTest::OnduClass());
  f.Setup().SetDestPath(dest);
  TSetupActionUninstallFiles action;
  try {
    action.Run();
    ADD_FAILURE() << "no error without Uninstall.ini";
  } catch (const Setup::Core::EInstallerInstallError& e) {
    EXPECT_STREQ(e.what(), "Cannot locate \"Uninstall.ini\" file in setup archive");
  }
  for (const char* file : kInstalled) EXPECT_TRUE(Exists(dest, file)) << file;
  EXPECT_TRUE(Exists(dest, "Plugins/"));
}

TEST_F(UninstallActions, IntegrationRemovalRunsTheCompanionAndDropsTheEntry) {
  for (bool withElevator : {true, false}) {
    SCOPED_TRACE(withElevator ? "with Elevator.exe" : "without Elevator.exe");
    // A blank in the folder: the companion must still be found.
    const std::string dest = root_.File(std::string(withElevator ? "with" : "without") + "/My Player/");
    ASSERT_TRUE(ForceDirectories(dest));
    if (withElevator) TestUtil::CopyChildProgram(dest + "Elevator.exe");
    TSetupApplicationRepository::Register("ONDU", dest + "Uninstall.exe", "5.39", "ONDU Team", "");
    auto f = MakeSetup("/AUTO", "[Uninstall]\r\nCount=0\r\n", dest);
    listener_.Texts.clear();

    TSetupActionUninstallIntegration action;
    action.Run();
    EXPECT_EQ(TestUtil::ReadWholeFile(dest + "Elevator.log"), withElevator ? "/REG=U\n" : "");
    EXPECT_FALSE(RegistryKeyExists(TRegistryRoot::rrLocalMachine, TSetupApplicationRepository::KeyPath("ONDU")));
    std::string folder;
    EXPECT_FALSE(TSetupApplicationRepository::GetInstallPath("ONDU", folder));
    EXPECT_EQ(listener_.Texts, std::vector<std::string>{"Removing ONDU..."});
    EXPECT_EQ(action.Progress(), 100);
  }
}

TEST(FolderRemoval, RootsAreRecognised) {
  struct Case { const char* path; bool root; };
  const Case cases[] = {
      {"", true}, {"/", true}, {"C:", true}, {"C:\\", true}, {"\\\\server\\share\\", true},
      {"\\\\server\\share\\ONDU\\", false}, {"C:\\Apps\\ONDU\\", false}, {"/opt/ONDU/", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsRootFolder(c.path), c.root) << c.path;
}

TEST(FolderRemoval, RemovesTheTreeButNotWhatALinkPointsTo) {
  TestUtil::TTempDir dir;
  const std::string tree = dir.File("tree/"), outside = dir.File("outside/");
  ASSERT_TRUE(ForceDirectories(dir.File("tree/a/b/")));
  ASSERT_TRUE(ForceDirectories(outside));
  TestUtil::WriteWholeFile(dir.File("tree/a/b/deep.txt"), "x");
  TestUtil::WriteWholeFile(dir.File("tree/ro.txt"), "x");
  ASSERT_TRUE(SetFileAttr(dir.File("tree/ro.txt"), faReadOnly));
  TestUtil::WriteWholeFile(dir.File("outside/keep.txt"), "x");
  std::error_code ec;
  std::filesystem::create_directory_symlink(std::filesystem::u8path(dir.File("outside")),
                                            std::filesystem::u8path(dir.File("tree/link")), ec);
  const bool linked = !ec;

  EXPECT_TRUE(RemoveFolderWithContents(tree));
  EXPECT_FALSE(DirectoryExists(tree));
  EXPECT_TRUE(FileExists(dir.File("outside/keep.txt"))) << (linked ? "followed the link" : "");
}

TEST_F(UninstallActions, RemoveContentTakesTheUsersSettingsOnlyForAnInstallationMadeForThem) {
  const char d = kPathDelim;
  const std::string aliceData = accounts_.Add("S-1-5-21-7-7-9-1001", Strip(root_.File("users/alice")));
  const std::string ownData = GetSpecialFolder(TSpecialFolder::sfAppData);
  struct Case { const char* name; const char* onduIni; bool removed; };
  const Case cases[] = {
      {"user mode", "[System]\r\nUserMode=1\r\n", true},
      {"portable", "[System]\r\nUserMode=0\r\n", false},
      {"no mode", "[System]\r\nVersion=5300\r\n", false},
      {"no file", nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dest = MakeInstallation(c.name);
    if (c.onduIni) TestUtil::WriteWholeFile(dest + "ONDU.ini", c.onduIni);
    for (const std::string& data : {aliceData, ownData}) {
      ASSERT_TRUE(ForceDirectories(data + "ONDU" + d + "Skins" + d));
      TestUtil::WriteWholeFile(data + "ONDU" + d + "ONDU.ini", "settings");
    }
    // An older version's folder is not this version's settings folder.
    ASSERT_TRUE(ForceDirectories(aliceData + "ONDU3" + d));
    auto f = MakeSetup("", kUninstallIni, dest);
    f->Setup().Settings().WriteString("Common", "RemoveContent", "1");
    f->Setup().Settings().WriteString("Common", "RemoveBackups", "0");

    TSetupActionUninstallFiles action;
    action.Run();
    EXPECT_EQ(DirectoryExists(aliceData + "ONDU"), !c.removed);
    EXPECT_EQ(DirectoryExists(ownData + "ONDU"), !c.removed);
    EXPECT_TRUE(DirectoryExists(aliceData + "ONDU3"));
    EXPECT_FALSE(Exists(dest, "Profile/"));
    EXPECT_TRUE(Exists(dest, "!Backup/ONDU-5.30.zip"));
  }
  RemoveFolderWithContents(ownData + "ONDU" + d);
}

TEST_F(UninstallActions, DestinationHoldingMoreThanTheInstallationIsNeverRemovedWhole) {
  struct Case { const char* name; std::string dest; };
  std::vector<Case> cases = {
      {"another account's profile", Strip(root_.File("users/carol")) + kPathDelim},
      {"a folder holding profiles", root_.File("homes/")},
  };
  accounts_.Add("S-1-5-21-7-7-9-2001", Strip(cases[0].dest));
  accounts_.Add("S-1-5-21-7-7-9-2002", Strip(root_.File("homes/dan")));
#ifndef _WIN32
  // Safe here only: these are the scratch machine's, not the real ones.
  cases.push_back({"the running account's home", GetSpecialFolder(TSpecialFolder::sfProfile)});
  cases.push_back({"the documents folder", GetSpecialFolder(TSpecialFolder::sfDocuments)});
  cases.push_back({"the machine's root", root_.Path()});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MakeInstallationIn(c.dest);
    WriteFile(c.dest, "Letters/mine.txt");
    auto f = MakeSetup("", kUninstallIni, c.dest);
    f->Setup().Settings().WriteString("Common", "RemoveContent", "1");
    f->Setup().Settings().WriteString("Common", "RemoveBackups", "1");
    listener_.Texts.clear();

    TSetupActionUninstallFiles action;
    action.Run();
    for (const char* file : kInstalled) EXPECT_FALSE(Exists(c.dest, file)) << file;
    EXPECT_FALSE(Exists(c.dest, "Plugins/"));
    for (const char* file : {"Letters/mine.txt", "!Backup/ONDU-5.30.zip", "Profile/Settings.ini", "Skins/User/own.skin"})
      EXPECT_TRUE(Exists(c.dest, file)) << file;
    const std::string note = "The folder " + c.dest +
                             " may hold files of your own: only the installed files and empty folders are removed from it.";
    EXPECT_EQ(listener_.Texts, (std::vector<std::string>{"Removing ONDU...", note}));
  }
}

TEST_F(UninstallActions, ProtectedFoldersAreRecognisedInAnySpelling) {
  const std::string carol = Strip(root_.File("people/carol"));
  accounts_.Add("S-1-5-21-7-7-9-3001", carol);
  const std::string profile = GetSpecialFolder(TSpecialFolder::sfProfile);
  const std::string programFiles = GetSpecialFolder(TSpecialFolder::sfProgramFiles);
  struct Case { std::string folder; bool isProtected; };
  std::vector<Case> cases = {
      {profile, true},
      {Strip(profile), true},
      {ExtractFilePath(Strip(profile)), true},  // the folder holding it
      {GetSpecialFolder(TSpecialFolder::sfUserDesktop), true},
      {GetSpecialFolder(TSpecialFolder::sfDocuments), true},
      {programFiles, true},
      {GetSpecialFolder(TSpecialFolder::sfSystem), true},
      {GetSpecialFolder(TSpecialFolder::sfAppData), true},
      {GetSpecialFolder(TSpecialFolder::sfCommonAppData), true},
      {carol + kPathDelim, true},
      {carol + kPathDelim + "Roaming", true},
      {root_.File("people/"), true},
      {std::string(1, kPathDelim), true},
      {programFiles + "ONDU" + kPathDelim, false},
      {GetSpecialFolder(TSpecialFolder::sfAppData) + "ONDU" + kPathDelim, false},
      {carol + kPathDelim + "Apps" + kPathDelim + "ONDU" + kPathDelim, false},
      {root_.File("plain/"), false},
  };
#ifdef _WIN32
  cases.push_back({"C:\\", true});
  cases.push_back({KVL::SysUtils::UpperCase(programFiles), true});
  std::string slashes = Strip(profile);
  for (char& ch : slashes)
    if (ch == '\\') ch = '/';
  cases.push_back({slashes, true});
#endif
  for (const Case& c : cases)
    EXPECT_EQ(TSetupActionUninstallFiles::IsProtectedFolder(c.folder), c.isProtected) << c.folder;
}
