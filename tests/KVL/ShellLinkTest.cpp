// Shortcuts: written, read back, replaced, and files that are no shortcut told apart.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/ShellLink.h"
#include "TestUtil.h"

using namespace KVL::Platform;

TEST(ShellLink, RoundTripsTargetsWithBlanksAndOddCharacters) {
  TestUtil::TTempDir dir;
  ASSERT_TRUE(ForceDirectories(dir.File("bin/")));
  for (const char* name : {"plain", "with blank", "odd $`'%;&()#[]"}) {
    SCOPED_TRACE(name);
    const std::string target = dir.File(std::string("bin/") + name + ".exe");
    TestUtil::WriteWholeFile(target, "program");
    const std::string link = dir.File(std::string("links/") + name + ".lnk");
    ASSERT_TRUE(ForceDirectories(ExtractFilePath(link)));
    ASSERT_TRUE(CreateShellLink(link, target));
    EXPECT_TRUE(FileExists(ShellLinkFileName(link)));
    EXPECT_EQ(ReadShellLinkTarget(link), std::optional<std::string>(target));
  }
}

TEST(ShellLink, ReplacesAShortcutToAnotherTarget) {
  TestUtil::TTempDir dir;
  const std::string first = dir.File("first.exe"), second = dir.File("second.exe");
  TestUtil::WriteWholeFile(first, "1");
  TestUtil::WriteWholeFile(second, "2");
  const std::string link = dir.File("ONDU.lnk");
  ASSERT_TRUE(CreateShellLink(link, first));
  ASSERT_TRUE(CreateShellLink(link, second));
  EXPECT_EQ(ReadShellLinkTarget(link), std::optional<std::string>(second));
}

TEST(ShellLink, FilesThatAreNoShortcutHaveNoTarget) {
  TestUtil::TTempDir dir;
  struct Case { const char* name; const char* content; };  // null: no file
  const Case cases[] = {
      {"missing", nullptr},
      {"text", "hello\n"},
      {"empty", ""},
      {"entry without Exec", "[Desktop Entry]\nType=Application\nName=ONDU\n"},
      {"Exec in another group", "[Desktop Action Play]\nExec=/opt/ondu/ondu\n"},
      {"empty Exec", "[Desktop Entry]\nExec=\n"},
  };
  for (const Case& c : cases) {
    const std::string link = dir.File(std::string(c.name) + ".lnk");
    if (c.content) TestUtil::WriteWholeFile(ShellLinkFileName(link), c.content);
    EXPECT_EQ(ReadShellLinkTarget(link), std::nullopt) << c.name;
  }
}

TEST(ShellLink, LinkFileNames) {
  struct Case { const char* link; const char* posix; };
  const Case cases[] = {
      {"ONDU.lnk", "ONDU.desktop"},
      {"My Player.LNK", "My Player.desktop"},
      {"ONDU.lnk.txt", "ONDU.lnk.txt"},
      {"ONDU", "ONDU"},
  };
  for (const Case& c : cases) {
#ifdef _WIN32
    EXPECT_EQ(ShellLinkFileName(c.link), c.link);
#else
    EXPECT_EQ(ShellLinkFileName(std::string("/home/u/Desktop/") + c.link), std::string("/home/u/Desktop/") + c.posix);
#endif
  }
}

#ifndef _WIN32
// The launcher's text follows the Desktop Entry rules: Exec quoted, with '"', '`', '$' and '\'
// escaped inside the quotes, '%' doubled, and the backslashes escaped again as a string value.
TEST(ShellLink, DesktopEntryTextAndExecParsing) {
  TestUtil::TTempDir dir;
  const std::string link = dir.File("My Player.lnk");
  ASSERT_TRUE(CreateShellLink(link, "/opt/a b/c\"d$e`f\\g%h"));
  EXPECT_EQ(TestUtil::ReadWholeFile(dir.File("My Player.desktop")),
            "[Desktop Entry]\nType=Application\nName=My Player\nExec=\"/opt/a b/c\\\\\"d\\\\$e\\\\`f\\\\\\\\g%%h\"\n");
  EXPECT_EQ(ReadShellLinkTarget(link), std::optional<std::string>("/opt/a b/c\"d$e`f\\g%h"));
  EXPECT_EQ(std::filesystem::status(dir.File("My Player.desktop")).permissions() & std::filesystem::perms::owner_exec,
            std::filesystem::perms::owner_exec);

  // Entries written by others: arguments and field codes after the program, blanks around '='.
  struct Case { const char* text; const char* target; };
  const Case cases[] = {
      {"[Desktop Entry]\nExec=/usr/bin/ondu %F\n", "/usr/bin/ondu"},
      {"# comment\n[Desktop Entry]\nName=x\nExec = \"/opt/My Player/ondu\" --play\n", "/opt/My Player/ondu"},
      {"[Desktop Entry]\r\nExec=/opt/100%%/ondu\r\n", "/opt/100%/ondu"},
      {"[Desktop Entry]\nExec=\\s\"/opt/x y/z\"\n", "/opt/x y/z"},
  };
  for (const Case& c : cases) {
    TestUtil::WriteWholeFile(dir.File("other.desktop"), c.text);
    EXPECT_EQ(ReadShellLinkTarget(dir.File("other.lnk")), std::optional<std::string>(c.target)) << c.text;
  }
}

// The refresh runs the desktop-database tool on both applications folders when it is on
// PATH, and does nothing without it.
TEST(ShellLink, AssociationNoticeRunsTheDesktopDatabaseTool) {
  TestUtil::TTempDir dir;
  const std::string log = dir.File("tool.log");
  const std::string tool = dir.File("bin/update-desktop-database");
  ASSERT_TRUE(ForceDirectories(dir.File("bin/")));
  TestUtil::WriteWholeFile(tool, "#!/bin/sh\necho \"$@\" >> '" + log + "'\n");
  std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
  TEnvironmentOverride root("KVL_SYSTEM_ROOT", dir.File("root/"));
  TEnvironmentOverride home("HOME", dir.File("home"));
  TEnvironmentOverride data("XDG_DATA_HOME", std::nullopt);
  const std::string user = dir.File("home/.local/share/applications/");
  const std::string common = dir.File("root/usr/share/applications/");
  ASSERT_TRUE(ForceDirectories(user));
  ASSERT_TRUE(ForceDirectories(common));
  {
    TEnvironmentOverride path("PATH", dir.File("bin"));
    NotifyAssociationsChanged();
    EXPECT_EQ(TestUtil::ReadWholeFile(log), "-q " + user + "\n-q " + common + "\n");
  }
  TEnvironmentOverride path("PATH", dir.File("empty"));
  EXPECT_NO_THROW(NotifyAssociationsChanged());
}
#endif
