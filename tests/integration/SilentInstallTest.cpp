// The real installer program, silently: installation, removal and its refusals, in a sandbox.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Registry.h"
#include "KVL/Base/Platform/Resources.h"
#include "KVL/Base/Streams.h"
#include "TestUtil.h"
#include "setup/core/ApplicationRepository.h"
#include "setup/core/package/Package.h"
#include "tests/integration/SampleInstaller.h"

#if defined(ONDU_SETUP_BARE) && defined(ONDU_SAMPLE_STAGE_DIR)

using namespace KVL::Platform;
using namespace IntegrationTest;
using TestUtil::TTempDir;
namespace fs = std::filesystem;

namespace {

void CopyTree(const std::string& from, const std::string& to) {
  fs::copy(fs::u8path(from), fs::u8path(to), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
}

struct TRun {
  uint32_t Code;
  std::string Output;
};

// Everything the installer may touch lives below one throw-away folder.
class SilentInstall : public ::testing::Test {
protected:
  // Built before any test moves the temporary folder into its sandbox.
  static void SetUpTestSuite() { SampleInstaller(); }

  SilentInstall() {
    ForceDirectories(sandbox_.File("root"));
    ForceDirectories(sandbox_.File("home"));
    ForceDirectories(sandbox_.File("logs"));
    ForceDirectories(sandbox_.File("tmp"));
  }
  ~SilentInstall() override { Setup::Core::TSetupApplicationRepository::Unregister("ONDU"); }

  TRun Run(const std::string& program, const std::vector<std::string>& args, int timeoutMs = 120000) {
    const std::string out = sandbox_.File("output.txt");
    TProcess p = StartProcessCapturing(program, args, out);
    EXPECT_TRUE(p.WaitForExit(timeoutMs)) << program << " did not end";
    return {p.ExitCode(), TestUtil::ReadWholeFile(out)};
  }
  TRun Install(const std::vector<std::string>& args, const std::string& installer = SampleInstaller()) {
    return Run(installer, args);
  }

  // Waits until the uninstaller's temporary copy has removed the folder's uninstaller files.
  bool WaitForRemoval(const std::string& dest) {
    for (int i = 0; i < 600; ++i) {
      if (!FileExists(dest + "Uninstall.dat") && !FileExists(dest + "Uninstall.exe")) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  TTempDir sandbox_;
#ifndef _WIN32
  TEnvironmentOverride root_{"KVL_SYSTEM_ROOT", sandbox_.File("root")};
  TEnvironmentOverride home_{"HOME", sandbox_.File("home")};
#endif
  TEnvironmentOverride logs_{"ONDU_STANDIN_LOG_DIR", sandbox_.File("logs")};
  // The installer's temporary folder must not contain the installation: an uninstaller below
  // it counts as the temporary copy.
  TEnvironmentOverride tmpdir_{"TMPDIR", sandbox_.File("tmp")};
  TEnvironmentOverride tmp_{"TMP", sandbox_.File("tmp")};
  TEnvironmentOverride temp_{"TEMP", sandbox_.File("tmp")};
  std::string dest_ = sandbox_.File("Apps/ONDU") + kPathDelim;
};

std::unique_ptr<KVL::FileFormats::INI::TKVLIniFile> ReadUninstallIni(const std::string& dest) {
  Setup::Core::Package::TSetupPackageReader dat(dest + "Uninstall.dat");
  std::unique_ptr<KVL::Streams::TKVLMemoryStream> s = dat.Extract("Uninstall.ini");
  auto ini = std::make_unique<KVL::FileFormats::INI::TKVLIniFile>();
  ini->LoadFromStream(*s);
  return ini;
}

} // namespace

TEST_F(SilentInstall, FreshInstallWritesFilesRecordAndRegistryEntry) {
  TRun r = Install({"/AUTO=" + dest_, "/SILENT"});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  for (const char* f : {"ONDU.exe", "Elevator.exe", "Langs/Russian.lng", "Plugins/Decoders/FLAC.dll",
                        "System/Data/Genres.txt", "ReadMe.txt", "License.rtf", "Uninstall.exe", "Uninstall.dat"})
    EXPECT_TRUE(FileExists(dest_ + Native(f))) << f;
  EXPECT_EQ(TestUtil::ReadWholeFile(dest_ + "ReadMe.txt"), TestUtil::ReadWholeFile(StageDir("PRODUCT/ReadMe.txt")));

  std::unique_ptr<KVL::FileFormats::INI::TKVLIniFile> file = ReadUninstallIni(dest_);
  const KVL::FileFormats::INI::TKVLIniFile& ini = *file;
  const int count = ini.ReadInteger("Uninstall", "Count", 0);
  ASSERT_GT(count, 3);
  EXPECT_EQ(ini.ReadString("Uninstall", "0"), "ONDU.exe");
  EXPECT_EQ(ini.ReadString("Uninstall", "3"), Native("Langs/English.lng"));
  EXPECT_EQ(ini.ReadString("Uninstall", std::to_string(count - 2)), "Uninstall.dat");
  EXPECT_EQ(ini.ReadString("Uninstall", std::to_string(count - 1)), "Uninstall.exe");
  EXPECT_EQ(ini.SectionName(ini.SectionCount() - 1), "Uninstall");

  TRegistryKey key;
  ASSERT_TRUE(key.OpenRead(TRegistryRoot::rrLocalMachine, kUninstallKey));
  EXPECT_EQ(key.ReadString("DisplayName"), "ONDU");
  EXPECT_EQ(key.ReadString("DisplayVersion"), "5.39.0.2611");
  EXPECT_EQ(key.ReadString("InstallPath"), dest_);
  EXPECT_EQ(key.ReadString("UninstallString"), "\"" + dest_ + "Uninstall.exe\"");
  EXPECT_EQ(key.ReadInteger("NoModify"), 1u);
  const std::string date = key.ReadString("InstallDate").value_or("");
  EXPECT_EQ(date.size(), 8u);
  EXPECT_TRUE(date.starts_with("20")) << date;
}

TEST_F(SilentInstall, PortableInstallIsNotRegistered) {
  TRun r = Install({"/AUTO=" + dest_, "/PORTABLE", "/SILENT"});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  EXPECT_TRUE(FileExists(dest_ + "Uninstall.dat"));
  EXPECT_FALSE(RegistryKeyExists(TRegistryRoot::rrLocalMachine, kUninstallKey));
}

TEST_F(SilentInstall, RefusalsAndBadInputEndWithAMessageAndCodeOne) {
  // An installed 3.40 is too old to update.
  ForceDirectories(sandbox_.File("old"));
  TestUtil::WriteWholeFile(sandbox_.File("old/ONDU.ini"), "[System]\r\nVersion=3400\r\n");
  TRun r = Install({"/AUTO=" + sandbox_.File("old"), "/UPDATE", "/SILENT"});
  EXPECT_EQ(r.Code, 1u);
  EXPECT_NE(r.Output.find("Cannot install update on v3.40"), std::string::npos) << r.Output;

  // A destination below a file cannot be created.
  TestUtil::WriteWholeFile(sandbox_.File("blocker"), "x");
  const std::string blocked = sandbox_.File("blocker/ONDU");
  r = Install({"/AUTO=" + blocked, "/SILENT"});
  EXPECT_EQ(r.Code, 1u);
  EXPECT_NE(r.Output.find("Cannot create the folder"), std::string::npos) << r.Output;
  EXPECT_NE(r.Output.find(sandbox_.File("blocker")), std::string::npos) << r.Output;
  EXPECT_FALSE(RegistryKeyExists(TRegistryRoot::rrLocalMachine, kUninstallKey));
}

TEST_F(SilentInstall, DamagedOrIncompleteInstallersTouchNothing) {
  TTempDir work;
  CopyTree(StageDir("SETUP"), work.File("setup"));
  ForceDirectories(work.File("empty"));
  // The PRODUCT package's bytes inside the installer, found and damaged.
  const std::string installer = BuildInstaller(StageDir("SETUP"), StageDir("PRODUCT"), work.File("damaged.exe"));
  std::string bytes = TestUtil::ReadWholeFile(installer);
  {
    KVL::Platform::TResourceModule module(installer);
    std::unique_ptr<TResourceData> product = module.Load("PRODUCT");
    const std::string head(reinterpret_cast<const char*>(product->Data()), 64);
    const size_t at = bytes.find(head);
    ASSERT_NE(at, std::string::npos);
    bytes[at + product->Size() / 2] ^= 0x5A;
  }
  TestUtil::WriteWholeFile(installer, bytes);

  // The program with its SETUP package only.
  const std::string setupOnly = work.File("setup-only.exe");
  {
    KVL::Platform::TResourceModule module(SampleInstaller());
    std::unique_ptr<TResourceData> setup = module.Load("SETUP");
    ASSERT_TRUE(CopyFileReplacing(Native(ONDU_SETUP_BARE), setupOnly));
    UpdateResources(setupOnly, {{"SETUP", std::string(reinterpret_cast<const char*>(setup->Data()), setup->Size())}});
  }

  // Install.xml cut halfway, and one without a product name.
  CopyTree(StageDir("SETUP"), work.File("half"));
  const std::string script = TestUtil::ReadWholeFile(work.File("half/Install.xml"));
  TestUtil::WriteWholeFile(work.File("half/Install.xml"), script.substr(0, script.find("<Components>") + 40));
  CopyTree(StageDir("SETUP"), work.File("noname"));
  std::string unnamed = script;
  unnamed.replace(unnamed.find("value=\"ONDU\""), 12, "value=\"\"");
  TestUtil::WriteWholeFile(work.File("noname/Install.xml"), unnamed);

  const struct {
    std::string Installer;
    const char* Message;
  } cases[] = {
      {installer, "Package was corrupted"},
      {setupOnly, "Resource PRODUCT not found"},
      {BuildInstaller(work.File("half"), StageDir("PRODUCT"), work.File("half.exe")), "Install.xml is malformed"},
      {BuildInstaller(work.File("noname"), StageDir("PRODUCT"), work.File("noname.exe")), "TSetupProductInfo.GetName"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Installer);
    TRun r = Install({"/AUTO=" + dest_, "/SILENT"}, c.Installer);
    EXPECT_EQ(r.Code, 1u);
    EXPECT_NE(r.Output.find(c.Message), std::string::npos) << r.Output;
    EXPECT_FALSE(DirectoryExists(dest_));
  }
}

TEST_F(SilentInstall, SwitchValueWithSpacesAndQuotes) {
  // Written as a user types it: the value in quotes after the equals sign.
  const std::string dest = sandbox_.File("My Apps/ONDU 'x'") + kPathDelim;
  const std::string out = sandbox_.File("output.txt");
  TProcess p = StartProcessCapturing("\"" + SampleInstaller() + "\" /AUTO=\"" + dest + "\" /SILENT", out);
  ASSERT_TRUE(p.WaitForExit(120000));
  TRun r{p.ExitCode(), TestUtil::ReadWholeFile(out)};
  ASSERT_EQ(r.Code, 0u) << r.Output;
  EXPECT_TRUE(FileExists(dest + "ONDU.exe"));
}

TEST_F(SilentInstall, RemovalThroughTheTemporaryCopyLeavesBackupsOfUsersAlone) {
  ASSERT_EQ(Install({"/AUTO=" + dest_, "/SILENT"}).Code, 0u);
  TestUtil::WriteWholeFile(dest_ + "user-notes.txt", "mine");
  ForceDirectories(dest_ + Native("Skins/Empty"));

  TRun r = Run(dest_ + "Uninstall.exe", {"/AUTO", "/SILENT"});
  ASSERT_EQ(r.Code, 0u) << r.Output;
  ASSERT_TRUE(WaitForRemoval(dest_));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_FALSE(FileExists(dest_ + "ONDU.exe"));
  EXPECT_FALSE(DirectoryExists(dest_ + "Plugins"));
  EXPECT_FALSE(DirectoryExists(dest_ + Native("Skins/Empty")));
  EXPECT_TRUE(FileExists(dest_ + "user-notes.txt"));
  EXPECT_FALSE(RegistryKeyExists(TRegistryRoot::rrLocalMachine, kUninstallKey));
}

TEST_F(SilentInstall, UninstallerWithAMissingPathFolderIsNotReRun) {
  ASSERT_EQ(Install({"/AUTO=" + dest_, "/SILENT"}).Code, 0u);
  // A copy already in the temporary folder without a usable /PATH must not copy itself again.
  const std::string temp = CreatePrivateDirectory(TempDirectory(), "tst");
  ASSERT_FALSE(temp.empty());
  CopyFileReplacing(dest_ + "Uninstall.exe", temp + "Uninstall.exe");
  CopyFileReplacing(dest_ + "Uninstall.dat", temp + "Uninstall.dat");
  TRun r = Run(temp + "Uninstall.exe", {"/AUTO", "/SILENT", "/PATH=" + sandbox_.File("missing")});
  EXPECT_EQ(r.Code, 1u);
  EXPECT_NE(r.Output.find("Cannot start the Uninstaller"), std::string::npos) << r.Output;
  EXPECT_TRUE(FileExists(dest_ + "ONDU.exe"));
  fs::remove_all(fs::u8path(temp));
}

#endif
