// Special folders, environment, language, version and rights queries of the platform layer.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/Platform/Security.h"
#include "TestUtil.h"

using namespace KVL::Platform;
using TestUtil::TTempDir;

namespace {

constexpr TSpecialFolder kAllFolders[] = {
    TSpecialFolder::sfProgramFiles,    TSpecialFolder::sfProgramFilesX86, TSpecialFolder::sfCommonDesktop,
    TSpecialFolder::sfCommonStartMenu, TSpecialFolder::sfCommonPrograms,  TSpecialFolder::sfCommonAppData,
    TSpecialFolder::sfSystem,          TSpecialFolder::sfUserDesktop,     TSpecialFolder::sfUserStartMenu,
    TSpecialFolder::sfUserPrograms,    TSpecialFolder::sfAppData,         TSpecialFolder::sfLocalAppData,
    TSpecialFolder::sfProfile,         TSpecialFolder::sfTemp,            TSpecialFolder::sfDocuments,
};

bool IsAbsolute(const std::string& p) {
#ifdef _WIN32
  return (p.size() > 2 && p[1] == ':' && p[2] == '\\') || p.rfind("\\\\", 0) == 0;
#else
  return !p.empty() && p[0] == '/';
#endif
}

} // namespace

TEST(ShellFolders, EveryFolderIsAbsoluteWithTrailingSeparator) {
  for (TSpecialFolder f : kAllFolders) {
    std::string dir = GetSpecialFolder(f);
    SCOPED_TRACE(static_cast<int>(f));
    EXPECT_TRUE(IsAbsolute(dir)) << dir;
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), kPathDelim);
  }
  EXPECT_EQ(GetSpecialFolder(TSpecialFolder::sfTemp), TempDirectory());
  // The Programs folders lie inside (or, on POSIX, are) their Start menus.
  EXPECT_EQ(GetSpecialFolder(TSpecialFolder::sfCommonPrograms).rfind(GetSpecialFolder(TSpecialFolder::sfCommonStartMenu), 0), 0u);
  EXPECT_EQ(GetSpecialFolder(TSpecialFolder::sfUserPrograms).rfind(GetSpecialFolder(TSpecialFolder::sfUserStartMenu), 0), 0u);
  // Machine-wide and per-user folders never coincide.
  EXPECT_NE(GetSpecialFolder(TSpecialFolder::sfCommonDesktop), GetSpecialFolder(TSpecialFolder::sfUserDesktop));
  EXPECT_NE(GetSpecialFolder(TSpecialFolder::sfCommonAppData), GetSpecialFolder(TSpecialFolder::sfAppData));
  EXPECT_NE(GetSpecialFolder(TSpecialFolder::sfAppData), GetSpecialFolder(TSpecialFolder::sfLocalAppData));
#ifdef _WIN32
  EXPECT_NE(GetSpecialFolder(TSpecialFolder::sfProgramFiles), GetSpecialFolder(TSpecialFolder::sfProgramFilesX86));
  EXPECT_TRUE(DirectoryExists(GetSpecialFolder(TSpecialFolder::sfSystem)));
  EXPECT_TRUE(DirectoryExists(GetSpecialFolder(TSpecialFolder::sfProgramFiles)));
#endif
}

