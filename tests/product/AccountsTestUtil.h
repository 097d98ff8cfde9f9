// Test accounts in the registry's profile list (the POSIX stand-in, or wine's registry), removed afterwards.
#pragma once

#include <string>
#include <vector>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Registry.h"

namespace ProductTest {

class TTestAccounts {
public:
  TTestAccounts() = default;
  ~TTestAccounts() {
    for (const std::string& sid : sids_) {
      KVL::Platform::DeleteRegistryKeyTree(KVL::Platform::TRegistryRoot::rrLocalMachine, kProfileList + sid);
      KVL::Platform::DeleteRegistryKeyTree(KVL::Platform::TRegistryRoot::rrUsers, sid);
    }
  }
  TTestAccounts(const TTestAccounts&) = delete;
  TTestAccounts& operator=(const TTestAccounts&) = delete;

  // An account with its own hive, whose profile folder (created; given without a trailing
  // separator) keeps its roaming data in "Roaming". Returns that folder with a separator.
  std::string Add(const std::string& sid, const std::string& profile) {
    using namespace KVL::Platform;
    sids_.push_back(sid);
    ForceDirectories(profile);
    TRegistryKey entry;
    entry.OpenWrite(TRegistryRoot::rrLocalMachine, kProfileList + sid);
    entry.WriteExpandString("ProfileImagePath", profile);
    TRegistryKey hive;
    hive.OpenWrite(TRegistryRoot::rrUsers,
                   sid + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders");
    hive.WriteExpandString("AppData", std::string("%USERPROFILE%") + kPathDelim + "Roaming");
    return profile + kPathDelim + "Roaming" + kPathDelim;
  }

private:
  static constexpr const char* kProfileList = "Software\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\";
  std::vector<std::string> sids_;
};

} // namespace ProductTest
