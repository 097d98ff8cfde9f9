// The ONDU product information: the installation in the destination, earlier installations, the action lists.
#include <gtest/gtest.h>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"
#include "ProductTestUtil.h"
#include "setup/core/Resources.h"

using namespace KVL::Platform;
using Setup::Core::TSetupActionClass;
using Setup::Core::TSetupApplicationRepository;
using Setup::Product::ONDU::TProductInfoONDU;

namespace {

class ProductInfoONDU : public ::testing::Test {
protected:
  ProductTest::TScratchMachine machine_;
  const TestUtil::TTempDir& root_ = machine_.Root();

  std::unique_ptr<SetupTest::TSetupFixture> MakeSetup(const std::string& params = "",
                                                      const SetupTest::TFiles& setupFiles = SetupTest::MinimalSetupFiles(),
                                                      const SetupTest::TFiles& productFiles = {}) {
    return std::make_unique<SetupTest::TSetupFixture>(setupFiles, productFiles, params, ProductTest::OnduClass());
  }
  static TProductInfoONDU& Info(SetupTest::TSetupFixture& f) {
    return dynamic_cast<TProductInfoONDU&>(f.Setup().ProductInfo());
  }
  std::string MakeFolder(const std::string& name) {
    std::string folder = root_.File(name + "/");
    EXPECT_TRUE(ForceDirectories(folder));
    return folder;
  }
};

} // namespace

TEST_F(ProductInfoONDU, RegisterProductMakesTheSetupObjectCreateIt) {
  Setup::Core::TSetupProductInfoClass saved = Setup::Core::SetupProductInfoClass;
  Setup::Product::ONDU::RegisterProduct();
  ASSERT_TRUE(Setup::Core::SetupProductInfoClass);
  std::unique_ptr<Setup::Core::TSetupProductInfo> info = Setup::Core::SetupProductInfoClass();
  Setup::Core::SetupProductInfoClass = saved;
  EXPECT_NE(dynamic_cast<TProductInfoONDU*>(info.get()), nullptr);
}

TEST_F(ProductInfoONDU, LoadInstallationDescribesTheDestinationsConfiguration) {
  struct Case {
    const char* folder;
    const char* onduIni;   // null: no such file
    const char* ondu3Ini;
    int32_t version;
    bool portable, canUpdate;
    const char* assoc;     // Integration/Assoc afterwards; null: the section is empty
  };
  const Case cases[] = {
      {"none", nullptr, nullptr, 0, false, false, nullptr},
      {"both", "[System]\r\nVersion=5300\r\nUserMode=1\r\n[Integration]\r\nAssoc=1\r\n",
       "[System]\r\nVersion=3600\r\nUserMode=0\r\n[Integration]\r\nAssoc=0\r\n", 5300, false, true, "1"},
      {"old", nullptr, "[System]\r\nVersion=3600\r\nUserMode=0\r\n[Integration]\r\nAssoc=0\r\n", 3600, true, true, "0"},
      {"v3499", "[System]\r\nVersion=3499\r\n", nullptr, 3499, false, false, nullptr},
      {"v3500", "[System]\r\nVersion=3500\r\nUserMode=0\r\n", nullptr, 3500, true, true, nullptr},
      {"v5399", "[System]\r\nVersion=5399\r\nUserMode=1\r\n", nullptr, 5399, false, true, nullptr},
      {"v5400", "[System]\r\nVersion=5400\r\n[Integration]\r\nAssoc=1\r\n", nullptr, 5400, false, false, "1"},
      {"noversion", "[System]\r\nUserMode=0\r\n", nullptr, 0, true, false, nullptr},
  };
  auto f = MakeSetup();
  TProductInfoONDU& info = Info(*f);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    std::string folder = MakeFolder(c.folder);
    if (c.onduIni) TestUtil::WriteWholeFile(folder + "ONDU.ini", c.onduIni);
    if (c.ondu3Ini) TestUtil::WriteWholeFile(folder + "ONDU3.ini", c.ondu3Ini);
    // Choices of the previous destination must not survive the change.
    f->Setup().Settings().WriteSectionText("Integration", "Stale=1");
    f->Setup().SetDestPath(folder);
    EXPECT_EQ(info.GetInstalledVersion(), c.version);
    EXPECT_EQ(info.IsPortable(), c.portable);
    EXPECT_EQ(info.CanUpdate(), c.canUpdate);
    const auto& settings = f->Setup().Settings();
    if (c.assoc) {
      EXPECT_EQ(settings.ReadString("Integration", "Assoc"), c.assoc);
      EXPECT_FALSE(settings.ValueExists("Integration", "Stale"));
    } else {
      EXPECT_EQ(settings.ReadSectionText("Integration"), "");
    }
  }
}