#ifndef _WIN32
TEST(ShellFolders, PosixMappingFollowsSystemRootHomeAndXdg) {
  TTempDir root, home;
  std::string r = root.Path(), h = home.Path();
  // The root is taken with or without its trailing '/'.
  TEnvironmentOverride rootVar("KVL_SYSTEM_ROOT", r.substr(0, r.size() - 1));
  TEnvironmentOverride homeVar("HOME", h);
  TEnvironmentOverride config("XDG_CONFIG_HOME", std::nullopt), data("XDG_DATA_HOME", std::nullopt),
      desktop("XDG_DESKTOP_DIR", std::nullopt), documents("XDG_DOCUMENTS_DIR", std::nullopt);
  struct {
    TSpecialFolder Folder;
    std::string Want;
  } defaults[] = {
      {TSpecialFolder::sfProgramFiles, r + "opt/"},
      {TSpecialFolder::sfProgramFilesX86, r + "opt/"},
      {TSpecialFolder::sfCommonDesktop, r + "usr/share/kvl/desktop/"},
      {TSpecialFolder::sfCommonStartMenu, r + "usr/share/applications/"},
      {TSpecialFolder::sfCommonPrograms, r + "usr/share/applications/"},
      {TSpecialFolder::sfCommonAppData, r + "var/lib/"},
      {TSpecialFolder::sfSystem, r + "usr/lib/"},
      {TSpecialFolder::sfProfile, h},
      {TSpecialFolder::sfUserDesktop, h + "Desktop/"},
      {TSpecialFolder::sfDocuments, h + "Documents/"},
      {TSpecialFolder::sfAppData, h + ".config/"},
      {TSpecialFolder::sfLocalAppData, h + ".local/share/"},
      {TSpecialFolder::sfUserStartMenu, h + ".local/share/applications/"},
      {TSpecialFolder::sfUserPrograms, h + ".local/share/applications/"},
  };
  for (const auto& c : defaults) EXPECT_EQ(GetSpecialFolder(c.Folder), c.Want) << static_cast<int>(c.Folder);
  EXPECT_EQ(SystemRoot(), r);

  {
    // XDG folders win when absolute; a relative one is invalid and ignored.
    TEnvironmentOverride c2("XDG_CONFIG_HOME", "/x/conf"), d2("XDG_DATA_HOME", "relative/data"),
        k2("XDG_DESKTOP_DIR", "/x/Schreibtisch");
    EXPECT_EQ(GetSpecialFolder(TSpecialFolder::sfAppData), "/x/conf/");
    EXPECT_EQ(GetSpecialFolder(TSpecialFolder::sfLocalAppData), h + ".local/share/");
    EXPECT_EQ(GetSpecialFolder(TSpecialFolder::sfUserDesktop), "/x/Schreibtisch/");
  }

  // Without the variable, the desktop comes from xdg-user-dirs' file.
  ForceDirectories(h + ".config");
  TestUtil::WriteWholeFile(h + ".config/user-dirs.dirs",
                           "# written by xdg-user-dirs-update\nXDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n"
                           "XDG_DESKTOP_DIR=\"$HOME/Bureau\"\nXDG_DOCUMENTS_DIR=\"$HOME/Documents fran\xC3\xA7" "ais\"\n");
  EXPECT_EQ(GetSpecialFolder(TSpecialFolder::sfUserDesktop), h + "Bureau/");
  EXPECT_EQ(GetSpecialFolder(TSpecialFolder::sfDocuments), h + "Documents fran\xC3\xA7" "ais/");

  TEnvironmentOverride noRoot("KVL_SYSTEM_ROOT", std::nullopt);
  EXPECT_EQ(SystemRoot(), "/");
  EXPECT_EQ(GetSpecialFolder(TSpecialFolder::sfProgramFiles), "/opt/");
}
#endif

TEST(ShellLanguage, LocaleNamesMapToWindowsLanguageIds) {
  struct {
    const char* Name;
    uint16_t Id;
  } cases[] = {
      {"en_US.UTF-8", 1033}, {"en_GB.UTF-8", 2057}, {"en", 1033},         {"ru_RU.UTF-8", 1049},
      {"ru", 1049},          {"de_DE@euro", 1031},  {"de_AT.UTF-8", 3079}, {"de_LU", 1031},  // unlisted region
      {"fr_FR", 1036},       {"fr_CA", 3084},       {"pt_BR.UTF-8", 1046}, {"pt_PT", 2070},
      {"pt-BR", 1046},       {"zh_TW.UTF-8", 1028}, {"zh-Hans-CN", 2052}, {"ZH_cn", 2052},
      {"es_ES", 3082},       {"uk_UA", 1058},       {"ja_JP.eucJP", 1041}, {"C", 1033},
      {"POSIX", 1033},       {"", 1033},            {"xx_YY", 1033},
  };
  for (const auto& c : cases) EXPECT_EQ(LanguageIdFromLocaleName(c.Name), c.Id) << c.Name;
}

#ifndef _WIN32
TEST(ShellLanguage, PosixReadsLcAllThenLcMessagesThenLang) {
  TEnvironmentOverride all("LC_ALL", std::nullopt), messages("LC_MESSAGES", std::nullopt), lang("LANG", std::nullopt);
  EXPECT_EQ(UserDefaultUILanguage(), 1033);
  SetEnv("LANG", "de_DE.UTF-8");
  EXPECT_EQ(UserDefaultUILanguage(), 1031);
  SetEnv("LC_MESSAGES", "ru_RU.UTF-8");
  EXPECT_EQ(UserDefaultUILanguage(), 1049);
  SetEnv("LC_ALL", "fr_FR.UTF-8");
  EXPECT_EQ(UserDefaultUILanguage(), 1036);
}
#endif

TEST(ShellFacts, UserNameAndVersions) {
  std::string user = UserName();
  EXPECT_FALSE(user.empty());
  EXPECT_EQ(user.find_first_of("/\\"), std::string::npos);
#ifdef _WIN32
  EXPECT_TRUE(IsWindowsVistaOrLater());
  // Each later version implies the earlier ones.
  EXPECT_TRUE(!IsWindows10OrLater() || IsWindows8OrLater());
  EXPECT_TRUE(!IsWindows8OrLater() || IsWindows7OrLater());
  EXPECT_TRUE(!IsWindows7OrLater() || IsWindowsVistaOrLater());
  EXPECT_TRUE(CanElevate());
  EXPECT_NE(UserDefaultUILanguage(), 0);
#else
  EXPECT_FALSE(IsWindowsVistaOrLater());
  EXPECT_FALSE(IsWindows7OrLater());
  EXPECT_FALSE(IsWindows8OrLater());
  EXPECT_FALSE(IsWindows10OrLater());
#endif
}

