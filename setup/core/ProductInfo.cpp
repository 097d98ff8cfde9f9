// The product information base: generic answers from the installation script's settings.
#include "setup/core/ProductInfo.h"

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/Errors.h"
#include "setup/core/Resources.h"
#include "setup/core/Setup.h"

namespace Setup::Core {

TSetupProductInfoClass SetupProductInfoClass;

namespace {

TSetupResources& RunningResources() {
  if (!Setup) throw KVL::SysUtils::EKVLInvalidOperation("No setup object to read settings from");
  return Setup->Resources();
}

} // namespace

std::string TSetupProductInfo::ScriptSetting(const std::string& name) {
  return RunningResources().Script().GetSetting(name);
}

std::string TSetupProductInfo::GetDefaultPath() {
  std::string name = GetName();
  return RunningResources().ProgramFilesFolder() + name + KVL::Platform::kPathDelim;
}

std::string TSetupProductInfo::GetDefaultPortablePath() {
  return KVL::Platform::GetSpecialFolder(KVL::Platform::TSpecialFolder::sfUserDesktop) + GetName() +
         KVL::Platform::kPathDelim;
}

std::string TSetupProductInfo::GetHomePage() { return ScriptSetting("HomePage"); }

void TSetupProductInfo::PopulatePages(const TSetupPageClassCallback&) {}

std::string TSetupProductInfo::GetName() {
  std::string name = ScriptSetting("ProductName");
  if (name.empty()) throw EInstallerGeneralError("TSetupProductInfo.GetName");
  return name;
}

std::string TSetupProductInfo::GetPublisher() { return ScriptSetting("Publisher"); }

std::string TSetupProductInfo::GetVersion() { return ScriptSetting("ProductVersion"); }

int32_t TSetupProductInfo::GetVersionId() {
  std::string text = ScriptSetting("ProductVersionId");
  // Decimal only: "$10" or "0x10" are not version numbers.
  size_t digits = text.find_first_not_of(" \t");
  if (digits != std::string::npos && (text[digits] == '-' || text[digits] == '+')) ++digits;
  if (digits == std::string::npos || digits >= text.size() ||
      text.find_first_not_of("0123456789", digits) != std::string::npos)
    return 0;
  int32_t value = 0;
  return KVL::SysUtils::TryStrToInt(text, value) ? value : 0;
}

std::string TSetupProductInfo::GetVersionInfo() { return GetVersion() + ", " + ScriptSetting("BuildDate"); }

std::string TSetupProductInfo::GetVersionNo() { return ScriptSetting("ProductVersionNo"); }

std::string TSetupProductInfo::GetInstalledVersionText() { return VersionText(GetInstalledVersion()); }

std::string TSetupProductInfo::VersionText(int32_t version) {
  // Division truncates towards zero, as the version numbers were always written.
  return KVL::SysUtils::Format("%d.%02d", static_cast<int>(version / 1000), static_cast<int>((version % 1000) / 10));
}

} // namespace Setup::Core
