// The installer program over earlier installations on a throw-away machine with several accounts.
#include <gtest/gtest.h>

#include <zip.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Registry.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/StringList.h"
#include "TestUtil.h"
#include "setup/core/ApplicationRepository.h"
#include "tests/integration/SampleInstaller.h"

#ifdef _WIN32
#include <windows.h>
#endif

#if defined(ONDU_SETUP_BARE) && defined(ONDU_SAMPLE_STAGE_DIR)

using namespace KVL::Platform;
using namespace IntegrationTest;
using TestUtil::TTempDir;
namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
const char kLinkExt[] = ".lnk";
#else
const char kLinkExt[] = ".desktop";
#endif
const char kProfileList[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
const char kShellFolders[] = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
// Accounts of the throw-away machine; the fixture removes all of them.
const char kAliceSid[] = "S-1-5-21-4711-4711-4711-1001";
const char kGhostSid[] = "S-1-5-21-4711-4711-4711-1002";
const char kNovaSid[] = "S-1-5-21-4711-4711-4711-1003";
const char kStaleSid[] = "S-1-5-21-4711-4711-4711-1004.bak";
const char* const kTestSids[] = {kAliceSid, kGhostSid, kNovaSid, kStaleSid};

std::string Slashed(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

std::string Utf8(const fs::path& p) {
  const std::u8string s = p.generic_u8string();
  return Native(std::string(s.begin(), s.end()));
}

// Relative paths ('/'-separated) and contents.
using TFiles = std::map<std::string, std::string>;

void WriteFiles(const std::string& folder, const TFiles& files) {
  for (const auto& [name, text] : files) {
    const fs::path p = fs::u8path(folder + Native(name));
    fs::create_directories(p.parent_path());
    TestUtil::WriteWholeFile(Utf8(p), text);
  }
}

// A file's bytes, or a mark for a missing file.
std::string Contents(const std::string& path) { return FileExists(path) ? TestUtil::ReadWholeFile(path) : "<missing>"; }

// Every file below folder; empty when the folder is missing.
TFiles ReadTree(const std::string& folder) {
  TFiles files;
  std::error_code ec;
  if (!fs::is_directory(fs::u8path(folder), ec)) return files;
  for (const auto& e : fs::recursive_directory_iterator(fs::u8path(folder)))
    if (e.is_regular_file())
      files[Slashed(Utf8(fs::relative(e.path(), fs::u8path(folder))))] = TestUtil::ReadWholeFile(Utf8(e.path()));
  return files;
}

std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  if (!fs::is_directory(fs::u8path(folder), ec)) return names;
  for (const auto& e : fs::directory_iterator(fs::u8path(folder))) names.push_back(Utf8(e.path().filename()));
  std::sort(names.begin(), names.end());
  return names;
}

// Entries of a ZIP archive: names with '/' separators and the uncompressed sizes; the contents
// of entries up to 1 MiB.
struct TArchive {
  TFiles Files;
  std::map<std::string, uint64_t> Sizes;
};

TArchive ReadArchive(const std::string& path) {
  TArchive result;
  if (path.empty()) return result;  // already reported
  int error = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &error);
  EXPECT_NE(z, nullptr) << path << " error " << error;
  if (!z) return result;
  const zip_int64_t n = zip_get_num_entries(z, 0);
  for (zip_int64_t i = 0; i < n; ++i) {
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(z, static_cast<zip_uint64_t>(i), 0, &st) != 0) continue;
    const std::string name = Slashed(st.name);
    result.Sizes[name] = st.size;
    std::string data;
    if (st.size <= (1u << 20)) {
      data.resize(st.size);
      zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(i), 0);
      EXPECT_NE(f, nullptr) << name;
      if (f) {
        EXPECT_EQ(zip_fread(f, data.data(), st.size), static_cast<zip_int64_t>(st.size)) << name;
        zip_fclose(f);
      }
    }
    result.Files[name] = data;
  }
  zip_close(z);
  return result;
}

struct TRun {
  uint32_t Code;
  std::string Output;
};

// One account of the throw-away machine.
struct TAccount {
  std::string Name;
  std::string AppData;  // with a trailing separator
};

// An earlier installation's program folder, apart from its configuration file.
const TFiles kOldProgram = {
    {"ONDU.exe", "old player"},          {"Plugins/Old/Legacy.dll", "old plug-in"},
    {"Skins/Old.skn", "old skin"},       {"Icons/ONDU.ico", "icon"},
    {"System/Data/Genres.txt", "Blues"}, {"Notes/mine.txt", "user notes"},
    {"UpdateInstaller.exe", "updater"},
};

