// The preparation action: what is archived, kept and deleted, its errors, progress and summary.
#include <gtest/gtest.h>

#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "KVL/Base/Platform/Directory.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/Utils/UserAccounts.h"
#include "ProductTestUtil.h"
#include "setup/core/Errors.h"
#include "setup/core/Resources.h"
#include "setup/core/SummaryBuilder.h"
#include "setup/product/Prepare.h"

using namespace KVL::Platform;
using Setup::Core::sfNoBackup;
using Setup::Core::sfPortable;
using Setup::Core::sfUpdate;
using Setup::Product::ONDU::Actions::kObsoleteSystemCodec;
using Setup::Product::ONDU::Actions::TSetupActionPrepare;
using Setup::Product::ONDU::Actions::TSetupProfileHelper;
using SetupTest::TTestProductInfo;
using TNames = std::set<std::string>;

namespace {

// The old installation, relative to the destination ('/' between folders).
const char* const kProgramFiles[] = {
    "ONDU.exe",
    "libwebp.dll",
    "Icons/a.ico",
    "Skins/Dark/skin.xml",
    "System/Data/d.dat",
    "Plugins/Input/mp3.dll",
    "Plugins/ONDU3Visual/vis.dll",   // obsolete below 4002
    "Plugins/CoverFinder/cf.dll",    // below 4699
    "Plugins/LyricsBrowser/lb.dll",  // below 5030
    "Plugins/UpdateCache/u.bin",     // always
    "Profile/Settings.ini",          // the portable settings
    "Profile/AlbumArts.db",          // a cache: deleted, never archived
    "AlbumArts.cache",
    "UpdateInstaller.exe",
};
const char* const kNotArchived[] = {"Profile/AlbumArts.db", "AlbumArts.cache", "UpdateInstaller.exe"};
// The settings folder of the account running the tests.
const char* const kProfileFiles[] = {"ONDU.ini", "AlbumArtCache.db"};

SetupTest::TFiles SetupFiles() {
  SetupTest::TFiles files = SetupTest::MinimalSetupFiles();
  std::string& xml = files[0].second;
  xml.replace(xml.find("</product>"), 0,
              "<Components><File name=\"$DEST\\ONDU.exe\"/><File name=\"$DEST\\Langs\\English.lng\"/></Components>");
  files[1].second +=
      "A1=Backing up...\r\nA3=Cleaning up...\r\nA5=Updating...\r\n"
      "[PageSetup]\r\nLB1=Folder:\r\nTitle=Options:\r\nCB1=Update\r\nCB2=Install\r\nCB3=Portable\r\n"
      "CB4=Backup\r\nW3=Another installation\r\n";
  return files;
}

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', kPathDelim);
  return path;
}

// The files below folder, relative with '/'.
TNames FilesBelow(const std::string& folder) {
  TNames names;
  if (!DirectoryExists(folder)) return names;
  WalkDirectory(folder, [&](const std::string& rel, const TDirectoryEntry& e) {
    if (e.IsFolder) return;
    std::string name = rel;
    std::replace(name.begin(), name.end(), '\\', '/');
    names.insert(name);
  });
  return names;
}

TNames ArchiveEntries(const std::string& path) {
  TNames names;
  int error = 0;
  zip_t* za = zip_open(path.c_str(), ZIP_RDONLY, &error);
  EXPECT_NE(za, nullptr) << path;
  if (!za) return names;
  for (zip_int64_t i = 0; i < zip_get_num_entries(za, 0); ++i)
    names.insert(zip_get_name(za, static_cast<zip_uint64_t>(i), 0));
  zip_close(za);
  return names;
}

class Prepare : public ::testing::Test {
protected:
  Prepare() { TTestProductInfo::Reset(); }
  ~Prepare() override {
    std::error_code ec;
    for (const std::string& folder : createdProfiles_) std::filesystem::remove_all(std::filesystem::u8path(folder), ec);
    TTestProductInfo::Reset();
  }

  ProductTest::TScratchMachine machine_;
  TEnvironmentOverride config_{"XDG_CONFIG_HOME", machine_.Root().File("home/.config")};
  const std::string dest_ = machine_.Root().File("dest/");
  std::unique_ptr<SetupTest::TSetupFixture> fixture_;
  std::vector<std::string> createdProfiles_;

