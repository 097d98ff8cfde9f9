// Shell integration: the companion program's switches, the shortcuts the user chose, the summaries and the list conditions.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/Platform/ShellLink.h"
#include "ProductTestUtil.h"
#include "setup/core/Resources.h"
#include "setup/core/SummaryBuilder.h"
#include "setup/product/FolderRemoval.h"
#include "setup/product/IntegrationActions.h"

using namespace KVL::Platform;
using namespace Setup::Product::ONDU::Actions;
using Setup::Core::sfPortable;
using Setup::Core::sfUpdate;

namespace {

// The sample product's shortcuts and a few that must never be created.
const char* const kShortcuts =
    "<Shortcuts>"
    "<File name=\"$DESKTOP\\ONDU.lnk\">$DEST\\ONDU.exe</File>"
    "<File name=\"$STARTMENU\\ONDU\\ONDU.lnk\">$DEST\\ONDU.exe</File>"
    "<File name=\"$STARTMENU\\ONDU\\Uninstall ONDU.lnk\">$DEST\\Uninstall.exe</File>"
    "<File name=\"$STARTMENU\\ONDU\\Readme.lnk\">$DEST\\Readme.txt</File>"      // not a program
    "<File name=\"$STARTMENU\\ONDU\\Missing.lnk\">$DEST\\Missing.exe</File>"    // target never installed
    "<File name=\"$DESKTOP\\Home page.lnk\">https://ondu.example/</File>"      // no file at all
    "<File name=\"$DEST\\Local.lnk\">$DEST\\ONDU.exe</File>"                   // below neither root
    "</Shortcuts>";

SetupTest::TFiles SetupFilesWithShortcuts() {
  SetupTest::TFiles files = SetupTest::MinimalSetupFiles();
  for (auto& [name, bytes] : files) {
    if (name == "Install.xml") bytes.replace(bytes.find("</product>"), 0, kShortcuts);
    if (name == "English.lng") bytes += "A2=Creating shortcuts...\r\n";  // [Common] is its last section
  }
  return files;
}

class IntegrationActions : public ::testing::Test {
protected:
  IntegrationActions() {
    ForceDirectories(dest_);
    for (const char* file : {"ONDU.exe", "Uninstall.exe", "Readme.txt", "Old.exe"})
      TestUtil::WriteWholeFile(dest_ + file, "x");
  }
  ~IntegrationActions() override {
    RemoveLinks();
    SetupTest::TTestProductInfo::Reset();
  }

  std::unique_ptr<SetupTest::TSetupFixture> MakeSetup(const std::string& params) {
    auto f = std::make_unique<SetupTest::TSetupFixture>(SetupFilesWithShortcuts(), SetupTest::TFiles{}, params,
                                                        ProductTest::OnduClass());
    f->Setup().SetDestPath(dest_);
    f->Setup().Resources().LoadLanguage("English.lng");
    f->Setup().AddListener(&listener_);
    return f;
  }
  static void SetOptions(Setup::Core::TSetup& setup, const std::vector<std::pair<const char*, const char*>>& options) {
    for (const auto& [key, value] : options) setup.Settings().WriteString("Integration", key, value);
  }

  // The shortcut paths as the script writes them (".lnk"), expanded for this run.
  std::string Desktop(const std::string& name) const { return GetSpecialFolder(TSpecialFolder::sfCommonDesktop) + name; }
  std::string Menu(const std::string& name) const {
    return GetSpecialFolder(TSpecialFolder::sfCommonPrograms) + "ONDU" + kPathDelim + name;
  }
  void RemoveLinks() const {
    RemoveFolderWithContents(GetSpecialFolder(TSpecialFolder::sfCommonPrograms) + "ONDU" + kPathDelim);
    for (const char* name : {"ONDU.lnk", "Home page.lnk"}) RemoveFile(ShellLinkFileName(Desktop(name)));
    RemoveFile(ShellLinkFileName(dest_ + "Local.lnk"));
  }

  ProductTest::TScratchMachine machine_;
  const std::string dest_ = machine_.Root().File("Apps/My Player/");
  ProductTest::TRecordingListener listener_;
};

} // namespace