class ProductActions : public ::testing::Test {
protected:
  static void SetUpTestSuite() { SampleInstaller(); }

  ProductActions() {
    for (const char* d : {"root", "home", "logs", "tmp", "users"}) ForceDirectories(sandbox_.File(d));
    CleanMachine();
    me_ = {UserName(), GetSpecialFolder(TSpecialFolder::sfAppData)};
    alice_ = AddAccount("alice", kAliceSid);
  }
  ~ProductActions() override { CleanMachine(); }

  // What the tests add outside the sandbox on Windows (wine's prefix); harmless on POSIX,
  // where all of it lies inside the sandbox.
  static void CleanMachine() {
    for (const char* name : {"ONDU", "ONDU3"}) Setup::Core::TSetupApplicationRepository::Unregister(name);
    for (const char* sid : kTestSids) {
      DeleteRegistryKeyTree(TRegistryRoot::rrLocalMachine, std::string(kProfileList) + sid);
      DeleteRegistryKeyTree(TRegistryRoot::rrUsers, sid);
    }
    std::error_code ec;
    for (const char* name : {"ONDU", "ONDU3"}) {
      for (TSpecialFolder f : {TSpecialFolder::sfUserDesktop, TSpecialFolder::sfCommonDesktop})
        fs::remove(fs::u8path(GetSpecialFolder(f) + name + kLinkExt), ec);
      for (TSpecialFolder f : {TSpecialFolder::sfUserStartMenu, TSpecialFolder::sfUserPrograms,
                               TSpecialFolder::sfCommonStartMenu, TSpecialFolder::sfCommonPrograms,
                               TSpecialFolder::sfAppData})
        fs::remove_all(fs::u8path(GetSpecialFolder(f) + name), ec);
    }
  }

  // An account in the registry's ProfileList with its profile folder in the sandbox; its
  // hive names the application-data folder below the profile.
  TAccount AddAccount(const std::string& name, const std::string& sid, bool createProfile = true,
                      std::optional<std::string> appDataValue = "%USERPROFILE%\\AppData\\Roaming") {
    const std::string profile = sandbox_.File("users/" + name);
    if (createProfile) ForceDirectories(profile + Native("/AppData/Roaming"));
    TRegistryKey list;
    list.OpenWrite(TRegistryRoot::rrLocalMachine, kProfileList + sid);
    list.WriteExpandString("ProfileImagePath", profile);
    TRegistryKey folders;
    folders.OpenWrite(TRegistryRoot::rrUsers, sid + kShellFolders);
    if (appDataValue) folders.WriteExpandString("AppData", Native(*appDataValue));
    else folders.WriteString("Desktop", Native("%USERPROFILE%\\Desktop"));
    return {name, profile + Native("/AppData/Roaming/")};
  }

  TRun Run(const std::string& program, const std::vector<std::string>& args, int timeoutMs = 300000) {
    const std::string out = sandbox_.File("output.txt");
    TProcess p = StartProcessCapturing(program, args, out);
    EXPECT_TRUE(p.WaitForExit(timeoutMs)) << program << " did not end";
    return {p.ExitCode(), TestUtil::ReadWholeFile(out)};
  }
  TRun Install(std::vector<std::string> switches) {
    switches.insert(switches.begin(), "/AUTO=" + dest_);
    switches.push_back("/SILENT");
    return Run(SampleInstaller(), switches);
  }

  // The settings folder of an account as the version names it.
  static std::string SettingsFolder(const TAccount& a, int version) {
    return a.AppData + (version < 4000 ? "ONDU3" : "ONDU") + kPathDelim;
  }
  static TFiles OldSettings(int version) {
    if (version < 4000)
      return {{"ONDU3.ini", "[Main]\r\nVolume=7\r\n"}, {"ondu3_menu.ini", "menu"}, {"Playlists/Default.pls", "pls"}};
    return {{"ONDU.ini", "[Main]\r\nVolume=7\r\n"}, {"Playlists/Default.pls", "pls"}};
  }

  static std::string OldConfig(int version) {
    return "[System]\r\nVersion=" + std::to_string(version) + "\r\nUserMode=1\r\nSkin=Old\r\n";
  }
  // Program files, the configuration file of the version and each account's settings folder.
  void MakeOldInstall(int version, const std::vector<TAccount>& accounts) {
    WriteFiles(dest_, kOldProgram);
    WriteFiles(dest_, {{version < 4000 ? "ONDU3.ini" : "ONDU.ini", OldConfig(version)}});
    for (const TAccount& a : accounts) WriteFiles(SettingsFolder(a, version), OldSettings(version));
  }

