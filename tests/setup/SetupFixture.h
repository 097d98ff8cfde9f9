// Test fixture: a setup object built from in-memory packages and a product whose answers tests set.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "KVL/Base/Streams.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Resources.h"
#include "setup/core/Setup.h"
#include "setup/core/package/Package.h"
#include "tests/setup/PackageTestUtil.h"

namespace SetupTest {

using TFiles = std::vector<std::pair<std::string, std::string>>;  // name ('\' between folders), bytes

inline std::unique_ptr<Setup::Core::Package::TSetupPackageReader> MakePackage(const TFiles& files) {
  const std::string bytes = PackageTestUtil::BuildPackage(files, 1, Setup::Core::Package::kSetupPackageKey);
  KVL::Streams::TKVLReadOnlyMemoryStream stream(bytes.data(), bytes.size());
  return std::make_unique<Setup::Core::Package::TSetupPackageReader>(stream);
}

// A product whose answers come from static knobs; CanUpdate is 3500..5399 as for the player.
class TTestProductInfo : public Setup::Core::TSetupProductInfo {
public:
  static inline int32_t InstalledVersion = 0;
  static inline bool Portable = false;
  static inline int LoadCount = 0;
  static inline std::vector<const Setup::Core::TSetupActionClass*> Actions;

  static void Reset() {
    InstalledVersion = 0;
    Portable = false;
    LoadCount = 0;
    Actions.clear();
  }

  bool CanUpdate() override { return InstalledVersion >= 3500 && InstalledVersion <= 5399; }
  bool IsPortable() override { return Portable; }
  int32_t GetInstalledVersion() override { return InstalledVersion; }
  void LoadInstallation() override { ++LoadCount; }
  void PopulateActions(const Setup::Core::TSetupActionClassCallback& callback) override {
    for (const Setup::Core::TSetupActionClass* cls : Actions) callback(*cls);
  }
};

// Install.xml naming the product "ONDU" 5.39 and an English.lng with a few Common texts.
inline TFiles MinimalSetupFiles() {
  return {
      {"Install.xml",
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       "<installer><product><Settings>"
       "<Setting name=\"ProductName\" value=\"ONDU\"/>"
       "<Setting name=\"Publisher\" value=\"ONDU Team\"/>"
       "<Setting name=\"ProductVersion\" value=\"5.39\"/>"
       "<Setting name=\"ProductVersionId\" value=\"5390\"/>"
       "<Setting name=\"ProductVersionNo\" value=\"5.39.0.1\"/>"
       "<Setting name=\"BuildDate\" value=\"2026-11-20\"/>"
       "<Setting name=\"HomePage\" value=\"https://ondu.example/\"/>"
       "</Settings></product></installer>\n"},
      {"English.lng",
       "[File]\r\nName=English\r\nLangId=1033\r\n[Common]\r\nCaption=$NAME Setup\r\n"
       "A4=Copying files...\r\nA7=Creating the uninstaller...\r\nA8=Closing $NAME...\r\nA9=Removing $NAME...\r\n"
       "E1=File %s is in use.\r\nE3=Cannot create the folder %s.\r\nE4=Cancelled by the user.\r\n"
       "QM2=File %s is in use. Retry?\r\n"},
  };
}

// Builds the one setup object from the files and the command line with TTestProductInfo
// (or another product class); restores the product class when it goes.
class TSetupFixture {
public:
  TSetupFixture(const TFiles& setupFiles, const TFiles& productFiles, const std::string& params,
                Setup::Core::TSetupProductInfoClass productClass = nullptr)
      : savedClass_(Setup::Core::SetupProductInfoClass) {
    Setup::Core::SetupProductInfoClass =
        productClass ? std::move(productClass)
                     : Setup::Core::TSetupProductInfoClass([] { return std::make_unique<TTestProductInfo>(); });
    try {
      setup_ = std::make_unique<Setup::Core::TSetup>(
          params, std::make_unique<Setup::Core::TSetupResources>(MakePackage(setupFiles), MakePackage(productFiles)));
    } catch (...) {
      Setup::Core::SetupProductInfoClass = savedClass_;
      throw;
    }
  }
  ~TSetupFixture() {
    setup_.reset();
    Setup::Core::SetupProductInfoClass = savedClass_;
  }
  TSetupFixture(const TSetupFixture&) = delete;
  TSetupFixture& operator=(const TSetupFixture&) = delete;

  Setup::Core::TSetup& Setup() { return *setup_; }

private:
  Setup::Core::TSetupProductInfoClass savedClass_;
  std::unique_ptr<Setup::Core::TSetup> setup_;
};

} // namespace SetupTest
