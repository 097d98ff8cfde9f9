// The ONDU player's product information.
#include "setup/product/ProductInfoONDU.h"

#include <any>
#include <memory>
#include <vector>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/ApplicationRepository.h"
#include "setup/core/Extract.h"
#include "setup/core/Resources.h"
#include "setup/core/Setup.h"
#include "setup/ui/StandardPages.h"
#include "setup/product/AddonsInstall.h"
#include "setup/product/CloseApplications.h"
#include "setup/product/ConfigAction.h"
#include "setup/product/IntegrationActions.h"
#include "setup/product/Prepare.h"
#include "setup/product/ProductPages.h"
#include "setup/product/UninstallActions.h"

namespace Setup::Product::ONDU {

using namespace Setup::Core;
using Actions::TSetupActionAddonsInstall;
using Actions::TSetupActionCloseApplications;
using Actions::TSetupActionConfig;
using Actions::TSetupActionIntegrate;
using Actions::TSetupActionShortcuts;
using Actions::TSetupActionPrepare;
using Actions::TSetupActionUninstallFiles;
using Actions::TSetupActionUninstallIntegration;
using Actions::TSetupActionUpdateShellCache;

namespace {

constexpr int32_t kFirstUpdatableVersion = 3500;
constexpr int32_t kLastUpdatableVersion = 5399;

// "Russian" for "Russian.lng" (or a path to it); the name as it stands when it has no extension.
std::string LanguageName(const std::string& fileName) {
  size_t start = fileName.find_last_of("\\/:");
  std::string name = start == std::string::npos ? fileName : fileName.substr(start + 1);
  size_t dot = name.find_last_of('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

} // namespace

std::string TProductInfoONDU::GetDefaultPath() {
  std::string folder;
  if (FindInstallation(folder)) return folder;
  return TSetupProductInfo::GetDefaultPath();
}

bool TProductInfoONDU::CanUpdate() {
  int32_t version = GetInstalledVersion();
  return version >= kFirstUpdatableVersion && version <= kLastUpdatableVersion;
}

bool TProductInfoONDU::IsPortable() { return !config_.ReadBool("System", "UserMode", true); }

int32_t TProductInfoONDU::GetInstalledVersion() { return config_.ReadInteger("System", "Version", 0); }

void TProductInfoONDU::LoadInstallation() {
  const std::string& dest = Setup::Core::Setup->DestPath();
  std::string fileName;
  // Without a destination a bare "ONDU.ini" would name a file of the current folder.
  if (!dest.empty()) {
    if (KVL::Platform::FileExists(dest + "ONDU.ini"))
      fileName = dest + "ONDU.ini";
    else if (KVL::Platform::FileExists(dest + "ONDU3.ini"))
      fileName = dest + "ONDU3.ini";
  }
  if (fileName.empty()) {
    config_.Clear();
    config_.SetFileName(std::string());
  } else {
    config_.LoadFromFile(fileName);
  }
  Setup::Core::Setup->Settings().WriteSectionText("Integration", config_.ReadSectionText("Integration"));
}

void TProductInfoONDU::PopulateActions(const TSetupActionClassCallback& callback) {
  if (Setup::Core::Setup->Mode() == smUninstall) {
    callback(ActionClassOf<TSetupActionCloseApplications>("TSetupActionCloseApplications"));
    callback(ActionClassOf<TSetupActionUninstallIntegration>("TSetupActionUninstallIntegration"));
    callback(ActionClassOf<TSetupActionUninstallFiles>("TSetupActionUninstallFiles"));
    return;
  }
  callback(ActionClassOf<TSetupActionCloseApplications>("TSetupActionCloseApplications"));
  callback(ActionClassOf<TSetupActionPrepare>("TSetupActionPrepare"));
  if (IsAddonsAvailable()) callback(ActionClassOf<TSetupActionAddonsInstall>("TSetupActionAddonsInstall"));
  callback(ActionClassOf<TSetupActionExtract>("TSetupActionExtract"));
  callback(ActionClassOf<TSetupActionConfig>("TSetupActionConfig"));
  TSetup& setup = *Setup::Core::Setup;
  if (!setup.HasFlag(sfUpdate) && !setup.HasFlag(sfPortable))
    callback(ActionClassOf<TSetupActionIntegrate>("TSetupActionIntegrate"));
  if (!setup.HasFlag(sfUpdate)) callback(ActionClassOf<TSetupActionShortcuts>("TSetupActionShortcuts"));
  if (KVL::Platform::IsWindows10OrLater())
    callback(ActionClassOf<TSetupActionUpdateShellCache>("TSetupActionUpdateShellCache"));
}

void TProductInfoONDU::PopulatePages(const TSetupPageClassCallback& callback) {
  using namespace Setup::UI::Pages;
  auto page = [&](TSetupPageClass cls) { callback(std::any(std::move(cls))); };
  if (Setup::Core::Setup->Mode() == smUninstall) {
    page(PageClass<TSetupPageUninstallParams>());
    return;
  }
  page(PageClass<TSetupPageWelcome>());
  page(PageClass<TSetupPageLicense>());
  page(PageClass<TSetupPageSetup>());
  if (IsAddonsAvailable()) page(PageClass<TSetupPageAddons>());
  page(PageClass<TSetupPageIntegration>());
  page(PageClass<TSetupPageReadyToInstall>());
}

bool TProductInfoONDU::FindInstallation(std::string& folder) {
  for (const char* name : {"ONDU", "ONDU3"})
    if (TSetupApplicationRepository::GetInstallPath(name, folder)) return true;
  folder.clear();
  // A running player tells where it lives.
  std::vector<intptr_t> windows = KVL::Platform::FindTopLevelWindows("TONDUMainForm");
  if (windows.empty()) return false;
  uint32_t processId = KVL::Platform::WindowProcessId(windows.front());
  if (processId == 0) return false;
  std::string exe = KVL::Platform::ProcessExecutablePath(processId);
  if (exe.empty()) return false;
  folder = KVL::Platform::ExtractFilePath(exe);
  return !folder.empty();
}

bool TProductInfoONDU::IsAddonsAvailable() {
  TSetup& setup = *Setup::Core::Setup;
  return !setup.HasFlag(sfAuto) && !setup.HasFlag(sfSilent) &&
         KVL::SysUtils::SameText(LanguageName(setup.Resources().Language()), "Russian");
}

void RegisterProduct() {
  SetupProductInfoClass = []() -> std::unique_ptr<TSetupProductInfo> { return std::make_unique<TProductInfoONDU>(); };
}

} // namespace Setup::Product::ONDU