  // The one archive the run wrote.
  std::string NewArchive() {
    std::string found;
    for (const std::string& n : FileNames(dest_ + "!Backup"))
      if (n.starts_with("z Before install 5.39 [")) {
        EXPECT_TRUE(found.empty()) << "two archives: " << found << ", " << n;
        found = dest_ + "!Backup" + kPathDelim + n;
      }
    EXPECT_FALSE(found.empty()) << "no archive";
    return found;
  }

  // The argument texts of each start of Elevator.exe.
  std::vector<std::string> ElevatorStarts() {
    std::vector<std::string> starts;
    const std::string log = sandbox_.File("logs/elevator.log");
    if (!FileExists(log)) return starts;
    const std::string text = TestUtil::ReadWholeFile(log);
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find("\r\n", at);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(at, end - at);
      starts.push_back(line.substr(line.rfind('\t') + 1));
      at = end + 2;
    }
    return starts;
  }

  // The program folder's configuration: System is the last section and holds exactly these keys.
  void ExpectConfig(bool userMode) {
    KVL::FileFormats::INI::TKVLIniFile ini(dest_ + "ONDU.ini");
    ASSERT_GT(ini.SectionCount(), 0) << "no ONDU.ini";
    EXPECT_EQ(ini.SectionName(ini.SectionCount() - 1), "System");
    KVL::Classes::TKVLStringList keys;
    ini.ReadKeys("System", keys);
    ASSERT_EQ(keys.Count(), 3);
    EXPECT_EQ(keys.Strings(0), "UserMode");
    EXPECT_EQ(keys.Strings(1), "DefaultLang");
    EXPECT_EQ(keys.Strings(2), "Version");
    EXPECT_EQ(ini.ReadString("System", "UserMode"), userMode ? "1" : "0");
    EXPECT_TRUE(ini.ReadString("System", "DefaultLang").ends_with(".lng")) << ini.ReadString("System", "DefaultLang");
    EXPECT_EQ(ini.ReadInteger("System", "Version", 0), 5390);
  }

  void ExpectNewProgram() {
    EXPECT_TRUE(Contents(dest_ + "ONDU.exe") == TestUtil::ReadWholeFile(StageDir("PRODUCT/ONDU.exe")))
        << "ONDU.exe is not the new program";
    EXPECT_EQ(TestUtil::ReadWholeFile(dest_ + Native("System/Data/Genres.txt")),
              TestUtil::ReadWholeFile(StageDir("PRODUCT/System/Data/Genres.txt")));
  }

  // Shortcuts and Start menu folders that earlier versions left: the clean-up tasks remove them.
  std::vector<std::string> PlaceOldShortcuts() {
    std::vector<std::string> placed;
    for (const char* name : {"ONDU", "ONDU3"}) {
      placed.push_back(GetSpecialFolder(TSpecialFolder::sfUserDesktop) + name + kLinkExt);
      placed.push_back(GetSpecialFolder(TSpecialFolder::sfUserStartMenu) + name + kPathDelim + "Old" + kLinkExt);
      placed.push_back(GetSpecialFolder(TSpecialFolder::sfCommonPrograms) + name + kPathDelim + "Old" + kLinkExt);
    }
    placed.push_back(GetSpecialFolder(TSpecialFolder::sfCommonDesktop) + "ONDU3" + kLinkExt);
    for (const std::string& p : placed) WriteFiles("", {{p, "old link"}});
    return placed;
  }

  std::string DesktopLink() const { return GetSpecialFolder(TSpecialFolder::sfCommonDesktop) + "ONDU" + kLinkExt; }
  std::string StartMenuLink() const {
    return GetSpecialFolder(TSpecialFolder::sfCommonPrograms) + Native("ONDU/ONDU") + kLinkExt;
  }

  TTempDir sandbox_;
#ifndef _WIN32
  TEnvironmentOverride root_{"KVL_SYSTEM_ROOT", sandbox_.File("root")};
  TEnvironmentOverride home_{"HOME", sandbox_.File("home")};
  TEnvironmentOverride configHome_{"XDG_CONFIG_HOME", std::nullopt};
  TEnvironmentOverride dataHome_{"XDG_DATA_HOME", std::nullopt};
  TEnvironmentOverride desktopDir_{"XDG_DESKTOP_DIR", std::nullopt};
