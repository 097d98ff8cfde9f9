// The program folder's ONDU.ini: integration choices copied, System rewritten as the last section.
#include <gtest/gtest.h>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/Platform/File.h"
#include "ProductTestUtil.h"
#include "setup/core/Resources.h"
#include "setup/product/ConfigAction.h"

using namespace KVL::Platform;
using KVL::Classes::TKVLStringList;
using KVL::FileFormats::INI::TKVLIniFile;
using Setup::Product::ONDU::Actions::TSetupActionConfig;

namespace {

class ConfigAction : public ::testing::Test {
protected:
  ProductTest::TScratchMachine machine_;
  const TestUtil::TTempDir& root_ = machine_.Root();

  std::unique_ptr<SetupTest::TSetupFixture> MakeSetup(const std::string& dest, const std::string& params) {
    auto f = std::make_unique<SetupTest::TSetupFixture>(SetupTest::MinimalSetupFiles(), SetupTest::TFiles{}, params,
                                                        ProductTest::OnduClass());
    f->Setup().SetDestPath(dest);
    f->Setup().Resources().LoadLanguage("English.lng");
    return f;
  }
};

} // namespace

TEST_F(ConfigAction, SystemSectionIsRewrittenLastWithExactlyThreeKeys) {
  struct Case {
    const char* name;
    const char* before;  // null: no file
    bool portable;
    const char* userMode;
    std::vector<std::string> otherSections;  // in order, before System
  };
  const Case cases[] = {
      {"fresh", nullptr, false, "1", {"Integration"}},
      {"earlier version",
       "[System]\r\nVersion=5300\r\nUserMode=1\r\nSkin=Dark\r\n[Integration]\r\nAssociateWithFiles=0\r\nOld=1\r\n"
       "[Player]\r\nVolume=80\r\n",
       false, "1", {"Integration", "Player"}},
      {"portable", nullptr, true, "0", {"Integration"}},
      // Bytes that are no text: whatever they decode to, the known sections come out right.
      {"corrupt", "\xff\xfe[\xd8Sys\x01tem]\r\n=\r\n[[[\x01\x02", false, "1", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string dest = root_.File(std::string(c.name) + "/");
    ASSERT_TRUE(ForceDirectories(dest));
    if (c.before) TestUtil::WriteWholeFile(dest + "ONDU.ini", c.before);
    auto f = MakeSetup(dest, "");
    f->Setup().SetFlag(Setup::Core::sfPortable, c.portable);
    f->Setup().Settings().WriteSectionText("Integration", "AssociateWithFiles=1\r\nShortcutDesktop=0");

    TSetupActionConfig action;
    action.Run();

    TKVLIniFile ini(dest + "ONDU.ini");
    ASSERT_GE(ini.SectionCount(), 2);
    EXPECT_EQ(ini.SectionName(ini.SectionCount() - 1), "System");
    TKVLStringList keys;
    ini.ReadKeys("System", keys);
    ASSERT_EQ(keys.Count(), 3);
    EXPECT_EQ(keys.Strings(0), "UserMode");
    EXPECT_EQ(keys.Strings(1), "DefaultLang");
    EXPECT_EQ(keys.Strings(2), "Version");
    EXPECT_EQ(ini.ReadString("System", "UserMode"), c.userMode);
    EXPECT_EQ(ini.ReadString("System", "DefaultLang"), "English.lng");
    EXPECT_EQ(ini.ReadString("System", "Version"), "5390");
    // The integration choices are those of this run, and nothing else of the old section.
    EXPECT_EQ(ini.ReadString("Integration", "AssociateWithFiles"), "1");
    EXPECT_EQ(ini.ReadString("Integration", "ShortcutDesktop"), "0");
    EXPECT_FALSE(ini.ValueExists("Integration", "Old"));
    if (!c.otherSections.empty()) {
      std::vector<std::string> sections;
      for (int i = 0; i + 1 < ini.SectionCount(); ++i) sections.push_back(ini.SectionName(i));
      EXPECT_EQ(sections, c.otherSections);
    }
    if (std::string(c.name) == "earlier version") {
      EXPECT_EQ(ini.ReadString("Player", "Volume"), "80");
    }
  }
}

TEST_F(ConfigAction, UnwritableFileIsLeftWithoutAnError) {
  const std::string dest = root_.File("blocked/");
  // A folder where the file should be: it can be neither read nor replaced.
  ASSERT_TRUE(ForceDirectories(dest + "ONDU.ini" + kPathDelim));
  auto f = MakeSetup(dest, "");
  TSetupActionConfig action;
  EXPECT_NO_THROW(action.Run());
  EXPECT_TRUE(DirectoryExists(dest + "ONDU.ini"));
  EXPECT_EQ(action.Progress(), 100);
}