  // The setup object for dest_ with the installed version and flags (sfUpdate as given,
  // whatever the version would allow).
  Setup::Core::TSetup& MakeSetup(int32_t installed, bool update, bool portable, bool noBackup) {
    TTestProductInfo::InstalledVersion = installed;
    fixture_ = std::make_unique<SetupTest::TSetupFixture>(SetupFiles(), SetupTest::TFiles{}, "/AUTO=" + dest_);
    Setup::Core::TSetup& s = fixture_->Setup();
    s.Resources().LoadLanguage("English.lng");
    s.SetFlag(sfUpdate, update);
    s.SetFlag(sfPortable, portable);
    s.SetFlag(sfNoBackup, noBackup);
    return s;
  }

  void Write(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(ForceDirectories(ExtractFilePath(path)));
    TestUtil::WriteWholeFile(path, bytes);
  }
  void WriteProgram() {
    for (const char* name : kProgramFiles) Write(Native(dest_ + name), std::string("old ") + name);
  }
  // The first account's settings folder for the installed version, with kProfileFiles.
  std::string WriteProfile() {
    auto accounts = KVL::Utils::Shell::UserAccounts::TKVLUserAccounts::Populate();
    const std::string folder = TSetupProfileHelper::GetOldProfilePath(&accounts->Items(0));
    // An update copies the settings to the new name: both go afterwards.
    createdProfiles_.push_back(folder);
    createdProfiles_.push_back(TSetupProfileHelper::GetNewProfilePath(&accounts->Items(0)));
    for (const char* name : kProfileFiles) Write(folder + name, std::string("old ") + name);
    return folder;
  }
  std::vector<std::string> Archives() {
    std::vector<std::string> zips;
    for (const std::string& name : FilesBelow(dest_ + "!Backup" + kPathDelim)) zips.push_back(name);
    return zips;
  }
};

} // namespace