#endif
  TEnvironmentOverride logs_{"ONDU_STANDIN_LOG_DIR", sandbox_.File("logs")};
  TEnvironmentOverride tmpdir_{"TMPDIR", sandbox_.File("tmp")};
  TEnvironmentOverride tmp_{"TMP", sandbox_.File("tmp")};
  TEnvironmentOverride temp_{"TEMP", sandbox_.File("tmp")};
  std::string dest_ = sandbox_.File("Apps/ONDU") + kPathDelim;
  TAccount me_, alice_;
};

TEST_F(ProductActions, FreshInstallationRunsTheCleanUpTasksAndIntegrates) {
  const std::vector<std::string> old = PlaceOldShortcuts();
  // An empty folder that a 3.x entry of the program list still names.
  ForceDirectories(dest_);
  Setup::Core::TSetupApplicationRepository::Register("ONDU3", dest_ + "Uninstall.exe", "3.60", "ONDU Team", "");
  std::string listed;
  ASSERT_TRUE(Setup::Core::TSetupApplicationRepository::GetInstallPath("ONDU3", listed));
  TRun r = Install({});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  EXPECT_FALSE(DirectoryExists(dest_ + "!Backup"));
  EXPECT_FALSE(
      RegistryKeyExists(TRegistryRoot::rrLocalMachine, Setup::Core::TSetupApplicationRepository::KeyPath("ONDU3")));
  for (const std::string& p : old) EXPECT_FALSE(FileExists(p)) << p;
  for (const char* name : {"ONDU", "ONDU3"})
    EXPECT_FALSE(DirectoryExists(GetSpecialFolder(TSpecialFolder::sfUserStartMenu) + name)) << name;
  EXPECT_FALSE(DirectoryExists(GetSpecialFolder(TSpecialFolder::sfCommonPrograms) + "ONDU3"));
  ExpectNewProgram();
  ExpectConfig(true);
  EXPECT_TRUE(FileExists(DesktopLink()));
  EXPECT_TRUE(FileExists(StartMenuLink()));
  EXPECT_TRUE(
      FileExists(GetSpecialFolder(TSpecialFolder::sfCommonPrograms) + Native("ONDU/Uninstall ONDU") + kLinkExt));
  EXPECT_EQ(ElevatorStarts(), std::vector<std::string>{"/REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2"});
}

// A version the installer cannot update is replaced whole: everything archived, then deleted.
TEST_F(ProductActions, ReinstallationArchivesAndDeletesEverything) {
  MakeOldInstall(5400, {me_, alice_});
  WriteFiles(SettingsFolder(alice_, 5400), {{"AlbumArts.db", "cache"}});
  // Three archives of earlier runs: with the new one the oldest goes.
  WriteFiles(dest_, {{"!Backup/2019.zip", "a"}, {"!Backup/2020.zip", "b"}, {"!Backup/2021.zip", "c"}});

  TRun r = Install({});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  const std::string archive = NewArchive();
  const TArchive zip = ReadArchive(archive);
  TFiles expected;
  for (const auto& [name, text] : kOldProgram)
    if (name != "UpdateInstaller.exe") expected["Program/" + name] = text;
  expected["Program/ONDU.ini"] = OldConfig(5400);
  for (const TAccount* a : {&me_, &alice_})
    for (const auto& [name, text] : OldSettings(5400)) expected["Profiles/" + a->Name + "/" + name] = text;
  EXPECT_EQ(zip.Files, expected);

  // Old files gone (the cache and the updater without being archived), new ones in place.
  for (const char* f : {"Notes", "Plugins/Old", "Icons", "UpdateInstaller.exe", "Skins/Old.skn"})
    EXPECT_FALSE(fs::exists(fs::u8path(dest_ + Native(f)))) << f;
  EXPECT_FALSE(DirectoryExists(SettingsFolder(me_, 5400)));
  EXPECT_FALSE(DirectoryExists(SettingsFolder(alice_, 5400)));
  ExpectNewProgram();
  ExpectConfig(true);
  EXPECT_EQ(FileNames(dest_ + "!Backup"),
            (std::vector<std::string>{"2020.zip", "2021.zip", archive.substr(archive.rfind(kPathDelim) + 1)}));
}

