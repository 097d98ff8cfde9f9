// The add-ons action: the installer it extracts, the parameters it starts it with, its failures and summary.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/StringList.h"
#include "KVL/Base/SysUtils.h"
#include "ProductTestUtil.h"
#include "setup/core/Errors.h"
#include "setup/core/Resources.h"
#include "setup/core/SummaryBuilder.h"
#include "setup/product/AddonsInstall.h"

using KVL::Platform::TEnvironmentOverride;
using Setup::Product::ONDU::Actions::TSetupActionAddonsInstall;

namespace {

TEST(AddonsInstall, TheLastLineOfANameCounts) {
  KVL::Classes::TKVLStringList list;
  list.SetText("P1=/FIRST\r\np2=/VIEWER\r\nP1=/LAST\r\nCL=/SILENT %s\r\n");
  EXPECT_EQ(TSetupActionAddonsInstall::LastValue(list, "P1"), "/LAST");
  EXPECT_EQ(TSetupActionAddonsInstall::LastValue(list, "P2"), "/VIEWER");
  EXPECT_EQ(TSetupActionAddonsInstall::LastValue(list, "CL"), "/SILENT %s");
  EXPECT_EQ(TSetupActionAddonsInstall::LastValue(list, "P4"), "");
}

// The format comes from the setup resources: only its first %s is filled, nothing else is read.
TEST(AddonsInstall, ParametersFillOnlyTheFirstPlaceholder) {
  struct TCase {
    const char *format, *text, *expected;
  };
  const TCase cases[] = {
      {"/SILENT %s", "/VIEWER ", "/SILENT /VIEWER "},
      {"%s%s %d %n", "/A ", "/A %s %d %n"},
      {"/LOG=%TEMP%\\a.log %s", "/A", "/LOG=%TEMP%\\a.log /A"},
      {"/SILENT", "/A", "/SILENT"},
      {"", "/A", ""},
  };
  for (const TCase& c : cases)
    EXPECT_EQ(TSetupActionAddonsInstall::FormatParameters(c.format, c.text), c.expected) << c.format;
}

TEST(AddonsInstall, SummaryListsTheChosenAddons) {
  SetupTest::TFiles files = SetupTest::MinimalSetupFiles();
  files.push_back({"Russian.lng", "[File]\r\nName=Russian\r\n[PageAddons]\r\nTitle=Add-ons:\r\nCB1=Viewer\r\n"
                                  "CB2=Extensions\r\nCB3=Shortcuts\r\n"});
  SetupTest::TSetupFixture f(files, {}, "");
  f.Setup().Resources().LoadLanguage("Russian.lng");
  struct TCase {
    bool viewer, extensions, shortcuts;
    const char* expected;
  };
  const TCase cases[] = {
      {false, false, false, ""},
      {true, false, false, "Add-ons:\r\nViewer\r\n"},
      {false, true, true, "Add-ons:\r\nExtensions\r\nShortcuts\r\n"},
      {true, true, true, "Add-ons:\r\nViewer\r\nExtensions\r\nShortcuts\r\n"},
  };
  for (const TCase& c : cases) {
    auto& settings = f.Setup().Settings();
    settings.WriteBool("Common", "AddonsViewer", c.viewer);
    settings.WriteBool("Common", "AddonsExtensions", c.extensions);
    settings.WriteBool("Common", "AddonsShortcuts", c.shortcuts);
    Setup::Core::TSetupSummaryBuilder builder(
        [&](std::string_view section, std::string_view key) { return f.Setup().Resources().GetText(section, key); });
    TSetupActionAddonsInstall().BuildSummary(builder);
    EXPECT_EQ(builder.ToString(), c.expected);
  }
  // Never asked: the action's default is off (the page's default of on is the page's affair).
  f.Setup().Settings().DeleteSection("Common");
  Setup::Core::TSetupSummaryBuilder builder;
  TSetupActionAddonsInstall().BuildSummary(builder);
  EXPECT_EQ(builder.ToString(), "");
}

TEST(AddonsInstall, PopulateActionsPutsItBeforeTheExtractionWhenAddonsAreOffered) {
  ProductTest::TScratchMachine machine;
  SetupTest::TFiles files = SetupTest::MinimalSetupFiles();
  files.push_back({"Russian.lng", "[File]\r\nName=Russian\r\n"});
  for (const char* params : {"", "/AUTO"}) {
    SCOPED_TRACE(params);
    SetupTest::TSetupFixture f(files, {}, params, ProductTest::OnduClass());
    f.Setup().Resources().LoadLanguage("Russian.lng");
    std::vector<std::string> names;
    f.Setup().ProductInfo().PopulateActions([&](const Setup::Core::TSetupActionClass& cls) { names.push_back(cls.Name); });
    auto at = std::find(names.begin(), names.end(), "TSetupActionAddonsInstall");
    if (*params) {
      EXPECT_EQ(at, names.end());
    } else {
      ASSERT_NE(at, names.end());
      EXPECT_EQ(at + 1, std::find(names.begin(), names.end(), "TSetupActionExtract"));
      EXPECT_LT(std::find(names.begin(), names.end(), "TSetupActionCloseApplications"), at);
    }
  }
}

#ifdef ONDU_SAMPLE_STAGE_DIR

// The add-ons installer of the sample product: it records its parameters in addons.log.
const std::string& StandInInstaller() {
  static const std::string bytes = TestUtil::ReadWholeFile(
      KVL::Platform::ExpandFileName(std::string(ONDU_SAMPLE_STAGE_DIR) + "/SETUP/ONDUAddonsSetup.exe"));
  return bytes;
}

// The sample's description, with a P1 overridden by a later line and the switch text quoted
// in CL so that the record shows it exactly, trailing blank included.
constexpr const char kAddonsIni[] =
    "; add-ons offer\r\nI0=addons.png\r\nL0=ONDU Image Viewer\r\nP1=/EARLIER\r\nP1=/NOASSOC\r\n"
    "P2=/VIEWER\r\nP3=/SHORTCUTS\r\nP4=ONDUAddonsSetup.exe\r\nCL=/SILENT \"%s\"\r\n";

// The setup object with the add-ons files, a private temporary folder and a private record folder.
class AddonsInstallRun : public ::testing::Test {
protected:
  TestUtil::TTempDir temp_, logs_;
  TEnvironmentOverride tmpdir_{"TMPDIR", temp_.Path()}, tmp_{"TMP", temp_.Path()}, tempVar_{"TEMP", temp_.Path()};
  TEnvironmentOverride logDir_{"ONDU_STANDIN_LOG_DIR", logs_.Path()};

