// The installed-program entry: values written, lookup through both views, removal.
#include <gtest/gtest.h>

#include <chrono>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Registry.h"
#include "TestUtil.h"
#include "setup/core/ApplicationRepository.h"

using namespace KVL::Platform;
using Setup::Core::TSetupApplicationRepository;

namespace {

// On POSIX the registry lives below a scratch root; on Windows (wine) it is the real one,
// so every entry gets a name of its own and is removed afterwards.
class ApplicationRepository : public ::testing::Test {
protected:
  TestUtil::TTempDir root_;
  TEnvironmentOverride systemRoot_{"KVL_SYSTEM_ROOT", root_.Path()};
  std::string name_ = "ONDU Test " + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  std::string install_ = root_.File("Program Files/ONDU/");

  void SetUp() override { ASSERT_TRUE(ForceDirectories(install_)); }
  void TearDown() override { TSetupApplicationRepository::Unregister(name_); }

  TRegistryKey Open(TRegistryView view = TRegistryView::rvNative) {
    TRegistryKey key;
    EXPECT_TRUE(key.OpenRead(TRegistryRoot::rrLocalMachine, TSetupApplicationRepository::KeyPath(name_), view));
    return key;
  }
};

} // namespace

TEST_F(ApplicationRepository, RegisterWritesTheEntryUnderTheNameWithoutSpaces) {
  std::string uninstaller = install_ + "Uninstall.exe";
  TSetupApplicationRepository::Register(name_, uninstaller, "5.39.0.1", "ONDU Team", "https://ondu.example/");
  EXPECT_EQ(TSetupApplicationRepository::KeyName("My Player"), "MyPlayer");
  TRegistryKey key = Open();
  EXPECT_EQ(key.ReadInteger("NoModify"), 1u);
  EXPECT_EQ(key.ReadInteger("NoRepair"), 1u);
  EXPECT_EQ(key.ReadString("DisplayIcon"), uninstaller);
  EXPECT_EQ(key.ReadString("DisplayName"), name_);
  EXPECT_EQ(key.ReadString("DisplayVersion"), "5.39.0.1");
  EXPECT_EQ(key.ReadString("InstallPath"), install_);
  EXPECT_EQ(key.ReadString("Publisher"), "ONDU Team");
  EXPECT_EQ(key.ReadString("UninstallString"), "\"" + uninstaller + "\"");
  EXPECT_EQ(key.ReadString("URLInfoAbout"), "https://ondu.example/");
  EXPECT_EQ(key.ValueType("DisplayName"), TRegistryValueType::rtString);
  std::string date = key.ReadString("InstallDate").value_or("");
  ASSERT_EQ(date.size(), 8u);
  EXPECT_EQ(date.find_first_not_of("0123456789"), std::string::npos);

  std::string folder;
  ASSERT_TRUE(TSetupApplicationRepository::GetInstallPath(name_, folder));
  EXPECT_EQ(folder, install_);

  // A second registration replaces the first one whole.
  TSetupApplicationRepository::Register(name_, uninstaller, "5.40", "Other", "");
  EXPECT_EQ(Open().ReadString("DisplayVersion"), "5.40");
  TSetupApplicationRepository::Unregister(name_);
  EXPECT_FALSE(RegistryKeyExists(TRegistryRoot::rrLocalMachine, TSetupApplicationRepository::KeyPath(name_)));
  EXPECT_FALSE(TSetupApplicationRepository::GetInstallPath(name_, folder));
}

TEST_F(ApplicationRepository, LookupFallsBackFromFolderToCommandToIcon) {
  struct Case { const char* installPath; const char* uninstallString; const char* icon; bool found; };
  std::string gone = root_.File("gone/");
  std::string quoted = "\"" + install_ + "Uninstall.exe\"";
  std::string plain = install_ + "Uninstall.exe";
  const Case cases[] = {
      {gone.c_str(), quoted.c_str(), "", true},  // the quoted form written now
      {gone.c_str(), plain.c_str(), "", true},   // the unquoted form of older entries
      {"", "", plain.c_str(), true},
      {gone.c_str(), "", "", false},
  };
  for (const Case& c : cases) {
    TRegistryKey key;
    key.OpenWrite(TRegistryRoot::rrLocalMachine, TSetupApplicationRepository::KeyPath(name_));
    key.WriteString("InstallPath", c.installPath);
    key.WriteString("UninstallString", c.uninstallString);
    key.WriteString("DisplayIcon", c.icon);
    std::string folder;
    EXPECT_EQ(TSetupApplicationRepository::GetInstallPath(name_, folder), c.found) << c.uninstallString;
    if (c.found) {
      EXPECT_EQ(folder, install_);
    }
    TSetupApplicationRepository::Unregister(name_);
  }
}

TEST_F(ApplicationRepository, FindsAndRemovesAnEntryOfThe32BitView) {
  TRegistryKey key;
  key.OpenWrite(TRegistryRoot::rrLocalMachine, TSetupApplicationRepository::KeyPath(name_), TRegistryView::rv32Bit);
  key.WriteString("InstallPath", install_);
  key.Close();
  std::string folder;
  ASSERT_TRUE(TSetupApplicationRepository::GetInstallPath(name_, folder));
  EXPECT_EQ(folder, install_);
  TSetupApplicationRepository::Unregister(name_);
  EXPECT_FALSE(RegistryKeyExists(TRegistryRoot::rrLocalMachine, TSetupApplicationRepository::KeyPath(name_),
                                 TRegistryView::rv32Bit));
}
