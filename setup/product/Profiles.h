// Settings folders: one per user account (or the portable "Profile" folder), old and new name.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "KVL/Base/Utils/UserAccounts.h"

namespace Setup::Product::ONDU::Actions {

struct TSetupProfileInfo {
  std::string Name;     // the account's user name, or "SingleUser" for the portable folder
  std::string NewPath;  // the folder as the version being installed names it (trailing separator)
  std::string OldPath;  // the folder as the installed version names it (trailing separator)
};

class TSetupProfileInfoList {
public:
  void Add(std::unique_ptr<TSetupProfileInfo> info) { items_.push_back(std::move(info)); }
  int Count() const { return static_cast<int>(items_.size()); }
  TSetupProfileInfo& Items(int index) const { return *items_.at(static_cast<size_t>(index)); }

private:
  std::vector<std::unique_ptr<TSetupProfileInfo>> items_;
};

class TSetupProfileHelper {
public:
  TSetupProfileHelper() = delete;
  using TAccount = KVL::Utils::Shell::UserAccounts::TKVLUserAccountInfo;

  // With an account: its AppDataPath + (product name from 4000 on, "ONDU3" below) + separator.
  // Without: Setup->DestPath() + "Profile" + separator.
  static std::string GetProfilePath(const TAccount* account, int32_t version);
  static std::string GetNewProfilePath(const TAccount* account);  // GetVersionId of the product
  static std::string GetOldProfilePath(const TAccount* account);  // GetInstalledVersion
  // sfPortable: one "SingleUser" profile for the destination's Profile folder; otherwise one
  // per user account. Only profiles whose OldPath exists are added.
  static void PopulateProfiles(TSetupProfileInfoList& list);
};

} // namespace Setup::Product::ONDU::Actions