TEST(IntegrationSwitches, FollowTheOptionsInTheirOrder) {
  struct Case {
    bool integrate, menu, associate, windows8, unattended;
    const char* expected;
  };
  const Case cases[] = {
      {true, true, true, true, false, " /REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2 /REG_UI"},
      {true, true, true, true, true, " /REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2"},
      {true, true, true, false, false, " /REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2"},
      {false, false, true, true, true, " /REG=R2"},
      {false, false, true, true, false, " /REG=R2 /REG_UI"},
      {true, false, false, true, false, " /REG=L1 /REG=D1 /REG=R1"},
      {false, true, false, true, false, " /REG=M1"},
      {false, false, false, true, false, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(IntegrationSwitches(c.integrate, c.menu, c.associate, c.windows8, c.unattended), c.expected)
        << c.integrate << c.menu << c.associate << c.windows8 << c.unattended;
}

TEST_F(IntegrationActions, ElevatorRunsWithTheChosenSwitchesFromAFolderWithBlanks) {
  const std::string ui = IsWindows8OrLater() ? " /REG_UI" : "";
  struct Case {
    const char* name;
    const char* params;
    std::vector<std::pair<const char*, const char*>> options;
    std::string log;  // what the stand-in recorded; empty: not started
  };
  const Case cases[] = {
      {"defaults", "", {}, "/REG=L1 /REG=D1 /REG=R1 /REG=M1 /REG=R2" + ui + "\n"},
      {"only associations, unattended", "/AUTO",
       {{"IntegrateToWindows", "0"}, {"RegisterContextMenu", "0"}, {"AssociateWithFiles", "1"}}, "/REG=R2\n"},
      {"all off", "", {{"IntegrateToWindows", "0"}, {"RegisterContextMenu", "0"}, {"AssociateWithFiles", "0"}}, ""},
  };
  TestUtil::CopyChildProgram(dest_ + "Elevator.exe");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RemoveFile(dest_ + "Elevator.log");
    auto f = MakeSetup(c.params);
    SetOptions(f->Setup(), c.options);
    TSetupActionIntegrate action;
    action.Run();
    EXPECT_EQ(FileExists(dest_ + "Elevator.log") ? TestUtil::ReadWholeFile(dest_ + "Elevator.log") : "", c.log);
    EXPECT_TRUE(listener_.Texts.empty());
  }
  // Without the program nothing is started and nothing reported.
  RemoveFile(dest_ + "Elevator.exe");
  RemoveFile(dest_ + "Elevator.log");
  auto f = MakeSetup("");
  TSetupActionIntegrate action;
  EXPECT_NO_THROW(action.Run());
  EXPECT_FALSE(FileExists(dest_ + "Elevator.log"));
}

TEST_F(IntegrationActions, ShortcutsFollowTheChosenRoots) {
  // Documents get shortcuts only before Windows 8; programs always.
  const bool documents = !IsWindows8OrLater();
  struct Case {
    const char* name;
    const char* params;
    bool portable;
    std::vector<std::pair<const char*, const char*>> options;
    bool desktop, menu;
  };
  const Case cases[] = {
      {"defaults", "", false, {}, true, true},
      {"desktop off", "", false, {{"ShortcutDesktop", "0"}}, false, true},
      {"menu off", "", false, {{"ShortcutStartMenu", "0"}}, true, false},
      {"portable defaults", "", true, {}, false, false},
      {"portable, asked for the desktop", "", true, {{"ShortcutDesktop", "1"}}, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto f = MakeSetup(c.params);
    f->Setup().SetFlag(sfPortable, c.portable);
    SetOptions(f->Setup(), c.options);
    listener_.Texts.clear();
    TSetupActionShortcuts action;
    action.Run();

    auto target = [](const std::string& link) { return ReadShellLinkTarget(link); };
    auto expect = [&](bool made, const std::string& to) {
      return made ? std::optional<std::string>(dest_ + to) : std::nullopt;
    };
    EXPECT_EQ(target(Desktop("ONDU.lnk")), expect(c.desktop, "ONDU.exe"));
    EXPECT_EQ(target(Menu("ONDU.lnk")), expect(c.menu, "ONDU.exe"));
    EXPECT_EQ(target(Menu("Uninstall ONDU.lnk")), expect(c.menu, "Uninstall.exe"));
    EXPECT_EQ(target(Menu("Readme.lnk")), expect(c.menu && documents, "Readme.txt"));
    EXPECT_FALSE(FileExists(ShellLinkFileName(Menu("Missing.lnk"))));
    EXPECT_FALSE(FileExists(ShellLinkFileName(Desktop("Home page.lnk"))));
    EXPECT_FALSE(FileExists(ShellLinkFileName(dest_ + "Local.lnk")));
    EXPECT_EQ(listener_.Texts, std::vector<std::string>{"Creating shortcuts..."});
    EXPECT_EQ(action.Progress(), 100);
    RemoveLinks();
  }
}

TEST_F(IntegrationActions, AShortcutToTheSameTargetIsLeftAlone) {
  auto f = MakeSetup("");
  ASSERT_TRUE(ForceDirectories(ExtractFilePath(Menu(""))));
  ASSERT_TRUE(ForceDirectories(ExtractFilePath(Desktop(""))));
  // Same target: kept with its old time stamp. Another target, or no shortcut at all: replaced.
  ASSERT_TRUE(CreateShellLink(Desktop("ONDU.lnk"), dest_ + "ONDU.exe"));
  const int64_t old = 130000000000000000;  // 2012
  ASSERT_TRUE(SetLastWriteTime(ShellLinkFileName(Desktop("ONDU.lnk")), old));
  ASSERT_TRUE(CreateShellLink(Menu("ONDU.lnk"), dest_ + "Old.exe"));
  ASSERT_TRUE(SetLastWriteTime(ShellLinkFileName(Menu("ONDU.lnk")), old));
  TestUtil::WriteWholeFile(ShellLinkFileName(Menu("Uninstall ONDU.lnk")), "not a shortcut");

  TSetupActionShortcuts().Run();

  EXPECT_EQ(QueryFileInfo(ShellLinkFileName(Desktop("ONDU.lnk")))->LastWriteTime, old);
  EXPECT_EQ(ReadShellLinkTarget(Desktop("ONDU.lnk")), std::optional<std::string>(dest_ + "ONDU.exe"));
  EXPECT_NE(QueryFileInfo(ShellLinkFileName(Menu("ONDU.lnk")))->LastWriteTime, old);
  EXPECT_EQ(ReadShellLinkTarget(Menu("ONDU.lnk")), std::optional<std::string>(dest_ + "ONDU.exe"));
  EXPECT_EQ(ReadShellLinkTarget(Menu("Uninstall ONDU.lnk")), std::optional<std::string>(dest_ + "Uninstall.exe"));
}

TEST_F(IntegrationActions, SummariesNameTheChosenOptions) {
  struct Case {
    const char* name;
    bool portable;
    std::vector<std::pair<const char*, const char*>> options;
    const char* integrate;
    const char* shortcuts;
  };
  const Case cases[] = {
      {"defaults", false, {}, "LB2\r\nCB4\r\nCB5\r\nCB3\r\n", "LB1\r\nCB1\r\nCB2\r\n"},
      {"some off", false, {{"IntegrateToWindows", "0"}, {"AssociateWithFiles", "0"}, {"ShortcutStartMenu", "0"}},
       "LB2\r\nCB5\r\n", "LB1\r\nCB1\r\n"},
      {"all off", false,
       {{"IntegrateToWindows", "0"}, {"RegisterContextMenu", "0"}, {"AssociateWithFiles", "0"},
        {"ShortcutDesktop", "0"}, {"ShortcutStartMenu", "0"}},
       "", ""},
      {"portable defaults", true, {}, "LB2\r\nCB4\r\nCB5\r\nCB3\r\n", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto f = MakeSetup("");
    f->Setup().SetFlag(sfPortable, c.portable);
    SetOptions(f->Setup(), c.options);
    auto lookup = [](std::string_view section, std::string_view key) {
      EXPECT_EQ(section, "PageIntegration");
      return std::string(key);
    };
    Setup::Core::TSetupSummaryBuilder integrate(lookup), shortcuts(lookup);
    TSetupActionIntegrate().BuildSummary(integrate);
    TSetupActionShortcuts().BuildSummary(shortcuts);
    EXPECT_EQ(integrate.ToString(), c.integrate);
    EXPECT_EQ(shortcuts.ToString(), c.shortcuts);
  }
}

TEST_F(IntegrationActions, ListedUnlessUpdatingAndIntegrationNotForPortableCopies) {
  struct Case {
    bool update, portable;
    bool integrate, shortcuts;
  };
  const Case cases[] = {
      {false, false, true, true}, {true, false, false, false}, {false, true, false, true}, {true, true, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.update ? "update" : "fresh") + (c.portable ? ", portable" : ""));
    // A product that answers "updatable" holds the flags; the player's list is asked of its own class.
    SetupTest::TTestProductInfo::InstalledVersion = 5300;
    SetupTest::TSetupFixture f(SetupFilesWithShortcuts(), {}, "");
    f.Setup().SetDestPath(dest_);
    f.Setup().SetFlag(sfUpdate, c.update);
    f.Setup().SetFlag(sfPortable, c.portable);
    SetupTest::TTestProductInfo::Reset();
    ASSERT_EQ(f.Setup().HasFlag(sfUpdate), c.update);
    ASSERT_EQ(f.Setup().HasFlag(sfPortable), c.portable);
    std::vector<std::string> names;
    Setup::Product::ONDU::TProductInfoONDU().PopulateActions(
        [&](const Setup::Core::TSetupActionClass& cls) { names.push_back(cls.Name); });
    auto has = [&](const char* name) { return std::find(names.begin(), names.end(), name) != names.end(); };
    EXPECT_EQ(has("TSetupActionIntegrate"), c.integrate);
    EXPECT_EQ(has("TSetupActionShortcuts"), c.shortcuts);
    EXPECT_EQ(has("TSetupActionUpdateShellCache"), IsWindows10OrLater());
    if (IsWindows10OrLater()) {
      EXPECT_EQ(names.back(), "TSetupActionUpdateShellCache");
    }
  }
}

TEST_F(IntegrationActions, ShellCacheRefreshWaitsASecond) {
  auto f = MakeSetup("");
  TEnvironmentOverride path("PATH", machine_.Root().File("no-tools"));  // no desktop-database tool to run
  const auto start = std::chrono::steady_clock::now();
  TSetupActionUpdateShellCache().Run();
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}