  std::unique_ptr<SetupTest::TSetupFixture> MakeSetup(const SetupTest::TFiles& extra, bool viewer, bool extensions,
                                                      bool shortcuts) {
    SetupTest::TFiles files = SetupTest::MinimalSetupFiles();
    files.insert(files.end(), extra.begin(), extra.end());
    auto f = std::make_unique<SetupTest::TSetupFixture>(files, SetupTest::TFiles{}, "");
    auto& settings = f->Setup().Settings();
    settings.WriteBool("Common", "AddonsViewer", viewer);
    settings.WriteBool("Common", "AddonsExtensions", extensions);
    settings.WriteBool("Common", "AddonsShortcuts", shortcuts);
    return f;
  }
  std::string Target() const {
    return KVL::Platform::GetLongPath(KVL::Platform::ExpandFileName(temp_.Path())) + "ONDUAddonsSetup.exe";
  }
  // The one record line the started installer leaves; the action does not wait for it.
  std::string AwaitRecord() const {
    const std::string log = logs_.File("addons.log");
    for (int waited = 0; waited < 15000; waited += 20) {
      if (KVL::Platform::FileExists(log)) {
        std::string text = TestUtil::ReadWholeFile(log);
        if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) return text;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::string();
  }
};

TEST_F(AddonsInstallRun, StartsTheExtractedInstallerWithTheChosenSwitches) {
  ASSERT_FALSE(StandInInstaller().empty());
  struct TCase {
    bool viewer, extensions, shortcuts;
    const char* arguments;
  };
  const TCase cases[] = {
      {true, false, false, "/SILENT \"/NOASSOC /VIEWER \""},
      {true, true, true, "/SILENT \"/VIEWER /SHORTCUTS \""},
      {false, true, false, "/SILENT \"\""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.arguments);
    auto f = MakeSetup({{"addons.ini", kAddonsIni}, {"ONDUAddonsSetup.exe", StandInInstaller()}}, c.viewer,
                       c.extensions, c.shortcuts);
    TSetupActionAddonsInstall().Execute();
    const std::string record = AwaitRecord();
    ASSERT_FALSE(record.empty()) << "the add-ons installer left no record";
    KVL::Classes::TKVLStringList lines;
    lines.SetText(record);
    ASSERT_EQ(lines.Count(), 1) << record;
    const std::string& line = lines.Strings(0);
    const size_t tab1 = line.find('\t'), tab2 = line.find('\t', tab1 + 1);
    ASSERT_NE(tab2, std::string::npos) << line;
    EXPECT_TRUE(KVL::SysUtils::SameText(KVL::Platform::GetLongPath(line.substr(tab1 + 1, tab2 - tab1 - 1)), Target()))
        << line;
    EXPECT_EQ(line.substr(tab2 + 1), c.arguments);
    EXPECT_EQ(TestUtil::ReadWholeFile(Target()), StandInInstaller());
    KVL::Platform::RemoveFile(logs_.File("addons.log"));
  }
}

TEST_F(AddonsInstallRun, AnExistingCopyInTheTemporaryFolderIsReplaced) {
  TestUtil::WriteWholeFile(Target(), std::string(3 * 1024 * 1024, 'x'));
  auto f = MakeSetup({{"addons.ini", kAddonsIni}, {"ONDUAddonsSetup.exe", StandInInstaller()}}, false, false, true);
  TSetupActionAddonsInstall().Execute();
  EXPECT_FALSE(AwaitRecord().empty());
  EXPECT_EQ(TestUtil::ReadWholeFile(Target()), StandInInstaller());
}

TEST_F(AddonsInstallRun, NothingIsExtractedOrStartedWhenNoBoxIsTicked) {
  // Without a description file any start would fail: none is attempted.
  auto f = MakeSetup({}, false, false, false);
  EXPECT_NO_THROW(TSetupActionAddonsInstall().Execute());
  EXPECT_FALSE(KVL::Platform::FileExists(Target()));
  EXPECT_FALSE(KVL::Platform::FileExists(logs_.File("addons.log")));
}

TEST_F(AddonsInstallRun, AMissingDescriptionOrInstallerStopsTheInstallation) {
  struct TCase {
    const char* name;
    SetupTest::TFiles files;
    const char* message;
  };
  const TCase cases[] = {
      {"no addons.ini", {{"ONDUAddonsSetup.exe", "MZ"}}, "Cannot locate \"addons.ini\" file in setup archive"},
      {"no P4", {{"addons.ini", "P1=/NOASSOC\r\nCL=/SILENT %s\r\n"}, {"ONDUAddonsSetup.exe", "MZ"}},
       "Cannot locate \"\" file in setup archive"},
      {"P4 not in the archive", {{"addons.ini", "P4=Missing.exe\r\nCL=/SILENT %s\r\n"}},
       "Cannot locate \"Missing.exe\" file in setup archive"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto f = MakeSetup(c.files, true, true, true);
    try {
      TSetupActionAddonsInstall().Execute();
      ADD_FAILURE() << "no error";
    } catch (const Setup::Core::EInstallerInstallError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    // Nothing was written to the temporary folder, so nothing can have been started.
    EXPECT_TRUE(KVL::Platform::RemoveEmptyDirectory(temp_.Path())) << "the temporary folder is not empty";
    ASSERT_TRUE(KVL::Platform::ForceDirectories(temp_.Path()));
  }
}

#endif // ONDU_SAMPLE_STAGE_DIR

} // namespace