TEST_F(ProductActions, NoBackupKeepsWhatIsNotReplaced) {
  MakeOldInstall(5400, {me_, alice_});
  TRun r = Install({"/NOBACKUP"});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  EXPECT_FALSE(DirectoryExists(dest_ + "!Backup"));
  for (const char* f : {"Notes/mine.txt", "Plugins/Old/Legacy.dll", "Icons/ONDU.ico", "Skins/Old.skn"})
    EXPECT_TRUE(FileExists(dest_ + Native(f))) << f;
  EXPECT_EQ(ReadTree(SettingsFolder(alice_, 5400)), OldSettings(5400));
  EXPECT_EQ(ReadTree(SettingsFolder(me_, 5400)), OldSettings(5400));
  ExpectNewProgram();
  ExpectConfig(true);
}

// Updates: the installer decides by the version it finds, without /UPDATE.
struct TUpdateCase {
  const char* Name;
  int Version;
  bool SettingsCopied;  // the "ONDU3" folders move to "ONDU" with their files renamed
  bool PluginsKept;
  bool LyricsKept;      // an obsolete plug-in folder of releases before 5.03
  bool CleanUpTasks;    // earlier shortcuts removed
};
void PrintTo(const TUpdateCase& c, std::ostream* os) { *os << c.Name; }

class ProductUpdate : public ProductActions, public ::testing::WithParamInterface<TUpdateCase> {};

TEST_P(ProductUpdate, MigratesSettingsAndKeepsWhatAnUpdateKeeps) {
  const TUpdateCase& c = GetParam();
  MakeOldInstall(c.Version, {me_, alice_});
  WriteFiles(dest_, {{"Plugins/LyricsBrowser/Lyrics.dll", "lyrics"}});
  const std::string oldLink = GetSpecialFolder(TSpecialFolder::sfUserDesktop) + "ONDU" + kLinkExt;
  WriteFiles("", {{oldLink, "old link"}});

  TRun r = Install({});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  const TArchive zip = ReadArchive(NewArchive());
  EXPECT_EQ(zip.Files.at("Program/ONDU.exe"), "old player");
  EXPECT_EQ(zip.Files.at("Profiles/alice/" + std::string(c.Version < 4000 ? "ONDU3.ini" : "ONDU.ini")),
            "[Main]\r\nVolume=7\r\n");

  for (const TAccount* a : {&me_, &alice_}) {
    SCOPED_TRACE(a->Name);
    if (c.SettingsCopied) {
      const TFiles renamed = {{"ONDU.ini", "[Main]\r\nVolume=7\r\n"},
                              {"ONDU-ContextMenu.ini", "menu"},
                              {"Playlists/Default.pls", "pls"}};
      EXPECT_EQ(ReadTree(a->AppData + "ONDU"), renamed);
      EXPECT_FALSE(DirectoryExists(a->AppData + "ONDU3"));
    } else {
      EXPECT_EQ(ReadTree(a->AppData + "ONDU"), OldSettings(c.Version));
    }
  }
  EXPECT_EQ(FileExists(dest_ + Native("Plugins/Old/Legacy.dll")), c.PluginsKept);
  EXPECT_EQ(FileExists(dest_ + Native("Plugins/LyricsBrowser/Lyrics.dll")), c.LyricsKept);
  for (const char* f : {"Skins/Old.skn", "Icons/ONDU.ico"}) EXPECT_TRUE(FileExists(dest_ + Native(f))) << f;
  EXPECT_FALSE(FileExists(dest_ + Native("Notes/mine.txt")));
  EXPECT_FALSE(FileExists(dest_ + "ONDU3.ini"));
  EXPECT_EQ(FileExists(oldLink), !c.CleanUpTasks);
  ExpectNewProgram();
  ExpectConfig(true);
  // Updates leave integration and shortcuts as they were.
  EXPECT_TRUE(ElevatorStarts().empty());
  EXPECT_FALSE(FileExists(DesktopLink()));
}