// Each mode over the same old installation (and, when installed, one user's settings).
TEST_F(Prepare, ArchivesKeepsAndDeletesByMode) {
  struct Case {
    const char* name;
    int32_t installed;
    bool update, portable, noBackup;
    TNames remaining;  // program files left, relative to the destination (no "!Backup")
    bool profileKept;  // the user's settings folder still holds its files
  };
  const TNames untouchedByUpdate = {"libwebp.dll", "Icons/a.ico", "Skins/Dark/skin.xml", "System/Data/d.dat"};
  TNames keepPlugins = untouchedByUpdate;
  keepPlugins.insert("Plugins/Input/mp3.dll");
  const Case cases[] = {
      {"reinstall 5.30", 5300, false, false, false, {}, false},
      {"update from 3.59: plug-ins go", 3599, true, false, false, untouchedByUpdate, false},
      {"update from 3.60: plug-ins stay, obsolete ones go", 3600, true, false, false, keepPlugins, false},
      {"no backup: only obsolete files and components go",
       4500,
       false,
       false,
       true,
       {"libwebp.dll", "Icons/a.ico", "Skins/Dark/skin.xml", "System/Data/d.dat", "Plugins/Input/mp3.dll",
        "Plugins/ONDU3Visual/vis.dll", "Profile/Settings.ini", "Profile/AlbumArts.db",
        "AlbumArts.cache", "UpdateInstaller.exe"},
       true},
      {"portable", 0, false, true, false, {}, true},
      {"portable update keeps its settings", 5300, true, true, false,
       [&] {
         TNames n = keepPlugins;
         n.insert({"Profile/Settings.ini", "Profile/AlbumArts.db", "Plugins/ONDU3Visual/vis.dll",
                   "Plugins/CoverFinder/cf.dll", "Plugins/LyricsBrowser/lb.dll"});
         return n;
       }(),
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(std::filesystem::u8path(dest_));
    WriteProgram();
    Setup::Core::TSetup& setup = MakeSetup(c.installed, c.update, c.portable, c.noBackup);
    ASSERT_EQ(setup.HasFlag(sfUpdate), c.update);
    ASSERT_EQ(setup.HasFlag(sfPortable), c.portable);
    const std::string profile = WriteProfile();
    const std::string codec = GetSpecialFolder(TSpecialFolder::sfSystem) + kObsoleteSystemCodec;
    Write(codec, "codec");

    TSetupActionPrepare action;
    action.Execute();

    TNames left = FilesBelow(dest_);
    std::vector<std::string> archives = Archives();
    for (const std::string& a : archives) left.erase("!Backup/" + a);
    EXPECT_EQ(left, c.remaining);
    if (c.remaining.empty()) {  // a folder whose files all went goes with them
      EXPECT_FALSE(DirectoryExists(Native(dest_ + "Plugins/Input/")));
    }
    EXPECT_FALSE(FileExists(codec));
    EXPECT_EQ(FilesBelow(profile).size(), c.profileKept ? 2u : 0u);

    if (c.noBackup) {
      EXPECT_TRUE(archives.empty());
      continue;
    }
    ASSERT_EQ(archives.size(), 1u);
    TNames expected;
    for (const char* name : kProgramFiles)
      if (std::find_if(std::begin(kNotArchived), std::end(kNotArchived),
                       [&](const char* n) { return std::string(n) == name; }) == std::end(kNotArchived))
        expected.insert(std::string(c.portable ? "" : "Program/") + name);
    if (!c.portable) expected.insert("Profiles/" + UserName() + "/ONDU.ini");
    EXPECT_EQ(ArchiveEntries(dest_ + "!Backup" + kPathDelim + archives[0]), expected);
    EXPECT_EQ(archives[0].rfind("z Before install 5.39 [", 0), 0u) << archives[0];
  }
}

TEST_F(Prepare, FreshInstallationMakesNoArchive) {
  MakeSetup(0, false, false, false);
  TSetupActionPrepare action;
  action.Execute();
  EXPECT_FALSE(DirectoryExists(dest_ + "!Backup"));
  EXPECT_EQ(action.Total(), 3);  // the three clean-up tasks
  EXPECT_EQ(action.Tasks().size(), 3u);
}

TEST_F(Prepare, SurplusArchivesLeaveThree) {
  struct Case {
    int existing;
    bool noBackup;
    int firstLeft;  // index of the oldest existing archive still there afterwards
  };
  const Case cases[] = {{2, false, 0}, {3, false, 1}, {4, true, 1}, {5, false, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.existing);
    std::filesystem::remove_all(std::filesystem::u8path(dest_));
    Write(dest_ + "ONDU.exe", "old");
    Write(Native(dest_ + "!Backup/keep.txt"), "not an archive");
    std::vector<std::string> existing;
    for (int i = 0; i < c.existing; ++i) {
      existing.push_back("z Before install 5.0" + std::to_string(i) + " [2020.01.01 00-00-00].zip");
      Write(Native(dest_ + "!Backup/" + existing.back()), "zip");
    }
    MakeSetup(5300, false, false, c.noBackup);
    TSetupActionPrepare action;
    action.Execute();
    std::vector<std::string> left = Archives();
    std::erase(left, "keep.txt");
    ASSERT_EQ(left.size(), std::min<size_t>(3, c.existing + (c.noBackup ? 0 : 1)));
    EXPECT_EQ(left.front(), existing[static_cast<size_t>(c.firstLeft)]);
    EXPECT_TRUE(FileExists(Native(dest_ + "!Backup/keep.txt")));
  }
}

TEST_F(Prepare, TooManyBytesFailBeforeAnythingIsWritten) {
  Write(dest_ + "ONDU.exe", "old");
  {
    TPlatformFile big = TPlatformFile::Open(dest_ + "big.bin", TFileOpenMode::fomCreate);
    big.SetSize(TSetupActionPrepare::kMaxBackupBytes - 3);  // with ONDU.exe: 2^31 exactly
  }
  MakeSetup(5300, false, false, false);
  TSetupActionPrepare action;
  try {
    action.Execute();
    FAIL() << "no error";
  } catch (const Setup::Core::EInstallerBackupError& e) {
    EXPECT_STREQ(e.what(), "Too many files for backup");
  }
  EXPECT_FALSE(DirectoryExists(dest_ + "!Backup"));
  EXPECT_TRUE(FileExists(dest_ + "ONDU.exe"));
}

TEST_F(Prepare, BackupFolderThatCannotBeCreated) {
  Write(dest_ + "ONDU.exe", "old");
  Write(dest_ + "!Backup", "a file in the way");
  MakeSetup(5300, false, false, false);
  TSetupActionPrepare action;
  try {
    action.Execute();
    FAIL() << "no error";
  } catch (const Setup::Core::EInstallerInstallError& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create the folder " + dest_ + "!Backup" + kPathDelim + ".");
  }
  EXPECT_TRUE(FileExists(dest_ + "ONDU.exe"));
}

// A file that disappears before its turn: the message names it, nothing is deleted, and the
// archive keeps the files before it.
TEST_F(Prepare, UnreadableFileStopsBeforeAnythingIsDeleted) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) Write(dest_ + name, std::string(100, 'x'));
  MakeSetup(0, false, true, false);
  TSetupActionPrepare action;
  const std::string victim = dest_ + "b.txt";
  action.OnProgress = [&](Setup::Core::TSetupAction&) { RemoveFile(victim); };
  try {
    action.Execute();
    FAIL() << "no error";
  } catch (const Setup::Core::EInstallerBackupError& e) {
    const std::string head = "An error occurs while backuping the \"" + victim + "\" file (100)\r\n";
    const std::string text = e.what();
    EXPECT_EQ(text.substr(0, head.size()), head);
    const size_t second = text.find("\r\n", head.size());
    ASSERT_NE(second, std::string::npos) << text;
    EXPECT_NE(text.find(victim, head.size()), std::string::npos) << "the reason names the file: " << text;
    EXPECT_GT(text.size(), second + 2) << "the system's text follows";
  }
  EXPECT_TRUE(FileExists(dest_ + "a.txt"));
  EXPECT_TRUE(FileExists(dest_ + "c.txt"));
  std::vector<std::string> archives = Archives();
  ASSERT_EQ(archives.size(), 1u);
  EXPECT_EQ(ArchiveEntries(dest_ + "!Backup" + kPathDelim + archives[0]), TNames{"a.txt"});
}

