// ondu-pack through its code: create, list, extract, verify and its refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Streams.h"
#include "TestUtil.h"
#include "setup/core/package/Package.h"
#include "tools/pack/PackTool.h"

using namespace Setup::Core::Package;
using PackTool::RunPackTool;

namespace {

TestUtil::TToolRun RunTool(const std::vector<std::string>& args) {
  return TestUtil::RunToolCapturing(RunPackTool, args);
}

bool FolderIsEmptyOrMissing(const std::string& path) {
  std::error_code ec;
  return !std::filesystem::exists(std::filesystem::u8path(path), ec) ||
         std::filesystem::is_empty(std::filesystem::u8path(path), ec);
}

} // namespace

TEST(PackTool, CreateListExtractVerify) {
  TestUtil::TTempDir dir;
  ASSERT_TRUE(KVL::Platform::ForceDirectories(dir.File("src/Skins/Dark")));
  TestUtil::WriteWholeFile(dir.File("src/ONDU.exe"), std::string(5000, 'x'));
  TestUtil::WriteWholeFile(dir.File("src/Skins/Dark/skin.ini"), "[Skin]\r\n");
  TestUtil::WriteWholeFile(dir.File("src/Skins/empty.txt"), "");
  TestUtil::WriteWholeFile(dir.File("Install.xml"), "<setup/>");
  const std::string pkg = dir.File("out.ipk");

  TestUtil::TToolRun r = RunTool({"create", pkg, dir.File("src"), dir.File("Install.xml"), "--level", "0"});
  ASSERT_EQ(r.code, 0) << r.err;

  // Names relative to the folder with '\' between folders, sorted; size and offset follow.
  r = RunTool({"list", pkg});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "Install.xml\t8\t0\n"
            "ONDU.exe\t5000\t8\n"
            "Skins\\Dark\\skin.ini\t8\t5008\n"
            "Skins\\empty.txt\t0\t5016\n");

  r = RunTool({"extract", pkg, dir.File("all")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(TestUtil::ReadWholeFile(dir.File("all/ONDU.exe")), std::string(5000, 'x'));
  EXPECT_EQ(TestUtil::ReadWholeFile(dir.File("all/Skins/Dark/skin.ini")), "[Skin]\r\n");
  EXPECT_TRUE(KVL::Platform::FileExists(dir.File("all/Skins/empty.txt")));
  EXPECT_EQ(TestUtil::ReadWholeFile(dir.File("all/Install.xml")), "<setup/>");

  // One entry, looked up like the installer does (case ignored).
  r = RunTool({"extract", pkg, dir.File("one"), "skins\\dark\\SKIN.INI"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(TestUtil::ReadWholeFile(dir.File("one/Skins/Dark/skin.ini")), "[Skin]\r\n");
  EXPECT_FALSE(KVL::Platform::FileExists(dir.File("one/ONDU.exe")));
  r = RunTool({"extract", pkg, dir.File("none"), "missing.txt"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Entry not found: missing.txt"), std::string::npos);

  r = RunTool({"verify", pkg});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "OK\n");
}

TEST(PackTool, DamagedPackageFailsWithTheReadersMessage) {
  TestUtil::TTempDir dir;
  TestUtil::WriteWholeFile(dir.File("a.txt"), std::string(3000, 'a'));
  const std::string pkg = dir.File("p.ipk");
  ASSERT_EQ(RunTool({"create", pkg, dir.File("a.txt")}).code, 0);
  std::string bytes = TestUtil::ReadWholeFile(pkg);
  bytes[bytes.size() / 2] ^= 0x10;
  TestUtil::WriteWholeFile(pkg, bytes);
  for (const char* command : {"verify", "list"}) {
    TestUtil::TToolRun r = RunTool({command, pkg});
    EXPECT_EQ(r.code, 1) << command;
    EXPECT_EQ(r.err, "ondu-pack: Package was corrupted\n") << command;
  }
  TestUtil::TToolRun r = RunTool({"extract", pkg, dir.File("x")});
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(FolderIsEmptyOrMissing(dir.File("x")));
}

TEST(PackTool, ExtractRefusesUnsafeNamesBeforeWritingAnything) {
  const char* const unsafe[] = {"..\\evil.dll", "a/../../evil", "/etc/evil", "\\evil", "C:\\evil", "C:evil",
                                "a\\\\b",       "dir\\",        "",          "CON",    "nul.txt",  "a\\.\\b",
                                "ok\\lpt1",     "tab\there"};
  for (const char* name : unsafe) {
    EXPECT_FALSE(PackTool::IsSafeEntryName(name)) << name;
    TestUtil::TTempDir dir;
    {
      TSetupPackageBuilder b(kSetupPackageKey);
      KVL::Streams::TKVLReadOnlyMemoryStream good("fine", 4), bad("evil", 4);
      b.Add(good, "good.txt");  // comes first, yet must not be written either
      b.Add(bad, name);
      b.Commit(dir.File("p.ipk"), 0);
    }
    TestUtil::TToolRun r = RunTool({"extract", dir.File("p.ipk"), dir.File("out/inner")});
    EXPECT_EQ(r.code, 1) << name;
    EXPECT_EQ(r.err, "ondu-pack: Unsafe entry name: " + std::string(name) + "\n");
    EXPECT_TRUE(FolderIsEmptyOrMissing(dir.File("out"))) << name;
  }
  for (const char* name : {"a", "dir\\sub/file.txt", "..a", "a..", "CONSOLE.txt", "com10"})
    EXPECT_TRUE(PackTool::IsSafeEntryName(name)) << name;
}

TEST(PackTool, ExtractAllWritesTheFirstOfSameNamedEntries) {
  TestUtil::TTempDir dir;
  {
    TSetupPackageBuilder b(kSetupPackageKey);
    KVL::Streams::TKVLReadOnlyMemoryStream first("first", 5), second("second", 6);
    b.Add(first, "Same.txt");
    b.Add(second, "SAME.TXT");
    b.Commit(dir.File("p.ipk"), 0);
  }
  TestUtil::TToolRun r = RunTool({"extract", dir.File("p.ipk"), dir.File("out")});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(TestUtil::ReadWholeFile(dir.File("out/Same.txt")), "first");
  EXPECT_FALSE(KVL::Platform::FileExists(dir.File("out/SAME.TXT")) &&
               TestUtil::ReadWholeFile(dir.File("out/SAME.TXT")) == "second");
}

TEST(PackTool, CreateRefusals) {
  TestUtil::TTempDir dir;
  ASSERT_TRUE(KVL::Platform::ForceDirectories(dir.File("a")));
  ASSERT_TRUE(KVL::Platform::ForceDirectories(dir.File("b")));
  TestUtil::WriteWholeFile(dir.File("a/Readme.txt"), "1");
  TestUtil::WriteWholeFile(dir.File("b/README.TXT"), "2");
  const std::string pkg = dir.File("p.ipk");

  TestUtil::TToolRun r = RunTool({"create", pkg, dir.File("a"), dir.File("b/README.TXT")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Duplicate entry name: "), std::string::npos) << r.err;
  r = RunTool({"create", pkg, dir.File("missing")});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Not found: "), std::string::npos) << r.err;
  EXPECT_FALSE(KVL::Platform::FileExists(pkg));

  struct {
    std::vector<std::string> args;
  } usage[] = {{{}}, {{"pack"}}, {{"create", pkg}}, {{"create", pkg, dir.File("a"), "--level", "10"}},
               {{"create", pkg, dir.File("a"), "--level"}}, {{"list"}}, {{"extract", pkg}}, {{"verify", pkg, "x"}}};
  for (const auto& u : usage) {
    r = RunTool(u.args);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.rfind("usage: ondu-pack", 0), 0u);
  }
}