#ifndef _WIN32
TEST(ShellFacts, PosixCanElevateOnlyWithAnExecutablePkexecOnPath) {
  namespace fs = std::filesystem;
  TTempDir bin, other;
  TEnvironmentOverride path("PATH", other.Path() + ":" + bin.Path());
  EXPECT_FALSE(CanElevate());
  TestUtil::WriteWholeFile(bin.File("pkexec"), "#!/bin/sh\n");
  fs::permissions(bin.File("pkexec"), fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(CanElevate());  // present but not executable
  fs::permissions(bin.File("pkexec"), fs::perms::owner_all);
  EXPECT_TRUE(CanElevate());
  SetEnv("PATH", other.Path());
  EXPECT_FALSE(CanElevate());
}
#endif

TEST(ShellFacts, AdminCheckAgreesWithWhatTheProcessMayDo) {
#ifdef _WIN32
  // Only administrators may create files in the system folder.
  std::string probe = CreateTempFile(GetSpecialFolder(TSpecialFolder::sfSystem), "kvl");
  bool canWriteSystem = !probe.empty();
  if (canWriteSystem) RemoveFile(probe);
  EXPECT_EQ(IsUserAnAdmin(), canWriteSystem);
#else
  // Only root may read a file whose permissions forbid everyone.
  namespace fs = std::filesystem;
  TTempDir dir;
  TestUtil::WriteWholeFile(dir.File("locked"), "x");
  fs::permissions(dir.File("locked"), fs::perms::none);
  TPlatformFile f;
  EXPECT_EQ(IsUserAnAdmin(), f.TryOpen(dir.File("locked"), TFileOpenMode::fomRead));
  f.Close();
  fs::permissions(dir.File("locked"), fs::perms::owner_all);
#endif
}

TEST(Environment, GetSetAndScopedOverride) {
  TEnvironmentOverride a("KVL_TEST_A", "alpha");
  EXPECT_EQ(GetEnv("KVL_TEST_A"), "alpha");
  EXPECT_EQ(GetEnv("kvl_test_a"), "alpha");  // names ignore case, as on Windows
  {
    TEnvironmentOverride inner("KVL_TEST_A", "\xC3\xBC-umlaut");
    EXPECT_EQ(GetEnv("KVL_TEST_A"), "\xC3\xBC-umlaut");
    TEnvironmentOverride gone("KVL_TEST_A", std::nullopt);
    EXPECT_EQ(GetEnv("KVL_TEST_A"), std::nullopt);
  }
  EXPECT_EQ(GetEnv("KVL_TEST_A"), "alpha");  // restored in reverse order
  {
    TEnvironmentOverride fresh("KVL_TEST_FRESH", "1");
    EXPECT_EQ(GetEnv("KVL_TEST_FRESH"), "1");
  }
  EXPECT_EQ(GetEnv("KVL_TEST_FRESH"), std::nullopt);  // a variable that was unset is unset again
#ifndef _WIN32
  // POSIX can hold names that differ only in case: the exact one wins.
  TEnvironmentOverride upper("KVL_TEST_C", "upper"), lower("kvl_test_c", "lower");
  EXPECT_EQ(GetEnv("KVL_TEST_C"), "upper");
  EXPECT_EQ(GetEnv("kvl_test_c"), "lower");
#endif
}

TEST(Environment, ExpandsPercentNamesTheWindowsWay) {
  TEnvironmentOverride a("KVL_TEST_A", "alpha"), b("KVL_TEST_B", "%KVL_TEST_A%"), u("KVL_TEST_U", "\xC3\xA9t\xC3\xA9"),
      unset("KVL_TEST_UNSET", std::nullopt);
  struct {
    const char* Text;
    const char* Want;
  } cases[] = {
      {"", ""},
      {"plain text", "plain text"},
      {"%KVL_TEST_A%", "alpha"},
      {"x%kvl_test_a%y", "xalphay"},
      {"%KVL_TEST_A%%KVL_TEST_A%", "alphaalpha"},
      {"%KVL_TEST_UNSET%\\dir", "%KVL_TEST_UNSET%\\dir"},
      {"%KVL_TEST_UNSET%%KVL_TEST_A%", "%KVL_TEST_UNSET%alpha"},
      {"%KVL_TEST_B%", "%KVL_TEST_A%"},  // values are not expanded again
      {"%KVL_TEST_U%\\\xC3\xA9", "\xC3\xA9t\xC3\xA9\\\xC3\xA9"},
      {"100%", "100%"},
      {"%KVL_TEST_A", "%KVL_TEST_A"},
      {"50%%", "50%%"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExpandEnvironment(c.Text), c.Want) << c.Text;
}