// Progress counts archived files and tasks over everything collected, caches included.
TEST_F(Prepare, ProgressFollowsArchivedFilesAndTasks) {
  struct Case {
    const char* name;
    bool portable;
    std::vector<int32_t> progress;
  };
  const Case cases[] = {
      // three files archived, one cache not: 25, 50, 75 and never 100 from the action itself
      {"portable", true, {25, 50, 75}},
      // the same four files plus three clean-up tasks: files first, then tasks
      {"installed", false, {14, 29, 43, 57, 71, 86}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(std::filesystem::u8path(dest_));
    for (const char* name : {"a.txt", "b.txt", "c.txt", "AlbumArts.db"}) Write(dest_ + name, name);
    MakeSetup(0, false, c.portable, false);
    TSetupActionPrepare action;
    std::vector<int32_t> seen;
    action.OnProgress = [&](Setup::Core::TSetupAction& a) { seen.push_back(a.Progress()); };
    action.Execute();
    EXPECT_EQ(seen, c.progress);
  }
}

TEST_F(Prepare, ArchiveNameUsesVersionAndLocalTime) {
  std::tm t{};
  t.tm_year = 2024 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 31;
  t.tm_hour = 14;
  t.tm_min = 5;
  t.tm_sec = 9;
  EXPECT_EQ(TSetupActionPrepare::ArchiveName("5.30", t), "z Before install 5.30 [2024.01.31 14-05-09].zip");
}

TEST_F(Prepare, SummaryLines) {
  struct Case {
    const char* name;
    int32_t installed;
    bool update, portable, noBackup;
    bool registered;      // an installation elsewhere has its installed-program entry
    std::string options;  // the lines after the destination's group
  };
  const std::string warning = "\r\nOptions:\r\nAnother installation\r\n";
  const Case cases[] = {
      {"fresh", 0, false, false, false, false, "Options:\r\nInstall\r\nBackup\r\n"},
      {"update", 5300, true, false, false, true, "Options:\r\nUpdate\r\nBackup\r\n"},
      {"portable without backup", 0, false, true, true, false, "Options:\r\nPortable\r\n"},
      {"over another version", 5300, false, false, false, false, "Options:\r\nInstall\r\nBackup\r\n" + warning},
      {"installed elsewhere", 0, false, false, false, true, "Options:\r\nInstall\r\nBackup\r\n" + warning},
      {"portable, installed elsewhere", 0, false, true, false, true, "Options:\r\nPortable\r\nBackup\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Setup::Core::TSetupApplicationRepository::Unregister("ONDU");
    ASSERT_TRUE(ForceDirectories(machine_.Root().File("elsewhere/")));
    if (c.registered)
      Setup::Core::TSetupApplicationRepository::Register("ONDU", machine_.Root().File("elsewhere/Uninstall.exe"),
                                                         "5.30", "", "");
    Setup::Core::TSetup& setup = MakeSetup(c.installed, c.update, c.portable, c.noBackup);
    Setup::Core::TSetupSummaryBuilder builder(
        [&](std::string_view section, std::string_view key) { return setup.Resources().GetText(section, key); });
    TSetupActionPrepare action;
    action.BuildSummary(builder);
    EXPECT_EQ(builder.ToString(), "Folder:\r\n" + dest_ + "\r\n\r\n" + c.options);
  }
}