TEST_F(ProductInfoONDU, FindInstallationAsksTheRegistryForONDUThenONDU3) {
  std::string folder;
  EXPECT_FALSE(TProductInfoONDU::FindInstallation(folder));

  const std::string old = MakeFolder("Old Player"), current = MakeFolder("Player");
  TSetupApplicationRepository::Register("ONDU3", old + "Uninstall.exe", "3.60", "", "");
  ASSERT_TRUE(TProductInfoONDU::FindInstallation(folder));
  EXPECT_EQ(folder, old);

  TSetupApplicationRepository::Register("ONDU", current + "Uninstall.exe", "5.30", "", "");
  ASSERT_TRUE(TProductInfoONDU::FindInstallation(folder));
  EXPECT_EQ(folder, current);

  // An entry whose folder is gone falls through to the next name.
  ASSERT_TRUE(RemoveEmptyDirectory(current));
  ASSERT_TRUE(TProductInfoONDU::FindInstallation(folder));
  EXPECT_EQ(folder, old);
}

TEST_F(ProductInfoONDU, DefaultDestinationIsTheFoundInstallationElseProgramFiles) {
  {
    auto f = MakeSetup();
    EXPECT_EQ(f->Setup().DestPath(), f->Setup().Resources().ProgramFilesFolder() + "ONDU" + kPathDelim);
  }
  const std::string found = MakeFolder("Apps/ONDU");
  TestUtil::WriteWholeFile(found + "ONDU.ini", "[System]\r\nVersion=5300\r\n");
  TSetupApplicationRepository::Register("ONDU", found + "Uninstall.exe", "5.30", "", "");
  auto f = MakeSetup();
  EXPECT_EQ(f->Setup().DestPath(), found);
  EXPECT_EQ(Info(*f).GetInstalledVersion(), 5300);
}

TEST_F(ProductInfoONDU, FindInstallationFollowsARunningPlayerWindow) {
  const std::string folder = MakeFolder("Running");
  TestUtil::CopyChildProgram(folder + "ONDU.exe");
  std::optional<TProcess> player = ProductTest::StartWindow({"--window", "TONDUMainForm"}, "TONDUMainForm", 1,
                                                            folder + "ONDU.exe");
  if (!player) GTEST_SKIP() << "this system cannot create top-level windows";
  std::string found;
  EXPECT_TRUE(TProductInfoONDU::FindInstallation(found));
  EXPECT_TRUE(KVL::SysUtils::SameText(GetLongPath(found), GetLongPath(folder))) << found;
  for (intptr_t w : FindTopLevelWindows("TONDUMainForm")) SendCloseRequest(w);
  EXPECT_TRUE(player->WaitForExit(10000));
}

TEST_F(ProductInfoONDU, PopulateActionsListsTheActionsOfTheMode) {
  // The shell-cache refresh closes the list where the system asks for it.
  auto WithShellCache = [](std::vector<std::string> names) {
    if (KVL::Platform::IsWindows10OrLater()) names.push_back("TSetupActionUpdateShellCache");
    return names;
  };
  struct Case {
    const char* name;
    SetupTest::TFiles product;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"install",
       {},
       WithShellCache({"TSetupActionCloseApplications", "TSetupActionPrepare", "TSetupActionExtract",
                       "TSetupActionConfig", "TSetupActionIntegrate", "TSetupActionShortcuts"})},
      {"uninstall",
       ProductTest::UninstallData("[Uninstall]\r\nCount=0\r\n"),
       {"TSetupActionCloseApplications", "TSetupActionUninstallIntegration", "TSetupActionUninstallFiles"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto f = MakeSetup("", SetupTest::MinimalSetupFiles(), c.product);
    std::vector<std::string> names;
    Info(*f).PopulateActions([&](const TSetupActionClass& cls) {
      names.push_back(cls.Name);
      EXPECT_NE(cls.Create(), nullptr);
    });
    EXPECT_EQ(names, c.expected);
  }
}

TEST_F(ProductInfoONDU, AddonsAreOfferedOnlyInAnInteractiveRussianRun) {
  struct Case {
    const char* language;
    const char* params;
    bool expected;
  };
  const Case cases[] = {
      {"russian.lng", "", true},
      {"RUSSIAN.lng", "", true},
      {"Russian.lng", "/AUTO", false},
      {"Russian.lng", "/AUTO /SILENT", false},
      {"English.lng", "", false},
      {"Russian2.lng", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.language) + " " + c.params);
    SetupTest::TFiles files = SetupTest::MinimalSetupFiles();
    if (std::string(c.language) != "English.lng")
      files.push_back({c.language, "[File]\r\nName=Russkiy\r\nLangId=1049\r\n[Common]\r\nA8=Zakrytie\r\n"});
    auto f = MakeSetup(c.params, files);
    f->Setup().Resources().LoadLanguage(c.language);
    EXPECT_EQ(TProductInfoONDU::IsAddonsAvailable(), c.expected);
  }
}
