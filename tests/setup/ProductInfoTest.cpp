// Product information base: answers from the script's settings, default folders, version texts.
#include <gtest/gtest.h>

#include <functional>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Shell.h"
#include "setup/core/Errors.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Resources.h"
#include "tests/TestUtil.h"
#include "tests/setup/SetupFixture.h"

using namespace Setup::Core;
using KVL::Platform::kPathDelim;
using SetupTest::TFiles;

namespace {

// A setup package whose script has exactly these settings (name, value).
TFiles SetupWithSettings(const std::vector<std::pair<std::string, std::string>>& settings) {
  std::string xml = "<x><product><Settings>";
  for (const auto& [name, value] : settings) xml += "<s name='" + name + "' value='" + value + "'/>";
  xml += "</Settings></product></x>";
  return {{"Install.xml", xml}, {"English.lng", "[Common]\r\nCaption=$NAME\r\n"}};
}

} // namespace

TEST(SetupProductInfo, VersionTextIsMajorDotTwoMinorDigits) {
  struct Case { int32_t version; const char* text; };
  const Case cases[] = {
      {5301, "5.30"}, {4002, "4.00"}, {0, "0.00"}, {5390, "5.39"}, {1010, "1.01"}, {1009, "1.00"}, {12345, "12.34"},
  };
  for (const Case& c : cases) EXPECT_EQ(TSetupProductInfo::VersionText(c.version), c.text) << c.version;
  SetupTest::TTestProductInfo product;
  SetupTest::TTestProductInfo::InstalledVersion = 3501;
  EXPECT_EQ(product.GetInstalledVersionText(), "3.50");
  SetupTest::TTestProductInfo::Reset();
}

TEST(SetupProductInfo, AnswersFromScriptSettings) {
  SetupTest::TSetupFixture f(SetupWithSettings({{"ProductName", "ONDU"},
                                                {"Publisher", "ONDU Team"},
                                                {"ProductVersion", "5.30"},
                                                {"productversionno", "5.30.0.7"},
                                                {"BuildDate", "2024-01-31"},
                                                {"HomePage", "https://ondu.example/"}}),
                             {}, "");
  TSetupProductInfo& p = f.Setup().ProductInfo();
  EXPECT_EQ(p.GetName(), "ONDU");
  EXPECT_EQ(p.GetPublisher(), "ONDU Team");
  EXPECT_EQ(p.GetVersion(), "5.30");
  EXPECT_EQ(p.GetVersionNo(), "5.30.0.7");
  EXPECT_EQ(p.GetHomePage(), "https://ondu.example/");
  EXPECT_EQ(p.GetVersionInfo(), "5.30, 2024-01-31");
  EXPECT_EQ(p.GetVersionId(), 0);  // not given
}

TEST(SetupProductInfo, MissingSettingsReadEmpty) {
  SetupTest::TSetupFixture f(SetupWithSettings({{"ProductName", "ONDU"}, {"ProductVersion", "5.30"}}), {}, "");
  TSetupProductInfo& p = f.Setup().ProductInfo();
  EXPECT_EQ(p.GetVersionInfo(), "5.30, ");
  EXPECT_EQ(p.GetPublisher(), "");
  EXPECT_EQ(p.GetHomePage(), "");
}

TEST(SetupProductInfo, VersionIdIsADecimalInteger) {
  struct Case { const char* value; int32_t id; };
  const Case cases[] = {
      {"5300", 5300}, {"-7", -7}, {" 42", 42}, {"", 0}, {"abc", 0}, {"53a", 0},
      {"0x10", 0}, {"$10", 0}, {"99999999999", 0}, {"2147483647", 2147483647}, {"-", 0},
  };
  for (const Case& c : cases) {
    SetupTest::TSetupFixture f(SetupWithSettings({{"ProductName", "ONDU"}, {"ProductVersionId", c.value}}), {}, "");
    EXPECT_EQ(f.Setup().ProductInfo().GetVersionId(), c.id) << "'" << c.value << "'";
  }
}

TEST(SetupProductInfo, DefaultFoldersEndInTheProductName) {
  TestUtil::TTempDir dir;
  KVL::Platform::TEnvironmentOverride root("KVL_SYSTEM_ROOT", dir.File("root"));
  KVL::Platform::TEnvironmentOverride home("HOME", dir.File("home"));
  KVL::Platform::TEnvironmentOverride desktop("XDG_DESKTOP_DIR", std::nullopt);
  KVL::Platform::TEnvironmentOverride config("XDG_CONFIG_HOME", std::nullopt);
  SetupTest::TSetupFixture f(SetupWithSettings({{"ProductName", "ONDU"}}), {}, "");
  TSetupProductInfo& p = f.Setup().ProductInfo();
  const std::string tail = std::string("ONDU") + kPathDelim;
  EXPECT_EQ(p.GetDefaultPath(), f.Setup().Resources().ProgramFilesFolder() + tail);
  EXPECT_EQ(f.Setup().DestPath(), p.GetDefaultPath());  // an interactive run starts there
  // The portable default is on the user's own desktop, not the shared one.
  EXPECT_EQ(p.GetDefaultPortablePath(),
            KVL::Platform::GetSpecialFolder(KVL::Platform::TSpecialFolder::sfUserDesktop) + tail);
#ifndef _WIN32
  EXPECT_EQ(p.GetDefaultPath(), dir.File("root") + "/opt/ONDU/");
  EXPECT_EQ(p.GetDefaultPortablePath(), dir.File("home") + "/Desktop/ONDU/");
#endif
}

TEST(SetupProductInfo, EmptyProductNameFailsNameAndEveryExpansion) {
  for (const char* name : {static_cast<const char*>(""), static_cast<const char*>(nullptr)}) {
    std::vector<std::pair<std::string, std::string>> settings = {{"HomePage", "x"}};
    if (name) settings.push_back({"ProductName", name});
    // A destination on the command line: the default folder would need the name.
    SetupTest::TSetupFixture f(SetupWithSettings(settings), {}, "/AUTO=\"" + KVL::Platform::TempDirectory() + "x\"");
    TSetup& s = f.Setup();
    for (const auto& call : std::vector<std::function<void()>>{
             [&] { s.ProductInfo().GetName(); },
             [&] { s.ProductInfo().GetDefaultPath(); },
             [&] { s.Resources().ExpandVariables("plain text"); },
             [&] { s.Resources().ExpandPath("$DEST\\x"); },
         }) {
      try {
        call();
        ADD_FAILURE() << "no exception";
      } catch (const EInstallerGeneralError& e) {
        EXPECT_STREQ(e.what(), "TSetupProductInfo.GetName");
      }
    }
  }
  // Without a destination the setup object itself cannot start.
  EXPECT_THROW(SetupTest::TSetupFixture(SetupWithSettings({}), {}, ""), EInstallerGeneralError);
}
