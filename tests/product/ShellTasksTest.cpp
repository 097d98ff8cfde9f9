// The clean-up tasks for an earlier installation's shell menu libraries, installed-program entries and shortcuts.
#include <gtest/gtest.h>

#include <optional>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Registry.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/Platform/ShellLink.h"
#include "ProductTestUtil.h"
#include "comserver/TestServer.h"
#include "setup/product/FolderRemoval.h"
#include "setup/product/ShellTasks.h"

using namespace KVL::Platform;
using namespace Setup::Product::ONDU::Actions;
using Setup::Core::TSetupApplicationRepository;
using SetupTest::TTestProductInfo;

namespace {

class ShellTasks : public ::testing::Test {
protected:
  ShellTasks() { TTestProductInfo::Reset(); }
  ~ShellTasks() override { TTestProductInfo::Reset(); }

  // Per-user folders from HOME alone (the scratch machine's), whatever the caller's session says.
  ProductTest::TScratchMachine machine_;
  TEnvironmentOverride desktopDir_{"XDG_DESKTOP_DIR", std::nullopt};
  TEnvironmentOverride dataHome_{"XDG_DATA_HOME", std::nullopt};
  TEnvironmentOverride configHome_{"XDG_CONFIG_HOME", std::nullopt};
  SetupTest::TSetupFixture fixture_{SetupTest::MinimalSetupFiles(), {}, ""};
  std::string dest_ = machine_.Root().File("Programs/ONDU/");

  static void Write(const std::string& path) {
    ASSERT_TRUE(ForceDirectories(ExtractFilePath(path)));
    TestUtil::WriteWholeFile(path, "x");
  }
};

// Every place a shortcut of that name can be, as the shell's special folders give them.
struct TShortcutPlaces {
  std::vector<std::string> Files, Folders;
};

TShortcutPlaces PlacesOf(const std::string& name) {
  TShortcutPlaces p;
  for (TSpecialFolder desk : {TSpecialFolder::sfUserDesktop, TSpecialFolder::sfCommonDesktop})
    p.Files.push_back(ShellLinkFileName(GetSpecialFolder(desk) + name + ".lnk"));
  for (TSpecialFolder menu :
       {TSpecialFolder::sfUserStartMenu, TSpecialFolder::sfCommonPrograms, TSpecialFolder::sfCommonStartMenu})
    p.Folders.push_back(GetSpecialFolder(menu) + name + kPathDelim);
  return p;
}

} // namespace

TEST_F(ShellTasks, ShortcutsOfTheProductGoAndOldNamesOnlyBelowFourHundred) {
  struct Case { int32_t installed; bool oldNamesGo; };
  const Case cases[] = {{0, true}, {3600, true}, {3999, true}, {4000, false}, {5300, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.installed);
    TTestProductInfo::InstalledVersion = c.installed;
    fixture_.Setup().SetDestPath(dest_);
    for (const char* name : {"ONDU", "ONDU3", "ONDU Tools"}) {
      TShortcutPlaces p = PlacesOf(name);
      for (const std::string& file : p.Files) Write(file);
      // The user's own files in the menu folder go with it, a sub-folder too.
      for (const std::string& folder : p.Folders) {
        Write(folder + ShellLinkFileName("ONDU.lnk"));
        Write(folder + "Notes" + kPathDelim + "mine.txt");
      }
    }

    TSetupUpdateTaskRemoveShortcuts().Execute(nullptr);

    for (const char* name : {"ONDU", "ONDU3", "ONDU Tools"}) {
      const bool gone = std::string(name) == "ONDU" || (std::string(name) == "ONDU3" && c.oldNamesGo);
      TShortcutPlaces p = PlacesOf(name);
      for (const std::string& file : p.Files) EXPECT_NE(FileExists(file), gone) << file;
      for (const std::string& folder : p.Folders) EXPECT_NE(DirectoryExists(folder), gone) << folder;
      for (const std::string& folder : p.Folders) RemoveFolderWithContents(folder);
      for (const std::string& file : p.Files) RemoveFile(file);
    }
  }
}

TEST_F(ShellTasks, InstalledProgramEntriesGoOnlyWhenTheyPointIntoTheDestination) {
  struct Case {
    const char* name;
    const char* folder;  // below the scratch root
    bool gone;
  };
  const Case cases[] = {
      {"ONDU", "Programs/ONDU/", true},
      {"ONDU3", "Programs/ONDU/Old/", true},
      {"ONDU", "Programs/ONDU2/", false},  // same start, another folder
      {"ONDU3", "Elsewhere/", false},
  };
  fixture_.Setup().SetDestPath(dest_);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " in " + c.folder);
    const std::string folder = machine_.Root().File(c.folder);
    ASSERT_TRUE(ForceDirectories(folder));
    TSetupApplicationRepository::Register(c.name, folder + "Uninstall.exe", "3.60", "ONDU Team", "");

    TSetupUpdateTaskRemoveUninstallInfo().Execute(nullptr);

    std::string found;
    EXPECT_NE(TSetupApplicationRepository::GetInstallPath(c.name, found), c.gone);
    TSetupApplicationRepository::Unregister(c.name);
  }
}

TEST_F(ShellTasks, ShellMenuLibrariesAreUnregisteredThenDeleted) {
  struct Case {
    const char* name;
    std::optional<bool> menu32, menu64;  // nothing: no file; true: the server; false: no export
    const char* calls;
  };
  const Case cases[] = {
      {"both servers", true, true, "DllUnregisterServer\nDllUnregisterServer\n"},
      {"one without the export", false, true, "DllUnregisterServer\n"},
      {"only the 32-bit name", true, std::nullopt, "DllUnregisterServer\n"},
      {"none there", std::nullopt, std::nullopt, ""},
  };
  fixture_.Setup().SetDestPath(dest_);
  const std::string system = dest_ + "System" + kPathDelim;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TestServer::TMarker marker;
    ASSERT_TRUE(ForceDirectories(system));
    for (const auto& [library, name] : {std::pair{c.menu32, "ondu_menu32.dll"}, std::pair{c.menu64, "ondu_menu64.dll"}}) {
      if (library) {
        ASSERT_TRUE(CopyFileReplacing(TestServer::LibraryPath(*library), system + name));
      }
    }
    TestUtil::WriteWholeFile(system + "ondu_other.dll", "kept");

    TSetupUpdateTaskRemoveShellMenu().Execute(nullptr);

    EXPECT_EQ(marker.Calls(), c.calls);
    EXPECT_FALSE(FileExists(system + "ondu_menu32.dll"));
    EXPECT_FALSE(FileExists(system + "ondu_menu64.dll"));
    EXPECT_TRUE(FileExists(system + "ondu_other.dll"));
  }
}