INSTANTIATE_TEST_SUITE_P(FromEarlierVersions, ProductUpdate,
                         ::testing::Values(TUpdateCase{"v359", 3590, true, false, false, true},
                                           TUpdateCase{"v360", 3600, true, true, false, true},
                                           TUpdateCase{"v450", 4500, false, true, false, false},
                                           TUpdateCase{"v530", 5300, false, true, true, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ProductActions, PortableInstallationAndUpdateStayInTheirFolder) {
  const std::string userLink = GetSpecialFolder(TSpecialFolder::sfUserDesktop) + "ONDU" + kLinkExt;
  WriteFiles("", {{userLink, "old link"}});
  WriteFiles(SettingsFolder(me_, 5300), OldSettings(5300));

  // Portable installation: no clean-up tasks, no integration, no shortcuts by default.
  TRun r = Install({"/PORTABLE"});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  ExpectConfig(false);
  EXPECT_TRUE(FileExists(userLink));
  EXPECT_TRUE(ElevatorStarts().empty());
  EXPECT_FALSE(FileExists(DesktopLink()));
  EXPECT_FALSE(DirectoryExists(dest_ + "!Backup"));

  // Portable update: the one "SingleUser" profile is the program's own "Profile" folder.
  WriteFiles(dest_, {{"ONDU.ini", "[System]\r\nVersion=5300\r\nUserMode=0\r\n"}, {"Notes/mine.txt", "user notes"}});
  WriteFiles(dest_ + "Profile" + kPathDelim, OldSettings(5300));
  r = Install({});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  const TArchive zip = ReadArchive(NewArchive());
  EXPECT_EQ(zip.Files.at("Profile/ONDU.ini"), "[Main]\r\nVolume=7\r\n");
  EXPECT_EQ(zip.Files.at("Notes/mine.txt"), "user notes");
  EXPECT_EQ(zip.Files.count("Program/ONDU.exe"), 0u);
  for (const auto& [name, text] : zip.Files) EXPECT_FALSE(name.starts_with("Profiles/")) << name;
  EXPECT_EQ(ReadTree(dest_ + "Profile"), OldSettings(5300));
  EXPECT_EQ(ReadTree(SettingsFolder(me_, 5300)), OldSettings(5300));
  EXPECT_FALSE(FileExists(dest_ + Native("Notes/mine.txt")));
  ExpectConfig(false);
  EXPECT_TRUE(FileExists(userLink));
}

// The integration options come from the configuration found in the destination.
struct TIntegrationCase {
  const char* Name;
  const char* Options;
  std::optional<std::string> ElevatorArgs;
  bool Desktop, StartMenu;
};
void PrintTo(const TIntegrationCase& c, std::ostream* os) { *os << c.Name; }

class ProductIntegration : public ProductActions, public ::testing::WithParamInterface<TIntegrationCase> {};

TEST_P(ProductIntegration, OptionsSelectElevatorSwitchesAndShortcuts) {
  const TIntegrationCase& c = GetParam();
  WriteFiles(dest_, {{"ONDU.ini", std::string("[Integration]\r\n") + c.Options}});
  TRun r = Install({});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  std::vector<std::string> expected;
  if (c.ElevatorArgs) expected.push_back(*c.ElevatorArgs);
  EXPECT_EQ(ElevatorStarts(), expected);
  EXPECT_EQ(FileExists(DesktopLink()), c.Desktop);
  EXPECT_EQ(FileExists(StartMenuLink()), c.StartMenu);
  // The choices stay in the new configuration.
  KVL::FileFormats::INI::TKVLIniFile chosen, written(dest_ + "ONDU.ini");
  chosen.LoadFromString(std::string("[Integration]\r\n") + c.Options);
  KVL::Classes::TKVLStringList keys;
  chosen.ReadKeys("Integration", keys);
  for (int i = 0; i < keys.Count(); ++i)
    EXPECT_EQ(written.ReadString("Integration", keys.Strings(i)), chosen.ReadString("Integration", keys.Strings(i)))
        << keys.Strings(i);
}

INSTANTIATE_TEST_SUITE_P(
    Options, ProductIntegration,
    ::testing::Values(
        TIntegrationCase{"AllOff", "IntegrateToWindows=0\r\nRegisterContextMenu=0\r\nAssociateWithFiles=0\r\n",
                         std::nullopt, true, true},
        TIntegrationCase{"OnlyAssociate", "IntegrateToWindows=0\r\nRegisterContextMenu=0\r\nAssociateWithFiles=1\r\n",
                         "/REG=R2", true, true},
        TIntegrationCase{"OnlyContextMenu", "IntegrateToWindows=0\r\nRegisterContextMenu=1\r\nAssociateWithFiles=0\r\n",
                         "/REG=M1", true, true},
        TIntegrationCase{"DesktopOnly", "ShortcutDesktop=1\r\nShortcutStartMenu=0\r\n",
                         "/REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2", true, false},
        TIntegrationCase{"StartMenuOnly", "ShortcutDesktop=0\r\nShortcutStartMenu=1\r\n",
                         "/REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2", false, true}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(ProductActions, ExistingShortcutWithTheSameTargetIsLeftAlone) {
  // Portable runs create shortcuts without the clean-up tasks that would delete them first.
  const char options[] = "[Integration]\r\nShortcutDesktop=1\r\nShortcutStartMenu=0\r\n";
  WriteFiles(dest_, {{"ONDU.ini", options}});
  ASSERT_EQ(Install({"/PORTABLE"}).Code, 0u);
  ASSERT_TRUE(FileExists(DesktopLink()));
  const std::string link = TestUtil::ReadWholeFile(DesktopLink());
  fs::last_write_time(fs::u8path(DesktopLink()), fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));
  const fs::file_time_type stamp = fs::last_write_time(fs::u8path(DesktopLink()));

  // The configuration without a version: a new portable installation, not an update.
  WriteFiles(dest_, {{"ONDU.ini", options}});
  TRun r = Install({"/PORTABLE"});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  EXPECT_EQ(fs::last_write_time(fs::u8path(DesktopLink())), stamp);
  EXPECT_EQ(TestUtil::ReadWholeFile(DesktopLink()), link);
}

TEST_F(ProductActions, UnattendedRemovalTakesBackupsButNoSettings) {
  ASSERT_EQ(Install({}).Code, 0u);
  // What the player, the user and earlier runs leave behind.
  WriteFiles(dest_, {{"!Backup/z Before install 5.30 [2024.01.31 14-05-09].zip", "zip"},
                     {"Notes/Deep/mine.txt", "user file"}});
  WriteFiles(SettingsFolder(me_, 5390), OldSettings(5390));
  WriteFiles(SettingsFolder(alice_, 5390), OldSettings(5390));
  WriteFiles("", {{DesktopLink(), "link"}, {StartMenuLink(), "link"}});

  // Only RemoveBackups can be set without the wizard: unattended removal takes its default.
  TRun r = Run(dest_ + "Uninstall.exe", {"/AUTO", "/SILENT"});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  for (int i = 0; i < 600 && (FileExists(dest_ + "Uninstall.exe") || FileExists(dest_ + "Uninstall.dat")); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_FALSE(FileExists(dest_ + "Uninstall.exe"));
  EXPECT_FALSE(DirectoryExists(dest_ + "!Backup"));
  EXPECT_FALSE(FileExists(dest_ + "ONDU.exe"));
  EXPECT_EQ(TestUtil::ReadWholeFile(dest_ + Native("Notes/Deep/mine.txt")), "user file");
  for (const char* f : {"Plugins", "Langs", "System"}) EXPECT_FALSE(DirectoryExists(dest_ + f)) << f;
  EXPECT_EQ(ReadTree(SettingsFolder(me_, 5390)), OldSettings(5390));
  EXPECT_EQ(ReadTree(SettingsFolder(alice_, 5390)), OldSettings(5390));
  EXPECT_FALSE(FileExists(DesktopLink()));
  EXPECT_FALSE(DirectoryExists(GetSpecialFolder(TSpecialFolder::sfCommonPrograms) + "ONDU"));
  const std::vector<std::string> starts = ElevatorStarts();
  ASSERT_FALSE(starts.empty());
  EXPECT_EQ(starts.back(), "/REG=U");
  EXPECT_FALSE(RegistryKeyExists(TRegistryRoot::rrLocalMachine, kUninstallKey));
}

// Failures stop the run before anything is deleted.
TEST_F(ProductActions, FailuresBeforeTheCleanUpDeleteNothing) {
  struct TCase {
    const char* Name;
    int Version;
    std::function<void()> Break;
    std::string Message;
  };
  const std::string locked = dest_ + Native("Plugins/Locked.dll");
#ifdef _WIN32
  HANDLE hold = INVALID_HANDLE_VALUE;
#endif
  const TCase cases[] = {
      {"unreadable file", 5400,
       [&] {
#ifdef _WIN32
         TestUtil::WriteWholeFile(locked, "x");
         hold = CreateFileW(fs::u8path(locked).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
#else
         fs::create_symlink(fs::u8path(sandbox_.File("nowhere")), fs::u8path(locked));
#endif
       },
       "An error occurs while backuping the \"" + locked + "\" file"},
      {"settings folder cannot be copied", 3600,
       [&] { TestUtil::WriteWholeFile(me_.AppData + "ONDU", "a file in the way"); },
       "Cannot copy \"" + SettingsFolder(me_, 3600) + "\" to \"" + me_.AppData + "ONDU" + kPathDelim + "\""},
      {"both configuration files in a profile", 3600,
       [&] { WriteFiles(SettingsFolder(alice_, 3600), {{"ONDU.ini", "newer"}}); },
       "System Error"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    CleanMachine();
    fs::remove_all(fs::u8path(sandbox_.File("Apps")));
    fs::remove_all(fs::u8path(sandbox_.File("users")));
    alice_ = AddAccount("alice", kAliceSid);
    MakeOldInstall(c.Version, {me_, alice_});
    const TFiles program = ReadTree(dest_);
    const TFiles mine = ReadTree(SettingsFolder(me_, c.Version));
    c.Break();
    const TFiles hers = ReadTree(SettingsFolder(alice_, c.Version));

    TRun r = Install({});
#ifdef _WIN32
    if (hold != INVALID_HANDLE_VALUE) CloseHandle(hold);
    hold = INVALID_HANDLE_VALUE;
#endif
    EXPECT_EQ(r.Code, 1u);
    EXPECT_NE(r.Output.find(c.Message), std::string::npos) << r.Output;
    // Every earlier file is still there; the configuration file may have taken its new name.
    for (const auto& [name, text] : program) {
      const bool renamed = name == "ONDU3.ini" && !FileExists(dest_ + name);
      EXPECT_EQ(Contents(dest_ + Native(renamed ? "ONDU.ini" : name)), text) << name;
    }
    EXPECT_EQ(ReadTree(SettingsFolder(me_, c.Version)), mine);
    EXPECT_EQ(ReadTree(SettingsFolder(alice_, c.Version)), hers);
  }
}

// Accounts whose registry data leads nowhere are passed over; the others are migrated.
TEST_F(ProductActions, BrokenAccountsAreSkipped) {
  AddAccount("ghost", kGhostSid, false);
  const TAccount nova = AddAccount("nova", kNovaSid, true, std::nullopt);
  const TAccount stale = AddAccount("stale", kStaleSid);
  MakeOldInstall(3600, {me_, alice_, nova, stale});
  TRun r = Install({});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  EXPECT_TRUE(FileExists(alice_.AppData + Native("ONDU/ONDU.ini")));
  EXPECT_FALSE(DirectoryExists(alice_.AppData + "ONDU3"));
  for (const TAccount* a : {&nova, &stale}) {
    EXPECT_EQ(ReadTree(SettingsFolder(*a, 3600)), OldSettings(3600)) << a->Name;
    EXPECT_FALSE(DirectoryExists(a->AppData + "ONDU")) << a->Name;
  }
  EXPECT_FALSE(DirectoryExists(sandbox_.File("users/ghost")));
  const TArchive zip = ReadArchive(NewArchive());
  for (const auto& [name, text] : zip.Files)
    for (const char* skipped : {"Profiles/nova/", "Profiles/stale/", "Profiles/ghost/"})
      EXPECT_FALSE(name.starts_with(skipped)) << name;
}

TEST_F(ProductActions, CorruptConfigurationIsArchivedAndReplaced) {
  WriteFiles(dest_, kOldProgram);
  const std::string garbage("\xff\xfe[Sys\0tem\r\nVersion==\x01\r\n[[[", 27);
  WriteFiles(dest_, {{"ONDU.ini", garbage}});
  TRun r = Install({});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  const TArchive zip = ReadArchive(NewArchive());
  EXPECT_EQ(zip.Files.at("Program/ONDU.ini"), garbage);
  EXPECT_EQ(zip.Files.at("Program/Notes/mine.txt"), "user notes");
  ExpectNewProgram();
  ExpectConfig(true);
}

// The archive may hold up to 2^31 - 1 bytes; the size is checked before anything is written.
TEST_F(ProductActions, BackupSizeLimit) {
  const std::string big = dest_ + "big.bin";
  WriteFiles(dest_, {{"big.bin", ""}});
  fs::resize_file(fs::u8path(big), 2147483648ull);
  TRun r = Install({});
  EXPECT_EQ(r.Code, 1u);
  EXPECT_NE(r.Output.find("Too many files for backup"), std::string::npos) << r.Output;
  EXPECT_FALSE(DirectoryExists(dest_ + "!Backup"));
  EXPECT_EQ(fs::file_size(fs::u8path(big)), 2147483648ull);

  fs::resize_file(fs::u8path(big), 2147483647ull);
  r = Install({});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  const TArchive zip = ReadArchive(NewArchive());
  EXPECT_EQ(zip.Sizes, (std::map<std::string, uint64_t>{{"Program/big.bin", 2147483647ull}}));
  EXPECT_FALSE(FileExists(big));
}

} // namespace

#endif
