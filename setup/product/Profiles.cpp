// Settings folders: one per user account (or the portable "Profile" folder), old and new name.
#include "setup/product/Profiles.h"

#include "KVL/Base/Platform/File.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Setup.h"

namespace Setup::Product::ONDU::Actions {

using KVL::Platform::kPathDelim;
using KVL::Utils::Shell::UserAccounts::TKVLUserAccountInfoList;
using KVL::Utils::Shell::UserAccounts::TKVLUserAccounts;

namespace {

// Settings folders were named after the product from 4.00 on.
constexpr int32_t kProductNamedProfilesVersion = 4000;

} // namespace

std::string TSetupProfileHelper::GetProfilePath(const TAccount* account, int32_t version) {
  Setup::Core::TSetup& setup = *Setup::Core::Setup;
  if (!account) return setup.DestPath() + "Profile" + kPathDelim;
  const std::string folder = version >= kProductNamedProfilesVersion ? setup.ProductInfo().GetName() : "ONDU3";
  return account->AppDataPath + folder + kPathDelim;
}

std::string TSetupProfileHelper::GetNewProfilePath(const TAccount* account) {
  return GetProfilePath(account, Setup::Core::Setup->ProductInfo().GetVersionId());
}

std::string TSetupProfileHelper::GetOldProfilePath(const TAccount* account) {
  return GetProfilePath(account, Setup::Core::Setup->ProductInfo().GetInstalledVersion());
}

void TSetupProfileHelper::PopulateProfiles(TSetupProfileInfoList& list) {
  auto addIfPresent = [&list](std::unique_ptr<TSetupProfileInfo> info) {
    if (KVL::Platform::DirectoryExists(info->OldPath)) list.Add(std::move(info));
  };
  if (Setup::Core::Setup->HasFlag(Setup::Core::sfPortable)) {
    auto info = std::make_unique<TSetupProfileInfo>();
    info->Name = "SingleUser";
    info->NewPath = GetNewProfilePath(nullptr);
    info->OldPath = GetOldProfilePath(nullptr);
    addIfPresent(std::move(info));
    return;
  }
  std::unique_ptr<TKVLUserAccountInfoList> accounts = TKVLUserAccounts::Populate();
  for (int i = 0; i < accounts->Count(); ++i) {
    const TAccount& account = accounts->Items(i);
    auto info = std::make_unique<TSetupProfileInfo>();
    info->Name = account.UserName;
    info->NewPath = GetNewProfilePath(&account);
    info->OldPath = GetOldProfilePath(&account);
    addIfPresent(std::move(info));
  }
}

} // namespace Setup::Product::ONDU::Actions
